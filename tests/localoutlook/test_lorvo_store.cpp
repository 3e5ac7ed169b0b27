// lorvo-store run as a process: stores built from manifests and dumped back, the profile
// commands, and one clear message with a non-zero exit for every bad input.

#include "localoutlook/localoutlook.h"
#include "localoutlook/profile.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

class Tool
{
public:
    Tool() : profile(dir.path() + u"/profile"_s) {}

    Result run(const QStringList& args)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(u"LORVO_OUTLOOK_PROFILE"_s, profile);
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(LORVO_STORE_EXECUTABLE), args);
        if (!p.waitForFinished(60000))
            qFatal("lorvo-store did not finish");
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                p.readAllStandardOutput(), QString::fromLocal8Bit(p.readAllStandardError())};
    }

    QString path(const QString& name) const { return dir.path() + u'/' + name; }

    void write(const QString& name, const QByteArray& bytes) const
    {
        QDir().mkpath(QFileInfo(path(name)).absolutePath());
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(name));
        f.write(bytes);
    }

    void write(const QString& name, const QJsonObject& json) const
    {
        write(name, QJsonDocument(json).toJson());
    }

    // The files in the folder, for "nothing was left behind".
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files, QDir::Name); }

    QTemporaryDir dir;
    QString profile;
};

QByteArray binaryBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(char(255 - i));
    bytes.append('\0');
    return bytes;
}

QJsonObject manifest()
{
    return QJsonObject{
        {"displayName"_L1, "LorvoTest"_L1},
        {"folders"_L1,
         QJsonArray{
             QJsonObject{
                 {"name"_L1, "A"_L1},
                 {"defaultItemType"_L1, 6},
                 {"webViewURL"_L1, "file:C:\\Lorvo\\OLorvo.htm"_L1},
                 {"webViewOn"_L1, true},
                 {"items"_L1,
                  QJsonArray{QJsonObject{
                      {"messageClass"_L1, "IPM.Post.HelpdeskKBArticle"_L1},
                      {"subject"_L1, u"Caf\u00e9 article"_s},
                      {"htmlBodyFile"_L1, "bodies/one.htm"_L1},
                      {"body"_L1, "Plain"_L1},
                      {"userProperties"_L1,
                       QJsonObject{
                           {"Text"_L1, "x"_L1},
                           {"Whole"_L1, 42},
                           {"Fraction"_L1, 2.5},
                           {"WholeDouble"_L1, QJsonObject{{"double"_L1, 3}}},
                           {"Flag"_L1, false},
                           {"When"_L1, QJsonObject{{"date"_L1, "2026-01-31T12:00:00"_L1}}}}},
                      {"attachments"_L1, QJsonArray{QJsonObject{{"file"_L1, "files/blob.bin"_L1}},
                                                    QJsonObject{{"displayName"_L1, "inline.txt"_L1},
                                                                {"data"_L1, "aGVsbG8="_L1}}}}}}},
                 {"folders"_L1, QJsonArray{QJsonObject{
                                    {"name"_L1, "B"_L1},
                                    {"readOnly"_L1, true},
                                    {"allowSubfolders"_L1, false},
                                    {"folders"_L1, QJsonArray{}},
                                }}}},
             QJsonObject{{"name"_L1, "Empty"_L1}}}}};
}

void writeInputs(const Tool& t)
{
    t.write(u"bodies/one.htm"_s, "<p>One \xe2\x82\xac</p>");
    t.write(u"files/blob.bin"_s, binaryBytes());
    t.write(u"manifest.json"_s, manifest());
}

QJsonObject parse(const QByteArray& bytes)
{
    QJsonParseError e;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &e);
    if (e.error != QJsonParseError::NoError)
        qFatal("not JSON: %s", bytes.constData());
    return doc.object();
}

} // namespace

class TestLorvoStore : public QObject
{
    Q_OBJECT

private slots:
    void buildAndDumpRoundTrip();
    void badInputs_data();
    void badInputs();
    void badStoreFilesForDump();
    void profileCommands();
    void profileFolderThatCannotBeWritten();
    void twoProgramsChangingTheProfileAtOnce();
};

