#include "localoutlook/import/lzfu.h"

#include "shared/error.h"

#include <QtEndian>
#include <array>

using namespace Qt::StringLiterals;

namespace localoutlook::import {

namespace {

constexpr quint32 kCompressed = 0x75465A4C;   // "LZFu"
constexpr quint32 kUncompressed = 0x414C454D; // "MELA"
constexpr qsizetype kHeaderSize = 16;
constexpr int kDictionarySize = 4096;

// The dictionary's preset content, 207 bytes; its line end is CR LF, in that order.
constexpr char kInitialDictionary[] =
    "{\\rtf1\\ansi\\mac\\deff0\\deftab720{\\fonttbl;}{\\f0\\fnil \\froman \\fswiss \\fmodern "
    "\\fscript \\fdecor MS Sans SerifSymbolArialTimes New RomanCourier{\\colortbl\\red0\\green0"
    "\\blue0\r\n\\par \\pard\\plain\\f0\\fs20\\b\\i\\u\\tab\\tx";
static_assert(sizeof(kInitialDictionary) - 1 == 207);

constexpr std::array<quint32, 256> crcTable()
{
    std::array<quint32, 256> table{};
    for (quint32 i = 0; i < 256; ++i) {
        quint32 c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

lorvo::Error damaged(const QString& why)
{
    return lorvo::Error(lorvo::err::InvalidCall,
                        u"the compressed RTF body is damaged (%1)"_s.arg(why));
}

quint32 word(QByteArrayView bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.data() + at);
}

} // namespace

quint32 compressedRtfCrc(QByteArrayView bytes)
{
    static constexpr auto table = crcTable();
    quint32 crc = 0;
    for (const char c : bytes)
        crc = table[(crc ^ quint8(c)) & 0xFF] ^ (crc >> 8);
    return crc;
}

QByteArray decompressRtf(QByteArrayView compressed)
{
    if (compressed.size() < kHeaderSize)
        throw damaged(u"it is shorter than its header"_s);
    const quint32 compSize = word(compressed, 0);
    const quint32 rawSize = word(compressed, 4);
    const quint32 type = word(compressed, 8);
    const quint32 crc = word(compressed, 12);
    // COMPSIZE counts the bytes after itself; anything beyond them is padding.
    if (compSize < kHeaderSize - 4 || compSize > quint64(compressed.size()) - 4)
        throw damaged(
            u"its size is %1 bytes, the header says %2"_s.arg(compressed.size() - 4).arg(compSize));
    const QByteArrayView contents = compressed.sliced(kHeaderSize, compSize - (kHeaderSize - 4));

    if (type == kUncompressed) {
        if (rawSize > quint64(contents.size()))
            throw damaged(
                u"%1 bytes of RTF announced, %2 there"_s.arg(rawSize).arg(contents.size()));
        return contents.first(rawSize).toByteArray();
    }
    if (type != kCompressed)
        throw damaged(u"unknown compression type 0x%1"_s.arg(qulonglong(type), 8, 16, QChar(u'0')));
    if (compressedRtfCrc(contents) != crc)
        throw damaged(u"CRC mismatch"_s);

    std::array<char, kDictionarySize> dictionary{};
    std::copy_n(kInitialDictionary, sizeof(kInitialDictionary) - 1, dictionary.begin());
    int writePosition = sizeof(kInitialDictionary) - 1;
    QByteArray out;
    // A reference yields at most 17 bytes from 2: the output cannot outgrow the input by more, so
    // a false RAWSIZE reserves nothing unreasonable.
    out.reserve(qMin<qint64>(rawSize, qint64(contents.size()) * 9));
    const auto put = [&](char c) {
        if (quint64(out.size()) >= rawSize)
            throw damaged(u"it holds more than the %1 bytes its header announces"_s.arg(rawSize));
        out.append(c);
        dictionary[writePosition] = c;
        writePosition = (writePosition + 1) % kDictionarySize;
    };

    qsizetype at = 0;
    while (at < contents.size()) {
        const quint8 control = quint8(contents[at++]);
        for (int bit = 0; bit < 8; ++bit) {
            if (at >= contents.size())
                break;
            if ((control & (1 << bit)) == 0) {
                put(contents[at++]);
                continue;
            }
            if (at + 2 > contents.size())
                throw damaged(u"a dictionary reference is cut off"_s);
            const quint16 reference = qFromBigEndian<quint16>(contents.data() + at);
            at += 2;
            const int offset = reference >> 4;
            const int length = (reference & 0xF) + 2;
            if (offset == writePosition) {
                // The end marker.
                if (quint64(out.size()) != rawSize)
                    throw damaged(
                        u"%1 bytes of RTF announced, %2 there"_s.arg(rawSize).arg(out.size()));
                return out;
            }
            for (int i = 0; i < length; ++i)
                put(dictionary[(offset + i) % kDictionarySize]);
        }
    }
    throw damaged(u"its end marker is missing"_s);
}

} // namespace localoutlook::import
