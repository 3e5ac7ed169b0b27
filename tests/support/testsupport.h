#pragma once

// Doubles and fixtures shared by the test executables.

#include "shared/dialogs.h"
#include "shared/filesystem.h"
#include "shared/platform.h"
#include "shared/runtime.h"
#include "shared/shell.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace lorvo::test {

// The whole content of the file at path; empty when it cannot be read.
QByteArray readAll(const QString& path);

// One request the program made of the dialogs service.
struct Recorded
{
    enum Kind { Message, Input, Browse, Pick } kind = Message;
    QString text;  // message text, input prompt, browser title
    QString title; // message or input title
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    QString defaultText; // input box default; browser start folder
};

// Answers every dialog from a script, in order, and records every request. A request that the
// script does not answer is recorded in unscripted() and gets Cancel/No/empty/null.
class ScriptedDialogs final : public Dialogs
{
public:
    // Next message box returns this answer.
    ScriptedDialogs& answer(Answer a);
    // Next input box returns this text ("" is Cancel).
    ScriptedDialogs& answerInput(const QString& text);
    // Next folder browser returns this path ("" is Cancel).
    ScriptedDialogs& answerBrowse(const QString& path);
    // Next folder browser: the user types a name that does not exist while currentFolder is
    // selected; the browser's typed-name handler runs, then the browser returns whatever the
    // handler selected (or "" when it closed the dialog, or the current folder if kept open).
    ScriptedDialogs& answerBrowseTyped(const QString& currentFolder, const QString& typedName);
    // Next Outlook folder picker returns the folder at this full path ("\\Store\A\B"); "" is
    // Cancel.
    ScriptedDialogs& answerPick(const QString& fullFolderPath);

    Answer messageBox(const MessageBoxRequest& request) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                     QObject* owner) override;
    QString browseForFolder(const FolderBrowseRequest& request) override;
    outlook::FolderPtr pickOutlookFolder(outlook::NameSpace& nameSpace, QObject* owner) override;

    QList<Recorded> requests;         // every request, in order
    QList<Recorded> messages() const; // the message boxes only
    QStringList unscripted;           // texts of requests the script did not answer
    int pendingAnswers() const { return int(m_script.size()); }

private:
    struct Step
    {
        Recorded::Kind kind;
        Answer answer = Answer::Cancel;
        QString text;
        QString extra;
    };
    std::optional<Step> take(Recorded::Kind kind, const QString& what);
    std::deque<Step> m_script;
};

// The folder at a full path ("\\Store\A\B") in a namespace, or null.
outlook::FolderPtr folderAtPath(outlook::NameSpace& nameSpace, const QString& fullPath);

// Records what the program asked the shell to do.
class RecordingShell final : public Shell
{
public:
    int open(const QString& pathOrAddress, WindowStyle style) override;
    void run(const QString& commandLine, WindowStyle style) override;
    QString browserCommand() override { return browser; }
    bool available() override { return shellAvailable; }

    QStringList opened; // documents and addresses, in order
    QStringList ran;    // command lines, in order
    QString browser = QStringLiteral("\"/usr/bin/browser\" --new-window \"%1\"");
    int openResult = 42;
    std::optional<Error> runError; // raised by run() when set
    bool shellAvailable = true;    // false: no shell can be had
};

// A platform with fixed answers.
class TestPlatform final : public Platform
{
public:
    OsVersion osVersion() override { return os; }
    QString specialFolderPath(qint32 id, qint32 flags) override;
    QString programFolder() override { return programDir; }
    int versionMajor() override { return 1; }
    int versionMinor() override { return 2; }
    int versionRevision() override { return 3; }

    OsVersion os{2, 5, 1, {}};
    QString documentsDir;
    QString programDir;
};

// Records the end of the program instead of ending the process.
class TestProgramEnd final : public ProgramEnd
{
public:
    void endProgram(int exitCode) override;
    bool hasEnded() const override { return ended; }
    bool ended = false;
    int exitCode = -1;
    std::function<void()> onEnd; // e.g. to close the windows under test
};

// The real file system, with failures injected for paths below given prefixes.
class FaultyFileSystem final : public FileSystem
{
public:
    // Writes, creations and deletions at or below prefix raise this error number.
    void failBelow(const QString& prefix, qint32 number);

    bool folderExists(const QString& path) override;
    bool fileExists(const QString& path) override;
    void createFolder(const QString& path) override;
    void writeFile(const QString& path, const QByteArray& bytes,
                   const QDateTime& modified = {}) override;
    QByteArray readFile(const QString& path) override;
    void deleteFile(const QString& path, bool force) override;
    void deleteFolder(const QString& path, bool force) override;
    std::unique_ptr<TextSink> createTextFile(const QString& path) override;
    void setModificationTime(const QString& path, const QDateTime& time) override;

private:
    void check(const QString& path);
    QList<std::pair<QString, qint32>> m_faults;
    LocalFileSystem m_real;
};

// A whole runtime in a temporary folder: doubles for every service and a local Outlook profile
// in dir/profile (LORVO_OUTLOOK_PROFILE points there too). Settings files go below dir.
class TestRuntime
{
public:
    explicit TestRuntime(const QString& programTitle = QStringLiteral("LorvoArchive"),
                         bool createProfile = true);
    ~TestRuntime();

    QString path(const QString& relative) const; // a path inside the temporary folder

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    FaultyFileSystem fs;
    TestPlatform platform;
    TestProgramEnd end;
    QString profileDir;
    std::unique_ptr<outlook::Provider> outlook;
    std::unique_ptr<Runtime> rt;

private:
    // Environment variables pointed into dir, with their earlier values, restored at the end.
    QList<std::pair<QByteArray, std::optional<QByteArray>>> m_savedEnvironment;
};

} // namespace lorvo::test
