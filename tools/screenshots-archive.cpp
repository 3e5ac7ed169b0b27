// lorvo-screenshots-archive FOLDER: writes frmMain.png, LorvoArchive's window with its lists
// filled from a few example articles, into FOLDER. Run it with QT_QPA_PLATFORM=offscreen; it uses
// a profile and settings of its own and generates nothing.

#include "archive/collection.h"
#include "archive/gui/frmmain.h"
#include "archive/imaging_qt.h"
#include "archive/mainwindowlogic.h"
#include "archive/settings.h"
#include "localoutlook/localoutlook.h"
#include "localoutlook/store.h"
#include "shared/gui/programend.h"
#include "shared/gui/qtdialogs.h"
#include "shared/gui/qtshell.h"
#include "shared/outlooksession.h"
#include "shared/runtime.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTextStream>

using namespace Qt::StringLiterals;
using namespace lorvo;

namespace {

// A knowledge-base folder with a handful of articles in a store of its own.
void buildExampleStore(const QString& path)
{
    struct Example
    {
        const char* subject;
        const char* category;
        const char* type;
    };
    const Example examples[] = {
        {"VPN drops after ten minutes", "Network", "Outage"},
        {"Shared drive is slow", "Network", "Performance"},
        {"Printer on floor 2 jams", "Hardware", "Printing"},
        {"Laptop does not wake up", "Hardware", "Power"},
        {"Mailbox is full", "Mail", "Quota"},
        {"Calendar invitations arrive twice", "Mail", "Question"},
        {"New starter accounts", "Accounts", "Procedure"},
    };
    localoutlook::Store::build(path, u"Knowledge Base Store"_s, [&](localoutlook::Store& store) {
        localoutlook::FolderRecord folder;
        folder.name = u"Knowledge Base"_s;
        folder.defaultItemType = outlook::olPostItem;
        folder.webViewUrl = u"file:///srv/lorvo/OLorvo.htm"_s;
        const qint64 id = store.addFolder(store.topFolderId(), folder);
        for (const Example& e : examples) {
            localoutlook::ItemRecord item;
            item.messageClass = u"IPM.Post.HelpdeskKBArticle"_s;
            item.subject = QString::fromUtf8(e.subject);
            const qint64 itemId = store.addItem(id, item);
            store.setField(itemId, u"Problem Category"_s, QString::fromUtf8(e.category));
            store.setField(itemId, u"Problem Type"_s, QString::fromUtf8(e.type));
        }
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = QApplication::arguments();
    QTextStream err(stderr);
    if (args.size() != 2) {
        err << "usage: lorvo-screenshots-archive FOLDER\n";
        return 2;
    }
    const QDir out(args[1]);
    if (!QDir().mkpath(out.absolutePath())) {
        err << "cannot create " << out.absolutePath() << '\n';
        return 1;
    }

    QTemporaryDir temp;
    const QString profile = temp.filePath(u"profile"_s);
    const QString storePath = temp.filePath(u"kb.pst"_s);
    QtDialogs dialogs;
    QtShell shell;
    LocalFileSystem fs;
    HostPlatform platform;
    QtProgramEnd end;
    try {
        localoutlook::initProfile(profile);
        buildExampleStore(storePath);
    } catch (const Error& e) {
        err << "cannot build the example profile: " << e.description() << '\n';
        return 1;
    }
    localoutlook::Provider outlook(profile, dialogs, shell);
    Runtime rt(Services{dialogs, shell, fs, platform, end, outlook}, u"LorvoArchive"_s);

    archive::QSettingsBackend settingsStore(temp.filePath(u"settings.ini"_s));
    archive::Settings settings(settingsStore);
    archive::QtImageCodec codec;
    archive::ArticleCollection collection(rt);
    archive::MainWindowLogic logic(rt, settings, codec, collection, nullptr, nullptr);
    archive::FrmMain window(logic);

    // Show the knowledge-base folder in Outlook's window, as a user would have it open.
    try {
        OutlookSession& session = rt.session();
        session.subConnectOutlook(outlook::olFolderInbox);
        session.goNameSpace->AddStore(storePath);
        session.goOutlook->ActiveExplorer()->SetCurrentFolder(session.goNameSpace->Folders()
                                                                  ->Item(u"Knowledge Base Store"_s)
                                                                  ->Folders()
                                                                  ->Item(u"Knowledge Base"_s));
    } catch (const Error& e) {
        err << "cannot open the example folder: " << e.description() << '\n';
        return 1;
    } catch (const ProgramEnded&) {
        err << "cannot open the example profile\n";
        return 1;
    }

    if (!window.load()) {
        err << "the window did not start\n";
        return 1;
    }
    window.show();
    QApplication::processEvents();
    const QString file = out.filePath(u"frmMain.png"_s);
    if (!window.grab().save(file)) {
        err << "cannot write " << file << '\n';
        return 1;
    }
    return 0;
}
