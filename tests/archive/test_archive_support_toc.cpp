#include "archive/toc.h"
#include "shared/error.h"
#include "shared/errorhandling.h"
#include "test_archive_support.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;
using lorvo::test::readAll;
using lorvo::test::TestRuntime;

namespace {

// A support file as the repository holds it.
QByteArray sourceFile(const QString& name)
{
    const QString root = qEnvironmentVariable("LORVO_SOURCE_DIR");
    return readAll(root + u"/archive/files/"_s + name);
}

// One element of a page, as a browser reads its start tag: the name and the attributes in lower
// case, and for an element whose content is text (title, h1, script) that text.
struct Element
{
    QString name;
    QHash<QString, QString> attributes;
    QString text;
};

QList<Element> elementsOf(const QString& html)
{
    static const QRegularExpression startTag(u"<([A-Za-z][A-Za-z0-9]*)([^>]*)>"_s);
    static const QRegularExpression attribute(
        u"([^\\s=/]+)(?:\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+)))?"_s);
    QList<Element> elements;
    for (auto tags = startTag.globalMatch(html); tags.hasNext();) {
        const QRegularExpressionMatch tag = tags.next();
        Element e;
        e.name = tag.captured(1).toLower();
        for (auto it = attribute.globalMatch(tag.captured(2)); it.hasNext();) {
            const QRegularExpressionMatch a = it.next();
            e.attributes.insert(a.captured(1).toLower(),
                                a.captured(2) + a.captured(3) + a.captured(4));
        }
        if (e.name == "title"_L1 || e.name == "h1"_L1 || e.name == "script"_L1) {
            const qsizetype end =
                html.indexOf(u"</"_s + e.name, tag.capturedEnd(), Qt::CaseInsensitive);
            e.text = html.mid(tag.capturedEnd(), end - tag.capturedEnd());
        }
        elements.append(e);
    }
    return elements;
}

// The first element of a name, or an empty one.
Element first(const QList<Element>& elements, const QString& name)
{
    for (const Element& e : elements) {
        if (e.name == name)
            return e;
    }
    return {};
}

// The report of a trapped error names the procedure; the program has ended.
void verifyReported(TestRuntime& t, const QString& procedure)
{
    QVERIFY(t.end.ended);
    QCOMPARE(t.dialogs.messages().size(), 1);
    QVERIFY2(t.rt->errors().errorText().contains(u"Sub routine : "_s + procedure),
             qPrintable(t.rt->errors().errorText()));
}

} // namespace

void ArchiveSupportTest::tocHeadCarriesWhatThePagesNeed()
{
    // Both forms: a head with the title and the style sheet every page shares, closed before the
    // body, whose heading names the table of contents. Lines end as on Windows.
    for (const bool collapsible : {false, true}) {
        const QByteArray bytes = tocHead(collapsible);
        const QString head = QString::fromLatin1(bytes);
        QVERIFY(!QRegularExpression(u"[^\\r]\\n"_s).match(head).hasMatch());
        QVERIFY(head.indexOf("</head>"_L1) < head.indexOf("<body"_L1));
        const QList<Element> elements = elementsOf(head);
        QCOMPARE(elements.value(0).name, u"html"_s);
        QCOMPARE(elements.value(1).name, u"head"_s);
        QCOMPARE(first(elements, u"title"_s).text, u"Table of Contents"_s);
        const Element link = first(elements, u"link"_s);
        QCOMPARE(link.attributes.value(u"rel"_s).toLower(), u"stylesheet"_s);
        QCOMPARE(link.attributes.value(u"href"_s), u"style.css"_s);
        QCOMPARE(link.attributes.value(u"type"_s), u"text/css"_s);
        QCOMPARE(first(elements, u"h1"_s).text, u"Table of Contents"_s);

        // The foldable form loads the outline script and starts it; a click on the page goes to
        // it. Its stand-in dynOutline comes first, so that the script's own replaces it.
        QList<Element> scripts;
        for (const Element& e : elements) {
            if (e.name == "script"_L1)
                scripts.append(e);
        }
        const Element body = first(elements, u"body"_s);
        if (!collapsible) {
            QVERIFY(scripts.isEmpty());
            QVERIFY(body.attributes.isEmpty());
            continue;
        }
        QCOMPARE(scripts.size(), 3);
        QVERIFY(scripts[0].text.contains(u"function dynOutline()"_s));
        QCOMPARE(scripts[1].attributes.value(u"src"_s), u"outline.js"_s);
        QCOMPARE(scripts[2].attributes.value(u"for"_s), u"document"_s);
        QCOMPARE(scripts[2].attributes.value(u"event"_s), u"onreadystatechange()"_s);
        QVERIFY(scripts[2].text.contains(u"initOutline()"_s));
        QCOMPARE(body.attributes.value(u"onclick"_s), u"dynOutline()"_s);
        const QByteArray script = sourceFile(u"outline.js"_s);
        QVERIFY(script.contains("function initOutline()"));
        QVERIFY(script.contains("function dynOutline("));
    }
}

