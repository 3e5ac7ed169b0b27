// The RTF library: the reader's character sets, its rendering of native RTF, RTF from real
// messages, bad input, and the writer read back through the reader.

#include "shared/rtf/charsets.h"
#include "shared/rtf/reader.h"
#include "shared/rtf/writer.h"

#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// The body of a rendered document, between <body> and </body>.
QString bodyOf(const QByteArray& rtf)
{
    const auto doc = lorvo::rtf::read(rtf);
    if (!doc)
        return u"(none)"_s;
    const qsizetype start = doc->html.indexOf("<body>"_L1);
    const qsizetype end = doc->html.lastIndexOf("</body>"_L1);
    return start < 0 || end < start ? doc->html : doc->html.mid(start + 6, end - start - 6);
}

QByteArray sample(const QString& name)
{
    QFile file(qEnvironmentVariable("LORVO_SOURCE_DIR") + u"/tests/data/rtf/"_s + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class RtfTest : public QObject
{
    Q_OBJECT

private slots:
    void fontCharsetsDecideTheCodePage();
    void codePageNumbersDecode_data();
    void codePageNumbersDecode();
    void unicodeAndItsFallbackBytes();
    void symbolFonts();
    void nativeRtfRendering();
    void hyperlinksAndPictures();
    void rtfOfRealMessages();
    void badInputGivesTheTextItRead_data();
    void badInputGivesTheTextItRead();
    void deepNestingAndHugeNumbers();
    void writerReadsBack();
    void writerNumbersTags_data();
    void writerNumbersTags();
    void tagGroupsInEveryPlace_data();
    void tagGroupsInEveryPlace();
};

void RtfTest::fontCharsetsDecideTheCodePage()
{
    // Outlook's encapsulated HTML: a Japanese message with Chinese and Korean runs in fonts of
    // their own character sets; the default font has none and reads in the document's cp932.
    const QByteArray japanese =
        "{\\rtf1\\ansi\\ansicpg932\\fromhtml1 \\deff0{\\fonttbl{\\f0\\fswiss MS PGothic;}"
        "{\\f5\\fswiss\\fcharset134 SimSun;}{\\f6\\fswiss\\fcharset129 Gulim;}"
        "{\\f7\\fswiss\\fcharset136\\cpg936 Lying;}}"
        "{\\*\\htmltag19 <html>}{\\*\\htmltag64 <p>}\\htmlrtf {\\htmlrtf0 \\'82\\'b1\\'82\\'f1}"
        "{\\f5\\fs24\\htmlrtf0 \\'c4\\'e3\\'ba\\'c3}{\\f6\\fs24\\htmlrtf0 \\'be\\'c8\\'b3\\'e7}"
        "{\\f7\\htmlrtf0 \\'c4\\'e3}{\\f9\\htmlrtf0 \\'82\\'a0}"
        "{\\*\\htmltag72 </p>}{\\*\\htmltag27 </html>}}";
    const auto doc = lorvo::rtf::read(japanese);
    QVERIFY(doc && doc->fromHtml);
    // \cpg wins over \fcharset; an undeclared font reads in the document's code page.
    QCOMPARE(doc->html, u"<html><p>\u3053\u3093\u4F60\u597D\uC548\uB155\u4F60\u3042</p></html>"_s);

    // Bytes outside ASCII written as they are read in the code page too: first in a run, after
    // more than a block of ASCII, and in a short run.
    const QByteArray ascii(40, 'a');
    const QByteArray raw = "{\\rtf1\\ansi\\ansicpg1251\\fromhtml1 {\\*\\htmltag <p>}\xc6" + ascii +
                           "{\\*\\htmltag <p>}" + ascii + "\xc6{\\*\\htmltag <p>}ab\xc6}";
    const auto cyrillic = lorvo::rtf::read(raw);
    QVERIFY(cyrillic);
    const QString letters = QString::fromLatin1(ascii);
    QCOMPARE(cyrillic->html,
             u"<p>\u0416"_s + letters + u"<p>"_s + letters + u"\u0416<p>ab\u0416"_s);

    // A Western message with Cyrillic and Greek fonts, native: the same rule, and a run of
    // bytes cut by a change of font does not join the next font's bytes.
    const QByteArray western =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\froman\\fcharset0 Times;}"
        "{\\f1\\froman\\fcharset204 Times Cyr;}{\\f2\\froman\\fcharset161 Times Greek;}"
        "{\\f3\\fcharset128 Gothic;}}"
        "Caf\\'e9 {\\f1 \\'c6\\'e8\\'e7\\'ed\\'fc} {\\f2 \\'c6\\'f9\\'de} {\\f3 \\'82}\\'e9}";
    QCOMPARE(bodyOf(western), u"<p>Caf\u00e9 \u0416\u0438\u0437\u043d\u044c \u0396\u03c9\u03ae "
                              "\u00e9</p>"_s);
}

void RtfTest::codePageNumbersDecode_data()
{
    QTest::addColumn<int>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    // The code pages of RTF fonts and of Outlook's messages, mail's internet ones included.
    QTest::newRow("Windows-1252") << 1252 << QByteArray("Caf\xe9 \x80") << u"Caf\u00e9 \u20ac"_s;
    QTest::newRow("Windows-1251") << 1251 << QByteArray("\xc6") << u"\u0416"_s;
    QTest::newRow("Shift-JIS") << 932 << QByteArray("\x82\xa0") << u"\u3042"_s;
    QTest::newRow("DOS 437") << 437 << QByteArray("\x81") << u"\u00fc"_s;
    QTest::newRow("Mac Roman") << 10000 << QByteArray("\x8e") << u"\u00e9"_s;
    QTest::newRow("UTF-8") << 65001 << QByteArray("\xc3\xa9") << u"\u00e9"_s;
    QTest::newRow("UTF-16LE") << 1200 << QByteArray("\xe9\x00", 2) << u"\u00e9"_s;
    QTest::newRow("ISO-8859-2") << 28592 << QByteArray("\xb1") << u"\u0105"_s;
    QTest::newRow("ISO-8859-15") << 28605 << QByteArray("\xa4") << u"\u20ac"_s;
    QTest::newRow("KOI8-R") << 20866 << QByteArray("\xc1") << u"\u0430"_s;
    QTest::newRow("ISO-2022-JP") << 50220 << QByteArray("\x1b$B$\"\x1b(B") << u"\u3042"_s;
    QTest::newRow("unknown") << 12345 << QByteArray() << QString();
    QTest::newRow("negative") << -1252 << QByteArray() << QString();
}

void RtfTest::codePageNumbersDecode()
{
    QFETCH(int, codePage);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QStringDecoder decoder = lorvo::rtf::decoderForCodePage(codePage);
    QCOMPARE(decoder.isValid(), !text.isNull());
    if (decoder.isValid())
        QCOMPARE(decoder.decode(bytes), text);
}

void RtfTest::unicodeAndItsFallbackBytes()
{
    // \uc2 skips a double-byte fallback given as two escapes; \uc0 skips nothing; the skip
    // count is the group's and ends with the group; a control symbol is one fallback character.
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg932 \\uc2\\u20320\\'c4\\'e3 a"
                           "{\\uc0\\u1046 b}{\\uc3\\u1046 x}c\\uc1\\u8212\\~d\\u-10179?\\u-8704?}";
    QCOMPARE(bodyOf(rtf), u"<p>\u4F60 a\u0416b\u0416c\u2014d\U0001F600</p>"_s);
}

void RtfTest::symbolFonts()
{
    // Symbol and Wingdings by name, in bytes and in \uN at U+F0xx; another symbol font keeps
    // its letters; a picture without a character of its own is a private one, as on Windows.
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset2 Symbol;}"
                           "{\\f2\\fnil\\fcharset2 \"Wingdings\";}{\\f3\\fcharset2 Marlett;}}"
                           "{\\f1 \\'b7 a\\'b3\\'70}{\\f2 \\'a7\\'fc\\'d8\\'c0}{\\f1\\u-3913 x}"
                           "{\\f3 ab}\\u-3913 ?}";
    QCOMPARE(bodyOf(rtf),
             u"<p>\u2022 \u03b1\u2265\u03c0\u25AA\u2713\u27A2\uF0C0\u2022ab\uF0B7</p>"_s);
}

