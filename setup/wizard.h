#pragma once

// The wizard's driver: the values its eight pages show and the handlers of their buttons. The
// windows (setup/gui) display these values and forward every event here; tests drive the same
// handlers without a display.

#include "setup/modmain.h"
#include "shared/browse.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <set>

namespace lorvo::setup {

// The values of the pages' controls that the steps read or that must survive a page change.
struct PageValues
{
    int optInstallation = 0; // frmChooseInstallation: 0 new installation, 1 upgrade or repair
    QString txtPath;         // frmSelectFolder
    bool cmdNextEnabled = true;
    QStringList cboLanguage; // frmStartCopy
    int cboLanguageIndex = -1;
    bool busy = false;      // frmStartCopy shows the hourglass while files are written
    int chkExampledata = 0; // frmSettings
    int chkReadMe = 1;      // frmFinish
};

// The object name of a page's window ("frmWelcome").
QString pageName(Page page);

class Wizard : public QObject, public PageNavigator
{
    Q_OBJECT
public:
    // view: the windows, or a stand-in; every page shown or hidden goes through the wizard, which
    // gives a page its first-load values before the view shows it.
    Wizard(Runtime& rt, PageNavigator& view);

    ModMain& modMain() { return m_main; }
    Runtime& runtime() { return m_rt; }
    const PageValues& values() const { return m_values; }
    bool isLoaded(Page page) const { return m_loaded.count(page) > 0; }

    // PageNavigator
    void showPage(Page page) override;
    void hidePage(Page page) override;
    QObject* pageWindow(Page page) override;
    void processEvents() override;

    // Events of the pages. Each may end the program (lorvo::ProgramEnded).
    /// Next, Install, Setting: the page's forward button.
    void next(Page page);
    /// Previous.
    void previous(Page page);
    /// Exit (cmdCancel), or closing a page that has one.
    void exit(Page page);
    /// Finish on frmFinish, Close on frmFinishUpgrade (cmdExit).
    void finish(Page page);
    /// lblTervane.
    void openVendorAddress();

    void setOptInstallation(int index);
    void txtPathChange(const QString& text);
    void txtPathLostFocus();
    void cmdBrowseClick();
    void setLanguageIndex(int index);
    void setChkExampledata(int value);
    void lblExampleDataClick();
    void setChkReadMe(int value);

Q_SIGNALS:
    /// A page's values changed from the logic side; the window shows them again.
    void changed(lorvo::setup::Page page);

private:
    void load(Page page);
    void go(Page from, Page to);
    void finishInstallation();
    void finishUpgrade();

    Runtime& m_rt;
    PageNavigator& m_view;
    ModMain m_main;
    PageValues m_values;
    FolderBrowser m_browser;
    std::set<Page> m_loaded;
};

} // namespace lorvo::setup
