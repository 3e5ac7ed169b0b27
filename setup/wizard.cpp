#include "setup/wizard.h"

#include "shared/error.h"
#include "shared/filehandling.h"
#include "shared/outlooksession.h"

#include <QCoreApplication>
#include <QDir>
#include <QScopeGuard>

using namespace Qt::StringLiterals;

namespace lorvo::setup {

QString pageName(Page page)
{
    switch (page) {
    case Page::Welcome:
        return u"frmWelcome"_s;
    case Page::ChooseInstallation:
        return u"frmChooseInstallation"_s;
    case Page::SelectFolder:
        return u"frmSelectFolder"_s;
    case Page::StartCopy:
        return u"frmStartCopy"_s;
    case Page::Settings:
        return u"frmSettings"_s;
    case Page::Finish:
        return u"frmFinish"_s;
    case Page::Upgrade:
        return u"frmUpgrade"_s;
    case Page::FinishUpgrade:
        return u"frmFinishUpgrade"_s;
    }
    return {};
}

void ModMain::Main()
{
    Trap t(m_rt, u"modMain.Main"_s);
    t.run([&] {
        // main() gave the application the system's look before the first window.
        t.step(10, u"Loading XP styles"_s);
        t.at(20);
        m_pages.showPage(Page::Welcome);
    });
}

Wizard::Wizard(Runtime& rt, PageNavigator& view)
    : m_rt(rt), m_view(view), m_main(rt, *this), m_browser(rt)
{
}

void Wizard::load(Page page)
{
    if (!m_loaded.insert(page).second)
        return;
    switch (page) {
    case Page::SelectFolder: {
        QString path = QDir::toNativeSeparators(m_rt.platform().programFolder());
        const QString trimmed = path.trimmed();
        if (!trimmed.endsWith(QDir::separator()) && !trimmed.endsWith(u'/'))
            path += QDir::separator();
        m_values.txtPath = path + u"Lorvo"_s;
        m_values.cmdNextEnabled = true;
        break;
    }
    case Page::StartCopy:
        m_values.cboLanguage = {u"Danish "_s,  u"Dutch "_s,     u"English "_s,    u"Estonian "_s,
                                u"Finnish "_s, u"French "_s,    u"German "_s,     u"Greek "_s,
                                u"Italian "_s, u"Norwegian "_s, u"Portuguese "_s, u"Spanish "_s,
                                u"Swedish "_s};
        m_values.cboLanguageIndex = 2;
        break;
    case Page::ChooseInstallation:
        m_values.optInstallation = 0;
        break;
    case Page::Settings:
        m_values.chkExampledata = 0;
        break;
    case Page::Finish:
        m_values.chkReadMe = 1;
        break;
    case Page::Welcome:
    case Page::Upgrade:
    case Page::FinishUpgrade:
        break;
    }
}

void Wizard::showPage(Page page)
{
    load(page);
    m_view.showPage(page);
}

void Wizard::hidePage(Page page)
{
    m_view.hidePage(page);
}

QObject* Wizard::pageWindow(Page page)
{
    load(page);
    return m_view.pageWindow(page);
}

void Wizard::processEvents()
{
    m_view.processEvents();
}

void Wizard::go(Page from, Page to)
{
    hidePage(from);
    showPage(to);
}

void Wizard::next(Page page)
{
    switch (page) {
    case Page::Welcome:
        go(page, Page::ChooseInstallation);
        break;
    case Page::ChooseInstallation:
        go(page, m_values.optInstallation == 0 ? Page::SelectFolder : Page::Upgrade);
        break;
    case Page::SelectFolder:
        // Taken as typed: the folder is tested when the files are written.
        m_main.state.gstrInstallPath = m_values.txtPath;
        go(page, Page::StartCopy);
        break;
    case Page::StartCopy: {
        // The window events let through before the copying may hold a second click on Next.
        if (m_values.busy)
            break;
        m_values.busy = true;
        Q_EMIT changed(page);
        const auto idle = qScopeGuard([&] {
            m_values.busy = false;
            Q_EMIT changed(page);
        });
        if (m_main.subInstall(m_main.state.gstrInstallPath))
            go(page, Page::Settings);
        break;
    }
    case Page::Settings:
        m_main.subSettings(m_values.chkExampledata == 1);
        go(page, Page::Finish);
        break;
    case Page::Upgrade:
        m_main.subUpgradeRepair();
        go(page, Page::FinishUpgrade);
        break;
    case Page::Finish:
    case Page::FinishUpgrade:
        finish(page);
        break;
    }
}

void Wizard::previous(Page page)
{
    switch (page) {
    case Page::ChooseInstallation:
        go(page, Page::Welcome);
        break;
    case Page::SelectFolder:
        go(page, Page::ChooseInstallation);
        break;
    case Page::StartCopy:
        go(page, Page::SelectFolder);
        break;
    case Page::Upgrade:
        go(page, Page::ChooseInstallation);
        break;
    case Page::Welcome:
    case Page::Settings: // the folder is being created in Outlook: there is no way back
    case Page::Finish:
    case Page::FinishUpgrade:
        break;
    }
}

void Wizard::exit(Page page)
{
    m_main.subConfirmExit(pageWindow(page));
}

void Wizard::finish(Page page)
{
    if (page == Page::Finish)
        finishInstallation();
    else if (page == Page::FinishUpgrade)
        finishUpgrade();
}

void Wizard::finishInstallation()
{
    Trap t(m_rt, u"frmFinish.cmdExit_Click"_s);
    t.run([&] {
        t.step(10, u"Finishing Installation"_s);
        OutlookSession& session = m_rt.session();
        if (session.goCurrentFolder) {
            t.at(20);
            session.goCurrentFolder->SetWebViewOn(true);
            t.at(30);
            ignoreErrors([&] { m_main.bringCurrentFolderIntoView(); });
            session.goCurrentFolder.reset();
        }
        t.at(40);
        if (m_values.chkReadMe == 1) {
            BrowserHelpers browser(m_rt);
            browser.OpenDoc(fncClearEndSlash(m_main.state.gstrInstallPath) + QDir::separator() +
                            u"ReadMe.txt"_s);
        }
        t.at(50);
        session.subEndApplication();
    });
}

void Wizard::finishUpgrade()
{
    Trap t(m_rt, u"frmFinishUpgrade.cmdExit_Click"_s);
    t.run([&] {
        t.step(10, u"Finishing Upgrading"_s);
        OutlookSession& session = m_rt.session();
        if (session.goCurrentFolder) {
            t.at(20);
            session.goCurrentFolder->SetWebViewOn(true);
            t.at(30);
            m_main.bringCurrentFolderIntoView();
            session.goCurrentFolder.reset();
        }
        t.at(40);
        session.subEndApplication();
    });
}

void Wizard::openVendorAddress()
{
    BrowserHelpers browser(m_rt);
    browser.subOpenUrl(vendorWebAddress(), false);
}

void Wizard::setOptInstallation(int index)
{
    m_values.optInstallation = index;
}

void Wizard::txtPathChange(const QString& text)
{
    m_values.txtPath = text;
    // Typing never disables Next; only leaving an empty box does.
    if (!text.trimmed().isEmpty() && !m_values.cmdNextEnabled) {
        m_values.cmdNextEnabled = true;
        Q_EMIT changed(Page::SelectFolder);
    }
}

void Wizard::txtPathLostFocus()
{
    const bool enabled = !m_values.txtPath.trimmed().isEmpty();
    if (enabled != m_values.cmdNextEnabled) {
        m_values.cmdNextEnabled = enabled;
        Q_EMIT changed(Page::SelectFolder);
    }
}

void Wizard::cmdBrowseClick()
{
    m_browser.startFolder = m_values.txtPath;
    const QString chosen = m_browser.Folder_Browse(
        pageWindow(Page::SelectFolder),
        u"Please select a valid folder to install. We recommend a network shared folder."_s, 68);
    if (chosen.trimmed().isEmpty())
        return;
    m_values.txtPath = chosen;
    m_values.cmdNextEnabled = true;
    m_browser.startFolder.clear();
    m_browser.root.clear();
    m_browser.displayName.clear();
    Q_EMIT changed(Page::SelectFolder);
}

void Wizard::setLanguageIndex(int index)
{
    m_values.cboLanguageIndex = index;
}

void Wizard::setChkExampledata(int value)
{
    m_values.chkExampledata = value;
}

void Wizard::lblExampleDataClick()
{
    m_values.chkExampledata = m_values.chkExampledata == 1 ? 0 : 1;
    Q_EMIT changed(Page::Settings);
}

void Wizard::setChkReadMe(int value)
{
    m_values.chkReadMe = value;
}

} // namespace lorvo::setup
