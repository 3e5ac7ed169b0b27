// The setup's pages as a user meets them: found and clicked by objectName, with the dialogs
// answered from a script and every message read back.

#include "setup/gui/setupwindows.h"
#include "shared/outlooksession.h"
#include "tests/setup/setupfixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace lorvo;
using namespace lorvo::setup;
using namespace lorvo::setup::test;

namespace {

struct GuiHarness
{
    explicit GuiHarness(bool profile = false) : t(setupTitle(), profile) {}

    lorvo::test::TestRuntime t;
    SetupWindows windows{*t.rt};

    Wizard& wizard() { return windows.wizard(); }

    static QStringList visiblePages()
    {
        QStringList names;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->isVisible() && w->objectName().startsWith(u"frm"_s))
                names.append(w->objectName());
        }
        return names;
    }

    static QWidget* page(const QString& name)
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (w->objectName() == name)
                return w;
        }
        return nullptr;
    }

    template <class T> static T* control(const QString& pageName, const QString& name)
    {
        QWidget* p = page(pageName);
        return p ? p->findChild<T*>(name) : nullptr;
    }

    // Clicks a button of the one visible page; false when it is not there or not enabled.
    static bool click(const QString& pageName, const QString& button)
    {
        const QStringList visible = visiblePages();
        auto* b = control<QPushButton>(pageName, button);
        if (visible != QStringList{pageName} || !b || !b->isEnabled())
            return false;
        b->click();
        return true;
    }

    // Every text the page shows: labels, frames, options, check boxes and buttons.
    static QStringList texts(const QString& pageName)
    {
        QStringList all;
        QWidget* p = page(pageName);
        for (auto* l : p->findChildren<QLabel*>())
            all.append(l->text());
        for (auto* g : p->findChildren<QGroupBox*>())
            all.append(g->title());
        for (auto* b : p->findChildren<QAbstractButton*>())
            all.append(b->text());
        return all;
    }
};

#define EXPECT_PAGE(name) QCOMPARE(GuiHarness::visiblePages(), QStringList{name})

void checkPage(const QString& name, const QString& caption, const QStringList& expected)
{
    QWidget* p = GuiHarness::page(name);
    QVERIFY2(p, qPrintable(name));
    QCOMPARE(p->windowTitle(), caption);
    const QStringList shown = GuiHarness::texts(name);
    for (const QString& text : expected)
        QVERIFY2(shown.contains(text), qPrintable(name + u": "_s + text));
}

void checkButton(const QString& page, const QString& name, const QString& caption, bool isDefault)
{
    auto* b = GuiHarness::control<QPushButton>(page, name);
    QVERIFY2(b, qPrintable(page + u'.' + name));
    QCOMPARE(b->text(), caption);
    QCOMPARE(b->isDefault(), isDefault);
}

const QString kLink = u"For more info, visit"_s;

} // namespace

class SetupGuiTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newInstallationPath();
    void upgradePath();
    void finishOpensReadMeOnlyWhenTicked_data();
    void finishOpensReadMeOnlyWhenTicked();
    void lastPageClosesLikeItsButton();
    void pathBoxRules();
    void enterWithEmptyPathReachesTheInvalidMessage();
    void exitNoLeavesEverythingAsItWas();
    void exitYesRollsBackTheCreatedFolder();
    void webLinkOpensVendorAddress();
    void hourglassWhileWriting();
};

