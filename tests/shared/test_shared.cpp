// The shared runtime without windows: the error report, the Outlook session, the file, shell and
// browser helpers, the file system.

#include "fakeoutlook.h"
#include "localoutlook/localoutlook.h"
#include "shared/browse.h"
#include "shared/commandline.h"
#include "shared/errorhandling.h"
#include "shared/filehandling.h"
#include "shared/outlooksession.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace lorvo;
using lorvo::test::readAll;
using lorvo::test::TestRuntime;

namespace {

// Runs work that is expected to end the program; true when it did.
bool endsProgram(const std::function<void()>& work)
{
    try {
        work();
    } catch (const ProgramEnded&) {
        return true;
    }
    return false;
}

const QString kSeparator = QString(70, u'-');

QString expectedErrorText(const QString& step, const QString& message, qint32 number,
                          const QString& procedure, int line)
{
    return u"This error has occured: :\r\n"_s + step +
           u"\r\n\r\nThe system error message was: :\r\n"_s + message + u"\r\n#"_s +
           QString::number(number) + u"\r\n\r\nSub routine : "_s + procedure +
           u" \r\nError on line: "_s + QString::number(line);
}

// A runtime over the test doubles with another Outlook.
struct OtherOutlook
{
    explicit OtherOutlook(TestRuntime& t)
        : rt(Services{t.dialogs, t.shell, t.fs, t.platform, t.end, provider}, u"LorvoArchive"_s)
    {
    }
    lorvo::test::CountingProvider provider;
    Runtime rt;
};

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser);
}

} // namespace

class TestShared : public QObject
{
    Q_OBJECT

private slots:
    // The error report.
    void reportShowsTheFixedTextAndEnds();
    void reportBoxIsCutAt255WhileTheMailKeepsEverything();
    void reportDuringReportEndsWithoutSecondBox();
    void reportAnsweredNoNeverContactsOutlook();
    void reportAnsweredYesLeavesMailInDrafts();
    void reportMailFailureIsTold();
    void operatingSystemNames_data();
    void operatingSystemNames();
    void logOffWritesNothing();
    void logOnWritesEveryStep();
    void trapReportsLineAndProcedure();

    // The Outlook session.
    void connectRefusesOutlookBefore2000();
    void connectAcceptsOutlook2000();
    void connectTriesEveryWayThenGivesUp();
    void versionIsTheNumberBeforeTheFirstDot();
    void versionWithoutDotIsReported();
    void connectOpensAWindowOnTheInboxOnlyWhenNoneIsOpen();
    void fullFolderPath();
    void currentFolderIsWhatTheActiveWindowShows();
    void currentFolderFailureIsTold();
    void userFields_data();
    void userFields();
    void assistantAndItsFallback();
    void endReleasesEverythingAndEnds();

    // Files, shell and browser.
    void clearEndSlash_data();
    void clearEndSlash();
    void executeOpensAddresses_data();
    void executeOpensAddresses();
    void executeRunsTheProgramInFolderOrBesideThisOne();
    void executeTellsWhatCouldNotRun();
    void executeIsSilentWhenTheUserCancels();
    void executeWithoutShellEnds();
    void readTextFile();
    void browserFromCommand_data();
    void browserFromCommand();
    void browserIsAskedOnce();
    void numericKeyFilter_data();
    void numericKeyFilter();
    void typedNameQuestion();

    // The file system.
    void fileSystemCreatesFoldersOneLevelAtATime();
    void fileSystemWritesWholeFiles();
    void fileSystemReadsWholeFiles();
    void fileSystemDeletesReadOnlyOnlyWithForce();
    void textFileAppearsOnlyWhenCommitted();
    void faultyFileSystemFailsBelowPrefix();

    // The end of a command-line run.
    void runWorkGivesTheExitCode_data();
    void runWorkGivesTheExitCode();
};

void TestShared::reportShowsTheFixedTextAndEnds()
{
    TestRuntime t;
    t.rt->setStep(u"Writing file to C:\\x"_s);
    t.dialogs.answer(Answer::No);
    QVERIFY(endsProgram([&] {
        t.rt->errors().subHandleError(u"Permission denied"_s, 70, 40, u"modMain.subInstall"_s);
    }));

    const QString errorText = expectedErrorText(u"Writing file to C:\\x"_s, u"Permission denied"_s,
                                                70, u"modMain.subInstall"_s, 40);
    QCOMPARE(t.rt->errors().errorText(), errorText);
    const QString dialog =
        u"There has been an error in this application. Lorvo for Outlook (Windows NT 5.1)\r\n"_s +
        kSeparator + u"\r\n\r\n"_s + errorText +
        u"\r\n\r\nWould you like to send an e-mail with an error report??"_s;
    const auto messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, dialog.left(255));
    QCOMPARE(messages[0].title, u"Lorvo for Outlook"_s);
    QCOMPARE(messages[0].buttons, Buttons::YesNo);
    QCOMPARE(messages[0].icon, Icon::None);
    QVERIFY(t.end.ended);
    QCOMPARE(t.end.exitCode, 0);
}

void TestShared::reportBoxIsCutAt255WhileTheMailKeepsEverything()
{
    TestRuntime t;
    const QString step = u"Copying "_s + QString(300, u'x') + u" to the end"_s;
    t.rt->setStep(step);
    t.dialogs.answer(Answer::Yes);
    QVERIFY(endsProgram(
        [&] { t.rt->errors().subHandleError(u"Disk full"_s, 61, 70, u"modMain.subInstall"_s); }));
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages()[0].text.size(), 255);

    // The mail went to Drafts with the whole text.
    localoutlook::Provider outlook(t.profileDir, t.dialogs, t.shell);
    const auto app = outlook.GetRunning();
    QVERIFY(app);
    const auto drafts = app->GetNamespace(u"MAPI"_s)->GetDefaultFolder(outlook::olFolderDrafts);
    QCOMPARE(drafts->Items()->Count(), 1);
    const auto mail = drafts->Items()->Item(1);
    QVERIFY(mail->Body().contains(step));
    QVERIFY(mail->Body().endsWith(u"Outlook Version: 12.0.4518.1014\r\n"_s));
}

