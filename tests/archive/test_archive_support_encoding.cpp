#include "archive/encoding.h"
#include "shared/text.h"
#include "test_archive_support.h"

#include <QRegularExpression>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTest>
#include <QUrl>
#include <random>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;

void ArchiveSupportTest::windows1252KeepsEveryCharacter_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << u"<b>Printer & Co</b>"_s << QByteArray("<b>Printer & Co</b>");
    QTest::newRow("latin") << u"Caf\u00e9 \u00fcber"_s
                           << QByteArray("Caf\xe9 \xfc"
                                         "ber");
    // The euro sign and the typographic quotes are in the code page (0x80, 0x93, 0x94).
    QTest::newRow("cp1252 extras") << u"\u20ac \u201cok\u201d"_s << QByteArray("\x80 \x93ok\x94");
    QTest::newRow("cyrillic") << u"a\u0416b"_s << QByteArray("a&#1046;b");
    QTest::newRow("astral") << u"x\U0001F600y"_s << QByteArray("x&#128512;y");
    QTest::newRow("mixed") << u"\u00e9\u4e2d\u20ac"_s << QByteArray("\xe9&#20013;\x80");
    QTest::newRow("empty") << QString() << QByteArray();
}

void ArchiveSupportTest::windows1252KeepsEveryCharacter()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(toWindows1252(text), bytes);
}

// Every character is the platform codec's byte for it, or a reference where the code page has
// none; a surrogate without its partner is referenced alone.
void ArchiveSupportTest::windows1252AsTheCodecHasIt()
{
    if (!QStringEncoder("windows-1252").isValid())
        QSKIP("This Qt has no Windows-1252 codec to compare with");
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        const QString text = u"a"_s + QChar(char16_t(c)) + u"z"_s;
        QStringEncoder codec("windows-1252", QStringConverter::Flag::Stateless);
        QByteArray expected = codec.encode(QStringView(text).mid(1, 1));
        if (codec.hasError() || expected.isEmpty())
            expected = "&#" + QByteArray::number(quint32(c)) + ';';
        QVERIFY2(toWindows1252(text) == 'a' + expected + 'z', qPrintable(QString::number(c, 16)));
    }
    QCOMPARE(toWindows1252(u"\U0001F600\u00e9"_s), QByteArray("&#128512;\xe9"));
    QCOMPARE(toAsciiHtml(QString(QChar(0xD83D)) + u"x"_s), QByteArray("&#55357;x"));
}

// Long ASCII runs are encoded in blocks: any other character at any place in or between them
// is seen.
void ArchiveSupportTest::encodingSeesEveryPlace()
{
    for (int at = 0; at <= 70; ++at) {
        const QString before(at, u'a');
        const QString after(70 - at, u'b');
        QCOMPARE(toWindows1252(before + u"\u00e9"_s + after),
                 before.toLatin1() + '\xe9' + after.toLatin1());
        QCOMPARE(toAsciiHtmlText(before + u"\u0416"_s + after), before + u"&#1046;"_s + after);
        QVERIFY(!lorvo::isValidUtf16(QString(before + QChar(0xDC00) + after)));
        QVERIFY(lorvo::isValidUtf16(QString(before + u"\U0001F600"_s + after)));
    }
}

void ArchiveSupportTest::asciiHtmlReferencesEverythingElse()
{
    const QString text = u"Caf\u00e9 \u20ac <p> \U0001F600"_s;
    const QByteArray bytes = toAsciiHtml(text);
    QCOMPARE(bytes, QByteArray("Caf&#233; &#8364; <p> &#128512;"));
    // Whatever 8-bit code page the reader assumes, it reads the same text.
    QCOMPARE(QStringDecoder(QStringDecoder::Latin1).decode(bytes).operator QString(),
             QString::fromLatin1(bytes));
}

