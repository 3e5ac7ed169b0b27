// The setup's application files as the build makes them, and the GIF encoder behind the pictures.

#include "localoutlook/localoutlook.h"
#include "setup/appfiles/gifencoder.h"
#include "shared/outlook.h"
#include "tests/support/headlessbrowser.h"
#include "tests/support/testsupport.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace Qt::StringLiterals;
using lorvo::test::chromium;
using lorvo::test::dumpDom;
using lorvo::test::probeResult;

namespace {

QString appFile(const QString& name)
{
    return QStringLiteral(LORVO_APPFILES_DIR) + u'/' + name;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

QImage decodeGif(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    return reader.read().convertToFormat(QImage::Format_ARGB32);
}

// An image of exactly `colours` random opaque colours scattered as noise, the worst case for
// LZW: the code table fills up and is cleared again many times.
QImage noise(int width, int height, int colours, quint32 seed)
{
    QRandomGenerator random(seed);
    QList<QRgb> palette;
    QSet<QRgb> seen;
    while (palette.size() < colours) {
        const QRgb colour = random.generate() | 0xff000000u;
        if (!seen.contains(colour)) {
            seen.insert(colour);
            palette.append(colour);
        }
    }
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, palette.at(random.bounded(colours)));
    }
    // Every colour at least once, so that the palette really has `colours` entries.
    for (int i = 0; i < colours && i < width * height; ++i)
        image.setPixel(i % width, i / width, palette.at(i));
    return image;
}

int distinctColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    }
    return int(colours.size());
}

// A stand-in for the Outlook object model that the home page reaches through window.external:
// one folder with four articles and a mail item, recording what the page opens and adds.
const char kFakeOutlook[] = R"js(<script>
var displayed = [], added = [];
function item(cls, subject, body, category, type) {
  return { MessageClass: cls, Subject: subject, Body: body,
    UserProperties: { Find: function (name) {
      var value = name == "Problem Category" ? category : name == "Problem Type" ? type : null;
      return value == null ? null : { Value: value }; } },
    Display: function () { displayed.push(subject || "(new)"); } };
}
var list = [
  item("IPM.Post.HelpdeskKBArticle", "Can't print to the 3rd floor printer", "Check the queue.", "Printing", "Troubleshooting"),
  item("IPM.Post.HelpdeskKBArticle", "VPN error 809", "The HOTEL firewall blocks the ports.", "Network", "Error Message"),
  item("IPM.Note", "Printer memo", "printer", "Printing", "Policy"),
  item("IPM.Post.HelpdeskKBArticle", "<b>Bold</b> & 'quoted'", "markup", "Email", "<i>Policy</i>"),
  item("IPM.Post.HelpdeskKBArticle", "Caf\u00e9 Wi-Fi", "A captive portal, not the printer.", "Network", "How-to")
];
var folder = { Name: "Lorvo for Outlook", Items: {
  Count: list.length,
  Item: function (i) { return list[i - 1]; },
  Add: function (cls) { added.push(cls); return item(cls, "", "", "", ""); } } };
window.external = { OutlookApplication: { ActiveExplorer: function () { return { CurrentFolder: folder }; } } };
</script>)js";