void TestShared::reportDuringReportEndsWithoutSecondBox()
{
    // A failure raised while the report's box is open reports again from inside the box.
    class ReportingDialogs final : public Dialogs
    {
    public:
        explicit ReportingDialogs(Runtime*& rt) : m_rt(rt) {}
        Answer messageBox(const MessageBoxRequest&) override
        {
            ++boxes;
            m_rt->errors().subHandleError(u"second"_s, 5, 10, u"nested"_s);
        }
        QString inputBox(const QString&, const QString&, const QString&, QObject*) override
        {
            return {};
        }
        QString browseForFolder(const FolderBrowseRequest&) override { return {}; }
        outlook::FolderPtr pickOutlookFolder(outlook::NameSpace&, QObject*) override
        {
            return nullptr;
        }
        int boxes = 0;

    private:
        Runtime*& m_rt;
    };

    TestRuntime t;
    Runtime* rt = nullptr;
    ReportingDialogs dialogs(rt);
    lorvo::test::CountingProvider provider;
    Runtime own(Services{dialogs, t.shell, t.fs, t.platform, t.end, provider}, u"LorvoArchive"_s);
    rt = &own;
    QVERIFY(endsProgram([&] { own.errors().subHandleError(u"first"_s, 5, 10, u"outer"_s); }));
    QCOMPARE(dialogs.boxes, 1);
    QVERIFY(own.errors().errorText().contains(u"first"_s));
    QVERIFY(t.end.ended);
    QVERIFY(provider.calls.isEmpty());
}

void TestShared::reportAnsweredNoNeverContactsOutlook()
{
    TestRuntime t;
    OtherOutlook other(t);
    t.dialogs.answer(Answer::No);
    QVERIFY(endsProgram([&] { other.rt.errors().subHandleError(u"x"_s, 1, 10, u"p"_s); }));
    QVERIFY(other.provider.calls.isEmpty());
    QVERIFY(t.end.ended);
}

void TestShared::reportAnsweredYesLeavesMailInDrafts()
{
    TestRuntime t;
    t.platform.os = {1, 4, 90, {}};
    t.rt->setStep(u"Reading the folder"_s);
    t.dialogs.answer(Answer::Yes);
    QVERIFY(endsProgram([&] {
        t.rt->errors().subHandleError(u"Object required"_s, 424, 30, u"frmMain.Form_Load"_s);
    }));
    QCOMPARE(t.dialogs.messages().size(), 1);
    QVERIFY(t.dialogs.unscripted.isEmpty());

    localoutlook::Provider outlook(t.profileDir, t.dialogs, t.shell);
    const auto app = outlook.GetRunning();
    QVERIFY(app);
    const auto drafts = app->GetNamespace(u"MAPI"_s)->GetDefaultFolder(outlook::olFolderDrafts);
    QCOMPARE(drafts->Items()->Count(), 1);
    const auto mail = drafts->Items()->Item(1);
    QCOMPARE(mail->Subject(), u"Error in Lorvo for Outlook 1.2.3 (Windows Me)"_s);
    QCOMPARE(mail->Body(), expectedErrorText(u"Reading the folder"_s, u"Object required"_s, 424,
                                             u"frmMain.Form_Load"_s, 30) +
                               u"\r\nOutlook Version: 12.0.4518.1014\r\n"_s);
}

void TestShared::reportMailFailureIsTold()
{
    TestRuntime t;
    OtherOutlook other(t);
    other.provider.running = std::make_shared<lorvo::test::BrokenApplication>();
    t.dialogs.answer(Answer::Yes);
    QVERIFY(endsProgram([&] { other.rt.errors().subHandleError(u"x"_s, 1, 10, u"p"_s); }));
    const auto messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[1].text, u"Failed to send error email using MS Outlook!"_s);
    QCOMPARE(messages[1].icon, Icon::Critical);
    QCOMPARE(messages[1].title, u"Lorvo for Outlook"_s);
    QVERIFY(other.rt.errors().errorText().endsWith(u"Outlook Version: 11.0.0.1\r\n"_s));
}

void TestShared::operatingSystemNames_data()
{
    QTest::addColumn<int>("platformId");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<QString>("otherName");
    QTest::addColumn<QString>("expected");
    QTest::newRow("XP") << 2 << 5 << 1 << QString() << u"Windows NT 5.1"_s;
    QTest::newRow("10") << 2 << 10 << 0 << QString() << u"Windows NT 10.0"_s;
    QTest::newRow("95") << 1 << 4 << 0 << QString() << u"Windows 95"_s;
    QTest::newRow("98") << 1 << 4 << 10 << QString() << u"Windows 98"_s;
    QTest::newRow("Me") << 1 << 4 << 90 << QString() << u"Windows Me"_s;
    QTest::newRow("9x unknown") << 1 << 4 << 3 << QString() << QString();
    QTest::newRow("unnamed other") << 0 << 0 << 0 << QString() << QString();
    QTest::newRow("named other") << 0 << 0 << 0 << u"Debian GNU/Linux 12"_s
                                 << u"Debian GNU/Linux 12"_s;
}

void TestShared::operatingSystemNames()
{
    QFETCH(int, platformId);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(QString, otherName);
    QFETCH(QString, expected);
    TestRuntime t;
    t.platform.os = {platformId, major, minor, otherName};
    QCOMPARE(t.rt->errors().fncGetOS(), expected);
    QVERIFY(endsProgram([&] { t.rt->errors().subHandleError(u"x"_s, 1, 10, u"p"_s); }));
    QVERIFY(t.dialogs.messages()[0].text.startsWith(
        u"There has been an error in this application. Lorvo for Outlook ("_s + expected +
        u")\r\n"_s));
}

