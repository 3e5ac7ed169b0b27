#include "shared/rtf/charsets.h"

#include "shared/text.h"

#include <algorithm>

namespace lorvo::rtf {

uchar windows1252Byte(char16_t c)
{
    if (c >= 0xA0 && c <= 0xFF)
        return uchar(c);
    // 0x80 to 0x9F. The five the code page leaves unassigned stand for the C1 controls of the
    // same number, as Windows and ICU convert them.
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    if (c < 0x81 || c > 0x2122)
        return 0;
    for (int i = 0; i < 32; ++i) {
        if (high[i] == c)
            return uchar(0x80 + i);
    }
    return 0;
}

} // namespace lorvo::rtf

namespace lorvo::rtf::detail {

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 0:
        return 1252;
    case 77:
        return 10000;
    case 78:
        return 10001;
    case 79:
        return 10003;
    case 80:
        return 10008;
    case 81:
        return 10002;
    case 83:
        return 10005;
    case 84:
        return 10004;
    case 85:
        return 10006;
    case 86:
        return 10081;
    case 87:
        return 10021;
    case 88:
        return 10029;
    case 89:
        return 10007;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default: // 1 (the default set), 2 (symbol) and sets we do not know
        return 0;
    }
}

bool isKnownCodePage(int codePage)
{
    // A closed list: a document naming thousands of invented code pages must not make us ask
    // the platform for a converter thousands of times.
    static constexpr int known[] = {
        437,   708,   720,   737,   775,   850,   852,   855,   857,   858,   860,   861,
        862,   863,   864,   865,   866,   869,   874,   932,   936,   949,   950,   1250,
        1251,  1252,  1253,  1254,  1255,  1256,  1257,  1258,  10000, 10001, 10002, 10003,
        10004, 10005, 10006, 10007, 10008, 10021, 10029, 10079, 10081, 20127, 65001};
    return std::binary_search(std::begin(known), std::end(known), codePage);
}

namespace {

bool sameName(QByteArrayView name, QByteArrayView wanted)
{
    return name.compare(wanted, Qt::CaseInsensitive) == 0;
}

// The Symbol font from 0x20: Greek letters where Latin letters stand, and mathematical signs.
constexpr char16_t kSymbolLow[0x7F - 0x20] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B,
    0x002C, 0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7,
    0x0394, 0x0395, 0x03A6, 0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B,
    0x2234, 0x005D, 0x22A5, 0x005F, 0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3,
    0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C};

// The Symbol font from 0xA0.
constexpr char16_t kSymbolHigh[0x100 - 0xA0] = {
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194,
    0x2190, 0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118,
    0x2297, 0x2295, 0x2205, 0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4,
    0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA, 0,      0x232A, 0x222B, 0x2320,
    0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0};

// The Wingdings pictures that have a character of their own, above all the list bullets.
struct Picture
{
    uchar byte;
    char16_t character;
};
constexpr Picture kWingdings[] = {
    {0x20, 0x0020}, {0x22, 0x2702}, {0x28, 0x260E}, {0x2A, 0x2709}, {0x36, 0x231B}, {0x37, 0x2328},
    {0x3F, 0x270D}, {0x41, 0x270C}, {0x45, 0x261C}, {0x46, 0x261E}, {0x4A, 0x263A}, {0x4C, 0x2639},
    {0x4E, 0x2620}, {0x52, 0x263C}, {0x54, 0x2744}, {0x58, 0x2720}, {0x59, 0x2721}, {0x5A, 0x262A},
    {0x5B, 0x262F}, {0x5D, 0x2638}, {0x6C, 0x25CF}, {0x6D, 0x274D}, {0x6E, 0x25A0}, {0x6F, 0x25A1},
    {0x71, 0x2751}, {0x72, 0x2752}, {0x73, 0x2B27}, {0x74, 0x29EB}, {0x75, 0x25C6}, {0x76, 0x2756},
    {0x77, 0x2B25}, {0x80, 0x24EA}, {0x81, 0x2460}, {0x82, 0x2461}, {0x83, 0x2462}, {0x84, 0x2463},
    {0x85, 0x2464}, {0x86, 0x2465}, {0x87, 0x2466}, {0x88, 0x2467}, {0x89, 0x2468}, {0x8A, 0x2469},
    {0x8B, 0x24FF}, {0x8C, 0x2776}, {0x8D, 0x2777}, {0x8E, 0x2778}, {0x8F, 0x2779}, {0x90, 0x277A},
    {0x91, 0x277B}, {0x92, 0x277C}, {0x93, 0x277D}, {0x94, 0x277E}, {0x95, 0x277F}, {0xA1, 0x25CB},
    {0xA7, 0x25AA}, {0xA8, 0x25FB}, {0xD8, 0x27A2}, {0xE8, 0x2794}, {0xEF, 0x21E6}, {0xF0, 0x21E8},
    {0xF1, 0x21E7}, {0xF2, 0x21E9}, {0xFB, 0x2717}, {0xFC, 0x2713}, {0xFD, 0x2612}, {0xFE, 0x2611}};

} // namespace

