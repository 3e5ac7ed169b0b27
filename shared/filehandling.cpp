#include "shared/filehandling.h"

#include "shared/errorhandling.h"
#include "shared/outlooksession.h"
#include "shared/runtime.h"
#include "shared/shell.h"

#include <QDir>
#include <QStringDecoder>

namespace lorvo {

namespace {

const auto kCrLf = QStringLiteral("\r\n");

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
    if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('\\')))
        return path;
    // A root keeps its slash: "/" would become no path at all, "C:\\" the drive's current folder.
    const QString cut = path.chopped(1);
    if (cut.isEmpty() || (cut.size() == 2 && cut.at(1) == QLatin1Char(':')))
        return path;
    return cut;
}

FileHandling::FileHandling(Runtime& rt) : m_rt(rt) {}

void FileHandling::subExecute(const QString& name, const QString& arguments, const QString& folder)
{
    Trap trap(m_rt, QStringLiteral("modFileHandling.subExecute"));
    runClearingCancel(trap, [&] {
        trap.step(10, QStringLiteral("Attempting to execute ") + name + QLatin1Char(' ') +
                          arguments + QLatin1Char(' ') + folder);
        Shell& shell = fncGetShell();

        const auto runFailed = [&](const QString& what, const QString& description) {
            m_rt.msgBox(QStringLiteral("Error trying to run the file at") + QLatin1Char(' ') +
                            what + kCrLf + description,
                        Buttons::Ok, Icon::Critical, productTitle());
        };

        const QString scheme = name.left(4).toUpper();
        if (scheme == QStringLiteral("HTTP") || scheme == QStringLiteral("MAIL")) {
            trap.at(20);
            // An address goes to the desktop's handler for it, never to a program lookup.
            if (shell.open(name, WindowStyle::Normal) <= 32)
                runFailed(name, QStringLiteral("The address could not be opened."));
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
        trap.step(40, QStringLiteral("Attempting to execute the path '") + program +
                          QStringLiteral("'"));
        if (m_rt.fs().fileExists(program)) {
            const QString command = QLatin1Char('"') + program + QStringLiteral("\" ") + arguments;
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
    m_rt.setStep(QStringLiteral("Creating Scripting.FileSystemObject") + kCrLf +
                 QStringLiteral("This component is normally installed with Internet Explorer 4.0 "
                                "or later"));
}

void FileHandling::subFixDamagedScrrun()
{
    // No scripting runtime to register again on this platform.
}

Shell& FileHandling::fncGetShell()
{
    Shell& shell = m_rt.shell();
    if (!shell.available()) {
        m_rt.msgBox(QStringLiteral("ERROR") + kCrLf +
                        QStringLiteral("Attempting to create a new Scripting.Dictionary object.") +
                        kCrLf +
                        QStringLiteral("This component is usually installed with Internet "
                                       "Explorer 4.0 or later") +
                        kCrLf +
                        QStringLiteral("Please download the Windows Scripting Runtime from "
                                       "Microsoft Downloads to resolve this issue!"),
                    Buttons::Ok, Icon::Critical, productTitle());
        m_rt.session().subEndApplication();
    }
    return shell;
}

QString FileHandling::fncReadTextFile(const QString& path)
{
    Trap trap(m_rt, QStringLiteral("fncReadTextFile"));
    return trap.run([&] {
        subSetupFS();
        trap.step(10, QStringLiteral("Attempting to read contents of file ") + path);
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
    Trap trap(m_rt, QStringLiteral("modGetDefaultFolder.fncGetSpecialFolderPath"));
    return trap.run([&] {
        trap.at(10);
        return m_rt.platform().specialFolderPath(id, flags);
    });
}

} // namespace lorvo
