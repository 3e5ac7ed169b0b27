#pragma once

// The wizard's windows: one window per page, created when the page is first needed and kept until
// the program ends, so that a page shown again keeps what the user left in it.

#include "setup/wizard.h"

#include <map>
#include <memory>

class QWidget;

namespace lorvo::setup {

class SetupPage;

class SetupWindows final : public PageNavigator
{
public:
    explicit SetupWindows(Runtime& rt);
    ~SetupWindows() override;

    Wizard& wizard() { return m_wizard; }
    /// The page's window, created on first use.
    QWidget* page(Page page);
    /// The page's window when it has been created, else null.
    QWidget* loadedPage(Page page) const;

    // PageNavigator
    void showPage(Page page) override;
    void hidePage(Page page) override;
    QObject* pageWindow(Page page) override;
    void processEvents() override;

private:
    Wizard m_wizard;
    std::map<Page, std::unique_ptr<SetupPage>> m_pages;
};

} // namespace lorvo::setup