void TestShared::logOffWritesNothing()
{
    qunsetenv("LORVO_LOG");
    TestRuntime t;
    QVERIFY(!t.rt->errors().blnLogging);
    t.rt->setStep(u"one"_s);
    t.rt->setStep(u"two"_s);
    QVERIFY(!QFileInfo::exists(t.platform.documentsDir + u"/Tervane"_s));
}

void TestShared::logOnWritesEveryStep()
{
    qputenv("LORVO_LOG", "1");
    TestRuntime t;
    qunsetenv("LORVO_LOG");
    QVERIFY(t.rt->errors().blnLogging);
    t.rt->setStep(u"first step"_s);
    t.rt->setStep(u"second step"_s);
    const QString log = t.platform.documentsDir + u"/Tervane/Lorvo for Outlook_log.txt"_s;
    QCOMPARE(t.rt->errors().fncGetLogFile(), log);
    const QStringList lines = QString::fromLocal8Bit(readAll(log)).split(u"\r\n"_s);
    QVERIFY(lines.size() >= 3);
    QCOMPARE(lines.last(), QString()); // every line ends with CRLF
    const QString first = lines.at(lines.size() - 3);
    const QString second = lines.at(lines.size() - 2);
    QVERIFY(first.startsWith(u"Lorvo for Outlook\t"_s));
    QVERIFY(first.endsWith(u"\tfirst step"_s));
    QVERIFY(second.endsWith(u"\tsecond step"_s));
    QCOMPARE(first.count(u'\t'), 2);

    // Without a documents folder the log is dropped without a word.
    t.platform.documentsDir.clear();
    t.rt->setStep(u"third step"_s);
    QVERIFY(!QString::fromLocal8Bit(readAll(log)).contains(u"third step"_s));
    QVERIFY(t.dialogs.requests.isEmpty());
}

void TestShared::trapReportsLineAndProcedure()
{
    TestRuntime t;
    Trap trap(*t.rt, u"modMain.subSettings"_s);
    QVERIFY(endsProgram([&] {
        trap.run([&] {
            trap.step(10, u"Attaching the store"_s);
            trap.step(20, u"Copying the template folder"_s);
            throw Error(err::PathNotFound, u"Path not found"_s);
        });
    }));
    QCOMPARE(t.rt->errors().errorText(),
             expectedErrorText(u"Copying the template folder"_s, u"Path not found"_s, 76,
                               u"modMain.subSettings"_s, 20));
}

void TestShared::connectRefusesOutlookBefore2000()
{
    TestRuntime t(u"LorvoArchive"_s, false);
    localoutlook::initProfile(t.profileDir, u"8.0"_s);
    QVERIFY(endsProgram([&] { t.rt->session().subConnectOutlook(outlook::olFolderInbox); }));
    const auto messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, u"You need Outlook 2000 or later to run this application.\r\n8"_s);
    QCOMPARE(messages[0].icon, Icon::Critical);
    QCOMPARE(messages[0].title, u"Lorvo for Outlook"_s);
    QVERIFY(!t.rt->session().goOutlook);
    QVERIFY(t.end.ended);
}

void TestShared::connectAcceptsOutlook2000()
{
    TestRuntime t(u"LorvoArchive"_s, false);
    localoutlook::initProfile(t.profileDir, u"9.0.0.2711"_s);
    QVERIFY(!endsProgram([&] { t.rt->session().subConnectOutlook(outlook::olFolderInbox); }));
    QVERIFY(t.dialogs.messages().isEmpty());
    QVERIFY(t.rt->session().goOutlook);
    QVERIFY(t.rt->session().goNameSpace);
    QCOMPARE(t.rt->session().OutlookVersion(), qint16(9));
    QVERIFY(!t.end.ended);
}

void TestShared::connectTriesEveryWayThenGivesUp()
{
    TestRuntime t;
    OtherOutlook other(t);
    QVERIFY(endsProgram([&] { other.rt.session().subConnectOutlook(outlook::olFolderInbox); }));
    QCOMPARE(other.provider.calls,
             (QStringList{u"GetRunning"_s, u"Create:"_s, u"Create:Outlook.Application.12"_s,
                          u"Create:Outlook.Application.11"_s, u"Create:Outlook.Application.10"_s,
                          u"Create:Outlook.Application.9"_s, u"Create:Outlook.Application"_s}));
    const auto messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text,
             u"Please start Outlook manually before you execute this application!"_s);
    QCOMPARE(messages[0].title, u"LorvoArchive"_s);
    QCOMPARE(messages[0].icon, Icon::None);
    QVERIFY(t.end.ended);
}

void TestShared::versionIsTheNumberBeforeTheFirstDot()
{
    TestRuntime t;
    QString version = u"12.0.4518.1014"_s;
    QCOMPARE(t.rt->session().fncGetVersion(version), qint16(12));
    QCOMPARE(version, u"12"_s);
    QCOMPARE(t.rt->session().OutlookVersion(), qint16(12));
}

void TestShared::versionWithoutDotIsReported()
{
    TestRuntime t;
    QString version = u"twelve"_s;
    QVERIFY(endsProgram([&] { t.rt->session().fncGetVersion(version); }));
    const QString text = t.rt->errors().errorText();
    QVERIFY(text.startsWith(u"This error has occured: :\r\nmodOutlookCode.fncGetVersion\r\n"_s));
    QVERIFY(
        text.contains(u"The system error message was: :\r\nmodOutlookCode.fncGetVersion\r\n"_s));
    QVERIFY(text.contains(u"Sub routine : fncGetVersion \r\n"_s));
}

