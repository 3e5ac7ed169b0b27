#pragma once

// The setup's work procedures (modMain): writing the application files, creating the
// knowledge-base folder in Outlook, upgrading or repairing an existing one. The wizard's pages
// call them from their Next buttons; the unattended command line calls the same code.

#include "shared/runtime.h"

#include <QString>
#include <QStringList>

class QObject;

namespace lorvo::setup {

// The wizard's pages, as the work procedures see them.
enum class Page {
    Welcome,
    ChooseInstallation,
    SelectFolder,
    StartCopy,
    Settings,
    Finish,
    Upgrade,
    FinishUpgrade,
};

class PageNavigator
{
public:
    virtual ~PageNavigator() = default;
    /// Shows a page (loading it on first use).
    virtual void showPage(Page page) = 0;
    /// Hides a page.
    virtual void hidePage(Page page) = 0;
    /// The page's window, as owner of dialogs (null without windows).
    virtual QObject* pageWindow(Page page) = 0;
    /// Lets pending window events run once.
    virtual void processEvents() = 0;
};

// Wizard state shared by the pages and the work procedures.
struct WizardState
{
    QString gstrInstallPath;
    QString gstrTemplateFile;
    QStringList gstrAppFiles;
    // The installation folder this run created (empty when it existed), for the rollback.
    QString createdInstallFolder;
};

class ModMain
{
public:
    ModMain(Runtime& rt, PageNavigator& pages) : m_rt(rt), m_pages(pages) {}

    WizardState state;

    // Entry and exit (setup/wizard.cpp, setup/install.cpp).
    /// The program's entry: shows frmWelcome; the program then lives in its pages.
    void Main();
    /// Asks whether to exit; Yes rolls back and ends the program, No returns.
    void subConfirmExit(QObject* owner = nullptr);

    // Application files (setup/install.cpp).
    /// Writes the nine application files into path; false when the user was sent back to choose
    /// another folder. Appends the trailing separator to path.
    bool subInstall(QString& path);
    /// Fills gstrAppFiles with the nine file names in order.
    void subLoadFileList();
    /// Rolls back the folder this run created (state.createdInstallFolder), then ends the program.
    [[noreturn]] void subCancelInstallation();

    // Knowledge-base folder (setup/kbfolder.cpp).
    /// Creates the knowledge-base folder; ends the program when none was created.
    void subSettings(bool exampleData);
    void subInstallLanguagetoOutlook();
    bool fncCheckHomepage(const QString& address);
    /// Why a name cannot be the new folder's (a backslash in it), or empty when it can.
    static QString folderNameProblem(const QString& name);
    /// Brings goCurrentFolder into view in the active explorer of its Outlook.
    void bringCurrentFolderIntoView();

    // Upgrade and repair (setup/upgrade.cpp).
    void subUpgradeRepair();
    void subPickExistingFolder();
    static QString fncFolderFromHomepage(const QString& address);
    static QString fncFileNameOf(const QString& path);

    Runtime& runtime() { return m_rt; }
    PageNavigator& pages() { return m_pages; }

private:
    Runtime& m_rt;
    PageNavigator& m_pages;
};

} // namespace lorvo::setup