void RtfTest::nativeRtfRendering()
{
    // What a helpdesk writes: aligned paragraphs, character formatting, lists of both kinds,
    // a table, text in and after them. Hidden text, font and colour tables, \pn definitions and
    // the old-reader picture fallback show nothing; escapes are escaped.
    const QByteArray rtf =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}"
        "{\\f1\\fnil\\fcharset2 Symbol;}{\\f2\\fmodern Courier New;}}\r\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\r\n"
        "{\\stylesheet{\\s0 Normal;}}{\\info{\\title Secret}}\r\n"
        "\\pard\\qc\\b\\fs32 Title\\b0\\fs24\\par\r\n"
        "\\pard\\par Normal \\i italic\\i0  \\ul under\\ulnone  \\strike gone\\strike0  "
        "\\cf2 red\\cf1  black\\cf0  x\\super 2\\nosupersub {\\v hidden\\par}<a & \"b\">\\line "
        "next\\par\\par\r\nlast line\\par\r\n"
        "{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'b7}}\\pard\\fi-360\\li360 "
        "First\\par\r\n"
        "{\\pntext\\f1\\'b7\\tab}Second\\par\r\n"
        "\\pard{\\listtext 1.\\tab}\\ls2\\ilvl0 One\\par\r\n"
        "{\\listtext\\f2 o\\tab}\\ls3\\ilvl1 Sub\\par\r\n"
        "{\\listtext 4.\\tab}\\ls2\\ilvl0 Four\\par\r\n"
        "{\\listtext a)\\tab}\\ls2\\ilvl0 Letter\\par\r\n"
        "\\pard\\par\r\n"
        "\\trowd\\clbrdrt\\brdrs\\cellx1000\\cellx2000\\pard\\intbl A1\\cell {\\b "
        "B1}\\cell\\row\r\n"
        "\\trowd\\cellx1000\\cellx2000\\pard\\intbl A2\\par more\\cell \\cell\\row\r\n"
        "\\pard\\qr right\\par\\qj justified}";
    QCOMPARE(bodyOf(rtf),
             u"<p align=center><b><span style=\"font-size:16pt\">Title</span></b></p>\r\n"
             "<p>Normal <i>italic</i> <u>under</u> <s>gone</s> <span style=\"color:#ff0000\">"
             "red</span> black x<sup>2</sup>&lt;a &amp; &quot;b&quot;&gt;<br>\r\nnext<br>\r\n"
             "<br>\r\nlast line</p>\r\n"
             "<ul>\r\n<li>First</li>\r\n<li>Second</li>\r\n</ul>\r\n"
             "<ol>\r\n<li>One\r\n<ul style=\"list-style-type:circle\">\r\n<li>Sub</li>\r\n</ul>"
             "</li>\r\n<li value=4>Four</li>\r\n</ol>\r\n"
             "<ul style=\"list-style-type:none\">\r\n<li>a) Letter</li>\r\n</ul>\r\n"
             "<table border=1 cellspacing=0 cellpadding=4>\r\n<tr>\r\n<td>A1</td>\r\n"
             "<td><b>B1</b></td>\r\n</tr>\r\n<tr>\r\n<td>A2<br>\r\nmore</td>\r\n"
             "<td>&nbsp;</td>\r\n</tr>\r\n</table>\r\n"
             "<p align=right>right</p>\r\n<p align=justify>justified</p>"_s);

    // A table without borders, cut off before its \row, still shows its cells.
    QCOMPARE(bodyOf("{\\rtf1\\trowd\\cellx100\\intbl a\\cell b\\cell}"),
             u"<table cellspacing=0 cellpadding=4>\r\n<tr>\r\n<td>a</td>\r\n<td>b</td>\r\n"
             "</tr>\r\n</table>"_s);
}

