#pragma once

// frmMain, the one window of LorvoArchive: shows the state of MainWindowLogic and forwards every
// event to it. Controls carry their names as objectName; the two option pairs share their name
// ("optGroup", "optNaming") and tell their position by the property "index".

#include "archive/mainwindowlogic.h"

#include <QWidget>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace lorvo::archive {

class FrmMain final : public QWidget, public MainView
{
    Q_OBJECT
public:
    explicit FrmMain(MainWindowLogic& logic, QWidget* parent = nullptr);
    ~FrmMain() override;

    /// The load handler: start-up before the window is shown. False when the program ended.
    bool load();

    // MainView
    void render() override;
    void processEvents() override;
    QObject* window() override { return this; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void handle(const QString& procedure, const std::function<void()>& body);
    void buildControls();
    void buildDestination(QVBoxLayout* root);
    QWidget* buildLists();
    QWidget* buildTocFrame();
    QWidget* buildNamingFrame();
    QWidget* buildOtherSettings();
    QWidget* buildBottomStrip();
    QCheckBox* makeCheck(Check check, const QString& name, const QString& text);
    QListWidget* makeList(ListId id, const QString& name);
    void makeOptions(std::array<QRadioButton*, 2>& options, const QString& name,
                     const std::array<QString, 2>& captions, void (MainWindowLogic::*click)(int));
    void renderLists();
    void renderList(QListWidget* widget, const ArticleList& list);
    QCheckBox* checkBox(Check check) const { return m_checks[std::size_t(check)]; }

    MainWindowLogic& m_logic;
    std::array<QCheckBox*, kCheckCount> m_checks{};
    std::array<QRadioButton*, 2> m_group{};
    std::array<QRadioButton*, 2> m_naming{};
    QLineEdit* m_destination = nullptr;
    QLineEdit* m_numbering = nullptr;
    QLineEdit* m_sitemapBase = nullptr;
    QListWidget* m_categories = nullptr;
    QListWidget* m_types = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_generate = nullptr;
    QLabel* m_webLink = nullptr;
    int m_renderedLists = -1;
    bool m_rendering = false;
    bool m_busyCursor = false;
};

} // namespace lorvo::archive
