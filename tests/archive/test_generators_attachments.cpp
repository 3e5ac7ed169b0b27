// Attachments and the body conversion inside a generation run.

#include "tests/archive/test_generators.h"

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

} // namespace

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