void SetupGuiTest::newInstallationPath()
{
    GuiHarness h(true);
    h.wizard().modMain().Main();

    EXPECT_PAGE(u"frmWelcome"_s);
    checkPage(u"frmWelcome"_s, u"Setup - Lorvo for Outlook"_s,
              {u"Welcome to Lorvo for Outlook!"_s,
               u"This program will install and configure Lorvo for Outlook. Before stepping "
               u"through the installation, please review the following requirements:"_s,
               u"Microsoft Outlook (2000 or above)"_s, kLink, vendorWebAddress()});
    checkButton(u"frmWelcome"_s, u"cmdNext"_s, u"Next"_s, true);
    checkButton(u"frmWelcome"_s, u"cmdCancel"_s, u"Exit"_s, false);
    QVERIFY(h.click(u"frmWelcome"_s, u"cmdNext"_s));

    EXPECT_PAGE(u"frmChooseInstallation"_s);
    checkPage(
        u"frmChooseInstallation"_s, u"Setup - Installation Type"_s,
        {u"Select an installation type"_s, u"New Lorvo"_s, u"Repair/Upgrade existing Lorvo"_s});
    checkButton(u"frmChooseInstallation"_s, u"cmdPrevious"_s, u"Previous"_s, false);
    const auto options =
        h.page(u"frmChooseInstallation"_s)->findChildren<QRadioButton*>(u"optInstallation"_s);
    QCOMPARE(options.size(), 2);
    QVERIFY(options[0]->isChecked());
    QVERIFY(h.click(u"frmChooseInstallation"_s, u"cmdNext"_s));

    EXPECT_PAGE(u"frmSelectFolder"_s);
    checkPage(u"frmSelectFolder"_s, u"Set-up - Select installation folder"_s,
              {u"Select a folder where all the required files will be placed. "_s,
               u"We recommend selecting/creating a network shared folder such that all users can "
               u"have access to the files. You need to have read permission for this network "
               u"folder for all your users."_s,
               u"Choose a folder for installation to continue."_s, kLink, u"..."_s});
    auto* path = h.control<QLineEdit>(u"frmSelectFolder"_s, u"txtPath"_s);
    QCOMPARE(path->text(), QDir::toNativeSeparators(h.t.platform.programDir + u"/Lorvo"_s));
    const QString folder = h.t.path(u"Lorvo KB"_s);
    path->setText(folder);
    QVERIFY(h.click(u"frmSelectFolder"_s, u"cmdPrevious"_s));
    EXPECT_PAGE(u"frmChooseInstallation"_s);
    QVERIFY(h.click(u"frmChooseInstallation"_s, u"cmdNext"_s));
    EXPECT_PAGE(u"frmSelectFolder"_s);
    QCOMPARE(path->text(), folder);
    QVERIFY(h.click(u"frmSelectFolder"_s, u"cmdNext"_s));

    EXPECT_PAGE(u"frmStartCopy"_s);
    checkPage(u"frmStartCopy"_s, u"Setup - Start copying"_s,
              {u"Set-up has enough information to begin installation. Click the 'Next' button to "
               u"continue"_s,
               u"Note: We recommend you to shut down Microsoft Outlook before you proceed."_s,
               u"Select a language"_s, kLink});
    checkButton(u"frmStartCopy"_s, u"cmdInstall"_s, u"Next"_s, true);
    auto* languages = h.control<QComboBox>(u"frmStartCopy"_s, u"cboLanguage"_s);
    QCOMPARE(languages->count(), 13);
    QCOMPARE(languages->currentText(), u"English "_s);
    languages->setCurrentIndex(6);
    QVERIFY(h.click(u"frmStartCopy"_s, u"cmdPrevious"_s));
    EXPECT_PAGE(u"frmSelectFolder"_s);
    QVERIFY(h.click(u"frmSelectFolder"_s, u"cmdNext"_s));
    QCOMPARE(languages->currentIndex(), 6);
    QVERIFY(h.click(u"frmStartCopy"_s, u"cmdInstall"_s));

    EXPECT_PAGE(u"frmSettings"_s);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 9);
    QVERIFY(h.t.dialogs.messages().isEmpty());
    checkPage(u"frmSettings"_s, u"Set-up - Apply settings to Outlook"_s,
              {u"Outlook needs to be configured."_s,
               u"In the next step, you will be prompted to select/create an Outlook folder of the "
               u"\u201cMail and Post Items\u201d type. A folder homepage will be linked to that "
               u"Outlook folder."_s,
               u"We recommend you to select/create the Outlook folder among the 'Public Folders' "
               u"so that all your users can access this application. Appropriate permission for "
               u"this folder has to be set for all your users."_s,
               u"Load some example data."_s, kLink});
    checkButton(u"frmSettings"_s, u"cmdSetting"_s, u"Next"_s, true);
    QVERIFY(!h.control<QPushButton>(u"frmSettings"_s, u"cmdPrevious"_s)->isEnabled());
    auto* example = h.control<QCheckBox>(u"frmSettings"_s, u"chkExampledata"_s);
    QVERIFY(!example->isChecked());
    QTest::mouseClick(h.control<QLabel>(u"frmSettings"_s, u"lblExampleData"_s), Qt::LeftButton);
    QVERIFY(example->isChecked());
    QCOMPARE(h.wizard().values().chkExampledata, 1);

    h.t.dialogs.answerPick(u"\\Public Folders\\All Public Folders"_s).answerInput(u"Helpdesk KB"_s);
    QVERIFY(h.click(u"frmSettings"_s, u"cmdSetting"_s));
    QVERIFY2(h.t.dialogs.unscripted.isEmpty(), qPrintable(h.t.dialogs.unscripted.join(u'|')));
    EXPECT_PAGE(u"frmFinish"_s);
    checkPage(u"frmFinish"_s, u"Set-up"_s,
              {u"Installation Complete"_s,
               u"You have successfully completed the file extraction and the Outlook "
               u"configuration steps of the install process."_s,
               u"View Read Me file"_s, kLink});
    checkButton(u"frmFinish"_s, u"cmdExit"_s, u"Finish"_s, true);
    QVERIFY(h.page(u"frmFinish"_s)->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    auto* readMe = h.control<QCheckBox>(u"frmFinish"_s, u"chkReadMe"_s);
    QVERIFY(readMe->isChecked());
    readMe->setChecked(false);
    QVERIFY(h.click(u"frmFinish"_s, u"cmdExit"_s));

    QVERIFY(h.t.end.ended);
    QVERIFY(h.t.shell.opened.isEmpty());
    auto app = h.t.outlook->GetRunning();
    QVERIFY(app);
    auto kb = lorvo::test::folderAtPath(*app->GetNamespace(u"MAPI"_s),
                                        u"\\Public Folders\\All Public Folders\\Helpdesk KB"_s);
    QVERIFY(kb);
    QVERIFY(kb->WebViewOn());
    QCOMPARE(kb->WebViewURL(), u"file:"_s + folder + QDir::separator() + u"OLorvo.htm"_s);
}

