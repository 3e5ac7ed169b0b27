// lorvo-bench: speed and memory of the two generators on a synthetic knowledge base, with
// MHonArc on the same articles as the yardstick.
//
//   lorvo-bench [--attachments] [--search] N...
//       builds a store of N articles for each N and prints articles per second and peak memory
//       of each generator; with --search the flat generator also writes the search page, and
//       the size of its index and the time a search takes in headless Chromium are printed
//
// Each generator runs in a child process of its own, so that its peak memory is its own.

#include "archive/collection.h"
#include "archive/generators.h"
#include "archive/imaging_qt.h"
#include "localoutlook/store.h"
#include "shared/errorhandling.h"
#include "shared/outlooksession.h"
#include "tests/support/devtools.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>
#include <cstdio>
#include <random>

#if __has_include(<sys/resource.h>)
#include <sys/resource.h>
#define LORVO_BENCH_RUSAGE 1
#endif

using namespace Qt::StringLiterals;
using namespace lorvo;

namespace {

constexpr int kCategories = 20;
constexpr int kTypes = 20;

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Peak resident memory of this process in MiB, or -1 where the system does not tell.
double peakMemoryMiB()
{
#ifdef LORVO_BENCH_RUSAGE
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
#endif
    return -1.0;
}

// Processor time (user + system) of this process in seconds, or -1 where the system does not tell.
double cpuSeconds()
{
#ifdef LORVO_BENCH_RUSAGE
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
#endif
    return -1.0;
}

// One synthetic article: words drawn from a small vocabulary, as helpdesk articles read.
struct Article
{
    QString subject;
    QString category;
    QString type;
    QString html;
    QByteArray attachment; // empty: none
};

class ArticleFactory
{
public:
    explicit ArticleFactory(quint32 seed) : m_random(seed) {}

