// The article page and its parts: names, header, the page text, the writing of a page.

#include "archive/article.h"
#include "tests/archive/test_generators.h"
#include "tests/support/testsupport.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;
using lorvo::test::readAll;

namespace {

cArticle sample()
{
    cArticle a;
    a.Subject = u"Printer jam"_s;
    a.ProblemType = u"Hardware"_s;
    a.ProblemCategory = u"Printing"_s;
    return a;
}

const QString kLink = u"<LINK REL=\"STYLESHEET\" HREF=\"style.css\" TYPE=\"text/css\" />"_s;

} // namespace

void GeneratorsTest::strippedNames_data()
{
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << u"Can't print"_s << u"Can't print"_s;
    QTest::newRow("all nine") << u"a\\b/c?d*e:f\"g<h>i|j"_s << u"abcdefghij"_s;
    QTest::newRow("control characters") << u"tab\there\nnew"_s << u"tabherenew"_s;
    QTest::newRow("blanks kept inside") << u" a  b "_s << u" a  b "_s;
}

void GeneratorsTest::strippedNames()
{
    QFETCH(QString, subject);
    QFETCH(QString, expected);
    QCOMPARE(fncStripInvalidCharacters(subject), expected);
}

void GeneratorsTest::nothingLeftGivesNullName()
{
    for (const QString& subject : {u"???"_s, u"  "_s, QString(), u" / \\ "_s}) {
        const QString name = fncStripInvalidCharacters(subject);
        QVERIFY2(name.startsWith(u"NULL_"_s), qPrintable(name));
        bool ok = false;
        const double value = name.mid(5).toDouble(&ok);
        QVERIFY2(ok && value >= 0.0 && value <= 1.0, qPrintable(name));
    }
}

void GeneratorsTest::pageNames()
{
    QCOMPARE(pageFileName(0, u"  A? b  "_s, 7), u"A b.htm"_s);
    QCOMPARE(pageFileName(1, u"A? b"_s, 1001), u"1001.htm"_s);
    QCOMPARE(pageFileName(1, u"A? b"_s, 40000), u"40000.htm"_s);
    QCOMPARE(pageFilePath(u"/d"_s, u"x.htm"_s), u"/d/x.htm"_s);
    // Device names of Windows get a suffix; names that merely start like them do not.
    QCOMPARE(pageFileName(0, u"con"_s, 1), u"con_.htm"_s);
    QCOMPARE(pageFileName(0, u"LPT1.txt"_s, 1), u"LPT1.txt_.htm"_s);
    QCOMPARE(pageFileName(0, u"Console"_s, 1), u"Console.htm"_s);
    QCOMPARE(pageFileName(0, u"COM10"_s, 1), u"COM10.htm"_s);
}

void GeneratorsTest::longPathsAreCut()
{
    const QString dest = u"/"_s + QString(100, u'd');
    // 249 characters: left as it is.
    const QString name249 = QString(249 - dest.size() - 1 - 4, u'n') + u".htm"_s;
    QCOMPARE(pageFilePath(dest, name249), dest + u'/' + name249);
    // 250 characters and more: the first 245 + ".htm".
    const QString name250 = QString(250 - dest.size() - 1 - 4, u'n') + u".htm"_s;
    const QString cut = pageFilePath(dest, name250);
    QCOMPARE(cut.size(), 249);
    QCOMPARE(cut, QString(dest + u'/' + name250).left(245) + u".htm"_s);
    QVERIFY(pageFilePath(dest, QString(400, u'x') + u".htm"_s).startsWith(dest + u"/xxx"_s));
    // A destination too long for the rule keeps the page inside it, with one character of name.
    const QString longDest = u"/"_s + QString(260, u'd');
    QCOMPARE(pageFilePath(longDest, u"abc.htm"_s), longDest + u"/a.htm"_s);
    // A surrogate pair at the cut is not split.
    const QString emoji = u"\U0001F600"_s;
    QString name = QString(245 - dest.size() - 2, u'n') + emoji + QString(20, u'n') + u".htm"_s;
    const QString cutPair = pageFilePath(dest, name);
    QVERIFY(!cutPair.at(cutPair.size() - 5).isHighSurrogate());
}

void GeneratorsTest::headerAndLinks()
{
    cArticle a = sample();
    a.TOClink = tocBackLink();
    QCOMPARE(pageHeader(a),
             u"<h1>Printer jam</h1><a href='index.htm'><b>Table of Contents (index)</b></a>"
             "<hr><b>Problem Type     : </b>Hardware<br><b>Problem Category : </b>Printing"
             "<br><hr><br>"_s);
    QCOMPARE(attachmentListEntry(1001, 2, u"pdf"_s, u"manual.pdf"_s),
             u"<li><a href='1001_files/1001_2.pdf'>manual.pdf</a></li>"_s);
}