void TestShared::connectOpensAWindowOnTheInboxOnlyWhenNoneIsOpen()
{
    {
        TestRuntime t;
        localoutlook::closeAllExplorers(t.profileDir);
        OutlookSession& s = t.rt->session();
        s.subConnectOutlook(outlook::olFolderInbox);
        QCOMPARE(s.goOutlook->Explorers()->Count(), 1);
        const auto shown = s.goOutlook->Explorers()->Item(1)->CurrentFolder();
        QVERIFY(shown);
        QCOMPARE(shown->EntryID(),
                 s.goNameSpace->GetDefaultFolder(outlook::olFolderInbox)->EntryID());
        QVERIFY(s.goOutlook->ActiveExplorer());
    }
    {
        // One window open, on the calendar: no second one, and it stays on the calendar.
        TestRuntime t;
        localoutlook::closeAllExplorers(t.profileDir);
        const auto app = t.outlook->GetRunning();
        QVERIFY(app);
        const auto calendar =
            app->GetNamespace(u"MAPI"_s)->GetDefaultFolder(outlook::olFolderCalendar);
        app->Explorers()->Add(calendar, 0)->Display();
        OutlookSession& s = t.rt->session();
        s.subConnectOutlook(outlook::olFolderInbox);
        QCOMPARE(s.goOutlook->Explorers()->Count(), 1);
        QCOMPARE(s.goOutlook->ActiveExplorer()->CurrentFolder()->EntryID(), calendar->EntryID());
    }
}

void TestShared::fullFolderPath()
{
    TestRuntime t;
    OutlookSession& s = t.rt->session();
    s.subConnectOutlook(outlook::olFolderInbox);
    const auto ns = s.goNameSpace;
    const auto publicTop = ns->Folders()->Item(u"Public Folders"_s);
    const auto allPublic = publicTop->Folders()->Item(u"All Public Folders"_s);
    const auto kb = allPublic->Folders()->Add(u"Knowledge Base"_s);
    QCOMPARE(s.fncGetFullFolderPath(kb, ns),
             u"\\\\Public Folders\\All Public Folders\\Knowledge Base"_s);
    QCOMPARE(s.fncGetFullFolderPath(publicTop, ns), u"\\\\Public Folders"_s);
    QCOMPARE(t.rt->errors().strErrorMessage(),
             u"Looping folder tree in order to get the full folder path"_s);

    // A folder bearing a store's name is walked past, up to the real top.
    const auto inbox = ns->GetDefaultFolder(outlook::olFolderInbox);
    const auto mailbox = inbox->Parent();
    QVERIFY(mailbox);
    const auto lookalike = inbox->Folders()->Add(u"Public Folders"_s);
    const auto inner = lookalike->Folders()->Add(u"Inner"_s);
    QCOMPARE(s.fncGetFullFolderPath(inner, ns),
             u"\\\\"_s + mailbox->Name() + u"\\"_s + inbox->Name() + u"\\Public Folders\\Inner"_s);
    QCOMPARE(s.fncGetFullFolderPath(nullptr, ns), QString());
}

void TestShared::currentFolderIsWhatTheActiveWindowShows()
{
    TestRuntime t;
    OutlookSession& s = t.rt->session();
    s.subGetRootCurrent(outlook::olFolderCalendar);
    QVERIFY(s.goCurrentFolder);
    QCOMPARE(s.goCurrentFolder->EntryID(),
             s.goNameSpace->GetDefaultFolder(outlook::olFolderInbox)->EntryID());

    // Connected, but the window went: a new one opens on the folder kind asked for.
    localoutlook::closeAllExplorers(t.profileDir);
    s.subGetRootCurrent(outlook::olFolderCalendar);
    QVERIFY(s.goCurrentFolder);
    QCOMPARE(s.goCurrentFolder->EntryID(),
             s.goNameSpace->GetDefaultFolder(outlook::olFolderCalendar)->EntryID());
    QCOMPARE(s.goOutlook->Explorers()->Count(), 1);
    QVERIFY(t.dialogs.messages().isEmpty());
}

void TestShared::currentFolderFailureIsTold()
{
    TestRuntime t;
    OtherOutlook other(t);
    auto app = std::make_shared<lorvo::test::BrokenApplication>();
    other.provider.running = app;
    QVERIFY(!endsProgram([&] { other.rt.session().subGetRootCurrent(outlook::olFolderCalendar); }));
    QVERIFY(!other.rt.session().goCurrentFolder);
    const auto messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, u"Unable to connect to current Outlook folder!"_s);
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(messages[0].title, u"Lorvo for Outlook"_s);
    QVERIFY(!t.end.ended);
}

void TestShared::userFields_data()
{
    QTest::addColumn<QVariant>("stored"); // invalid: the field is missing
    QTest::addColumn<int>("kind");
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<QVariant>("expected");
    const QVariant none;
    const QDateTime zero(QDate(1899, 12, 30), QTime(0, 0));
    const QDateTime when(QDate(2006, 5, 4), QTime(3, 2, 1));

    QTest::newRow("int missing, numeric default") << none << 2 << QVariant(u"7"_s) << QVariant(7);
    QTest::newRow("int missing, text default") << none << 2 << QVariant(u"x"_s) << QVariant(0);
    QTest::newRow("int present") << QVariant(42) << 2 << QVariant(1) << QVariant(42);
    QTest::newRow("int present as text") << QVariant(u" 13 "_s) << 2 << QVariant() << QVariant(13);
    QTest::newRow("int holding text") << QVariant(u"abc"_s) << 2 << QVariant(5) << QVariant(0);
    QTest::newRow("int rounds to even") << QVariant(2.5) << 2 << QVariant() << QVariant(2);
    QTest::newRow("int overflowing") << QVariant(70000) << 2 << QVariant() << QVariant(0);
    QTest::newRow("date missing") << none << 7 << QVariant(when) << QVariant(zero);
    QTest::newRow("date present") << QVariant(when) << 7 << QVariant() << QVariant(when);
    QTest::newRow("date holding text") << QVariant(u"soon"_s) << 7 << QVariant() << QVariant(zero);
    QTest::newRow("text missing") << none << 8 << QVariant(u"Other"_s) << QVariant(u"Other"_s);
    QTest::newRow("text missing, no default") << none << 8 << QVariant() << QVariant(QString());
    QTest::newRow("text present") << QVariant(u"Printing"_s) << 8 << QVariant(u"Other"_s)
                                  << QVariant(u"Printing"_s);
    QTest::newRow("text empty takes default")
        << QVariant(QString()) << 8 << QVariant(u"Other"_s) << QVariant(u"Other"_s);
    QTest::newRow("text from number") << QVariant(3) << 8 << QVariant() << QVariant(u"3"_s);
    QTest::newRow("bool missing, numeric default") << none << 11 << QVariant(1) << QVariant(true);
    QTest::newRow("bool missing, text default") << none << 11 << QVariant(u"y"_s) << QVariant();
    QTest::newRow("bool present") << QVariant(false) << 11 << QVariant(1) << QVariant(false);
    QTest::newRow("bool from text") << QVariant(u"True"_s) << 11 << QVariant() << QVariant(true);
    QTest::newRow("other kind") << QVariant(1) << 3 << QVariant(1) << QVariant();
}

