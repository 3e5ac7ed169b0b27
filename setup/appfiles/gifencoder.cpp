#include "setup/appfiles/gifencoder.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <algorithm>
#include <unordered_map>
#include <vector>

namespace lorvo::appfiles {
namespace {

constexpr int kMaxCodes = 4096; // GIF codes are at most 12 bits wide
constexpr int kMaxCodeBits = 12;

// Packs variable-width codes least significant bit first and cuts them into data sub-blocks.
class CodeWriter
{
public:
    explicit CodeWriter(QByteArray& out) : m_out(out) {}

    void write(int code, int width)
    {
        m_bits |= quint32(code) << m_count;
        m_count += width;
        while (m_count >= 8) {
            pushByte(char(m_bits & 0xff));
            m_bits >>= 8;
            m_count -= 8;
        }
    }

    void finish()
    {
        if (m_count > 0)
            pushByte(char(m_bits & 0xff));
        flushBlock();
        m_out.append('\0'); // block terminator
    }

private:
    void pushByte(char byte)
    {
        m_block.append(byte);
        if (m_block.size() == 255)
            flushBlock();
    }

    void flushBlock()
    {
        if (m_block.isEmpty())
            return;
        m_out.append(char(m_block.size()));
        m_out.append(m_block);
        m_block.clear();
    }

    QByteArray& m_out;
    QByteArray m_block;
    quint32 m_bits = 0;
    int m_count = 0;
};

// LZW as GIF wants it: a clear code first, the code width growing one code after the decoder's
// table reaches the next power of two, and a clear code whenever the table is full.
void compress(const QList<uchar>& indices, int minCodeSize, QByteArray& out)
{
    const int clearCode = 1 << minCodeSize;
    const int endCode = clearCode + 1;
    int nextCode = endCode + 1;
    int width = minCodeSize + 1;
    std::unordered_map<quint32, int> table;

    out.append(char(minCodeSize));
    CodeWriter writer(out);
    writer.write(clearCode, width);

    int prefix = indices.front();
    for (qsizetype i = 1; i < indices.size(); ++i) {
        const uchar pixel = indices.at(i);
        const quint32 key = (quint32(prefix) << 8) | pixel;
        if (const auto found = table.find(key); found != table.end()) {
            prefix = found->second;
            continue;
        }
        writer.write(prefix, width);
        if (nextCode < kMaxCodes) {
            table.emplace(key, nextCode++);
            if (nextCode > (1 << width) && width < kMaxCodeBits)
                ++width;
        } else {
            writer.write(clearCode, width);
            table.clear();
            nextCode = endCode + 1;
            width = minCodeSize + 1;
        }
        prefix = pixel;
    }
    writer.write(prefix, width);
    writer.write(endCode, width);
    writer.finish();
}

bool isTransparent(QRgb pixel)
{
    return qAlpha(pixel) < 128;
}

struct Quantised
{
    QList<QRgb> palette;
    QHash<QRgb, int> index; // every colour of the image to its palette entry
};

struct ColourCount
{
    QRgb colour;
    qint64 count;
};

int channel(QRgb colour, int which)
{
    return which == 0 ? qRed(colour) : which == 1 ? qGreen(colour) : qBlue(colour);
}

// A box of the median cut: a range of the colour list and its widest channel.
struct Box
{
    qsizetype begin, end; // range in the colour list
    int widest = 0;       // channel of the widest range
    int range = 0;
};

// The histogram's colours in a fixed order, which keeps the output the same from build to build.
std::vector<ColourCount> sortedColours(const QHash<QRgb, qint64>& histogram)
{
    std::vector<ColourCount> colours;
    colours.reserve(histogram.size());
    for (auto it = histogram.cbegin(); it != histogram.cend(); ++it)
        colours.push_back({it.key(), it.value()});
    std::sort(colours.begin(), colours.end(),
              [](const ColourCount& a, const ColourCount& b) { return a.colour < b.colour; });
    return colours;
}

// A box of colours[begin, end) with its widest channel measured.
Box measuredBox(const std::vector<ColourCount>& colours, qsizetype begin, qsizetype end)
{
    Box box{begin, end};
    box.range = -1;
    for (int c = 0; c < 3; ++c) {
        int low = 255, high = 0;
        for (qsizetype i = box.begin; i < box.end; ++i) {
            low = std::min(low, channel(colours[i].colour, c));
            high = std::max(high, channel(colours[i].colour, c));
        }
        if (high - low > box.range) {
            box.range = high - low;
            box.widest = c;
        }
    }
    return box;
}

// Splits a box at the pixel-weighted median of its widest channel (sorting its colours by it).
std::pair<Box, Box> splitBox(std::vector<ColourCount>& colours, const Box& box)
{
    const auto first = colours.begin() + box.begin;
    const auto last = colours.begin() + box.end;
    std::sort(first, last, [c = box.widest](const ColourCount& a, const ColourCount& b) {
        return channel(a.colour, c) < channel(b.colour, c);
    });
    qint64 total = 0;
    for (auto it = first; it != last; ++it)
        total += it->count;
    qint64 seen = 0;
    qsizetype split = box.begin + 1;
    for (auto it = first; it != last - 1; ++it) {
        seen += it->count;
        split = box.begin + (it - first) + 1;
        if (2 * seen >= total)
            break;
    }
    return {measuredBox(colours, box.begin, split), measuredBox(colours, split, box.end)};
}

// Each box's pixel-weighted mean colour is a palette entry; every colour of the box maps to it.
Quantised paletteOf(const std::vector<ColourCount>& colours, const std::vector<Box>& boxes)
{
    Quantised result;
    for (const Box& box : boxes) {
        qint64 r = 0, g = 0, b = 0, n = 0;
        for (qsizetype i = box.begin; i < box.end; ++i) {
            const ColourCount& entry = colours[i];
            r += qRed(entry.colour) * entry.count;
            g += qGreen(entry.colour) * entry.count;
            b += qBlue(entry.colour) * entry.count;
            n += entry.count;
            result.index.insert(entry.colour, int(result.palette.size()));
        }
        result.palette.append(
            qRgb(int((r + n / 2) / n), int((g + n / 2) / n), int((b + n / 2) / n)));
    }
    return result;
}

// Median cut: the box of colours with the widest channel range is split at the pixel-weighted
// median of that channel until there are enough boxes; each box's weighted mean is an entry.
// Images of few colours keep them exactly; Qt's own reduction is a fixed colour cube with
// dithering noise, which smooth pictures such as the logo do not survive.
Quantised quantise(const QHash<QRgb, qint64>& histogram, int maxColours)
{
    std::vector<ColourCount> colours = sortedColours(histogram);
    if (colours.empty())
        return {};
    std::vector<Box> boxes{measuredBox(colours, 0, qsizetype(colours.size()))};
    while (qsizetype(boxes.size()) < maxColours) {
        const auto widest =
            std::max_element(boxes.begin(), boxes.end(),
                             [](const Box& a, const Box& b) { return a.range < b.range; });
        if (widest == boxes.end() || widest->range <= 0)
            break; // every box holds one colour: the palette is exact
        const auto [low, high] = splitBox(colours, *widest);
        *widest = low;
        boxes.push_back(high);
    }
    return paletteOf(colours, boxes);
}

QHash<QRgb, qint64> histogramOf(const QImage& argb, bool* anyTransparent)
{
    QHash<QRgb, qint64> histogram;
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x) {
            if (isTransparent(line[x]))
                *anyTransparent = true;
            else
                ++histogram[line[x] | 0xff000000u];
        }
    }
    return histogram;
}