void ArchiveSupportTest::writeTocReplacesReadOnlyIndex()
{
    TestRuntime t;
    const QString index = t.path(u"site/index.htm"_s);
    QDir().mkpath(t.path(u"site"_s));
    for (const quint8 flag : {quint8(0), quint8(1), quint8(2)}) {
        {
            QFile old(index);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(QByteArray(5000, 'x'));
        }
        QFile::setPermissions(index, QFileDevice::ReadOwner);

        auto sink = fncWriteTOC(*t.rt, index, flag);
        QVERIFY(sink);
        sink->write("<ul></ul><br></body></html>");
        sink->commit();
        QCOMPARE(readAll(index), tocHead(flag != 0) + "<ul></ul><br></body></html>");
    }

    // A run that ends before the table of contents is complete leaves the old one whole.
    QFile::setPermissions(index, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray complete = readAll(index);
    {
        auto sink = fncWriteTOC(*t.rt, index, 1);
        sink->write("<ul><li>half");
    }
    QCOMPARE(readAll(index), complete);
    QVERIFY(!t.end.ended);
    QVERIFY(t.dialogs.messages().isEmpty());
}

void ArchiveSupportTest::writeTocFailureIsReported()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site);
    t.fs.failBelow(site, lorvo::err::PermissionDenied);
    QVERIFY_THROWS_EXCEPTION(lorvo::ProgramEnded, fncWriteTOC(*t.rt, site + u"/index.htm"_s, 1));
    verifyReported(t, u"fncWriteTOC"_s);
}

void ArchiveSupportTest::supportFilesWrittenFromResources_data()
{
    QTest::addColumn<int>("collapse");
    QTest::addColumn<bool>("script");
    QTest::newRow("flat") << 0 << false;
    QTest::newRow("collapsible") << 1 << true;
    QTest::newRow("other non-zero") << 2 << false;
}

void ArchiveSupportTest::supportFilesWrittenFromResources()
{
    QFETCH(int, collapse);
    QFETCH(bool, script);
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site);

    subExtractFilesFromResource(*t.rt, site, quint8(collapse));

    QVERIFY(!t.end.ended);
    QCOMPARE(readAll(site + u"/style.css"_s), sourceFile(u"style.css"_s));
    QVERIFY(!sourceFile(u"style.css"_s).isEmpty());
    QCOMPARE(QFile::exists(site + u"/outline.js"_s), script);
    if (script)
        QCOMPARE(readAll(site + u"/outline.js"_s), sourceFile(u"outline.js"_s));
    const QByteArray gif = readAll(site + u"/Images/bulletredsmall.gif"_s);
    QCOMPARE(gif, sourceFile(u"bulletredsmall.gif"_s));
    QVERIFY(gif.startsWith("GIF89a"));
}

void ArchiveSupportTest::supportFilesReplaceExistingAndKeepImages()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site + u"/Images"_s);
    const auto plant = [](const QString& path) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(20000, 'z'));
    };
    plant(site + u"/style.css"_s);
    plant(site + u"/outline.js"_s);
    plant(site + u"/Images/bulletredsmall.gif"_s);
    plant(site + u"/Images/1001.rtf"_s);

    subExtractFilesFromResource(*t.rt, site, 1);

    QCOMPARE(readAll(site + u"/style.css"_s), sourceFile(u"style.css"_s));
    QCOMPARE(readAll(site + u"/outline.js"_s), sourceFile(u"outline.js"_s));
    QCOMPARE(readAll(site + u"/Images/bulletredsmall.gif"_s), sourceFile(u"bulletredsmall.gif"_s));
    // The folder was there already: it is not made again, and what it held stays.
    QCOMPARE(QFileInfo(site + u"/Images/1001.rtf"_s).size(), 20000);
    QVERIFY(!t.end.ended);
}

void ArchiveSupportTest::supportFileFailureIsReported()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site);
    t.fs.failBelow(site + u"/Images"_s, lorvo::err::PermissionDenied);
    QVERIFY_THROWS_EXCEPTION(lorvo::ProgramEnded, subExtractFilesFromResource(*t.rt, site, 1));
    verifyReported(t, u"subExtractFilesFromResource"_s);
    // The step text tells where it failed.
    QVERIFY(t.rt->errors().errorText().contains(u"Creating the folder "_s +
                                                QDir::toNativeSeparators(site + u"/Images"_s)));
    QVERIFY(QFile::exists(site + u"/outline.js"_s));
}

void ArchiveSupportTest::fileNameAfterLastSeparator_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("backslash") << u"C:\\web\\kb\\1001.htm"_s << u"1001.htm"_s;
    QTest::newRow("slash") << u"/srv/web/Printer setup.htm"_s << u"Printer setup.htm"_s;
    QTest::newRow("mixed") << u"C:\\web/kb\\a.htm"_s << u"a.htm"_s;
    QTest::newRow("no separator") << u"index.htm"_s << u"index.htm"_s;
    QTest::newRow("trailing separator") << u"C:\\web\\"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void ArchiveSupportTest::fileNameAfterLastSeparator()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(fncGetFileName(path), name);
}
