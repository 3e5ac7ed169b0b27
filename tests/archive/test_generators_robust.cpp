// Runs that must neither lose, mix up nor block articles: hostile subjects and fields, pages and
// items that change under a run, interrupted and concurrent runs.

#include "archive/article.h"
#include "archive/destination.h"
#include "archive/toc.h"
#include "localoutlook/sqlite.h"
#include "shared/outlooksession.h"
#include "tests/archive/test_generators.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace gentest;
using namespace lorvo::archive;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// A copy of a folder with everything in it.
void copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + u'/' + QDir(from).relativeFilePath(file);
        QDir().mkpath(QFileInfo(target).path());
        QVERIFY(QFile::copy(file, target));
    }
}

// Deletes the items of that subject from the store file, as another Outlook user would.
void deleteItem(Archive& a, const QString& subject)
{
    localoutlook::sql::Database db(a.t.path(u"kb.pst"_s), false);
    auto& s = db.cached("DELETE FROM items WHERE subject = ?");
    s.bind(1, subject).exec();
}

// Everything the destination holds besides the web site itself.
QStringList hiddenEntries(const QString& dest)
{
    QStringList names =
        QDir(dest).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeIf([](const QString& n) { return !n.startsWith(u'.'); });
    return names;
}

QList<ListEntry> only(const QString& text)
{
    return {{text, true}};
}

} // namespace

void GeneratorsTest::longNamesFitTheFileSystem()
{
    // 125 Cyrillic letters are 250 bytes of UTF-8, 86 Chinese characters 258: with the temporary
    // name of a whole-file write, more than a name may have.
    const QString cyrillic(125, QChar(0x416));
    const QString chinese(86, QChar(0x4E2D));
    QString emoji;
    for (int i = 0; i < 70; ++i)
        emoji += u"\U0001F600"_s;
    for (const QString& subject : {cyrillic, chinese, emoji}) {
        const QString path = pageFilePath(u"/d"_s, pageFileName(0, subject, 1));
        const QString name = fncGetFileName(path);
        QVERIFY2(QFile::encodeName(name).size() <= lorvo::LocalFileSystem::maxWritableNameBytes(),
                 qPrintable(name));
        QVERIFY(name.endsWith(u".htm"_s));
        // Cut between characters: what is left is the subject's beginning, whole.
        QVERIFY(subject.startsWith(name.chopped(4)));
        QVERIFY(!name.chopped(4).back().isHighSurrogate());
        QVERIFY(name.size() > 60);
    }

    Archive a({article(cyrillic), article(chinese), article(emoji), article(u"Short"_s)});
    QVERIFY(a.flat());
    QCOMPARE(a.pages().size(), 4);
    QVERIFY(a.lists().contains(u">Short</a>"_s));
    QVERIFY(a.host.leftOut.isEmpty());
    QVERIFY(!a.t.end.ended);
}

void GeneratorsTest::unwritablePageIsLeftOut()
{
    for (bool outline : {false, true}) {
        Archive a({article(u"Good"_s, u"C"_s, u"T"_s), article(u"Bad"_s, u"C"_s, u"T"_s),
                   article(u"Other"_s, u"C"_s, u"T"_s)});
        a.host.categoryList = only(u"C"_s);
        a.host.typeList = only(u"T"_s);
        a.t.fs.failBelow(a.dest + u"/Bad.htm"_s, lorvo::err::PermissionDenied);
        QVERIFY(outline ? a.outline() : a.flat());
        QCOMPARE(a.pages(), (QStringList{u"Good.htm"_s, u"Other.htm"_s}));
        QVERIFY(a.lists().contains(u">Good</a>"_s));
        QVERIFY(a.lists().contains(u">Other</a>"_s));
        QVERIFY(!a.lists().contains(u"Bad"_s));
        QVERIFY(a.index().endsWith(u"</ul><br></body></html>"_s));
        // Named once, at the end, with the reason.
        QCOMPARE(a.host.leftOutReports, 1);
        QCOMPARE(a.host.leftOut.size(), 1);
        QCOMPARE(a.host.leftOut.first().subject, u"Bad"_s);
        QVERIFY2(a.host.leftOut.first().reason.contains(u"Bad.htm"_s),
                 qPrintable(a.host.leftOut.first().reason));
        QVERIFY(!a.t.end.ended);
        QCOMPARE(a.t.shell.opened, QStringList{a.dest + u"/index.htm"_s});
    }
}