    Article make(int i)
    {
        static const QStringList words = {
            u"printer"_s, u"network"_s, u"password"_s, u"restart"_s, u"driver"_s,   u"outlook"_s,
            u"mailbox"_s, u"folder"_s,  u"access"_s,   u"denied"_s,  u"the"_s,      u"and"_s,
            u"to"_s,      u"of"_s,      u"a"_s,        u"server"_s,  u"settings"_s, u"update"_s,
            u"install"_s, u"error"_s,   u"user"_s,     u"account"_s, u"screen"_s,   u"click"_s,
            u"open"_s,    u"close"_s,   u"window"_s,   u"message"_s, u"cannot"_s,   u"works"_s};
        auto word = [&] { return words.at(int(m_random() % quint32(words.size()))); };
        Article a;
        a.subject = u"How to fix %1 %2 (%3)"_s.arg(word(), word()).arg(i);
        a.category = u"Category %1"_s.arg(int(m_random() % kCategories) + 1, 2, 10, QChar(u'0'));
        a.type = u"Type %1"_s.arg(int(m_random() % kTypes) + 1, 2, 10, QChar(u'0'));
        const int target = 2048 + int(m_random() % (20 * 1024 - 2048));
        QString body;
        body.reserve(target + 512);
        body += u"<html><head><meta http-equiv=Content-Type content=\"text/html; "
                "charset=us-ascii\"><TITLE></TITLE><style>p.MsoNormal {font-size:10.0pt;"
                "font-family:Arial}</style></head><body><div class=Section1>"_s;
        while (body.size() < target) {
            body += u"<p class=MsoNormal><span style='font-size:12.0pt'>"_s;
            for (int w = 0; w < 40; ++w)
                body += word() + u' ';
            body += u"</span></p>\r\n"_s;
        }
        body += u"</div></body></html>"_s;
        a.html = body;
        if (m_random() % 10 == 0)
            a.attachment = QByteArray(4096 + int(m_random() % 8192), 'x');
        return a;
    }

private:
    std::mt19937 m_random;
};

// Builds the store file of n articles in one folder whose home page is the knowledge base's.
void buildStore(const QString& path, int n, bool withAttachments)
{
    ArticleFactory factory(20261207);
    localoutlook::Store::build(path, u"Bench Store"_s, [&](localoutlook::Store& store) {
        localoutlook::FolderRecord folder;
        folder.name = u"Knowledge Base"_s;
        folder.defaultItemType = 6;
        folder.webViewUrl = u"file:///bench/OLorvo.htm"_s;
        folder.webViewOn = true;
        const qint64 id = store.addFolder(store.topFolderId(), folder);
        for (int i = 1; i <= n; ++i) {
            const Article a = factory.make(i);
            localoutlook::ItemRecord item;
            item.messageClass = u"IPM.Post.HelpdeskKBArticle"_s;
            item.subject = a.subject;
            item.htmlBody = a.html;
            const qint64 itemId = store.addItem(id, item);
            store.setField(itemId, u"Problem Category"_s, a.category);
            store.setField(itemId, u"Problem Type"_s, a.type);
            if (withAttachments && !a.attachment.isEmpty())
                store.addAttachment(itemId, u"notes %1.txt"_s.arg(i), a.attachment);
        }
    });
}

// The same articles as an mbox, for MHonArc.
void writeMbox(const QString& path, int n)
{
    ArticleFactory factory(20261207);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write the mbox");
    for (int i = 1; i <= n; ++i) {
        const Article a = factory.make(i);
        QByteArray message;
        message += "From bench@lorvo.example Mon Dec  7 21:00:00 2026\n";
        message += "From: Helpdesk <bench@lorvo.example>\n";
        message += "Subject: " + a.subject.toUtf8() + "\n";
        message += "Date: Mon, 7 Dec 2026 21:00:00 +0000\n";
        message += "Message-ID: <" + QByteArray::number(i) + "@bench.lorvo.example>\n";
        message += "MIME-Version: 1.0\nContent-Type: text/html; charset=us-ascii\n\n";
        QByteArray body = a.html.toUtf8();
        body.replace("\r\n", "\n");
        body.replace("\nFrom ", "\n>From ");
        message += body + "\n\n";
        file.write(message);
    }
}

// A window that nobody touches: every category and type selected, the options as given.
class BenchHost final : public archive::GenerationHost
{
public:
    archive::GenerationOptions opts;
    QList<archive::ListEntry> categoryList;
    QList<archive::ListEntry> typeList;