void TestShared::userFields()
{
    QFETCH(QVariant, stored);
    QFETCH(int, kind);
    QFETCH(QVariant, defaultValue);
    QFETCH(QVariant, expected);
    TestRuntime t;
    auto item = std::make_shared<lorvo::test::FieldItem>();
    if (stored.isValid())
        item->fields[u"Problem Type"_s] = stored;
    const QVariant value =
        t.rt->session().fncGetOutlookValue(item, u"problem type"_s, kind, defaultValue);
    QCOMPARE(value, expected);
    QCOMPARE(t.rt->errors().strErrorMessage(),
             u"Reading the value of the Outlook property problem type"_s);
}

void TestShared::assistantAndItsFallback()
{
    TestRuntime t;
    OutlookSession& s = t.rt->session();
    auto app = std::make_shared<lorvo::test::BrokenApplication>();
    app->assistant = std::make_shared<lorvo::test::FakeAssistant>();
    s.subAssistantMessage(app, u"Done."_s);
    app->assistant->reply = 7;
    QCOMPARE(s.fncAssistantQuestion(app, u"Go on?"_s, Buttons::YesNo), Answer::No);
    QVERIFY(app->assistant->visible);
    QCOMPARE(app->assistant->alerts.size(), 2);
    QCOMPARE(app->assistant->alerts[0], (QStringList{u"Lorvo for Outlook"_s, u"Done."_s, u"0"_s,
                                                     u"4"_s, u"0"_s, u"-1"_s, u"false"_s}));
    QCOMPARE(app->assistant->alerts[1], (QStringList{u"Lorvo for Outlook"_s, u"Go on?"_s, u"4"_s,
                                                     u"2"_s, u"0"_s, u"-1"_s, u"false"_s}));
    QVERIFY(t.dialogs.requests.isEmpty());

    // No assistant: ordinary message boxes with the same title.
    t.dialogs.answer(Answer::Yes);
    s.subAssistantMessage(nullptr, u"Done."_s);
    QCOMPARE(s.fncAssistantQuestion(t.outlook->GetRunning(), u"Go on?"_s, Buttons::YesNo),
             Answer::Yes);
    const auto messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(messages[0].title, u"Lorvo for Outlook"_s);
    QCOMPARE(messages[1].icon, Icon::Question);
    QCOMPARE(messages[1].buttons, Buttons::YesNo);
    QCOMPARE(messages[1].title, u"Lorvo for Outlook"_s);
}

void TestShared::endReleasesEverythingAndEnds()
{
    TestRuntime t;
    OutlookSession& s = t.rt->session();
    s.subGetRootCurrent(outlook::olFolderCalendar);
    QVERIFY(s.goOutlook && s.goNameSpace && s.goCurrentFolder);
    int ends = 0;
    t.end.onEnd = [&] { ++ends; };
    QVERIFY(endsProgram([&] { s.subEndApplication(); }));
    QVERIFY(!s.goOutlook && !s.goNameSpace && !s.goCurrentFolder);
    QVERIFY(t.end.ended);
    // Ending again (a window's close handler) does not end twice but still unwinds.
    QVERIFY(endsProgram([&] { s.subEndApplication(); }));
    QCOMPARE(ends, 1);
}

void TestShared::clearEndSlash_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("backslash") << u"C:\\Temp\\"_s << u"C:\\Temp"_s;
    QTest::newRow("two backslashes") << u"C:\\Temp\\\\"_s << u"C:\\Temp\\"_s;
    QTest::newRow("slash") << u"/tmp/x/"_s << u"/tmp/x"_s;
    QTest::newRow("none") << u"/tmp/x"_s << u"/tmp/x"_s;
    QTest::newRow("empty") << QString() << QString();
    // A root keeps its slash, or it would name no folder (or the drive's current one).
    QTest::newRow("root") << u"/"_s << u"/"_s;
    QTest::newRow("drive root") << u"C:\\"_s << u"C:\\"_s;
}

void TestShared::clearEndSlash()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(fncClearEndSlash(path), expected);
}

void TestShared::executeOpensAddresses_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("http") << u"http://lorvo.example/"_s;
    QTest::newRow("HTTPS") << u"HTTPS://LORVO.EXAMPLE/"_s;
    QTest::newRow("mailto") << u"mailto:support@lorvo.example"_s;
    QTest::newRow("MailTo") << u"MailTo:support@lorvo.example"_s;
}

void TestShared::executeOpensAddresses()
{
    QFETCH(QString, name);
    TestRuntime t;
    // A program of that name beside this one must not be started instead.
    writeBytes(t.platform.programDir + u'/' + name.left(4), "x");
    t.rt->files().subExecute(name, u"ignored"_s, t.platform.programDir);
    QCOMPARE(t.shell.opened, QStringList{name});
    QVERIFY(t.shell.ran.isEmpty());
    QVERIFY(t.dialogs.requests.isEmpty());
}