void GeneratorsTest::articleTextIsEscaped()
{
    cArticle a;
    a.Subject = u"<script>alert('x')</script> & \"q\""_s;
    a.ProblemType = u"<b>"_s;
    a.ProblemCategory = u"A&B"_s;
    const QString header = pageHeader(a);
    QVERIFY(!header.contains(u"<script>"_s));
    QVERIFY(header.contains(
        u"<h1>&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;q&quot;</h1>"_s));
    QVERIFY(header.contains(u"</b>&lt;b&gt;<br>"_s));
    QVERIFY(header.contains(u"</b>A&amp;B<br>"_s));
    a.Body = u"<html><head><TITLE></TITLE></head><body>x</body></html>"_s;
    QVERIFY(buildArticlePage(a).contains(u"<TITLE>&lt;script&gt;"_s));
    QCOMPARE(attachmentListEntry(5, 1, u"txt"_s, u"<img src=x>.txt"_s),
             u"<li><a href='5_files/5_1.txt'>&lt;img src=x&gt;.txt</a></li>"_s);
}

void GeneratorsTest::pageSteps_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("expected");
    const QString h = u"<h1>Printer jam</h1><hr><b>Problem Type     : </b>Hardware<br>"
                      "<b>Problem Category : </b>Printing<br><hr><br>"_s;
    const QString tail = u"<hr>"_s;
    QTest::newRow("lower-case tags")
        << u"<html><head><title>T</title></head><body>x</body></html>"_s
        << u"<html><head><title>T</title>"_s + kLink + u"</head><body>"_s + h +
               u"x</body></html>"_s + tail;
    QTest::newRow("upper-case tags, empty title")
        << u"<HTML><HEAD><TITLE></TITLE></HEAD><BODY>x</BODY></HTML>"_s
        << u"<HTML><HEAD><TITLE>Printer jam</TITLE>"_s + kLink + u"</HEAD><BODY>"_s + h +
               u"x</BODY></HTML>"_s + tail;
    // Every empty title is filled; the link follows the first, the header stands before the
    // title that follows <body>.
    QTest::newRow("empty titles") << u"<TITLE></TITLE><TITLE></TITLE><body><TITLE></TITLE>"_s
                                  << u"<TITLE>Printer jam</TITLE>"_s + kLink +
                                         u"<TITLE>Printer jam</TITLE><body>"_s + h +
                                         u"<TITLE>Printer jam</TITLE>"_s + tail;
    QTest::newRow("lower wins over upper")
        << u"</title></TITLE><body><BODY>"_s
        << u"</title>"_s + kLink + u"</TITLE><body>"_s + h + u"<BODY>"_s + tail;
    // Only the first: a body repeating its tags does not multiply the header.
    QTest::newRow("first occurrence")
        << u"</title>a</title><body>b<body>"_s
        << u"</title>"_s + kLink + u"a</title><body>"_s + h + u"b<body>"_s + tail;
    QTest::newRow("no title, no body tag") << u"just text"_s << h + kLink + u"just text"_s + tail;
    QTest::newRow("body tag with attributes")
        << u"<html><body bgcolor=white>x</body></html>"_s
        << h + kLink + u"<html><body bgcolor=white>x</body></html>"_s + tail;
    QTest::newRow("point sizes")
        << u"<body><p style='font-size:12.0pt'>a</p><span style='font-size:11.0pt;x:10.0pt'>"
           "9.0pt 8.0pt</span>"_s
        << kLink + u"<body>"_s + h +
               u"<p style='font-size:8.5pt'>a</p><span style='font-size:8.5pt;x:8.5pt'>"
               "8.5pt 8.0pt</span>"_s +
               tail;
    QTest::newRow("stray references removed")
        << u"<body>a&#65535;b&#65535;</body>"_s << kLink + u"<body>"_s + h + u"ab</body>"_s + tail;
    // Long text is looked through in blocks: a size or a reference at any place in one, or
    // across two, is found all the same.
    for (int at = 0; at <= 40; ++at) {
        const QString before(at, u'x');
        const QString after(70 - at, u'y');
        QTest::addRow("marks at %d", at)
            << u"<body>"_s + before + u"10.0pt"_s + after + u"&#65535;"_s + before + u"</body>"_s
            << kLink + u"<body>"_s + h + before + u"8.5pt"_s + after + before + u"</body>"_s + tail;
    }
}

void GeneratorsTest::pageSteps()
{
    QFETCH(QString, body);
    QFETCH(QString, expected);
    cArticle a = sample();
    a.Body = body;
    QCOMPARE(buildArticlePage(a), expected);
    QCOMPARE(a.Body, expected);
}