void TestLorvoStore::buildAndDumpRoundTrip()
{
    Tool t;
    writeInputs(t);
    const Result built = t.run({u"build"_s, t.path(u"manifest.json"_s), t.path(u"out.pst"_s)});
    QVERIFY2(built.exitCode == 0, qPrintable(built.err));

    const Result dumped = t.run({u"dump"_s, t.path(u"out.pst"_s)});
    QVERIFY2(dumped.exitCode == 0, qPrintable(dumped.err));
    const QJsonObject dump = parse(dumped.out);
    QCOMPARE(dump.value("displayName"_L1).toString(), u"LorvoTest"_s);
    const QJsonArray folders = dump.value("folders"_L1).toArray();
    QCOMPARE(folders.size(), 2);
    const QJsonObject a = folders[0].toObject();
    QCOMPARE(a.value("name"_L1).toString(), u"A"_s);
    QCOMPARE(a.value("defaultItemType"_L1).toInt(), 6);
    QCOMPARE(a.value("webViewURL"_L1).toString(), u"file:C:\\Lorvo\\OLorvo.htm"_s);
    QCOMPARE(a.value("webViewOn"_L1).toBool(), true);
    const QJsonObject b = a.value("folders"_L1).toArray()[0].toObject();
    QCOMPARE(b.value("name"_L1).toString(), u"B"_s);
    QCOMPARE(b.value("readOnly"_L1).toBool(), true);
    QCOMPARE(b.value("allowSubfolders"_L1).toBool(true), false);

    const QJsonObject item = a.value("items"_L1).toArray()[0].toObject();
    QCOMPARE(item.value("subject"_L1).toString(), u"Caf\u00e9 article"_s);
    QCOMPARE(item.value("htmlBody"_L1).toString(), u"<p>One \u20ac</p>"_s);
    const QJsonObject props = item.value("userProperties"_L1).toObject();
    QCOMPARE(props.value("Text"_L1), QJsonValue(u"x"_s));
    QCOMPARE(props.value("Whole"_L1).toVariant().typeId(), int(QMetaType::LongLong));
    QCOMPARE(props.value("Whole"_L1).toInteger(), 42);
    QCOMPARE(props.value("Fraction"_L1).toDouble(), 2.5);
    QCOMPARE(props.value("WholeDouble"_L1).toObject().value("double"_L1).toDouble(), 3.0);
    QCOMPARE(props.value("Flag"_L1), QJsonValue(false));
    QCOMPARE(props.value("When"_L1).toObject().value("date"_L1).toString(),
             u"2026-01-31T12:00:00"_s);
    const QJsonArray attachments = item.value("attachments"_L1).toArray();
    QCOMPARE(attachments.size(), 2);
    QCOMPARE(attachments[0].toObject().value("displayName"_L1).toString(), u"blob.bin"_s);
    QCOMPARE(
        QByteArray::fromBase64(attachments[0].toObject().value("data"_L1).toString().toLatin1()),
        binaryBytes());
    QCOMPARE(attachments[1].toObject().value("data"_L1).toString(), u"aGVsbG8="_s);

    // The dump is a manifest: building from it gives the same dump again.
    t.write(u"again.json"_s, dumped.out);
    const Result rebuilt = t.run({u"build"_s, t.path(u"again.json"_s), t.path(u"again.pst"_s)});
    QVERIFY2(rebuilt.exitCode == 0, qPrintable(rebuilt.err));
    QCOMPARE(parse(t.run({u"dump"_s, t.path(u"again.pst"_s)}).out), dump);

    // A failed build leaves an existing store as it was.
    t.write(u"broken.json"_s, QByteArray("{\"displayName\": \"Broken\", \"folders\": 7}"));
    const Result failed = t.run({u"build"_s, t.path(u"broken.json"_s), t.path(u"again.pst"_s)});
    QVERIFY(failed.exitCode != 0);
    QVERIFY2(failed.err.contains(u"folders"_s), qPrintable(failed.err));
    QCOMPARE(parse(t.run({u"dump"_s, t.path(u"again.pst"_s)}).out), dump);

    // Building over an existing store replaces it.
    t.write(u"small.json"_s, QJsonObject{{"displayName"_L1, "Small"_L1}});
    QCOMPARE(t.run({u"build"_s, t.path(u"small.json"_s), t.path(u"again.pst"_s)}).exitCode, 0);
    QCOMPARE(parse(t.run({u"dump"_s, t.path(u"again.pst"_s)}).out).value("displayName"_L1),
             QJsonValue(u"Small"_s));
}

