#include "shared/outlooksession.h"
#include "tests/setup/test_setup_folder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace lorvo;
using namespace lorvo::setup;
using namespace lorvo::setup::test;

namespace {

const QString kNotLorvo = u"This is not a Lorvo folder!\r\n"
                          u"A valid Lorvo folder has its homepage property set to 'OLorvo.htm'.\r\n"
                          u"\r\nPress OK to continue."_s;
const QString kProblem = u"Setup encountered a problem!\r\n"
                         u"Please contact support@lorvo.example for more help.\r\n"
                         u"\r\nNote : Setup will now exit"_s;

// A knowledge-base folder under All Public Folders whose home page has that address.
outlook::FolderPtr makeKnowledgeBase(FolderFixture& f, const QString& address)
{
    const auto folder = at(f.nameSpace(), allPublic())->Folders()->Add(u"KB"_s);
    folder->SetWebViewURL(address);
    return folder;
}

void showInOutlook(FolderFixture& f, const outlook::FolderPtr& folder)
{
    f.tr.rt->session().goOutlook->ActiveExplorer()->SetCurrentFolder(folder);
}

bool nextOnUpgrade(FolderFixture& f)
{
    f.wizard.showPage(Page::Upgrade);
    return FolderFixture::ends([&] { f.wizard.next(Page::Upgrade); });
}

// The setup writes "KBSettings.txt" as two blanks, whatever was there.
QByteArray kbSettings(const QString& installPath)
{
    return readAll(installPath + u"KBSettings.txt"_s);
}

} // namespace

void TestSetupFolder::fileNameOf_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("backslash") << u"file:\\\\server\\share\\Lorvo\\OLorvo.htm"_s << u"OLorvo.htm"_s;
    QTest::newRow("slash") << u"file:/srv/lorvo/OLorvo.htm"_s << u"OLorvo.htm"_s;
    QTest::newRow("last of both") << u"C:\\a/b\\c.htm"_s << u"c.htm"_s;
    QTest::newRow("trailing separator") << u"C:\\Lorvo\\"_s << QString();
    QTest::newRow("no separator") << u"OLorvo.htm"_s << QString();
    QTest::newRow("empty") << QString() << QString();
}

void TestSetupFolder::fileNameOf()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QCOMPARE(ModMain::fncFileNameOf(path), name);
}

void TestSetupFolder::folderFromHomepage_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("folder");
    QTest::newRow("as the setup writes it")
        << u"file:\\\\server\\share\\Lorvo\\OLorvo.htm"_s << u"\\\\server\\share\\Lorvo\\"_s;
    QTest::newRow("drive") << u"file:C:\\Lorvo\\OLorvo.htm"_s << u"C:\\Lorvo\\"_s;
    QTest::newRow("url form") << u"file:///srv/lorvo/OLorvo.htm"_s << u"/srv/lorvo/"_s;
    QTest::newRow("capitals keep their prefix")
        << u"FILE:\\\\SERVER\\SHARE\\LORVO\\OLORVO.HTM"_s << u"FILE:\\\\SERVER\\SHARE\\LORVO\\"_s;
    QTest::newRow("file name on the way is kept")
        << u"file:/srv/OLorvo.htm old/OLorvo.htm"_s << u"/srv/OLorvo.htm old/"_s;
    QTest::newRow("prefix text on the way is kept")
        << u"file:/srv/file:s/OLorvo.htm"_s << u"/srv/file:s/"_s;
    QTest::newRow("no separator") << u"OLorvo.htm"_s << u"OLorvo.htm"_s;
}

void TestSetupFolder::folderFromHomepage()
{
    QFETCH(QString, address);
    QFETCH(QString, folder);
    QCOMPARE(ModMain::fncFolderFromHomepage(address), folder);
}

void TestSetupFolder::repairOfShownFolderAsksNothing()
{
    FolderFixture f;
    const auto kb = makeKnowledgeBase(f, u"file:"_s + f.installPath + u"OLorvo.htm"_s);
    showInOutlook(f, kb);
    putFile(f.installPath + u"KBSettings.txt"_s, "changed by hand");
    putFile(f.installPath + u"notes.txt"_s, "mine");
    f.modMain.state.gstrInstallPath.clear();

    QVERIFY(!nextOnUpgrade(f));
    QVERIFY(f.dialogs.requests.isEmpty());
    QVERIFY(f.view.visible.count(Page::FinishUpgrade));
    QCOMPARE(f.modMain.state.gstrInstallPath, f.installPath);
    QCOMPARE(f.tr.rt->session().goCurrentFolder->EntryID(), kb->EntryID());
    QCOMPARE(kbSettings(f.installPath), readAll(appFileSources().at(3)));
    QCOMPARE(readAll(f.installPath + u"notes.txt"_s), QByteArray("mine"));

    QVERIFY(FolderFixture::ends([&] { f.wizard.finish(Page::FinishUpgrade); }));
    QVERIFY(f.dialogs.requests.isEmpty());
    const auto app = f.fresh();
    const auto folder = at(app->GetNamespace(u"MAPI"_s), allPublic() + u"\\KB"_s);
    QVERIFY(folder->WebViewOn());
    QCOMPARE(folder->WebViewURL(), u"file:"_s + f.installPath + u"OLorvo.htm"_s);
    QCOMPARE(app->ActiveExplorer()->CurrentFolder()->EntryID(), folder->EntryID());
}

