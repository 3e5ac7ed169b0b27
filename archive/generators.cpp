#include "archive/generators.h"

#include "archive/article.h"
#include "archive/collection.h"
#include "archive/conversion.h"
#include "archive/destination.h"
#include "archive/encoding.h"
#include "archive/inlinepictures.h"
#include "archive/pagewriter.h"
#include "archive/safeitem.h"
#include "archive/site.h"
#include "archive/toc.h"
#include "shared/dictionary.h"
#include "shared/filehandling.h"
#include "shared/outlooksession.h"
#include "shared/runtime.h"

#include <QDir>
#include <QHash>
#include <QList>
#include <QSet>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace toc {

namespace {

QString listItemOpen(bool collapsible)
{
    return collapsible ? u"<li STYLE=\"cursor:hand\"><p class=\"LiStyle\">"_s
                       : u"<li><p class=\"LiStyle\">"_s;
}

QString groupHeader(bool collapsible, const QString& text)
{
    return listItemOpen(collapsible) + u"<b>"_s + htmlEscape(text) + u"</b></p><ul>"_s;
}

} // namespace

QString flatLine(const QString& pageName, const QString& subject)
{
    return u"<li><a href='"_s + hrefEncode(pageName) + u"'>"_s + htmlEscape(subject) +
           u"</a></li>"_s;
}

QString listOpener(bool collapsible, bool collapseInitially)
{
    if (!collapsible)
        return u"<ul>"_s;
    return collapseInitially ? u"<ul dynamicoutline initcollapsed>"_s : u"<ul dynamicoutline>"_s;
}

QString categoryHeader(bool collapsible, const QString& category)
{
    return groupHeader(collapsible, category);
}

QString typeHeader(bool collapsible, const QString& type)
{
    return groupHeader(collapsible, type);
}

QString articleLine(bool collapsible, const QString& pageName, const QString& subject)
{
    return listItemOpen(collapsible) + u"<a href='"_s + hrefEncode(pageName) + u"'>"_s +
           htmlEscape(subject) + u"</a></p></li>"_s;
}

} // namespace toc

namespace {

const QString kArticleClass = u"IPM.Post.HelpdeskKBArticle"_s;
const QString kProblemType = u"Problem Type"_s;
const QString kProblemCategory = u"Problem Category"_s;

// Where an item was seen and what it is: it is found again by its identity, first at the
// position where it was seen (cheap where nothing moved), else by asking the store for it.
struct ItemRef
{
    int index = 0;   // the item's position in the folder when it was read
    QString entryId; // its identity
};

// An article between the moment its item was read and the moment its page is written. The body
// is read only when the page is written (unless the conversion gave one), so that a run holds
// the bodies of the pages it is writing, not of every article it has seen.
struct PendingArticle
{
    cArticle article;
    ItemRef item;         // its item, to read its body again when its page is written
    qint32 folder = 0;    // the number of its attachment folder (n_files)
    bool hasBody = false; // article.Body holds the converted body
    bool keep = false;    // no page exists at its path, or overwriting is on
    bool convert = false; // its body is to be converted and its attachments saved when its
                          // page is written
    QDateTime modified;   // the item's last modification, the page's file time
};

// The work both generators share around their passes: the start checks, the running number, one
// article's preparation, the writing of its page and the closing steps.
class ArticleRun
{
public:
    ArticleRun(const GeneratorServices& services, GenerationHost& host, Trap& trap)
        : m_s(services), m_rt(services.rt), m_host(host), m_trap(trap)
    {
    }

    GenerationOptions options;
    QString destination;
    qint32 number = 0;
    outlook::ItemsPtr items;
    quint8 collapse = 0; // the outline's collapsing as the run started; the flat list's is 0