void TestLorvoStore::badInputs_data()
{
    QTest::addColumn<QByteArray>("manifestText");
    QTest::addColumn<QString>("named"); // what the message has to name

    QTest::newRow("syntax error") << QByteArray("{\n  \"displayName\": \"X\",\n  \"folders\": [\n")
                                  << u"line"_s;
    QTest::newRow("not an object") << QByteArray("[1, 2]") << u"manifest.json"_s;
    QTest::newRow("unknown key")
        << QByteArray(R"({"displayName": "X", "folders": [{"name": "A", "colour": "red"}]})")
        << u"colour"_s;
    QTest::newRow("unknown item key")
        << QByteArray(
               R"({"displayName": "X", "folders": [{"name": "A", "items": [{"subjct": "s"}]}]})")
        << u"subjct"_s;
    QTest::newRow("missing attachment file")
        << QByteArray(R"({"displayName": "X", "folders": [{"name": "A", "items": [)"
                      R"({"attachments": [{"file": "nowhere/missing.bin"}]}]}]})")
        << u"missing.bin"_s;
    QTest::newRow("missing body file")
        << QByteArray(R"({"displayName": "X", "folders": [{"name": "A", "items": [)"
                      R"({"htmlBodyFile": "gone.htm"}]}]})")
        << u"gone.htm"_s;
    QTest::newRow("bad base64")
        << QByteArray(R"({"displayName": "X", "folders": [{"name": "A", "items": [)"
                      R"({"attachments": [{"displayName": "a", "data": "!!"}]}]}]})")
        << u"base64"_s;
    QTest::newRow("missing display name") << QByteArray(R"({"folders": []})") << u"displayName"_s;
    QTest::newRow("bad field value")
        << QByteArray(R"({"displayName": "X", "folders": [{"name": "A", "items": [)"
                      R"({"userProperties": {"Due": {"date": "tomorrow"}}}]}]})")
        << u"Due"_s;
    QTest::newRow("duplicate folder")
        << QByteArray(R"({"displayName": "X", "folders": [{"name": "A"}, {"name": "A"}]})")
        << u"\"A\""_s;
}

void TestLorvoStore::badInputs()
{
    QFETCH(QByteArray, manifestText);
    QFETCH(QString, named);
    Tool t;
    t.write(u"manifest.json"_s, manifestText);
    const Result r = t.run({u"build"_s, t.path(u"manifest.json"_s), t.path(u"out.pst"_s)});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(named), qPrintable(r.err));
    QCOMPARE(r.err.count(u'\n'), 1); // one message
    QCOMPARE(t.files(), QStringList{u"manifest.json"_s});
}

void TestLorvoStore::badStoreFilesForDump()
{
    Tool t;
    writeInputs(t);
    QCOMPARE(t.run({u"build"_s, t.path(u"manifest.json"_s), t.path(u"good.pst"_s)}).exitCode, 0);
    QFile good(t.path(u"good.pst"_s));
    QVERIFY(good.open(QIODevice::ReadOnly));
    const QByteArray bytes = good.readAll();
    t.write(u"truncated.pst"_s, bytes.left(bytes.size() / 2));
    t.write(u"text.pst"_s, "hello\n");

    for (const QString& name : {u"missing.pst"_s, u"truncated.pst"_s, u"text.pst"_s}) {
        const Result r = t.run({u"dump"_s, t.path(name)});
        QVERIFY2(r.exitCode != 0, qPrintable(name));
        QVERIFY2(r.err.contains(name), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    // The manifest itself missing, and an output folder that does not exist.
    Result r = t.run({u"build"_s, t.path(u"nothere.json"_s), t.path(u"x.pst"_s)});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(u"nothere.json"_s), qPrintable(r.err));
    r = t.run({u"build"_s, t.path(u"manifest.json"_s), t.path(u"no/such/x.pst"_s)});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(u"such"_s), qPrintable(r.err));
    QVERIFY(!QFile::exists(t.path(u"x.pst"_s)));

    // Wrong usage says how to use it.
    r = t.run({u"frobnicate"_s});
    QVERIFY(r.exitCode != 0);
    QVERIFY(r.err.contains(u"usage"_s));
}