void GeneratorsTest::attachmentsAndBackLinkAppended()
{
    cArticle a = sample();
    a.TOClink = tocBackLink();
    a.Attachments = u"<p><b>Attachments:</b><ul><li>x</li></ul></p>"_s;
    a.Body = u"<body>x</body>"_s;
    const QString page = buildArticlePage(a);
    QVERIFY(page.endsWith(u"x</body><p><b>Attachments:</b><ul><li>x</li></ul></p><hr>"
                          "<a href='index.htm'><b>Table of Contents (index)</b></a>"_s));
}

void GeneratorsTest::writeHonoursOverwrite()
{
    lorvo::test::TestRuntime t;
    const QString path = t.path(u"page.htm"_s);
    cArticle a = sample();
    a.Body = u"<body>first</body>"_s;
    subWriteHTML(*t.rt, path, a, 1);
    QVERIFY(readAll(path).contains("first"));

    // Overwrite off: the page stays and its body is never asked for.
    bool loaded = false;
    cArticle b = sample();
    subWriteHTML(*t.rt, path, b, 0, [&] {
        loaded = true;
        return u"<body>second</body>"_s;
    });
    QVERIFY(!loaded);
    QVERIFY(readAll(path).contains("first"));

    // Overwrite on: replaced, with the lazily supplied body.
    subWriteHTML(*t.rt, path, b, 1, [&] {
        loaded = true;
        return u"<body>second</body>"_s;
    });
    QVERIFY(loaded);
    QVERIFY(readAll(path).contains("second"));
    QVERIFY(!readAll(path).contains("first"));
}

void GeneratorsTest::pageIsWindows1252WithReferences()
{
    lorvo::test::TestRuntime t;
    const QString path = t.path(u"p.htm"_s);
    cArticle a = sample();
    a.Subject = u"Caf\u00e9 \u20ac \u4e2d"_s;
    a.Body = u"<body>\u00fc\u2013\U0001F600</body>"_s;
    subWriteHTML(*t.rt, path, a, 1);
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.contains("<h1>Caf\xe9 \x80 &#20013;</h1>"));
    QVERIFY(bytes.contains("<body>"));
    QVERIFY(bytes.contains("\xfc\x96&#128512;</body>"));
}

void GeneratorsTest::writeFailureGoesToTheCaller()
{
    // The generator leaves the article out and goes on with the others.
    lorvo::test::TestRuntime t;
    t.fs.failBelow(t.path(u"locked"_s), lorvo::err::PermissionDenied);
    cArticle a = sample();
    a.Body = u"x"_s;
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, subWriteHTML(*t.rt, t.path(u"locked/p.htm"_s), a, 1));
    QVERIFY(!t.end.ended);
    QVERIFY(t.dialogs.requests.isEmpty());
}

void GeneratorsTest::declaredCharsetMatchesBytes()
{
    QCOMPARE(declareWindows1252(u"<html><head><META http-equiv=Content-Type "
                                "content=\"text/html; charset=utf-8\"><meta charset='UTF-8'>"
                                "</head><body>charset=utf-8 stays in the text</body></html>"_s),
             u"<html><head><META http-equiv=Content-Type content=\"text/html; "
             "charset=windows-1252\"><meta charset='windows-1252'></head><body>charset=utf-8 "
             "stays in the text</body></html>"_s);
    const QString plain = u"<html><body>no meta</body></html>"_s;
    QCOMPARE(declareWindows1252(plain), plain);
    // In text that is no valid UTF-16 (a surrogate alone, after the tag) nothing is declared anew,
    // as a regular expression matches nothing there.
    const QString broken = u"<meta charset=utf-8><body>"_s + QChar(0xD800) + u"</body>"_s;
    QCOMPARE(declareWindows1252(broken), broken);

    // The written page says what its bytes are.
    lorvo::test::TestRuntime t;
    cArticle a = sample();
    a.Body = u"<head><meta http-equiv=Content-Type content=\"text/html; charset=utf-8\"></head>"
             "<body>caf\u00e9</body>"_s;
    subWriteHTML(*t.rt, t.path(u"p.htm"_s), a, 1);
    const QByteArray bytes = readAll(t.path(u"p.htm"_s));
    QVERIFY(bytes.contains("charset=windows-1252\">"));
    QVERIFY(bytes.contains("caf\xe9</body>"));
    // A page that is no valid UTF-16 keeps its declaration.
    a.Body = u"<meta charset=utf-8><body>"_s + QChar(0xDC00) + u"</body>"_s;
    subWriteHTML(*t.rt, t.path(u"p.htm"_s), a, 1);
    QVERIFY(readAll(t.path(u"p.htm"_s)).contains("charset=utf-8>"));
}