    // The checks, the items counted, the destination taken and index.htm begun: the number of
    // items when there are pages to write, nothing when the run ends here.
    std::optional<int> begin(bool outline)
    {
        if (!start())
            return {};
        if (outline)
            collapse = quint8(options.collapse);
        m_trap.step(40, u"Counting the items"_s);
        const int count = items->Count();
        if (count == 0) {
            restore();
            return {};
        }
        if (!takeDestination())
            return {};
        m_trap.step(50, u"Writing the table of contents"_s);
        openToc();
        return count;
    }

private:
    // The destination and start-number checks and the knowledge-base folder. False when the run
    // ends here; the user has been told why.
    bool start()
    {
        options = m_host.options();
        const QString typed = options.destination.trimmed();
        m_trap.step(10, u"Checking the destination folder "_s + typed);
        if (typed.isEmpty() || !m_rt.fs().folderExists(typed)) {
            refuse(u"Please specify a valid folder path to place the files!"_s);
            return false;
        }
        bool numeric = false;
        const qint32 first = options.numbering.trimmed().toInt(&numeric);
        if (!numeric) {
            refuse(u"Please enter a whole number as the start number of the page numbering!"_s);
            return false;
        }
        const QString base = options.sitemapBase.trimmed();
        if (!base.isEmpty() && !(m_sitemap = sitemapBase(base))) {
            refuse(sitemapBaseMessage());
            return false;
        }
        m_search = options.search == 1;
        destination = fncClearEndSlash(typed);
        number = first;
        // Page names are cut to fit the path rule; too few characters left would give names
        // that overwrite each other.
        if (destination.size() > maxDestinationLength()) {
            refuse(u"The path of the destination folder is too long to leave room for the page "
                   u"names. Please choose a folder whose path has at most %1 characters."_s.arg(
                       maxDestinationLength()));
            return false;
        }

        m_trap.step(20, u"Trying to open Outlook"_s);
        OutlookSession& session = m_rt.session();
        if (!ArticleCollection::isKnowledgeBaseFolder(session.goCurrentFolder))
            m_s.collection.ensureKnowledgeBaseFolder(m_host.ownerWindow(), m_trap.procedure());
        m_host.clearCancel();
        m_trap.step(30, u"Reading the items of the Knowledge Base folder"_s);
        items = session.goCurrentFolder->Items();
        ignoreErrors([&] { m_published = PublishedPages(items->Count()); });
        ignoreErrors([&] { m_storeId = session.goCurrentFolder->StoreID(); });
        return true;
    }

    // Takes the destination for this run before anything is written there: its lock, then its
    // working folder. False when another run holds it; the user has been told.
    bool takeDestination()
    {
        m_trap.step(32, u"Locking the destination folder "_s + destination);
        m_lock.emplace(destination);
        if (!m_lock->tryLock()) {
            const qint64 holder = m_lock->holder();
            refuse(u"Another LorvoArchive"_s +
                   (holder > 0 ? u" (process %1)"_s.arg(holder) : QString()) +
                   u" is publishing to this folder: "_s + QDir::toNativeSeparators(destination) +
                   u"\r\nPlease try again when it has finished."_s);
            return false;
        }
        m_trap.step(34, u"Clearing the working folder of "_s + destination);
        m_work.emplace(m_rt.fs(), destination);
        if (options.overwrite != 1)
            surveyPages();
        return true;
    }

public:
    // Lets the window's events run; the options may have changed meanwhile.
    void yield()
    {
        m_host.processEvents();
        // Exit or the window's closing ended the program while it yielded: so does the run.
        if (m_rt.programEnd().hasEnded())
            throw ProgramEnded{};
        options = m_host.options();
    }

    bool cancelled() { return m_host.cancelRequested(); }

    // The running number for the next item; passing the largest number is an error.
    qint32 nextNumber()
    {
        if (number == std::numeric_limits<qint32>::max())
            throw Error(err::Overflow, u"Overflow"_s);
        return ++number;
    }

    outlook::ItemPtr fetch(int index)
    {
        outlook::ItemPtr item;
        ignoreErrors([&] { item = items->Item(index); });
        return item;
    }

