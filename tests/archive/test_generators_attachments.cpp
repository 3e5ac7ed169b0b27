// Attachments and the body conversion inside a generation run.

#include "tests/archive/test_generators.h"
#include "tests/support/headlessbrowser.h"

#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace gentest;

namespace {

QByteArray bitmap()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    return buffer.data();
}

QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return buffer.data();
}

QJsonObject inlineAttachment(const QString& displayName, const QByteArray& data,
                             const QString& contentId)
{
    QJsonObject a = attachment(displayName, data);
    a.insert(u"contentId"_s, contentId);
    return a;
}

// An article whose body shows two pictures of its attachments by content ID (one twice, one
// from a style), one that no attachment answers, and one embedded as a data: address.
QJsonObject articleWithInlinePictures()
{
    const QString html =
        u"<html><head><TITLE></TITLE></head><body><p>See <img src=\"cid:shot%401\" alt=a>"
        "<img src='cid:shot@1'></p><div style=\"background:url(cid:chart@2)\">x</div>"
        "<img src=\"cid:missing@3\"><img src=\"data:image/png;base64,"_s +
        QString::fromLatin1(png(1, 1).toBase64()) + u"\"> cid:shot@1</body></html>"_s;
    return article(u"Inline"_s, u"C"_s, u"T"_s, html,
                   {inlineAttachment(u"image001.PNG"_s, png(3, 2), u"<shot@1>"_s),
                    inlineAttachment(u"chart"_s, png(5, 4), u"chart@2"_s),
                    attachment(u"notes.txt"_s, "text")});
}

} // namespace

void GeneratorsTest::inlinePicturesWrittenBesideThePage()
{
    for (const int attachments : {0, 1}) {
        Archive a({articleWithInlinePictures()});
        a.host.opts.attachments = attachments;
        a.host.opts.namingScheme = 1;
        QVERIFY(a.flat());
        const QString page = a.page(u"1001.htm"_s);
        // The word processor writes the embedded picture first; the inline ones follow it.
        const int first = attachments == 1 ? 2 : 1;
        const QString shot = u"1001_files/image%1.png"_s.arg(first, 3, 10, QChar(u'0'));
        const QString chart = u"1001_files/image%1.png"_s.arg(first + 1, 3, 10, QChar(u'0'));
        QVERIFY2(page.contains(u"See <img src=\""_s + shot + u"\" alt=a><img src='"_s + shot +
                               u"'></p><div style=\"background:url("_s + chart + u")\">"_s),
                 qPrintable(page));
        // An unanswered reference and text that only names one stay as they are.
        QVERIFY(page.contains(u"<img src=\"cid:missing@3\">"_s));
        QVERIFY(page.contains(u"> cid:shot@1"_s));
        QCOMPARE(a.bytes(shot), png(3, 2));
        QCOMPARE(a.bytes(chart), png(5, 4));
        QStringList files = {shot.mid(11), chart.mid(11)};
        if (attachments == 1) {
            // The attachment list is what it is without inline pictures.
            QVERIFY(page.contains(u"<li><a href='1001_files/1001_1.png'>image001.PNG</a></li>"
                                  "<li><a href='1001_files/1001_2.txt'>notes.txt</a></li></ul>"_s));
            files += {u"1001_1.png"_s, u"1001_2.txt"_s, u"image001.png"_s};
        } else {
            QVERIFY(!page.contains(u"Attachments:"_s));
        }
        files.sort();
        QCOMPARE(filesBelow(a.dest + u"/1001_files"_s), files);
    }
}

void GeneratorsTest::inlinePicturesShowInTheBrowser()
{
    if (lorvo::test::chromium().isEmpty())
        QSKIP("Chromium is not installed (scripts/deps test installs it).");
    for (const int attachments : {0, 1}) {
        Archive a({articleWithInlinePictures()});
        a.host.opts.attachments = attachments;
        QVERIFY(a.flat());
        // The page as written, with a probe that reports each picture's width once loaded.
        QFile page(a.dest + u"/Inline.htm"_s);
        QVERIFY(page.open(QIODevice::Append));
        page.write("<script>window.addEventListener('load', function () {"
                   "var out = []; for (var img of document.images) out.push(img.naturalWidth);"
                   "var pre = document.createElement('pre'); pre.id = 'result';"
                   "pre.textContent = out.join(' '); document.body.appendChild(pre); });"
                   "</script>");
        page.close();
        QString error;
        const QString result =
            lorvo::test::probeResult(lorvo::test::dumpDom(page.fileName(), &error));
        QVERIFY2(!result.isEmpty(), qPrintable(error));
        // The two inline pictures, the unanswered one, the embedded one.
        QCOMPARE(result, u"3 3 0 1"_s);
    }
}

