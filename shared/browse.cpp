#include "shared/browse.h"

#include "shared/filehandling.h"
#include "shared/runtime.h"
#include "shared/text.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace lorvo {

QString browserFromCommand(const QString& command)
{
    if (command.startsWith(u'"')) {
        const qsizetype closing = command.indexOf(u'"', 1);
        if (closing > 0)
            return command.mid(1, closing - 1);
    }
    // Either separator: the command may come from this platform's desktop settings.
    const qsizetype lastSeparator = std::max(command.lastIndexOf(u'\\'), command.lastIndexOf(u'/'));
    if (lastSeparator >= 0) {
        const qsizetype blank = command.indexOf(u' ', lastSeparator);
        if (blank >= 0)
            return command.left(blank);
    }
    return command;
}

void subNumericKeyFilter(int& keyCode, int extraAllowed)
{
    constexpr int backspace = 8;
    if (keyCode == extraAllowed || keyCode == backspace || (keyCode >= '0' && keyCode <= '9'))
        return;
    keyCode = 0;
}

BrowserHelpers::BrowserHelpers(Runtime& rt) : m_rt(rt) {}

void BrowserHelpers::subOpenUrl(const QString& address, bool useBrowser)
{
    Trap trap(m_rt, u"modAPI.subOpenUrl"_s);
    trap.run([&] {
        trap.at(10);
        if (!useBrowser) {
            m_rt.shell().open(address, WindowStyle::Normal);
            return;
        }
        trap.at(20);
        m_rt.shell().run(u'"' + GetBrowser() + u"\" "_s + address, WindowStyle::Normal);
    });
}

int BrowserHelpers::OpenDoc(const QString& path)
{
    Trap trap(m_rt, u"modAPI.OpenDoc"_s);
    return trap.run([&] {
        trap.at(10);
        return m_rt.shell().open(path, WindowStyle::Normal);
    });
}

QString BrowserHelpers::GetBrowser()
{
    Trap trap(m_rt, u"modAPI.GetBrowser"_s);
    return trap.run([&] {
        trap.at(10);
        if (m_browser.isEmpty())
            m_browser = browserFromCommand(m_rt.shell().browserCommand());
        return m_browser;
    });
}

FolderBrowser::FolderBrowser(Runtime& rt) : m_rt(rt) {}

QString FolderBrowser::Folder_Browse(QObject* owner, const QString& title, qint32 extraFlags)
{
    constexpr qint32 validateTypedNames = 32;
    Trap trap(m_rt, u"modBrowseForFolder.Folder_Browse"_s);
    return trap.run([&] {
        trap.step(10, u"Calling the Folder for Browse dialog"_s);
        FolderBrowseRequest request;
        request.title = title;
        request.startFolder = startFolder;
        request.flags = extraFlags + validateTypedNames;
        request.owner = owner;
        request.onTypedNameInvalid = [this](const QString& current, const QString& typed) {
            return onTypedNameInvalid(current, typed);
        };
        const QString chosen = m_rt.dialogs().browseForFolder(request);
        trap.step(20, u"Returning selected folder from the Browse dialog"_s);
        if (chosen.isEmpty())
            return QString();
        const QString name = QFileInfo(QDir::cleanPath(chosen)).fileName();
        displayName = name.isEmpty() ? chosen : name;
        return chosen;
    });
}

std::optional<QString> FolderBrowser::onTypedNameInvalid(const QString& currentFolder,
                                                         const QString& typedName)
{
    Answer answer = Answer::No;
    ignoreErrors([&] {
        answer = m_rt.msgBox(u"The Path You Typed Does Not Exist!"_s + kCrLf +
                                 u"Would you like to create it?"_s,
                             Buttons::YesNo, Icon::Question);
    });
    if (answer != Answer::Yes)
        return currentFolder;
    if (typedName.isEmpty())
        return std::nullopt;
    // A typed full path means that folder; a bare name is created under the selection.
    const QString folder = QDir::isAbsolutePath(typedName)
                               ? typedName
                               : fncClearEndSlash(currentFolder) + QDir::separator() + typedName;
    if (!ignoreErrors([&] { m_rt.fs().createFolder(folder); }))
        return currentFolder;
    return folder;
}

} // namespace lorvo
