// lorvo-bench: speed and memory of the two generators on a synthetic knowledge base, beside
// MHonArc on the same messages and beside the floor: a plain program writing the same files.
//
//   lorvo-bench [options] N...     N articles (2 to 20 KB of HTML each, 20 categories, 20 types,
//                                  every tenth with an attachment) for each N
//   lorvo-bench [options] hostile  bodies that punish anything not linear: 200,000 "&", 2 MB of
//                                  "&amp;", 10 MB and 50 MB of "&", "<body>" 20,000 times
//   lorvo-bench --build-store N PATH   only the store of N articles (for profiling)
//
// Options:
//   --no-attachments  "Include Attachments" off (on, as the window and the command line have
//                     it, by default); MHonArc's mbox then carries no attachments either
//   --dir PATH        where the store and every output go (default: the temporary folder)
//   --rounds R        paired rounds (default 3): in each, flat, the floor, outline and MHonArc
//                     run one after the other; medians and minimums are taken over the rounds
//   --max-load L      before each round, wait until the 1-minute load average is at most L
//                     (default 1.5) ...
//   --max-wait S      ... but no longer than S seconds (default 900)
//   --timeout S       a run that takes longer is stopped and reported (default 1800 s, for a
//                     hostile body 600 s)
//   --search          the flat generator also writes the search page; its index is measured
//                     in headless Chromium after the first round
//
// Every run is a child process of its own (the generators, the floor) or MHonArc, so that its
// peak memory is its own. Dirty pages are written back (sync) before each run and not timed. Each
// run writes into a new folder; nothing is deleted until all runs of a size are done (on ext4
// without a journal, files deleted in the last 50 minutes slow every file made after them; a
// disk run is only fair that long after another benchmark, or on a file system with a journal).

#include "archive/collection.h"
#include "archive/generators.h"
#include "archive/imaging_qt.h"
#include "localoutlook/store.h"
#include "shared/errorhandling.h"
#include "shared/filesystem.h"
#include "shared/outlooksession.h"
#include "tests/support/devtools.h"
#include "tests/support/testsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QStorageInfo>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef LORVO_BENCH_BUILD
#define LORVO_BENCH_BUILD "unknown"
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

// Peak resident memory of this process in MiB: the high-water mark of its own address space
// (ru_maxrss would count the parent's memory at the fork too).
double peakMemoryMiB()
{
    QFile status(u"/proc/self/status"_s);
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
        }
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
}

// Processor time (user + system) of this process in seconds.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The 1-minute load average.
double loadAverage()
{
    QFile file(u"/proc/loadavg"_s);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(0).toDouble();
}

QString number(double value, int decimals)
{
    return QLocale::c().toString(value, 'f', decimals);
}

QString grouped(qint64 value)
{
    QLocale english(QLocale::English);
    return english.toString(value);
}

