#include "archive/wordprocessor.h"
#include "shared/rtf/writer.h"
#include "test_archive_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace lorvo::archive;

void ArchiveSupportTest::outlookRtfGivesBackTheHtml()
{
    // What the local Outlook writes comes back whole: tags, raw style text, references, text in
    // and beyond the code page, RTF specials, tabs and line breaks (as CR LF).
    const QString html =
        u"<html><head><title>T</title><style>p {margin:0} /* {x} */</style></head>\r\n"
        "<body lang=EN-US><p class=MsoNormal>Tom &amp; Jerry &#8364; 5 \\ {braces}</p>\r\n"
        "<div>Caf\u00e9 \u20ac \u0416 \U0001F600\tend<br>\r\nnext line</div>\r\n"
        "<!-- a comment --><img src=\"cid:x@y\" alt='a > b'></body></html>"_s;
    const QByteArray rtf = lorvo::rtf::itemToRtf(
        {{u"From:"_s, u"Helpdesk"_s}, {u"Subject:"_s, u"Caf\u00e9 {x}"_s}}, html);

    const auto doc = lorvo::rtf::read(rtf);
    QVERIFY(doc);
    QCOMPARE(doc->html, html);
    QCOMPARE(doc->header, (QStringList{u"From:\tHelpdesk"_s, u"Subject:\tCaf\u00e9 {x}"_s}));
}

void ArchiveSupportTest::rtfControlWordsAndCodePages()
{
    // Code page 1251: \'c6 is Cyrillic Zhe. \u with its fallback, \uc0 without one, negative \u
    // values, \htmlrtf switched off only for the rest of its group, skipped destinations.
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1251\\fromhtml1 \\deff0{\\fonttbl{\\f0 Arial;}}"
        "{\\*\\generator Writer;}{\\info{\\title Nope}}"
        "{\\*\\htmltag19 <html>}{\\*\\htmltag50 <body>}\r\n"
        "\\'c6 \\u1046?\\u-4064?{\\uc0\\u233 x}"
        "\\htmlrtf {\\htmlrtf0 in}out\\htmlrtf0 "
        "{\\*\\htmltag84 <p>}a\\tab b\\line c\\par d\\~e\\{\\}\\\\"
        "{\\*\\mhtmltag84 <img src=\"rewritten\">}{\\*\\htmltag84 <img src=\"orig\">}"
        "{\\*\\unknowndest secret}\\lquote q\\rquote "
        "{\\*\\htmltag84 <a href=\"x\\'e9\\par y\">}"
        "{\\*\\htmltag58 </body>}{\\*\\htmltag27 </html>}}";
    const auto doc = lorvo::rtf::read(rtf);
    QVERIFY(doc);
    QCOMPARE(doc->html, u"<html><body>\u0416 \u0416\uF020\u00e9xin<p>a\tb\r\nc\r\nd\u00A0e{}\\"
                        "<img src=\"orig\">\u2018q\u2019<a href=\"x\u0439\r\ny\"></body></html>"_s);
    QVERIFY(doc->header.isEmpty());

    // Without encapsulated HTML the text of the document is taken, escaped.
    const auto plain = lorvo::rtf::read("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}Line <1>\\par "
                                        "{\\pict\\pngblip 89504e47}{\\pict\\bin3 }{\\}Line 2}");
    QVERIFY(plain);
    QCOMPARE(plain->html, u"<html><head></head><body><p>Line &lt;1&gt;<br>\r\nLine 2</p></body>"
                          "</html>"_s);
}

void ArchiveSupportTest::unreadableRtfGivesNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("html") << QByteArray("<html><body>x</body></html>");
    QTest::newRow("no document group") << QByteArray("{\\pard text}");
}

