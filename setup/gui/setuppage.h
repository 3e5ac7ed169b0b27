#pragma once

// What the setup wizard's pages share: a window of its own with the product's band across the
// top, the page's text and controls below it and its buttons at the bottom. Each page (pages.h)
// shows the wizard's values and forwards every event to it.

#include "setup/wizard.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <functional>

class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace lorvo::setup {

// A label that reacts to a click (the web link, the example-data caption).
class ClickLabel : public QLabel
{
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The path box: the caret goes to the end when it gets the focus, and it tells when it loses it.
class PathEdit : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void focusLost();

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};

class SetupPage : public QDialog
{
    Q_OBJECT
public:
    Page page() const { return m_page; }
    /// Shows the wizard's values again.
    virtual void refresh() {}

protected:
    SetupPage(Page page, Wizard& wizard);

    Wizard& wizard() { return m_wizard; }
    /// The layout of the page's text and controls.
    QVBoxLayout* body() { return m_body; }
    // Runs a handler of this page; nothing it throws reaches the event loop.
    void handle(const QString& control, const std::function<void()>& body);

    QLabel* addText(const QString& text);
    void addHeading(const QString& text);
    /// "For more info, visit" and the vendor's address (lblTervane), at the bottom of the text.
    void addWebLink();
    /// Previous, enabled or not.
    void addPrevious(bool enabled);
    /// The page's forward button (Next, Install, Setting, Finish, Close): the default button.
    QPushButton* addForward(const QString& name, const QString& caption);
    /// Exit (cmdCancel): asks whether to leave; so do Escape and the window's close button.
    void addExit();

    // Escape and the window's close button: the Exit question where the page has Exit; the close
    // button of a last page finishes as its Finish or Close button does.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addBand();
    QPushButton* addButton(const QString& name, const QString& caption);
    void requestClose();

    Page m_page;
    Wizard& m_wizard;
    QVBoxLayout* m_outer = nullptr;
    QVBoxLayout* m_body = nullptr;
    QHBoxLayout* m_buttons = nullptr;
    QPushButton* m_forward = nullptr;
    bool m_hasExit = false;
};

} // namespace lorvo::setup
