#include "archive/conversion.h"
#include "archive/destination.h"
#include "archive/inlinepictures.h"
#include "archive/safeitem.h"
#include "shared/errorhandling.h"
#include "test_archive_support.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;
using lorvo::test::readAll;
using lorvo::test::TestRuntime;

namespace {

// A document of the built-in word processor that, as Word would, only saves files.
class FilesOnlyDocument final : public WordDocument
{
public:
    explicit FilesOnlyDocument(std::unique_ptr<WordDocument> inner) : m_inner(std::move(inner)) {}
    void SaveAs(const QString& path, qint32 fileFormat) override
    {
        m_inner->SaveAs(path, fileFormat);
    }
    std::optional<QString> filteredHtmlText(const QString&) override { return std::nullopt; }
    void Close(qint32 saveChanges) override { m_inner->Close(saveChanges); }

private:
    std::unique_ptr<WordDocument> m_inner;
};

// The built-in word processor, counted; with filesOnly it opens and saves files only, as Word.
struct CountingFactory
{
    int started = 0;
    int quits = 0;
    int opened = 0;
    bool available = true;
    bool filesOnly = false;

    WordProcessorFactory factory()
    {
        return [this]() -> std::unique_ptr<WordProcessor> {
            if (!available)
                throw lorvo::Error(lorvo::err::CannotCreateObject,
                                   u"ActiveX component can't create object"_s);
            ++started;
            return std::make_unique<Counted>(*this);
        };
    }

    class Counted final : public WordProcessor
    {
    public:
        explicit Counted(CountingFactory& owner) : m_owner(owner) {}
        void SetVisible(bool visible) override { m_inner->SetVisible(visible); }
        std::unique_ptr<WordDocument> Open(const QString& path) override
        {
            ++m_owner.opened;
            auto document = m_inner->Open(path);
            if (m_owner.filesOnly)
                return std::make_unique<FilesOnlyDocument>(std::move(document));
            return document;
        }
        std::unique_ptr<WordDocument> OpenData(const QByteArray& bytes) override
        {
            if (m_owner.filesOnly)
                return nullptr;
            ++m_owner.opened;
            return m_inner->OpenData(bytes);
        }
        void Quit() override
        {
            ++m_owner.quits;
            m_inner->Quit();
        }

    private:
        CountingFactory& m_owner;
        std::unique_ptr<WordProcessor> m_inner = createBuiltinWordProcessor();
    };
};

const QString kPicture = u"<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\">"_s;

} // namespace

void ArchiveSupportTest::filteredWordHtmlCuts_data()
{
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("cleaned");
    const QString head = u"<html><head></head><body lang=EN-US>"_s;
    const QString m2 = u"<p class=MsoNormal style='margin-top:5.0pt;margin-right:0in;"
                       "margin-bottom:5.0pt;\r\nmargin-left:0in;text-autospace:none'>"_s;
    const QString m3 = u"<p class=MsoNormal style='margin-top:5.0pt;margin-right:0cm;"
                       "margin-bottom:5.0pt;\r\nmargin-left:0cm;text-autospace:none'>"_s;
    const QString m4 = u"<p class=MsoNormal style='text-autospace:none'>"_s;

    QTest::newRow("no division") << u"<p class=MsoNormal>&nbsp;</p>body"_s
                                 << u"<p class=MsoNormal>&nbsp;</p>body"_s;
    QTest::newRow("division, no marker")
        << head + u"<div class=Section1><p>From: x</p><p>body</p></div>"_s
        << head + u"<div class=Section1><p>From: x</p><p>body</p></div>"_s;
    QTest::newRow("empty paragraph")
        << head + u"<div class=Section1><p class=MsoNormal>From: x</p>"
                  "<p class=MsoNormal>&nbsp;</p><p>body</p></div></body>"_s
        << head + u"\r\n<p>body</p></div></body>"_s;
    QTest::newRow("upper-case division only")
        << head + u"<DIV class=Section1><p>From</p><p class=MsoNormal>&nbsp;</p>body</DIV>"_s
        << head + u"\r\nbody</DIV>"_s;
    QTest::newRow("lower case wins over upper")
        << u"A<DIV class=Section1>B<div class=Section1>C<p class=MsoNormal>&nbsp;</p>D"_s
        << u"A<DIV class=Section1>B\r\nD"_s;
    QTest::newRow("empty paragraph first, though a style marker comes earlier")
        << head + u"<div class=Section1>"_s + m4 + u"text</p><p class=MsoNormal>&nbsp;</p>rest"_s
        << head + u"\r\nrest"_s;
    QTest::newRow("inch margins") << head + u"<div class=Section1>From"_s + m2 + u"Body</p>"_s
                                  << head + u"\r\nBody</p>"_s;
    QTest::newRow("centimetre margins")
        << head + u"<div class=Section1>From"_s + m3 + u"B</p>"_s << head + u"\r\nB</p>"_s;
    QTest::newRow("style marker 2 before 3 and 4")
        << head + u"<div class=Section1>"_s + m4 + u"x"_s + m3 + u"y"_s + m2 + u"z"_s
        << head + u"\r\nz"_s;
    QTest::newRow("no autospace") << u"<div class=Section1>"_s + m4 + u"B</p></div>"_s
                                  << u"\r\nB</p></div>"_s;
    QTest::newRow("marker case matters") << u"<div class=Section1><P class=MsoNormal>&nbsp;</P>B"_s
                                         << u"<div class=Section1><P class=MsoNormal>&nbsp;</P>B"_s;
}

