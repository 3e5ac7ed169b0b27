#include "archive/toc.h"
#include "shared/error.h"
#include "shared/errorhandling.h"
#include "test_archive_support.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;
using lorvo::test::TestRuntime;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A support file as the repository holds it.
QByteArray sourceFile(const QString& name)
{
    const QString root = qEnvironmentVariable("LORVO_SOURCE_DIR");
    return readAll(root + u"/archive/files/"_s + name);
}

const QByteArray kPlainHead =
    "<html><head><title>Table of Contents</title><LINK REL=\"STYLESHEET\" HREF=\"style.css\" "
    "TYPE=\"text/css\" /></head><body><h1>Table of Contents</h1></p>";

const QByteArray kCollapsibleHead =
    "<html><head><title>Table of Contents</title><LINK REL=\"STYLESHEET\" HREF=\"style.css\" "
    "TYPE=\"text/css\" />\r\n"
    "<script language=\"JavaScript\" fptype=\"dynamicoutline\">\r\n"
    "<!--\r\n"
    "function dynOutline() {}\r\n"
    "//-->\r\n"
    "</script>\r\n"
    "\r\n"
    "<script language=\"JavaScript1.2\" fptype=\"dynamicoutline\" src=\"outline.js\">\r\n"
    "</script>\r\n"
    "\r\n"
    "<script language=\"JavaScript1.2\" fptype=\"dynamicoutline\" for=\"document\" "
    "event=\"onreadystatechange()\">\r\n"
    "<!--\r\n"
    "initOutline()\r\n"
    "//-->\r\n"
    "</script></head>\r\n"
    "<body onclick=\"dynOutline()\" language=\"Javascript1.2\"><h1>Table of Contents</h1></p>";

// The report of a trapped error names the procedure; the program has ended.
void verifyReported(TestRuntime& t, const QString& procedure)
{
    QVERIFY(t.end.ended);
    QCOMPARE(t.dialogs.messages().size(), 1);
    QVERIFY2(t.rt->errors().errorText().contains(u"Sub routine : "_s + procedure),
             qPrintable(t.rt->errors().errorText()));
}

} // namespace

void ArchiveSupportTest::tocHeadIsExact()
{
    QCOMPARE(tocHead(false), kPlainHead);
    QCOMPARE(tocHead(true), kCollapsibleHead);
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
        QCOMPARE(readAll(index),
                 (flag ? kCollapsibleHead : kPlainHead) + "<ul></ul><br></body></html>");
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