void TestSetupFolder::refusedFoldersReopenPicker()
{
    FolderFixture f;
    const QString address = u"file:"_s + f.installPath + u"OLorvo.htm"_s;
    makeKnowledgeBase(f, address);
    const auto ns = f.nameSpace();
    const auto inbox = ns->GetDefaultFolder(outlook::olFolderInbox);
    // Even with the knowledge-base home page the Inbox is refused.
    inbox->SetWebViewURL(address);
    const auto calendar = ns->GetDefaultFolder(outlook::olFolderCalendar);
    showInOutlook(f, calendar);
    const QString top = u"\\\\"_s + inbox->Parent()->Name();
    at(ns, allPublic())->Folders()->Add(u"Plain"_s);

    f.dialogs.answerPick(top + u"\\"_s + calendar->Name())
        .answerPick(top + u"\\"_s + inbox->Name())
        .answerPick(top)
        .answerPick(allPublic() + u"\\Plain"_s)
        .answerPick(QString())
        .answer(Answer::No)
        .answerPick(allPublic() + u"\\KB"_s);
    QVERIFY(!nextOnUpgrade(f));

    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 5);
    QCOMPARE(messages[0].text, kNotLorvo);
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(messages[0].title, setupTitle());
    QCOMPARE(messages[1].text, u"INBOX folder cannot be selected for this operation!\r\n"
                               u"Please select a different folder."_s);
    QCOMPARE(messages[1].icon, Icon::Critical);
    QCOMPARE(messages[1].title, setupTitle());
    QCOMPARE(messages[2].text, u"ROOT folder cannot be selected for this operation!\r\n"
                               u"Please select a subfolder folder."_s);
    QCOMPARE(messages[2].icon, Icon::Critical);
    QCOMPARE(messages[3].text, kNotLorvo);
    QCOMPARE(messages[4].text, u"Are you sure you want to exit the upgrade/repair option?"_s);
    QCOMPARE(messages[4].buttons, Buttons::YesNo);
    QCOMPARE(messages[4].icon, Icon::Information);
    QCOMPARE(messages[4].title, u"Lorvo for Outlook"_s);
    QCOMPARE(f.dialogs.pendingAnswers(), 0);

    QCOMPARE(f.tr.rt->session().goCurrentFolder->Name(), u"KB"_s);
    QCOMPARE(kbSettings(f.installPath), readAll(appFileSources().at(3)));
}

void TestSetupFolder::exitQuestionYesWritesNothing()
{
    FolderFixture f;
    f.nameSpace();
    f.dialogs.answerPick(QString()).answer(Answer::Yes);
    QVERIFY(nextOnUpgrade(f));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QVERIFY(f.tr.end.ended);
    QVERIFY(QDir(f.installPath).isEmpty());
    QVERIFY(!f.view.visible.count(Page::FinishUpgrade));
}

void TestSetupFolder::homePageInCapitals()
{
    // Recognised as a knowledge-base folder, but the prefix stays in the derived folder, which
    // then names no folder on disk: nothing is written, not even below the current folder.
    FolderFixture f;
    const QString address = u"FILE:"_s + f.installPath.toUpper() + u"OLORVO.HTM"_s;
    showInOutlook(f, makeKnowledgeBase(f, address));
    const QStringList before = QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    QVERIFY(nextOnUpgrade(f));
    QCOMPARE(f.modMain.state.gstrInstallPath, u"FILE:"_s + f.installPath.toUpper());
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].text, u"The homepage of the selected folder does not point to an "
                               u"installation folder on disk:\r\n"_s +
                                   f.modMain.state.gstrInstallPath);
    QCOMPARE(messages[0].icon, Icon::Critical);
    QCOMPARE(messages[1].text, kProblem);
    QCOMPARE(messages[1].icon, Icon::Critical);
    QCOMPARE(messages[1].title, u"Lorvo for Outlook"_s);
    QVERIFY(f.tr.end.ended);
    QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QVERIFY(QDir(f.installPath).isEmpty());
}

void TestSetupFolder::installationFolderThatCannotBeWritten()
{
    FolderFixture f;
    const QString missing =
        QDir::toNativeSeparators(f.tr.path(u"gone/deeper"_s)) + QDir::separator();
    showInOutlook(f, makeKnowledgeBase(f, u"file:"_s + missing + u"OLorvo.htm"_s));

    QVERIFY(nextOnUpgrade(f));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].text, invalidFolderText());
    QCOMPARE(messages[1].text, kProblem);
    QVERIFY(f.tr.end.ended);
    QVERIFY(!QDir(f.tr.path(u"gone"_s)).exists());
}