void ArchiveSupportTest::filteredWordHtmlCuts()
{
    QFETCH(QString, html);
    QFETCH(QString, cleaned);
    QCOMPARE(fncFilteredWordHTML(html), cleaned);
}

void ArchiveSupportTest::convertBodyEndToEnd()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site);
    auto item = std::make_shared<TestItem>();
    item->html = u"<html><head><title></title></head><body><p>Restart the spooler "
                 "\u2013 caf\u00e9 \u0416</p>"_s +
                 kPicture + u"</body></html>"_s;
    SafeItem safe(*t.rt);
    CountingFactory word;
    BodyConversion conversion(*t.rt, safe, word.factory());
    WorkingFolder work(t.fs, site);

    const auto body = conversion.convertBody(item, work, u"1001"_s);
    QVERIFY(body);
    // The header block is gone; the body and its picture link are there, readable whatever the
    // code page the page is later written in.
    QVERIFY2(!body->contains(u"Subject:"_s), qPrintable(*body));
    QVERIFY(!body->contains(u"<div class=Section1>"_s));
    QVERIFY2(body->contains(u"\r\n<p>Restart the spooler &#8211; caf&#233; &#1046;</p>"
                            "<img src=\"1001_files/image001.gif\">"_s),
             qPrintable(*body));
    QVERIFY(body->contains(u"<body>"_s));
    // Saved and converted in memory: no working file is left, the picture is beside the pages,
    // where the body links it.
    QCOMPARE(item->saved, QStringList{QString()});
    const auto workingFiles = [](const WorkingFolder& w) {
        return QDir(w.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    };
    QCOMPARE(workingFiles(work), QStringList());
    QVERIFY(!QFile::exists(site + u"/1001.htm"_s));
    QCOMPARE(readAll(site + u"/1001_files/image001.gif"_s),
             QByteArray::fromBase64("R0lGODlhAQABAAAAACw="));
    QVERIFY(conversion.holdsWordProcessor());
    QCOMPARE(word.started, 1);

    // A word processor that opens and saves files only gives the same body and pictures from
    // the copy written into the run's copy file, and leaves no working file but that copy.
    const QString other = t.path(u"other"_s);
    QDir().mkpath(other);
    CountingFactory files;
    files.filesOnly = true;
    BodyConversion fileRoad(*t.rt, safe, files.factory());
    WorkingFolder otherWork(t.fs, other);
    QCOMPARE(fileRoad.convertBody(item, otherWork, u"1001"_s), body);
    QCOMPARE(files.opened, 1);
    const QStringList copies = workingFiles(otherWork);
    QCOMPARE(copies.size(), 1);
    QCOMPARE(readAll(otherWork.path() + u'/' + copies.constFirst()),
             item->SaveAsData(outlook::olRTF));
    QCOMPARE(readAll(other + u"/1001_files/image001.gif"_s),
             QByteArray::fromBase64("R0lGODlhAQABAAAAACw="));
    // A copy that cannot be written there is not converted: the copy before is not taken for it.
    t.fs.failBelow(otherWork.path(), lorvo::err::PermissionDenied);
    QVERIFY(!fileRoad.convertBody(item, otherWork, u"1002"_s));
    QCOMPARE(files.opened, 1);

    // So does an item that saves itself into files only, through that file.
    const QString third = t.path(u"third"_s);
    QDir().mkpath(third);
    item->filesOnly = true;
    item->saved.clear();
    WorkingFolder thirdWork(t.fs, third);
    QCOMPARE(conversion.convertBody(item, thirdWork, u"1001"_s), body);
    QCOMPARE(item->saved.size(), 1);
    QCOMPARE(QFileInfo(item->saved.constFirst()).absolutePath(), thirdWork.path());
    QCOMPARE(workingFiles(thirdWork), QStringList{QFileInfo(item->saved.constFirst()).fileName()});
}

