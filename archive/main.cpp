// LorvoArchive: publishes the knowledge-base folder as a static web site.

#include "archive/conversion.h"
#include "archive/generators.h"
#include "archive/gui/frmmain.h"
#include "archive/imaging_qt.h"
#include "archive/safeitem.h"
#include "archive/settings.h"
#include "localoutlook/localoutlook.h"
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

    // The two generators behind the Generate button.
    archive::SafeItem safeItem(rt);
    archive::BodyConversion conversion(rt, safeItem);
    const archive::GeneratorServices services{rt, collection, safeItem, conversion, codec};
    archive::FlatGenerator flat(services);
    archive::OutlineGenerator outline(services);

    archive::MainWindowLogic logic(rt, settings, codec, collection, &flat, &outline);
    archive::FrmMain window(logic);
    if (!window.load())
        return end.exitCode();
    window.show();
    return app.exec();
}
