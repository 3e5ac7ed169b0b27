// The setup without windows: writing the application files, the way back to the folder page,
// the rollback on Exit, and the values and rules of the pages.

#include "setup/wizard.h"
#include "shared/error.h"
#include "shared/errorhandling.h"
#include "shared/resources.h"
#include "tests/setup/setupfixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace lorvo;
using namespace lorvo::setup;
using namespace lorvo::setup::test;

namespace {

const QStringList kNames = {u"bg.gif"_s,
                            u"OLorvo.htm"_s,
                            u"LorvoRect.gif"_s,
                            u"KBSettings.txt"_s,
                            u"LorvoFilled.pst"_s,
                            u"LorvoEmpty.pst"_s,
                            u"LorvoArchive"_s + QLatin1StringView(kExecutableSuffix),
                            u"OLorvoForm.fdm"_s,
                            u"ReadMe.txt"_s};

struct Harness
{
    explicit Harness(bool profile = false) : t(setupTitle(), profile) {}

    lorvo::test::TestRuntime t;
    PageRecorder pages;
    Wizard wizard{*t.rt, pages};

    ModMain& main() { return wizard.modMain(); }
    QString path(const QString& relative) const { return t.path(relative); }

    // The user is on frmStartCopy with this path typed on frmSelectFolder.
    bool install(const QString& typed)
    {
        wizard.showPage(Page::SelectFolder);
        wizard.txtPathChange(typed);
        wizard.next(Page::SelectFolder);
        return main().subInstall(main().state.gstrInstallPath);
    }
};

} // namespace

class SetupTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileListIsTheNineFilesInOrder();
    void carriedFilesAreTheBuiltOnes();
    void installsIntoNewFolder();
    void installsIntoExistingFolderKeepingOtherFiles();
    void rootFolderIsAFolder();
    void trailingSeparatorMakesNoDifference_data();
    void trailingSeparatorMakesNoDifference();
    void unusablePathSendsBackToFolderPage_data();
    void unusablePathSendsBackToFolderPage();
    void withoutWritePermissionSendsBackToFolderPage_data();
    void withoutWritePermissionSendsBackToFolderPage();
    void otherWriteFailureIsReportedAndEnds();
    void exitNoChangesNothing();
    void exitYesRemovesOnlyAFolderThisRunCreated();
    void exitYesAfterMovingToAnotherFolder();
    void rollbackFailureStillEnds();
    void firstLoadValues();
    void proposedFolderBesideTheProgram_data();
    void proposedFolderBesideTheProgram();
    void pathRulesForNext();
    void browseForTheFolder();
    void exampleDataLabelToggles();
    void navigationKeepsValues();
};

void SetupTest::fileListIsTheNineFilesInOrder()
{
    Harness h;
    h.main().subLoadFileList();
    QCOMPARE(h.main().state.gstrAppFiles, kNames);
}

void SetupTest::carriedFilesAreTheBuiltOnes()
{
    // What the program carries is what the build produced, byte for byte.
    const QStringList sources = appFileSources();
    QCOMPARE(sources.size(), kNames.size());
    for (qsizetype i = 0; i < kNames.size(); ++i) {
        QCOMPARE(QFileInfo(sources[i]).fileName(), kNames[i]);
        QCOMPARE(loadResource(u"APPFILES"_s, kNames[i].toUpper()), readAll(sources[i]));
    }
}

void SetupTest::installsIntoNewFolder()
{
    Harness h;
    const QString folder = h.path(u"Lorvo"_s);
    QVERIFY(h.install(folder));

    QCOMPARE(h.main().state.gstrInstallPath, folder + QDir::separator());
    const QStringList sources = appFileSources();
    for (qsizetype i = 0; i < kNames.size(); ++i)
        QCOMPARE(readAll(folder + u'/' + kNames[i]), readAll(sources[i]));
    QCOMPARE(readAll(folder + u"/KBSettings.txt"_s), QByteArray("  "));
    QVERIFY(QFileInfo(folder + u'/' + kNames[6]).isExecutable());
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 9);
    QVERIFY(h.t.dialogs.messages().isEmpty());
    // Window events ran once before the copying.
    QCOMPARE(h.pages.eventRuns, 1);
}