void RtfTest::hyperlinksAndPictures()
{
    const QByteArray png = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAA"
                                                  "DElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC");
    const QByteArray jpeg = QByteArray("\xFF\xD8\xFF\xE0") + QByteArray(8, 'j');
    const QByteArray rtf =
        "{\\rtf1\\ansi "
        // A link with a tip, quoted with escaped backslashes as Word writes it; its address
        // split by formatting words.
        "{\\field{\\*\\fldinst {HYPERLINK \"http://example.com/?a=1&b=\\b 2\" \\\\o \"tip\"}}"
        "{\\fldrslt {\\ul link}}} "
        // Bookmarks; addresses that would run script lose the link, keep the text.
        "{\\field{\\*\\fldinst HYPERLINK \\\\l \"top\"}{\\fldrslt up}} "
        "{\\field{\\*\\fldinst HYPERLINK \"java\\tab script:alert(1)\"}{\\fldrslt bad}} "
        "{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}\\par "
        // A result over two paragraphs is linked once.
        "{\\field{\\*\\fldinst HYPERLINK \"mailto:a@b\"}{\\fldrslt one\\par two}}\\par "
        // Pictures in hex (a PNG, scaled to half) and in binary (a JPEG), the shape picture
        // read and its fallback not; a truncated PNG and a metafile show nothing.
        "{\\*\\shppict{\\pict\\pngblip\\picwgoal300\\pichgoal150\\picscalex50{\\*\\blipuid "
        "ff}\r\n" +
        png.toHex() +
        "}}{\\nonshppict{\\pict\\wmetafile8 0100}}"
        "{\\pict\\jpegblip\\picwgoal150\\bin" +
        QByteArray::number(jpeg.size()) + " " + jpeg +
        "}"
        "{\\pict\\pngblip 89504e47}{\\pict\\wmetafile8 0100}}";
    const auto doc = lorvo::rtf::read(rtf);
    QVERIFY(doc);
    QCOMPARE(doc->html,
             u"<html><head></head><body><p><a href=\"http://example.com/?a=1&amp;b=2\"><u>link"
             "</u></a> <a href=\"#top\">up</a> bad 7<br>\r\n"
             "<a href=\"mailto:a@b\">one</a><br>\r\ntwo<br>\r\n"
             "<img width=10 height=10 src=\"data:image/png;base64,"_s +
                 QString::fromLatin1(png.toBase64()) +
                 u"\"><img width=10 src=\"data:image/jpeg;base64,"_s +
                 QString::fromLatin1(jpeg.toBase64()) + u"\"></p></body></html>"_s);
}