    archive::GenerationOptions options() override { return opts; }
    QList<archive::ListEntry> categories() override { return categoryList; }
    QList<archive::ListEntry> types() override { return typeList; }
    void processEvents() override {}
    bool cancelRequested() override { return false; }
    void clearCancel() override {}
    void setGenerateCaption(const QString&) override {}
    void beginProgress(int) override {}
    void setProgress(int) override {}
    void endProgress() override {}
    QObject* ownerWindow() override { return nullptr; }
    void reportLeftOut(const QList<archive::LeftOutArticle>& articles) override
    {
        std::fprintf(stderr, "%lld articles left out\n", static_cast<long long>(articles.size()));
    }
};

// Child process: runs one generator over the store into destination and prints its figures.
int runPhase(const QString& phase, const QString& storePath, const QString& destination,
             bool withAttachments, bool search)
{
    test::TestRuntime t;
    OutlookSession& session = t.rt->session();
    session.subConnectOutlook(outlook::olFolderInbox);
    session.goNameSpace->AddStore(storePath);
    const outlook::FolderPtr kb = session.goNameSpace->Folders()
                                      ->Item(u"Bench Store"_s)
                                      ->Folders()
                                      ->Item(u"Knowledge Base"_s);
    session.goOutlook->ActiveExplorer()->SetCurrentFolder(kb);
    session.goCurrentFolder = kb;

    archive::ArticleCollection collection(*t.rt);
    archive::QtImageCodec codec;
    archive::Generators generators(*t.rt, collection, codec);
    BenchHost host;
    host.opts.destination = destination;
    host.opts.attachments = withAttachments ? 1 : 0;
    host.opts.runToc = 0;
    host.opts.search = search ? 1 : 0;
    for (int i = 1; i <= kCategories; ++i)
        host.categoryList.append({u"Category %1"_s.arg(i, 2, 10, QChar(u'0')), true});
    for (int i = 1; i <= kTypes; ++i)
        host.typeList.append({u"Type %1"_s.arg(i, 2, 10, QChar(u'0')), true});
    const int articles = kb->Items()->Count();

    QElapsedTimer timer;
    const double cpuBefore = cpuSeconds();
    timer.start();
    try {
        if (phase == "flat"_L1)
            generators.flat.generate(host);
        else
            generators.outline.generate(host);
    } catch (const ProgramEnded&) {
        std::fprintf(stderr, "the generator ended the program: %s\n",
                     qPrintable(t.rt->errors().errorText()));
        return 1;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    // Every .htm but index.htm and search.htm is a page.
    const int pages =
        int(QDir(destination).entryList({u"*.htm"_s}, QDir::Files).size()) - (search ? 2 : 1);
    out() << "seconds=" << seconds << " cpu=" << cpuSeconds() - cpuBefore << " pages=" << pages
          << " articles=" << articles << " peak_mib=" << peakMemoryMiB() << Qt::endl;
    return pages == articles ? 0 : 2;
}

struct Figures
{
    double seconds = 0;
    double cpu = 0;
    double peakMiB = 0;
    bool ok = false;
};

Figures parseFigures(const QByteArray& output)
{
    Figures f;
    for (const QByteArray& part : output.simplified().split(' ')) {
        const auto kv = part.split('=');
        if (kv.size() != 2)
            continue;
        if (kv[0] == "seconds")
            f.seconds = kv[1].toDouble(&f.ok);
        else if (kv[0] == "cpu")
            f.cpu = kv[1].toDouble();
        else if (kv[0] == "peak_mib")
            f.peakMiB = kv[1].toDouble();
    }
    return f;
}

Figures runChild(const QStringList& arguments)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    child.waitForFinished(-1);
    Figures f = parseFigures(child.readAllStandardOutput());
    f.ok = f.ok && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    return f;
}

// MHonArc over the mbox; seconds, or a negative number when it is not installed or failed.
double runMhonarc(const QString& mbox, const QString& outDir)
{
    const QString program = QStandardPaths::findExecutable(u"mhonarc"_s);
    if (program.isEmpty())
        return -1;
    QDir().mkpath(outDir);
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    p.start(program, {u"-quiet"_s, u"-outdir"_s, outDir, mbox});
    p.waitForFinished(-1);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return -1;
    return double(timer.nsecsElapsed()) / 1e9;
}

// The search page of a published site in headless Chromium: the time to load it with its
// index, the first search (which prepares the index) and the median and slowest of repeated
// searches, rendering of the results included.
void searchFigures(const QString& destination)
{
    const QString index = destination + u"/search-index.js"_s;
    out() << "  search index: " << QFileInfo(index).size() / 1024 << " KiB" << Qt::endl;
    test::DevToolsSession browser;
    if (!browser.start()) {
        out() << "  search: " << browser.error() << Qt::endl;
        return;
    }
    QElapsedTimer timer;
    timer.start();
    if (!browser.navigate(QUrl::fromLocalFile(destination + u"/search.htm"_s).toString())) {
        out() << "  search: " << browser.error() << Qt::endl;
        return;
    }
    out() << "  search page loaded with its index in " << timer.elapsed() << " ms" << Qt::endl;
    const auto timed = [&](const QString& query) {
        const QJsonValue ms = browser.evaluate(
            u"(function () { var t = performance.now(); var n = lorvoRunSearch(%1); "
            "return [performance.now() - t, n]; })()"_s.arg(
                QString::fromUtf8(QJsonDocument(QJsonArray{query}).toJson(QJsonDocument::Compact))
                    .mid(1)
                    .chopped(1)));
        return std::pair{ms[0].toDouble(), ms[1].toInt()};
    };
    const auto first = timed(u"restart"_s);
    out() << "  first search (prepares the index): " << first.first << " ms" << Qt::endl;
    for (const QString& query : {u"printer"_s, u"printer network"_s, u"denied mailbox 1234"_s,
                                 u"4321"_s, u"nothing matches this"_s}) {
        QList<double> times;
        int hits = 0;
        for (int i = 0; i < 9; ++i) {
            const auto [ms, n] = timed(query);
            times.append(ms);
            hits = n;
        }
        std::sort(times.begin(), times.end());
        out() << "  search \"" << query << "\": " << hits << " hits, median " << times.at(4)
              << " ms, slowest " << times.last() << " ms" << Qt::endl;
    }
}

int benchmark(int n, bool withAttachments, bool search)
{
    QTemporaryDir dir;
    const QString store = dir.filePath(u"bench.pst"_s);
    QElapsedTimer timer;
    timer.start();
    buildStore(store, n, withAttachments);
    out() << "N=" << n << (withAttachments ? " (attachments included)" : "") << ": store built in "
          << double(timer.elapsed()) / 1000.0 << " s" << Qt::endl;

    QStringList extra = withAttachments ? QStringList{u"--attachments"_s} : QStringList{};
    if (search)
        extra.append(u"--search"_s);
    int failures = 0;
    double ours = 0;
    for (const QString& phase : {u"flat"_s, u"outline"_s}) {
        const QString dest = dir.filePath(u"web-"_s + phase);
        QDir().mkpath(dest);
        const Figures f = runChild(QStringList{u"--phase"_s, phase, store, dest} + extra);
        if (!f.ok) {
            out() << "  " << phase << ": FAILED" << Qt::endl;
            ++failures;
            continue;
        }
        out() << "  " << phase << ": " << f.seconds << " s, " << qRound(double(n) / f.seconds)
              << " articles/s (processor time " << f.cpu << " s), peak memory " << qRound(f.peakMiB)
              << " MiB" << Qt::endl;
        if (phase == "flat"_L1)
            ours = double(n) / f.seconds;
        if (phase == "flat"_L1 && search)
            searchFigures(dest);
    }

    const QString mbox = dir.filePath(u"bench.mbox"_s);
    writeMbox(mbox, n);
    const double mhonarc = runMhonarc(mbox, dir.filePath(u"mhonarc"_s));
    if (mhonarc < 0) {
        out() << "  MHonArc: not available (scripts/deps bench installs it)" << Qt::endl;
    } else {
        const double theirs = double(n) / mhonarc;
        out() << "  MHonArc: " << mhonarc << " s, " << qRound(theirs) << " articles/s" << Qt::endl;
        if (ours > 0)
            out() << "  flat generator / MHonArc throughput: " << ours / theirs << "x" << Qt::endl;
    }
    return failures;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool withAttachments = args.removeAll(u"--attachments"_s) > 0;
    const bool search = args.removeAll(u"--search"_s) > 0;
    if (args.size() == 4 && args.first() == "--phase"_L1)
        return runPhase(args.at(1), args.at(2), args.at(3), withAttachments, search);

    QList<int> sizes;
    for (const QString& a : std::as_const(args)) {
        bool ok = false;
        const int n = a.toInt(&ok);
        if (!ok || n <= 0) {
            std::fprintf(stderr, "usage: lorvo-bench [--attachments] [--search] N...\n");
            return 2;
        }
        sizes.append(n);
    }
    if (sizes.isEmpty())
        sizes = {1000, 10000};
    int failures = 0;
    for (int n : sizes)
        failures += benchmark(n, withAttachments, search);
    return failures == 0 ? 0 : 1;
}