void SetupTest::installsIntoExistingFolderKeepingOtherFiles()
{
    Harness h;
    const QString folder = h.path(u"share"_s);
    const QByteArray longer = readAll(appFileSources()[1]).repeated(3) + "old tail";
    putFile(folder + u"/OLorvo.htm"_s, longer);
    putFile(folder + u"/KBSettings.txt"_s, "edited settings");
    putFile(folder + u"/notes.txt"_s, "keep me");

    QVERIFY(h.install(folder));

    // A shorter page over a longer one leaves exactly the new page.
    QCOMPARE(readAll(folder + u"/OLorvo.htm"_s), readAll(appFileSources()[1]));
    QCOMPARE(readAll(folder + u"/KBSettings.txt"_s), QByteArray("  "));
    QCOMPARE(readAll(folder + u"/notes.txt"_s), QByteArray("keep me"));
    QVERIFY(h.main().state.createdInstallFolder.isEmpty());
}

void SetupTest::trailingSeparatorMakesNoDifference_data()
{
    QTest::addColumn<QString>("suffix");
    QTest::newRow("none") << QString();
    QTest::newRow("separator") << QString(QDir::separator());
    QTest::newRow("slash") << u"/"_s;
    QTest::newRow("separator and blanks") << QString(QDir::separator()) + u"  "_s;
    QTest::newRow("blanks") << u"  "_s;
}

void SetupTest::trailingSeparatorMakesNoDifference()
{
    QFETCH(QString, suffix);
    Harness h;
    const QString folder = h.path(u"Lorvo"_s);
    QVERIFY(h.install(folder + suffix));
    const QString stored = h.main().state.gstrInstallPath;
    QVERIFY(stored == folder + QDir::separator() || stored == folder + u'/');
    QVERIFY(!stored.chopped(1).endsWith(u'/') && !stored.chopped(1).endsWith(QDir::separator()));
    // The files land in the folder that was tested and created, nowhere else.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::NoDotAndDotDot).size(), 9);
    QCOMPARE(QDir(h.path({})).entryList(QDir::Files).size(), 0);
}

void SetupTest::unusablePathSendsBackToFolderPage_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("two new levels") << u"new/levels"_s;
    QTest::newRow("empty") << QString();
    QTest::newRow("blanks") << u"   "_s;
    QTest::newRow("relative") << u"Lorvo"_s;
    QTest::newRow("a file in the way") << u"afile"_s;
}

void SetupTest::unusablePathSendsBackToFolderPage()
{
    QFETCH(QString, typed);
    Harness h;
    putFile(h.path(u"afile"_s), "not a folder");
    // Absolute paths are made inside the temporary folder; the rest stay as typed.
    const QString path = typed.contains(u'/') || typed == u"afile"_s ? h.path(typed) : typed;
    const auto before = QDir(h.path({})).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    const auto cwdBefore = QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

    h.wizard.showPage(Page::SelectFolder);
    h.wizard.txtPathChange(path);
    h.wizard.next(Page::SelectFolder);
    QVERIFY(h.pages.visible.count(Page::StartCopy));
    h.wizard.next(Page::StartCopy);

    const auto messages = h.t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, invalidFolderText());
    QCOMPARE(messages[0].title, setupTitle());
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(messages[0].buttons, Buttons::Ok);
    QCOMPARE(h.pages.visible, std::set<Page>{Page::SelectFolder});
    QCOMPARE(h.wizard.values().txtPath, path);
    QVERIFY(!h.wizard.values().busy);
    QVERIFY(!h.t.end.ended);
    QCOMPARE(QDir(h.path({})).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), cwdBefore);
    QCOMPARE(readAll(h.path(u"afile"_s)), QByteArray("not a folder"));
}

void SetupTest::withoutWritePermissionSendsBackToFolderPage_data()
{
    QTest::addColumn<QString>("failing"); // below the installation folder
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("writtenBefore"); // files written before the failure
    QTest::newRow("read-only folder") << QString() << int(err::PermissionDenied) << 0;
    QTest::newRow("read-only store file")
        << u"LorvoFilled.pst"_s << int(err::PermissionDenied) << 4;
    QTest::newRow("file held by a program")
        << u"LorvoArchive"_s + QLatin1StringView(kExecutableSuffix) << int(err::PathFileAccess)
        << 6;
}