void appendWord(QByteArray& out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

} // namespace

QByteArray encodeGif(const QImage& image)
{
    if (image.isNull())
        return {};

    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const int width = argb.width();
    const int height = argb.height();

    bool anyTransparent = false;
    const QHash<QRgb, qint64> histogram = histogramOf(argb, &anyTransparent);
    const Quantised quantised = quantise(histogram, anyTransparent ? 255 : 256);
    QList<QRgb> palette = quantised.palette;
    int transparentIndex = -1;
    if (anyTransparent) {
        transparentIndex = int(palette.size());
        palette.append(qRgb(255, 255, 255));
    }

    int tableBits = 1;
    while ((1 << tableBits) < palette.size())
        ++tableBits;
    const int tableSize = 1 << tableBits;

    QList<uchar> indices;
    indices.reserve(qsizetype(width) * height);
    for (int y = 0; y < height; ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < width; ++x) {
            indices.append(isTransparent(in[x])
                               ? uchar(transparentIndex)
                               : uchar(quantised.index.value(in[x] | 0xff000000u)));
        }
    }

    QByteArray out("GIF89a");
    appendWord(out, width);
    appendWord(out, height);
    // Global colour table present, 8 bits of colour resolution, table of 2^tableBits entries.
    out.append(char(0x80 | (7 << 4) | (tableBits - 1)));
    out.append('\0'); // background colour index
    out.append('\0'); // no aspect ratio
    for (int i = 0; i < tableSize; ++i) {
        const QRgb colour = i < palette.size() ? palette.at(i) : qRgb(0, 0, 0);
        out.append(char(qRed(colour)));
        out.append(char(qGreen(colour)));
        out.append(char(qBlue(colour)));
    }
    if (transparentIndex >= 0) {
        // Graphic control extension: no disposal, no delay, transparent colour given.
        out.append("\x21\xf9\x04\x01\x00\x00", 6);
        out.append(char(transparentIndex));
        out.append('\0');
    }
    out.append(char(0x2c)); // image descriptor
    appendWord(out, 0);
    appendWord(out, 0);
    appendWord(out, width);
    appendWord(out, height);
    out.append('\0'); // no local table, not interlaced

    compress(indices, std::max(2, tableBits), out);
    out.append(char(0x3b)); // trailer
    return out;
}

QImage reduceColours(const QImage& image)
{
    if (image.isNull())
        return {};
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    bool anyTransparent = false;
    const QHash<QRgb, qint64> histogram = histogramOf(argb, &anyTransparent);
    const Quantised quantised = quantise(histogram, 256);
    QImage indexed(argb.size(), QImage::Format_Indexed8);
    indexed.setColorTable(quantised.palette.isEmpty() ? QList<QRgb>{qRgb(255, 255, 255)}
                                                      : quantised.palette);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* line = indexed.scanLine(y);
        for (int x = 0; x < argb.width(); ++x)
            line[x] = uchar(quantised.index.value(in[x] | 0xff000000u));
    }
    return indexed;
}

} // namespace lorvo::appfiles
