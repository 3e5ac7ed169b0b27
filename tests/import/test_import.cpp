// The import library: compressed RTF against the document's worked examples, and the sample
// files as the programs see them once imported through the outlook:: seam.

#include "test_import.h"

#include "localoutlook/import/importer.h"
#include "localoutlook/import/lzfu.h"
#include "localoutlook/import/source.h"
#include "localoutlook/manifest.h"
#include "localoutlook/store.h"
#include "shared/error.h"
#include "shared/outlook.h"
#include "shared/rtf/writer.h"
#include "tests/support/msgwriter.h"
#include "tests/support/testsupport.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStringEncoder>
#include <QTest>
#include <QtEndian>

using namespace Qt::StringLiterals;
namespace imp = localoutlook::import;
using lorvo::test::TestRuntime;

namespace {

const QString kPublic = u"\\\\Public Folders\\All Public Folders"_s;
const QString kInbox = u"\\\\Mailbox\\Inbox"_s;
const QUuid kPublicStrings(u"{00020329-0000-0000-C000-000000000046}"_s);

imp::ImportReport importInto(const TestRuntime& t, const QString& path, const QStringList& files,
                             const QString& from = {}, bool sync = false)
{
    std::vector<std::unique_ptr<imp::MessageSource>> sources;
    for (const QString& file : files)
        sources.push_back(imp::openSource(file, from));
    return imp::importSources(imp::findTarget(t.profileDir, path), sources, sync);
}

outlook::FolderPtr folderAt(const TestRuntime& t, const QString& path)
{
    const auto ns = t.outlook->GetRunning()->GetNamespace(u"MAPI"_s);
    return lorvo::test::folderAtPath(*ns, path);
}

outlook::ItemPtr itemWithSubject(const outlook::FolderPtr& folder, const QString& subject)
{
    const auto items = folder->Items();
    for (int i = 1; i <= items->Count(); ++i) {
        if (items->Item(i)->Subject() == subject)
            return items->Item(i);
    }
    return nullptr;
}

QByteArray sha256(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

// The bytes an attachment saves.
QByteArray saved(const outlook::AttachmentPtr& attachment, const QString& path)
{
    attachment->SaveAsFile(path);
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray header(quint32 compSize, quint32 rawSize, QByteArrayView type, quint32 crc)
{
    QByteArray h(16, '\0');
    qToLittleEndian(compSize, h.data());
    qToLittleEndian(rawSize, h.data() + 4);
    h.replace(8, 4, type.toByteArray());
    qToLittleEndian(crc, h.data() + 12);
    return h;
}

// The two worked examples of [MS-OXRTFCP].
const QByteArray kSimple = QByteArray::fromHex("2d0000002b0000004c5a4675f1c5c7a7"
                                               "03000a007263706731323542320af320"
                                               "68656c090020627705b06c647d0a800f"
                                               "a0");
const QByteArray kCrossing = QByteArray::fromHex("1a0000001c0000004c5a4675e2d44b51"
                                                 "410004205758595a0d6e7d010eb0");

} // namespace

QString ImportTest::sample(const QString& name)
{
    return qEnvironmentVariable("LORVO_SOURCE_DIR") + u"/tests/data/outlook/"_s + name;
}

void ImportTest::lzfuReproducesTheWorkedExamples()
{
    QCOMPARE(imp::decompressRtf(kSimple),
             QByteArray("{\\rtf1\\ansi\\ansicpg1252\\pard hello world}\r\n"));
    QCOMPARE(imp::decompressRtf(kCrossing), QByteArray("{\\rtf1 WXYZWXYZWXYZWXYZWXYZ}"));
    // Stored without compression: taken as it is, whatever follows the announced size.
    const QByteArray raw = "{\\rtf1 plain}";
    QCOMPARE(imp::decompressRtf(QByteArray(header(12 + 14, 13, "MELA", 0) + raw + '\0')), raw);
}

void ImportTest::lzfuRefusesDamage_data()
{
    QTest::addColumn<QByteArray>("compressed");
    QTest::addColumn<QString>("reason");
    QByteArray flipped = kSimple;
    flipped[30] = char(flipped[30] ^ 0x20);
    QTest::newRow("a byte changed") << flipped << u"CRC mismatch"_s;
    QTest::newRow("cut off") << kSimple.chopped(3) << u"size"_s;
    QTest::newRow("only part of a header") << kSimple.left(10) << u"shorter than its header"_s;
    QByteArray type = kSimple;
    type.replace(8, 4, "LZFv");
    QTest::newRow("unknown compression") << type << u"unknown compression type"_s;
    QByteArray small = kSimple;
    qToLittleEndian<quint32>(10, small.data() + 4);
    QTest::newRow("more than announced") << small << u"more than the 10 bytes"_s;
    QByteArray large = kSimple;
    qToLittleEndian<quint32>(100, large.data() + 4);
    QTest::newRow("less than announced") << large << u"100 bytes of RTF announced, 43 there"_s;
    // Literals only, with a right CRC, but no end marker.
    const QByteArray literals = QByteArray(1, '\0') + "{\\rtf1 }";
    QTest::newRow("no end marker")
        << header(12 + 9, 8, "LZFu", imp::compressedRtfCrc(literals)) + literals
        << u"end marker is missing"_s;
    const QByteArray mela = "{\\rtf1";
    QTest::newRow("stored, cut off")
        << header(12 + 6, 50, "MELA", 0) + mela << u"50 bytes of RTF announced, 6 there"_s;
}

void ImportTest::lzfuRefusesDamage()
{
    QFETCH(QByteArray, compressed);
    QFETCH(QString, reason);
    try {
        imp::decompressRtf(compressed);
        QFAIL("damaged RTF was taken");
    } catch (const lorvo::Error& e) {
        QVERIFY2(e.description().contains(reason), qPrintable(e.description()));
    }
}

void ImportTest::userFieldsComeFromPublicStringsOnly()
{
    TestRuntime t;
    importInto(t, kPublic,
               {sample(u"qwerty_2-with_custom_properties.msg"_s), sample(u"test_Blammo.msg"_s)});
    const auto folder = folderAt(t, kPublic);
    const auto qwerty = itemWithSubject(folder, u"qwerty"_s);
    QVERIFY(qwerty);
    QCOMPARE(qwerty->FindUserProperty(u"MY_NAMED_PROPERTY"_s),
             std::optional<QVariant>(u"MY_TEXT_FOR_THAT_PROPERTY"_s));
    // The same kind of name in another property set is no user field.
    QVERIFY(!qwerty->FindUserProperty(u"MY_NAMED_PROPERTY_NUMBER_2"_s));
    const auto blammo = itemWithSubject(folder, u"BlammoBlammo"_s);
    QVERIFY(blammo);
    QCOMPARE(blammo->MessageClass(), u"IPM.Post"_s);
    QVERIFY(!blammo->FindUserProperty(u"Name4"_s));

    // Field types as Outlook's fields have them, text named across sets kept apart.
    const QString path = t.path(u"article.msg"_s);
    QVERIFY(lorvo::test::MsgWriter()
                .text(0x001A, u"IPM.Post.HelpdeskKBArticle"_s)
                .text(0x0037, u"VPN drops"_s)
                .namedText(kPublicStrings, u"Problem Category"_s, u"Network"_s)
                .namedText(QUuid(u"{00062008-0000-0000-C000-000000000046}"_s), u"Problem Type"_s,
                           u"not a user field"_s)
                .write(path));
    importInto(t, kPublic, {path});
    const auto article = itemWithSubject(folder, u"VPN drops"_s);
    QVERIFY(article);
    QCOMPARE(article->FindUserProperty(u"problem category"_s),
             std::optional<QVariant>(u"Network"_s));
    QVERIFY(!article->FindUserProperty(u"Problem Type"_s));
}

void ImportTest::bodiesAndTextAsOutlookGivesThem_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("html"); // a piece of HTMLBody
    QTest::addColumn<QString>("body"); // the start of Body
    QTest::newRow("HTML in RTF")
        << u"HtmlSampleEmail.msg"_s << u"HtmlSampleEmail"_s
        << u"<p class=MsoNormal><span style='font-size:10.0pt;font-family:\"Courier New\";"
           "color:black;mso-fareast-language:EN-GB'>BOOK ONE: 1805<o:p></o:p></span></p>"_s
        << u"BOOK ONE: 1805\r\n"_s;
    QTest::newRow("native RTF") << u"RtfSampleEmail.msg"_s << u"RtfSampleEmail"_s
                                << u"the speaker was the well-known Anna Pávlovna"_s
                                << u"BOOK ONE: 1805\r\n"_s;
    QTest::newRow("plain text") << u"TxtSampleEmail.msg"_s << u"TxtSampleEmail"_s
                                << u"the speaker was the well-known Anna Pávlovna"_s
                                << u"BOOK ONE: 1805\r\n"_s;
    QTest::newRow("code page 1251")
        << u"RtfWithShortRussianString.msg"_s << QString() << u"«Имя пользователя» ("_s
        << u"ввести  «Имя пользователя» (email) и  «Пароль» (password)."_s;
    // Code page 932 throughout, though its texts stay within ASCII.
    QTest::newRow("code page 932")
        << u"EmailWithInnerMailAndAttachments.msg"_s << u"Outer mail"_s
        << u"<body lang=JA link=\"#0563C1\" vlink=\"#954F72\""_s << u"Outer mail\r\n"_s;
    QTest::newRow("8-bit texts in code page 1252")
        << u"EmailWithAccentedSubject.msg"_s
        << u"Un sujet bien défini Àéroport mañana être ouïe électricité così próxima à Ô"_s
        << u"Testing .msg subject encoding"_s << u"Testing .msg subject encoding\r\n"_s;
    QTest::newRow("8-bit texts in code page 932")
        << QString() << u"ナレッジベースの記事"_s
        << u"<p>本文 &lt;一行目&gt;</p>\r\n<p>二行目</p>"_s << u"本文 <一行目>\r\n二行目"_s;
}

void ImportTest::bodiesAndTextAsOutlookGivesThem()
{
    QFETCH(QString, file);
    QFETCH(QString, subject);
    QFETCH(QString, html);
    QFETCH(QString, body);
    TestRuntime t;
    QString path = sample(file);
    if (file.isEmpty()) {
        QStringEncoder shiftJis("Shift_JIS");
        path = t.path(u"japanese.msg"_s);
        QVERIFY(lorvo::test::MsgWriter()
                    .integer(0x3FFD, 932)
                    .text8(0x0037, shiftJis(subject))
                    .text8(0x1000, shiftJis(body))
                    .write(path));
    }
    importInto(t, kPublic, {path});
    const auto items = folderAt(t, kPublic)->Items();
    QCOMPARE(items->Count(), 1);
    const auto item = items->Item(1);
    QCOMPARE(item->Subject(), subject);
    QVERIFY2(item->HTMLBody().contains(html), qPrintable(item->HTMLBody().left(3000)));
    QVERIFY2(item->Body().startsWith(body), qPrintable(item->Body().left(200)));
    QVERIFY(item->LastModificationTime().isValid() || file.isEmpty());
}

void ImportTest::attachmentsArriveByteForByte()
{
    TestRuntime t;
    importInto(t, kPublic, {sample(u"EmailWithAttachments.msg"_s)});
    importInto(t, kInbox, {sample(u"attachAndInline.pst"_s)});

    const auto mail = folderAt(t, kPublic)->Items()->Item(1);
    const auto attachments = mail->Attachments();
    QCOMPARE(attachments->Count(), 2);
    QCOMPARE(attachments->Item(1)->DisplayName(), u"peterpan.jpg"_s);
    QCOMPARE(attachments->Item(1)->ContentID(), QString());
    QCOMPARE(sha256(saved(attachments->Item(1), t.path(u"1"_s))),
             QByteArray("4f068e0d5e5ec569031bae44b014edaf69e27f0e51573b057fc9e39154413b40"));
    QCOMPARE(attachments->Item(2)->DisplayName(), u"tinkerbell.jpg"_s);
    QCOMPARE(attachments->Item(2)->ContentID(), u"tinkerbell.jpg"_s);
    QCOMPARE(sha256(saved(attachments->Item(2), t.path(u"2"_s))),
             QByteArray("01bfc795dee4b792b7e2a94d407ea966c5cb139cbd949bb4c57d4bce124f714b"));

    // The picture the body shows is a hidden attachment with the content ID the body names.
    const auto inline_ = folderAt(t, kInbox)->Items()->Item(1);
    QCOMPARE(inline_->Subject(), u"Attach and inline"_s);
    const auto pictures = inline_->Attachments();
    QCOMPARE(pictures->Count(), 2);
    QCOMPARE(pictures->Item(1)->DisplayName(), u"attach.png"_s);
    const QByteArray png = saved(pictures->Item(1), t.path(u"3"_s));
    QCOMPARE(png.size(), 1558);
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n") && png.endsWith("IEND\xae\x42\x60\x82"));
    QCOMPARE(pictures->Item(2)->DisplayName(), u"image001.png"_s);
    QCOMPARE(pictures->Item(2)->ContentID(), u"image001.png@01D78380.EF6DC500"_s);
    QVERIFY(inline_->HTMLBody().contains(u"cid:image001.png@01D78380.EF6DC500"_s));

    // What cannot be kept as a file is left out, and said so.
    const QString path = t.path(u"objects.msg"_s);
    QVERIFY(lorvo::test::MsgWriter()
                .text(0x0037, u"Objects"_s)
                .attach(u"chart.xls"_s, "OLE", 6)
                .attach(u"\\\\server\\share\\big.iso"_s, {}, 2)
                .attach(u"notes.txt"_s, "kept")
                .write(path));
    const imp::ImportReport report = importInto(t, kPublic, {path});
    QCOMPARE(report.total.imported, 1);
    QCOMPARE(
        report.notes,
        (QStringList{
            u"%1: \"Objects\": the attachment \"chart.xls\" was left out: it is an OLE object"_s
                .arg(QDir::toNativeSeparators(path)),
            u"%1: \"Objects\": the attachment \"\\\\server\\share\\big.iso\" was left out: it is a "
            "reference to a file elsewhere"_s.arg(QDir::toNativeSeparators(path))}));
    const auto objects = itemWithSubject(folderAt(t, kPublic), u"Objects"_s)->Attachments();
    QCOMPARE(objects->Count(), 1);
    QCOMPARE(objects->Item(1)->DisplayName(), u"notes.txt"_s);

    const QJsonArray items = profileDump()
                                 .value(u"stores"_s)[0]
                                 .toObject()
                                 .value(u"content"_s)
                                 .toObject()
                                 .value(u"folders"_s)[4]
                                 .toObject()
                                 .value(u"items"_s)
                                 .toArray();
    const QJsonArray dumped = items[0].toObject().value(u"attachments"_s).toArray();
    QCOMPARE(dumped[0].toObject().value(u"hidden"_s).toBool(false), false);
    QCOMPARE(dumped[1].toObject().value(u"hidden"_s).toBool(false), true);
}

void ImportTest::attachedMessagesAreKeptAsMail()
{
    TestRuntime t;
    const imp::ImportReport report = importInto(
        t, kPublic, {sample(u"EmailWithInnerMailAndAttachments.msg"_s), sample(u"msgInMsg.pst"_s)});
    QCOMPARE(report.total.imported, 2);
    QCOMPARE(report.notes, QStringList());
    const auto folder = folderAt(t, kPublic);

    const auto outer = itemWithSubject(folder, u"Outer mail"_s)->Attachments();
    QCOMPARE(outer->Count(), 3);
    QCOMPARE(outer->Item(1)->DisplayName(), u"OUTER 1.pdf"_s);
    QCOMPARE(sha256(saved(outer->Item(1), t.path(u"1"_s))),
             QByteArray("a68ee28f3881738f0907c1a321f69a38d55ce6aea55147e6756d3e7d1db54075"));
    QCOMPARE(outer->Item(3)->DisplayName(), u"Inner mail.eml"_s);
    const QString eml = QString::fromLatin1(saved(outer->Item(3), t.path(u"inner.eml"_s)));
    QVERIFY(eml.startsWith(u"Subject: Inner mail\r\n"_s));
    QVERIFY(eml.contains(u"\r\nMIME-Version: 1.0\r\n"_s));
    // Its HTML body, taken out of its RTF, and its own attachment, whole.
    QVERIFY(eml.contains(u"Content-Type: text/html; charset=UTF-8"_s));
    const QRegularExpression part(
        u"filename=\"INNER 1.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n([A-Za-z0-9+/=\r\n]+)"_s);
    const auto match = part.match(eml);
    QVERIFY(match.hasMatch());
    QCOMPARE(sha256(QByteArray::fromBase64(match.captured(1).toLatin1())),
             QByteArray("d47d086d9eb3e431a094e839a2a98c76ef0a890174367e671c5c7b92ad201623"));

    const auto fromPst = itemWithSubject(folder, u"I have attachments!"_s)->Attachments();
    QCOMPARE(fromPst->Count(), 2);
    QCOMPARE(fromPst->Item(1)->DisplayName(), u"Microsoft Outlook テスト メッセージ.eml"_s);
    QVERIFY(saved(fromPst->Item(1), t.path(u"2"_s)).contains("Subject: =?UTF-8?B?"));
    QCOMPARE(fromPst->Item(2)->DisplayName(), u"green.png"_s);
}

void ImportTest::dataFilesKeepTheirFolderTree()
{
    TestRuntime t;
    const QString top = u"Outlook データ ファイルのトップ"_s;
    const QString deleted = u"削除済みアイテム"_s;
    imp::ImportReport report =
        importInto(t, kInbox, {sample(u"attachAndInline.pst"_s), sample(u"msgInMsg.pst"_s)});
    // The top's items go into the folder itself, its subfolders below it, matched by name.
    QCOMPARE(report.folders.size(), 2);
    QCOMPARE(report.folders[0].path, kInbox);
    QCOMPARE(report.folders[0].imported, 2);
    QCOMPARE(report.folders[1].path, kInbox + u'\\' + deleted);
    const auto inbox = folderAt(t, kInbox);
    QCOMPARE(inbox->Items()->Count(), 2);
    QCOMPARE(inbox->Folders()->Count(), 1);
    QCOMPARE(inbox->Folders()->Item(1)->Name(), deleted);
    QCOMPARE(inbox->Folders()->Item(1)->DefaultItemType(), inbox->DefaultItemType());

    // One folder of the file, named with its top, goes into the folder alone.
    report = importInto(t, u"\\\\Mailbox\\Drafts"_s, {sample(u"msgInMsg.pst"_s)}, top);
    QCOMPARE(report.folders.size(), 1);
    QCOMPARE(folderAt(t, u"\\\\Mailbox\\Drafts"_s)->Items()->Count(), 1);
    QCOMPARE(folderAt(t, u"\\\\Mailbox\\Drafts"_s)->Folders()->Count(), 0);
    report = importInto(t, u"\\\\Mailbox\\Notes"_s, {sample(u"msgInMsg.pst"_s)},
                        u"\\"_s + top + u'\\' + deleted);
    QCOMPARE(report.total.imported, 0);
    try {
        importInto(t, u"\\\\Mailbox\\Notes"_s, {sample(u"msgInMsg.pst"_s)}, top + u"\\Inbox"_s);
        QFAIL("a folder the file does not have was found");
    } catch (const lorvo::Error& e) {
        QVERIFY2(e.description().contains(u"(its folders start with \"%1\")"_s.arg(top)),
                 qPrintable(e.description()));
    }
}

namespace {

// A source that yields what the test gives it.
class ListedSource final : public imp::MessageSource
{
public:
    struct Folder
    {
        QStringList path;
        QList<imp::SourceItem> items;
    };
    explicit ListedSource(QList<Folder> folders) : m_folders(std::move(folders)) {}
    QString identity() const override { return u"/sources/listed"_s; }
    QList<imp::SourceFolder> folders() override
    {
        QList<imp::SourceFolder> result;
        for (const Folder& f : std::as_const(m_folders))
            result.append({f.path, int(f.items.size())});
        return result;
    }
    imp::SourceItem read(int folder, int index) override { return m_folders[folder].items[index]; }

private:
    QList<Folder> m_folders;
};

imp::SourceItem listed(const QString& key, const QString& subject, bool readable = true)
{
    imp::SourceItem item;
    item.key = key;
    item.where = u"listed"_s;
    item.subject = subject;
    if (readable) {
        imp::SourceMessage m;
        m.messageClass = u"IPM.Post"_s;
        m.subject = subject;
        item.message = m;
    } else {
        item.reason = u"unreadable"_s;
    }
    return item;
}

imp::ImportReport importListed(const TestRuntime& t, QList<ListedSource::Folder> folders, bool sync)
{
    std::vector<std::unique_ptr<imp::MessageSource>> sources;
    sources.push_back(std::make_unique<ListedSource>(std::move(folders)));
    return imp::importSources(imp::findTarget(t.profileDir, kInbox), sources, sync);
}

// The inbox's imported items: subject and folder name, in folder order.
QStringList inboxItems(const TestRuntime& t, QList<qint64>* ids = nullptr)
{
    auto store = localoutlook::Store::open(t.profileDir + u"/Mailbox.pst"_s);
    QStringList result;
    const qint64 inbox = *store->folderOfKind(outlook::olFolderInbox);
    for (const localoutlook::SourcedItem& item :
         store->itemsFromSource(inbox, u"/sources/listed"_s)) {
        result.append(store->folder(item.folder).name + u": "_s + store->item(item.id).subject +
                      u" ("_s + item.sourceKey + u')');
        if (ids)
            ids->append(item.id);
    }
    return result;
}

} // namespace

void ImportTest::itemsAreFoundAgainByTheirSource()
{
    TestRuntime t;
    // Copies of a message share its key; each is an item of its own.
    const QList<ListedSource::Folder> first{
        {{}, {listed(u"k1"_s, u"A"_s), listed(u"k1"_s, u"A copy"_s)}},
        {{u"Sub"_s}, {listed(u"k3"_s, u"C"_s)}}};
    imp::ImportReport report = importListed(t, first, false);
    QCOMPARE(report.total.imported, 3);
    QList<qint64> ids;
    const QStringList once = inboxItems(t, &ids);
    QCOMPARE(once, (QStringList{u"Inbox: A (k1)"_s, u"Inbox: A copy (k1#2)"_s, u"Sub: C (k3)"_s}));
    report = importListed(t, first, false);
    QCOMPARE(report.total.updated, 3);
    QCOMPARE(inboxItems(t), once);

    // C moved to the top folder, the copy is gone, A cannot be read this time but its key is
    // known: with --sync only the copy goes, A stays, C moves along and keeps its identity.
    report = importListed(
        t, {{{}, {listed(u"k1"_s, u"A"_s, false), listed(u"k3"_s, u"C"_s)}}, {{u"Sub"_s}, {}}},
        true);
    QCOMPARE(report.folders.size(), 2);
    QCOMPARE(report.folders[0].updated, 1);
    QCOMPARE(report.folders[0].removed, 1);
    QCOMPARE(report.folders[0].skipped, 1);
    QList<qint64> now;
    QCOMPARE(inboxItems(t, &now), (QStringList{u"Inbox: A (k1)"_s, u"Inbox: C (k3)"_s}));
    QCOMPARE(now, (QList<qint64>{ids[0], ids[2]}));

    // A message not even its key can be read of: nothing is removed for the source.
    report = importListed(t, {{{}, {listed({}, u"?"_s, false)}}}, true);
    QCOMPARE(report.total.removed, 0);
    QCOMPARE(report.notes.size(), 1);
    QCOMPARE(inboxItems(t).size(), 2);
}

void ImportTest::storesOfTheFirstSchemaStillOpen()
{
    TestRuntime t;
    const QString original =
        qEnvironmentVariable("LORVO_SOURCE_DIR") + u"/tests/data/store-version1.pst"_s;
    const QString path = t.path(u"old.pst"_s);
    QVERIFY(QFile::copy(original, path));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    const QJsonObject expected{
        {u"displayName"_s, u"Version1"_s},
        {u"folders"_s,
         QJsonArray{QJsonObject{
             {u"name"_s, u"Knowledge Base"_s},
             {u"defaultItemType"_s, 6},
             {u"webViewURL"_s, u"file:/srv/lorvo/OLorvo.htm"_s},
             {u"items"_s,
              QJsonArray{QJsonObject{
                  {u"messageClass"_s, u"IPM.Post.HelpdeskKBArticle"_s},
                  {u"subject"_s, u"Printer offline"_s},
                  {u"htmlBody"_s, u"<html><body><p>Switch it on.</p></body></html>"_s},
                  {u"body"_s, u"Switch it on."_s},
                  {u"userProperties"_s, QJsonObject{{u"Problem Category"_s, u"Printing"_s},
                                                    {u"Problem Type"_s, u"How-to"_s},
                                                    {u"Views"_s, 3}}},
                  {u"attachments"_s,
                   QJsonArray{QJsonObject{{u"displayName"_s, u"steps.txt"_s},
                                          {u"data"_s, u"MS4gcG93ZXI="_s}}}}}}}}}}};

    // A file that cannot be written is read as it is, and left as it is.
    QFile::setPermissions(path, QFile::ReadOwner);
    QFile probe(path);
    if (!probe.open(QIODevice::ReadWrite)) {
        QCOMPARE(localoutlook::dumpStore(path), expected);
        QFile file(original);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QFile copy(path);
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), file.readAll());
    } else {
        qInfo(
            "Files here are writable whatever their permissions: the read-only case is left out.");
    }
    probe.close();
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);

    // A writable one is upgraded in place and takes what the new version keeps.
    QCOMPARE(localoutlook::dumpStore(path), expected);
    auto store = localoutlook::Store::open(path);
    localoutlook::ItemRecord item =
        store->item(store->itemIds(store->childFolders(store->topFolderId())[0])[0]);
    item.rtfBody = "{\\rtf1 x}";
    item.modified = QDateTime(QDate(2026, 3, 1), QTime(8, 30), Qt::UTC);
    store->updateItem(item);
    store.reset();
    QCOMPARE(localoutlook::Store::open(path)->item(item.id).modified, item.modified);
    // The old version's content is all still there.
    QJsonObject now = localoutlook::dumpStore(path);
    QJsonObject dumpedItem = now[u"folders"_s][0][u"items"_s][0].toObject();
    QCOMPARE(dumpedItem.take(u"rtfBody"_s).toString(), u"e1xydGYxIHh9"_s);
    QCOMPARE(dumpedItem.take(u"modified"_s).toString(), u"2026-03-01T08:30:00.000Z"_s);
    QCOMPARE(dumpedItem, expected[u"folders"_s][0][u"items"_s][0].toObject());
}