void SetupGuiTest::upgradePath()
{
    GuiHarness h(true);
    const QString installed = h.t.path(u"installed"_s);
    putFile(installed + u"/OLorvo.htm"_s, QByteArray(5000, 'x'));
    putFile(installed + u"/notes.txt"_s, "keep me");
    {
        auto app = h.t.outlook->Create(QString());
        QVERIFY(app);
        auto ns = app->GetNamespace(u"MAPI"_s);
        auto kb = ns->GetDefaultFolder(outlook::olFolderInbox)->Parent()->Folders()->Add(u"KB"_s);
        kb->SetWebViewURL(u"file:"_s + installed + u"/OLorvo.htm"_s);
        auto explorer = app->ActiveExplorer();
        if (!explorer)
            explorer = app->Explorers()->Add(kb, 0);
        explorer->SetCurrentFolder(kb);
    }

    h.wizard().modMain().Main();
    QVERIFY(h.click(u"frmWelcome"_s, u"cmdNext"_s));
    const auto options =
        h.page(u"frmChooseInstallation"_s)->findChildren<QRadioButton*>(u"optInstallation"_s);
    options[1]->click();
    QVERIFY(h.click(u"frmChooseInstallation"_s, u"cmdNext"_s));

    EXPECT_PAGE(u"frmUpgrade"_s);
    checkPage(u"frmUpgrade"_s, u"Set-up Upgrade/Repair"_s,
              {u"Select an existing Lorvo installation"_s,
               u"To upgrade or repair, select an existing Outlook folder with Lorvo already "
               u"installed. Most likely you will find this folder among your Public Folders."_s});
    QVERIFY(!GuiHarness::texts(u"frmUpgrade"_s).contains(kLink));
    QVERIFY(h.click(u"frmUpgrade"_s, u"cmdPrevious"_s));
    EXPECT_PAGE(u"frmChooseInstallation"_s);
    QVERIFY(options[1]->isChecked());
    QVERIFY(h.click(u"frmChooseInstallation"_s, u"cmdNext"_s));
    QVERIFY(h.click(u"frmUpgrade"_s, u"cmdNext"_s));

    QVERIFY2(h.t.dialogs.messages().isEmpty(), qPrintable(h.t.dialogs.messages().value(0).text));
    EXPECT_PAGE(u"frmFinishUpgrade"_s);
    checkPage(
        u"frmFinishUpgrade"_s, u"Setup - Finish"_s,
        {u"Upgrade/repair successful"_s, u"You have successfully completed upgrade/repair."_s});
    checkButton(u"frmFinishUpgrade"_s, u"cmdExit"_s, u"Close"_s, true);
    QVERIFY(h.page(u"frmFinishUpgrade"_s)->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    const QStringList sources = appFileSources();
    QCOMPARE(readAll(installed + u"/OLorvo.htm"_s), readAll(sources[1]));
    QCOMPARE(readAll(installed + u"/notes.txt"_s), QByteArray("keep me"));
    QCOMPARE(QDir(installed).entryList(QDir::Files).size(), 10);

    QVERIFY(h.click(u"frmFinishUpgrade"_s, u"cmdExit"_s));
    QVERIFY(h.t.end.ended);
    QVERIFY(h.t.shell.opened.isEmpty());
    auto app = h.t.outlook->GetRunning();
    auto kb = app->GetNamespace(u"MAPI"_s)
                  ->GetDefaultFolder(outlook::olFolderInbox)
                  ->Parent()
                  ->Folders()
                  ->Item(u"KB"_s);
    QVERIFY(kb->WebViewOn());
}

void SetupGuiTest::finishOpensReadMeOnlyWhenTicked_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::newRow("ticked") << true;
    QTest::newRow("cleared") << false;
}