void RtfTest::rtfOfRealMessages()
{
    // A native RTF body as Outlook stored it: text in the document's code page, quotes from
    // control words, a signature with two links; no RTF code shows.
    const auto native = lorvo::rtf::read(sample(u"RtfSampleEmail.rtf"_s));
    QVERIFY(native);
    QVERIFY(!native->fromHtml);
    const QString html = native->html;
    QVERIFY2(html.contains(u"<p><span style=\"font-size:10pt\">BOOK ONE: 1805</span><br>\r\n"_s),
             qPrintable(html.left(300)));
    QVERIFY(html.contains(u"\u201CWell, Prince, so Genoa and Lucca are now just family estates"_s));
    QVERIFY(html.contains(u"well-known Anna P\u00e1vlovna</span><br>\r\n"_s));
    QVERIFY(html.contains(u"<a href=\"https://webmail.leeds.gov.uk/owa/redir.aspx?SURL="_s));
    QVERIFY(html.contains(u"><u><span style=\"font-size:8pt;color:#548dd4\">www.leeds.gov.uk"
                          "</span></u></a></p></body></html>"_s));
    for (const char* code : {"\\", "{", "rtlch", "Times New Roman", "HYPERLINK", "panose"})
        QVERIFY2(!html.contains(QLatin1StringView(code)), code);

    // Encapsulated HTML in code page 1251 with Latin runs in a font of the Western set.
    const auto russian = lorvo::rtf::read(sample(u"RtfWithShortRussianString.rtf"_s));
    QVERIFY(russian && russian->fromHtml);
    QVERIFY(russian->header.isEmpty());
    QVERIFY(russian->html.startsWith(u"<html xmlns:v=\"urn:schemas-microsoft-com:vml\""_s));
    QVERIFY(russian->html.contains(u"\u00ab\u0418\u043c\u044f \u043f\u043e\u043b\u044c\u0437"
                                   "\u043e\u0432\u0430\u0442\u0435\u043b\u044f\u00bb (</span>"_s));
    QVERIFY(russian->html.contains(u"\u00ab\u041f\u0430\u0440\u043e\u043b\u044c\u00bb (<span "
                                   "class=SpellE>password</span>)."_s));
    QVERIFY(russian->html.endsWith(u"</div></body></html>"_s));
}