void ImportTest::itemBodiesFollowOutlook()
{
    TestRuntime t;
    const QByteArray encapsulated =
        lorvo::rtf::itemToRtf({}, u"<html><body><p>From the RTF</p></body></html>"_s);
    const QByteArray native = "{\\rtf1\\ansi\\deff0 Native {\\b bold} text\\par}";
    const auto item = [](const QString& subject, const QJsonObject& fields) {
        QJsonObject o = fields;
        o.insert(u"subject"_s, subject);
        return o;
    };
    const QJsonObject manifest{
        {u"displayName"_s, u"Bodies"_s},
        {u"folders"_s,
         QJsonArray{QJsonObject{
             {u"name"_s, u"Items"_s},
             {u"items"_s,
              QJsonArray{
                  item(u"html"_s, {{u"htmlBody"_s, u"<p>Own HTML</p>"_s},
                                   {u"rtfBody"_s, QString::fromLatin1(native.toBase64())},
                                   {u"body"_s, u"text"_s},
                                   {u"modified"_s, u"2025-05-06T07:08:09.010Z"_s}}),
                  item(u"encapsulated"_s,
                       {{u"rtfBody"_s, QString::fromLatin1(encapsulated.toBase64())},
                        {u"body"_s, u"text"_s}}),
                  item(u"native"_s, {{u"rtfBody"_s, QString::fromLatin1(native.toBase64())}}),
                  item(u"text"_s, {{u"body"_s, u"Line <1> & more\r\n\r\nSecond"_s}}),
                  item(u"nothing"_s, {}),
              }}}}}};
    const QString path = t.path(u"bodies.pst"_s);
    localoutlook::buildStore(manifest, t.dir.path(), path);
    t.outlook->GetRunning()->GetNamespace(u"MAPI"_s)->AddStore(path);
    const auto items = folderAt(t, u"\\\\Bodies\\Items"_s)->Items();

    QCOMPARE(items->Item(1)->HTMLBody(), u"<p>Own HTML</p>"_s);
    QCOMPARE(items->Item(1)->LastModificationTime(),
             QDateTime(QDate(2025, 5, 6), QTime(7, 8, 9, 10), Qt::UTC));
    QVERIFY(items->Item(2)->HTMLBody().contains(u"<p>From the RTF</p>"_s));
    QVERIFY(items->Item(3)->HTMLBody().contains(u"Native"_s));
    QVERIFY(!items->Item(3)->HTMLBody().contains(u"rtf1"_s));
    QCOMPARE(
        items->Item(4)->HTMLBody(),
        u"<html><body>\r\n<p>Line &lt;1&gt; &amp; more</p>\r\n<p>&nbsp;</p>\r\n<p>Second</p>\r\n"
        "</body></html>"_s);
    QCOMPARE(items->Item(5)->HTMLBody(), QString());
    QVERIFY(!items->Item(5)->LastModificationTime().isValid());

    // Saved as rich text: the item's own RTF when it has one, else the header and its HTML.
    const auto savedAs = [&](int index) {
        const QString file = t.path(u"saved%1.rtf"_s.arg(index));
        items->Item(index)->SaveAs(file, outlook::olRTF);
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    QCOMPARE(savedAs(1), native);
    QCOMPARE(savedAs(2), encapsulated);
    const QByteArray written = savedAs(4);
    QVERIFY(written.contains("\\fromhtml1") && written.contains("Subject:"));
}

QTEST_GUILESS_MAIN(ImportTest)