void SetupTest::withoutWritePermissionSendsBackToFolderPage()
{
    QFETCH(QString, failing);
    QFETCH(int, number);
    QFETCH(int, writtenBefore);
    Harness h;
    const QString folder = h.path(u"share"_s);
    putFile(folder + u"/LorvoFilled.pst"_s, "earlier store");
    putFile(folder + u"/LorvoArchive"_s + QLatin1StringView(kExecutableSuffix), "earlier program");
    h.t.fs.failBelow(failing.isEmpty() ? folder : folder + u'/' + failing, number);

    h.wizard.showPage(Page::SelectFolder);
    h.wizard.txtPathChange(folder);
    h.wizard.next(Page::SelectFolder);
    h.wizard.next(Page::StartCopy);

    const auto messages = h.t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, u"Write Permission"_s);
    QCOMPARE(messages[0].text, writePermissionText());
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(h.pages.visible, std::set<Page>{Page::SelectFolder});
    QCOMPARE(h.wizard.values().txtPath, folder);
    QVERIFY(!h.t.end.ended);
    // Files written before the failure stay; the file that failed keeps its earlier content.
    const QStringList sources = appFileSources();
    for (int i = 0; i < writtenBefore; ++i)
        QCOMPARE(readAll(folder + u'/' + kNames[i]), readAll(sources[i]));
    QCOMPARE(readAll(folder + u"/LorvoArchive"_s + QLatin1StringView(kExecutableSuffix)),
             QByteArray("earlier program"));
    if (writtenBefore < 4)
        QCOMPARE(readAll(folder + u"/LorvoFilled.pst"_s), QByteArray("earlier store"));
}

void SetupTest::rootFolderIsAFolder()
{
    // Writing into the root goes as far as the system lets it (here: not at all); the folder is
    // not called invalid.
    Harness h;
    h.t.fs.failBelow(QDir::rootPath(), err::PermissionDenied);
    QVERIFY(!h.install(QDir::rootPath()));
    const auto messages = h.t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].title, u"Write Permission"_s);
    QCOMPARE(h.main().state.gstrInstallPath, QDir::rootPath());
}

void SetupTest::otherWriteFailureIsReportedAndEnds()
{
    Harness h;
    const QString folder = h.path(u"share"_s);
    QDir().mkpath(folder);
    h.t.fs.failBelow(folder + u"/LorvoRect.gif"_s, 61); // disk full

    QString path = folder;
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.main().subInstall(path));
    QVERIFY(h.t.end.ended);
    QVERIFY(!h.t.dialogs.messages().isEmpty());
    const QString report = h.t.rt->errors().errorText();
    QVERIFY2(report.contains(u"Sub routine : modMain.subInstall"_s), qPrintable(report));
    QVERIFY(
        report.contains(u"Writing file to "_s + folder + QDir::separator() + u"LorvoRect.gif"_s));
    QVERIFY(report.contains(u"#61"_s));
    // Nothing sent the user back to choose a folder.
    QVERIFY(!h.pages.visible.count(Page::SelectFolder));
}

void SetupTest::exitNoChangesNothing()
{
    Harness h;
    const QString folder = h.path(u"Lorvo"_s);
    QVERIFY(h.install(folder));
    const QString stored = h.main().state.gstrInstallPath;
    h.t.dialogs.answer(Answer::No);

    h.wizard.exit(Page::Settings);

    const auto messages = h.t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, u"Are you sure you want to exit the installation?"_s);
    QCOMPARE(messages[0].title, u"Exit Installation"_s);
    QCOMPARE(messages[0].buttons, Buttons::YesNo);
    QCOMPARE(messages[0].icon, Icon::Information);
    QVERIFY(!h.t.end.ended);
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(h.main().state.gstrInstallPath, stored);
}

void SetupTest::exitYesRemovesOnlyAFolderThisRunCreated()
{
    // A new folder goes with everything in it, read-only files included.
    {
        Harness h;
        const QString folder = h.path(u"Lorvo"_s);
        QVERIFY(h.install(folder));
        QFile::setPermissions(folder + u"/ReadMe.txt"_s, QFileDevice::ReadOwner);
        h.t.dialogs.answer(Answer::Yes);
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.wizard.exit(Page::Settings));
        QVERIFY(h.t.end.ended);
        QVERIFY(!QFileInfo::exists(folder));
        QCOMPARE(h.main().state.gstrInstallPath, folder);
    }
    // A folder that was there keeps what it held and what was written.
    {
        Harness h;
        const QString folder = h.path(u"share"_s);
        putFile(folder + u"/notes.txt"_s, "keep me");
        QVERIFY(h.install(folder + u'/'));
        h.t.dialogs.answer(Answer::Yes);
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.wizard.exit(Page::Settings));
        QVERIFY(h.t.end.ended);
        QCOMPARE(readAll(folder + u"/notes.txt"_s), QByteArray("keep me"));
        QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 10);
        QCOMPARE(h.main().state.gstrInstallPath, folder);
    }
    // Nothing installed yet: nothing to take back.
    {
        Harness h;
        h.wizard.showPage(Page::SelectFolder);
        h.wizard.next(Page::SelectFolder);
        h.t.dialogs.answer(Answer::Yes);
        QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.wizard.exit(Page::StartCopy));
        QVERIFY(h.t.end.ended);
    }
}

