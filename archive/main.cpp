// LorvoArchive: publishes the knowledge-base folder as a static web site.

#include "archive/cli.h"
#include "archive/generators.h"
#include "archive/gui/frmmain.h"
#include "archive/imaging_qt.h"
#include "archive/settings.h"
#include "localoutlook/localoutlook.h"
#include "shared/gui/programend.h"
#include "shared/gui/qtdialogs.h"
#include "shared/gui/qtshell.h"
#include "shared/gui/windowhelpers.h"
#include "shared/runtime.h"

#include <QApplication>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace lorvo;

namespace {

// Publishing from the command line: no window, so no display is needed.
int commandLineMain(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    archive::QtImageCodec codec;
    archive::QSettingsBackend settingsStore;
    const auto makeOutlook = [](Dialogs& dialogs, Shell& shell) {
        return std::unique_ptr<outlook::Provider>(std::make_unique<localoutlook::Provider>(
            localoutlook::defaultProfilePath(), dialogs, shell));
    };
    QTextStream out(stdout);
    QTextStream err(stderr);
    return archive::runCommandLine(QCoreApplication::arguments(),
                                   {makeOutlook, codec, settingsStore, standardErrorIsTerminal()},
                                   out, err);
}

} // namespace

int main(int argc, char* argv[])
{
    if (archive::isCommandLineMode(argc))
        return commandLineMain(argc, argv);

    QApplication app(argc, argv);
    subInitCommonControls();

    QtDialogs dialogs;
    QtShell shell;
    LocalFileSystem fs;
    HostPlatform platform;
    QtProgramEnd end;
    localoutlook::Provider outlook(localoutlook::defaultProfilePath(), dialogs, shell);
    Runtime rt(Services{dialogs, shell, fs, platform, end, outlook}, u"LorvoArchive"_s);

    archive::QSettingsBackend settingsStore;
    archive::Settings settings(settingsStore);
    archive::QtImageCodec codec;
    archive::ArticleCollection collection(rt);

    archive::Generators generators(rt, collection, codec);
    archive::MainWindowLogic logic(rt, settings, codec, collection, &generators.flat,
                                   &generators.outline);
    archive::FrmMain window(logic);
    if (!window.load())
        return end.exitCode();
    window.show();
    return app.exec();
}
