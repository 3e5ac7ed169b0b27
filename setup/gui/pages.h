#pragma once

// The eight pages of the setup wizard, one class each, named after their windows (frmWelcome is
// FrmWelcome). Controls carry their names as objectName.

#include "setup/gui/setuppage.h"

#include <memory>

class QCheckBox;
class QComboBox;
class QRadioButton;

namespace lorvo::setup {

/// The page's window, showing the wizard's values.
std::unique_ptr<SetupPage> makePage(Page page, Wizard& wizard);

class FrmWelcome final : public SetupPage
{
    Q_OBJECT
public:
    explicit FrmWelcome(Wizard& wizard);
};

class FrmChooseInstallation final : public SetupPage
{
    Q_OBJECT
public:
    explicit FrmChooseInstallation(Wizard& wizard);
    void refresh() override;

private:
    QList<QRadioButton*> m_options; // optInstallation, by their property "index"
};

class FrmSelectFolder final : public SetupPage
{
    Q_OBJECT
public:
    explicit FrmSelectFolder(Wizard& wizard);
    void refresh() override;

private:
    PathEdit* m_path = nullptr;
    QPushButton* m_next = nullptr;
};

class FrmStartCopy final : public SetupPage
{
    Q_OBJECT
public:
    explicit FrmStartCopy(Wizard& wizard);
    void refresh() override;

private:
    QComboBox* m_languages = nullptr;
};

class FrmSettings final : public SetupPage
{
    Q_OBJECT
public:
    explicit FrmSettings(Wizard& wizard);
    void refresh() override;

private:
    QCheckBox* m_exampleData = nullptr;
};

class FrmFinish final : public SetupPage
{
    Q_OBJECT
public:
    explicit FrmFinish(Wizard& wizard);
    void refresh() override;

private:
    QCheckBox* m_readMe = nullptr;
};

class FrmUpgrade final : public SetupPage
{
    Q_OBJECT
public:
    explicit FrmUpgrade(Wizard& wizard);
};

class FrmFinishUpgrade final : public SetupPage
{
    Q_OBJECT
public:
    explicit FrmFinishUpgrade(Wizard& wizard);
};

} // namespace lorvo::setup
