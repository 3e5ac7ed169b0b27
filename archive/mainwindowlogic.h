#pragma once

// What frmMain does, without widgets: the state its controls show, start-up and closing, the
// stored settings, the enabling rules, the Generate/Cancel toggle and the host interface the
// generators work against. The window shows the state and forwards every event here.

#include "archive/collection.h"
#include "archive/generation.h"

#include <QString>
#include <array>
#include <functional>

class QObject;

namespace lorvo {
class Runtime;
}

namespace lorvo::archive {

class ArticleGenerator;
class ImageCodec;
class Settings;

// The window's check boxes.
enum class Check {
    ExtractIndexPage,  // chkExtractIndexPage
    Overwrite,         // chkOverwrite
    Run,               // chkRun
    Attachments,       // chkAttachments
    Collapse,          // chkCollapse
    CollapseInitially, // chkCollapseInitially
    SelectAllCategory, // chkSelectAllCategory
    SelectAllType,     // chkSelectAllType
    Search,            // chkSearch
};
inline constexpr int kCheckCount = 9;

// The start number of the page numbering as its box takes it: one to five digits.
bool isStartNumber(const QString& text);

enum class ListId { Category, Type };

struct CheckBoxState
{
    int value = 0; // 0 clear, 1 checked, 2 grey
    bool enabled = true;
};

// Everything the window's controls show. It starts in the window's design state.
struct MainState
{
    QString caption = QStringLiteral("Archive");
    QString destination;                        // txtDestination
    int naming = 0;                             // optNaming
    QString numbering = QStringLiteral("1000"); // txtNumbering
    int group = 0;                              // optGroup
    std::array<bool, 2> groupEnabled{true, true};
    // Design state: only chkExtractIndexPage (the first) is checked.
    std::array<CheckBoxState, kCheckCount> checks{CheckBoxState{1, true}};
    QString generateCaption = kGenerateCaption;
    bool generateEnabled = true; // false when the folder holds nothing to generate
    bool stopping = false;       // a cancelled run is still finishing: Generate waits for it
    bool progressVisible = false;
    int progressMaximum = 0;
    int progressValue = 0;
    int listsRevision = 0; // counts changes of the lists' entries and selections
    QString sitemapBase;   // txtSitemapBase

    const CheckBoxState& check(Check c) const { return checks[std::size_t(c)]; }
    CheckBoxState& check(Check c) { return checks[std::size_t(c)]; }
};

// The window as the logic sees it.
class MainView
{
public:
    virtual ~MainView() = default;
    /// Shows the logic's current state (the lists only when their revision changed).
    virtual void render() = 0;
    /// Lets pending window events run.
    virtual void processEvents() = 0;
    /// The window, as owner of questions and pickers.
    virtual QObject* window() = 0;
};

// The setting names, in the order they are stored: the classic ten, then the search page and
// the sitemap.
inline constexpr std::array<const char*, 12> kSettingNames{
    "DestinationFolder", "iNamingScheme",
    "iNumbering",        "GenerateTOC",
    "OverwriteFiles",    "RunTOC",
    "optGroup",          "chkAttachments",
    "chkCollapse",       "chkCollapseInitially",
    "chkSearch",         "SitemapBase"};

class MainWindowLogic final : public GenerationHost
{
public:
    /// collection: the knowledge-base folder and lists, shared with the generators. flat and
    /// outline may be null while a generator is not available; Generate then does nothing.
    MainWindowLogic(Runtime& rt, Settings& settings, ImageCodec& codec,
                    ArticleCollection& collection, ArticleGenerator* flat,
                    ArticleGenerator* outline);

    void setView(MainView* view) { m_view = view; }
    const MainState& state() const { return m_state; }
    const ArticleCollection& collection() const { return m_collection; }
    Runtime& runtime() { return m_rt; }

    // Window events. Each may end the program by throwing ProgramEnded.
    /// Start-up: imaging check, settings, lists.
    void formLoad();
    /// The window closes: stores the settings (when they were loaded) and ends the program.
    void formUnload();
    void cmdGenerateClick();
    void cmdExitClick();
    void cmdBrowseDestinationClick();
    void lblWebLinkClick();
    /// A user's click on a check box that now shows value.
    void checkClick(Check check, int value);
    void optGroupClick(int index);
    void optNamingClick(int index);
    void destinationEdited(const QString& text);
    void numberingEdited(const QString& text);
    void sitemapBaseEdited(const QString& text);
    void listSelectionChanged(ListId list, int row, bool selected);

    /// Applies the caption and restores the settings.
    void subSetCaptions();
    /// Stores the settings.
    void subSaveCaptions();
    /// Finds the knowledge-base folder and fills the lists.
    void subPopulateLists();

    bool settingsLoaded() const { return m_settingsLoaded; }
    bool running() const { return m_running; }

    // GenerationHost
    GenerationOptions options() override;
    QList<ListEntry> categories() override;
    QList<ListEntry> types() override;
    void processEvents() override;
    bool cancelRequested() override { return m_cancel; }
    void clearCancel() override { m_cancel = false; }
    void setGenerateCaption(const QString& caption) override;
    void beginProgress(int maximum) override;
    void setProgress(int value) override;
    void endProgress() override;
    QObject* ownerWindow() override;
    /// One message box names the articles; onLeftOut, when set, is told instead.
    void reportLeftOut(const QList<LeftOutArticle>& articles) override;

    /// Where the articles a run left out go instead of the message box (the command line).
    std::function<void(const QList<LeftOutArticle>&)> onLeftOut;

private:
    /// Sets a check box; when its value changes, its click handler runs as a user's click would.
    void setCheck(Check check, int value);
    void runCheckHandler(Check check);
    QString readSetting(const QString& key, const QString& defaultValue);
    ArticleList& list(ListId id);
    void render();

    Runtime& m_rt;
    Settings& m_settings;
    ImageCodec& m_codec;
    ArticleGenerator* m_flat;
    ArticleGenerator* m_outline;
    ArticleCollection& m_collection;
    MainView* m_view = nullptr;
    MainState m_state;
    bool m_cancel = false; // blnCancel
    bool m_running = false;
    bool m_codecStarted = false;
    bool m_settingsLoaded = false;
    bool m_unloaded = false;
};

} // namespace lorvo::archive