// Waits until the load average is at most maxLoad, for at most maxWait seconds.
void waitForQuiet(double maxLoad, int maxWait)
{
    QElapsedTimer waited;
    waited.start();
    bool told = false;
    while (loadAverage() > maxLoad && waited.elapsed() < qint64(maxWait) * 1000) {
        if (!told) {
            out() << "  (waiting for the load average, now " << number(loadAverage(), 2)
                  << ", to fall to " << number(maxLoad, 2) << ")" << Qt::endl;
            told = true;
        }
        QThread::sleep(5);
    }
    if (loadAverage() > maxLoad)
        out() << "  (the load average stayed above " << number(maxLoad, 2) << " for " << maxWait
              << " s; measuring anyway)" << Qt::endl;
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

constexpr quint32 kSeed = 20261207;

void addKnowledgeBase(localoutlook::Store& store, const std::function<void(qint64)>& fill)
{
    localoutlook::FolderRecord folder;
    folder.name = u"Knowledge Base"_s;
    folder.defaultItemType = 6;
    folder.webViewUrl = u"file:///bench/OLorvo.htm"_s;
    folder.webViewOn = true;
    fill(store.addFolder(store.topFolderId(), folder));
}

qint64 addArticle(localoutlook::Store& store, qint64 folder, const Article& a, int i)
{
    localoutlook::ItemRecord item;
    item.messageClass = u"IPM.Post.HelpdeskKBArticle"_s;
    item.subject = a.subject;
    item.htmlBody = a.html;
    item.modified = QDateTime(QDate(2026, 12, 7), QTime(21, 0), Qt::UTC);
    const qint64 id = store.addItem(folder, item);
    store.setField(id, u"Problem Category"_s, a.category);
    store.setField(id, u"Problem Type"_s, a.type);
    if (!a.attachment.isEmpty())
        store.addAttachment(id, u"notes %1.txt"_s.arg(i), a.attachment);
    return id;
}

// The store of n articles in one folder whose home page is the knowledge base's; the
// attachments are there whether the run includes them or not. Returns the bytes of the bodies.
qint64 buildStore(const QString& path, int n)
{
    ArticleFactory factory(kSeed);
    qint64 bytes = 0;
    localoutlook::Store::build(path, u"Bench Store"_s, [&](localoutlook::Store& store) {
        addKnowledgeBase(store, [&](qint64 folder) {
            for (int i = 1; i <= n; ++i) {
                const Article a = factory.make(i);
                bytes += a.html.size();
                addArticle(store, folder, a, i);
            }
        });
    });
    return bytes;
}

// The same messages as an mbox for MHonArc; with attachments each carries its attachment as a
// MIME part, as a mail client sends it.
qint64 writeMbox(const QString& path, int n, bool withAttachments)
{
    ArticleFactory factory(kSeed);
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
        message += "MIME-Version: 1.0\n";
        QByteArray body = a.html.toUtf8();
        body.replace("\r\n", "\n");
        body.replace("\nFrom ", "\n>From ");
        if (!withAttachments || a.attachment.isEmpty()) {
            message += "Content-Type: text/html; charset=us-ascii\n\n" + body + "\n\n";
        } else {
            const QByteArray name = "notes " + QByteArray::number(i) + ".txt";
            message += "Content-Type: multipart/mixed; boundary=\"part\"\n\n--part\n"
                       "Content-Type: text/html; charset=us-ascii\n\n" +
                       body + "\n--part\nContent-Type: text/plain; charset=us-ascii; name=\"" +
                       name + "\"\nContent-Disposition: attachment; filename=\"" + name +
                       "\"\nContent-Transfer-Encoding: base64\n\n";
            const QByteArray encoded = a.attachment.toBase64();
            for (qsizetype at = 0; at < encoded.size(); at += 76)
                message += encoded.mid(at, 76) + '\n';
            message += "--part--\n\n";
        }
        file.write(message);
    }
    return file.size();
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

// Files and bytes below a folder.
std::pair<qint64, qint64> countFiles(const QString& folder)
{
    qint64 files = 0;
    qint64 bytes = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++files;
        bytes += it.fileInfo().size();
    }
    return {files, bytes};
}

