#include "setup/unattended.h"

#include "setup/wizard.h"
#include "shared/outlooksession.h"
#include "shared/runtime.h"
#include "shared/text.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace lorvo::setup {

namespace {

const QString kProgram = u"LorvoSetup"_s;

// The long options of the command line, without their dashes.
const QString kUnattended = u"unattended"_s;
const QString kInstallDir = u"install-dir"_s;
const QString kParent = u"parent"_s;
const QString kName = u"name"_s;
const QString kExampleData = u"example-data"_s;
const QString kRepair = u"repair"_s;

// No windows: pages are neither shown nor hidden.
class NoWindows final : public PageNavigator
{
public:
    void showPage(Page) override {}
    void hidePage(Page) override {}
    QObject* pageWindow(Page) override { return nullptr; }
    void processEvents() override { QCoreApplication::processEvents(); }
};

struct Request
{
    bool repair = false;
    QString installDir;
    QString folderPath; // the parent, or the folder to repair
    QString name;
    bool exampleData = false;
};

void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        u"Installs Lorvo for Outlook without asking, or repairs an installation:\n"
        u"  LorvoSetup --unattended --install-dir DIR --parent FOLDER-PATH --name NAME "
        u"[--example-data]\n"
        u"  LorvoSetup --unattended --repair FOLDER-PATH\n"
        u"Without arguments the setup wizard starts."_s);
    parser.addOptions({
        {QStringList{u"h"_s, u"help"_s}, u"Shows this help."_s},
        {kUnattended, u"Runs without windows and without questions."_s},
        {kInstallDir, u"The installation folder to write the application files to."_s, u"DIR"_s},
        {kParent,
         u"The Outlook folder to create the knowledge-base folder in, such as "
         u"\"\\\\Public Folders\\All Public Folders\"."_s,
         u"FOLDER-PATH"_s},
        {kName, u"The name of the new knowledge-base folder."_s, u"NAME"_s},
        {kExampleData, u"Fills the new folder with example articles."_s},
        {kRepair, u"Writes the application files again for this knowledge-base folder."_s,
         u"FOLDER-PATH"_s},
    });
}

// What the command line asks for, checked before anything is read or written.
Request readRequest(const QCommandLineParser& parser)
{
    if (!parser.positionalArguments().isEmpty())
        throw UsageError{u"unexpected argument: "_s + parser.positionalArguments().constFirst()};
    if (!parser.isSet(kUnattended))
        throw UsageError{
            u"the command line needs --unattended; without arguments the wizard starts."_s};
    Request request;
    request.repair = parser.isSet(kRepair);
    if (request.repair) {
        for (const QString& installOnly : {kInstallDir, kParent, kName, kExampleData})
            if (parser.isSet(installOnly))
                throw UsageError{u"--repair does not go with --"_s + installOnly};
        request.folderPath = parser.value(kRepair);
        if (request.folderPath.trimmed().isEmpty())
            throw UsageError{u"--repair needs the path of an Outlook folder"_s};
        return request;
    }
    for (const QString& needed : {kInstallDir, kParent, kName})
        if (!parser.isSet(needed))
            throw UsageError{u"a new installation needs --"_s + needed};
    if (parser.value(kInstallDir).trimmed().isEmpty())
        throw UsageError{u"--install-dir must not be empty"_s};
    if (parser.value(kName).isEmpty())
        throw UsageError{u"--name must not be empty"_s};
    if (const QString problem = ModMain::folderNameProblem(parser.value(kName)); !problem.isEmpty())
        throw UsageError{u"--name '"_s + parser.value(kName) + u"': "_s +
                         problem.section(kCrLf, 0, 0)};
    request.installDir =
        QDir::toNativeSeparators(QFileInfo(parser.value(kInstallDir)).absoluteFilePath());
    request.folderPath = parser.value(kParent);
    request.name = parser.value(kName);
    request.exampleData = parser.isSet(kExampleData);
    return request;
}

// The folder the request names, checked before anything is written.
outlook::FolderPtr checkedFolder(OutlookSession& session, const Request& request)
{
    const outlook::FolderPtr folder =
        session.goNameSpace ? folderAtFullPath(*session.goNameSpace, request.folderPath) : nullptr;
    if (!folder)
        throw RunFailure{u"there is no Outlook folder '"_s + request.folderPath + u"'"_s};
    // The wizard would ask whether to overwrite: nobody is asked to, so stop before writing.
    if (!request.repair &&
        folderAtFullPath(*session.goNameSpace, request.folderPath + u'\\' + request.name))
        throw RunFailure{u"a folder named '"_s + request.name + u"' already exists in '"_s +
                         request.folderPath + u"'; remove it or choose another --name"_s};
    return folder;
}

