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

using namespace Qt::StringLiterals;

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
        if (line.startsWith(u'['))
            inMainGroup = line == u"[Desktop Entry]"_s;
        else if (inMainGroup && line.startsWith(u"Exec="_s)) {
            QStringList parts = QProcess::splitCommand(line.mid(5));
            if (parts.isEmpty())
                return {};
            QString program = parts.takeFirst();
            if (!QFileInfo(program).isAbsolute()) {
                const QString found = QStandardPaths::findExecutable(program);
                if (!found.isEmpty())
                    program = found;
            }
            return u'"' + program + u'"' + (parts.isEmpty() ? QString() : u' ' + parts.join(u' '));
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
        throw Error(err::InvalidCall, u"No program to run"_s);
    const QString program = arguments.takeFirst();
    if (!QProcess::startDetached(program, arguments))
        throw Error(err::FileNotFound,
                    u"The program could not be started: "_s + QDir::toNativeSeparators(program));
}

QString QtShell::browserCommand()
{
    if constexpr (kWindows) {
        const QSettings classes(u"HKEY_CLASSES_ROOT\\http\\shell\\open\\command"_s,
                                QSettings::NativeFormat);
        return classes.value(u"Default"_s).toString();
    }
    // $BROWSER first, as the desktop's own tools honour it; then the desktop's default.
    const QString fromEnvironment =
        qEnvironmentVariable("BROWSER").split(u':', Qt::SkipEmptyParts).value(0);
    if (!fromEnvironment.isEmpty()) {
        const QString found = QStandardPaths::findExecutable(fromEnvironment);
        return found.isEmpty() ? fromEnvironment : u'"' + found + u'"';
    }
    const QString tool = QStandardPaths::findExecutable(u"xdg-settings"_s);
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(tool, {u"get"_s, u"default-web-browser"_s});
    if (!process.waitForFinished(5000) || process.exitCode() != 0)
        return {};
    const QString entry = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    return entry.isEmpty() ? QString() : desktopEntryCommand(entry);
}

} // namespace lorvo