    // The item seen there, or null when it was deleted or moved meanwhile: never another item
    // that took its position.
    outlook::ItemPtr find(const ItemRef& ref)
    {
        outlook::ItemPtr item = fetch(ref.index);
        // Still there when it can be read (what was read is kept for what follows).
        bool same = false;
        ignoreErrors([&] {
            same = item && item->EntryID() == ref.entryId && !item->MessageClass().isNull();
        });
        if (same)
            return item;
        item.reset();
        if (const outlook::NameSpacePtr ns = m_rt.session().goNameSpace)
            ignoreErrors([&] { item = ns->GetItemFromID(ref.entryId, m_storeId); });
        return item;
    }

    static ItemRef refer(const outlook::ItemPtr& item, int index)
    {
        ItemRef ref{index, {}};
        ignoreErrors([&] { ref.entryId = item->EntryID(); });
        return ref;
    }

    QString field(const outlook::ItemPtr& item, const QString& name)
    {
        QString value;
        ignoreErrors([&] {
            value = m_rt.session().fncGetOutlookValue(item, name, vbString, QString()).toString();
        });
        return value;
    }

    // One article's record, page path, keep decision and attachment folder; with attachments
    // included the body of an article whose page is written is converted and its attachments
    // are saved when its page is written (convertAndSave), so that a run holds the converted
    // bodies of the pages it is writing only, and pages go to the disk while the next bodies
    // are converted.
    PendingArticle prepare(const outlook::ItemPtr& item, const ItemRef& ref, qint32 articleNumber,
                           const QString& problemType, const QString& problemCategory)
    {
        PendingArticle p;
        p.item = ref;
        cArticle& a = p.article;
        ignoreErrors([&] { a.Subject = item->Subject().trimmed(); });
        a.ProblemType = problemType;
        a.ProblemCategory = problemCategory;
        ignoreErrors([&] {
            const QString name =
                pageFileName(options.namingScheme, a.Subject, articleNumber, ref.entryId);
            a.strWebPagePath = pageFilePath(destination, name);
        });
        ignoreErrors([&] { p.keep = options.overwrite == 1 || !pageExists(a.strWebPagePath); });
        // A page that stays as it is keeps its body, its attachments and its pictures: nothing
        // is converted or saved for it, and its attachment folder is nobody else's.
        if (!p.keep)
            return p;
        p.folder = m_folders.take(articleNumber);
        p.convert = options.attachments == 1;
        return p;
    }

    // The article's body converted and its attachments saved when "Include Attachments" asked
    // for it and that is still to do.
    void convertAndSave(PendingArticle& p, const outlook::ItemPtr& item)
    {
        if (!p.convert)
            return;
        p.convert = false;
        cArticle& a = p.article;
        std::optional<QString> converted;
        ignoreErrors([&] {
            converted = m_s.conversion.convertBody(item, *m_work, QString::number(p.folder));
        });
        if (converted) {
            a.Body = *converted;
            p.hasBody = true;
        }
        a.Attachments = fncSaveAttachements(m_rt, m_s.images, item, destination, p.folder);
    }