// Child process: runs one generator over the store into destination, as the program does (the
// local file system, no safe item component), and prints its figures.
int runGenerator(const QString& phase, const QString& storePath, const QString& destination,
                 bool withAttachments, bool search)
{
    test::TestRuntime t;
    LocalFileSystem fs;
    Runtime rt(Services{t.dialogs, t.shell, fs, t.platform, t.end, *t.outlook}, u"LorvoArchive"_s);
    OutlookSession& session = rt.session();
    session.subConnectOutlook(outlook::olFolderInbox);
    session.goNameSpace->AddStore(storePath);
    const outlook::FolderPtr kb = session.goNameSpace->Folders()
                                      ->Item(u"Bench Store"_s)
                                      ->Folders()
                                      ->Item(u"Knowledge Base"_s);
    session.goOutlook->ActiveExplorer()->SetCurrentFolder(kb);
    session.goCurrentFolder = kb;

    archive::ArticleCollection collection(rt);
    archive::QtImageCodec codec;
    archive::Generators generators(rt, collection, codec);
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
                     qPrintable(rt.errors().errorText()));
        return 1;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpuBefore;
    // Every .htm but index.htm and search.htm is a page.
    const int pages =
        int(QDir(destination).entryList({u"*.htm"_s}, QDir::Files).size()) - (search ? 2 : 1);
    const auto [files, bytes] = countFiles(destination);
    out() << "seconds=" << seconds << " cpu=" << cpu << " peak_mib=" << peakMemoryMiB()
          << " files=" << files << " bytes=" << bytes << " pages=" << pages
          << " articles=" << articles << Qt::endl;
    if (pages != articles)
        std::fprintf(stderr, "%d pages for %d articles\n", pages, articles);
    return pages == articles ? 0 : 2;
}

// Writes a whole file as the program does: a temporary file beside it, renamed over it.
bool writeReplacing(const QByteArray& path, const QByteArray& bytes)
{
    QByteArray temp = path;
    const qsizetype slash = temp.lastIndexOf('/');
    temp.insert(slash + 1, '.');
    temp += ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0) {
            ::close(fd);
            return false;
        }
        done += n;
    }
    fchmod(fd, 0644);
    return ::close(fd) == 0 && ::rename(temp.constData(), path.constData()) == 0;
}

// Child process: the floor. Writes the files below source into destination, each through a
// temporary file and a rename, folders made as needed. The files are read in batches beforehand,
// untimed, so that only the writing counts.
int runFloor(const QString& source, const QString& destination)
{
    struct File
    {
        QString relative;
        QByteArray bytes;
    };
    QStringList relatives;
    QDirIterator it(source, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        relatives.append(QDir(source).relativeFilePath(it.next()));
    // Folders before the files in them, as a generator makes them.
    std::sort(relatives.begin(), relatives.end());

    constexpr qint64 kBatchBytes = 32 * 1024 * 1024;
    qint64 nanoseconds = 0;
    double cpu = 0;
    qint64 bytes = 0;
    QSet<QString> folders;
    for (qsizetype next = 0; next < relatives.size();) {
        QList<File> batch;
        qint64 batchBytes = 0;
        while (next < relatives.size() && batchBytes < kBatchBytes) {
            QFile file(source + u'/' + relatives.at(next));
            if (!file.open(QIODevice::ReadOnly))
                return 1;
            batch.append({relatives.at(next), file.readAll()});
            batchBytes += batch.last().bytes.size();
            ++next;
        }
        QElapsedTimer timer;
        const double cpuBefore = cpuSeconds();
        timer.start();
        for (const File& f : std::as_const(batch)) {
            const qsizetype slash = f.relative.lastIndexOf(u'/');
            if (slash > 0) {
                const QString folder = f.relative.left(slash);
                if (!folders.contains(folder)) {
                    ::mkdir(QFile::encodeName(destination + u'/' + folder).constData(), 0755);
                    folders.insert(folder);
                }
            }
            if (!writeReplacing(QFile::encodeName(destination + u'/' + f.relative), f.bytes))
                return 1;
            bytes += f.bytes.size();
        }
        nanoseconds += timer.nsecsElapsed();
        cpu += cpuSeconds() - cpuBefore;
    }
    out() << "seconds=" << double(nanoseconds) / 1e9 << " cpu=" << cpu
          << " peak_mib=" << peakMemoryMiB() << " files=" << relatives.size() << " bytes=" << bytes
          << Qt::endl;
    return 0;
}

// What one run measured.
struct Figures
{
    bool ok = false;
    bool timedOut = false;
    double seconds = 0;
    double cpu = -1;
    double peakMiB = -1;
    qint64 files = 0;
    qint64 bytes = 0;
    double load = 0; // the load average when the run started
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
        else if (kv[0] == "files")
            f.files = kv[1].toLongLong();
        else if (kv[0] == "bytes")
            f.bytes = kv[1].toLongLong();
    }
    return f;
}