void TestShared::executeRunsTheProgramInFolderOrBesideThisOne()
{
    TestRuntime t;
    const QString suffix = QString::fromLatin1(kExecutableSuffix);
    const QString beside = t.platform.programDir + QDir::separator() + u"LorvoArchive"_s + suffix;
    writeBytes(beside, "x");
    const QString other = t.path(u"other"_s);
    QDir().mkpath(other);

    t.rt->files().subExecute(u"LorvoArchive"_s, u"-x"_s, other + u'/');
    QCOMPARE(t.shell.ran, QStringList{u'"' + beside + u"\" -x"_s});

    const QString inFolder = other + QDir::separator() + u"LorvoArchive"_s + suffix;
    writeBytes(inFolder, "x");
    t.rt->files().subExecute(u"LorvoArchive"_s, u"-y"_s, other);
    QCOMPARE(t.shell.ran.last(), u'"' + inFolder + u"\" -y"_s);

    t.rt->files().subExecute(u"LorvoArchive"_s, QString(), QString());
    QCOMPARE(t.shell.ran.last(), u'"' + beside + u"\" "_s);
    QVERIFY(t.dialogs.requests.isEmpty());
    QCOMPARE(t.rt->errors().strErrorMessage(),
             u"Attempting to execute the path '"_s + beside + u"'"_s);
}

void TestShared::executeTellsWhatCouldNotRun()
{
    TestRuntime t;
    const QString suffix = QString::fromLatin1(kExecutableSuffix);
    t.rt->files().subExecute(u"Missing"_s, u"-a"_s, t.path(u"nowhere"_s));
    const QString expectedPath = t.platform.programDir + QDir::separator() + u"Missing"_s + suffix;
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages()[0].text,
             u"Error trying to run the file at "_s + expectedPath + u"\r\n"_s);
    QCOMPARE(t.dialogs.messages()[0].icon, Icon::Critical);
    QCOMPARE(t.dialogs.messages()[0].title, u"Lorvo for Outlook"_s);
    QVERIFY(t.shell.ran.isEmpty());

    const QString tool = t.platform.programDir + QDir::separator() + u"Tool"_s + suffix;
    writeBytes(tool, "x");
    t.shell.runError = Error(err::PermissionDenied, u"Permission denied"_s);
    t.rt->files().subExecute(u"Tool"_s, u"-b"_s, QString());
    QCOMPARE(t.dialogs.messages().size(), 2);
    QCOMPARE(t.dialogs.messages()[1].text,
             u"Error trying to run the file at \""_s + tool + u"\" -b\r\nPermission denied"_s);
    QVERIFY(!t.end.ended);
}

void TestShared::executeIsSilentWhenTheUserCancels()
{
    TestRuntime t;
    writeBytes(t.platform.programDir + QDir::separator() + u"Tool"_s +
                   QString::fromLatin1(kExecutableSuffix),
               "x");
    t.shell.runError =
        Error(err::OperationCancelled, u"The operation was cancelled by the user."_s);
    t.rt->files().subExecute(u"Tool"_s, QString(), QString());
    QCOMPARE(t.shell.ran.size(), 1);
    QVERIFY(t.dialogs.requests.isEmpty());
    QVERIFY(!t.end.ended);
}

void TestShared::executeWithoutShellEnds()
{
    TestRuntime t;
    t.shell.shellAvailable = false;
    QVERIFY(endsProgram([&] { t.rt->files().subExecute(u"Tool"_s, QString(), QString()); }));
    QCOMPARE(t.dialogs.messages().size(), 1);
    QCOMPARE(t.dialogs.messages()[0].text,
             u"ERROR\r\nAttempting to create a new Scripting.Dictionary object.\r\nThis component "
             "is usually installed with Internet Explorer 4.0 or later\r\nPlease download the "
             "Windows Scripting Runtime from Microsoft Downloads to resolve this issue!"_s);
    QCOMPARE(t.dialogs.messages()[0].icon, Icon::Critical);
    QVERIFY(t.end.ended);
}

void TestShared::readTextFile()
{
    TestRuntime t;
    const QString empty = t.path(u"empty.txt"_s);
    writeBytes(empty, QByteArray());
    QCOMPARE(t.rt->files().fncReadTextFile(empty), QString());
    QVERIFY(QFile::remove(empty)); // closed again: it can go
    QCOMPARE(t.rt->files().fncReadTextFile(t.path(u"missing.txt"_s)), QString());
    const QString text = t.path(u"text.txt"_s);
    writeBytes(text, "line 1\r\nline 2\r\n");
    QCOMPARE(t.rt->files().fncReadTextFile(text), u"line 1\r\nline 2\r\n"_s);
    QVERIFY(t.dialogs.requests.isEmpty());
}

void TestShared::browserFromCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("quoted with switches")
        << u"\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" -osint -url \"%1\""_s
        << u"C:\\Program Files\\Mozilla Firefox\\firefox.exe"_s;
    QTest::newRow("unquoted with argument") << u"C:\\PROGRA~1\\INTERN~1\\iexplore.exe -nohome"_s
                                            << u"C:\\PROGRA~1\\INTERN~1\\iexplore.exe"_s;
    QTest::newRow("blanks before the last backslash")
        << u"C:\\Program Files\\IE\\iexplore.exe %1"_s << u"C:\\Program Files\\IE\\iexplore.exe"_s;
    QTest::newRow("unquoted without argument")
        << u"C:\\IE\\iexplore.exe"_s << u"C:\\IE\\iexplore.exe"_s;
    QTest::newRow("bare name") << u"firefox %u"_s << u"firefox %u"_s;
    QTest::newRow("one quote only") << u"\"firefox"_s << u"\"firefox"_s;
    QTest::newRow("desktop path") << u"/usr/bin/firefox-esr %u"_s << u"/usr/bin/firefox-esr"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestShared::browserFromCommand()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    QCOMPARE(lorvo::browserFromCommand(command), expected);
}

