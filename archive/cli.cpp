#include "archive/cli.h"

#include "archive/collection.h"
#include "archive/generators.h"
#include "archive/imaging.h"
#include "archive/mainwindowlogic.h"
#include "archive/settings.h"
#include "archive/site.h"
#include "shared/commandline.h"
#include "shared/outlooksession.h"
#include "shared/progress.h"
#include "shared/runtime.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QTextStream>
#include <algorithm>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

const QString kProgram = u"LorvoArchive"_s;

// The long options, without their dashes.
const QString kGenerate = u"generate"_s;
const QString kDestination = u"destination"_s;
const QString kGroup = u"group"_s;
const QString kNaming = u"naming"_s;
const QString kStart = u"start"_s;
const QString kToc = u"toc"_s;
const QString kCollapsible = u"collapsible"_s;
const QString kCollapseInitially = u"collapse-initially"_s;
const QString kAttachments = u"attachments"_s;
const QString kOverwrite = u"overwrite"_s;
const QString kCategory = u"category"_s;
const QString kType = u"type"_s;
const QString kSearch = u"search"_s;
const QString kSitemapBase = u"sitemap-base"_s;

// The window's state as a progress report on stderr.
class ProgressView final : public MainView
{
public:
    ProgressView(const MainWindowLogic& logic, QTextStream& err, bool bar)
        : m_logic(logic), m_line(err, u"Publishing"_s, bar)
    {
    }

    // Whether a generation got as far as its progress: past the start checks.
    bool started() const { return m_started; }

    // Ends the bar's line so that a message starts on its own.
    void endLine() { m_line.end(); }

    void render() override
    {
        const MainState& s = m_logic.state();
        if (!s.progressVisible) {
            m_line.end();
            return;
        }
        m_started = true;
        m_line.show(s.progressValue, s.progressMaximum);
    }
    void processEvents() override { QCoreApplication::processEvents(); }
    QObject* window() override { return nullptr; }

private:
    const MainWindowLogic& m_logic;
    ProgressLine m_line;
    bool m_started = false;
};

// One of two words, as option index 0 or 1.
int choice(const QCommandLineParser& parser, const QString& option, const QString& first,
           const QString& second)
{
    const QString value = parser.value(option).trimmed().toLower();
    if (value == first)
        return 0;
    if (value == second)
        return 1;
    throw UsageError{u"--"_s + option + u" takes "_s + first + u" or "_s + second + u", not '"_s +
                     parser.value(option) + u"'"_s};
}

// A check box's state: 0 clear, 1 checked.
int onOff(const QCommandLineParser& parser, const QString& option)
{
    return 1 - choice(parser, option, u"on"_s, u"off"_s);
}

// The start number as the window's box holds it: one to five digits.
QString startNumber(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (!isStartNumber(trimmed))
        throw UsageError{u"--start takes a whole number from 0 to 99999, not '"_s + text + u"'"_s};
    return trimmed;
}

// The destination must exist and take new files before anything is read or written.
QString checkedDestination(const QString& typed)
{
    const QFileInfo info(typed.trimmed());
    if (typed.trimmed().isEmpty())
        throw RunFailure{u"no destination folder: give --destination DIR, or choose one in the "
                         u"window first"_s};
    if (!info.isDir())
        throw RunFailure{u"the destination folder "_s + QDir::toNativeSeparators(typed) +
                         u" does not exist"_s};
    QTemporaryFile probe(info.absoluteFilePath() + u"/.lorvo-XXXXXX"_s);
    if (!probe.open())
        throw RunFailure{u"the destination folder "_s +
                         QDir::toNativeSeparators(info.absoluteFilePath()) +
                         u" cannot be written: "_s + probe.errorString()};
    return QDir::toNativeSeparators(info.absoluteFilePath());
}

// Why Outlook may show no knowledge-base folder although one was set up: the stores of the
// profile that cannot be opened (damaged, missing), with their faults; empty when all open.
QString storeFaults(OutlookSession& session)
{
    QStringList faults;
    ignoreErrors([&] {
        const outlook::FoldersPtr stores = session.goNameSpace->Folders();
        for (int i = 1; i <= stores->Count(); ++i) {
            try {
                stores->Item(i)->Name();
            } catch (const Error& e) {
                faults.append(e.description());
            }
        }
    });
    if (faults.isEmpty())
        return {};
    return u" A store of the Outlook profile cannot be opened: "_s + faults.join(u"; "_s);
}

// Selects exactly the named entries of a list; an unknown name is an error.
void selectOnly(MainWindowLogic& logic, ListId id, const QList<ListEntry>& entries,
                const QStringList& wanted, const QString& option)
{
    QList<bool> chosen(entries.size(), false);
    for (const QString& name : wanted) {
        bool found = false;
        for (qsizetype row = 0; row < entries.size(); ++row) {
            if (entries.at(row).text.trimmed().compare(name.trimmed(), Qt::CaseInsensitive) == 0) {
                chosen[row] = true;
                found = true;
            }
        }
        if (!found) {
            QStringList known;
            for (const ListEntry& entry : entries)
                known.append(entry.text);
            throw RunFailure{u"no article has the "_s + option + u" '"_s + name.trimmed() +
                             u"'; the knowledge base has: "_s + known.join(u", "_s)};
        }
    }
    for (qsizetype row = 0; row < entries.size(); ++row)
        logic.listSelectionChanged(id, int(row), chosen.at(row));
}

