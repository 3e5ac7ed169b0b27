// lorvo-store: builds and dumps store files of the local Outlook and looks after its profile.
// docs/lorvo-store.md is the manual.

#include "localoutlook/import/importer.h"
#include "localoutlook/import/source.h"
#include "localoutlook/localoutlook.h"
#include "localoutlook/manifest.h"
#include "localoutlook/profile.h"
#include "localoutlook/store.h"
#include "shared/commandline.h"
#include "shared/error.h"
#include "shared/outlooksession.h"
#include "shared/platform.h"
#include "shared/progress.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTextStream>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

using lorvo::Error;

const QString kProgram = u"lorvo-store"_s;

constexpr int kExitBadInput = 1;
constexpr int kExitUsage = 2;
constexpr int kExitSkipped = 3;

const char kUsage[] =
    "usage:\n"
    "  lorvo-store build MANIFEST.json STORE\n"
    "  lorvo-store dump STORE\n"
    "  lorvo-store profile init [--version TEXT]\n"
    "  lorvo-store profile attach STORE\n"
    "  lorvo-store profile show FOLDER-PATH\n"
    "  lorvo-store profile dump\n"
    "  lorvo-store import [--from PST-FOLDER-PATH] [--sync] FOLDER-PATH SOURCE...\n"
    "The profile is $LORVO_OUTLOOK_PROFILE, or the default location.\n";

void print(const QJsonObject& object)
{
    const QByteArray text = QJsonDocument(object).toJson(QJsonDocument::Indented);
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
}

// The running Outlook of the profile; an error when the profile does not exist.
struct Outlook
{
    // The tool asks nobody anything and opens nothing: a request says so on stderr.
    QTextStream err{stderr};
    lorvo::NoAnswerDialogs dialogs{err, kProgram};
    lorvo::CommandLineShell shell{err, kProgram};
    localoutlook::Provider provider{localoutlook::defaultProfilePath(), dialogs, shell};
    outlook::ApplicationPtr app;
    outlook::NameSpacePtr ns;

    Outlook()
    {
        const localoutlook::Profile profile(localoutlook::defaultProfilePath());
        profile.load(); // names the problem: missing or damaged
        app = provider.GetRunning();
        if (!app)
            throw Error(lorvo::err::FileNotFound, u"The Outlook profile %1 cannot be opened."_s.arg(
                                                      QDir::toNativeSeparators(profile.dir())));
        ns = app->GetNamespace(u"MAPI"_s);
    }
};

// "\\Store Top\Sub\Sub" to its folder.
outlook::FolderPtr folderAtPath(outlook::NameSpace& ns, const QString& path)
{
    if (!path.startsWith("\\\\"_L1))
        throw Error(lorvo::err::PathNotFound,
                    u"The folder path %1 must start with \\\\ and the store's name."_s.arg(path));
    const outlook::FolderPtr folder = lorvo::folderAtFullPath(ns, path);
    if (!folder)
        throw Error(lorvo::err::PathNotFound, u"The folder %1 does not exist."_s.arg(path));
    return folder;
}

QString pathOf(const outlook::FolderPtr& folder)
{
    QString path = folder->Name();
    for (auto parent = folder->Parent(); parent; parent = parent->Parent())
        path = parent->Name() + u'\\' + path;
    return u"\\\\"_s + path;
}

int profileCommand(const QStringList& args)
{
    const QString what = args.value(0);
    if (what == "init"_L1) {
        QString version;
        if (args.size() == 3 && args[1] == "--version"_L1)
            version = args[2];
        else if (args.size() != 1)
            return kExitUsage;
        localoutlook::initProfile(localoutlook::defaultProfilePath(), version);
        return 0;
    }
    if (what == "attach"_L1 && args.size() == 2) {
        const QString store = QFileInfo(args[1]).absoluteFilePath();
        localoutlook::Store::open(store); // a missing file is an error here, never a new store
        Outlook outlook;
        outlook.ns->AddStore(store);
        return 0;
    }
    if (what == "show"_L1 && args.size() == 2) {
        Outlook outlook;
        const auto folder = folderAtPath(*outlook.ns, args[1]);
        auto explorer = outlook.app->ActiveExplorer();
        if (!explorer)
            explorer = outlook.app->Explorers()->Add(folder, 0);
        explorer->SetCurrentFolder(folder);
        explorer->Display();
        return 0;
    }
    if (what == "dump"_L1 && args.size() == 1) {
        Outlook outlook;
        const localoutlook::Profile profile(localoutlook::defaultProfilePath());
        const localoutlook::ProfileState state = profile.load();
        QJsonObject out{{"profile"_L1, QDir::toNativeSeparators(profile.dir())},
                        {"version"_L1, state.version}};
        QJsonArray stores;
        for (const QString& path : state.stores) {
            QJsonObject store{{"file"_L1, QDir::toNativeSeparators(path)}};
            try {
                store.insert("storeId"_L1, localoutlook::Store::open(path)->storeId());
                store.insert("content"_L1, localoutlook::dumpStore(path));
            } catch (const Error& e) {
                store.insert("error"_L1, e.description());
            }
            stores.append(store);
        }
        out.insert("stores"_L1, stores);
        QJsonArray explorers;
        const int count = outlook.app->Explorers()->Count();
        for (int i = 1; i <= count; ++i) {
            const localoutlook::ExplorerState& e = state.explorers[i - 1];
            const auto folder = outlook.app->Explorers()->Item(i)->CurrentFolder();
            explorers.append(QJsonObject{{"folder"_L1, folder ? pathOf(folder) : QString()},
                                         {"entryId"_L1, e.folderEntryId},
                                         {"shown"_L1, e.shown},
                                         {"active"_L1, state.active == i - 1}});
        }
        out.insert("explorers"_L1, explorers);
        print(out);
        return 0;
    }
    return kExitUsage;
}