void GeneratorsTest::leftOutNamedInTheirOrder()
{
    // A page that fails to be written and an article deleted before its page: named as the list
    // would have shown them, whichever failure was known first.
    Archive a({article(u"Good"_s), article(u"Bad"_s), article(u"Gone"_s), article(u"Other"_s)});
    a.t.fs.failBelow(a.dest + u"/Bad.htm"_s, lorvo::err::PermissionDenied);
    a.host.onEvents = [&](TestHost& h) {
        if (h.yields == 4)
            deleteItem(a, u"Gone"_s);
    };
    QVERIFY(a.flat());
    QCOMPARE(a.pages(), (QStringList{u"Good.htm"_s, u"Other.htm"_s}));
    QCOMPARE(a.host.leftOut.size(), 2);
    QCOMPARE(a.host.leftOut.at(0).subject, u"Bad"_s);
    QCOMPARE(a.host.leftOut.at(1).subject, u"Gone"_s);
}

void GeneratorsTest::outlineMatchesTrimmedFields()
{
    // The lists show trimmed values; the articles are found under them.
    Archive a({article(u"Blanks"_s, u" Network "_s, u"VPN\t"_s),
               article(u"Plain"_s, u"network"_s, u"vpn"_s)});
    a.host.categoryList = only(u"Network"_s);
    a.host.typeList = only(u"VPN"_s);
    QVERIFY(a.outline());
    QCOMPARE(a.pages(), (QStringList{u"Blanks.htm"_s, u"Plain.htm"_s}));
    QVERIFY(a.lists().contains(u">Blanks</a>"_s));
}

void GeneratorsTest::keptPagesKeepTheirAttachments()
{
    const QJsonObject alpha =
        article(u"Alpha"_s, u"C"_s, u"T"_s, {}, {attachment(u"a.txt"_s, "alpha")});
    const QJsonObject bravo =
        article(u"Bravo"_s, u"C"_s, u"T"_s, {}, {attachment(u"b.txt"_s, "bravo")});
    const QJsonObject charlie =
        article(u"Charlie"_s, u"C"_s, u"T"_s, {}, {attachment(u"c.txt"_s, "charlie")});
    static const QRegularExpression link(u"href='(\\d+_files/[^']+)'"_s);
    const auto attachmentOf = [](Archive& a, const QString& page) {
        const auto m = link.match(a.page(page));
        return m.hasMatch() ? a.bytes(m.captured(1)) : QByteArray("no link");
    };
    for (bool outline : {false, true}) {
        Archive first({alpha, bravo});
        first.host.opts.attachments = 1;
        first.host.categoryList = only(u"C"_s);
        first.host.typeList = only(u"T"_s);
        QVERIFY(outline ? first.outline() : first.flat());
        QCOMPARE(attachmentOf(first, u"Bravo.htm"_s), QByteArray("bravo"));

        // Alpha removed, Charlie added; Bravo's page is kept with its links.
        Archive second({bravo, charlie});
        copyTree(first.dest, second.dest);
        second.host.opts.attachments = 1;
        second.host.opts.overwrite = 0;
        second.host.categoryList = only(u"C"_s);
        second.host.typeList = only(u"T"_s);
        QVERIFY(outline ? second.outline() : second.flat());
        QCOMPARE(second.bytes(u"Bravo.htm"_s), first.bytes(u"Bravo.htm"_s));
        QCOMPARE(attachmentOf(second, u"Bravo.htm"_s), QByteArray("bravo"));
        QCOMPARE(attachmentOf(second, u"Alpha.htm"_s), QByteArray("alpha"));
        QCOMPARE(attachmentOf(second, u"Charlie.htm"_s), QByteArray("charlie"));
    }
}

void GeneratorsTest::itemDeletedDuringTheRun()
{
    // With attachments included too: the flat run converts a body and saves its files when the
    // page is written, so a deleted article leaves neither page nor files.
    for (const auto& [outline, attachments] :
         {std::pair{false, 0}, std::pair{true, 0}, std::pair{false, 1}, std::pair{true, 1}}) {
        Archive a({article(u"Gone"_s, u"C2"_s, u"T"_s, {}, {attachment(u"gone.txt"_s, "x")}),
                   article(u"Stays"_s, u"C1"_s, u"T"_s), article(u"Also"_s, u"C2"_s, u"T"_s)});
        a.host.opts.attachments = attachments;
        a.host.categoryList = {{u"C1"_s, true}, {u"C2"_s, true}};
        a.host.typeList = only(u"T"_s);
        // Flat: after the first pass read it; outline: after the folder was scanned.
        a.host.onEvents = [&](TestHost& h) {
            if (h.yields == 3)
                deleteItem(a, u"Gone"_s);
        };
        QVERIFY(outline ? a.outline() : a.flat());
        QCOMPARE(a.pages(), (QStringList{u"Also.htm"_s, u"Stays.htm"_s}));
        QVERIFY(a.page(u"Also.htm"_s).contains(u"<p>Body of Also</p>"_s));
        QVERIFY(a.page(u"Stays.htm"_s).contains(u"<p>Body of Stays</p>"_s));
        QVERIFY(!a.lists().contains(u"Gone"_s));
        QCOMPARE(filesBelow(a.dest).filter(u"_files/"_s), QStringList());
        if (!outline) {
            QCOMPARE(a.host.leftOut.size(), 1);
            QCOMPARE(a.host.leftOut.first().subject, u"Gone"_s);
        }
    }
}

