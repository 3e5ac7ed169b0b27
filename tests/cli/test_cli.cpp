// The command-line forms as an administrator and a scheduled task run them: LorvoSetup
// --unattended installs the example knowledge base into a temporary profile, LorvoArchive
// --generate publishes it. Every test has its own folder, profile and settings.

#include "shared/rtf/writer.h"
#include "tests/support/msgwriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace {

const QString kArticleClass = u"IPM.Post.HelpdeskKBArticle"_s;

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

struct Article
{
    QString subject;
    QString category;
    QString type;
};

// Article subjects as the table of contents writes them.
QString escaped(const QString& text)
{
    return text.toHtmlEscaped().replace(u'\'', u"&#39;"_s);
}

QString readPage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringDecoder decode("windows-1252");
    return decode(file.readAll());
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString path(const QString& relative) const { return m_dir->filePath(relative); }
    QString site() const { return path(u"site"_s); }
    QString settingsFile() const { return path(u"config/Tervane/Outlook Lorvo.ini"_s); }

    Result run(const QString& program, const QStringList& arguments)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LORVO_OUTLOOK_PROFILE"_s, path(u"profile"_s));
        env.insert(u"HOME"_s, path(u"home"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, path(u"config"_s));
        env.insert(u"XDG_DATA_HOME"_s, path(u"data"_s));
        env.insert(u"XDG_CACHE_HOME"_s, path(u"cache"_s));
        env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.remove(u"LORVO_LOG"_s);
        QProcess process;
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(m_dir->path());
        process.start(program, arguments);
        Result r;
        if (!process.waitForFinished(240000)) {
            process.kill();
            process.waitForFinished();
            r.err = u"did not finish"_s;
            return r;
        }
        r.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        r.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        r.err = QString::fromLocal8Bit(process.readAllStandardError());
        return r;
    }

    Result archive(const QStringList& arguments)
    {
        return run(QStringLiteral(LORVO_ARCHIVE_PROGRAM), arguments);
    }

    // The knowledge base from the setup's command line, with or without the example articles.
    bool install(bool exampleData = true)
    {
        QStringList arguments{u"--unattended"_s,
                              u"--install-dir"_s,
                              path(u"install"_s),
                              u"--parent"_s,
                              u"\\\\Public Folders\\All Public Folders"_s,
                              u"--name"_s,
                              u"Knowledge Base"_s};
        if (exampleData)
            arguments.append(u"--example-data"_s);
        const Result r = run(QStringLiteral(LORVO_SETUP_PROGRAM), arguments);
        if (r.code != 0)
            qWarning().noquote() << "LorvoSetup failed:" << r.out << r.err;
        return r.code == 0;
    }

    // The articles of the template store the setup installed.
    QList<Article> templateArticles()
    {
        const Result r = run(QStringLiteral(LORVO_STORE_PROGRAM),
                             {u"dump"_s, path(u"install/LorvoFilled.pst"_s)});
        QList<Article> articles;
        if (r.code != 0)
            return articles;
        const QJsonArray folders =
            QJsonDocument::fromJson(r.out.toUtf8()).object().value(u"folders"_s).toArray();
        for (const QJsonValue& folder : folders) {
            for (const QJsonValue& value : folder.toObject().value(u"items"_s).toArray()) {
                const QJsonObject item = value.toObject();
                if (item.value(u"messageClass"_s).toString() != kArticleClass)
                    continue;
                const QJsonObject fields = item.value(u"userProperties"_s).toObject();
                articles.append({item.value(u"subject"_s).toString().trimmed(),
                                 fields.value(u"Problem Category"_s).toString(),
                                 fields.value(u"Problem Type"_s).toString()});
            }
        }
        return articles;
    }

    // Every file of a folder, relative path to content hash.
    static QMap<QString, QByteArray> tree(const QString& folder)
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            QFile f(file);
            if (f.open(QIODevice::ReadOnly))
                files.insert(QDir(folder).relativeFilePath(file),
                             QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256));
        }
        return files;
    }

    // The site's pages: every link and picture resolves to a file, every article page has its
    // header. Returns the article pages that index.htm links.
    QStringList checkSite(const QString& folder)
    {
        const QString index = folder + u"/index.htm"_s;
        QStringList pages;
        QStringList toVisit{index};
        QSet<QString> seen;
        static const QRegularExpression link(u"(?:href|src)\\s*=\\s*(?:'([^']*)'|\"([^\"]*)\")"_s,
                                             QRegularExpression::CaseInsensitiveOption);
        while (!toVisit.isEmpty()) {
            const QString page = toVisit.takeFirst();
            if (seen.contains(page))
                continue;
            seen.insert(page);
            const QString text = readPage(page);
            if (text.isEmpty()) {
                qWarning().noquote() << "empty or missing page" << page;
                return {};
            }
            if (page != index) {
                if (!text.contains(u"<h1>"_s) || !text.contains(u"<b>Problem Type     : </b>"_s) ||
                    !text.contains(u"<b>Problem Category : </b>"_s)) {
                    qWarning().noquote() << "page without its header" << page;
                    return {};
                }
            }
            auto matches = link.globalMatch(text);
            while (matches.hasNext()) {
                const auto m = matches.next();
                const QString target = m.captured(1).isNull() ? m.captured(2) : m.captured(1);
                const QUrl url(target);
                if (target.isEmpty() || target.startsWith(u'#') || !url.scheme().isEmpty())
                    continue;
                const QString file =
                    QFileInfo(QFileInfo(page).dir().filePath(
                                  QUrl::fromPercentEncoding(url.path(QUrl::FullyEncoded).toUtf8())))
                        .absoluteFilePath();
                if (!QFileInfo(file).isFile()) {
                    qWarning().noquote() << page << "links" << target << "which does not exist";
                    return {};
                }
                if (page == index && file.endsWith(u".htm"_s)) {
                    pages.append(file);
                    toVisit.append(file);
                }
            }
        }
        return pages;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir().mkpath(site()));
    }

    void cleanup() { m_dir.reset(); }

    void publishesTheExampleKnowledgeBase_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("outline");
        QTest::addColumn<bool>("numbered");
        QTest::newRow("collapsible outline")
            << QStringList{u"--group"_s, u"category-type"_s,        u"--collapsible"_s,
                           u"on"_s,      u"--collapse-initially"_s, u"on"_s}
            << true << false;
        QTest::newRow("flat list")
            << QStringList{u"--group"_s, u"none"_s, u"--attachments"_s, u"on"_s} << false << false;
        QTest::newRow("numbered plain outline")
            << QStringList{u"--group"_s,       u"category-type"_s,
                           u"--naming"_s,      u"number"_s,
                           u"--start"_s,       u"0"_s,
                           u"--collapsible"_s, u"off"_s,
                           u"--attachments"_s, u"off"_s}
            << true << true;
    }

    void publishesTheExampleKnowledgeBase()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, outline);
        QFETCH(bool, numbered);
        QVERIFY(install());
        const QList<Article> articles = templateArticles();
        QCOMPARE(articles.size(), 44);

        const Result r =
            archive(QStringList{u"--generate"_s, u"--destination"_s, u"site"_s} + options);
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString index = QDir::toNativeSeparators(site() + u"/index.htm"_s);
        QCOMPARE(r.out, index + u'\n');
        // stderr is no terminal here: progress comes as plain lines.
        QVERIFY2(r.err.contains(QRegularExpression(u"^Publishing: \\d+/\\d+$"_s,
                                                   QRegularExpression::MultilineOption)),
                 qPrintable(r.err));
        QVERIFY(!r.err.contains(u'\r'));
        // "Run index.htm when done" is on by default, yet nobody is there to look at it.
        QVERIFY2(!r.err.contains(u"not opened"_s), qPrintable(r.err));

        const QString toc = readPage(index);
        for (const Article& a : articles)
            QVERIFY2(toc.contains(u"'>"_s + escaped(a.subject) + u"</a>"_s), qPrintable(a.subject));
        QCOMPARE(toc.contains(u"<ul dynamicoutline initcollapsed>"_s), outline && !numbered);
        QCOMPARE(QFileInfo::exists(site() + u"/outline.js"_s), outline && !numbered);
        if (outline) {
            QVERIFY(toc.contains(u"<b>Accounts &amp; Passwords</b>"_s));
        }

        const QStringList pages = checkSite(site());
        QCOMPARE(pages.size(), articles.size());
        for (const QString& page : pages) {
            const QString name = QFileInfo(page).completeBaseName();
            bool isNumber = false;
            name.toInt(&isNumber);
            QVERIFY2(isNumber == numbered, qPrintable(name));
        }
        // The command line leaves the window's stored settings alone.
        QVERIFY(!QFileInfo::exists(settingsFile()));
    }

    // Two runs give the same site, byte for byte: a scheduled publication changes nothing when
    // the articles did not change.
    void twoRunsGiveTheSameSite()
    {
        QVERIFY(install());
        QVERIFY(QDir().mkpath(path(u"again"_s)));
        const QStringList options{u"--generate"_s, u"--group"_s, u"category-type"_s,
                                  u"--attachments"_s, u"on"_s};
        QCOMPARE(archive(options + QStringList{u"--destination"_s, site()}).code, 0);
        QCOMPARE(archive(options + QStringList{u"--destination"_s, path(u"again"_s)}).code, 0);
        const auto first = tree(site());
        QVERIFY(first.size() > 44);
        QCOMPARE(tree(path(u"again"_s)), first);
    }

    // The search page and the sitemap, asked for on the command line.
    void publishesSearchAndSitemap()
    {
        QVERIFY(install());
        const Result r = archive({u"--generate"_s, u"--destination"_s, site(), u"--search"_s,
                                  u"on"_s, u"--sitemap-base"_s, u"https://kb.example.com/kb"_s});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(readPage(site() + u"/index.htm"_s).contains(u"<a href=\"search.htm\">"_s));
        QVERIFY(QFileInfo(site() + u"/search.htm"_s).size() > 0);
        QVERIFY(QFileInfo(site() + u"/search-index.js"_s).size() > 0);
        QFile sitemap(site() + u"/sitemap.xml"_s);
        QVERIFY(sitemap.open(QIODevice::ReadOnly));
        const QString xml = QString::fromUtf8(sitemap.readAll());
        QCOMPARE(xml.count(u"<loc>https://kb.example.com/kb/"_s), 45);
        // Neither with "off" and an empty base.
        QVERIFY(QFile::remove(site() + u"/sitemap.xml"_s));
        QCOMPARE(archive({u"--generate"_s, u"--destination"_s, site(), u"--search"_s, u"off"_s,
                          u"--sitemap-base"_s, QString()})
                     .code,
                 0);
        QVERIFY(!QFileInfo::exists(site() + u"/sitemap.xml"_s));
        QVERIFY(!readPage(site() + u"/index.htm"_s).contains(u"search.htm"_s));
    }

    void optionsLeftOutTakeTheStoredSettings()
    {
        QVERIFY(install());
        QVERIFY(QDir().mkpath(path(u"stored"_s)));
        QVERIFY(QDir().mkpath(QFileInfo(settingsFile()).path()));
        QFile ini(settingsFile());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Settings]\nDestinationFolder=" + path(u"stored"_s).toUtf8() +
                  "\niNamingScheme=1\niNumbering=500\noptGroup=1\nchkAttachments=0\n");
        ini.close();
        const QByteArray before = [&] {
            QFile f(settingsFile());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        Result r = archive({u"--generate"_s});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(r.out.trimmed(), QDir::toNativeSeparators(path(u"stored/index.htm"_s)));
        const QString flat = readPage(path(u"stored/index.htm"_s));
        QVERIFY(flat.contains(u"<ul><li><a href='"_s));
        QVERIFY(!flat.contains(u"dynamicoutline"_s));
        QVERIFY(QFileInfo::exists(path(u"stored/501.htm"_s)));
        QVERIFY(!QFileInfo::exists(path(u"stored/500.htm"_s)));
        QVERIFY(QDir(path(u"stored"_s)).entryList({u"*_files"_s}, QDir::Dirs).isEmpty());

        // Given options win over the stored ones, and are not stored.
        r = archive({u"--generate"_s, u"--destination"_s, site(), u"--group"_s, u"category-type"_s,
                     u"--naming"_s, u"subject"_s});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(readPage(site() + u"/index.htm"_s).contains(u"dynamicoutline"_s));
        QVERIFY(!QFileInfo::exists(site() + u"/501.htm"_s));
        QFile after(settingsFile());
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), before);
    }

    void publishesTheNamedCategoriesAndTypes()
    {
        QVERIFY(install());
        const QList<Article> articles = templateArticles();
        // Trimmed and without regard to case, as the lists compare their entries.
        const Result r = archive({u"--generate"_s, u"--destination"_s, site(), u"--group"_s,
                                  u"category-type"_s, u"--category"_s, u"  network "_s,
                                  u"--category"_s, u"EMAIL"_s, u"--type"_s, u"how-to"_s});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString toc = readPage(site() + u"/index.htm"_s);
        int listed = 0;
        for (const Article& a : articles) {
            const bool wanted =
                (a.category == u"Network"_s || a.category == u"Email"_s) && a.type == u"How-to"_s;
            QCOMPARE(toc.contains(u"'>"_s + escaped(a.subject) + u"</a>"_s), wanted);
            listed += wanted;
        }
        QVERIFY(listed > 1);
        QCOMPARE(checkSite(site()).size(), listed);
    }

    void refusesBadInput_data()
    {
        QTest::addColumn<QString>("setup"); // examples, empty, none
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");

        const QString generate = u"--generate"_s;
        const QString dest = u"--destination"_s;
        QTest::newRow("destination missing")
            << u"examples"_s << QStringList{generate, dest, u"site/nowhere"_s}
            << u"does not exist"_s;
        QTest::newRow("destination is a file")
            << u"examples"_s << QStringList{generate, dest, u"site/file.txt"_s}
            << u"does not exist"_s;
        QTest::newRow("no destination at all")
            << u"examples"_s << QStringList{generate} << u"no destination folder"_s;
        QTest::newRow("start not a number")
            << u"examples"_s << QStringList{generate, dest, u"site"_s, u"--start"_s, u"12a"_s}
            << u"--start takes a whole number"_s;
        QTest::newRow("start too long")
            << u"examples"_s << QStringList{generate, dest, u"site"_s, u"--start"_s, u"123456"_s}
            << u"--start takes a whole number"_s;
        QTest::newRow("unknown option")
            << u"examples"_s << QStringList{generate, dest, u"site"_s, u"--colour"_s, u"red"_s}
            << u"Unknown option 'colour'"_s;
        QTest::newRow("bad grouping")
            << u"examples"_s << QStringList{generate, dest, u"site"_s, u"--group"_s, u"type"_s}
            << u"--group takes category-type or none"_s;
        QTest::newRow("bad switch")
            << u"examples"_s << QStringList{generate, dest, u"site"_s, u"--toc"_s, u"yes"_s}
            << u"--toc takes on or off"_s;
        QTest::newRow("bad search switch")
            << u"examples"_s << QStringList{generate, dest, u"site"_s, u"--search"_s, u"yes"_s}
            << u"--search takes on or off"_s;
        QTest::newRow("sitemap base not a web address")
            << u"examples"_s
            << QStringList{generate, dest, u"site"_s, u"--sitemap-base"_s, u"//server/kb"_s}
            << u"--sitemap-base takes the site's address"_s;
        QTest::newRow("without --generate")
            << u"examples"_s << QStringList{dest, u"site"_s} << u"needs --generate"_s;
        QTest::newRow("unknown category")
            << u"examples"_s << QStringList{generate,           dest,
                                            u"site"_s,          u"--group"_s,
                                            u"category-type"_s, u"--category"_s,
                                            u"Plumbing"_s}
            << u"problem category 'Plumbing'"_s;
        QTest::newRow("unknown type")
            << u"examples"_s
            << QStringList{generate,           dest,        u"site"_s,  u"--group"_s,
                           u"category-type"_s, u"--type"_s, u"Rumour"_s}
            << u"problem type 'Rumour'"_s;
        QTest::newRow("category of a flat list")
            << u"examples"_s
            << QStringList{generate,        dest,        u"site"_s, u"--group"_s, u"none"_s,
                           u"--category"_s, u"Network"_s}
            << u"with --group none every article is published"_s;
        QTest::newRow("profile without a knowledge base")
            << u"none"_s << QStringList{generate, dest, u"site"_s}
            << u"Failed to get Knowledge Base Folder!"_s;
        QTest::newRow("knowledge base without articles")
            << u"empty"_s << QStringList{generate, dest, u"site"_s}
            << u"You don't have any KB articles to convert into webpages!"_s;
        // The store and its fault are named.
        QTest::newRow("damaged store")
            << u"damaged"_s << QStringList{generate, dest, u"site"_s}
            << u"Failed to get Knowledge Base Folder! Outlook's window does not show one; show "
               u"it there, or create one with LorvoSetup. A store of the Outlook profile cannot "
               u"be opened: The file PROFILE/Public Folders.pst is damaged"_s;
    }

    void refusesBadInput()
    {
        QFETCH(QString, setup);
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        message.replace(u"PROFILE"_s, QDir::toNativeSeparators(path(u"profile"_s)));
        if (setup == u"none"_s)
            QCOMPARE(run(QStringLiteral(LORVO_STORE_PROGRAM), {u"profile"_s, u"init"_s}).code, 0);
        else
            QVERIFY(install(setup != u"empty"_s));
        if (setup == u"damaged"_s)
            QVERIFY(QFile::resize(path(u"profile/Public Folders.pst"_s), 50000));
        QFile file(site() + u"/file.txt"_s);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();

        const Result r = archive(arguments);
        QVERIFY2(r.code != 0, qPrintable(r.out));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.err.startsWith(u"LorvoArchive: "_s));
        QCOMPARE(r.out, QString());
        // Nothing written: the destination holds only what the test put there.
        QCOMPARE(QDir(site()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{u"file.txt"_s});
    }

    void refusesADestinationThatCannotBeWritten()
    {
        QVERIFY(install());
        QString locked = path(u"locked"_s);
        QVERIFY(QDir().mkpath(locked));
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner);
        QFile probe(locked + u"/probe"_s);
        if (probe.open(QIODevice::WriteOnly)) {
            // The administrator writes everywhere: a file system that takes no files at all.
            probe.close();
            probe.remove();
            locked = u"/proc/self"_s;
            if (!QFileInfo(locked).isDir())
                QSKIP("no folder that refuses new files on this system");
        }
        const Result r = archive({u"--generate"_s, u"--destination"_s, locked});
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(u"cannot be written"_s), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(locked + u"/index.htm"_s));
        QFile::setPermissions(path(u"locked"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Outlook's own files imported into the knowledge-base folder of a fresh installation, then
    // published: ordinary mail stays out of the web site, articles go in with their categories,
    // types, bodies and attachments.
    void publishesArticlesImportedFromOutlookFiles()
    {
        QVERIFY(install(false));
        const QString folder = u"\\\\Public Folders\\All Public Folders\\Knowledge Base"_s;
        const QString store = QStringLiteral(LORVO_STORE_PROGRAM);
        const QString samples =
            qEnvironmentVariable("LORVO_SOURCE_DIR") + u"/tests/data/outlook/"_s;

        // A data file of ordinary mail (IPM.Note): it goes in, folder tree and all, but holds no
        // article.
        Result r = run(store, {u"import"_s, folder, samples + u"attachAndInline.pst"_s});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(folder + u"\\削除済みアイテム: 0 imported"_s));
        r = archive({u"--generate"_s, u"--destination"_s, site()});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        // The publisher passes over mail: an empty table of contents, no page.
        QVERIFY(readPage(site() + u"/index.htm"_s).contains(u"<ul></ul><br></body></html>"_s));
        QCOMPARE(QDir(site()).entryList({u"*.htm"_s}), QStringList{u"index.htm"_s});

        // Articles saved as .msg files: one with an RTF body that holds its HTML, one with an
        // HTML body, each with an attachment.
        const QUuid publicStrings(u"{00020329-0000-0000-C000-000000000046}"_s);
        const QByteArray rtf = lorvo::rtf::itemToRtf(
            {}, u"<html><body><p>Restart the VPN client, then sign in again.</p></body></html>"_s);
        QByteArray stored(16, '\0');
        qToLittleEndian<quint32>(quint32(rtf.size() + 12), stored.data());
        qToLittleEndian<quint32>(quint32(rtf.size()), stored.data() + 4);
        stored.replace(8, 4, "MELA");
        const QByteArray steps = "1. Restart\r\n2. Reconnect\r\n";
        const QByteArray queue = "printer;jobs\r\nthird floor;3\r\n";
        QVERIFY(QDir().mkpath(path(u"articles"_s)));
        QVERIFY(lorvo::test::MsgWriter()
                    .text(0x001A, kArticleClass)
                    .text(0x0037, u"VPN drops every hour"_s)
                    .binary(0x1009, stored + rtf)
                    .namedText(publicStrings, u"Problem Category"_s, u"Network"_s)
                    .namedText(publicStrings, u"Problem Type"_s, u"Fault"_s)
                    .attach(u"steps.txt"_s, steps)
                    .write(path(u"articles/vpn.msg"_s)));
        QVERIFY(lorvo::test::MsgWriter()
                    .text(0x001A, kArticleClass)
                    .text(0x0037, u"Printer queue stuck"_s)
                    .integer(0x3FDE, 65001)
                    .binary(0x1013,
                            "<html><body><p>Clear the queue on the third floor.</p></body></html>")
                    .namedText(publicStrings, u"Problem Category"_s, u"Printing"_s)
                    .namedText(publicStrings, u"Problem Type"_s, u"How-to"_s)
                    .attach(u"queue.csv"_s, queue)
                    .write(path(u"articles/printer.msg"_s)));
        r = run(store, {u"import"_s, folder, path(u"articles"_s)});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(u"Total: 2 imported, 0 updated, 0 removed, 0 skipped"_s));

        r = archive({u"--generate"_s, u"--destination"_s, site(), u"--group"_s, u"category-type"_s,
                     u"--attachments"_s, u"on"_s});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString toc = readPage(site() + u"/index.htm"_s);
        QVERIFY(toc.contains(u"<b>Network</b>"_s));
        QVERIFY(toc.contains(u"<b>Printing</b>"_s));
        QVERIFY(!toc.contains(u"Attach and inline"_s));
        const QStringList pages = checkSite(site());
        QCOMPARE(pages.size(), 2);
        const QString vpn = readPage(site() + u"/VPN drops every hour.htm"_s);
        QVERIFY(vpn.contains(
            u"<b>Problem Type     : </b>Fault<br><b>Problem Category : </b>Network"_s));
        QVERIFY(vpn.contains(u"Restart the VPN client, then sign in again."_s));
        QVERIFY(vpn.contains(u"steps.txt</a></li>"_s));
        const QString printer = readPage(site() + u"/Printer queue stuck.htm"_s);
        QVERIFY(printer.contains(
            u"<b>Problem Type     : </b>How-to<br><b>Problem Category : </b>Printing"_s));
        QVERIFY(printer.contains(u"Clear the queue on the third floor."_s));
        // The attachments, byte for byte.
        QSet<QByteArray> saved;
        QDirIterator files(site(), {u"*.txt"_s, u"*.csv"_s}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile f(files.next());
            QVERIFY(f.open(QIODevice::ReadOnly));
            saved.insert(f.readAll());
        }
        QCOMPARE(saved, (QSet<QByteArray>{steps, queue}));
    }

    // A failure's report is printed whole: its reason does not fall off at the message box's 255
    // characters.
    void failureReportIsPrintedWhole()
    {
        QVERIFY(install());
        QVERIFY(QDir().mkpath(site() + u"/index.htm"_s));
        const Result r = archive({u"--generate"_s, u"--destination"_s, site()});
        QCOMPARE(r.code, 1);
        const QString index = QDir::toNativeSeparators(site() + u"/index.htm"_s);
        QVERIFY2(r.err.contains(u"The system error message was: :\nPermission denied: "_s + index +
                                u"\n#70\n\nSub routine : fncWriteTOC \nError on line: 10"_s),
                 qPrintable(r.err));
    }

    // An article whose page cannot be written is left out of a site that is written all the same;
    // a destination another run is publishing to is left alone.
    void leftOutArticlesAndBusyDestination()
    {
        QVERIFY(install());
        const QList<Article> articles = templateArticles();
        const QString blocked = articles.first().subject;
        QVERIFY(!blocked.contains(QRegularExpression(u"[\\\\/?*:\"<>|]"_s)));
        QVERIFY(QDir().mkpath(site() + u'/' + blocked + u".htm"_s));
        Result r = archive({u"--generate"_s, u"--destination"_s, site(), u"--group"_s, u"none"_s});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QDir::toNativeSeparators(site() + u"/index.htm"_s) + u'\n');
        QVERIFY2(
            r.err.contains(u"LorvoArchive: left out '"_s + blocked + u"': Permission denied"_s),
            qPrintable(r.err));
        const QString toc = readPage(site() + u"/index.htm"_s);
        QVERIFY(!toc.contains(u"'>"_s + escaped(blocked) + u"</a>"_s));
        QVERIFY(toc.contains(u"'>"_s + escaped(articles.last().subject) + u"</a>"_s));
        QCOMPARE(checkSite(site()).size(), articles.size() - 1);

        // Another run holds the destination.
        QVERIFY(QDir().mkpath(path(u"busy"_s)));
        QLockFile lock(path(u"busy/.LorvoArchive.lock"_s));
        QVERIFY(lock.tryLock());
        r = archive({u"--generate"_s, u"--destination"_s, path(u"busy"_s)});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(u"is publishing to this folder"_s), qPrintable(r.err));
        QCOMPARE(QDir(path(u"busy"_s)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void helpNamesTheCommandLine()
    {
        const Result r = archive({u"--help"_s});
        QCOMPARE(r.code, 0);
        for (const QString& option :
             {u"--generate"_s, u"--destination <DIR>"_s, u"--group <category-type|none>"_s,
              u"--naming <subject|number>"_s, u"--start <N>"_s, u"--collapse-initially"_s,
              u"--category <TEXT>"_s, u"--type <TEXT>"_s})
            QVERIFY2(r.out.contains(option), qPrintable(option));
        QCOMPARE(r.err, QString());
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
