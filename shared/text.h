#pragma once

// Text constants and helpers that every layer uses the same way (the RTF library included, which
// needs no more of the runtime than this header).

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QtEndian>
#include <bit>
#include <cstring>
#include <type_traits>

namespace lorvo {

/// The line end of messages, reports and the files the programs write: Windows' own.
inline const QString kCrLf = QStringLiteral("\r\n");

/// The position after the HTML tag that starts at html[at] == '<': quoted attribute values may
/// hold ">". The end of the text when the tag is not closed.
inline qsizetype htmlTagEnd(QStringView html, qsizetype at)
{
    QChar quote;
    for (qsizetype i = at + 1; i < html.size(); ++i) {
        const QChar c = html[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i + 1;
        }
    }
    return html.size();
}

/// The length of the blocks in which the passes over text test characters: a block where no
/// character can matter is passed over at once.
inline constexpr qsizetype kTextBlock = 32;

/// Whether test holds at one of the kTextBlock places from block on (test gets a pointer to each,
/// and may look one place ahead). No exit inside the block and 16-bit flags: a loop the compiler
/// turns into vector instructions, at -O2 too.
template <class Unit, class Test> bool anyInBlock(const Unit* block, Test test)
{
    quint16 any = 0;
    for (qsizetype k = 0; k < kTextBlock; ++k)
        any |= quint16(-quint16(test(block + k))); // all ones, as a vector comparison gives
    return any != 0;
}

/// The first of the kTextBlock places from block on where test holds, or kTextBlock where it
/// holds at none. The places are tested as anyInBlock tests them, into a byte each, and the bytes
/// are looked at eight at a time, so that a run ending inside a block is not walked to its end.
template <class Unit, class Test> qsizetype firstInBlock(const Unit* block, Test test)
{
    quint8 hits[kTextBlock];
    for (qsizetype k = 0; k < kTextBlock; ++k)
        hits[k] = quint8(-quint8(test(block + k)));
    for (qsizetype k = 0; k < kTextBlock; k += 8) {
        quint64 word;
        std::memcpy(&word, hits + k, sizeof word);
        if (word)
            return k + std::countr_zero(qFromLittleEndian(word)) / 8;
    }
    return kTextBlock;
}

/// The first place from from on, among the size units from begin on, where test holds (test as
/// for anyInBlock); size where it holds at none. Found a block at a time, the rest one by one.
template <class Unit, class Test>
qsizetype nextWhere(const Unit* begin, qsizetype size, qsizetype from, Test test)
{
    for (; size - from >= kTextBlock; from += kTextBlock) {
        if (const qsizetype k = firstInBlock(begin + from, test); k < kTextBlock)
            return from + k;
    }
    while (from < size && !test(begin + from))
        ++from;
    return from;
}

namespace detail {

// Whether none of the kTextBlock units from block on has a bit of high, a unit's bits repeated
// over 64 bits: their words or'ed together, then tested once, which is cheaper than a test of
// each unit.
template <class Unit> bool blockLacksBits(const Unit* block, quint64 high)
{
    const char* const bytes = reinterpret_cast<const char*>(block);
    quint64 all = 0;
    for (qsizetype k = 0; k < kTextBlock * qsizetype(sizeof(Unit)); k += 8) {
        quint64 word;
        std::memcpy(&word, bytes + k, sizeof word);
        all |= word;
    }
    return (all & high) == 0;
}

// Whether the kTextBlock units (of one or two bytes) from block on are all below 0x80.
template <class Unit> bool blockIsAscii(const Unit* block)
{
    static_assert(sizeof(Unit) == 1 || sizeof(Unit) == 2);
    return blockLacksBits(block, sizeof(Unit) == 2 ? 0xFF80FF80FF80FF80u : 0x8080808080808080u);
}

// The length of the leading run of units below 0x80 (text is mostly ASCII).
template <class Unit> qsizetype asciiPrefix(const Unit* begin, qsizetype size)
{
    static_assert(std::is_unsigned_v<Unit>);
    const Unit* p = begin;
    const Unit* const end = begin + size;
    while (end - p >= kTextBlock && blockIsAscii(p))
        p += kTextBlock;
    if (end - p >= kTextBlock)
        return p - begin + firstInBlock(p, [](const Unit* u) { return *u >= 0x80; });
    while (p < end && *p < 0x80)
        ++p;
    return p - begin;
}

} // namespace detail

/// The length of the text's leading run of ASCII characters.
inline qsizetype asciiPrefix(QStringView text)
{
    return detail::asciiPrefix(text.utf16(), text.size());
}

/// Whether every character of the text is ASCII.
inline bool isAscii(QStringView text)
{
    return asciiPrefix(text) == text.size();
}

/// Whether every byte is ASCII.
inline bool isAscii(QByteArrayView bytes)
{
    return detail::asciiPrefix(reinterpret_cast<const uchar*>(bytes.data()), bytes.size()) ==
           bytes.size();
}

/// Whether the text is valid UTF-16 (no surrogate without its partner); quick for text without
/// surrogates, the common case.
inline bool isValidUtf16(QStringView text)
{
    // Qt's own check only where a surrogate is.
    const auto surrogate = [](const char16_t* u) { return (*u & 0xF800) == 0xD800; };
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    for (; end - p >= kTextBlock; p += kTextBlock) {
        // Surrogates are at 0xD800 and above: most blocks have no character that high.
        if (!detail::blockLacksBits(p, 0x8000800080008000u) && anyInBlock(p, surrogate))
            return text.isValidUtf16();
    }
    for (; p < end; ++p) {
        if (QChar::isSurrogate(*p))
            return text.isValidUtf16();
    }
    return true;
}

/// Writes ASCII text at out, a byte a character, and gives the end of what it wrote.
inline char* copyAscii(char* out, QStringView ascii)
{
    // A plain loop: an optimised build turns it into vector instructions that narrow 16
    // characters at a time.
    const char16_t* const p = ascii.utf16();
    const qsizetype n = ascii.size();
    for (qsizetype k = 0; k < n; ++k)
        out[k] = char(p[k]);
    return out + n;
}

} // namespace lorvo