void GeneratorsTest::existingPageFoundWithoutRegardToCase()
{
    Archive a({article(u"Printer"_s), article(u"Scanner"_s)});
    writeFile(a.dest + u"/printer.htm"_s, "kept as it was");
    a.host.opts.overwrite = 0;
    QVERIFY(a.flat());
    QCOMPARE(a.pages(), (QStringList{u"Scanner.htm"_s, u"printer.htm"_s}));
    QVERIFY(!a.lists().contains(u"Printer"_s));
    QCOMPARE(a.bytes(u"printer.htm"_s), QByteArray("kept as it was"));
}

void GeneratorsTest::pagesOfTheRunCountOnceWritten()
{
    // With overwriting off, a page this run wrote stands like any other; one it failed to write
    // does not. The later article looks while the earlier page may still be on its way.
    for (bool firstFails : {false, true}) {
        Archive a({article(u"PRINTER"_s, u"C"_s, u"T1"_s), article(u"printer"_s, u"C"_s, u"T2"_s)});
        a.host.categoryList = only(u"C"_s);
        a.host.typeList = {{u"T1"_s, true}, {u"T2"_s, true}};
        a.host.opts.overwrite = 0;
        if (firstFails)
            a.t.fs.failBelow(a.dest + u"/PRINTER.htm"_s, lorvo::err::PermissionDenied);
        QVERIFY(a.outline());
        QCOMPARE(a.pages(), QStringList{firstFails ? u"printer.htm"_s : u"PRINTER.htm"_s});
        QCOMPARE(a.host.leftOut.size(), firstFails ? 1 : 0);
        QCOMPARE(a.lists().contains(u">printer</a>"_s), firstFails);
    }
}

void GeneratorsTest::destinationTooLongIsRefused()
{
    Archive a({article(u"Printer jam 12345"_s)});
    const auto folderOfLength = [&](qsizetype length) {
        const QString path = a.dest + u'/' + QString(length - a.dest.size() - 1, u'd');
        QDir().mkpath(path);
        return path;
    };
    a.host.opts.destination = folderOfLength(237);
    QVERIFY(a.flat());
    QCOMPARE(a.t.dialogs.messages().size(), 1);
    QVERIFY2(a.t.dialogs.messages().first().text.contains(u"236 characters"_s),
             qPrintable(a.t.dialogs.messages().first().text));
    QVERIFY(QDir(a.host.opts.destination)
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                .isEmpty());

    // 236 characters leave eight for the name.
    a.host.opts.destination = folderOfLength(236);
    QVERIFY(a.flat());
    QCOMPARE(a.t.dialogs.messages().size(), 1);
    QVERIFY(QFile::exists(a.host.opts.destination + u"/Printer .htm"_s));
}

void GeneratorsTest::dotNamesAndControlCharacters()
{
    Archive a({article(u" . . "_s), article(u".."_s),
               article(u"Bad\u0001na\u001fme\u007f"_s, {}, {}, u"<html><body>x</body></html>"_s)});
    QVERIFY(a.flat());
    const QStringList pages = a.pages();
    QCOMPARE(pages.size(), 3);
    for (const QString& page : pages)
        QVERIFY2(page.startsWith(u"NULL_"_s) || page == u"Badname.htm"_s, qPrintable(page));
    const QByteArray index = a.bytes(u"index.htm"_s);
    QVERIFY(index.contains(">Badname</a>"));
    for (char c : {'\x01', '\x1f', '\x7f'}) {
        QVERIFY(!index.contains(c));
        QVERIFY(!a.bytes(u"Badname.htm"_s).contains(c));
    }
}

void GeneratorsTest::nullNamesStayWithTheirArticle()
{
    Archive a({article(u"???"_s), article(u"***"_s)});
    QVERIFY(a.flat());
    const QStringList first = a.pages();
    QCOMPARE(first.size(), 2);
    QVERIFY(a.flat());
    QCOMPARE(a.pages(), first);
}