void ArchiveSupportTest::convertBodyKeepsAStandingPage()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site);
    const QByteArray page = "<html><body>the page of an earlier run</body></html>";
    {
        QFile f(site + u"/1002.htm"_s);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(page);
    }
    auto item = std::make_shared<TestItem>();
    item->html = u"<html><body><p>new body</p></body></html>"_s;
    SafeItem safe(*t.rt);
    CountingFactory word;
    BodyConversion conversion(*t.rt, safe, word.factory());
    WorkingFolder work(t.fs, site);

    const auto body = conversion.convertBody(item, work, u"1002"_s);
    QVERIFY(body);
    QVERIFY(body->contains(u"<p>new body</p>"_s));
    QCOMPARE(readAll(site + u"/1002.htm"_s), page);

    // No word processor: the standing page is not taken for a conversion either.
    word.available = false;
    conversion.quitWordProcessor();
    QVERIFY(!conversion.convertBody(item, work, u"1002"_s));
    QCOMPARE(readAll(site + u"/1002.htm"_s), page);
}

void ArchiveSupportTest::convertBodyWithoutWordProcessor()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site);
    auto item = std::make_shared<TestItem>();
    item->html = u"<p>kept</p>"_s;
    SafeItem safe(*t.rt);
    CountingFactory word;
    word.available = false;
    BodyConversion conversion(*t.rt, safe, word.factory());
    WorkingFolder work(t.fs, site);

    QVERIFY(!conversion.convertBody(item, work, u"7"_s));
    QCOMPARE(item->saved.size(), 1);
    QVERIFY(QDir(work.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QVERIFY(!conversion.holdsWordProcessor());

    // An RTF file that is not there: nothing to convert, nothing made.
    word.available = true;
    QVERIFY(!conversion.fncConvertRTF2HTML(work.path() + u"/none.rtf"_s, site + u"/none.htm"_s));
    QVERIFY(!QFile::exists(site + u"/none.htm"_s));
    QCOMPARE(word.started, 1);

    // An unreadable one is handed over (true) but gives no HTML file, and is deleted.
    {
        QFile f(work.path() + u"/bad.rtf"_s);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not rich text");
    }
    QVERIFY(conversion.fncConvertRTF2HTML(work.path() + u"/bad.rtf"_s, site + u"/bad.htm"_s));
    QVERIFY(!QFile::exists(site + u"/bad.htm"_s));
    QVERIFY(!QFile::exists(work.path() + u"/bad.rtf"_s));
    QVERIFY(!t.end.ended);
    QVERIFY(t.dialogs.requests.isEmpty());
}

void ArchiveSupportTest::wordProcessorLivesForTheRun()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site);
    auto item = std::make_shared<TestItem>();
    item->html = u"<p>x</p>"_s;
    SafeItem safe(*t.rt);
    CountingFactory word;
    WorkingFolder work(t.fs, site);
    {
        BodyConversion conversion(*t.rt, safe, word.factory());
        QVERIFY(!conversion.holdsWordProcessor());
        for (int n = 1; n <= 3; ++n)
            QVERIFY(conversion.convertBody(item, work, QString::number(n)));
        QCOMPARE(word.started, 1);
        conversion.quitWordProcessor();
        conversion.quitWordProcessor();
        QCOMPARE(word.quits, 1);
        QVERIFY(!conversion.holdsWordProcessor());

        // The next run starts a new one; ending without a quit quits it too.
        QVERIFY(conversion.convertBody(item, work, u"4"_s));
        QCOMPARE(word.started, 2);
    }
    QCOMPARE(word.quits, 2);
}