void addOptions(QCommandLineParser& parser)
{
    parser.setApplicationDescription(
        u"Publishes the knowledge-base folder as a static web site. Started without arguments, "
        u"LorvoArchive opens its window.\n\nWith --generate it publishes without the window and "
        u"without asking anything. The knowledge-base folder is the one Outlook's window shows. "
        u"Options left out take the values last saved in the window; nothing is saved back. The "
        u"path of index.htm is printed on stdout; progress and problems go to stderr. Exit code: "
        u"0 published, 1 failed, 2 wrong arguments."_s);
    parser.addOptions({
        {QStringList{u"h"_s, u"help"_s}, u"Shows this help."_s},
        {kGenerate, u"Publishes without the window."_s},
        {kDestination, u"The existing folder to write the web site to."_s, u"DIR"_s},
        {kGroup,
         u"category-type: an outline grouped by problem category and type; none: one flat "
         u"list of every article."_s,
         u"category-type|none"_s},
        {kNaming, u"Names the pages after the article's subject or with running numbers."_s,
         u"subject|number"_s},
        {kStart, u"The number before the first numbered page (0 to 99999)."_s, u"N"_s},
        {kToc, u"Puts a link back to index.htm on every page."_s, u"on|off"_s},
        {kCollapsible, u"Lets the outline fold and unfold in the browser."_s, u"on|off"_s},
        {kCollapseInitially, u"Shows the foldable outline folded."_s, u"on|off"_s},
        {kAttachments, u"Converts the article bodies and saves the attachments."_s, u"on|off"_s},
        {kOverwrite, u"Writes pages that exist already again."_s, u"on|off"_s},
        {kCategory,
         u"Publishes this problem category (repeat for more; default: all). Outline only."_s,
         u"TEXT"_s},
        {kType, u"Publishes this problem type (repeat for more; default: all). Outline only."_s,
         u"TEXT"_s},
        {kSearch, u"Adds a search page, search.htm, that works without a server."_s, u"on|off"_s},
        {kSitemapBase,
         u"Writes sitemap.xml with the pages' addresses under this http(s) address of the site "
         u"(empty: no sitemap)."_s,
         u"URL"_s},
    });
}

// What the command line asks for, checked before anything is read or written.
struct Request
{
    std::optional<QString> destination;
    std::optional<int> group;
    std::optional<int> naming;
    std::optional<QString> start;
    std::optional<int> toc, collapsible, collapseInitially, attachments, overwrite, search;
    std::optional<QString> sitemapBase;
    QStringList categories;
    QStringList types;
};

Request readRequest(const QCommandLineParser& parser)
{
    if (!parser.positionalArguments().isEmpty())
        throw UsageError{u"unexpected argument: "_s + parser.positionalArguments().constFirst()};
    if (!parser.isSet(kGenerate))
        throw UsageError{u"the command line needs --generate; without arguments the window "
                         u"opens"_s};
    Request r;
    if (parser.isSet(kDestination))
        r.destination = parser.value(kDestination);
    if (parser.isSet(kGroup))
        r.group = choice(parser, kGroup, u"category-type"_s, u"none"_s);
    if (parser.isSet(kNaming))
        r.naming = choice(parser, kNaming, u"subject"_s, u"number"_s);
    if (parser.isSet(kStart))
        r.start = startNumber(parser.value(kStart));
    const auto flag = [&](const QString& option, std::optional<int>& into) {
        if (parser.isSet(option))
            into = onOff(parser, option);
    };
    flag(kToc, r.toc);
    flag(kCollapsible, r.collapsible);
    flag(kCollapseInitially, r.collapseInitially);
    flag(kAttachments, r.attachments);
    flag(kOverwrite, r.overwrite);
    flag(kSearch, r.search);
    if (parser.isSet(kSitemapBase)) {
        r.sitemapBase = parser.value(kSitemapBase).trimmed();
        if (!r.sitemapBase->isEmpty() && !sitemapBase(*r.sitemapBase))
            throw UsageError{u"--sitemap-base takes the site's address, starting with http:// or "
                             u"https://, not '"_s +
                             parser.value(kSitemapBase) + u"'"_s};
    }
    r.categories = parser.values(kCategory);
    r.types = parser.values(kType);
    return r;
}