void TestShared::browserIsAskedOnce()
{
    TestRuntime t;
    BrowserHelpers helpers(*t.rt);
    t.shell.browser = u"\"/opt/web/browser\" --new-window"_s;
    QCOMPARE(helpers.GetBrowser(), u"/opt/web/browser"_s);
    t.shell.browser = u"\"/opt/other\""_s;
    QCOMPARE(helpers.GetBrowser(), u"/opt/web/browser"_s);
    helpers.subOpenUrl(u"https://lorvo.example/"_s, true);
    QCOMPARE(t.shell.ran, QStringList{u"\"/opt/web/browser\" https://lorvo.example/"_s});
    helpers.subOpenUrl(u"https://lorvo.example/"_s, false);
    QCOMPARE(t.shell.opened, QStringList{u"https://lorvo.example/"_s});
    t.shell.openResult = 2;
    QCOMPARE(helpers.OpenDoc(u"/x/index.htm"_s), 2);
}

void TestShared::numericKeyFilter_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("extra");
    QTest::addColumn<int>("expected");
    QTest::newRow("0") << int('0') << 0 << int('0');
    QTest::newRow("9") << int('9') << 0 << int('9');
    QTest::newRow("backspace") << 8 << 0 << 8;
    QTest::newRow("letter") << int('a') << 0 << 0;
    QTest::newRow("minus") << int('-') << 0 << 0;
    QTest::newRow("extra allowed") << int('.') << int('.') << int('.');
    QTest::newRow("slash next to digits") << int('/') << 0 << 0;
    QTest::newRow("colon next to digits") << int(':') << 0 << 0;
}

void TestShared::numericKeyFilter()
{
    QFETCH(int, key);
    QFETCH(int, extra);
    QFETCH(int, expected);
    subNumericKeyFilter(key, extra);
    QCOMPARE(key, expected);
}

void TestShared::typedNameQuestion()
{
    TestRuntime t(u"First Run - Lorvo for Outlook"_s);
    const QString base = t.path(u"base"_s);
    QDir().mkpath(base);
    FolderBrowser browser(*t.rt);
    browser.startFolder = base;

    // Yes creates the typed name under the selection and selects it.
    t.dialogs.answerBrowseTyped(base, u"New Folder"_s).answer(Answer::Yes);
    const QString created = base + QDir::separator() + u"New Folder"_s;
    QCOMPARE(browser.Folder_Browse(nullptr, u"Choose"_s, 1), created);
    QVERIFY(QFileInfo(created).isDir());
    QCOMPARE(browser.displayName, u"New Folder"_s);
    const auto messages = t.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text,
             u"The Path You Typed Does Not Exist!\r\nWould you like to create it?"_s);
    QCOMPARE(messages[0].buttons, Buttons::YesNo);
    QCOMPARE(messages[0].icon, Icon::Question);
    QCOMPARE(messages[0].title, u"First Run - Lorvo for Outlook"_s);
    QCOMPARE(t.dialogs.requests[0].defaultText, base); // the start folder was handed on

    // No keeps the dialog where it was and creates nothing.
    t.dialogs.answerBrowseTyped(base, u"Other"_s).answer(Answer::No);
    QCOMPARE(browser.Folder_Browse(nullptr, u"Choose"_s, 1), base);
    QVERIFY(!QFileInfo::exists(base + u"/Other"_s));

    // Yes with nothing typed closes the dialog: nothing chosen.
    t.dialogs.answerBrowseTyped(base, QString()).answer(Answer::Yes);
    QCOMPARE(browser.Folder_Browse(nullptr, u"Choose"_s, 1), QString());

    // A folder that cannot be created keeps the selection.
    t.fs.failBelow(base + u"/Locked"_s, err::PermissionDenied);
    t.dialogs.answerBrowseTyped(base, u"Locked"_s).answer(Answer::Yes);
    QCOMPARE(browser.Folder_Browse(nullptr, u"Choose"_s, 1), base);

    // Cancel.
    t.dialogs.answerBrowse(QString());
    QCOMPARE(browser.Folder_Browse(nullptr, u"Choose"_s, 1), QString());
    QVERIFY(t.dialogs.unscripted.isEmpty());
    QCOMPARE(t.dialogs.pendingAnswers(), 0);
}

void TestShared::fileSystemCreatesFoldersOneLevelAtATime()
{
    QTemporaryDir dir;
    LocalFileSystem fs;
    const QString deep = dir.filePath(u"a/b"_s);
    try {
        fs.createFolder(deep);
        QFAIL("a folder without its parent was created");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::PathNotFound);
    }
    fs.createFolder(dir.filePath(u"a/"_s));
    fs.createFolder(deep);
    QVERIFY(fs.folderExists(deep));
    QVERIFY(!fs.fileExists(deep));
    try {
        fs.createFolder(deep);
        QFAIL("an existing folder was created again");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::FileExists);
    }
}

void TestShared::fileSystemWritesWholeFiles()
{
    QTemporaryDir dir;
    LocalFileSystem fs;
    const QString file = dir.filePath(u"page.htm"_s);
    fs.writeFile(file, QByteArray(1000, 'a'));
    // A new page is for everyone to read (a web server); a replaced one keeps its permissions.
    QVERIFY(QFile::permissions(file).testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                               QFileDevice::ReadGroup | QFileDevice::ReadOther));
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    fs.writeFile(file, "short");
    QCOMPARE(fs.readFile(file), QByteArray("short"));
    QVERIFY(!QFile::permissions(file).testFlag(QFileDevice::ReadOther));
    QVERIFY(QFile::permissions(file).testFlag(QFileDevice::WriteOwner));
    // Also what a umask would take from a new file.
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                    QFileDevice::WriteOther);
    fs.writeFile(file, "short");
    QVERIFY(QFile::permissions(file).testFlags(QFileDevice::WriteGroup | QFileDevice::WriteOther));
    try {
        fs.writeFile(dir.filePath(u"none/page.htm"_s), "x");
        QFAIL("written into a missing folder");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::PathNotFound);
    }
    makeReadOnly(file);
    try {
        fs.writeFile(file, "changed");
        QFAIL("a read-only file was replaced");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::PermissionDenied);
    }
    QCOMPARE(readAll(file), QByteArray("short"));
    // A file's time is set also where it is read-only; a missing file has none.
    const QDateTime time(QDate(2020, 5, 4), QTime(3, 2, 1), Qt::UTC);
    fs.setModificationTime(file, time);
    QCOMPARE(QFileInfo(file).lastModified().toUTC(), time);
    try {
        fs.setModificationTime(dir.filePath(u"missing.htm"_s), time);
        QFAIL("a missing file got a time");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::FileNotFound);
    }
    try {
        fs.readFile(dir.filePath(u"missing"_s));
        QFAIL("a missing file was read");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::FileNotFound);
    }
}

