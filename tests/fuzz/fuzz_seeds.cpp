// Writes the fuzzer's seed corpus into the folder given: RTF as the writer writes it for a few
// bodies, and native RTF written by hand with every construct the reader renders.

#include "shared/rtf/writer.h"

#include <QDir>
#include <QFile>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

bool write(const QDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: lorvo-fuzz-seeds FOLDER\n");
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    const QList<lorvo::rtf::HeaderLine> header = {{u"Subject:"_s, u"Printer {offline}"_s},
                                                  {u"Problem Type:"_s, u"Hardware"_s}};
    const QStringList bodies = {
        u"<html><head><style>p {margin:0}</style></head><body><p>Tom &amp; Jerry &#8364;</p>"
        "<div>Caf\u00e9 \u0416 \u4e2d \U0001F600\tend<br>\r\nnext</div><!-- c -->"
        "<img src=\"cid:a@b\"></body></html>"_s,
        u"<p>plain</p>"_s,
        u"text without tags \\ { }"_s,
    };
    bool ok = true;
    for (qsizetype i = 0; i < bodies.size(); ++i)
        ok = write(dir, u"writer%1.rtf"_s.arg(i), lorvo::rtf::itemToRtf(header, bodies[i])) && ok;

    const QByteArray png = QByteArray::fromBase64("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAIAAACQd1PeAAAA"
                                                  "DElEQVR4nGP4z8AAAAMBAQDJ/pLvAAAAAElFTkSuQmCC");
    const QByteArray native =
        "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0{\\fonttbl{\\f0\\fswiss Arial;}"
        "{\\f1\\fnil\\fcharset2 Symbol;}{\\f2\\fcharset204 Cyr;}{\\f3\\fcharset134\\cpg936 Song;}"
        "{\\f4\\fcharset2 Wingdings;}}{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}"
        "{\\stylesheet{\\s0 Normal;}}{\\*\\generator x;}\\pard\\qc\\b\\fs32 Title\\b0\\par"
        "\\pard\\ql \\i i\\i0\\ul u\\ulnone\\strike s\\strike0\\cf2 r\\cf0\\super 2\\nosupersub"
        "{\\v hidden}\\line\\tab\\~\\_\\-\\emdash\\lquote\\u1046?{\\uc2\\u20320\\'c4\\'e3}\\par"
        "{\\f2 \\'c6}{\\f3 \\'c4\\'e3}{\\f1 \\'b7}{\\f4 \\'fc}\\par"
        "{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'b7}}\\pard\\fi-360 a\\par"
        "\\pard{\\listtext 1.\\tab}\\ls1\\ilvl0 b\\par{\\listtext a)\\tab}\\ls1\\ilvl1 c\\par"
        "\\pard\\trowd\\clbrdrt\\brdrs\\cellx1000\\cellx2000\\intbl x\\cell y\\par z\\cell\\row"
        "\\pard{\\field{\\*\\fldinst HYPERLINK \"http://e.com/\" \\\\o \"t\"}{\\fldrslt link}}"
        "{\\field{\\*\\fldinst HYPERLINK \\\\l \"m\"}{\\fldrslt m}}"
        "{\\*\\shppict{\\pict\\pngblip\\picwgoal300\\pichgoal300 " +
        png.toHex() +
        "}}{\\nonshppict{\\pict\\wmetafile8 01}}{\\pict\\jpegblip\\bin4 \xFF\xD8\xFF\xE0}"
        "{\\object{\\*\\objdata 01}{\\result r}}{\\header h}\\qr end\\par}";
    ok = write(dir, u"native.rtf"_s, native) && ok;
    return ok ? 0 : 1;
}
