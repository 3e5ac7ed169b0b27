#include "shared/commandline.h"

#include "shared/error.h"
#include "shared/text.h"

#include <QTextStream>

using namespace Qt::StringLiterals;

namespace lorvo {

namespace {

// Message texts carry Windows line ends; a terminal and a log want plain ones.
QString asLines(QString text)
{
    return text.replace(kCrLf, u"\n"_s);
}

} // namespace

NoAnswerDialogs::NoAnswerDialogs(QTextStream& err, QString program)
    : m_err(err), m_program(std::move(program))
{
}

void NoAnswerDialogs::refuse(const QString& what)
{
    m_failed = true;
    if (beforeRefusal)
        beforeRefusal();
    m_err << m_program << ": " << what << Qt::endl;
    throw ProgramEnded{1};
}

Answer NoAnswerDialogs::messageBox(const MessageBoxRequest& request)
{
    refuse(u"stopped at a message that needs someone to answer it:\n"_s + request.title + u": "_s +
           asLines(request.fullText.isEmpty() ? request.text : request.fullText));
}

QString NoAnswerDialogs::inputBox(const QString& prompt, const QString& title, const QString&,
                                  QObject*)
{
    refuse(u"stopped at a question that needs someone to answer it:\n"_s + title + u": "_s +
           asLines(prompt));
}

QString NoAnswerDialogs::browseForFolder(const FolderBrowseRequest& request)
{
    refuse(u"stopped at a folder browser that needs someone to answer it: "_s + request.title);
}

outlook::FolderPtr NoAnswerDialogs::pickOutlookFolder(outlook::NameSpace&, QObject*)
{
    refuse(u"stopped at Outlook's folder picker, which needs someone to answer it"_s);
}

CommandLineShell::CommandLineShell(QTextStream& out, QString program)
    : m_out(out), m_program(std::move(program))
{
}

int CommandLineShell::open(const QString& pathOrAddress, WindowStyle)
{
    m_out << m_program << ": not opened from the command line: " << pathOrAddress << Qt::endl;
    return 0;
}

void CommandLineShell::run(const QString& commandLine, WindowStyle)
{
    throw Error(err::PermissionDenied,
                u"No program is started from the command line: "_s + commandLine);
}

int runWork(QTextStream& err, const QString& program, const NoAnswerDialogs& dialogs,
            const QString& notDone, const std::function<void(bool& done)>& work)
{
    bool done = false;
    try {
        work(done);
    } catch (const RunFailure& e) {
        err << program << ": " << e.message << Qt::endl;
        return 1;
    } catch (const ProgramEnded&) {
        // The end of the program, or a question nobody can answer (already printed).
    } catch (const std::exception& e) {
        err << program << ": " << toError(e).description() << Qt::endl;
        return 1;
    }
    if (dialogs.failed())
        return 1;
    if (!done) {
        err << program << ": " << notDone << Qt::endl;
        return 1;
    }
    return 0;
}

void CommandLineEnd::endProgram(int exitCode)
{
    m_ended = true;
    m_exitCode = exitCode;
}

} // namespace lorvo