void ArchiveSupportTest::convertBodyFailures()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    QDir().mkpath(site);
    auto item = std::make_shared<TestItem>();
    item->html = u"<p>x</p>"_s;
    SafeItem safe(*t.rt);
    CountingFactory word;
    BodyConversion conversion(*t.rt, safe, word.factory());
    WorkingFolder work(t.fs, site);

    // The item cannot be saved, or saves nothing: the article keeps its body, and the word
    // processor never sees a copy.
    QVERIFY(conversion.convertBody(item, work, u"0"_s));
    item->failSave = true;
    QVERIFY(!conversion.convertBody(item, work, u"1"_s));
    item->failSave = false;
    item->emptySave = true;
    QVERIFY(!conversion.convertBody(item, work, u"1"_s));
    QCOMPARE(word.opened, 1);
    item->emptySave = false;

    // The same where the item saves itself into files only, also where the copy file, kept for
    // reuse, holds the copy of the item before.
    item->filesOnly = true;
    QVERIFY(conversion.convertBody(item, work, u"0"_s));
    item->failSave = true;
    QVERIFY(!conversion.convertBody(item, work, u"1"_s));

    // A rich-text copy written into the copy file before this save is not taken for its copy.
    {
        QFile f(item->saved.constLast());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag <p>}stale{\\*\\htmltag </p>}}");
    }
    QVERIFY(!conversion.convertBody(item, work, u"2"_s));
    QVERIFY(!QFile::exists(work.path() + u"/2.htm"_s));
    // Nor is an empty file: the word processor never sees either.
    item->failSave = false;
    item->emptySave = true;
    QVERIFY(!conversion.convertBody(item, work, u"2"_s));
    QCOMPARE(word.opened, 2);
    item->emptySave = false;
    // A save is told from the mark by its date, also on a clock that stands long before it;
    // a date beside the mark's is taken for the mark.
    item->savedAt = QDateTime(QDate(1990, 6, 1), QTime(12, 0), Qt::UTC);
    QVERIFY(conversion.convertBody(item, work, u"2"_s));
    item->savedAt = QDateTime(QDate(2000, 1, 1), QTime(12, 0), Qt::UTC);
    QVERIFY(!conversion.convertBody(item, work, u"2"_s));
    item->savedAt = {};

    // The pictures cannot be put beside the pages: the caller hears of it.
    item->failSave = false;
    item->html = u"<body>"_s + kPicture + u"</body>"_s;
    t.fs.failBelow(site + u"/3_files"_s, lorvo::err::PermissionDenied);
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, conversion.convertBody(item, work, u"3"_s));
}

void ArchiveSupportTest::workingFolderClearsWhatARunLeft()
{
    TestRuntime t;
    const QString site = t.path(u"site"_s);
    const QString left = WorkingFolder::pathIn(site);
    QDir().mkpath(left + u"/9_files"_s);
    const auto touch = [](const QString& path) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
    };
    touch(left + u"/9.htm"_s);
    touch(left + u"/9_files/image001.gif"_s);
    // Writes of a page and of the site's files that were cut off, and files that are no write
    // of ours.
    QDir().mkpath(site + u"/Images"_s);
    touch(site + u"/.Printer jam.htm.aB3xYz"_s);
    touch(site + u"/.style.css.Qw3rT9"_s);
    touch(site + u"/.sitemap.xml.Qw3rT9"_s);
    touch(site + u"/Images/.bulletredsmall.gif.Qw3rT9"_s);
    touch(site + u"/.notes.txt.aB3xYz"_s);
    touch(site + u"/.profile"_s);
    touch(site + u"/Images/.logo.gif.Qw3rT9"_s);
    {
        WorkingFolder work(t.fs, site);
        QCOMPARE(work.path(), left);
        QVERIFY(QDir(left).isEmpty());
        QCOMPARE(QDir(site).entryList(QDir::Files | QDir::Hidden),
                 (QStringList{u".notes.txt.aB3xYz"_s, u".profile"_s}));
        QCOMPARE(QDir(site + u"/Images"_s).entryList(QDir::Files | QDir::Hidden),
                 QStringList{u".logo.gif.Qw3rT9"_s});
    }
    QVERIFY(!QFileInfo::exists(left));

    // A working folder that cannot be made stops the run before anything is written.
    t.fs.failBelow(left, lorvo::err::PermissionDenied);
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, WorkingFolder(t.fs, site));
}

void ArchiveSupportTest::inlinePicturesLookedForCaseBlind()
{
    for (const QString& body : {u"cid:a"_s, u"<img src=CID:x@y>"_s, u"x:y Cid:"_s, u"acid:"_s})
        QVERIFY2(mayHaveInlinePictures(body), qPrintable(body));
    for (const QString& body : {QString(), u"cid"_s, u":cid"_s, u"ci:d"_s, u"c id:"_s, u"id:x"_s})
        QVERIFY2(!mayHaveInlinePictures(body), qPrintable(body));
}
