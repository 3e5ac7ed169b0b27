// LorvoSetup: installs the application files and creates the knowledge-base folder in Outlook.

#include "localoutlook/localoutlook.h"
#include "setup/gui/setupwindows.h"
#include "setup/unattended.h"
#include "shared/gui/handler.h"
#include "shared/gui/programend.h"
#include "shared/gui/qtdialogs.h"
#include "shared/gui/qtshell.h"
#include "shared/gui/windowhelpers.h"
#include "shared/runtime.h"

#include <QApplication>

using namespace Qt::StringLiterals;
using namespace lorvo;

int main(int argc, char* argv[])
{
    if (setup::isCommandLineMode(argc, argv)) {
        return setup::unattendedMain(argc, argv, [](Dialogs& dialogs, Shell& shell) {
            return std::make_unique<localoutlook::Provider>(localoutlook::defaultProfilePath(),
                                                            dialogs, shell);
        });
    }

    QApplication app(argc, argv);
    // The pages are hidden and shown in turn; the program ends only through subEndApplication.
    QApplication::setQuitOnLastWindowClosed(false);
    subInitCommonControls();

    QtDialogs dialogs;
    QtShell shell;
    LocalFileSystem fs;
    HostPlatform platform;
    QtProgramEnd end;
    localoutlook::Provider outlook(localoutlook::defaultProfilePath(), dialogs, shell);
    Runtime rt(Services{dialogs, shell, fs, platform, end, outlook},
               u"First Run - Lorvo for Outlook"_s);

    setup::SetupWindows windows(rt);
    runHandler(rt, u"modMain.Main"_s, [&] { windows.wizard().modMain().Main(); });
    if (end.hasEnded())
        return end.exitCode();
    return app.exec();
}
