#include "setup/gui/setuppage.h"

#include "shared/gui/handler.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
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

Qt::CheckState checkState(int value)
{
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

int checkValue(int state)
{
    return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}

} // namespace

SetupPage::SetupPage(Page page, Wizard& wizard) : m_page(page), m_wizard(wizard)
{
    setObjectName(pageName(page));
    setWindowTitle(caption(page));
    setModal(false);
    build();
    refresh();
    connect(&m_wizard, &Wizard::changed, this, [this](Page changed) {
        if (changed == m_page)
            refresh();
    });
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

void SetupPage::wireForward(QPushButton* button)
{
    button->setDefault(true);
    m_next = button;
    connect(button, &QPushButton::clicked, this, [this, button] {
        handle(button->objectName() + u"_Click"_s, [this] { m_wizard.next(m_page); });
    });
}

void SetupPage::build()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    // The band across the top carries the product's name on every page.
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
    outer->addWidget(band);

    auto* bodyWidget = new QWidget(this);
    m_body = new QVBoxLayout(bodyWidget);
    m_body->setContentsMargins(20, 16, 20, 8);
    m_body->setSpacing(10);
    outer->addWidget(bodyWidget, 1);

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    outer->addWidget(line);
    m_buttons = new QHBoxLayout;
    m_buttons->setContentsMargins(20, 10, 20, 12);
    m_buttons->addStretch();
    outer->addLayout(m_buttons);

    const auto addPrevious = [this](bool enabled) {
        QPushButton* previous = addButton(u"cmdPrevious"_s, u"Previous"_s);
        previous->setEnabled(enabled);
        connect(previous, &QPushButton::clicked, this,
                [this] { handle(u"cmdPrevious_Click"_s, [this] { m_wizard.previous(m_page); }); });
    };
    const auto addExit = [this] {
        m_hasExit = true;
        QPushButton* exit = addButton(u"cmdCancel"_s, u"Exit"_s);
        connect(exit, &QPushButton::clicked, this,
                [this] { handle(u"cmdCancel_Click"_s, [this] { m_wizard.exit(m_page); }); });
    };

    switch (m_page) {
    case Page::Welcome:
        addHeading(u"Welcome to Lorvo for Outlook!"_s);
        addText(u"This program will install and configure Lorvo for Outlook. Before stepping "
                u"through the installation, please review the following requirements:"_s);
        addText(u"Microsoft Outlook (2000 or above)"_s)->setIndent(20);
        addWebLink();
        wireForward(addButton(u"cmdNext"_s, u"Next"_s));
        addExit();
        break;

    case Page::ChooseInstallation: {
        auto* frame = new QGroupBox(u"Select an installation type"_s, this);
        frame->setObjectName(u"fraInstallation"_s);
        auto* frameLayout = new QVBoxLayout(frame);
        auto* group = new QButtonGroup(this);
        const QStringList options = {u"New Lorvo"_s, u"Repair/Upgrade existing Lorvo"_s};
        for (int i = 0; i < options.size(); ++i) {
            auto* option = new QRadioButton(options[i], frame);
            option->setObjectName(u"optInstallation"_s);
            option->setProperty("index", i);
            group->addButton(option, i);
            frameLayout->addWidget(option);
            m_options.append(option);
        }
        connect(group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
            if (checked)
                m_wizard.setOptInstallation(id);
        });
        m_body->addWidget(frame);
        m_body->addStretch();
        addPrevious(true);
        wireForward(addButton(u"cmdNext"_s, u"Next"_s));
        addExit();
        break;
    }

    case Page::SelectFolder: {
        addText(u"Select a folder where all the required files will be placed. "_s);
        addText(u"We recommend selecting/creating a network shared folder such that all users "
                u"can have access to the files. You need to have read permission for this network "
                u"folder for all your users."_s);
        addText(u"Choose a folder for installation to continue."_s);
        auto* row = new QHBoxLayout;
        m_path = new PathEdit(this);
        m_path->setObjectName(u"txtPath"_s);
        row->addWidget(m_path, 1);
        auto* browse = new QPushButton(u"..."_s, this);
        browse->setObjectName(u"cmdBrowse"_s);
        browse->setAutoDefault(false);
        row->addWidget(browse);
        m_body->addLayout(row);
        connect(m_path, &QLineEdit::textChanged, this,
                [this](const QString& text) { m_wizard.txtPathChange(text); });
        connect(m_path, &PathEdit::focusLost, this, [this] { m_wizard.txtPathLostFocus(); });
        connect(browse, &QPushButton::clicked, this,
                [this] { handle(u"cmdBrowse_Click"_s, [this] { m_wizard.cmdBrowseClick(); }); });
        addWebLink();
        addPrevious(true);
        wireForward(addButton(u"cmdNext"_s, u"Next"_s));
        addExit();
        break;
    }

    case Page::StartCopy: {
        addText(u"Set-up has enough information to begin installation. Click the 'Next' button "
                u"to continue"_s);
        addText(u"Note: We recommend you to shut down Microsoft Outlook before you proceed."_s);
        addText(u"Select a language"_s)->setObjectName(u"lblLanguage"_s);
        m_languages = new QComboBox(this);
        m_languages->setObjectName(u"cboLanguage"_s);
        m_body->addWidget(m_languages);
        connect(m_languages, &QComboBox::currentIndexChanged, this,
                [this](int index) { m_wizard.setLanguageIndex(index); });
        addWebLink();
        addPrevious(true);
        wireForward(addButton(u"cmdInstall"_s, u"Next"_s));
        addExit();
        break;
    }

    case Page::Settings: {
        addHeading(u"Outlook needs to be configured."_s);
        addText(u"In the next step, you will be prompted to select/create an Outlook folder of "
                u"the \u201cMail and Post Items\u201d type. A folder homepage will be linked to "
                u"that Outlook folder."_s);
        addText(u"We recommend you to select/create the Outlook folder among the 'Public "
                u"Folders' so that all your users can access this application. Appropriate "
                u"permission for this folder has to be set for all your users."_s);
        auto* row = new QHBoxLayout;
        m_exampleData = new QCheckBox(this);
        m_exampleData->setObjectName(u"chkExampledata"_s);
        auto* label = new ClickLabel(u"Load some example data."_s, this);
        label->setObjectName(u"lblExampleData"_s);
        row->addWidget(m_exampleData);
        row->addWidget(label);
        row->addStretch();
        m_body->addLayout(row);
        connect(m_exampleData, &QCheckBox::stateChanged, this,
                [this](int state) { m_wizard.setChkExampledata(checkValue(state)); });
        connect(label, &ClickLabel::clicked, this, [this] { m_wizard.lblExampleDataClick(); });
        addWebLink();
        addPrevious(false);
        wireForward(addButton(u"cmdSetting"_s, u"Next"_s));
        addExit();
        break;
    }

    case Page::Finish:
        addHeading(u"Installation Complete"_s);
        addText(u"You have successfully completed the file extraction and the Outlook "
                u"configuration steps of the install process."_s);
        m_readMe = new QCheckBox(u"View Read Me file"_s, this);
        m_readMe->setObjectName(u"chkReadMe"_s);
        m_body->addWidget(m_readMe);
        connect(m_readMe, &QCheckBox::stateChanged, this,
                [this](int state) { m_wizard.setChkReadMe(checkValue(state)); });
        addWebLink();
        wireForward(addButton(u"cmdExit"_s, u"Finish"_s));
        break;

    case Page::Upgrade:
        addHeading(u"Select an existing Lorvo installation"_s);
        addText(u"To upgrade or repair, select an existing Outlook folder with Lorvo already "
                u"installed. Most likely you will find this folder among your Public Folders."_s);
        m_body->addStretch();
        addPrevious(true);
        wireForward(addButton(u"cmdNext"_s, u"Next"_s));
        addExit();
        break;

    case Page::FinishUpgrade:
        addHeading(u"Upgrade/repair successful"_s);
        addText(u"You have successfully completed upgrade/repair."_s);
        m_body->addStretch();
        wireForward(addButton(u"cmdExit"_s, u"Close"_s));
        break;
    }
    resize(540, 400);
}

