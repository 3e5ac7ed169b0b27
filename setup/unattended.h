#pragma once

// The unattended command line, for administrators who deploy without clicking:
//
//   LorvoSetup --unattended --install-dir DIR --parent FOLDER-PATH --name NAME [--example-data]
//   LorvoSetup --unattended --repair FOLDER-PATH
//
// It runs the wizard's own procedures with a dialogs service that asks nobody: the Outlook
// folder picker answers with the folder from the command line, the input box with the name, and
// any other question or message is an error, printed on stderr, that ends the run.

#include "shared/commandline.h"
#include "shared/dialogs.h"
#include "shared/outlook.h"
#include "shared/shell.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QTextStream;

namespace lorvo::setup {

/// Whether the arguments (program name first) ask for the command line rather than the wizard.
bool isCommandLineMode(const QStringList& arguments);
bool isCommandLineMode(int argc, char* argv[]);

// Answers the questions of one unattended run from its command line; every other request ends
// the run.
class UnattendedDialogs final : public NoAnswerDialogs
{
public:
    /// err receives the text of every request that has no answer.
    UnattendedDialogs(QTextStream& err, QString pickPath, QString inputText);

    QString inputBox(const QString& prompt, const QString& title, const QString& defaultText,
                     QObject* owner) override;
    outlook::FolderPtr pickOutlookFolder(outlook::NameSpace& nameSpace, QObject* owner) override;

private:
    QString m_pickPath;
    QString m_inputText;
    int m_picks = 0;
    int m_inputs = 0;
};

/// Runs the command line (program name first); returns the exit code: 0 done, 1 failed, 2 wrong
/// arguments. Reports progress on out and problems on err.
int runUnattended(const QStringList& arguments, const OutlookFactory& makeOutlook, QTextStream& out,
                  QTextStream& err);
/// The program's main() in the command-line mode: a windowless application, stdout and stderr.
int unattendedMain(int argc, char* argv[], const OutlookFactory& makeOutlook);

} // namespace lorvo::setup
