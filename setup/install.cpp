// Writing the application files into the installation folder, and taking that folder back when
// the user leaves the wizard.

#include "setup/modmain.h"
#include "shared/error.h"
#include "shared/errorhandling.h"
#include "shared/filehandling.h"
#include "shared/outlooksession.h"
#include "shared/platform.h"
#include "shared/resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace lorvo::setup {

namespace {

bool isSeparator(QChar c)
{
    return c == u'/' || c == u'\\' || c == QDir::separator();
}

// Where a created folder and a later path mean the same folder.
QString comparable(const QString& path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(fncClearEndSlash(path)));
}

QString invalidFolderMessage()
{
    return u"The destination folder you have specified is invalid!\r\nPlease try again!"_s;
}

QString writePermissionMessage()
{
    return u"It seems like you don't have write permission on the folder you have selected,\r\n"
           u"or some Lorvo application is currently running!\r\n\r\n"
           u"Please shutdown the application and try again!"_s;
}

// A locked or read-only file and a folder closed to us are the same thing to the user.
bool isPermissionError(qint32 number)
{
    return number == err::PermissionDenied || number == err::PathFileAccess;
}

} // namespace

void ModMain::subLoadFileList()
{
    state.gstrAppFiles = {
        u"bg.gif"_s,
        u"OLorvo.htm"_s,
        u"LorvoRect.gif"_s,
        u"KBSettings.txt"_s,
        u"LorvoFilled.pst"_s,
        u"LorvoEmpty.pst"_s,
        u"LorvoArchive"_s + QLatin1StringView(kExecutableSuffix),
        u"OLorvoForm.fdm"_s,
        u"ReadMe.txt"_s,
    };
}

bool ModMain::subInstall(QString& path)
{
    Trap t(m_rt, u"modMain.subInstall"_s);

    // Back to the folder page with a message; the text the user typed stays in txtPath.
    const auto sendBack = [&](const QString& text, const QString& title) {
        m_rt.msgBox(text, Buttons::Ok, Icon::Information, title);
        m_pages.hidePage(Page::StartCopy);
        m_pages.showPage(Page::SelectFolder);
        return false;
    };

    try {
        t.step(10, u"Initializing files to be copied."_s);
        subLoadFileList();
        t.at(20);
        m_pages.processEvents();
        t.at(30);
        m_rt.files().subSetupFS();

        t.step(40, u"Check for target installation folder path"_s);
        // Trailing blanks cannot be part of a folder name the user meant; without this cut the
        // folder tested and the folder written to could differ.
        while (!path.isEmpty() && path.back().isSpace())
            path.chop(1);
        // A relative path (blanks, nothing at all) would land wherever the program was started.
        if (path.isEmpty() || !QDir::isAbsolutePath(path))
            return sendBack(invalidFolderMessage(), {});

        const QString folder = fncClearEndSlash(path);
        if (!m_rt.fs().folderExists(folder)) {
            try {
                m_rt.fs().createFolder(folder);
                state.createdInstallFolder = comparable(folder);
            } catch (const Error& e) {
                if (isPermissionError(e.number()))
                    return sendBack(writePermissionMessage(), u"Write Permission"_s);
                // A missing parent, or a file in the way: nothing can be written there.
                return sendBack(invalidFolderMessage(), {});
            }
        }

        t.at(50);
        if (!isSeparator(path.trimmed().back()))
            path += QDir::separator();
        state.gstrInstallPath = path;

        t.step(60, u"Copy all files to the target folder '"_s + path + u"'"_s);
        for (const QString& name : std::as_const(state.gstrAppFiles)) {
            t.step(70, u"Loading "_s + name + u" from resource"_s);
            const QByteArray bytes = loadResource(u"APPFILES"_s, name.toUpper());
            const QString target = path + name;
            t.step(80, u"Writing file to "_s + target);
            m_rt.fs().writeFile(target, bytes);
            if (name.startsWith(u"LorvoArchive"_s)) {
                t.at(90);
                const auto run = QFileDevice::ExeOwner | QFileDevice::ExeUser |
                                 QFileDevice::ExeGroup | QFileDevice::ExeOther;
                if (!QFile::setPermissions(target, QFile::permissions(target) | run))
                    throw Error(err::PermissionDenied, u"Permission denied"_s);
            }
        }
        return true;
    } catch (const Error& e) {
        if (isPermissionError(e.number()))
            return sendBack(writePermissionMessage(), u"Write Permission"_s);
        t.report(e);
    } catch (const std::exception& e) {
        t.report(e);
    }
}

void ModMain::subConfirmExit(QObject* owner)
{
    const Answer answer =
        m_rt.msgBox(u"Are you sure you want to exit the installation?"_s, Buttons::YesNo,
                    Icon::Information, u"Exit Installation"_s, owner);
    if (answer == Answer::Yes)
        subCancelInstallation();
}

void ModMain::subCancelInstallation()
{
    ignoreErrors([&] {
        QString& path = state.gstrInstallPath;
        if (!path.trimmed().isEmpty() && isSeparator(path.back()))
            path.chop(1);
        // Only a folder this run created goes, with everything in it; one that was there before
        // keeps whatever it held, even when the user pointed the wizard at it.
        const QString created = state.createdInstallFolder;
        if (!created.isEmpty() && m_rt.fs().folderExists(created)) {
            m_rt.fs().deleteFolder(created, true);
            state.createdInstallFolder.clear();
        }
    });
    m_rt.session().subEndApplication();
}

} // namespace lorvo::setup