    // The article's page, with its body read now unless the conversion gave one and the
    // pictures its body shows from the item's attachments written beside it, then its line in the
    // table of contents. A page that cannot be written leaves the article out; it is named at the
    // end of the run.
    void publish(PendingArticle& p, const QString& tocLine)
    {
        cArticle& a = p.article;
        a.TOClink = options.generateToc == 1 ? tocBackLink() : QString();
        // Found again once, when it is needed, by its identity: an item deleted meanwhile leaves
        // its article out rather than giving its page an empty body, or another article's.
        outlook::ItemPtr item;
        bool looked = false;
        const auto found = [&] {
            if (!looked) {
                item = find(p.item);
                looked = true;
            }
            if (!item)
                throw Error(err::FileNotFound, u"The article was deleted or moved while the "
                                               u"pages were written."_s);
            return item;
        };
        // The body as written, for the search index.
        QString body;
        const auto loadBody = [&] {
            QString loaded = p.article.Body;
            const outlook::ItemPtr source = found();
            if (!p.hasBody)
                ignoreErrors([&] { loaded = m_s.safeItem.getSafeHTMLBody(source); });
            // The date lies behind the bodies in the item: read now that all of it is.
            ignoreErrors([&] { p.modified = source->LastModificationTime(); });
            if (m_search)
                body = loaded;
            return linkInlinePictures(m_rt, item, loaded, destination, p.folder, m_work->path());
        };
        std::optional<QString> page;
        try {
            if (p.convert)
                convertAndSave(p, found());
            // A page of this name (in any letter case) stays as it is when overwriting is off.
            // The page is as old as its article, not as the run (loadBody reads the date of an
            // article that has none yet).
            if (options.overwrite == 1 || !pageExists(a.strWebPagePath))
                page = pageToWrite(m_rt, a.strWebPagePath, a, 1, loadBody);
        } catch (const std::exception& e) {
            leaveOut({a.Subject, toError(e).description()});
            a = cArticle{};
            return;
        }
        PublishedPage entry{fncGetFileName(a.strWebPagePath),
                            a.Subject,
                            a.ProblemCategory,
                            a.ProblemType,
                            QString(),
                            p.modified};
        const QByteArray line = toWindows1252(tocLine);
        if (page)
            writePage(a.strWebPagePath, *page, p.modified, std::move(entry), line, body);
        else
            m_writer.then([this, entry = std::move(entry), line] { list(entry, false, line); });
        // The page is on its way or stays as it is: its text is no longer needed.
        a = cArticle{};
    }

    // The page given to the page writer. Once it is written, its entry in the site and its line
    // in index.htm follow; a page that could not be written names its article among those left
    // out instead.
    void writePage(const QString& path, const QString& page, const QDateTime& modified,
                   PublishedPage entry, const QByteArray& line, const QString& body)
    {
        const QString key = pageKey(path);
        m_writing.insert(key);
        m_rt.setStep(u"Writing file to "_s + path);
        // Written whole, so the old page is replaced only by a complete new one.
        m_writer.write(
            path, page, pageBytes, modified,
            [this, entry = std::move(entry), line, key, body](std::exception_ptr failure) mutable {
                m_writing.remove(key);
                if (failure) {
                    try {
                        std::rethrow_exception(failure);
                    } catch (const std::exception& e) {
                        m_leftOut.append({entry.subject, toError(e).description()});
                    }
                    return;
                }
                m_pages.insert(key);
                entry.text = htmlText(body, m_published.textLimit());
                list(entry, true, line);
            });
    }

    // An article in the site's lists and in index.htm.
    void list(const PublishedPage& entry, bool written, const QByteArray& line)
    {
        m_published.add(entry, written);
        m_toc->write(line);
    }

    void openToc()
    {
        m_toc = fncWriteTOC(m_rt, destination + u"/index.htm"_s, collapse);
        if (m_search)
            write(searchPageLink());
    }

    // Named at the end of the run, in the order of the articles.
    void leaveOut(LeftOutArticle article)
    {
        m_writer.then([this, article = std::move(article)] { m_leftOut.append(article); });
    }

    // In index.htm after the lines of the pages still being written.
    void write(const QString& markup)
    {
        m_writer.then([this, bytes = toWindows1252(markup)] { m_toc->write(bytes); });
    }

    // Makes index.htm visible as far as it is written.
    void commitToc()
    {
        m_trap.step(900, u"Writing file to "_s + destination + u"/index.htm"_s);
        m_toc->commit();
        m_toc.reset();
    }

    // index.htm with nothing but its head, and the search page it links when asked for.
    void commitHeadOnly()
    {
        // Every page written and listed before the site files and index.htm's end.
        m_writer.finish();
        writeSiteFiles(m_rt, destination, m_published, m_search, m_sitemap);
        commitToc();
    }

    // The closing steps: support files, the word processor let go, index.htm closed, the
    // working folder removed, the articles left out named and, when asked for, index.htm opened.
    void finish()
    {
        // Every page written and listed before the site files and index.htm's end.
        m_writer.finish();
        subExtractFilesFromResource(m_rt, destination, collapse);
        writeSiteFiles(m_rt, destination, m_published, m_search, m_sitemap);
        m_s.conversion.quitWordProcessor();
        write(toc::closing());
        commitToc();
        dateSiteFiles(m_rt, destination, m_published, m_search, m_sitemap);
        m_work.reset();
        if (!m_leftOut.isEmpty())
            m_host.reportLeftOut(m_leftOut);
        if (options.runToc == 1 && options.generateToc == 1)
            m_rt.shell().open(destination + u"/index.htm"_s, WindowStyle::Normal);
    }

