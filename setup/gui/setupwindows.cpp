#include "setup/gui/setupwindows.h"

#include "setup/gui/pages.h"
#include "shared/gui/topmost.h"

#include <QCoreApplication>

namespace lorvo::setup {

SetupWindows::SetupWindows(Runtime& rt) : m_wizard(rt, *this) {}

SetupWindows::~SetupWindows() = default;

QWidget* SetupWindows::page(Page page)
{
    auto& window = m_pages[page];
    if (!window) {
        window = makePage(page, m_wizard);
        // The last pages stay above Outlook, which the setup has just brought to the front.
        if (page == Page::Finish || page == Page::FinishUpgrade)
            MakeTopMost(window.get());
    }
    return window.get();
}

QWidget* SetupWindows::loadedPage(Page page) const
{
    const auto it = m_pages.find(page);
    return it == m_pages.end() ? nullptr : it->second.get();
}

void SetupWindows::showPage(Page which)
{
    QWidget* window = page(which);
    window->show();
    window->raise();
    window->activateWindow();
}

void SetupWindows::hidePage(Page which)
{
    if (QWidget* window = loadedPage(which))
        window->hide();
}

QObject* SetupWindows::pageWindow(Page which)
{
    return page(which);
}

void SetupWindows::processEvents()
{
    QCoreApplication::processEvents();
}

} // namespace lorvo::setup