Symbols symbolsOf(QByteArrayView fontName)
{
    if (sameName(fontName, "Symbol"))
        return Symbols::Symbol;
    if (sameName(fontName, "Wingdings"))
        return Symbols::Wingdings;
    // Another symbol font (\fcharset2): its pictures are unknown, its bytes are read as letters.
    return Symbols::None;
}

char16_t symbolCharacter(Symbols symbols, uchar byte)
{
    switch (symbols) {
    case Symbols::Symbol:
        if (byte >= 0x20 && byte < 0x7F)
            return kSymbolLow[byte - 0x20];
        if (byte >= 0xA0)
            return kSymbolHigh[byte - 0xA0];
        return 0;
    case Symbols::Wingdings: {
        const auto it = std::lower_bound(std::begin(kWingdings), std::end(kWingdings), byte,
                                         [](const Picture& p, uchar b) { return p.byte < b; });
        return it != std::end(kWingdings) && it->byte == byte ? it->character : char16_t(0);
    }
    case Symbols::None:
        break;
    }
    return 0;
}

Decoders::Decoders() = default;
Decoders::~Decoders() = default;

QStringDecoder& Decoders::decoderFor(int codePage)
{
    for (Entry& entry : m_decoders) {
        if (entry.codePage == codePage)
            return *entry.decoder;
    }
    auto decoder = std::make_unique<QStringDecoder>(decoderForCodePage(codePage));
    if (!decoder->isValid())
        decoder = std::make_unique<QStringDecoder>("windows-1252");
    // A Qt without code page tables still knows Latin-1, the bulk of Windows-1252.
    if (!decoder->isValid())
        decoder = std::make_unique<QStringDecoder>(QStringConverter::Latin1);
    m_decoders.push_back({codePage, std::move(decoder)});
    return *m_decoders.back().decoder;
}

QString Decoders::decode(int codePage, QByteArrayView bytes)
{
    // Every code page read here keeps ASCII as it is.
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder& decoder = decoderFor(codePage);
    QString text = decoder.decode(bytes);
    // A lead byte without its trail byte must not join the next run's first byte.
    decoder.resetState();
    return text;
}

} // namespace lorvo::rtf::detail

namespace lorvo::rtf {

QStringDecoder decoderForCodePage(qint64 codePage)
{
    switch (codePage) {
    case 1200:
        return QStringDecoder(QStringDecoder::Utf16LE);
    case 1201:
        return QStringDecoder(QStringDecoder::Utf16BE);
    case 20127:
        return QStringDecoder("US-ASCII");
    case 65001:
        return QStringDecoder(QStringDecoder::Utf8);
    case 10000:
        return QStringDecoder("macintosh");
    case 50220:
    case 50221:
    case 50222:
        return QStringDecoder("ISO-2022-JP");
    case 51932:
        return QStringDecoder("EUC-JP");
    case 51949:
        return QStringDecoder("EUC-KR");
    case 52936:
        return QStringDecoder("HZ-GB-2312");
    case 54936:
        return QStringDecoder("GB18030");
    case 20866:
        return QStringDecoder("KOI8-R");
    case 21866:
        return QStringDecoder("KOI8-U");
    default:
        break;
    }
    if (codePage >= 28591 && codePage <= 28606)
        return QStringDecoder(
            QByteArray("ISO-8859-" + QByteArray::number(codePage - 28590)).constData());
    if (codePage <= 0 || codePage > 65535)
        return QStringDecoder();
    // The Windows, DOS and Mac code pages go by these names (windows-1251, cp932, IBM437).
    for (const char* prefix : {"windows-", "cp", "ibm-", "IBM"}) {
        QStringDecoder decoder(QByteArray(prefix + QByteArray::number(codePage)).constData());
        if (decoder.isValid())
            return decoder;
    }
    return QStringDecoder();
}

} // namespace lorvo::rtf