struct Settings
{
    bool attachments = true;
    bool search = false;
    QString dir;
    int rounds = 3;
    double maxLoad = 1.5;
    int maxWait = 900;
    int timeout = 0; // 0: 1800 s for a run of N articles, 600 s for a hostile body
};

// Starts a program for a timed run, after the dirty pages of earlier runs are written back.
Figures runTimed(const QString& program, const QStringList& arguments, const Settings& s,
                 bool measuresItself)
{
    ::sync();
    Figures f;
    f.load = loadAverage();
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    child.start(program, arguments);
    if (!child.waitForFinished(s.timeout * 1000)) {
        child.kill();
        child.waitForFinished(-1);
        f.timedOut = true;
        f.seconds = double(timer.nsecsElapsed()) / 1e9;
        return f;
    }
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    const double load = f.load;
    if (measuresItself)
        f = parseFigures(child.readAllStandardOutput());
    else
        f = Figures{true, false, seconds};
    f.load = load;
    f.ok = f.ok && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    return f;
}

Figures runChild(const QStringList& arguments, const Settings& s)
{
    return runTimed(QCoreApplication::applicationFilePath(), arguments, s, true);
}

QStringList generatorArguments(const QString& phase, const QString& store, const QString& dest,
                               const Settings& s, bool search)
{
    QStringList arguments{u"--phase"_s, phase, store, dest};
    if (s.attachments)
        arguments.append(u"--attachments"_s);
    if (search)
        arguments.append(u"--search"_s);
    return arguments;
}

// MHonArc over the mbox, saving attachments as files as the generators do.
Figures runMhonarc(const QString& mbox, const QString& outDir, const QString& rcFile,
                   const Settings& s)
{
    const QString program = QStandardPaths::findExecutable(u"mhonarc"_s);
    if (program.isEmpty())
        return {};
    QDir().mkpath(outDir);
    Figures f = runTimed(program, {u"-quiet"_s, u"-rcfile"_s, rcFile, u"-outdir"_s, outDir, mbox},
                         s, false);
    if (f.ok) {
        const auto [files, bytes] = countFiles(outDir);
        f.files = files;
        f.bytes = bytes;
    }
    return f;
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

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype m = values.size() / 2;
    return values.size() % 2 ? values.at(m) : (values.at(m - 1) + values.at(m)) / 2;
}

double minimum(const QList<double>& values)
{
    return values.isEmpty() ? 0 : *std::min_element(values.begin(), values.end());
}

QString figureText(const Figures& f)
{
    if (f.timedOut)
        return u"did not finish in %1 s"_s.arg(number(f.seconds, 0));
    if (!f.ok)
        return u"FAILED"_s;
    QString text = number(f.seconds, 2) + u" s"_s;
    if (f.cpu >= 0)
        text += u" (cpu "_s + number(f.cpu, 2) + u" s, "_s + number(f.peakMiB, 0) + u" MiB)"_s;
    return text + u" [load "_s + number(f.load, 2) + u']';
}

// Every run of one kind over the rounds.
struct Series
{
    QString name;
    QList<Figures> runs;

    QList<double> seconds() const
    {
        QList<double> list;
        for (const Figures& f : runs) {
            if (f.ok)
                list.append(f.seconds);
        }
        return list;
    }
    bool complete() const { return !runs.isEmpty() && seconds().size() == runs.size(); }
    double peak() const
    {
        double p = 0;
        for (const Figures& f : runs)
            p = std::max(p, f.peakMiB);
        return p;
    }
};