QString counts(const localoutlook::import::FolderCounts& c)
{
    return u"%1 imported, %2 updated, %3 removed, %4 skipped"_s.arg(c.imported)
        .arg(c.updated)
        .arg(c.removed)
        .arg(c.skipped);
}

// import [--from PST-FOLDER] [--sync] FOLDER-PATH SOURCE...: Outlook's own files into a folder
// of the profile, all or nothing.
int importCommand(const QStringList& args)
{
    namespace imp = localoutlook::import;
    QString from;
    bool sync = false;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == "--sync"_L1) {
            sync = true;
        } else if (args[i] == "--from"_L1 && i + 1 < args.size() && from.isEmpty()) {
            from = args[++i];
            if (from.isEmpty())
                return kExitUsage;
        } else if (args[i].startsWith("--"_L1)) {
            return kExitUsage;
        } else {
            positional.append(args[i]);
        }
    }
    if (positional.size() < 2)
        return kExitUsage;

    // The folder first: a wrong one is reported before any source is read.
    const imp::ImportTarget target =
        imp::findTarget(localoutlook::defaultProfilePath(), positional.takeFirst());
    std::vector<std::unique_ptr<imp::MessageSource>> sources;
    QSet<QString> identities;
    for (const QString& path : std::as_const(positional)) {
        auto source = imp::openSource(path, from);
        if (!identities.contains(source->identity())) {
            identities.insert(source->identity());
            sources.push_back(std::move(source));
        }
    }

    QTextStream out(stdout);
    QTextStream err(stderr);
    lorvo::ProgressLine progress(err, u"Importing"_s, true);
    imp::ImportProgress step;
    if (lorvo::standardErrorIsTerminal())
        step = [&progress](int done, int total) { progress.show(done, total); };
    imp::ImportReport report;
    try {
        report = imp::importSources(target, sources, sync, step);
    } catch (const Error& e) {
        progress.end();
        err << kProgram << ": " << e.description() << " Nothing was imported." << Qt::endl;
        return kExitBadInput;
    }
    progress.end();
    for (const QString& line : std::as_const(report.skipped))
        err << kProgram << ": skipped " << line << Qt::endl;
    for (const QString& line : std::as_const(report.notes))
        err << kProgram << ": " << line << Qt::endl;
    for (const imp::FolderCounts& folder : std::as_const(report.folders))
        out << folder.path << ": " << counts(folder) << Qt::endl;
    out << "Total: " << counts(report.total) << Qt::endl;
    return report.total.skipped > 0 ? kExitSkipped : 0;
}

int run(const QStringList& args)
{
    const QString command = args.value(0);
    if (command == "build"_L1 && args.size() == 3) {
        localoutlook::buildStoreFromFile(args[1], args[2]);
        return 0;
    }
    if (command == "dump"_L1 && args.size() == 2) {
        print(localoutlook::dumpStore(args[1]));
        return 0;
    }
    if (command == "profile"_L1 && args.size() >= 2)
        return profileCommand(args.mid(1));
    if (command == "import"_L1)
        return importCommand(args.mid(1));
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(kProgram);
    try {
        const int code = run(QCoreApplication::arguments().mid(1));
        if (code == kExitUsage)
            std::fputs(kUsage, stderr);
        return code;
    } catch (const lorvo::ProgramEnded&) {
        // A request nobody could answer, already printed.
        return kExitBadInput;
    } catch (const Error& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "lorvo-store: %s\n", e.description().toLocal8Bit().constData());
        return kExitBadInput;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "lorvo-store: %s\n", e.what());
        return kExitBadInput;
    }
}