void GeneratorsTest::workingFilesNeverTakeAPageName()
{
    // The working file of the conversion cannot be replaced or deleted, as when the run is killed
    // at that moment: a numbered page of an earlier run stays whole, and no raw working copy is
    // left where a page could be.
    {
        Archive a({article(u"First"_s, u"C"_s, u"T"_s), article(u"Second"_s, u"C"_s, u"T"_s)});
        writeFile(a.dest + u"/1001.htm"_s, "page of an earlier run");
        a.t.fs.failBelow(a.dest + u"/1001.htm"_s, lorvo::err::PermissionDenied);
        a.host.opts.attachments = 1;
        a.host.opts.namingScheme = 1;
        a.host.opts.overwrite = 0;
        QVERIFY(a.flat());
        QCOMPARE(a.bytes(u"1001.htm"_s), QByteArray("page of an earlier run"));
        QVERIFY(a.page(u"1002.htm"_s).contains(u"<h1>Second</h1>"_s));
    }
    {
        const QString picture = u"<img src=\"data:image/gif;base64,R0lGODlhAQABAAAAACw=\">"_s;
        Archive a({article(u"First"_s, u"C"_s, u"T"_s,
                           u"<html><body><p>x</p>"_s + picture + u"</body></html>"_s)});
        a.t.fs.failBelow(a.dest + u"/1001.htm"_s, lorvo::err::PermissionDenied);
        // What a killed run left in its working folder is cleared.
        writeFile(WorkingFolder::pathIn(a.dest) + u"/1000.htm"_s, "raw working copy");
        a.host.opts.attachments = 1;
        QVERIFY(a.flat());
        QCOMPARE(a.pages(), QStringList{u"First.htm"_s});
        // The converted body's pictures are beside the page, where its links lead.
        QVERIFY(a.page(u"First.htm"_s).contains(u"src=\"1001_files/image001.gif\""_s));
        QVERIFY(a.exists(u"1001_files/image001.gif"_s));
        QCOMPARE(hiddenEntries(a.dest), QStringList());
    }
}

void GeneratorsTest::oneRunAtATimePerDestination()
{
    Archive a({article(u"A"_s), article(u"B"_s)});
    Archive b({article(u"Intruder"_s)});
    b.host.opts.destination = a.dest;
    bool inner = false;
    a.host.onEvents = [&](TestHost& h) {
        if (h.yields != 1)
            return;
        // However old the lock is, its holder is alive.
        QFile lock(lockFileIn(a.dest));
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
        lock.close();
        inner = b.flat();
    };
    QVERIFY(a.flat());
    QVERIFY(inner);
    QCOMPARE(b.t.dialogs.messages().size(), 1);
    QVERIFY2(b.t.dialogs.messages().first().text.contains(u"is publishing to this folder"_s),
             qPrintable(b.t.dialogs.messages().first().text));
    QCOMPARE(b.host.caption, u"Generate"_s);
    QCOMPARE(a.pages(), (QStringList{u"A.htm"_s, u"B.htm"_s}));
    QVERIFY(!a.lists().contains(u"Intruder"_s));
    QCOMPARE(hiddenEntries(a.dest), QStringList());

    // The lock of a process that died is taken over.
    b.host.opts.destination = b.dest;
    QProcess dead;
    dead.start(u"true"_s, {});
    QVERIFY(dead.waitForStarted());
    const qint64 pid = dead.processId();
    QVERIFY(dead.waitForFinished());
    writeFile(lockFileIn(b.dest), QByteArray::number(pid) + "\nLorvoArchive\n\n");
    QVERIFY(b.flat());
    QCOMPARE(b.pages(), QStringList{u"Intruder.htm"_s});
    QCOMPARE(hiddenEntries(b.dest), QStringList());
}

void GeneratorsTest::exitDuringARunEndsIt()
{
    for (bool outline : {false, true}) {
        Archive a({article(u"A"_s, u"C"_s, u"T"_s), article(u"B"_s, u"C"_s, u"T"_s),
                   article(u"C"_s, u"C"_s, u"T"_s)});
        a.host.categoryList = only(u"C"_s);
        a.host.typeList = only(u"T"_s);
        // Exit clicked while the run yields: the window's handler ends the program.
        a.host.onEvents = [&](TestHost& h) {
            if (h.yields != 2)
                return;
            h.cancel = true;
            try {
                a.t.rt->session().subEndApplication();
            } catch (const lorvo::ProgramEnded&) {
            }
        };
        QVERIFY(!(outline ? a.outline() : a.flat()));
        QVERIFY(a.pages().isEmpty());
        QVERIFY(!a.exists(u"index.htm"_s));
        QVERIFY(a.t.shell.opened.isEmpty());
        QCOMPARE(hiddenEntries(a.dest), QStringList());
    }
}