// Per round, a / b; the median of those (the pairing cancels load that changes between rounds).
double pairedRatio(const Series& a, const Series& b)
{
    QList<double> ratios;
    for (qsizetype i = 0; i < std::min(a.runs.size(), b.runs.size()); ++i) {
        if (a.runs[i].ok && b.runs[i].ok && b.runs[i].seconds > 0)
            ratios.append(a.runs[i].seconds / b.runs[i].seconds);
    }
    return median(ratios);
}

QString describeFolder(const QString& dir)
{
    const QStorageInfo storage(dir);
    return dir + u" ("_s + QString::fromUtf8(storage.fileSystemType()) + u" on "_s +
           QString::fromUtf8(storage.device()) + u')';
}

// The folders of the runs, deleted when the program ends (see above).
std::vector<std::unique_ptr<QTemporaryDir>>& keptFolders()
{
    static std::vector<std::unique_ptr<QTemporaryDir>> folders;
    return folders;
}

int benchmark(int n, Settings s)
{
    if (s.timeout == 0)
        s.timeout = 1800;
    keptFolders().push_back(std::make_unique<QTemporaryDir>(s.dir + u"/lorvo-bench-XXXXXX"_s));
    QTemporaryDir& dir = *keptFolders().back();
    const QString store = dir.filePath(u"bench.pst"_s);
    const qint64 bodyBytes = buildStore(store, n);
    const QString mbox = dir.filePath(u"bench.mbox"_s);
    const qint64 mboxBytes = writeMbox(mbox, n, s.attachments);
    const QString rc = dir.filePath(u"mhonarc.rc"_s);
    {
        // Attachments are saved as files, as the generators save them, not shown in the page.
        QFile file(rc);
        if (!file.open(QIODevice::WriteOnly))
            qFatal("cannot write MHonArc's resource file");
        file.write("<MIMEArgs>\nm2h_external::filter; inline\n"
                   "m2h_text_plain::filter; attachcheck\n</MIMEArgs>\n");
    }
    const bool mhonarc = !QStandardPaths::findExecutable(u"mhonarc"_s).isEmpty();
    out() << "\n## " << grouped(n) << " articles, attachments " << (s.attachments ? "on" : "off")
          << ", " << describeFolder(s.dir) << Qt::endl;
    out() << "bodies " << number(double(bodyBytes) / 1e6, 1) << " MB (characters), mbox "
          << number(double(mboxBytes) / 1e6, 1) << " MB" << Qt::endl;

    Series flat{u"flat"_s, {}};
    Series floor{u"floor"_s, {}};
    Series outline{u"outline"_s, {}};
    Series peer{u"MHonArc"_s, {}};
    for (int round = 1; round <= s.rounds; ++round) {
        waitForQuiet(s.maxLoad, s.maxWait);
        // Every run writes into a folder of its own, and nothing is deleted before the last run:
        // ext4 without a journal (as this machine's root) searches past the inodes deleted in the
        // last 50 minutes for every new file, which would slow whoever runs next.
        const QString suffix = u"-"_s + QString::number(round);
        const QString flatDest = dir.filePath(u"web-flat"_s + suffix);
        const QString floorDest = dir.filePath(u"web-floor"_s + suffix);
        const QString outlineDest = dir.filePath(u"web-outline"_s + suffix);
        const QString peerDest = dir.filePath(u"mhonarc"_s + suffix);
        for (const QString& d : {flatDest, floorDest, outlineDest, peerDest})
            QDir().mkpath(d);
        const bool search = s.search && round == 1;
        flat.runs.append(runChild(generatorArguments(u"flat"_s, store, flatDest, s, search), s));
        floor.runs.append(runChild({u"--floor"_s, flatDest, floorDest}, s));
        if (search)
            searchFigures(flatDest);
        outline.runs.append(
            runChild(generatorArguments(u"outline"_s, store, outlineDest, s, false), s));
        if (mhonarc)
            peer.runs.append(runMhonarc(mbox, peerDest, rc, s));
        out() << "round " << round << ": flat " << figureText(flat.runs.last()) << " | floor "
              << figureText(floor.runs.last()) << " | outline " << figureText(outline.runs.last());
        if (mhonarc)
            out() << " | MHonArc " << figureText(peer.runs.last());
        out() << Qt::endl;
    }
    if (!mhonarc)
        out() << "MHonArc: not available (scripts/deps bench installs it)" << Qt::endl;

    out() << "\n| run | median | min | loads at start | processor (median) | peak memory | "
             "files, MB | MHonArc ÷ run (paired) | run ÷ floor (paired) |\n"
             "|---|---:|---:|---|---:|---:|---:|---:|---:|"
          << Qt::endl;
    int failures = 0;
    for (const Series* series : {&flat, &outline, &floor, &peer}) {
        if (series->runs.isEmpty())
            continue;
        if (!series->complete()) {
            ++failures;
            out() << "| " << series->name << " | " << figureText(series->runs.last())
                  << " | | | | | | | |" << Qt::endl;
            continue;
        }
        QStringList loads;
        QList<double> cpus;
        for (const Figures& f : series->runs) {
            loads.append(number(f.load, 2));
            if (f.cpu >= 0)
                cpus.append(f.cpu);
        }
        const Figures& last = series->runs.last();
        out() << "| " << series->name << " | " << number(median(series->seconds()), 2) << " s | "
              << number(minimum(series->seconds()), 2) << " s | " << loads.join(u", "_s) << " | "
              << (cpus.isEmpty() ? u"–"_s : number(median(cpus), 2) + u" s"_s) << " | "
              << (series->peak() > 0 ? number(series->peak(), 0) + u" MiB"_s : u"–"_s) << " | "
              << grouped(last.files) << ", " << number(double(last.bytes) / 1e6, 1) << " | ";
        if (series != &peer && peer.complete())
            out() << number(pairedRatio(peer, *series), 1) << "x";
        out() << " | ";
        if (series != &floor && series != &peer && floor.complete())
            out() << number(pairedRatio(*series, floor), 1) << "x";
        out() << " |" << Qt::endl;
    }
    return failures;
}

