#include "setup/gui/pages.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace lorvo::setup {

namespace {

Qt::CheckState checkState(int value)
{
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

int checkValue(int state)
{
    return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}

// A check box shows a value without telling the wizard it changed.
void showCheck(QCheckBox* box, int value)
{
    const QSignalBlocker quiet(box);
    box->setCheckState(checkState(value));
}

} // namespace

std::unique_ptr<SetupPage> makePage(Page page, Wizard& wizard)
{
    std::unique_ptr<SetupPage> window;
    switch (page) {
    case Page::Welcome:
        window = std::make_unique<FrmWelcome>(wizard);
        break;
    case Page::ChooseInstallation:
        window = std::make_unique<FrmChooseInstallation>(wizard);
        break;
    case Page::SelectFolder:
        window = std::make_unique<FrmSelectFolder>(wizard);
        break;
    case Page::StartCopy:
        window = std::make_unique<FrmStartCopy>(wizard);
        break;
    case Page::Settings:
        window = std::make_unique<FrmSettings>(wizard);
        break;
    case Page::Finish:
        window = std::make_unique<FrmFinish>(wizard);
        break;
    case Page::Upgrade:
        window = std::make_unique<FrmUpgrade>(wizard);
        break;
    case Page::FinishUpgrade:
        window = std::make_unique<FrmFinishUpgrade>(wizard);
        break;
    }
    window->refresh();
    return window;
}

FrmWelcome::FrmWelcome(Wizard& driver) : SetupPage(Page::Welcome, driver)
{
    addHeading(u"Welcome to Lorvo for Outlook!"_s);
    addText(u"This program will install and configure Lorvo for Outlook. Before stepping "
            u"through the installation, please review the following requirements:"_s);
    addText(u"Microsoft Outlook (2000 or above)"_s)->setIndent(20);
    addWebLink();
    addForward(u"cmdNext"_s, u"Next"_s);
    addExit();
}

FrmChooseInstallation::FrmChooseInstallation(Wizard& driver)
    : SetupPage(Page::ChooseInstallation, driver)
{
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
            wizard().setOptInstallation(id);
    });
    body()->addWidget(frame);
    body()->addStretch();
    addPrevious(true);
    addForward(u"cmdNext"_s, u"Next"_s);
    addExit();
}

void FrmChooseInstallation::refresh()
{
    for (QRadioButton* option : std::as_const(m_options)) {
        const QSignalBlocker quiet(option);
        option->setChecked(option->property("index").toInt() == wizard().values().optInstallation);
    }
}

FrmSelectFolder::FrmSelectFolder(Wizard& driver) : SetupPage(Page::SelectFolder, driver)
{
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
    body()->addLayout(row);
    connect(m_path, &QLineEdit::textChanged, this,
            [this](const QString& text) { wizard().txtPathChange(text); });
    connect(m_path, &PathEdit::focusLost, this, [this] { wizard().txtPathLostFocus(); });
    connect(browse, &QPushButton::clicked, this,
            [this] { handle(u"cmdBrowse_Click"_s, [this] { wizard().cmdBrowseClick(); }); });
    addWebLink();
    addPrevious(true);
    m_next = addForward(u"cmdNext"_s, u"Next"_s);
    addExit();
}

void FrmSelectFolder::refresh()
{
    const PageValues& v = wizard().values();
    if (m_path->text() != v.txtPath) {
        const QSignalBlocker quiet(m_path);
        m_path->setText(v.txtPath);
    }
    m_next->setEnabled(v.cmdNextEnabled);
}

FrmStartCopy::FrmStartCopy(Wizard& driver) : SetupPage(Page::StartCopy, driver)
{
    addText(u"Set-up has enough information to begin installation. Click the 'Next' button "
            u"to continue"_s);
    addText(u"Note: We recommend you to shut down Microsoft Outlook before you proceed."_s);
    addText(u"Select a language"_s)->setObjectName(u"lblLanguage"_s);
    m_languages = new QComboBox(this);
    m_languages->setObjectName(u"cboLanguage"_s);
    body()->addWidget(m_languages);
    connect(m_languages, &QComboBox::currentIndexChanged, this,
            [this](int index) { wizard().setLanguageIndex(index); });
    addWebLink();
    addPrevious(true);
    addForward(u"cmdInstall"_s, u"Next"_s);
    addExit();
}

void FrmStartCopy::refresh()
{
    const PageValues& v = wizard().values();
    {
        const QSignalBlocker quiet(m_languages);
        if (m_languages->count() != v.cboLanguage.size()) {
            m_languages->clear();
            m_languages->addItems(v.cboLanguage);
        }
        m_languages->setCurrentIndex(v.cboLanguageIndex);
    }
    // The hourglass while the files are written.
    if (v.busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

FrmSettings::FrmSettings(Wizard& driver) : SetupPage(Page::Settings, driver)
{
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
    body()->addLayout(row);
    connect(m_exampleData, &QCheckBox::stateChanged, this,
            [this](int state) { wizard().setChkExampledata(checkValue(state)); });
    connect(label, &ClickLabel::clicked, this, [this] { wizard().lblExampleDataClick(); });
    addWebLink();
    addPrevious(false);
    addForward(u"cmdSetting"_s, u"Next"_s);
    addExit();
}

void FrmSettings::refresh()
{
    showCheck(m_exampleData, wizard().values().chkExampledata);
}

FrmFinish::FrmFinish(Wizard& driver) : SetupPage(Page::Finish, driver)
{
    addHeading(u"Installation Complete"_s);
    addText(u"You have successfully completed the file extraction and the Outlook "
            u"configuration steps of the install process."_s);
    m_readMe = new QCheckBox(u"View Read Me file"_s, this);
    m_readMe->setObjectName(u"chkReadMe"_s);
    body()->addWidget(m_readMe);
    connect(m_readMe, &QCheckBox::stateChanged, this,
            [this](int state) { wizard().setChkReadMe(checkValue(state)); });
    addWebLink();
    addForward(u"cmdExit"_s, u"Finish"_s);
}

void FrmFinish::refresh()
{
    showCheck(m_readMe, wizard().values().chkReadMe);
}

FrmUpgrade::FrmUpgrade(Wizard& driver) : SetupPage(Page::Upgrade, driver)
{
    addHeading(u"Select an existing Lorvo installation"_s);
    addText(u"To upgrade or repair, select an existing Outlook folder with Lorvo already "
            u"installed. Most likely you will find this folder among your Public Folders."_s);
    body()->addStretch();
    addPrevious(true);
    addForward(u"cmdNext"_s, u"Next"_s);
    addExit();
}

FrmFinishUpgrade::FrmFinishUpgrade(Wizard& driver) : SetupPage(Page::FinishUpgrade, driver)
{
    addHeading(u"Upgrade/repair successful"_s);
    addText(u"You have successfully completed upgrade/repair."_s);
    body()->addStretch();
    addForward(u"cmdExit"_s, u"Close"_s);
}

} // namespace lorvo::setup