void TestLorvoStore::profileCommands()
{
    Tool t;
    writeInputs(t);
    QCOMPARE(t.run({u"build"_s, t.path(u"manifest.json"_s), t.path(u"kb.pst"_s)}).exitCode, 0);

    // Nothing to attach to before the profile exists.
    Result r = t.run({u"profile"_s, u"attach"_s, t.path(u"kb.pst"_s)});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(QDir::toNativeSeparators(t.profile)), qPrintable(r.err));

    r = t.run({u"profile"_s, u"init"_s, u"--version"_s, u"11.0.5510"_s});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    r = t.run({u"profile"_s, u"attach"_s, t.path(u"kb.pst"_s)});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    r = t.run({u"profile"_s, u"show"_s, u"\\\\LorvoTest\\A\\B"_s});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));

    r = t.run({u"profile"_s, u"dump"_s});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QJsonObject dump = parse(r.out);
    QCOMPARE(dump.value("version"_L1).toString(), u"11.0.5510"_s);
    const QJsonArray stores = dump.value("stores"_L1).toArray();
    QCOMPARE(stores.size(), 3);
    QCOMPARE(stores[2].toObject().value("content"_L1).toObject().value("displayName"_L1),
             QJsonValue(u"LorvoTest"_s));
    const QJsonArray explorers = dump.value("explorers"_L1).toArray();
    QCOMPARE(explorers.size(), 1);
    QCOMPARE(explorers[0].toObject().value("folder"_L1).toString(), u"\\\\LorvoTest\\A\\B"_s);
    QCOMPARE(explorers[0].toObject().value("active"_L1).toBool(), true);

    // What the tool left shown is what a program finds.
    localoutlook::Profile profile(t.profile);
    QCOMPARE(profile.load().stores.size(), 3);

    // Bad paths and files are named; the profile stays as it was.
    const QByteArray before = [&] {
        QFile f(profile.filePath());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    r = t.run({u"profile"_s, u"show"_s, u"\\\\LorvoTest\\A\\Nope"_s});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(u"\\\\LorvoTest\\A\\Nope"_s), qPrintable(r.err));
    r = t.run({u"profile"_s, u"attach"_s, t.path(u"absent.pst"_s)});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(u"absent.pst"_s), qPrintable(r.err));
    QVERIFY(!QFile::exists(t.path(u"absent.pst"_s)));
    QFile after(profile.filePath());
    QVERIFY(after.open(QIODevice::ReadOnly));
    QCOMPARE(after.readAll(), before);
}

void TestLorvoStore::profileFolderThatCannotBeWritten()
{
    Tool t;
    t.write(u"blocker"_s, "a file where the profile folder should go");
    t.profile = t.path(u"blocker/profile"_s);
    const Result r = t.run({u"profile"_s, u"init"_s});
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(QDir::toNativeSeparators(t.profile)), qPrintable(r.err));
    QCOMPARE(t.files(), QStringList{u"blocker"_s});
}

void TestLorvoStore::twoProgramsChangingTheProfileAtOnce()
{
    Tool t;
    writeInputs(t);
    QCOMPARE(t.run({u"build"_s, t.path(u"manifest.json"_s), t.path(u"kb.pst"_s)}).exitCode, 0);
    QCOMPARE(t.run({u"profile"_s, u"init"_s, u"--version"_s, u"11.0.5510"_s}).exitCode, 0);

    // While this program is changing the profile, lorvo-store attaches a store to it: it waits
    // for this change to be written and then makes its own, so that neither change is lost.
    QProcess other;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"LORVO_OUTLOOK_PROFILE"_s, t.profile);
    other.setProcessEnvironment(env);
    const localoutlook::Profile profile(t.profile);
    bool otherWaited = false;
    profile.update([&](localoutlook::ProfileState& state) {
        other.start(QStringLiteral(LORVO_STORE_EXECUTABLE),
                    {u"profile"_s, u"attach"_s, t.path(u"kb.pst"_s)});
        otherWaited = !other.waitForFinished(3000);
        state.version = u"12.0.4518"_s;
    });
    QVERIFY2(otherWaited, "lorvo-store changed the profile while another program was changing it");
    QVERIFY(other.waitForFinished(60000));
    QVERIFY2(other.exitCode() == 0, other.readAllStandardError().constData());

    const localoutlook::ProfileState state = profile.load();
    QCOMPARE(state.version, u"12.0.4518"_s);
    QCOMPARE(state.stores.size(), 3);
    QCOMPARE(state.stores.last(), QDir::cleanPath(t.path(u"kb.pst"_s)));
}

QTEST_GUILESS_MAIN(TestLorvoStore)
#include "test_lorvo_store.moc"
