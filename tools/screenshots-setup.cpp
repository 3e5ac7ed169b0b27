// lorvo-screenshots-setup FOLDER: writes a PNG of every page of the setup wizard into FOLDER
// (frmWelcome.png, ...). Run it with QT_QPA_PLATFORM=offscreen; it does no installation work.

#include "localoutlook/localoutlook.h"
#include "setup/gui/setupwindows.h"
#include "shared/gui/programend.h"
#include "shared/gui/qtdialogs.h"
#include "shared/gui/qtshell.h"
#include "shared/runtime.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>
#include <QWidget>

using namespace Qt::StringLiterals;
using namespace lorvo;
using lorvo::setup::Page;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: lorvo-screenshots-setup FOLDER\n";
        return 2;
    }
    const QDir out(args[1]);
    if (!QDir().mkpath(out.absolutePath())) {
        err << "cannot create " << out.absolutePath() << '\n';
        return 1;
    }

    // Nothing here talks to Outlook; a profile of its own keeps the user's untouched.
    QTemporaryDir profile;
    QtDialogs dialogs;
    QtShell shell;
    LocalFileSystem fs;
    HostPlatform platform;
    QtProgramEnd end;
    localoutlook::Provider outlook(profile.path(), dialogs, shell);
    Runtime rt(Services{dialogs, shell, fs, platform, end, outlook},
               u"First Run - Lorvo for Outlook"_s);
    setup::SetupWindows windows(rt);

    const Page pages[] = {Page::Welcome,   Page::ChooseInstallation, Page::SelectFolder,
                          Page::StartCopy, Page::Settings,           Page::Finish,
                          Page::Upgrade,   Page::FinishUpgrade};
    int failures = 0;
    for (Page page : pages) {
        windows.wizard().showPage(page);
        QWidget* window = windows.page(page);
        QApplication::processEvents();
        const QString file = out.filePath(setup::pageName(page) + u".png"_s);
        if (!window->grab().save(file)) {
            err << "cannot write " << file << '\n';
            ++failures;
        }
        windows.wizard().hidePage(page);
    }
    return failures == 0 ? 0 : 1;
}