void ArchiveSupportTest::unreadableRtfGivesNothing()
{
    QFETCH(QByteArray, bytes);
    QVERIFY(!lorvo::rtf::read(bytes));

    QTemporaryDir dir;
    const QString rtf = dir.filePath(u"1001.rtf"_s);
    QFile f(rtf);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    auto word = createBuiltinWordProcessor();
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, word->Open(rtf));
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, word->OpenData(bytes));
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, word->Open(dir.filePath(u"missing.rtf"_s)));
    // Once quit, it opens nothing, not even a readable document.
    QVERIFY(word->OpenData("{\\rtf1 text}"));
    word->Quit();
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, word->OpenData("{\\rtf1 text}"));
}

void ArchiveSupportTest::filteredHtmlShapeAndPictures()
{
    QTemporaryDir dir;
    const QByteArray png =
        QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mP8z8DwHwA"
                               "FBQIAX8jx0gAAAABJRU5ErkJggg==");
    lorvo::rtf::Document doc;
    doc.header = {u"From:\tHelp & Desk"_s, u"Subject:\t<Printer>"_s};
    doc.html = u"<html><head><style>p{color:red}</style></head><body bgcolor=white>"
               "<p>Hi \u20ac</p><img alt=x src=\"data:image/png;base64,"_s +
               QString::fromLatin1(png.toBase64()) +
               u"\"><img src='data:image/gif,GIF89a'>"
               "</body></html>"_s;

    const QString htmlPath = dir.filePath(u"1001.htm"_s);
    auto word = createBuiltinWordProcessor();
    // Through the word processor, as the conversion drives it.
    {
        QFile rtf(dir.filePath(u"1001.rtf"_s));
        QVERIFY(rtf.open(QIODevice::WriteOnly));
        rtf.write(lorvo::rtf::itemToRtf(
            {{u"From:"_s, u"Help & Desk"_s}, {u"Subject:"_s, u"<Printer>"_s}}, doc.html));
    }
    auto document = word->Open(dir.filePath(u"1001.rtf"_s));
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, document->SaveAs(htmlPath, 0));
    document->SaveAs(htmlPath, wdFormatFilteredHTML);
    document->Close(wdDoNotSaveChanges);

    QFile saved(htmlPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const QByteArray bytes = saved.readAll();
    for (const char c : bytes)
        QVERIFY2(uchar(c) < 0x80, "the file is plain ASCII");
    const QString text = QString::fromLatin1(bytes);

    // The header block, the empty paragraph the cleanup cuts at, the body with its pictures
    // linked beside the file; a plain <body> and an empty title for the page writer.
    const QString expected =
        u"<TITLE></TITLE>\r\n<style>p{color:red}</style>\r\n</head>\r\n\r\n<body>\r\n\r\n"
        "<div class=Section1>\r\n\r\n"
        "<p class=MsoNormal>From: Help &amp; Desk</p>\r\n\r\n"
        "<p class=MsoNormal>Subject: &lt;Printer&gt;</p>\r\n\r\n"
        "<p class=MsoNormal>&nbsp;</p>\r\n\r\n"
        "<p>Hi &#8364;</p><img alt=x src=\"1001_files/image001.png\">"
        "<img src=\"1001_files/image002.gif\">\r\n\r\n</div>\r\n\r\n</body>\r\n\r\n</html>\r\n"_s;
    QVERIFY2(text.startsWith(u"<html>"_s) && text.endsWith(expected), qPrintable(text));

    QFile picture(dir.filePath(u"1001_files/image001.png"_s));
    QVERIFY(picture.open(QIODevice::ReadOnly));
    QCOMPARE(picture.readAll(), png);
    QFile gif(dir.filePath(u"1001_files/image002.gif"_s));
    QVERIFY(gif.open(QIODevice::ReadOnly));
    QCOMPARE(gif.readAll(), QByteArray("GIF89a"));

    word->Quit();
    QVERIFY_THROWS_EXCEPTION(lorvo::Error, word->Open(dir.filePath(u"1001.rtf"_s)));
}