void RtfTest::badInputGivesTheTextItRead_data()
{
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("body");
    QTest::newRow("cut off encapsulated")
        << QByteArray("{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag <p>}text") << u"<p>text"_s;
    QTest::newRow("cut off in a tag")
        << QByteArray("{\\rtf1\\ansi\\fromhtml1 {\\*\\htmltag <p>}a{\\*\\htmltag <b")
        << u"<p>a<b"_s;
    QTest::newRow("cut off native")
        << QByteArray("{\\rtf1 one\\par {\\b two") << u"<p>one<br>\r\n<b>two</b></p>"_s;
    QTest::newRow("cut off escapes") << QByteArray("{\\rtf1 a\\'4") << u"<p>a</p>"_s;
    QTest::newRow("cut off word") << QByteArray("{\\rtf1 a\\") << u"<p>a</p>"_s;
    QTest::newRow("cut off picture")
        << QByteArray("{\\rtf1 a{\\pict\\pngblip 89504e470d0a1a0a") << u"<p>a</p>"_s;
    QTest::newRow("after the document") << QByteArray("{\\rtf1 a}}b{\\rtf1 c}") << u"<p>a</p>"_s;
    QTest::newRow("huge \\bin") << QByteArray("{\\rtf1 a{\\pict\\bin999999999999 xyz}}")
                                << u"<p>a</p>"_s;
    QTest::newRow("\\bin in text") << QByteArray("{\\rtf1 a\\bin2 }{b}") << u"<p>ab</p>"_s;
    QTest::newRow("lying font table")
        << QByteArray("{\\rtf1\\ansi\\ansicpg99999\\deff7{\\fonttbl{\\f1\\fcharset300\\cpg-5 X;}"
                      "\\f2\\fcharset204;{\\f1\\cpg1251 Y}}{\\f1 \\'c6}{\\f2 \\'c6}{\\f7 \\'c6}"
                      "\\fcharset204 \\'c6}")
        << u"<p>\u0416\u0416\u00c6\u00c6</p>"_s;
    QTest::newRow("unicode out of range")
        << QByteArray("{\\rtf1 \\u70000?\\u-40000?\\u0?\\'00.}") << u"<p>\u1170\u63C0.</p>"_s;
}

void RtfTest::badInputGivesTheTextItRead()
{
    QFETCH(QByteArray, rtf);
    QFETCH(QString, body);
    QCOMPARE(bodyOf(rtf), body);
}

void RtfTest::deepNestingAndHugeNumbers()
{
    // Ten thousand groups, and far more than the reader keeps state for: the text inside and
    // after them is read.
    for (const int depth : {10000, 200000}) {
        const QByteArray rtf =
            "{\\rtf1 " + QByteArray(depth, '{') + "\\b deep" + QByteArray(depth, '}') + " after}";
        QCOMPARE(bodyOf(rtf), u"<p><b>deep</b> after</p>"_s);
    }
    // Groups that never close.
    QCOMPARE(bodyOf("{\\rtf1 " + QByteArray(300000, '{') + "x"), u"<p>x</p>"_s);
    // Numbers of any length are clamped; a font size stays a size.
    QCOMPARE(bodyOf("{\\rtf1 \\fs" + QByteArray(5000, '9') + " a\\fs-" + QByteArray(30, '9') +
                    " b\\uc99999999999 \\u65 c}"),
             u"<p><span style=\"font-size:1638pt\">a</span>bA</p>"_s);
}