    // The window as it was before the run.
    void restore()
    {
        m_host.endProgress();
        m_host.setGenerateCaption(kGenerateCaption);
    }

private:
    void refuse(const QString& message)
    {
        m_host.setGenerateCaption(kGenerateCaption);
        m_rt.msgBox(message, Buttons::Ok, Icon::Information, {}, m_host.ownerWindow());
    }

    QString pageKey(const QString& path) const
    {
        return path.mid(destination.size() + 1).toLower();
    }

    // Whether a page exists at the path, without regard to letter case as on the file systems
    // the pages are published from: a page differing only in case is the same page there.
    bool pageExists(const QString& path)
    {
        const QString key = pageKey(path);
        // A page on its way counts once its write has worked.
        if (m_writing.contains(key))
            m_writer.finish();
        return m_pages.contains(key) || m_rt.fs().fileExists(path);
    }

    // With overwriting off, the pages that stand in the destination: their names, and the
    // attachment folders they link, which no other article may take.
    void surveyPages()
    {
        m_trap.step(36, u"Reading the pages in "_s + destination);
        const QStringList names = QDir(destination).entryList({u"*.htm"_s}, QDir::Files);
        for (const QString& name : names) {
            m_pages.insert(name.toLower());
            if (name.compare("index.htm"_L1, Qt::CaseInsensitive) != 0)
                ignoreErrors([&] {
                    m_folders.reserveLinkedBy(m_rt.fs().readFile(destination + u'/' + name));
                });
        }
    }

    const GeneratorServices& m_s;
    Runtime& m_rt;
    GenerationHost& m_host;
    Trap& m_trap;
    QString m_storeId;
    std::optional<DestinationLock> m_lock;
    std::optional<WorkingFolder> m_work;
    QSet<QString> m_pages; // page names in lower case: standing, or written by this run
    AttachmentFolders m_folders;
    QList<LeftOutArticle> m_leftOut;
    std::unique_ptr<TextSink> m_toc;
    // The search page and the sitemap, as the options asked for them when the run started.
    bool m_search = false;
    std::optional<QUrl> m_sitemap;
    PublishedPages m_published;
    QSet<QString> m_writing; // page names in lower case, on their way
    // Last, so that its pages are written before the working folder and the lock go.
    PageWriter m_writer{m_rt.fs()};
};

} // namespace

void FlatGenerator::generate(GenerationHost& host)
{
    Trap t(m_services.rt, u"subGenerateArticlesNormal"_s);
    t.run([&] {
        ArticleRun run(m_services, host, t);
        const std::optional<int> count = run.begin(false);
        if (!count)
            return;
        run.write(u"<ul>"_s);
        host.beginProgress(*count);
        CaseBlindDictionary<PendingArticle> dicArticles =
            m_services.rt.files().fncCreateDic<PendingArticle>();

        int progress = 0;
        for (int i = 1; i <= *count; ++i) {
            t.step(60, u"Reading item "_s + QString::number(i));
            const outlook::ItemPtr item = run.fetch(i);
            if (!item)
                continue;
            run.yield();
            if (run.cancelled())
                break;
            if (item->MessageClass().compare(kArticleClass, Qt::CaseInsensitive) != 0)
                continue;
            const qint32 n = run.nextNumber();
            host.setProgress(++progress);
            // Converted when its page is written; a later article of a subject listed already
            // is dropped, its files saved all the same.
            PendingArticle p =
                run.prepare(item, ArticleRun::refer(item, i), n, run.field(item, kProblemType),
                            run.field(item, kProblemCategory));
            if (p.keep) {
                const QString subject = p.article.Subject;
                if (dicArticles.Exists(subject))
                    run.convertAndSave(p, item);
                else
                    dicArticles.Add(subject, std::move(p));
            }
        }

        t.step(70, u"Writing the pages"_s);
        for (auto& [subject, p] : dicArticles)
            run.publish(p,
                        toc::flatLine(fncGetFileName(p.article.strWebPagePath), p.article.Subject));
        dicArticles.RemoveAll();

        t.step(80, u"Closing the table of contents"_s);
        run.finish();
        run.restore();
    });
}