// Runs after the page's own load handler and prints what a user would see at each step.
const char kProbe[] = R"js(<script>
window.addEventListener("load", function () {
  var out = [];
  function rows(step) {
    var area = document.getElementById("spaInbox");
    out.push(step + ": " + (area.getElementsByTagName("h1")[0] || area).textContent);
    var trs = area.getElementsByTagName("tr");
    for (var i = 1; i < trs.length; i++) {
      var cells = trs[i].getElementsByTagName("td"), text = [];
      for (var c = 0; c < cells.length; c++) text.push(cells[c].textContent);
      out.push("  " + text.join(" | "));
    }
    if (area.getElementsByTagName("b").length || area.getElementsByTagName("i").length)
      out.push("  markup from an item");
  }
  function click(id) { document.getElementById(id).click(); }
  rows("load");
  document.getElementById("spaInbox").getElementsByTagName("a")[1].click();
  out.push("opened: " + displayed.join(", "));
  document.getElementById("txtFind").value = "PRINTER";
  click("cmdFind");
  rows("search");
  document.getElementById("txtFind").value = "hotel";
  click("cmdFind");
  rows("search");
  document.getElementById("txtFind").value = "nothing like it";
  click("cmdFind");
  rows("search");
  click("cmdClearSearch");
  out.push("box: [" + document.getElementById("txtFind").value + "]");
  rows("clear");
  click("cmdNew");
  out.push("added: " + added.join(", ") + "; opened: " + displayed.join(", "));
  var pre = document.createElement("pre");
  pre.id = "result";
  pre.textContent = out.join("\n");
  document.body.appendChild(pre);
});
</script>)js";

// Loads a copy of the home page in headless Chromium, with markup put before its own script and
// after its body, and returns the text the probe left in <pre id="result"> (or else the content
// of spaInbox).
QString runHomePage(const QByteArray& beforeScript, const QByteArray& afterBody)
{
    QTemporaryDir dir;
    QByteArray page = readBytes(appFile(u"OLorvo.htm"_s));
    page.replace("<head>", QByteArray("<head>\n" + beforeScript));
    page.replace("</body>", QByteArray(afterBody + "\n</body>"));
    QFile file(dir.filePath(u"OLorvo.htm"_s));
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size())
        return u"cannot write the page"_s;
    file.close();

    QString error;
    const QString dom = dumpDom(file.fileName(), &error);
    QString text = probeResult(dom);
    if (!text.isEmpty())
        return text;
    static const QRegularExpression inbox(u"<div id=\"spaInbox\">(.*?)</div>"_s,
                                          QRegularExpression::DotMatchesEverythingOption);
    const auto match = inbox.match(dom);
    if (!match.hasMatch())
        return u"no result: "_s + error;
    return match.captured(1)
        .replace(u"&lt;"_s, u"<"_s)
        .replace(u"&gt;"_s, u">"_s)
        .replace(u"&quot;"_s, u"\""_s)
        .replace(u"&amp;"_s, u"&"_s);
}

// Runs lorvo-appfile; the exit code, with standard error for the failure message.
int runTool(const QStringList& arguments, QString* errors = nullptr)
{
    QProcess tool;
    tool.start(QStringLiteral(LORVO_APPFILE_TOOL), arguments);
    if (!tool.waitForFinished(60000))
        return -1;
    if (errors)
        *errors = QString::fromLocal8Bit(tool.readAllStandardError());
    return tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
}

struct Folder
{
    QString name;
    qint32 itemType;
    QList<Folder> children;
    bool operator==(const Folder&) const = default;
};

Folder treeOf(const outlook::FolderPtr& folder)
{
    Folder result{folder->Name(), folder->DefaultItemType(), {}};
    const outlook::FoldersPtr children = folder->Folders();
    for (int i = 1; i <= children->Count(); ++i)
        result.children.append(treeOf(children->Item(i)));
    return result;
}

int itemsBelow(const outlook::FolderPtr& folder)
{
    int count = folder->Items()->Count();
    const outlook::FoldersPtr children = folder->Folders();
    for (int i = 1; i <= children->Count(); ++i)
        count += itemsBelow(children->Item(i));
    return count;
}

} // namespace

