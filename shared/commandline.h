#pragma once

// The services of a program run from a command line, where nobody watches: no question can be
// answered and nothing is opened on a desktop. LorvoSetup --unattended and LorvoArchive --generate
// build their runtime from these.

#include "shared/dialogs.h"
#include "shared/platform.h"
#include "shared/shell.h"

#include <QString>
#include <functional>
#include <memory>

class QTextStream;

namespace lorvo {

// Builds the Outlook of a run once its dialogs and shell exist (main() knows which Outlook).
using OutlookFactory =
    std::function<std::unique_ptr<outlook::Provider>(Dialogs& dialogs, Shell& shell)>;

// A wrong argument: the run prints it with a pointer to the usage and ends with exit code 2.
struct UsageError
{
    QString message;
};

// A run that cannot do what it was asked: it prints the message and ends with exit code 1.
struct RunFailure
{
    QString message;
};

// Answers nothing: every request prints its whole text on err and ends the run (throws
// ProgramEnded, which unwinds through every procedure on the way). A program that can answer some
// requests from its arguments overrides those.
class NoAnswerDialogs : public Dialogs
{
public:
    /// program: the name that starts every line on err ("LorvoSetup").
    NoAnswerDialogs(QTextStream& err, QString program);

    Answer messageBox(const MessageBoxRequest& request) override;
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                     QObject* owner) override;
    QString browseForFolder(const FolderBrowseRequest& request) override;
    outlook::FolderPtr pickOutlookFolder(outlook::NameSpace& nameSpace, QObject* owner) override;

    /// Whether a request had to be refused: the run has failed.
    bool failed() const { return m_failed; }
    /// Runs before a refusal is printed (to end a progress bar's line).
    std::function<void()> beforeRefusal;

protected:
    /// Prints "program: what" and ends the run.
    [[noreturn]] void refuse(const QString& what);

private:
    QTextStream& m_err;
    QString m_program;
    bool m_failed = false;
};

// Opens nothing and starts no program: a line on out says what was not opened.
class CommandLineShell final : public Shell
{
public:
    CommandLineShell(QTextStream& out, QString program);
    int open(const QString& pathOrAddress, WindowStyle style) override;
    void run(const QString& commandLine, WindowStyle style) override;
    QString browserCommand() override { return {}; }
    bool available() override { return false; }

private:
    QTextStream& m_out;
    QString m_program;
};

// Runs a command-line program's work and gives its exit code: 0 when the work set done (what
// follows it, the closing steps, may still end the program); 1 after a RunFailure or an error
// (printed on err as "program: message"), after a question nobody could answer (printed when it
// was asked), or when the work stopped before it was done (notDone printed). A UsageError
// passes through to the caller, which knows its usage text.
int runWork(QTextStream& err, const QString& program, const NoAnswerDialogs& dialogs,
            const QString& notDone, const std::function<void(bool& done)>& work);

// The end of a command-line run: recorded; main() returns its own exit code.
class CommandLineEnd final : public ProgramEnd
{
public:
    void endProgram(int exitCode) override;
    bool hasEnded() const override { return m_ended; }
    int exitCode() const { return m_exitCode; }

private:
    bool m_ended = false;
    int m_exitCode = 0;
};

} // namespace lorvo