void RtfTest::writerReadsBack()
{
    // Character references become tag groups of their own (so that the RTF side shows their
    // character); anything that only looks like one stays text.
    const QString html = u"&amp;&#1234567;&#x10FFFF;&#12345678;&#x1234567;&#x;&"_s +
                         QString(32, u'a') + u";&"_s + QString(33, u'a') + u";&a1;&1a; &"_s;
    const QByteArray rtf = lorvo::rtf::itemToRtf({}, html);
    const QByteArray body = rtf.mid(rtf.indexOf("\\htmlrtf0 \r\n") + 12);
    QCOMPARE(body, "{\\*\\htmltag84 &amp;}\\htmlrtf &\\htmlrtf0 {\\*\\htmltag84 &#1234567;}"
                   "{\\*\\htmltag84 &#x10FFFF;}\\htmlrtf \\u-9217?\\u-8193?\\htmlrtf0 "
                   "&#12345678;&#x1234567;&#x;{\\*\\htmltag84 &" +
                       QByteArray(32, 'a') + ";}&" + QByteArray(33, 'a') +
                       ";{\\*\\htmltag84 &a1;}&1a; &}\r\n");
    const auto doc = lorvo::rtf::read(rtf);
    QVERIFY(doc && doc->fromHtml);
    QCOMPARE(doc->html, html);

    // A tag is known by its name only where it is valid UTF-16 (a regular expression matches
    // none elsewhere): a lone surrogate in a paragraph's end tag leaves it unnumbered and
    // without the RTF side's paragraph break; the valid tags of such a text keep theirs.
    const QByteArray lone = lorvo::rtf::itemToRtf({}, u"<p>a</p \xD800>b</p>"_s);
    QVERIFY2(lone.endsWith("{\\*\\htmltag68 <p>}a{\\*\\htmltag8 </p \\u-10240?>}b"
                           "{\\*\\htmltag76 </p>}\\htmlrtf \\par \\htmlrtf0 }\r\n"),
             lone.constData());

    // Long runs are copied in blocks: what needs escaping, or starts markup, is seen at any place
    // in one or across two, and reads back.
    const QList<std::pair<QString, QByteArray>> specials = {
        {u"\\"_s, "\\\\"},     {u"{"_s, "\\{"},        {u"\t"_s, "\\tab "},
        {u"\r\n"_s, "\\par "}, {u"\u00e9"_s, "\\'e9"}, {u"\u0416"_s, "\\u1046?"},
        {u"\x7f"_s, "\\'7f"},  {u"<"_s, "<"},          {u"&"_s, "&"}};
    for (int at = 0; at <= 70; ++at) {
        const QString before(at, u'a');
        const QString after(70 - at, u'b');
        for (const auto& [text, escaped] : specials) {
            QCOMPARE(lorvo::rtf::escape(QString(before + text + after)),
                     before.toLatin1() + escaped + after.toLatin1());
            const QString page = u"<p>"_s + before + text + after + u"</p>"_s;
            const auto back = lorvo::rtf::read(lorvo::rtf::itemToRtf({}, page));
            QVERIFY(back);
            QCOMPARE(back->html, page);
        }
    }
}

void RtfTest::writerNumbersTags_data()
{
    // Outlook's numbers for the common tags (16 per kind, 8 for an end tag, 4 past the first
    // three kinds), and the RTF side's paragraph break after a block's end and any <br>.
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QByteArray>("rtf");
    const QByteArray br = "\\htmlrtf \\par \\htmlrtf0 ";
    const QList<std::tuple<const char*, int, bool>> tags = {
        {"html", 16, false}, {"head", 32, false},  {"body", 48, false}, {"p", 68, true},
        {"div", 100, true},  {"span", 132, false}, {"a", 148, false},   {"img", 164, false},
        {"li", 0, true},     {"tr", 0, true},      {"table", 0, true},  {"pre", 0, true},
        {"h1", 0, true},     {"h6", 0, true},      {"h7", 0, false},    {"blockquote", 0, true},
        {"b", 0, false},     {"spans", 0, false},  {"title", 0, false}};
    for (const auto& [name, number, block] : tags) {
        const QString start = u"<%1>"_s.arg(QLatin1StringView(name));
        const QString end = u"</%1>"_s.arg(QLatin1StringView(name));
        QTest::newRow(name) << start
                            << "{\\*\\htmltag" + QByteArray::number(number) + " " +
                                   start.toLatin1() + "}";
        QTest::addRow("%s end", name) << end
                                      << "{\\*\\htmltag" + QByteArray::number(number + 8) + " " +
                                             end.toLatin1() + "}" + (block ? br : QByteArray());
    }
    // Raw text stays in the group of its start tag.
    QTest::newRow("title's text") << u"<title>a<b>&amp;</TITLE>"_s
                                  << QByteArray("{\\*\\htmltag0 <title>a<b>&amp;</TITLE>}");
    QTest::newRow("script's text")
        << u"<script>a<b</script>"_s << QByteArray("{\\*\\htmltag0 <script>a<b</script>}");
    QTest::newRow("br") << u"<br>"_s << "{\\*\\htmltag116 <br>}" + br;
    QTest::newRow("upper case") << u"<P ALIGN=left>"_s
                                << QByteArray("{\\*\\htmltag68 <P ALIGN=left>}");
    QTest::newRow("reference") << u"&lt;"_s
                               << QByteArray("{\\*\\htmltag84 &lt;}\\htmlrtf <\\htmlrtf0 ");
}

void RtfTest::writerNumbersTags()
{
    QFETCH(QString, tag);
    QFETCH(QByteArray, rtf);
    const QByteArray written = lorvo::rtf::itemToRtf({}, tag);
    QCOMPARE(written.mid(written.indexOf("\\htmlrtf0 \r\n") + 12).chopped(3), rtf);
}

