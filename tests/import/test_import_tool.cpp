// lorvo-store import as a nightly job runs it: what a second run changes, what --sync removes,
// and bad input refused with a message, its exit code and the store untouched.

#include "localoutlook/manifest.h"
#include "localoutlook/store.h"
#include "test_import.h"
#include "tests/support/msgwriter.h"
#include "tests/support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;
using lorvo::test::TestRuntime;

namespace {

const QString kPublic = u"\\\\Public Folders\\All Public Folders"_s;
const QString kInbox = u"\\\\Mailbox\\Inbox"_s;

// The subjects of a folder's items in a store dump.
QStringList subjects(const QJsonObject& dump, int store, const QStringList& path)
{
    QJsonArray folders = dump[u"stores"_s][store][u"content"_s][u"folders"_s].toArray();
    QJsonObject folder;
    for (const QString& name : path) {
        for (const QJsonValue& f : std::as_const(folders)) {
            if (f[u"name"_s].toString() == name)
                folder = f.toObject();
        }
        folders = folder[u"folders"_s].toArray();
    }
    QStringList result;
    for (const QJsonValue& item : folder[u"items"_s].toArray())
        result.append(item[u"subject"_s].toString());
    return result;
}

bool copy(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    return QFile::copy(from, to);
}

// A store with a read-only folder and one that takes no subfolders, attached to the profile.
void attachTestStore(const TestRuntime& t)
{
    const QJsonObject manifest{
        {u"displayName"_s, u"Shared"_s},
        {u"folders"_s,
         QJsonArray{QJsonObject{{u"name"_s, u"Locked"_s}, {u"readOnly"_s, true}},
                    QJsonObject{{u"name"_s, u"Flat"_s}, {u"allowSubfolders"_s, false}}}}};
    const QString path = t.path(u"shared.pst"_s);
    localoutlook::buildStore(manifest, t.dir.path(), path);
    QCOMPARE(ImportTest::store({u"profile"_s, u"attach"_s, path}).code, 0);
}

} // namespace

ImportTest::Run ImportTest::store(const QStringList& arguments)
{
    QProcess p;
    p.start(QStringLiteral(LORVO_STORE_EXECUTABLE), arguments);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = u"did not finish"_s;
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QJsonObject ImportTest::profileDump()
{
    const Run r = store({u"profile"_s, u"dump"_s});
    return QJsonDocument::fromJson(r.out.toUtf8()).object();
}

void ImportTest::importingAgainChangesNothing()
{
    TestRuntime t;
    const QString messages = t.path(u"messages"_s);
    for (const QString& name : {u"HtmlSampleEmail.msg"_s, u"qwerty_2-with_custom_properties.msg"_s,
                                u"EmailWithAttachments.msg"_s})
        QVERIFY(copy(sample(name), messages + u'/' + name));
    const QStringList arguments{u"import"_s, kInbox, sample(u"attachAndInline.pst"_s),
                                sample(u"msgInMsg.pst"_s), messages};
    Run r = store(arguments);
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, u"%1: 5 imported, 0 updated, 0 removed, 0 skipped\n"
                    "%1\\削除済みアイテム: 0 imported, 0 updated, 0 removed, 0 skipped\n"
                    "Total: 5 imported, 0 updated, 0 removed, 0 skipped\n"_s.arg(kInbox));
    QCOMPARE(r.err, QString()); // no terminal, no progress bar
    const QJsonObject once = profileDump();

    r = store(arguments);
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.endsWith(u"Total: 0 imported, 5 updated, 0 removed, 0 skipped\n"_s),
             qPrintable(r.out));
    QCOMPARE(profileDump(), once);
}

