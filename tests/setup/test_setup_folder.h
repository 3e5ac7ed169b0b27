#pragma once

// The knowledge-base folder in Outlook: its creation, the upgrade or repair of an existing one and
// the unattended command line, against a temporary local Outlook profile.

#include "setup/wizard.h"
#include "tests/setup/setupfixture.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace lorvo::setup::test {

// A setup run without windows in a temporary profile, with template stores of known content.
class FolderFixture
{
public:
    FolderFixture();

    lorvo::test::TestRuntime tr{setupTitle()};
    PageRecorder view;
    Wizard wizard{*tr.rt, view};
    ModMain& modMain = wizard.modMain();
    lorvo::test::ScriptedDialogs& dialogs = tr.dialogs;
    QString installPath; // native, with its trailing separator

    /// Runs work; true when it ended the program.
    static bool ends(const std::function<void()>& work);
    /// The profile as another program sees it: a new connection to the same profile.
    outlook::ApplicationPtr fresh();
    outlook::NameSpacePtr freshNameSpace();
    /// The session's namespace, connecting first.
    outlook::NameSpacePtr nameSpace();
    /// Writes both template stores into the installation folder.
    [[nodiscard]] bool putTemplates();

    // The example articles of the filled template store.
    static QStringList exampleSubjects();

private:
    std::unique_ptr<outlook::Provider> m_freshProvider;
    outlook::ApplicationPtr m_fresh;
};

/// Builds a store file with lorvo-store from a JSON manifest; false (with a warning) when it
/// cannot.
[[nodiscard]] bool buildStore(const QString& manifestJson, const QString& path);
/// A template store: top "LorvoFilled", a first folder, the template post folder second.
[[nodiscard]] bool buildTemplateStore(const QString& path, const QStringList& subjects);
/// The names of the top folders of every attached store.
QStringList storeNames(outlook::NameSpace& ns);
/// The subjects of a folder's items, in order.
QStringList subjectsOf(const outlook::FolderPtr& folder);
/// The names of a folder's subfolders, in order.
QStringList subfolderNames(const outlook::FolderPtr& folder);
/// The folder at a full path, or null.
outlook::FolderPtr at(const outlook::NameSpacePtr& ns, const QString& fullPath);
/// The full path of the public folder tree's folder for all users.
inline QString allPublic()
{
    return QStringLiteral("\\\\Public Folders\\All Public Folders");
}

} // namespace lorvo::setup::test

class TestSetupFolder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Creating the folder (test_setup_folder.cpp).
    void newInstallationWithExampleData();
    void newInstallationWithoutExampleData();
    void realTemplateStores();
    void cancelledPicker_data();
    void cancelledPicker();
    void emptyName_data();
    void emptyName();
    void nameOfBlanksIsAccepted();
    void nameWithBackslashAsksAgain();
    void nameDifferingInCaseIsNew();
    void overwriteQuestion_data();
    void overwriteQuestion();
    void parentRefusingSubfolders_data();
    void parentRefusingSubfolders();
    void existingFolderOfTemplateNameIsNotTaken();
    void staleTemplateStoreIsLeftAlone();
    void missingTemplateFile();
    void homePageCheck();
    void homePageThatCannotBeSet();

    // Upgrade and repair (test_setup_folder_upgrade.cpp).
    void fileNameOf_data();
    void fileNameOf();
    void folderFromHomepage_data();
    void folderFromHomepage();
    void repairOfShownFolderAsksNothing();
    void refusedFoldersReopenPicker();
    void exitQuestionYesWritesNothing();
    void homePageInCapitals();
    void installationFolderThatCannotBeWritten();

    // The unattended command line (test_setup_folder_unattended.cpp).
    void commandLineModeIsRecognised_data();
    void commandLineModeIsRecognised();
    void unattendedDialogsAnswerFromCommandLine();
    void wrongArguments_data();
    void wrongArguments();
    void unattendedInstallAndRepair();
    void unattendedWithoutExampleData();
    void unattendedWrongParent();
    void unattendedParentRefusingSubfolders();
    void unattendedRepairOfNonKnowledgeBaseFolder();
};