void RtfTest::tagGroupsInEveryPlace_data()
{
    QTest::addColumn<QByteArray>("part");
    QTest::addColumn<QString>("html");
    // After the first tag, in a message of a Cyrillic code page with a Symbol font.
    QTest::newRow("plain") << QByteArray("{\\*\\htmltag84 <b>}x") << u"<b>x"_s;
    QTest::newRow("negative number, no blank") << QByteArray("{\\*\\htmltag-4<b>}") << u"<b>"_s;
    QTest::newRow("empty") << QByteArray("{\\*\\htmltag}x") << u"x"_s;
    QTest::newRow("another word") << QByteArray("{\\*\\htmltagx <b>}x") << u"x"_s;
    QTest::newRow("byte outside ASCII")
        << QByteArray("{\\*\\htmltag <i title=\xc6>}") << u"<i title=\u0416>"_s;
    QTest::newRow("escapes") << QByteArray("{\\*\\htmltag <i title=\\{\\}\\'c6>}")
                             << u"<i title={}\u0416>"_s;
    QTest::newRow("line break") << QByteArray("{\\*\\htmltag <br\r\n>}") << u"<br>"_s;
    QTest::newRow("on the RTF side")
        << QByteArray("\\htmlrtf {\\*\\htmltag <b>}x\\htmlrtf0 y") << u"<b>y"_s;
    QTest::newRow("Symbol font") << QByteArray("{\\f1 {\\*\\htmltag <b>}}") << u"<\u03B2>"_s;
    QTest::newRow("skipped destination")
        << QByteArray("{\\*\\unknownword {\\*\\htmltag <b>}x}y") << u"y"_s;
    QTest::newRow("after a byte of the code page")
        << QByteArray("\\'c6{\\*\\htmltag <b>}") << u"\u0416<b>"_s;
    QTest::newRow("after a Unicode character without its fallback")
        << QByteArray("\\u1046{\\*\\htmltag <b>}x") << u"\u0416<b>x"_s;
    QTest::newRow("cut off") << QByteArray("{\\*\\htmltag <b>") << u"<b>"_s;
    // The writer's paragraph break of the RTF side alone, read at once where it can be.
    QTest::newRow("RTF-side break") << QByteArray("a\\htmlrtf \\par \\htmlrtf0 b") << u"ab"_s;
    QTest::newRow("RTF-side break after RTF-side bytes")
        << QByteArray("\\htmlrtf \\'c6\\htmlrtf \\par \\htmlrtf0 y") << u"y"_s;
    QTest::newRow("RTF-side break naming a destination")
        << QByteArray("{\\*\\htmlrtf \\par \\htmlrtf0 x}y") << u"y"_s;
    // Groups nested too deep share the deepest: there a tag group is none.
    QTest::newRow("nested too deep")
        << QByteArray(20000, '{') + "\\htmlrtf {\\*\\htmltag <b>}x" + QByteArray(20000, '}') + "y"
        << u"y"_s;
}

void RtfTest::tagGroupsInEveryPlace()
{
    // Most tag groups and RTF-side breaks are read at once, the rest piece by piece: both read
    // the same.
    QFETCH(QByteArray, part);
    QFETCH(QString, html);
    const QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1251\\fromhtml1 {\\fonttbl{\\f0 Arial;}"
                           "{\\f1\\fcharset2 Symbol;}}{\\*\\htmltag <p>}" +
                           part + "}";
    const auto doc = lorvo::rtf::read(rtf);
    QVERIFY(doc && doc->fromHtml);
    QCOMPARE(doc->html, u"<p>"_s + html);

    // Before the first tag, that break ends a paragraph of the header block.
    const auto header =
        lorvo::rtf::read("{\\rtf1\\ansi\\fromhtml1 \\htmlrtf From: a\\htmlrtf \\par "
                         "\\htmlrtf0 \\htmlrtf Subject: b\\par \\htmlrtf0 "
                         "{\\*\\htmltag <p>}}");
    QVERIFY(header);
    QCOMPARE(header->header, (QStringList{u"From: a"_s, u"Subject: b"_s}));
}

QTEST_GUILESS_MAIN(RtfTest)
#include "test_rtf.moc"