void SetupGuiTest::finishOpensReadMeOnlyWhenTicked()
{
    QFETCH(bool, ticked);
    GuiHarness h;
    h.wizard().modMain().state.gstrInstallPath = u"/srv/share/Lorvo/"_s;
    h.wizard().showPage(Page::Finish);
    h.control<QCheckBox>(u"frmFinish"_s, u"chkReadMe"_s)->setChecked(ticked);
    QVERIFY(h.click(u"frmFinish"_s, u"cmdExit"_s));
    QVERIFY(h.t.end.ended);
    if (ticked)
        QCOMPARE(h.t.shell.opened,
                 QStringList{u"/srv/share/Lorvo"_s + QDir::separator() + u"ReadMe.txt"_s});
    else
        QVERIFY(h.t.shell.opened.isEmpty());
}

void SetupGuiTest::lastPageClosesLikeItsButton()
{
    GuiHarness h;
    h.wizard().showPage(Page::FinishUpgrade);
    QTest::keyClick(h.page(u"frmFinishUpgrade"_s), Qt::Key_Escape);
    EXPECT_PAGE(u"frmFinishUpgrade"_s);
    QVERIFY(!h.t.end.ended);
    h.page(u"frmFinishUpgrade"_s)->close();
    QVERIFY(h.t.end.ended);
    QVERIFY(h.t.dialogs.requests.isEmpty());
}