void ImportTest::syncRemovesExactlyWhatTheSourceLost()
{
    TestRuntime t;
    const QString messages = t.path(u"messages"_s);
    QVERIFY(copy(sample(u"HtmlSampleEmail.msg"_s), messages + u"/a.msg"_s));
    QVERIFY(copy(sample(u"RtfSampleEmail.msg"_s), messages + u"/b/b.msg"_s));
    QVERIFY(copy(sample(u"TxtSampleEmail.msg"_s), messages + u"/c.msg"_s));
    QVERIFY(copy(sample(u"test_Blammo.msg"_s), t.path(u"other/blammo.msg"_s)));
    QCOMPARE(store({u"import"_s, kPublic, t.path(u"other/blammo.msg"_s)}).code, 0);
    // An item that came another way.
    {
        auto shared = localoutlook::Store::open(t.profileDir + u"/Public Folders.pst"_s);
        localoutlook::ItemRecord own;
        own.subject = u"Written in Outlook"_s;
        shared->addItem(shared->childFolders(shared->topFolderId())[0], own);
    }

    Run r = store({u"import"_s, u"--sync"_s, kPublic, messages});
    QCOMPARE(r.code, 0);
    QCOMPARE(subjects(profileDump(), 1, {u"All Public Folders"_s}),
             (QStringList{u"BlammoBlammo"_s, u"Written in Outlook"_s, u"HtmlSampleEmail"_s,
                          u"RtfSampleEmail"_s, u"TxtSampleEmail"_s}));

    QVERIFY(QFile::remove(messages + u"/b/b.msg"_s));
    r = store({u"import"_s, u"--sync"_s, kPublic, messages});
    QCOMPARE(r.code, 0);
    QVERIFY2(r.out.endsWith(u"Total: 0 imported, 2 updated, 1 removed, 0 skipped\n"_s),
             qPrintable(r.out));
    QCOMPARE(subjects(profileDump(), 1, {u"All Public Folders"_s}),
             (QStringList{u"BlammoBlammo"_s, u"Written in Outlook"_s, u"HtmlSampleEmail"_s,
                          u"TxtSampleEmail"_s}));

    // A message that cannot be read might still be there: nothing is removed for its source.
    QVERIFY(QFile::remove(messages + u"/c.msg"_s));
    QFile text(messages + u"/d.msg"_s);
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("no message");
    text.close();
    r = store({u"import"_s, u"--sync"_s, kPublic, messages});
    QCOMPARE(r.code, 3);
    QVERIFY2(r.err.contains(u"nothing was removed"_s), qPrintable(r.err));
    QCOMPARE(subjects(profileDump(), 1, {u"All Public Folders"_s}).size(), 4);
}

void ImportTest::aDumpOfAnImportedStoreBuildsTheSameStore()
{
    TestRuntime t;
    QCOMPARE(store({u"import"_s, kInbox, sample(u"attachAndInline.pst"_s),
                    sample(u"EmailWithInnerMailAndAttachments.msg"_s)})
                 .code,
             0);
    const Run dump = store({u"dump"_s, t.profileDir + u"/Mailbox.pst"_s});
    QCOMPARE(dump.code, 0);
    QFile manifest(t.path(u"manifest.json"_s));
    QVERIFY(manifest.open(QIODevice::WriteOnly));
    manifest.write(dump.out.toUtf8());
    manifest.close();
    QCOMPARE(store({u"build"_s, manifest.fileName(), t.path(u"rebuilt.pst"_s)}).code, 0);
    const Run again = store({u"dump"_s, t.path(u"rebuilt.pst"_s)});
    QCOMPARE(again.out, dump.out);
    for (const QString& key :
         {u"\"rtfBody\""_s, u"\"created\""_s, u"\"modified\""_s, u"\"source\""_s,
          u"\"sourceKey\""_s, u"\"contentId\""_s, u"\"hidden\": true"_s})
        QVERIFY2(dump.out.contains(key), qPrintable(key));
}

