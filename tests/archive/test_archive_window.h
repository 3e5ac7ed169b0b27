#pragma once

// Tests of LorvoArchive's window: settings, image conversion, the category and type lists, and
// frmMain itself (offscreen). Each test builds its own Archive in a temporary folder.

#include "archive/collection.h"
#include "archive/generation.h"
#include "archive/imaging_qt.h"
#include "archive/mainwindowlogic.h"
#include "archive/settings.h"
#include "tests/support/testsupport.h"

#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

namespace lorvo::archive::test {

// One item of the test's knowledge-base folder; a field left empty is not set at all.
struct TestItem
{
    std::optional<QString> category;
    std::optional<QString> type;
    QString messageClass = QStringLiteral("IPM.Post.HelpdeskKBArticle");
};

// The user's settings through QSettings, with every write recorded in order.
class RecordingSettings final : public SettingsBackend
{
public:
    Status read(const QString& application, const QString& section, const QString& key,
                std::optional<QVariant>& value) override;
    Status write(const QString& application, const QString& section, const QString& key,
                 const QString& value) override;

    QSettingsBackend real;
    QStringList written; // "key=value", in order
};

// A generator that records its runs and lets the test act in the middle of one (where the real
// generators yield to the window).
class RecordingGenerator final : public ArticleGenerator
{
public:
    void generate(GenerationHost& host) override;

    int runs = 0;
    GenerationOptions options;
    std::function<void(GenerationHost&)> during;
};

// An imaging library that is not installed.
class MissingImaging final : public ImageCodec
{
public:
    bool startup() override { return false; }
    void shutdown() override {}
    QList<QByteArray> encoderMimeTypes() override { return {}; }
    bool save(const QString&, const QString&, const QByteArray&, int) override { return false; }
};

// The archive program's logic over a temporary profile and settings file.
class Archive
{
public:
    explicit Archive(ImageCodec* codec = nullptr);

    /// Stores a value as an earlier run would have left it (not recorded in store.written).
    void storeSetting(const QString& key, const QVariant& value);
    /// The value in the user's settings file, or an invalid variant.
    QVariant storedSetting(const QString& key);
    /// A folder "Knowledge Base" with these items (home page as given) in a new store, attached
    /// to the profile and shown in Outlook's window.
    void showFolder(const QList<TestItem>& items,
                    const QString& homePage = QStringLiteral("file:///srv/kb/OLorvo.htm"));
    /// Runs a step that may end the program; returns whether it did.
    bool ends(const std::function<void()>& step);

    lorvo::test::TestRuntime t;
    RecordingSettings store;
    Settings settings{store};
    QtImageCodec qtCodec;
    ImageCodec& codec;
    ArticleCollection collection{*t.rt};
    RecordingGenerator flat;
    RecordingGenerator outline;
    MainWindowLogic logic{*t.rt, settings, codec, collection, &flat, &outline};
};

// The ten stored values written by a default first run, in order.
QStringList defaultWrites();

class TestArchiveWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Settings (test_archive_window.cpp)
    void settingsStoreErrors();
    void firstStartDefaults();
    void restoresStoredValues();
    void groupNoneRestoresOutlineDisabled();
    void badStoredValuesFallBackToDefaults();
    void storedTextEndsAtItsTerminatingNull();
    void unreadableSettingsFile();
    void savesValuesInOrder();
    void missingImagingEndsWithoutStoring();

    // Images (test_archive_window.cpp)
    void bitmapBecomesJpeg();
    void encoderLookup();
    void conversionFailureLeavesNoFile();

    // Lists (test_archive_window_lists.cpp)
    void listEntriesTrimmedUniqueSorted();
    void fillsBothListsIndependently();
    void noCategoriesForcesFlatGrouping();
    void emptyFolderDisablesGenerate();
    void picksFolderWhenNotKnowledgeBase();
    void declinedPickEndsProgram();
    void unreadableFolder();
    void selectAllBoxes();
    void manyItems();

    // Window logic and frmMain (test_archive_window_gui.cpp)
    void enablingRules();
    void generateCancelToggle();
    void exitCancelsAndSaves();
    void leftOutArticlesNamedInOneMessage();
    void browseDestination();
    void webLinkOpensVendorPage();
    void windowControlsAndDesignState();
    void windowShowsLoadedState();
    void numberBoxTakesDigitsOnly();
    void cancelButtonShowsGenerateAtOnce();
    void closingWindowSavesSettings();
};

} // namespace lorvo::archive::test
