// The published site as a whole: with the search page and the sitemap left off, a run writes
// exactly the files it always wrote (compared byte for byte with copies kept in tests/archive/
// published/); with them on, the search index and the sitemap.

#include "tests/archive/test_generators.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace gentest;
using namespace lorvo::archive;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every file below a folder, relative to it, sorted.
QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

// Articles that exercise the pages' escaping, the code page and the attachment list.
QJsonArray siteArticles()
{
    QJsonObject note = article(u"A mail"_s, u"Hardware"_s, u"Fix"_s);
    note.insert(u"messageClass"_s, u"IPM.Note"_s);
    return {
        article(u"Printer jam"_s, u"Hardware"_s, u"Fix"_s,
                u"<html><head><TITLE></TITLE><style>p {font-size:12.0pt}</style></head><body>"
                "<p>Open the tray &amp; pull the sheet.</p></body></html>"_s),
        article(u"Caf\u00e9 au lait \u2013 \u20ac2 \u2192 menu"_s, u"Kitchen"_s, u"How-to"_s),
        article(u"<b>\"Quoted\" & 'apos'</b>"_s, u"Hardware"_s, u"Fix"_s),
        article(u"VPN drops"_s, u"Network"_s, u"How-to"_s, {},
                {attachment(u"notes.txt"_s, "text")}),
        note,
    };
}

QList<ListEntry> all(const QStringList& texts)
{
    QList<ListEntry> list;
    for (const QString& text : texts)
        list.append({text, true});
    return list;
}

// Compares the destination with the kept copy of one run; LORVO_WRITE_PUBLISHED=1 writes the
// copy instead (after a deliberate change of the published files).
void compareWithKept(const Archive& a, const QString& name)
{
    const QString kept =
        qEnvironmentVariable("LORVO_SOURCE_DIR") + u"/tests/archive/published/"_s + name;
    QStringList files = filesBelow(a.dest);
    // The outline script is the keyboard-enabled one; the browser tests check what it does.
    files.removeAll(u"outline.js"_s);
    if (qEnvironmentVariableIntValue("LORVO_WRITE_PUBLISHED") == 1) {
        QDir(kept).removeRecursively();
        for (const QString& file : files) {
            QDir().mkpath(QFileInfo(kept + u'/' + file).absolutePath());
            QFile out(kept + u'/' + file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(a.bytes(file));
        }
        return;
    }
    QCOMPARE(files, filesBelow(kept));
    for (const QString& file : files)
        QVERIFY2(a.bytes(file) == readAll(kept + u'/' + file), qPrintable(name + u'/' + file));
}

} // namespace

void GeneratorsTest::siteUnchangedWithOptionsOff()
{
    Archive flat(siteArticles());
    QVERIFY(flat.flat());
    compareWithKept(flat, u"flat"_s);

    Archive outline(siteArticles());
    outline.host.opts.attachments = 1;
    outline.host.categoryList = all({u"Hardware"_s, u"Kitchen"_s, u"Network"_s});
    outline.host.typeList = all({u"Fix"_s, u"How-to"_s});
    QVERIFY(outline.outline());
    compareWithKept(outline, u"outline"_s);

    Archive plain(siteArticles());
    plain.host.opts.collapse = 0;
    plain.host.opts.namingScheme = 1;
    plain.host.categoryList = all({u"Kitchen"_s, u"Hardware"_s});
    plain.host.typeList = all({u"How-to"_s, u"Fix"_s});
    QVERIFY(plain.outline());
    compareWithKept(plain, u"plain"_s);
}