void SetupPage::refresh()
{
    const PageValues& v = m_wizard.values();
    for (QRadioButton* option : std::as_const(m_options)) {
        const QSignalBlocker quiet(option);
        option->setChecked(option->property("index").toInt() == v.optInstallation);
    }
    if (m_path) {
        if (m_path->text() != v.txtPath) {
            const QSignalBlocker quiet(m_path);
            m_path->setText(v.txtPath);
        }
        m_next->setEnabled(v.cmdNextEnabled);
    }
    if (m_languages) {
        const QSignalBlocker quiet(m_languages);
        if (m_languages->count() != v.cboLanguage.size()) {
            m_languages->clear();
            m_languages->addItems(v.cboLanguage);
        }
        m_languages->setCurrentIndex(v.cboLanguageIndex);
    }
    if (m_exampleData) {
        const QSignalBlocker quiet(m_exampleData);
        m_exampleData->setCheckState(checkState(v.chkExampledata));
    }
    if (m_readMe) {
        const QSignalBlocker quiet(m_readMe);
        m_readMe->setCheckState(checkState(v.chkReadMe));
    }
    if (m_page == Page::StartCopy) {
        if (v.busy)
            setCursor(Qt::WaitCursor);
        else
            unsetCursor();
    }
}

void SetupPage::requestClose()
{
    if (m_hasExit)
        handle(u"cmdCancel_Click"_s, [this] { m_wizard.exit(m_page); });
    else if (m_next)
        m_next->click();
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