namespace {

// What the outline's passes need of one item of the folder, read once per run.
struct ScannedItem
{
    ItemRef item;    // the item, to find it again in its pass
    int ordinal = 0; // position among the items a pass examines
    QString problemType;
    QString problemCategory;
};

// The folder's items read once: their fields, grouped by (category, type) as the lists show
// them (trimmed, in lower case), so that a pass finds its articles without reading the folder
// again.
struct FolderScan
{
    int examined = 0; // items each pass examines (fetched and present)
    QHash<std::pair<QString, QString>, QList<ScannedItem>> byPair;
};

// The key of a (category, type) pair: the lists trim their entries, so the items' values are
// compared trimmed too, or an article with a blank around its category would match no entry.
std::pair<QString, QString> pairKey(const QString& category, const QString& type)
{
    return {category.trimmed().toLower(), type.trimmed().toLower()};
}

FolderScan scanFolder(ArticleRun& run, int count)
{
    FolderScan scan;
    for (int i = 1; i <= count; ++i) {
        const outlook::ItemPtr item = run.fetch(i);
        if (!item)
            continue;
        ScannedItem s;
        s.item = ArticleRun::refer(item, i);
        s.ordinal = scan.examined++;
        s.problemType = run.field(item, kProblemType);
        s.problemCategory = run.field(item, kProblemCategory);
        scan.byPair[pairKey(s.problemCategory, s.problemType)].append(s);
    }
    return scan;
}

// The outline's headings in index.htm: a category's and a type's are written before the first
// article under them and closed after the last, so that a heading without articles never shows.
class OutlineHeadings
{
public:
    OutlineHeadings(ArticleRun& run, bool collapsible) : m_run(run), m_collapsible(collapsible) {}

    void beginCategory(const QString& text)
    {
        m_category = toc::categoryHeader(m_collapsible, text);
        m_categoryWritten = false;
    }

    void beginType(const QString& text)
    {
        m_type = toc::typeHeader(m_collapsible, text);
        m_typeWritten = false;
    }

    // Before an article's line: the headings above it that are not written yet.
    void beforeArticle()
    {
        writePending(m_category, m_categoryWritten);
        writePending(m_type, m_typeWritten);
    }

    void endType()
    {
        if (m_typeWritten)
            m_run.write(toc::endOfType());
    }

    void endCategory()
    {
        if (m_categoryWritten)
            m_run.write(toc::endOfCategory());
    }

private:
    void writePending(std::optional<QString>& heading, bool& written)
    {
        if (!heading)
            return;
        m_run.write(*heading);
        heading.reset();
        written = true;
    }

    ArticleRun& m_run;
    bool m_collapsible;
    std::optional<QString> m_category; // still to be written
    std::optional<QString> m_type;
    bool m_categoryWritten = false;
    bool m_typeWritten = false;
};

// The outline's passes: one per selected (category, type) pair, in the lists' order, each
// publishing the pair's articles under their headings. The folder is read once, at the first pass.
class OutlinePasses
{
public:
    OutlinePasses(const GeneratorServices& services, GenerationHost& host, ArticleRun& run,
                  Trap& trap, int count)
        : m_s(services), m_host(host), m_run(run), m_trap(trap), m_count(count),
          m_collapsible(run.collapse != 0), m_headings(run, m_collapsible)
    {
    }