void repair(Wizard& wizard, const outlook::FolderPtr& folder, QTextStream& out)
{
    ModMain& modMain = wizard.modMain();
    OutlookSession& session = wizard.runtime().session();
    // The repair looks first at the folder Outlook shows: show the one asked for.
    session.goCurrentFolder = folder;
    ignoreErrors([&] { modMain.bringCurrentFolderIntoView(); });
    session.goCurrentFolder.reset();
    modMain.subUpgradeRepair();
    out << "Wrote the application files to " << modMain.state.gstrInstallPath << Qt::endl;
    out << "Repaired the knowledge-base folder "
        << session.fncGetFullFolderPath(session.goCurrentFolder, session.goNameSpace) << Qt::endl;
}

void install(Wizard& wizard, const Request& request, QTextStream& out)
{
    ModMain& modMain = wizard.modMain();
    OutlookSession& session = wizard.runtime().session();
    modMain.state.gstrInstallPath = request.installDir;
    if (!modMain.subInstall(modMain.state.gstrInstallPath))
        throw RunFailure{u"the application files could not be written to "_s + request.installDir};
    out << "Wrote the application files to " << modMain.state.gstrInstallPath << Qt::endl;
    modMain.subSettings(request.exampleData);
    QString address;
    ignoreErrors([&] { address = session.goCurrentFolder->WebViewURL(); });
    out << "Created the knowledge-base folder "
        << session.fncGetFullFolderPath(session.goCurrentFolder, session.goNameSpace)
        << (request.exampleData ? " with example articles" : "") << " and set its home page to "
        << address << Qt::endl;
}

// Runs the request with the wizard's own procedures; the exit code.
int runRequest(const Request& request, const OutlookFactory& makeOutlook, QTextStream& out,
               QTextStream& err)
{
    UnattendedDialogs dialogs(err, request.folderPath, request.name);
    CommandLineShell shell(out, kProgram);
    LocalFileSystem fs;
    HostPlatform platform;
    CommandLineEnd end;
    const std::unique_ptr<outlook::Provider> provider = makeOutlook(dialogs, shell);
    Runtime rt(Services{dialogs, shell, fs, platform, end, *provider},
               u"First Run - Lorvo for Outlook"_s);
    NoWindows view;
    Wizard wizard(rt, view);
    wizard.setChkReadMe(0);

    const int code =
        runWork(err, kProgram, dialogs, u"the setup ended before it was done."_s, [&](bool& done) {
            rt.session().subConnectOutlook(outlook::olFolderInbox);
            const outlook::FolderPtr folder = checkedFolder(rt.session(), request);
            if (request.repair)
                repair(wizard, folder, out);
            else
                install(wizard, request, out);
            done = true;
            wizard.finish(request.repair ? Page::FinishUpgrade : Page::Finish);
        });
    if (code == 0)
        out << "Done." << Qt::endl;
    return code;
}

} // namespace

bool isCommandLineMode(const QStringList& arguments)
{
    static const QStringList ours{kUnattended,  kInstallDir, kParent,  kName,
                                  kExampleData, kRepair,     u"help"_s};
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (!argument.startsWith(u"--"_s))
            continue;
        const QString option = argument.mid(2).section(u'=', 0, 0);
        if (ours.contains(option))
            return true;
    }
    return false;
}

bool isCommandLineMode(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return isCommandLineMode(arguments);
}

int unattendedMain(int argc, char* argv[], const OutlookFactory& makeOutlook)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return runUnattended(QCoreApplication::arguments(), makeOutlook, out, err);
}

UnattendedDialogs::UnattendedDialogs(QTextStream& err, QString pickPath, QString inputText)
    : NoAnswerDialogs(err, kProgram), m_pickPath(std::move(pickPath)),
      m_inputText(std::move(inputText))
{
}

QString UnattendedDialogs::inputBox(const QString& prompt, const QString&, const QString&, QObject*)
{
    if (++m_inputs > 1)
        refuse(u"the name '"_s + m_inputText + u"' was not accepted; asked again: "_s + prompt);
    return m_inputText;
}

outlook::FolderPtr UnattendedDialogs::pickOutlookFolder(outlook::NameSpace& nameSpace, QObject*)
{
    if (++m_picks > 1)
        refuse(u"the Outlook folder '"_s + m_pickPath + u"' was not accepted"_s);
    auto folder = folderAtFullPath(nameSpace, m_pickPath);
    if (!folder)
        refuse(u"there is no Outlook folder '"_s + m_pickPath + u"'"_s);
    return folder;
}

int runUnattended(const QStringList& arguments, const OutlookFactory& makeOutlook, QTextStream& out,
                  QTextStream& err)
{
    QCommandLineParser parser;
    addOptions(parser);
    const auto usage = [&](const QString& problem) {
        err << kProgram << ": " << problem << Qt::endl << Qt::endl << parser.helpText();
        err.flush();
        return 2;
    };
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(u"help"_s)) {
        out << parser.helpText();
        out.flush();
        return 0;
    }
    try {
        return runRequest(readRequest(parser), makeOutlook, out, err);
    } catch (const UsageError& e) {
        return usage(e.message);
    }
}

} // namespace lorvo::setup