void GeneratorsTest::attachmentsSaved()
{
    Archive a({article(u"With files"_s, u"C"_s, u"T"_s, {},
                       {attachment(u"report.jpeg"_s, "jpeg data"),
                        attachment(u"data.xlsxx"_s, "skipped"), attachment(u"README"_s, "skipped"),
                        attachment(u"pic.BMP"_s, bitmap()), attachment(u"notes.txt"_s, "text")}),
               article(u"Without"_s)});
    a.host.opts.attachments = 1;
    a.host.opts.namingScheme = 1;
    QVERIFY(a.flat());
    const QString list = u"<p><b>Attachments:</b><ul>"
                         "<li><a href='1001_files/1001_1.jpeg'>report.jpeg</a></li>"
                         "<li><a href='1001_files/1001_2.jpg'>pic.BMP</a></li>"
                         "<li><a href='1001_files/1001_3.txt'>notes.txt</a></li></ul></p>"_s;
    QVERIFY2(a.page(u"1001.htm"_s)
                 .endsWith(list + u"<hr><a href='index.htm'><b>Table of Contents "
                                  "(index)</b></a>"_s),
             qPrintable(a.page(u"1001.htm"_s)));
    QCOMPARE(filesBelow(a.dest + u"/1001_files"_s),
             (QStringList{u"1001_1.jpeg"_s, u"1001_2.jpg"_s, u"1001_3.txt"_s}));
    QCOMPARE(a.bytes(u"1001_files/1001_3.txt"_s), QByteArray("text"));
    QCOMPARE(QImageReader(a.dest + u"/1001_files/1001_2.jpg"_s).format(), QByteArray("jpeg"));
    // An article without attachments gets no list and no folder.
    const QString without = a.page(u"1002.htm"_s);
    QVERIFY(without.contains(u"<p>Body of Without</p>"_s));
    QVERIFY(!without.contains(u"Attachments:"_s));
    QVERIFY(without.endsWith(u"</html>\r\n<hr><a href='index.htm'><b>Table of Contents "
                             "(index)</b></a>"_s));
    QVERIFY(!a.exists(u"1002_files"_s));
    // The working files of the conversion are gone; the pages are what is left.
    QVERIFY(QDir(a.dest + u"/Images"_s).entryList({u"*.rtf"_s}, QDir::Files).isEmpty());
    QCOMPARE(a.pages(), (QStringList{u"1001.htm"_s, u"1002.htm"_s}));
}

void GeneratorsTest::failedBitmapConversionKeepsBitmap()
{
    Archive a({article(u"Broken"_s, u"C"_s, u"T"_s, {},
                       {attachment(u"broken.bmp"_s, "this is no bitmap")})});
    a.host.opts.attachments = 1;
    QVERIFY(a.flat());
    QVERIFY(a.page(u"Broken.htm"_s)
                .contains(u"<li><a href='1001_files/1001_1.bmp'>broken.bmp</a></li>"_s));
    QCOMPARE(a.bytes(u"1001_files/1001_1.bmp"_s), QByteArray("this is no bitmap"));
    QVERIFY(!a.exists(u"1001_files/1001_1.jpg"_s));
}

void GeneratorsTest::hostileAttachmentExtension()
{
    Archive a({article(u"Hostile"_s, u"C"_s, u"T"_s, {},
                       {attachment(u"x./.."_s, "a"), attachment(u"y.a/b"_s, "b"),
                        attachment(u"z.\\..\\"_s, "c"), attachment(u"w.'#"_s, "d")})});
    a.host.opts.attachments = 1;
    a.host.opts.namingScheme = 1;
    QVERIFY(a.flat());
    // Separators never reach the file system: every file stays inside the article's folder.
    QCOMPARE(filesBelow(a.dest + u"/1001_files"_s), (QStringList{u"1001_1.ab"_s, u"1001_2.'#"_s}));
    const QStringList outside = filesBelow(a.t.path(QString()));
    for (const QString& file : outside) {
        QVERIFY2(!file.startsWith(u"web/1001_files/"_s) || file.count(u'/') == 2, qPrintable(file));
        QVERIFY2(!file.contains(u"1001_"_s) || file.startsWith(u"web/1001_files/"_s),
                 qPrintable(file));
    }
    QVERIFY(
        a.page(u"1001.htm"_s).contains(u"<li><a href='1001_files/1001_2.%27%23'>w.&#39;#</a>"_s));
}

void GeneratorsTest::keptPagesSurviveConversion()
{
    // A numbered page of this naming kept because overwriting is off.
    {
        Archive a({article(u"First"_s, u"C"_s, u"T"_s), article(u"Second"_s, u"C"_s, u"T"_s)});
        QFile old(a.dest + u"/1001.htm"_s);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("page of an earlier run");
        old.close();
        a.host.opts.attachments = 1;
        a.host.opts.namingScheme = 1;
        a.host.opts.overwrite = 0;
        QVERIFY(a.flat());
        QCOMPARE(a.bytes(u"1001.htm"_s), QByteArray("page of an earlier run"));
        QVERIFY(a.page(u"1002.htm"_s).contains(u"<h1>Second</h1>"_s));
    }
    // A numbered page of an earlier run, while this run names pages after subjects.
    for (bool outline : {false, true}) {
        Archive a({article(u"First"_s, u"C"_s, u"T"_s)});
        QFile old(a.dest + u"/1001.htm"_s);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("numbered page");
        old.close();
        a.host.opts.attachments = 1;
        a.host.categoryList = {{u"C"_s, true}};
        a.host.typeList = {{u"T"_s, true}};
        QVERIFY(outline ? a.outline() : a.flat());
        QCOMPARE(a.bytes(u"1001.htm"_s), QByteArray("numbered page"));
        QVERIFY(a.page(u"First.htm"_s).contains(u"<h1>First</h1>"_s));
    }
}