    void run(int categoryCount)
    {
        for (int i = 0; i < categoryCount; ++i) {
            ignoreErrors([&] {
                m_run.yield();
                m_host.setProgress(i + 1);
            });
            if (i == 0) {
                ignoreErrors([&] {
                    m_run.write(
                        toc::listOpener(m_collapsible, m_run.options.collapseInitially == 1));
                });
            }
            if (m_run.cancelled())
                return;
            const ListEntry category = m_host.categories().value(i);
            if (category.selected)
                publishCategory(category.text);
        }
    }

private:
    // The types are read as the run reaches them: a selection changed meanwhile counts.
    void publishCategory(const QString& category)
    {
        m_headings.beginCategory(category);
        const int typeCount = int(m_host.types().size());
        for (int j = 0; j < typeCount; ++j) {
            const ListEntry type = m_host.types().value(j);
            if (!type.selected)
                continue;
            m_run.yield();
            if (m_run.cancelled())
                break;
            publishPair(category, type.text);
        }
        m_headings.endCategory();
    }

    void publishPair(const QString& category, const QString& type)
    {
        m_headings.beginType(type);
        m_trap.step(60, u"Reading the items for "_s + category + u", "_s + type);
        if (!m_scan)
            m_scan = scanFolder(m_run, m_count);
        // Every item a pass examines counts in its numbering, as a scan of the folder would.
        const qint64 base = m_run.number;
        if (base + m_scan->examined > std::numeric_limits<qint32>::max())
            throw Error(err::Overflow, u"Overflow"_s);
        m_run.number = qint32(base + m_scan->examined);

        CaseBlindDictionary<PendingArticle> dic = m_s.rt.files().fncCreateDic<PendingArticle>();
        for (const ScannedItem& s : m_scan->byPair.value(pairKey(category, type))) {
            m_trap.step(70, u"Reading item "_s + QString::number(s.item.index));
            const outlook::ItemPtr item = m_run.find(s.item);
            if (!item)
                continue;
            // Converted when its page is written, so that the pages of a pair go to the disk
            // while the next bodies are converted; a later article of a subject listed already
            // is dropped, its files saved all the same.
            PendingArticle p = m_run.prepare(item, s.item, qint32(base + s.ordinal + 1),
                                             s.problemType, s.problemCategory);
            m_headings.beforeArticle();
            if (p.keep) {
                const QString subject = p.article.Subject;
                if (dic.Exists(subject))
                    m_run.convertAndSave(p, item);
                else
                    dic.Add(subject, std::move(p));
            }
        }

        m_trap.step(80, u"Writing the pages for "_s + category + u", "_s + type);
        for (auto& [subject, p] : dic)
            m_run.publish(p,
                          toc::articleLine(m_collapsible, fncGetFileName(p.article.strWebPagePath),
                                           p.article.Subject));
        m_headings.endType();
    }

    const GeneratorServices& m_s;
    GenerationHost& m_host;
    ArticleRun& m_run;
    Trap& m_trap;
    int m_count;
    bool m_collapsible;
    OutlineHeadings m_headings;
    std::optional<FolderScan> m_scan;
};

} // namespace

void OutlineGenerator::generate(GenerationHost& host)
{
    Trap t(m_services.rt, u"subGenerateArticlesOutline"_s);
    t.run([&] {
        ArticleRun run(m_services, host, t);
        const std::optional<int> count = run.begin(true);
        if (!count)
            return;
        const int categoryCount = int(host.categories().size());
        host.beginProgress(categoryCount);
        if (categoryCount == 0) {
            // index.htm keeps its head alone; nothing else is written.
            run.commitHeadOnly();
            run.restore();
            return;
        }
        OutlinePasses(m_services, host, run, t, *count).run(categoryCount);
        t.step(90, u"Closing the table of contents"_s);
        run.finish();
        run.restore();
    });
}

Generators::Generators(Runtime& rt, ArticleCollection& collection, ImageCodec& images)
    : m_safeItem(std::make_unique<SafeItem>(rt)),
      m_conversion(std::make_unique<BodyConversion>(rt, *m_safeItem)),
      flat({rt, collection, *m_safeItem, *m_conversion, images}),
      outline({rt, collection, *m_safeItem, *m_conversion, images})
{
}

Generators::~Generators() = default;

} // namespace lorvo::archive