void SetupGuiTest::pathBoxRules()
{
    GuiHarness h;
    h.wizard().showPage(Page::SelectFolder);
    QWidget* page = h.page(u"frmSelectFolder"_s);
    QApplication::setActiveWindow(page);
    QVERIFY(QTest::qWaitForWindowActive(page));
    auto* path = h.control<QLineEdit>(u"frmSelectFolder"_s, u"txtPath"_s);
    auto* next = h.control<QPushButton>(u"frmSelectFolder"_s, u"cmdNext"_s);
    auto* browse = h.control<QPushButton>(u"frmSelectFolder"_s, u"cmdBrowse"_s);

    // Getting the focus puts the caret at the end without selecting anything.
    path->setFocus(Qt::TabFocusReason);
    QVERIFY(path->hasFocus());
    QVERIFY(path->selectedText().isEmpty());
    QCOMPARE(path->cursorPosition(), int(path->text().size()));

    // Blanks while typing leave Next on; leaving the box turns it off.
    path->clear();
    QTest::keyClicks(path, u"   "_s);
    QVERIFY(next->isEnabled());
    browse->setFocus(Qt::TabFocusReason);
    QVERIFY(!next->isEnabled());

    // One character turns it on at once.
    path->setFocus(Qt::TabFocusReason);
    path->clear();
    QVERIFY(!next->isEnabled());
    QTest::keyClicks(path, u"a"_s);
    QVERIFY(next->isEnabled());

    // Cancelling the browser leaves the text.
    path->setText(u"/some/where"_s);
    h.t.dialogs.answerBrowse(QString());
    browse->click();
    QCOMPARE(path->text(), u"/some/where"_s);
    const QString chosen = h.t.path(u"chosen"_s);
    h.t.dialogs.answerBrowse(chosen);
    browse->click();
    QCOMPARE(path->text(), chosen);
}