void SetupTest::exitYesAfterMovingToAnotherFolder()
{
    Harness h;
    const QString created = h.path(u"first"_s);
    QVERIFY(h.install(created));
    const QString existing = h.path(u"second"_s);
    putFile(existing + u"/notes.txt"_s, "keep me");
    // Back to the folder page, another (existing) folder.
    h.wizard.previous(Page::StartCopy);
    QVERIFY(h.install(existing));
    h.t.dialogs.answer(Answer::Yes);
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.wizard.exit(Page::Settings));
    QVERIFY(!QFileInfo::exists(created));
    QCOMPARE(readAll(existing + u"/notes.txt"_s), QByteArray("keep me"));
}

void SetupTest::rollbackFailureStillEnds()
{
    Harness h;
    const QString folder = h.path(u"Lorvo"_s);
    QVERIFY(h.install(folder));
    h.t.fs.failBelow(folder, err::PermissionDenied);
    QVERIFY_THROWS_EXCEPTION(ProgramEnded, h.main().subCancelInstallation());
    QVERIFY(h.t.end.ended);
    QVERIFY(QFileInfo(folder).isDir());
    QVERIFY(h.t.dialogs.messages().isEmpty());
}

void SetupTest::firstLoadValues()
{
    Harness h;
    h.main().Main();
    QCOMPARE(h.pages.shown, QList<Page>{Page::Welcome});
    QCOMPARE(h.t.rt->errors().strErrorMessage(), u"Loading XP styles"_s);

    const PageValues& v = h.wizard.values();
    h.wizard.showPage(Page::ChooseInstallation);
    QCOMPARE(v.optInstallation, 0);
    h.wizard.showPage(Page::StartCopy);
    const QStringList languages = {u"Danish "_s,  u"Dutch "_s,     u"English "_s,    u"Estonian "_s,
                                   u"Finnish "_s, u"French "_s,    u"German "_s,     u"Greek "_s,
                                   u"Italian "_s, u"Norwegian "_s, u"Portuguese "_s, u"Spanish "_s,
                                   u"Swedish "_s};
    QCOMPARE(v.cboLanguage, languages);
    QCOMPARE(v.cboLanguageIndex, 2);
    h.wizard.showPage(Page::Settings);
    QCOMPARE(v.chkExampledata, 0);
    h.wizard.showPage(Page::Finish);
    QCOMPARE(v.chkReadMe, 1);
}

void SetupTest::proposedFolderBesideTheProgram_data()
{
    QTest::addColumn<QString>("programDir");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("folder") << u"/opt/setup"_s << QDir::toNativeSeparators(u"/opt/setup/Lorvo"_s);
    QTest::newRow("root") << u"/"_s << QDir::toNativeSeparators(u"/Lorvo"_s);
}

void SetupTest::proposedFolderBesideTheProgram()
{
    QFETCH(QString, programDir);
    QFETCH(QString, proposed);
    Harness h;
    h.t.platform.programDir = programDir;
    h.wizard.showPage(Page::SelectFolder);
    QCOMPARE(h.wizard.values().txtPath, proposed);
    QVERIFY(h.wizard.values().cmdNextEnabled);
}

void SetupTest::pathRulesForNext()
{
    Harness h;
    h.wizard.showPage(Page::SelectFolder);
    const PageValues& v = h.wizard.values();
    // Blanks while typing leave Next as it is; leaving the box judges the text.
    h.wizard.txtPathChange(u"   "_s);
    QVERIFY(v.cmdNextEnabled);
    h.wizard.txtPathLostFocus();
    QVERIFY(!v.cmdNextEnabled);
    h.wizard.txtPathChange(QString());
    h.wizard.txtPathLostFocus();
    QVERIFY(!v.cmdNextEnabled);
    h.wizard.txtPathChange(u"x"_s);
    QVERIFY(v.cmdNextEnabled);
    h.wizard.txtPathChange(QString());
    QVERIFY(v.cmdNextEnabled);
}