class TestAppFiles : public QObject
{
    Q_OBJECT

private:
    // Attaches a copy of a built store to a fresh profile and returns its top folder.
    outlook::FolderPtr openStore(lorvo::test::TestRuntime& rt, const QString& fileName)
    {
        const QString copy = rt.path(fileName);
        if (!QFile::copy(appFile(fileName), copy))
            return nullptr;
        outlook::ApplicationPtr app = rt.outlook->Create(QString());
        if (!app)
            return nullptr;
        outlook::NameSpacePtr ns = app->GetNamespace(u"MAPI"_s);
        ns->AddStore(copy);
        return ns->Folders()->Item(u"LorvoFilled"_s);
    }

private slots:
    void pictures_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QSize>("size");
        QTest::newRow("bg.gif") << appFile(u"bg.gif"_s) << QSize(3, 1500);
        QTest::newRow("LorvoRect.gif") << appFile(u"LorvoRect.gif"_s) << QSize(120, 100);
        QTest::newRow("bulletredsmall.gif") << QStringLiteral(LORVO_BULLET_GIF) << QSize(8, 8);
    }

    // The pictures are GIF89a files that Qt reads back at their size, and real pictures.
    void pictures()
    {
        QFETCH(QString, path);
        QFETCH(QSize, size);
        QCOMPARE(readBytes(path).left(6), QByteArray("GIF89a"));
        QImageReader reader(path);
        QCOMPARE(reader.format(), QByteArray("gif"));
        QCOMPARE(reader.size(), size);
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        QCOMPARE(image.size(), size);
        QVERIFY(distinctColours(image.convertToFormat(QImage::Format_ARGB32)) >= 3);
    }

    void backgroundIsAVerticalGradient()
    {
        const QImage bg = QImage(appFile(u"bg.gif"_s)).convertToFormat(QImage::Format_RGB32);
        for (int y : {0, 700, 1499})
            QCOMPARE(bg.pixel(0, y), bg.pixel(2, y));
        QVERIFY(qGray(bg.pixel(0, 0)) > qGray(bg.pixel(0, 1499)));
        QCOMPARE(QColor(bg.pixel(1, 1499)), QColor(0xec, 0xe9, 0xd8)); // the page colour
    }

    void bulletIsRedOnTransparent()
    {
        const QImage bullet =
            QImage(QStringLiteral(LORVO_BULLET_GIF)).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(qAlpha(bullet.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(bullet.pixel(7, 7)), 0);
        const QRgb centre = bullet.pixel(4, 4);
        QCOMPARE(qAlpha(centre), 255);
        QVERIFY(qRed(centre) > 2 * qGreen(centre) && qRed(centre) > 2 * qBlue(centre));
    }

    void gifRoundTrip_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::newRow("one pixel") << noise(1, 1, 1, 1);
        QTest::newRow("two colours") << noise(37, 23, 2, 2);
        QTest::newRow("sixteen colours, odd width") << noise(101, 7, 16, 3);
        QTest::newRow("200 colours, table resets") << noise(300, 200, 200, 4);
        QTest::newRow("256 colours") << noise(64, 64, 256, 5);
        QImage flat(500, 300, QImage::Format_ARGB32);
        flat.fill(qRgb(0x12, 0x34, 0x56)); // long runs: the widest codes
        QTest::newRow("one colour, long runs") << flat;
        QImage holes = noise(40, 30, 255, 6);
        for (int i = 0; i < 40; ++i)
            holes.setPixel(i, i % 30, qRgba(0, 0, 0, 0));
        QTest::newRow("255 colours and transparency") << holes;
    }

    // Images of at most 256 colours come back from Qt's reader pixel for pixel.
    void gifRoundTrip()
    {
        QFETCH(QImage, image);
        const QByteArray gif = lorvo::appfiles::encodeGif(image);
        QCOMPARE(gif.left(6), QByteArray("GIF89a"));
        QCOMPARE(gif.back(), ';');
        const QImage back = decodeGif(gif);
        QCOMPARE(back.size(), image.size());
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb want = image.pixel(x, y);
                const QRgb got = back.pixel(x, y);
                if (qAlpha(want) == 0 ? qAlpha(got) != 0 : got != want)
                    QFAIL(qPrintable(u"pixel %1,%2: %3 instead of %4"_s.arg(x)
                                         .arg(y)
                                         .arg(uint(got), 8, 16, QChar(u'0'))
                                         .arg(uint(want), 8, 16, QChar(u'0'))));
            }
        }
    }

    // A photo-like image is reduced to 256 colours that stay close to the original.
    void gifReducesRichImages()
    {
        QImage rich(256, 128, QImage::Format_RGB32);
        for (int y = 0; y < rich.height(); ++y) {
            for (int x = 0; x < rich.width(); ++x)
                rich.setPixel(x, y, qRgb(x, y * 2, (x + y) / 2));
        }
        QVERIFY(distinctColours(rich) > 256);
        const QImage back = decodeGif(lorvo::appfiles::encodeGif(rich));
        QCOMPARE(back.size(), rich.size());
        QVERIFY(distinctColours(back) <= 256);
        qint64 totalError = 0;
        int worst = 0;
        for (int y = 0; y < rich.height(); ++y) {
            for (int x = 0; x < rich.width(); ++x) {
                const QRgb a = rich.pixel(x, y);
                const QRgb b = back.pixel(x, y);
                const int error =
                    std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
                totalError += error;
                worst = std::max(worst, error);
            }
        }
        QVERIFY2(worst <= 32, qPrintable(u"worst channel error %1"_s.arg(worst)));
        QVERIFY(totalError / (rich.width() * rich.height()) <= 8);

        const QImage indexed = lorvo::appfiles::reduceColours(rich);
        QCOMPARE(indexed.format(), QImage::Format_Indexed8);
        QVERIFY(indexed.colorCount() <= 256);
        QCOMPARE(indexed.convertToFormat(QImage::Format_RGB32),
                 back.convertToFormat(QImage::Format_RGB32));
    }

    void nullImageGivesNoGif() { QVERIFY(lorvo::appfiles::encodeGif(QImage()).isEmpty()); }

    void kbSettingsIsTwoBlanks()
    {
        QCOMPARE(readBytes(appFile(u"KBSettings.txt"_s)), QByteArray("  "));
    }

    void readMeIsUtf16WithCrLf()
    {
        const QByteArray bytes = readBytes(appFile(u"ReadMe.txt"_s));
        QVERIFY(bytes.startsWith("\xff\xfe"));
        QCOMPARE(bytes.size() % 2, 0);
        auto decode = QStringDecoder(QStringDecoder::Utf16LE);
        const QString text = decode(bytes.mid(2));
        QVERIFY(!decode.hasError());
        QVERIFY(!text.startsWith(QChar::ByteOrderMark));
        QVERIFY(text.endsWith(u"\r\n"_s));
        QCOMPARE(text.count(u'\n'), text.count(u"\r\n"_s));
        QCOMPARE(text.count(u'\r'), text.count(u"\r\n"_s));
        QVERIFY(text.count(u"\r\n"_s) > 40);
        QVERIFY(text.contains(u"LorvoArchive --generate"_s));
        QVERIFY(text.contains(u"\r\nInstalling\r\n"_s));
    }

    // Any line ends in, CRLF out; a byte-order mark in the source is not doubled; characters
    // beyond the basic plane survive as surrogate pairs.
    void utf16Conversion()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath(u"in.md"_s), out = dir.filePath(u"out.txt"_s);
        QFile source(in);
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("\xef\xbb\xbf"
                     "Caf\xc3\xa9 \xe2\x82\xac"
                     "5\r\nunix\nold mac\rlast \xf0\x9f\x93\x9a");
        source.close();
        QCOMPARE(runTool({u"utf16"_s, in, out}), 0);
        const QByteArray bytes = readBytes(out);
        QVERIFY(bytes.startsWith("\xff\xfe"));
        QVERIFY(!bytes.mid(2).startsWith("\xff\xfe"));
        auto decode = QStringDecoder(QStringDecoder::Utf16LE);
        QCOMPARE(QString(decode(bytes.mid(2))),
                 u"Caf\u00e9 \u20ac5\r\nunix\r\nold mac\r\nlast \U0001F4DA"_s);
    }

    void toolRefusesBadInput()
    {
        QTemporaryDir dir;
        const QString in = dir.filePath(u"latin1.md"_s), out = dir.filePath(u"out.txt"_s);
        QFile source(in);
        QVERIFY(source.open(QIODevice::WriteOnly));
        source.write("Caf\xe9\n"); // Latin-1, not UTF-8
        source.close();
        QString errors;
        QCOMPARE(runTool({u"utf16"_s, in, out}, &errors), 1);
        QVERIFY2(errors.contains(u"is not UTF-8"_s), qPrintable(errors));
        QVERIFY(!QFile::exists(out));

        QCOMPARE(runTool({u"picture"_s, u"no-such-picture"_s, dir.filePath(u"x.gif"_s)}, &errors),
                 1);
        QVERIFY2(errors.contains(u"unknown picture"_s), qPrintable(errors));
        QVERIFY(!QFile::exists(dir.filePath(u"x.gif"_s)));

        QCOMPARE(runTool({u"empty-store"_s, dir.filePath(u"missing.json"_s), out}, &errors), 1);
        QVERIFY(!QFile::exists(out));
    }

    void homePage()
    {
        const QByteArray bytes = readBytes(appFile(u"OLorvo.htm"_s));
        // Windows-1252 leaves five bytes undefined; plain ASCII is safe in every code page.
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const uchar c = uchar(bytes.at(i));
            if (c >= 0x80 || (c < 0x20 && c != '\n' && c != '\r' && c != '\t'))
                QFAIL(qPrintable(u"byte %1 at offset %2 is not plain text"_s.arg(c).arg(i)));
        }
        const QString page = QString::fromLatin1(bytes);
        QVERIFY(page.contains(u"charset=windows-1252"_s));
        for (const QString& id :
             {u"txtFind"_s, u"cmdFind"_s, u"cmdClearSearch"_s, u"cmdNew"_s, u"spaInbox"_s}) {
            QCOMPARE(page.count(u"id=\"%1\""_s.arg(id)), 1);
        }
        for (const auto& [id, caption] :
             {std::pair{u"cmdFind"_s, u"Search"_s}, std::pair{u"cmdClearSearch"_s, u"Clear"_s},
              std::pair{u"cmdNew"_s, u"New"_s}}) {
            QVERIFY2(page.contains(u"id=\"%1\" class=\"button\" value=\"%2\""_s.arg(id, caption)),
                     qPrintable(id));
        }
        QVERIFY(page.contains(u"<div id=\"spaInbox\"></div>"_s)); // empty until the script runs
        QVERIFY(page.contains(
            u"<a href=\"https://lorvo.example/\" target=\"_blank\"><img src=\"LorvoRect.gif\" "
            "width=\"120\" height=\"100\""_s));
        QVERIFY(page.contains(u"background-color: #ece9d8;"_s));
        QVERIFY(page.contains(u"background-image: url(bg.gif);"_s));
        QVERIFY(page.contains(u"window.external.OutlookApplication"_s));
        QVERIFY(page.contains(u"Items.Add(ARTICLE_CLASS).Display()"_s));
        QVERIFY(page.contains(u"var ARTICLE_CLASS = \"IPM.Post.HelpdeskKBArticle\";"_s));
    }

    // The page's script in a real browser, against a stand-in of Outlook's object model.
    void homePageScript()
    {
        if (chromium().isEmpty())
            QSKIP("Chromium is not installed (scripts/deps test installs it).");
        const QStringList lines = runHomePage(kFakeOutlook, kProbe).split(u'\n');
        const QStringList all{
            u"  <b>Bold</b> & 'quoted' | Email | <i>Policy</i>"_s,
            u"  Caf\u00e9 Wi-Fi | Network | How-to"_s,
            u"  VPN error 809 | Network | Error Message"_s,
            u"  Can't print to the 3rd floor printer | Printing | Troubleshooting"_s,
        };
        const QStringList expected =
            QStringList{u"load: Lorvo for Outlook \u2013 4 articles"_s} + all +
            QStringList{
                u"opened: Caf\u00e9 Wi-Fi"_s,
                u"search: 2 articles found for \"PRINTER\""_s,
                u"  Caf\u00e9 Wi-Fi | Network | How-to"_s,
                u"  Can't print to the 3rd floor printer | Printing | Troubleshooting"_s,
                u"search: 1 article found for \"hotel\""_s,
                u"  VPN error 809 | Network | Error Message"_s,
                u"search: 0 articles found for \"nothing like it\""_s,
                u"box: []"_s,
                u"clear: Lorvo for Outlook \u2013 4 articles"_s,
            } +
            all +
            QStringList{u"added: IPM.Post.HelpdeskKBArticle; opened: Caf\u00e9 Wi-Fi, (new)"_s};
        QCOMPARE(lines, expected);
    }

    void homePageOutsideOutlook()
    {
        if (chromium().isEmpty())
            QSKIP("Chromium is not installed (scripts/deps test installs it).");
        const QString inbox = runHomePage({}, {});
        QVERIFY2(inbox.contains(u"This page is the folder home page of the Lorvo for Outlook "
                                "knowledge base"_s),
                 qPrintable(inbox));
        QCOMPARE(inbox.count(u"<p"_s), 1);
    }

    void formDefinition()
    {
        QJsonParseError error;
        const QJsonDocument doc =
            QJsonDocument::fromJson(readBytes(appFile(u"OLorvoForm.fdm"_s)), &error);
        QVERIFY2(doc.isObject(), qPrintable(error.errorString()));
        const QJsonObject form = doc.object();
        QCOMPARE(form.value(u"format"_s).toString(), u"lorvo-form"_s);
        QCOMPARE(form.value(u"messageClass"_s).toString(), u"IPM.Post.HelpdeskKBArticle"_s);
        QCOMPARE(form.value(u"formName"_s).toString(), u"HelpdeskKBArticle"_s);
        QCOMPARE(form.value(u"description"_s).toString(),
                 u"This is the base form in the Outlook Lorvo application."_s);
        QStringList fields;
        for (const QJsonValue& field : form.value(u"fields"_s).toArray()) {
            QCOMPARE(field[u"type"_s].toString(), u"text"_s);
            fields.append(field[u"name"_s].toString());
        }
        QCOMPARE(fields, (QStringList{u"Problem Category"_s, u"Problem Type"_s}));
        const QJsonArray pages = form.value(u"pages"_s).toArray();
        QCOMPARE(pages.size(), 1);
        QCOMPARE(pages.at(0)[u"caption"_s].toString(), u"Knowledge Base Article"_s);
        QStringList bound;
        for (const QJsonValue& control : pages.at(0)[u"controls"_s].toArray())
            bound.append(control[u"boundTo"_s].toString());
        QVERIFY(bound.contains(u"Problem Category"_s) && bound.contains(u"Problem Type"_s));
    }

    void filledStore()
    {
        lorvo::test::TestRuntime rt;
        const outlook::FolderPtr top = openStore(rt, u"LorvoFilled.pst"_s);
        QVERIFY(top);
        QCOMPARE(top->Name(), u"LorvoFilled"_s);
        QVERIFY(top->Folders()->Count() >= 2);
        const outlook::FolderPtr kb = top->Folders()->Item(2);
        QCOMPARE(kb->DefaultItemType(), qint32(outlook::olPostItem));

        const outlook::ItemsPtr items = kb->Items();
        QSet<QString> categories, types, subjects;
        QStringList attachments;
        int articles = 0;
        bool apostrophe = false, markupCharacter = false, nonAscii = false;
        QString bmpPath;
        for (int i = 1; i <= items->Count(); ++i) {
            const outlook::ItemPtr item = items->Item(i);
            if (item->MessageClass() != "IPM.Post.HelpdeskKBArticle"_L1)
                continue;
            ++articles;
            const QString subject = item->Subject();
            QVERIFY2(!subjects.contains(subject), qPrintable(subject));
            subjects.insert(subject);
            apostrophe = apostrophe || subject.contains(u'\'');
            markupCharacter = markupCharacter || subject.contains(u'&') || subject.contains(u'<');
            nonAscii = nonAscii || std::any_of(subject.begin(), subject.end(),
                                               [](QChar c) { return c.unicode() > 0x7f; });
            const auto category = item->FindUserProperty(u"Problem Category"_s);
            const auto type = item->FindUserProperty(u"Problem Type"_s);
            QVERIFY2(category && type, qPrintable(subject));
            categories.insert(category->toString());
            types.insert(type->toString());
            const QString html = item->HTMLBody();
            QVERIFY2(html.startsWith(u"<html>"_s, Qt::CaseInsensitive) &&
                         html.contains(u"<title>"_s) && html.contains(u"<body"_s) &&
                         html.trimmed().endsWith(u"</html>"_s),
                     qPrintable(subject));
            QVERIFY2(!item->Body().trimmed().isEmpty(), qPrintable(subject));
            const outlook::AttachmentsPtr files = item->Attachments();
            for (int a = 1; a <= files->Count(); ++a) {
                const outlook::AttachmentPtr file = files->Item(a);
                attachments.append(file->DisplayName());
                if (file->DisplayName().endsWith(u".bmp"_s, Qt::CaseInsensitive)) {
                    bmpPath = rt.path(u"saved.bmp"_s);
                    file->SaveAsFile(bmpPath);
                }
            }
        }
        QVERIFY2(articles >= 40, qPrintable(QString::number(articles)));
        QVERIFY2(categories.size() >= 6, qPrintable(categories.values().join(u", "_s)));
        QVERIFY2(types.size() >= 5, qPrintable(types.values().join(u", "_s)));
        QVERIFY(apostrophe && markupCharacter && nonAscii);

        QVERIFY2(attachments.size() >= 8, qPrintable(attachments.join(u", "_s)));
        const auto has = [&attachments](auto predicate) {
            return std::any_of(attachments.begin(), attachments.end(), predicate);
        };
        QVERIFY(has([](const QString& n) { return !n.contains(u'.'); }));
        QVERIFY(has([](const QString& n) {
            const QString suffix = n.section(u'.', -1);
            return n.contains(u'.') && suffix == suffix.toUpper() && suffix != suffix.toLower();
        }));
        QVERIFY(!bmpPath.isEmpty());
        QImageReader bmp(bmpPath);
        QCOMPARE(bmp.format(), QByteArray("bmp"));
        QVERIFY(!bmp.read().isNull());
    }

    void emptyStoreHasTheSameFoldersAndNoItems()
    {
        Folder filledTree, emptyTree;
        {
            lorvo::test::TestRuntime rt;
            const outlook::FolderPtr filled = openStore(rt, u"LorvoFilled.pst"_s);
            QVERIFY(filled);
            filledTree = treeOf(filled);
            QVERIFY(itemsBelow(filled) >= 40);
        }
        lorvo::test::TestRuntime rt;
        const outlook::FolderPtr empty = openStore(rt, u"LorvoEmpty.pst"_s);
        QVERIFY(empty);
        emptyTree = treeOf(empty);
        QVERIFY(emptyTree == filledTree);
        QCOMPARE(empty->Folders()->Item(2)->DefaultItemType(), qint32(outlook::olPostItem));
        QCOMPARE(itemsBelow(empty), 0);
    }
};

QTEST_MAIN(TestAppFiles)
#include "test_appfiles.moc"