// Hostile bodies: one article each, flat and outline once each, with the time limit.
int hostile(Settings s)
{
    if (s.timeout == 0)
        s.timeout = 600;
    struct Case
    {
        QString name;
        std::function<QString()> body; // made when its turn comes: the runs are measured alone
    };
    const auto html = [](const QString& inside) -> QString {
        return u"<html><head><TITLE></TITLE></head><body><p>"_s + inside + u"</p></body></html>"_s;
    };
    const QList<Case> cases = {
        {u"200,000 \"&\""_s, [&] { return html(QString(200'000, u'&')); }},
        {u"2 MB of \"&amp;\""_s, [&] { return html(u"&amp;"_s.repeated(400'000)); }},
        {u"10 MB of \"&\""_s, [&] { return html(QString(10'000'000, u'&')); }},
        {u"50 MB of \"&\""_s, [&] { return html(QString(50'000'000, u'&')); }},
        {u"\"<body>\" 20,000 times"_s,
         []() -> QString {
             return u"<html><head><TITLE></TITLE></head>"_s + u"<body>"_s.repeated(20'000) +
                    u"<p>text</p></body></html>"_s;
         }},
    };
    out() << "\n## Hostile bodies, attachments " << (s.attachments ? "on" : "off") << ", "
          << describeFolder(s.dir) << "\n\n| body | size | flat | outline |\n|---|---:|---|---|"
          << Qt::endl;
    int failures = 0;
    for (const Case& c : cases) {
        QTemporaryDir dir(s.dir + u"/lorvo-bench-XXXXXX"_s);
        const QString store = dir.filePath(u"hostile.pst"_s);
        qsizetype size = 0;
        localoutlook::Store::build(store, u"Bench Store"_s, [&](localoutlook::Store& st) {
            addKnowledgeBase(st, [&](qint64 folder) {
                Article a;
                a.subject = u"Hostile"_s;
                a.category = u"Category 01"_s;
                a.type = u"Type 01"_s;
                a.html = c.body();
                size = a.html.size();
                addArticle(st, folder, a, 1);
            });
        });
        waitForQuiet(s.maxLoad, s.maxWait);
        out() << "| " << c.name << " | " << number(double(size) / 1e6, 1) << " MB";
        for (const QString& phase : {u"flat"_s, u"outline"_s}) {
            const QString dest = dir.filePath(u"web-"_s + phase);
            QDir().mkpath(dest);
            const Figures f = runChild(generatorArguments(phase, store, dest, s, false), s);
            if (!f.ok)
                ++failures;
            out() << " | " << figureText(f);
            QDir(dest).removeRecursively();
        }
        out() << " |" << Qt::endl;
    }
    return failures;
}

void printConditions(const Settings& s)
{
    out() << "# lorvo-bench, " << QDateTime::currentDateTime().toString(Qt::ISODate) << Qt::endl;
    out() << "build: " << LORVO_BENCH_BUILD << "; Qt " << qVersion() << "; "
          << QSysInfo::prettyProductName() << ", kernel " << QSysInfo::kernelVersion() << ", "
          << QThread::idealThreadCount() << " processors" << Qt::endl;
    out() << "destination and store: " << describeFolder(s.dir) << "; " << s.rounds
          << " paired rounds, each started at a load average of at most " << number(s.maxLoad, 2)
          << " (waiting up to " << s.maxWait << " s)" << Qt::endl;
}

int usage()
{
    std::fprintf(stderr, "usage: lorvo-bench [--no-attachments] [--dir PATH] [--rounds R] "
                         "[--max-load L] [--max-wait S] [--timeout S] [--search] N...|hostile\n"
                         "       lorvo-bench --build-store N PATH\n");
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    // The child processes.
    if (args.value(0) == "--phase"_L1 && args.size() >= 4) {
        const bool withAttachments = args.contains(u"--attachments"_s);
        const bool search = args.contains(u"--search"_s);
        return runGenerator(args.at(1), args.at(2), args.at(3), withAttachments, search);
    }
    if (args.value(0) == "--floor"_L1 && args.size() == 3)
        return runFloor(args.at(1), args.at(2));
    if (args.value(0) == "--build-store"_L1 && args.size() == 3) {
        buildStore(args.at(2), args.at(1).toInt());
        return 0;
    }

    Settings s;
    s.dir = QDir::tempPath();
    QList<int> sizes;
    bool hostileBodies = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        const auto value = [&] { return ++i < args.size() ? args.at(i) : QString(); };
        bool ok = true;
        if (a == "--no-attachments"_L1)
            s.attachments = false;
        else if (a == "--search"_L1)
            s.search = true;
        else if (a == "--dir"_L1)
            s.dir = QDir(value()).absolutePath();
        else if (a == "--rounds"_L1)
            s.rounds = value().toInt(&ok);
        else if (a == "--max-load"_L1)
            s.maxLoad = value().toDouble(&ok);
        else if (a == "--max-wait"_L1)
            s.maxWait = value().toInt(&ok);
        else if (a == "--timeout"_L1)
            s.timeout = value().toInt(&ok);
        else if (a == "hostile"_L1)
            hostileBodies = true;
        else if (const int n = a.toInt(&ok); ok && n > 0)
            sizes.append(n);
        else
            return usage();
        if (!ok || s.rounds < 1)
            return usage();
    }
    if (sizes.isEmpty() && !hostileBodies)
        sizes = {1000, 10000};
    printConditions(s);
    int failures = 0;
    for (int n : std::as_const(sizes))
        failures += benchmark(n, s);
    if (hostileBodies)
        failures += hostile(s);
    return failures == 0 ? 0 : 1;
}
