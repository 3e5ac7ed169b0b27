// lorvo-rtf-bench: the conversion rate of the RTF library and the built-in word processor.
//
//   lorvo-rtf-bench [MB]   builds documents of about MB megabytes (default 10) in memory and
//                          prints MB/s of reading each (native RTF rendered as HTML; encapsulated
//                          HTML taken back out), of the word processor's filtered HTML after it,
//                          and of the writer on an ordinary body and on one made of "&amp;".
//
// Each figure is the best of three runs, in wall and in processor time; the documents are built
// before the clock starts.

#include "archive/wordprocessor.h"
#include "shared/rtf/reader.h"
#include "shared/rtf/writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <ctime>
#include <functional>
#include <random>

using namespace Qt::StringLiterals;

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

const QList<QByteArray>& words()
{
    static const QList<QByteArray> list = {
        "printer", "network", "password", "restart", "driver", "outlook", "mailbox", "folder",
        "access",  "denied",  "the",      "and",     "to",     "of",      "a",       "server"};
    return list;
}

// Native RTF as Word writes a helpdesk answer: headings, formatted runs, bulleted and numbered
// lists, tables, links, text in a Cyrillic font and \uN characters.
QByteArray nativeRtf(qsizetype size)
{
    std::mt19937 random(20261208);
    const auto word = [&] { return words().at(int(random() % quint32(words().size()))); };
    const auto sentence = [&](int n) {
        QByteArray s;
        for (int i = 0; i < n; ++i)
            s += word() + ' ';
        return s;
    };
    QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\uc1\\deff0{\\fonttbl{\\f0\\fswiss Arial;}"
                     "{\\f1\\fnil\\fcharset2 Symbol;}{\\f2\\froman\\fcharset204 Times Cyr;}}"
                     "{\\colortbl;\\red0\\green0\\blue0;\\red192\\green0\\blue0;}\r\n";
    rtf.reserve(size + 4096);
    for (int i = 0; rtf.size() < size; ++i) {
        switch (i % 6) {
        case 0:
            rtf += "\\pard\\qc\\b\\fs28 " + sentence(4) + "\\b0\\fs20\\par\r\n";
            break;
        case 1:
            rtf += "\\pard " + sentence(20) + "{\\i caf\\'e9} {\\cf2 " + sentence(3) +
                   "}{\\f2 \\'c6\\'e8\\'e7\\'ed\\'fc} \\u8364?\\par\r\n";
            break;
        case 2:
            rtf += "{\\pntext\\f1\\'b7\\tab}\\pard\\fi-360\\li360 " + sentence(12) + "\\par\r\n";
            break;
        case 3:
            rtf += "\\pard{\\listtext 1.\\tab}\\ls1\\ilvl0 " + sentence(10) + "\\par\r\n";
            break;
        case 4:
            rtf += "\\trowd\\clbrdrt\\brdrs\\cellx2000\\cellx4000\\pard\\intbl " + sentence(3) +
                   "\\cell " + sentence(5) + "\\cell\\row\r\n";
            break;
        default:
            rtf += "\\pard " + sentence(15) +
                   "{\\field{\\*\\fldinst HYPERLINK \"http://kb.example/" + QByteArray::number(i) +
                   "\"}{\\fldrslt{\\ul " + word() + "}}}\\line " + sentence(5) + "\\par\r\n";
            break;
        }
    }
    rtf += "}";
    return rtf;
}

// HTML as an article body holds it.
QString articleHtml(qsizetype size)
{
    std::mt19937 random(20261207);
    const auto word = [&] { return words().at(int(random() % quint32(words().size()))); };
    QString html = u"<html><head><style>p.MsoNormal {font-size:10.0pt}</style></head><body>"_s;
    html.reserve(size + 1024);
    while (html.size() < size) {
        html += u"<p class=MsoNormal><span style='font-size:12.0pt'>"_s;
        for (int w = 0; w < 30; ++w)
            html += QString::fromLatin1(word()) + u' ';
        html += u"Caf\u00e9 &amp; \u20ac \u4e2d</span></p>\r\n"_s;
    }
    html += u"</body></html>"_s;
    return html;
}

// Wall and processor time of a run of work, in seconds.
struct Timing
{
    double wall = 1e9;
    double processor = 1e9;
};

// The best of three runs of work. The processor time tells the cost on a machine whose other
// processes take turns with this one.
Timing bestOfThree(const std::function<void()>& work)
{
    Timing best;
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::clock_t start = std::clock();
        work();
        best.processor =
            std::min(best.processor, double(std::clock() - start) / double(CLOCKS_PER_SEC));
        best.wall = std::min(best.wall, double(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

void report(const QString& what, qsizetype bytes, Timing timing)
{
    const double mb = double(bytes) / 1e6;
    const auto number = [](double value, int decimals, int width) {
        return QString::number(value, 'f', decimals).rightJustified(width);
    };
    out() << what.leftJustified(46) << number(mb, 1, 6) << " MB  " << number(timing.wall, 3, 7)
          << " s " << number(mb / timing.wall, 1, 7) << " MB/s   processor "
          << number(timing.processor, 3, 7) << " s " << number(mb / timing.processor, 1, 7)
          << " MB/s" << Qt::endl;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const double megabytes = args.isEmpty() ? 10.0 : args.first().toDouble();
    if (megabytes <= 0) {
        out() << "usage: lorvo-rtf-bench [MB]" << Qt::endl;
        return 2;
    }
    const auto size = qsizetype(megabytes * 1e6);
    QTemporaryDir dir;
    const QString htmlPath = dir.filePath(u"1001.htm"_s);

    const QByteArray native = nativeRtf(size);
    std::optional<lorvo::rtf::Document> doc;
    report(u"read native RTF (rendered)"_s, native.size(),
           bestOfThree([&] { doc = lorvo::rtf::read(native); }));
    report(u"  then filtered HTML (of the RTF's size)"_s, native.size(),
           bestOfThree([&] { lorvo::archive::filteredHtml(*doc, htmlPath); }));

    const QString html = articleHtml(size / 2);
    QByteArray encapsulated;
    report(u"write encapsulated HTML (of the RTF's size)"_s,
           lorvo::rtf::itemToRtf({{u"Subject:"_s, u"Bench"_s}}, html).size(),
           bestOfThree([&] { encapsulated = lorvo::rtf::itemToRtf({}, html); }));
    report(u"read encapsulated HTML"_s, encapsulated.size(),
           bestOfThree([&] { doc = lorvo::rtf::read(encapsulated); }));
    report(u"  then filtered HTML (of the RTF's size)"_s, encapsulated.size(),
           bestOfThree([&] { lorvo::archive::filteredHtml(*doc, htmlPath); }));

    // A body of character references only: once quadratic in the writer.
    const QString references = u"&amp;"_s.repeated(int(2'000'000 / 5));
    QByteArray written;
    report(u"write a 2 MB body of \"&amp;\" (of the RTF's size)"_s,
           lorvo::rtf::itemToRtf({}, references).size(),
           bestOfThree([&] { written = lorvo::rtf::itemToRtf({}, references); }));
    return 0;
}