void SetupTest::browseForTheFolder()
{
    Harness h;
    h.wizard.showPage(Page::SelectFolder);
    const QString typed = h.path(u"typed"_s);
    h.wizard.txtPathChange(typed);

    // Cancelled: the box keeps its text.
    h.t.dialogs.answerBrowse(QString());
    h.wizard.cmdBrowseClick();
    QCOMPARE(h.wizard.values().txtPath, typed);
    QCOMPARE(h.t.dialogs.requests.size(), 1);
    QCOMPARE(h.t.dialogs.requests[0].kind, lorvo::test::Recorded::Browse);
    QCOMPARE(h.t.dialogs.requests[0].text,
             u"Please select a valid folder to install. We recommend a network shared folder."_s);
    QCOMPARE(h.t.dialogs.requests[0].defaultText, typed);

    // A chosen folder replaces the text and enables Next.
    h.wizard.txtPathChange(QString());
    h.wizard.txtPathLostFocus();
    const QString chosen = h.path(u"chosen"_s);
    h.t.dialogs.answerBrowse(chosen);
    h.wizard.cmdBrowseClick();
    QCOMPARE(h.wizard.values().txtPath, chosen);
    QVERIFY(h.wizard.values().cmdNextEnabled);

    // A typed name that does not exist: Yes creates it under the selected folder.
    h.t.dialogs.answerBrowseTyped(h.path({}), u"NewShare"_s).answer(Answer::Yes);
    h.wizard.cmdBrowseClick();
    const QString created = QDir::cleanPath(h.path(u"NewShare"_s));
    QVERIFY(QFileInfo(created).isDir());
    QCOMPARE(QDir::cleanPath(QDir::fromNativeSeparators(h.wizard.values().txtPath)), created);
    QCOMPARE(h.t.dialogs.messages().last().text,
             u"The Path You Typed Does Not Exist!\r\nWould you like to create it?"_s);
    QVERIFY(h.t.dialogs.unscripted.isEmpty());
}

void SetupTest::exampleDataLabelToggles()
{
    Harness h;
    h.wizard.showPage(Page::Settings);
    h.wizard.lblExampleDataClick();
    QCOMPARE(h.wizard.values().chkExampledata, 1);
    h.wizard.lblExampleDataClick();
    QCOMPARE(h.wizard.values().chkExampledata, 0);
    h.wizard.setChkExampledata(2);
    h.wizard.lblExampleDataClick();
    QCOMPARE(h.wizard.values().chkExampledata, 1);
}

void SetupTest::navigationKeepsValues()
{
    Harness h;
    h.main().Main();
    h.wizard.next(Page::Welcome);
    QCOMPARE(h.pages.visible, std::set<Page>{Page::ChooseInstallation});
    h.wizard.setOptInstallation(1);
    h.wizard.next(Page::ChooseInstallation);
    QCOMPARE(h.pages.visible, std::set<Page>{Page::Upgrade});
    h.wizard.previous(Page::Upgrade);
    QCOMPARE(h.wizard.values().optInstallation, 1);
    h.wizard.setOptInstallation(0);
    h.wizard.next(Page::ChooseInstallation);
    QCOMPARE(h.pages.visible, std::set<Page>{Page::SelectFolder});

    h.wizard.txtPathChange(u"/first"_s);
    h.wizard.next(Page::SelectFolder);
    QCOMPARE(h.main().state.gstrInstallPath, u"/first"_s);
    h.wizard.setLanguageIndex(7);
    h.wizard.previous(Page::StartCopy);
    QCOMPARE(h.pages.visible, std::set<Page>{Page::SelectFolder});
    QCOMPARE(h.wizard.values().txtPath, u"/first"_s);
    h.wizard.txtPathChange(u"/second "_s);
    h.wizard.next(Page::SelectFolder);
    QCOMPARE(h.main().state.gstrInstallPath, u"/second "_s);
    QCOMPARE(h.wizard.values().cboLanguageIndex, 7);

    // frmSettings has no way back.
    h.wizard.hidePage(Page::StartCopy);
    h.wizard.showPage(Page::Settings);
    h.wizard.previous(Page::Settings);
    QCOMPARE(h.pages.visible, std::set<Page>{Page::Settings});
}

QTEST_GUILESS_MAIN(SetupTest)
#include "test_setup.moc"