void TestShared::fileSystemReadsWholeFiles()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"copy.rtf"_s);
    QVERIFY(!LocalFileSystem::readWhole(dir.filePath(u"missing.rtf"_s)));
    QVERIFY(!LocalFileSystem::readWhole(dir.path()));
    LocalFileSystem().writeFile(file, {});
    QCOMPARE(LocalFileSystem::readWhole(file), QByteArray());
    // Larger than one read: read in pieces, all of it.
    QByteArray bytes(200'000, 'a');
    bytes += "end";
    LocalFileSystem().writeFile(file, bytes);
    QCOMPARE(LocalFileSystem::readWhole(file), bytes);
}

void TestShared::fileSystemDeletesReadOnlyOnlyWithForce()
{
    QTemporaryDir dir;
    LocalFileSystem fs;
    const QString file = dir.filePath(u"ro.txt"_s);
    writeBytes(file, "x");
    makeReadOnly(file);
    try {
        fs.deleteFile(file, false);
        QFAIL("a read-only file was deleted without force");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::PermissionDenied);
    }
    fs.deleteFile(file, true);
    QVERIFY(!QFileInfo::exists(file));

    const QString folder = dir.filePath(u"tree"_s);
    QDir().mkpath(folder + u"/sub"_s);
    writeBytes(folder + u"/a.txt"_s, "a");
    writeBytes(folder + u"/sub/b.txt"_s, "b");
    makeReadOnly(folder + u"/sub/b.txt"_s);
    try {
        fs.deleteFolder(folder, false);
        QFAIL("a folder with a read-only file was deleted without force");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::PermissionDenied);
    }
    QVERIFY(QFileInfo::exists(folder + u"/a.txt"_s)); // nothing went before the refusal
    fs.deleteFolder(folder + u'/', true);
    QVERIFY(!QFileInfo::exists(folder));
    try {
        fs.deleteFolder(folder, true);
        QFAIL("a missing folder was deleted");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::PathNotFound);
    }
}

void TestShared::textFileAppearsOnlyWhenCommitted()
{
    QTemporaryDir dir;
    LocalFileSystem fs;
    const QString file = dir.filePath(u"index.htm"_s);
    writeBytes(file, "old index");
    {
        auto sink = fs.createTextFile(file);
        sink->write("<html>");
        QCOMPARE(readAll(file), QByteArray("old index"));
        // dropped without commit
    }
    QCOMPARE(readAll(file), QByteArray("old index"));
    auto sink = fs.createTextFile(file);
    sink->write("<html>");
    sink->write("</html>");
    sink->commit();
    QCOMPARE(readAll(file), QByteArray("<html></html>"));
    // Nothing is left of the write dropped or of the one committed.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"index.htm"_s});
}

void TestShared::faultyFileSystemFailsBelowPrefix()
{
    QTemporaryDir dir;
    lorvo::test::FaultyFileSystem fs;
    fs.failBelow(dir.filePath(u"web"_s), err::PathFileAccess);
    fs.createFolder(dir.filePath(u"webside"_s)); // a sibling with the same beginning works
    try {
        fs.writeFile(dir.filePath(u"web/index.htm"_s), "x");
        QFAIL("no failure below the prefix");
    } catch (const Error& e) {
        QCOMPARE(e.number(), err::PathFileAccess);
    }
}

QTEST_GUILESS_MAIN(TestShared)
// How a command-line run's work ended decides its exit code, and a failure is never silent.
void TestShared::runWorkGivesTheExitCode_data()
{
    QTest::addColumn<int>("ending");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("printed");
    // 0 done; 1 done, then the program ended; 2 ended before it was done; 3 a failure; 4 an
    // error; 5 a question nobody could answer.
    QTest::newRow("done") << 0 << 0 << QString();
    QTest::newRow("done, then ended") << 1 << 0 << QString();
    QTest::newRow("ended before done") << 2 << 1 << u"Lorvo: not done\n"_s;
    QTest::newRow("failure") << 3 << 1 << u"Lorvo: no such folder\n"_s;
    QTest::newRow("error") << 4 << 1 << u"Lorvo: Permission denied\n"_s;
    QTest::newRow("refused question") << 5 << 1 << QString();
}

void TestShared::runWorkGivesTheExitCode()
{
    QFETCH(int, ending);
    QFETCH(int, code);
    QFETCH(QString, printed);
    QString text;
    QTextStream err(&text);
    NoAnswerDialogs dialogs(err, u"Lorvo"_s);
    const int exitCode = runWork(err, u"Lorvo"_s, dialogs, u"not done"_s, [&](bool& done) {
        done = ending <= 1;
        if (ending == 1 || ending == 2)
            throw ProgramEnded{0};
        if (ending == 3)
            throw RunFailure{u"no such folder"_s};
        if (ending == 4)
            throw Error(err::PermissionDenied, u"Permission denied"_s);
        if (ending == 5)
            dialogs.inputBox(u"Name?"_s, u"Title"_s, {}, nullptr);
    });
    QCOMPARE(exitCode, code);
    if (ending == 5)
        QVERIFY2(text.contains(u"Name?"_s), qPrintable(text));
    else
        QCOMPARE(text, printed);

    // A wrong argument is the caller's: it knows the usage to print.
    QVERIFY_THROWS_EXCEPTION(UsageError, runWork(err, u"Lorvo"_s, dialogs, {},
                                                 [](bool&) { throw UsageError{u"--x"_s}; }));
}

#include "test_shared.moc"
