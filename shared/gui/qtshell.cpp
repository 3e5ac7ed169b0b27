#include "shared/gui/qtshell.h"

#include "shared/error.h"
#include "shared/platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTextStream>
#include <QUrl>

namespace lorvo {

namespace {

// The result codes of the shell: above 32 is success, 2 is "file not found".
constexpr int kOpened = 33;
constexpr int kNotOpened = 2;

// "C:\x" has a one-letter scheme to QUrl; that is a drive, not an address.
bool isAddress(const QString& text)
{
    const QUrl url(text);
    return url.isValid() && url.scheme().size() > 1;
}

// The command line of a desktop entry's Exec key, its program made absolute and quoted.
QString desktopEntryCommand(const QString& entryName)
{
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, entryName);
    QFile file(entry);
    if (entry.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QTextStream in(&file);
    bool inMainGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
        else if (inMainGroup && line.startsWith(QStringLiteral("Exec="))) {
            QStringList parts = QProcess::splitCommand(line.mid(5));
            if (parts.isEmpty())
                return {};
            QString program = parts.takeFirst();
            if (!QFileInfo(program).isAbsolute()) {
                const QString found = QStandardPaths::findExecutable(program);
                if (!found.isEmpty())
                    program = found;
            }
            return QLatin1Char('"') + program + QLatin1Char('"') +
                   (parts.isEmpty() ? QString() : QLatin1Char(' ') + parts.join(QLatin1Char(' ')));
        }
    }
    return {};
}

} // namespace

int QtShell::open(const QString& pathOrAddress, WindowStyle)
{
    if (pathOrAddress.isEmpty())
        return kNotOpened;
    QUrl url;
    if (isAddress(pathOrAddress)) {
        url = QUrl(pathOrAddress);
    } else {
        if (!QFileInfo::exists(pathOrAddress))
            return kNotOpened;
        url = QUrl::fromLocalFile(pathOrAddress);
    }
    return QDesktopServices::openUrl(url) ? kOpened : kNotOpened;
}

void QtShell::run(const QString& commandLine, WindowStyle)
{
    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        throw Error(err::InvalidCall, QStringLiteral("No program to run"));
    const QString program = arguments.takeFirst();
    if (!QProcess::startDetached(program, arguments))
        throw Error(err::FileNotFound, QStringLiteral("The program could not be started: ") +
                                           QDir::toNativeSeparators(program));
}

QString QtShell::browserCommand()
{
    if constexpr (kWindows) {
        const QSettings classes(QStringLiteral("HKEY_CLASSES_ROOT\\http\\shell\\open\\command"),
                                QSettings::NativeFormat);
        return classes.value(QStringLiteral("Default")).toString();
    }
    // $BROWSER first, as the desktop's own tools honour it; then the desktop's default.
    const QString fromEnvironment =
        qEnvironmentVariable("BROWSER").split(QLatin1Char(':'), Qt::SkipEmptyParts).value(0);
    if (!fromEnvironment.isEmpty()) {
        const QString found = QStandardPaths::findExecutable(fromEnvironment);
        return found.isEmpty() ? fromEnvironment : QLatin1Char('"') + found + QLatin1Char('"');
    }
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("xdg-settings"));
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(tool, {QStringLiteral("get"), QStringLiteral("default-web-browser")});
    if (!process.waitForFinished(5000) || process.exitCode() != 0)
        return {};
    const QString entry = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return entry.isEmpty() ? QString() : desktopEntryCommand(entry);
}

} // namespace lorvo