// The window's logic, loaded as at start-up and set as the command line asks.
void applyRequest(MainWindowLogic& logic, const Request& r)
{
    if (r.destination)
        logic.destinationEdited(*r.destination);
    if (r.naming)
        logic.optNamingClick(*r.naming);
    if (r.start)
        logic.numberingEdited(*r.start);
    const auto set = [&](Check check, const std::optional<int>& value) {
        if (value)
            logic.checkClick(check, *value);
    };
    set(Check::ExtractIndexPage, r.toc);
    set(Check::Collapse, r.collapsible);
    set(Check::CollapseInitially, r.collapseInitially);
    set(Check::Attachments, r.attachments);
    set(Check::Overwrite, r.overwrite);
    set(Check::Search, r.search);
    if (r.sitemapBase)
        logic.sitemapBaseEdited(*r.sitemapBase);
    // Nobody is at the desktop to look at the result.
    logic.checkClick(Check::Run, 0);
    if (r.group)
        logic.optGroupClick(*r.group);

    if (logic.state().group == 0 && logic.collection().categories.isEmpty())
        throw RunFailure{u"the articles name no problem category, so they cannot be grouped: "
                         u"use --group none"_s};
    if (logic.state().group != 0 && !(r.categories.isEmpty() && r.types.isEmpty()))
        throw UsageError{u"--category and --type choose what the outline shows; with --group "
                         u"none every article is published"_s};
    if (!r.categories.isEmpty())
        selectOnly(logic, ListId::Category, logic.collection().categories.entries(), r.categories,
                   u"problem category"_s);
    if (!r.types.isEmpty())
        selectOnly(logic, ListId::Type, logic.collection().types.entries(), r.types,
                   u"problem type"_s);
}

// What a run published: index.htm's path, the articles it left out, and whether it got as far as
// writing the site.
struct Publication
{
    QString index;
    QList<LeftOutArticle> leftOut;
    bool completed = false;
};

// The window's logic, run without the window on Outlook's knowledge-base folder.
Publication publish(const Request& request, const CommandLineServices& services,
                    NoAnswerDialogs& dialogs, QTextStream& err)
{
    // Nothing is opened on a desktop: the run may be scheduled on a machine nobody watches.
    CommandLineShell shell(err, kProgram);
    LocalFileSystem fs;
    HostPlatform platform;
    CommandLineEnd end;
    const std::unique_ptr<outlook::Provider> provider = services.makeOutlook(dialogs, shell);
    Runtime rt(Services{dialogs, shell, fs, platform, end, *provider}, kProgram);
    Settings settings(services.settings);
    ArticleCollection collection(rt);
    Generators generators(rt, collection, services.codec);
    MainWindowLogic logic(rt, settings, services.codec, collection, &generators.flat,
                          &generators.outline);
    ProgressView view(logic, err, services.progressBar);
    dialogs.beforeRefusal = [&view] { view.endLine(); };
    struct Unhook // the view goes before the dialogs do
    {
        NoAnswerDialogs& dialogs;
        ~Unhook() { dialogs.beforeRefusal = nullptr; }
    } unhook{dialogs};

    // Only the folder Outlook shows: a scheduled run has nobody to pick another one.
    OutlookSession& session = rt.session();
    session.subConnectOutlook(outlook::olFolderInbox);
    session.subGetRootCurrent(outlook::olFolderCalendar);
    if (!ArticleCollection::isKnowledgeBaseFolder(session.goCurrentFolder))
        throw RunFailure{u"Failed to get Knowledge Base Folder! Outlook's window does not show "
                         u"one; show it there, or create one with LorvoSetup."_s +
                         storeFaults(session)};

    logic.formLoad();
    applyRequest(logic, request);
    const QString destination = checkedDestination(logic.state().destination);
    logic.destinationEdited(destination);
    Publication site;
    site.index = QDir::toNativeSeparators(destination + u"/index.htm"_s);
    logic.onLeftOut = [&site](const QList<LeftOutArticle>& articles) { site.leftOut = articles; };
    logic.setView(&view);
    logic.cmdGenerateClick();
    view.endLine();
    logic.setView(nullptr);
    site.completed = view.started() && QFileInfo::exists(site.index);
    return site;
}

} // namespace

bool isCommandLineMode(int argc)
{
    return argc > 1;
}

int runCommandLine(const QStringList& arguments, const CommandLineServices& services,
                   QTextStream& out, QTextStream& err)
{
    QCommandLineParser parser;
    addOptions(parser);
    const auto usage = [&](const QString& problem) {
        err << kProgram << ": " << problem << Qt::endl
            << u"Run \"LorvoArchive --help\" to see the options."_s << Qt::endl;
        return 2;
    };
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(u"help"_s)) {
        out << parser.helpText();
        out.flush();
        return 0;
    }

    NoAnswerDialogs dialogs(err, kProgram);
    Publication site;
    int code = 0;
    try {
        code = runWork(err, kProgram, dialogs, u"the run ended before the web site was written."_s,
                       [&](bool& done) {
                           const Request request = readRequest(parser);
                           if (request.destination)
                               checkedDestination(*request.destination);
                           site = publish(request, services, dialogs, err);
                           done = site.completed;
                       });
    } catch (const UsageError& e) {
        return usage(e.message);
    }
    if (code != 0)
        return code;
    out << site.index << Qt::endl;
    // The site is there, but without these articles: the run did not do all it was asked to.
    for (const LeftOutArticle& article : std::as_const(site.leftOut))
        err << kProgram << ": left out '" << article.subject << "': " << article.reason << Qt::endl;
    return site.leftOut.isEmpty() ? 0 : 1;
}

} // namespace lorvo::archive
