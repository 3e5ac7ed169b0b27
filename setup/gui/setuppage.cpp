#include "setup/gui/setuppage.h"

#include "shared/gui/handler.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace lorvo::setup {

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void PathEdit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    // Tabbing in would select everything; the user continues typing at the end instead.
    deselect();
    setCursorPosition(int(text().size()));
}

void PathEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    Q_EMIT focusLost();
}

namespace {

QString caption(Page page)
{
    switch (page) {
    case Page::Welcome:
        return u"Setup - Lorvo for Outlook"_s;
    case Page::ChooseInstallation:
        return u"Setup - Installation Type"_s;
    case Page::SelectFolder:
        return u"Set-up - Select installation folder"_s;
    case Page::StartCopy:
        return u"Setup - Start copying"_s;
    case Page::Settings:
        return u"Set-up - Apply settings to Outlook"_s;
    case Page::Finish:
        return u"Set-up"_s;
    case Page::Upgrade:
        return u"Set-up Upgrade/Repair"_s;
    case Page::FinishUpgrade:
        return u"Setup - Finish"_s;
    }
    return {};
}

} // namespace

SetupPage::SetupPage(Page page, Wizard& wizard) : m_page(page), m_wizard(wizard)
{
    setObjectName(pageName(page));
    setWindowTitle(caption(page));
    setModal(false);
    m_outer = new QVBoxLayout(this);
    m_outer->setContentsMargins(0, 0, 0, 0);
    m_outer->setSpacing(0);
    addBand();

    auto* bodyWidget = new QWidget(this);
    m_body = new QVBoxLayout(bodyWidget);
    m_body->setContentsMargins(20, 16, 20, 8);
    m_body->setSpacing(10);
    m_outer->addWidget(bodyWidget, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    m_outer->addWidget(line);
    m_buttons = new QHBoxLayout;
    m_buttons->setContentsMargins(20, 10, 20, 12);
    m_buttons->addStretch();
    m_outer->addLayout(m_buttons);
    resize(540, 400);

    connect(&m_wizard, &Wizard::changed, this, [this](Page changed) {
        if (changed == m_page)
            refresh();
    });
}

// The band across the top carries the product's name on every page.
void SetupPage::addBand()
{
    auto* band = new QFrame(this);
    band->setAutoFillBackground(true);
    QPalette bandPalette = band->palette();
    bandPalette.setColor(QPalette::Window, QColor(0x1f, 0x4e, 0x79));
    bandPalette.setColor(QPalette::WindowText, Qt::white);
    band->setPalette(bandPalette);
    auto* bandLayout = new QHBoxLayout(band);
    auto* product = new QLabel(productTitle(), band);
    QFont productFont = product->font();
    productFont.setBold(true);
    productFont.setPointSizeF(productFont.pointSizeF() * 1.5);
    product->setFont(productFont);
    bandLayout->addWidget(product);
    m_outer->addWidget(band);
}

void SetupPage::handle(const QString& control, const std::function<void()>& body)
{
    runHandler(m_wizard.runtime(), objectName() + u'.' + control, body);
}

QLabel* SetupPage::addText(const QString& text)
{
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    m_body->addWidget(label);
    return label;
}

void SetupPage::addHeading(const QString& text)
{
    QLabel* label = addText(text);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    label->setFont(font);
}

void SetupPage::addWebLink()
{
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(u"For more info, visit"_s, this));
    auto* link = new ClickLabel(vendorWebAddress(), this);
    link->setObjectName(u"lblTervane"_s);
    link->setTextFormat(Qt::PlainText);
    link->setCursor(Qt::PointingHandCursor);
    QFont font = link->font();
    font.setUnderline(true);
    link->setFont(font);
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
    link->setPalette(palette);
    connect(link, &ClickLabel::clicked, this,
            [this] { handle(u"lblTervane_Click"_s, [this] { m_wizard.openVendorAddress(); }); });
    row->addWidget(link);
    row->addStretch();
    m_body->addStretch();
    m_body->addLayout(row);
}

QPushButton* SetupPage::addButton(const QString& name, const QString& text)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    m_buttons->addWidget(button);
    return button;
}

void SetupPage::addPrevious(bool enabled)
{
    QPushButton* previous = addButton(u"cmdPrevious"_s, u"Previous"_s);
    previous->setEnabled(enabled);
    connect(previous, &QPushButton::clicked, this,
            [this] { handle(u"cmdPrevious_Click"_s, [this] { m_wizard.previous(m_page); }); });
}

QPushButton* SetupPage::addForward(const QString& name, const QString& caption)
{
    QPushButton* button = addButton(name, caption);
    button->setDefault(true);
    m_forward = button;
    connect(button, &QPushButton::clicked, this,
            [this, name] { handle(name + u"_Click"_s, [this] { m_wizard.next(m_page); }); });
    return button;
}

void SetupPage::addExit()
{
    m_hasExit = true;
    QPushButton* exit = addButton(u"cmdCancel"_s, u"Exit"_s);
    connect(exit, &QPushButton::clicked, this,
            [this] { handle(u"cmdCancel_Click"_s, [this] { m_wizard.exit(m_page); }); });
}

void SetupPage::requestClose()
{
    if (m_hasExit)
        handle(u"cmdCancel_Click"_s, [this] { m_wizard.exit(m_page); });
    else if (m_forward)
        m_forward->click();
}

void SetupPage::reject()
{
    // Escape on the last pages does nothing: Finish and Close are the ways out there.
    if (m_hasExit)
        requestClose();
}

void SetupPage::closeEvent(QCloseEvent* event)
{
    // When the program ends every window closes without a question.
    if (m_wizard.runtime().programEnd().hasEnded()) {
        event->accept();
        return;
    }
    event->ignore();
    requestClose();
}

} // namespace lorvo::setup