void SetupGuiTest::enterWithEmptyPathReachesTheInvalidMessage()
{
    GuiHarness h;
    h.wizard().showPage(Page::SelectFolder);
    QWidget* page = h.page(u"frmSelectFolder"_s);
    QApplication::setActiveWindow(page);
    QVERIFY(QTest::qWaitForWindowActive(page));
    auto* path = h.control<QLineEdit>(u"frmSelectFolder"_s, u"txtPath"_s);
    path->setFocus(Qt::TabFocusReason);
    path->clear();
    QTest::keyClick(path, Qt::Key_Return);

    EXPECT_PAGE(u"frmStartCopy"_s);
    QCOMPARE(h.wizard().modMain().state.gstrInstallPath, QString());
    const auto before = QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    QVERIFY(h.click(u"frmStartCopy"_s, u"cmdInstall"_s));

    EXPECT_PAGE(u"frmSelectFolder"_s);
    QCOMPARE(h.t.dialogs.messages().size(), 1);
    QCOMPARE(h.t.dialogs.messages()[0].text, invalidFolderText());
    QCOMPARE(path->text(), QString());
    QCOMPARE(QDir::current().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    QVERIFY(!h.t.end.ended);
}

void SetupGuiTest::exitNoLeavesEverythingAsItWas()
{
    GuiHarness h;
    h.wizard().modMain().Main();
    const QList<std::pair<QString, QString>> steps = {
        {u"frmWelcome"_s, u"cmdNext"_s},
        {u"frmChooseInstallation"_s, u"cmdNext"_s},
        {u"frmSelectFolder"_s, u"cmdNext"_s},
        {u"frmStartCopy"_s, QString()},
    };
    const QString typed = h.t.path(u"typed"_s);
    for (const auto& [name, forward] : steps) {
        if (name == u"frmSelectFolder"_s)
            h.control<QLineEdit>(name, u"txtPath"_s)->setText(typed);
        h.t.dialogs.answer(Answer::No);
        QVERIFY(h.click(name, u"cmdCancel"_s));
        EXPECT_PAGE(name);
        // Escape asks the same question.
        h.t.dialogs.answer(Answer::No);
        QTest::keyClick(h.page(name), Qt::Key_Escape);
        EXPECT_PAGE(name);
        // So does the window's close button.
        h.t.dialogs.answer(Answer::No);
        QVERIFY(!h.page(name)->close());
        EXPECT_PAGE(name);
        if (!forward.isEmpty())
            QVERIFY(h.click(name, forward));
    }
    QCOMPARE(h.t.dialogs.messages().size(), 12);
    for (const auto& m : h.t.dialogs.messages()) {
        QCOMPARE(m.text, u"Are you sure you want to exit the installation?"_s);
        QCOMPARE(m.title, u"Exit Installation"_s);
    }
    QVERIFY(!h.t.end.ended);
    QCOMPARE(h.wizard().values().txtPath, typed);
    QCOMPARE(h.wizard().modMain().state.gstrInstallPath, typed);
    QCOMPARE(h.control<QComboBox>(u"frmStartCopy"_s, u"cboLanguage"_s)->currentIndex(), 2);
    QVERIFY(!QFileInfo::exists(typed));
}

void SetupGuiTest::exitYesRollsBackTheCreatedFolder()
{
    GuiHarness h;
    const QString folder = h.t.path(u"new"_s);
    h.wizard().showPage(Page::SelectFolder);
    h.control<QLineEdit>(u"frmSelectFolder"_s, u"txtPath"_s)->setText(folder);
    QVERIFY(h.click(u"frmSelectFolder"_s, u"cmdNext"_s));
    QVERIFY(h.click(u"frmStartCopy"_s, u"cmdInstall"_s));
    EXPECT_PAGE(u"frmSettings"_s);
    QVERIFY(QFileInfo(folder).isDir());

    h.t.dialogs.answer(Answer::Yes);
    QVERIFY(h.click(u"frmSettings"_s, u"cmdCancel"_s));
    QVERIFY(h.t.end.ended);
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(h.t.dialogs.unscripted.isEmpty());
}

void SetupGuiTest::webLinkOpensVendorAddress()
{
    GuiHarness h;
    for (Page p :
         {Page::Welcome, Page::SelectFolder, Page::StartCopy, Page::Settings, Page::Finish}) {
        h.wizard().showPage(p);
        auto* link = h.control<QLabel>(pageName(p), u"lblTervane"_s);
        QVERIFY2(link, qPrintable(pageName(p)));
        QCOMPARE(link->text(), vendorWebAddress());
        QTest::mouseClick(link, Qt::LeftButton);
        h.wizard().hidePage(p);
    }
    QCOMPARE(h.t.shell.opened, QStringList(5, vendorWebAddress()));
    for (Page p : {Page::ChooseInstallation, Page::Upgrade, Page::FinishUpgrade}) {
        h.wizard().showPage(p);
        QVERIFY(!h.control<QLabel>(pageName(p), u"lblTervane"_s));
    }
}

void SetupGuiTest::hourglassWhileWriting()
{
    GuiHarness h;
    h.wizard().showPage(Page::SelectFolder);
    h.control<QLineEdit>(u"frmSelectFolder"_s, u"txtPath"_s)->setText(h.t.path(u"x"_s));
    QVERIFY(h.click(u"frmSelectFolder"_s, u"cmdNext"_s));
    QWidget* page = h.page(u"frmStartCopy"_s);
    QList<Qt::CursorShape> shapes;
    QObject::connect(&h.wizard(), &Wizard::changed, page, [&](Page p) {
        if (p == Page::StartCopy)
            shapes.append(page->cursor().shape());
    });
    // A second click waiting in the queue runs while the files are written, and is ignored.
    auto* install = h.control<QPushButton>(u"frmStartCopy"_s, u"cmdInstall"_s);
    QMetaObject::invokeMethod(install, &QPushButton::click, Qt::QueuedConnection);
    QVERIFY(h.click(u"frmStartCopy"_s, u"cmdInstall"_s));
    QCOMPARE(shapes, (QList<Qt::CursorShape>{Qt::WaitCursor, Qt::ArrowCursor}));
    EXPECT_PAGE(u"frmSettings"_s);
    QVERIFY(h.t.dialogs.requests.isEmpty());
}

QTEST_MAIN(SetupGuiTest)
#include "test_setup_gui.moc"
