#include "shared/filehandling.h"

#include "shared/errorhandling.h"
#include "shared/outlooksession.h"
#include "shared/runtime.h"
#include "shared/shell.h"
#include "shared/text.h"

#include <QDir>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace lorvo {

namespace {

// Runs a trapped body; the user's refusal of an elevation prompt is no error worth a report.
template <class F> void runClearingCancel(Trap& trap, F&& body)
{
    try {
        body();
    } catch (const ProgramEnded&) {
        throw;
    } catch (const Error& e) {
        if (e.number() != err::OperationCancelled)
            trap.report(e);
    } catch (const std::exception& e) {
        trap.report(e);
    }
}

} // namespace

QString fncClearEndSlash(const QString& path)
{
    if (!path.endsWith(u'/') && !path.endsWith(u'\\'))
        return path;
    // A root keeps its slash: "/" would become no path at all, "C:\\" the drive's current folder.
    const QString cut = path.chopped(1);
    if (cut.isEmpty() || (cut.size() == 2 && cut.at(1) == u':'))
        return path;
    return cut;
}

FileHandling::FileHandling(Runtime& rt) : m_rt(rt) {}

void FileHandling::subExecute(const QString& name, const QString& arguments, const QString& folder)
{
    Trap trap(m_rt, u"modFileHandling.subExecute"_s);
    runClearingCancel(trap, [&] {
        trap.step(10, u"Attempting to execute "_s + name + u' ' + arguments + u' ' + folder);
        Shell& shell = fncGetShell();

        const auto runFailed = [&](const QString& what, const QString& description) {
            m_rt.msgBox(u"Error trying to run the file at"_s + u' ' + what + kCrLf + description,
                        Buttons::Ok, Icon::Critical, productTitle());
        };

        const QString scheme = name.left(4).toUpper();
        if (scheme == u"HTTP"_s || scheme == u"MAIL"_s) {
            trap.at(20);
            // An address goes to the desktop's handler for it, never to a program lookup.
            if (shell.open(name, WindowStyle::Normal) <= 32)
                runFailed(name, u"The address could not be opened."_s);
            return;
        }

        trap.at(30);
        const QString fileName = name + QLatin1StringView(kExecutableSuffix);
        QString program;
        if (!folder.isEmpty())
            program = fncClearEndSlash(folder) + QDir::separator() + fileName;
        if (folder.isEmpty() || !m_rt.fs().fileExists(program))
            program =
                fncClearEndSlash(m_rt.platform().programFolder()) + QDir::separator() + fileName;

        subSetupFS();
        trap.step(40, u"Attempting to execute the path '"_s + program + u"'"_s);
        if (m_rt.fs().fileExists(program)) {
            const QString command = u'"' + program + u"\" "_s + arguments;
            try {
                shell.run(command, WindowStyle::Normal);
            } catch (const Error& e) {
                if (e.number() != err::OperationCancelled)
                    runFailed(command, e.description());
            } catch (const std::exception& e) {
                runFailed(command, toError(e).description());
            }
        } else {
            runFailed(program, QString());
        }
    });
}

void FileHandling::subSetupFS()
{
    if (m_fsReady)
        return;
    // The file-system service always exists here; the step text still says what is being set up.
    // Ready first: the step text may be logged, and the log needs the file system.
    m_fsReady = true;
    m_rt.setStep(u"Creating Scripting.FileSystemObject"_s + kCrLf +
                 u"This component is normally installed with Internet Explorer 4.0 "
                 u"or later"_s);
}

void FileHandling::subFixDamagedScrrun()
{
    // No scripting runtime to register again on this platform.
}

Shell& FileHandling::fncGetShell()
{
    Shell& shell = m_rt.shell();
    if (!shell.available()) {
        m_rt.msgBox(u"ERROR"_s + kCrLf +
                        u"Attempting to create a new Scripting.Dictionary object."_s + kCrLf +
                        u"This component is usually installed with Internet "
                        u"Explorer 4.0 or later"_s +
                        kCrLf +
                        u"Please download the Windows Scripting Runtime from "
                        u"Microsoft Downloads to resolve this issue!"_s,
                    Buttons::Ok, Icon::Critical, productTitle());
        m_rt.session().subEndApplication();
    }
    return shell;
}

QString FileHandling::fncReadTextFile(const QString& path)
{
    Trap trap(m_rt, u"fncReadTextFile"_s);
    return trap.run([&] {
        subSetupFS();
        trap.step(10, u"Attempting to read contents of file "_s + path);
        if (!m_rt.fs().fileExists(path))
            return QString();
        trap.at(20);
        const QByteArray bytes = m_rt.fs().readFile(path);
        QStringDecoder decoder(QStringDecoder::System);
        return QString(decoder.decode(bytes));
    });
}

QString FileHandling::fncGetSpecialFolderPath(qint32 id, qint32 flags)
{
    Trap trap(m_rt, u"modGetDefaultFolder.fncGetSpecialFolderPath"_s);
    return trap.run([&] {
        trap.at(10);
        return m_rt.platform().specialFolderPath(id, flags);
    });
}

} // namespace lorvo
