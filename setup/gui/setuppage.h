#pragma once

// One page of the setup wizard: a window of its own that shows the wizard's values and forwards
// every event to it.

#include "setup/wizard.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QPushButton;
class QRadioButton;
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
    SetupPage(Page page, Wizard& wizard);

    Page page() const { return m_page; }

protected:
    // Escape and the window's close button: the Exit question where the page has Exit; the close
    // button of a last page finishes as its Finish or Close button does.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void refresh();
    // Runs a handler of this page; nothing it throws reaches the event loop.
    void handle(const QString& control, const std::function<void()>& body);
    QPushButton* addButton(const QString& name, const QString& caption);
    QLabel* addText(const QString& text);
    void addHeading(const QString& text);
    void addWebLink();
    void wireForward(QPushButton* button);
    void requestClose();

    Page m_page;
    Wizard& m_wizard;
    QVBoxLayout* m_body = nullptr;
    QHBoxLayout* m_buttons = nullptr;
    QList<QRadioButton*> m_options;
    PathEdit* m_path = nullptr;
    QPushButton* m_next = nullptr;
    QComboBox* m_languages = nullptr;
    QCheckBox* m_exampleData = nullptr;
    QCheckBox* m_readMe = nullptr;
    bool m_hasExit = false;
};

} // namespace lorvo::setup