void ImportTest::badInputChangesNothing_data()
{
    QTest::addColumn<QStringList>("arguments"); // {dir} stands for the test's folder
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QString dir = u"{dir}"_s;
    QTest::newRow("a text file") << QStringList{u"import"_s, kPublic, dir + u"/notes.txt"_s} << 1
                                 << u"{dir}/notes.txt is neither an Outlook message (.msg) nor an "
                                    "Outlook data file (.pst, .ost)."_s;
    QTest::newRow("a cut-off data file")
        << QStringList{u"import"_s, kPublic, dir + u"/cut.pst"_s} << 1
        << u"The file {dir}/cut.pst is cut off: it holds 150000 bytes of 271360."_s;
    QTest::newRow("a damaged property stream")
        << QStringList{u"import"_s, kPublic, dir + u"/damaged.msg"_s} << 3
        << u"skipped {dir}/damaged.msg: \"damaged\" (into %1): the message is damaged: a property "
           "stream is shorter than its header (20 bytes)"_s.arg(kPublic);
    QTest::newRow("a damaged RTF body")
        << QStringList{u"import"_s, kPublic, dir + u"/badrtf.msg"_s} << 3
        << u"\"Broken body\" (into %1): the compressed RTF body is damaged (CRC mismatch)"_s.arg(
               kPublic);
    QTest::newRow("a missing file") << QStringList{u"import"_s, kPublic, dir + u"/none.msg"_s} << 1
                                    << u"The file {dir}/none.msg could not be found."_s;
    QTest::newRow("a folder that does not exist")
        << QStringList{u"import"_s, kPublic + u"\\Nowhere"_s, dir + u"/notes.txt"_s} << 1
        << u"The folder %1\\Nowhere does not exist."_s.arg(kPublic);
    QTest::newRow("a read-only folder")
        << QStringList{u"import"_s, u"\\\\Shared\\Locked"_s, sample(u"test_Blammo.msg"_s)} << 1
        << u"You do not have permission to change the folder \\\\Shared\\Locked."_s;
    QTest::newRow("--from for a message")
        << QStringList{u"import"_s, u"--from"_s, u"Top"_s, kPublic, sample(u"test_Blammo.msg"_s)}
        << 1 << u"--from names a folder of a .pst file"_s;
    QTest::newRow("no source") << QStringList{u"import"_s, kPublic} << 2
                               << u"lorvo-store import [--from PST-FOLDER-PATH] [--sync]"_s;
    QTest::newRow("an unknown option")
        << QStringList{u"import"_s, u"--all"_s, kPublic, sample(u"test_Blammo.msg"_s)} << 2
        << u"usage:"_s;
}

void ImportTest::badInputChangesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, code);
    QFETCH(QString, message);
    TestRuntime t;
    attachTestStore(t);
    QFile text(t.path(u"notes.txt"_s));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("Remember the milk.\n");
    text.close();
    QFile pst(sample(u"attachAndInline.pst"_s));
    QVERIFY(pst.open(QIODevice::ReadOnly));
    QFile cut(t.path(u"cut.pst"_s));
    QVERIFY(cut.open(QIODevice::WriteOnly));
    cut.write(pst.read(150000));
    cut.close();
    lorvo::test::MsgWriter damaged;
    damaged.text(0x0037, u"damaged"_s);
    QMap<QString, QByteArray> streams = damaged.streams();
    streams[u"__properties_version1.0"_s].truncate(20);
    QFile msg(t.path(u"damaged.msg"_s));
    QVERIFY(msg.open(QIODevice::WriteOnly));
    msg.write(lorvo::test::compoundFile(streams));
    msg.close();
    QByteArray rtf = QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a7"
                                         "03000a007263706731323542320af320"
                                         "68656c090020627705b06c647d0a800f"
                                         "a0");
    rtf[40] = 'X';
    QVERIFY(lorvo::test::MsgWriter()
                .text(0x0037, u"Broken body"_s)
                .binary(0x1009, rtf)
                .write(t.path(u"badrtf.msg"_s)));

    const QString dir = QDir::toNativeSeparators(t.dir.path());
    for (QString& argument : arguments)
        argument.replace(u"{dir}"_s, t.dir.path());
    message.replace(u"{dir}"_s, dir);
    const QJsonObject before = profileDump();
    const Run r = store(arguments);
    QCOMPARE(r.code, code);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    if (code == 1)
        QCOMPARE(r.out, QString());
    QCOMPARE(profileDump(), before);
}

void ImportTest::aFailureHalfWayChangesNothing()
{
    TestRuntime t;
    attachTestStore(t);
    const QJsonObject before = profileDump();
    // The file's top message goes in first; its subfolder then cannot be made.
    const Run r = store({u"import"_s, u"\\\\Shared\\Flat"_s, sample(u"msgInMsg.pst"_s)});
    QCOMPARE(r.code, 1);
    QVERIFY2(
        r.err.contains(u"Cannot create the folder \"削除済みアイテム\" in \\\\Shared\\Flat: the "
                       "folder does not accept subfolders. Nothing was imported."_s),
        qPrintable(r.err));
    QCOMPARE(r.out, QString());
    QCOMPARE(profileDump(), before);
}
