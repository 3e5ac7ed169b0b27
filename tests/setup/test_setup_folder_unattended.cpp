#include "localoutlook/localoutlook.h"
#include "setup/unattended.h"
#include "tests/setup/test_setup_folder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextStream>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace lorvo;
using namespace lorvo::setup;
using namespace lorvo::setup::test;

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built LorvoSetup on the fixture's profile.
Run runSetup(const QStringList& arguments)
{
    Run run;
    QProcess process;
    process.start(QString::fromLocal8Bit(LORVO_SETUP_PROGRAM), arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

bool canRunProgram()
{
    return QFile::exists(QString::fromLocal8Bit(LORVO_SETUP_PROGRAM));
}

#define REQUIRE_PROGRAM()                                                                          \
    do {                                                                                           \
        if (!canRunProgram())                                                                      \
            QFAIL("LorvoSetup has not been built.");                                               \
    } while (false)

QStringList installArguments(const QString& dir, const QString& parent, const QString& name)
{
    return {u"--unattended"_s, u"--install-dir"_s, dir, u"--parent"_s, parent, u"--name"_s, name};
}

} // namespace

void TestSetupFolder::commandLineModeIsRecognised_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("commandLine");
    QTest::newRow("no arguments") << QStringList{u"LorvoSetup"_s} << false;
    QTest::newRow("Qt's own") << QStringList{u"LorvoSetup"_s, u"-platform"_s, u"offscreen"_s}
                              << false;
    QTest::newRow("unattended") << QStringList{u"LorvoSetup"_s, u"--unattended"_s} << true;
    QTest::newRow("option with value") << QStringList{u"LorvoSetup"_s, u"--name=KB"_s} << true;
    QTest::newRow("help") << QStringList{u"LorvoSetup"_s, u"--help"_s} << true;
    QTest::newRow("program name only looks like one") << QStringList{u"--unattended"_s} << false;
}

void TestSetupFolder::commandLineModeIsRecognised()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, commandLine);
    QCOMPARE(isCommandLineMode(arguments), commandLine);
}

void TestSetupFolder::unattendedDialogsAnswerFromCommandLine()
{
    FolderFixture f;
    const auto ns = f.nameSpace();
    QString errText;
    QTextStream err(&errText);

    UnattendedDialogs dialogs(err, allPublic(), u"KB"_s);
    const auto picked = dialogs.pickOutlookFolder(*ns, nullptr);
    QVERIFY(picked);
    QCOMPARE(picked->EntryID(), at(ns, allPublic())->EntryID());
    QCOMPARE(dialogs.inputBox(u"Name?"_s, u"T"_s, u"default"_s, nullptr), u"KB"_s);
    QVERIFY(!dialogs.failed());
    QVERIFY(errText.isEmpty());

    // A second question means the first answer was refused: the run stops.
    QVERIFY(FolderFixture::ends([&] { dialogs.inputBox(u"Name?"_s, {}, {}, nullptr); }));
    QVERIFY(dialogs.failed());
    QVERIFY(errText.contains(u"'KB' was not accepted"_s));

    UnattendedDialogs asked(err, allPublic(), u"KB"_s);
    errText.clear();
    QVERIFY(FolderFixture::ends([&] {
        asked.messageBox({u"First line\r\nSecond line"_s,
                          u"Lorvo for Outlook"_s,
                          Buttons::YesNo,
                          Icon::Question,
                          nullptr,
                          {}});
    }));
    QVERIFY(asked.failed());
    QVERIFY2(errText.contains(u"Lorvo for Outlook: First line\nSecond line"_s),
             qPrintable(errText));

    // A report the box shows only the beginning of is printed whole, its reason included.
    UnattendedDialogs report(err, allPublic(), u"KB"_s);
    errText.clear();
    QVERIFY(FolderFixture::ends([&] {
        report.messageBox({u"This error has occured"_s, u"Lorvo for Outlook"_s, Buttons::YesNo,
                           Icon::None, nullptr,
                           u"This error has occured: No space left on device"_s});
    }));
    QVERIFY2(errText.contains(u"Lorvo for Outlook: This error has occured: No space left on "
                              "device"_s),
             qPrintable(errText));

    UnattendedDialogs wrong(err, allPublic() + u"\\Nope"_s, u"KB"_s);
    errText.clear();
    QVERIFY(FolderFixture::ends([&] { wrong.pickOutlookFolder(*ns, nullptr); }));
    QVERIFY(errText.contains(u"there is no Outlook folder '\\\\Public Folders\\All Public "
                             u"Folders\\Nope'"_s));
}

void TestSetupFolder::wrongArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("problem");
    QTest::newRow("without --unattended")
        << QStringList{u"--install-dir"_s, u"/tmp/x"_s} << u"needs --unattended"_s;
    QTest::newRow("nothing to do") << QStringList{u"--unattended"_s} << u"needs --install-dir"_s;
    QTest::newRow("no name") << QStringList{u"--unattended"_s, u"--install-dir"_s, u"/tmp/x"_s,
                                            u"--parent"_s, allPublic()}
                             << u"needs --name"_s;
    QTest::newRow("empty name") << installArguments(u"/tmp/x"_s, allPublic(), QString())
                                << u"--name must not be empty"_s;
    // A folder of that name could not be found by its path: refused before anything is written.
    QTest::newRow("name with a backslash")
        << installArguments(u"/tmp/x"_s, allPublic(), u"a\\b\\c"_s)
        << u"--name 'a\\b\\c': A folder name cannot contain a backslash"_s;
    QTest::newRow("repair with install options")
        << QStringList{u"--unattended"_s, u"--repair"_s, allPublic(), u"--name"_s, u"KB"_s}
        << u"--repair does not go with --name"_s;
    QTest::newRow("unknown option") << QStringList{u"--unattended"_s, u"--bogus"_s} << u"bogus"_s;
    QTest::newRow("stray argument")
        << QStringList{u"--unattended"_s, u"stray"_s} << u"unexpected argument: stray"_s;
}