void ArchiveSupportTest::htmlEscapeCoversQuotes()
{
    QCOMPARE(htmlEscape(u"<a href='x'>\"Tom & Jerry\"</a>"_s),
             u"&lt;a href=&#39;x&#39;&gt;&quot;Tom &amp; Jerry&quot;&lt;/a&gt;"_s);
    QCOMPARE(htmlEscape(u"Caf\u00e9"_s), u"Caf\u00e9"_s);
    // Control characters go, alone or beside what is escaped; tabs and line breaks stay.
    QCOMPARE(htmlEscape(u"a\u0001b\u007F"_s), u"ab"_s);
    QCOMPARE(htmlEscape(QStringView(u"x\0<\t\r\n", 6).toString()), u"x&lt;\t\r\n"_s);
}

// The fast case-blind search finds what Qt's finds, first and last, from any position.
void ArchiveSupportTest::caseBlindSearchAsQtFindsIt()
{
    const QString alphabet = u"<bOdYy:a>/\u00e9 "_s;
    std::mt19937 random(12);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        // Long texts too: they are searched in blocks.
        for (int k = int(random() % (round % 2 ? 24 : 120)); k > 0; --k)
            text += alphabet.at(int(random() % alphabet.size()));
        for (const QLatin1StringView word :
             {"<body"_L1, "body"_L1, "y:"_L1, "dY:a"_L1, "</body"_L1, "b"_L1}) {
            const qsizetype from = qsizetype(random() % (text.size() + 2));
            QCOMPARE(indexOfCaseBlind(text, word, from),
                     text.indexOf(word, from, Qt::CaseInsensitive));
            QCOMPARE(lastIndexOfCaseBlind(text, word),
                     text.lastIndexOf(word, -1, Qt::CaseInsensitive));
        }
    }
}

void ArchiveSupportTest::tagSearchAsARegularExpressionFindsIt()
{
    // The tag's name ends where a regular expression's \b says, and the tag at its first ">".
    const QStringList pieces = {u"<meta"_s, u"<META"_s, u"<mEta"_s, u"<met"_s, u"_"_s,     u"1"_s,
                                u"x"_s,     u">"_s,     u"-"_s,     u" "_s,    u"\u00e9"_s};
    const QRegularExpression meta(u"<meta\\b[^>]*>"_s, QRegularExpression::CaseInsensitiveOption);
    std::mt19937 random(34);
    int tags = 0;
    for (int round = 0; round < 3000; ++round) {
        QString text;
        for (int k = int(random() % (round % 2 ? 8 : 40)); k > 0; --k)
            text += pieces.at(int(random() % pieces.size()));
        const qsizetype from = qsizetype(random() % (text.size() + 1));
        const auto found = nextTagCaseBlind(text, "<meta"_L1, from);
        const QRegularExpressionMatch match = meta.match(text, from);
        QCOMPARE(found.has_value(), match.hasMatch());
        if (found) {
            QCOMPARE(*found, std::pair(match.capturedStart(), match.capturedEnd()));
            ++tags;
        }
    }
    QVERIFY(tags > 300); // the tags were there to find
}

void ArchiveSupportTest::hrefEncodeKeepsTheLinkOnTheFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("href");
    QTest::newRow("plain") << u"1001.htm"_s << u"1001.htm"_s;
    QTest::newRow("quote ends the attribute") << u"Don't panic.htm"_s << u"Don%27t%20panic.htm"_s;
    QTest::newRow("fragment and percent") << u"50% #1.htm"_s << u"50%25%20%231.htm"_s;
    QTest::newRow("query") << u"why;not&yes.htm"_s << u"why%3Bnot%26yes.htm"_s;
    QTest::newRow("folder kept") << u"1001_files/1001_1.txt"_s << u"1001_files/1001_1.txt"_s;
    QTest::newRow("non-ascii as utf-8") << u"Caf\u00e9.htm"_s << u"Caf%C3%A9.htm"_s;
}

void ArchiveSupportTest::hrefEncodeKeepsTheLinkOnTheFile()
{
    QFETCH(QString, name);
    QFETCH(QString, href);
    QCOMPARE(hrefEncode(name), href);
    // A browser resolving the link lands on the file of that very name.
    const QUrl base(u"file:///site/index.htm"_s);
    QCOMPARE(base.resolved(QUrl(href)).toLocalFile(), u"/site/"_s + name);
}