void TestSetupFolder::wrongArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, problem);
    lorvo::test::TestRuntime tr;
    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    bool connected = false;
    const int code = runUnattended(
        QStringList{u"LorvoSetup"_s} + arguments,
        [&](Dialogs& dialogs, Shell& shell) -> std::unique_ptr<outlook::Provider> {
            connected = true;
            return std::make_unique<localoutlook::Provider>(tr.profileDir, dialogs, shell);
        },
        out, err);
    QCOMPARE(code, 2);
    QVERIFY(!connected);
    QVERIFY2(errText.contains(problem), qPrintable(errText));
}

void TestSetupFolder::unattendedInstallAndRepair()
{
    REQUIRE_PROGRAM();
    FolderFixture f;
    const QString dir = f.tr.path(u"Deployed"_s);
    const Run install =
        runSetup(installArguments(dir, allPublic(), u"Knowledge Base"_s) << u"--example-data"_s);
    QVERIFY2(install.exitCode == 0, qPrintable(install.err));
    QVERIFY2(install.out.contains(u"Created the knowledge-base folder "_s + allPublic() +
                                  u"\\Knowledge Base"_s),
             qPrintable(install.out));
    QVERIFY(install.err.isEmpty());
    // The unattended run opens nothing on the desktop, not even the Read Me.
    QVERIFY(!install.out.contains(u"not opened"_s));

    const QString installPath = QDir::toNativeSeparators(dir) + QDir::separator();
    {
        const auto app = f.fresh();
        const auto ns = app->GetNamespace(u"MAPI"_s);
        const auto folder = at(ns, allPublic() + u"\\Knowledge Base"_s);
        QVERIFY(folder);
        QVERIFY(folder->Items()->Count() > 0);
        QCOMPARE(folder->WebViewURL(), u"file:"_s + installPath + u"OLorvo.htm"_s);
        QVERIFY(folder->WebViewOn());
        QCOMPARE(app->ActiveExplorer()->CurrentFolder()->EntryID(), folder->EntryID());
        QVERIFY(!storeNames(*ns).contains(u"LorvoFilled"_s));
    }

    putFile(installPath + u"KBSettings.txt"_s, "edited");
    const Run repair =
        runSetup({u"--unattended"_s, u"--repair"_s, allPublic() + u"\\Knowledge Base"_s});
    QVERIFY2(repair.exitCode == 0, qPrintable(repair.err));
    QVERIFY2(repair.out.contains(u"Wrote the application files to "_s + installPath),
             qPrintable(repair.out));
    QCOMPARE(readAll(installPath + u"KBSettings.txt"_s), QByteArray("  "));

    // Installing again under the same name would need the overwrite question: nothing is written.
    putFile(installPath + u"KBSettings.txt"_s, "edited again");
    const Run again = runSetup(installArguments(dir, allPublic(), u"Knowledge Base"_s));
    QCOMPARE(again.exitCode, 1);
    QVERIFY2(again.err.contains(u"a folder named 'Knowledge Base' already exists"_s),
             qPrintable(again.err));
    QCOMPARE(readAll(installPath + u"KBSettings.txt"_s), QByteArray("edited again"));
}

void TestSetupFolder::unattendedWithoutExampleData()
{
    REQUIRE_PROGRAM();
    FolderFixture f;
    const Run run = runSetup(installArguments(f.tr.path(u"Deployed"_s), allPublic(), u"KB"_s));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    const auto folder = at(f.freshNameSpace(), allPublic() + u"\\KB"_s);
    QVERIFY(folder);
    QCOMPARE(folder->Items()->Count(), 0);
}

void TestSetupFolder::unattendedWrongParent()
{
    if (!canRunProgram())
        QFAIL("LorvoSetup has not been built.");
    FolderFixture f;
    const QString dir = f.tr.path(u"Deployed"_s);
    const Run run = runSetup(installArguments(dir, u"\\\\Public Folders\\Nope"_s, u"KB"_s));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(u"there is no Outlook folder '\\\\Public Folders\\Nope'"_s),
             qPrintable(run.err));
    // Checked before anything is written.
    QVERIFY(!QFile::exists(dir));
}

void TestSetupFolder::unattendedParentRefusingSubfolders()
{
    REQUIRE_PROGRAM();
    FolderFixture f;
    const Run run =
        runSetup(installArguments(f.tr.path(u"Deployed"_s), u"\\\\Public Folders"_s, u"KB"_s));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(u"There were some problems."_s), qPrintable(run.err));
    const auto ns = f.freshNameSpace();
    QVERIFY(!storeNames(*ns).contains(u"LorvoFilled"_s));
    QVERIFY(!subfolderNames(at(ns, u"\\\\Public Folders"_s)).contains(u"KB"_s));
}

void TestSetupFolder::unattendedRepairOfNonKnowledgeBaseFolder()
{
    if (!canRunProgram())
        QFAIL("LorvoSetup has not been built.");
    FolderFixture f;
    const Run run = runSetup({u"--unattended"_s, u"--repair"_s, allPublic()});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains(u"This is not a Lorvo folder!"_s), qPrintable(run.err));
}
