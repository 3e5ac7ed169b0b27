#include "archive/encoding.h"

#include "shared/rtf/charsets.h"
#include "shared/text.h"

#include <QStringView>
#include <QUrl>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <type_traits>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

// Encodes in one pass, appending to out: runs of ASCII are copied whole, another character
// becomes its byte in the code page (byteOf, 0: none) or a reference. A surrogate without its
// partner is referenced alone, as an encoder that cannot take it leaves it. Out is QByteArray
// or, for text that stays text, QString. False when such a surrogate was met.
template <class Out, class ByteOf> bool encodeInto(Out& out, QStringView text, ByteOf byteOf)
{
    using Unit = std::remove_reference_t<decltype(*out.data())>;
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    // Room for the text as it is; references grow it where they come.
    const qsizetype start = out.size();
    out.resize(start + text.size());
    Unit* dst = out.data() + start;
    const auto grow = [&](qsizetype more) {
        const qsizetype at = dst - out.data();
        out.resize(out.size() + more);
        dst = out.data() + at;
    };
    bool valid = true;
    while (p < end) {
        const qsizetype ascii = asciiPrefix(QStringView(p, end));
        if constexpr (std::is_same_v<Unit, char>) {
            copyAscii(dst, QStringView(p, ascii));
        } else {
            std::memcpy(static_cast<void*>(dst), p, size_t(ascii) * sizeof(char16_t));
        }
        p += ascii;
        dst += ascii;
        if (p == end)
            break;
        const char16_t c = *p++;
        char32_t code = c;
        if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p))
            code = QChar::surrogateToUcs4(c, *p++);
        else if (QChar::isSurrogate(c))
            valid = false;
        if constexpr (std::is_same_v<Out, QByteArray>) {
            if (const uchar b = code < 0x10000 ? byteOf(char16_t(code)) : 0) {
                *dst++ = char(b);
                continue;
            }
        }
        // "&#" + at most seven digits + ";" where this one or two units stood.
        char digits[16] = "&#";
        char* last = std::to_chars(digits + 2, digits + 14, quint32(code)).ptr;
        *last++ = ';';
        const qsizetype length = last - digits;
        grow(length);
        for (qsizetype k = 0; k < length; ++k)
            *dst++ = Unit(char16_t(digits[k]));
    }
    out.resize(dst - out.data());
    return valid;
}

const auto noByte = [](char16_t) { return uchar(0); };

} // namespace

bool appendWindows1252(QByteArray& out, QStringView text)
{
    return encodeInto(out, text, [](char16_t c) { return rtf::windows1252Byte(c); });
}

QByteArray toWindows1252(const QString& html)
{
    QByteArray out;
    appendWindows1252(out, html);
    return out;
}

QByteArray toAsciiHtml(const QString& html)
{
    QByteArray out;
    encodeInto(out, html, noByte);
    return out;
}

QString toAsciiHtmlText(const QString& html)
{
    if (isAscii(html))
        return html;
    QString out;
    encodeInto(out, html, noByte);
    return out;
}

namespace {

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
}

bool equalsCaseBlindAt(QStringView text, qsizetype at, QLatin1StringView word)
{
    for (qsizetype k = 0; k < word.size(); ++k) {
        if (asciiLower(text[at + k].unicode()) != asciiLower(char16_t(word[k].unicode())))
            return false;
    }
    return true;
}

} // namespace

qsizetype indexOfCaseBlind(QStringView text, QLatin1StringView word, qsizetype from)
{
    from = std::max<qsizetype>(from, 0);
    if (word.isEmpty())
        return from <= text.size() ? from : -1;
    const auto isLetter = [](char16_t c) { return asciiLower(c) >= u'a' && asciiLower(c) <= u'z'; };
    // The last place where the word would fit.
    const qsizetype last = text.size() - word.size();
    // Blocks of places where two characters of the word cannot stand are passed over at once: its
    // first two, or a rare sign other than "<" with the character before it ("a:" of "data:").
    qsizetype pair = 0;
    for (qsizetype k = 1; k < word.size(); ++k) {
        const char16_t c = char16_t(word[k].unicode());
        if (!isLetter(c) && c != u'<') {
            pair = k - 1;
            break;
        }
    }
    char16_t w[2] = {};
    char16_t fold[2] = {};
    const bool blocks = word.size() >= 2;
    for (int k = 0; blocks && k < 2; ++k) {
        // A letter matches in either case (c | 0x20).
        w[k] = asciiLower(char16_t(word[pair + k].unicode()));
        fold[k] = w[k] >= u'a' && w[k] <= u'z' ? 0x20 : 0;
    }
    const auto candidate = [&](const char16_t* p) {
        return ((p[pair] | fold[0]) == w[0]) & ((p[pair + 1] | fold[1]) == w[1]);
    };
    const char16_t* const data = text.utf16();
    for (qsizetype at = from; at <= last;) {
        // A loop of its own, where the word's characters stay in registers.
        while (blocks && last - at >= kTextBlock && !anyInBlock(data + at, candidate))
            at += kTextBlock;
        const qsizetype stop = std::min(last + 1, at + kTextBlock);
        for (; at < stop; ++at) {
            if (equalsCaseBlindAt(text, at, word))
                return at;
        }
    }
    return -1;
}

std::optional<std::pair<qsizetype, qsizetype>>
nextTagCaseBlind(QStringView text, QLatin1StringView openTag, qsizetype from)
{
    const auto isWordCharacter = [](QChar c) {
        return c.unicode() < 0x80 && (c.isLetterOrNumber() || c == u'_');
    };
    for (qsizetype at = indexOfCaseBlind(text, openTag, from); at >= 0;
         at = indexOfCaseBlind(text, openTag, at + 1)) {
        const qsizetype after = at + openTag.size();
        if (after < text.size() && isWordCharacter(text[after]))
            continue;
        const qsizetype close = text.indexOf(u'>', after);
        if (close < 0)
            return std::nullopt;
        return std::pair{at, close + 1};
    }
    return std::nullopt;
}

qsizetype lastIndexOfCaseBlind(QStringView text, QLatin1StringView word)
{
    for (qsizetype at = text.size() - word.size(); at >= 0; --at) {
        if (equalsCaseBlindAt(text, at, word))
            return at;
    }
    return -1;
}

QString htmlEscape(const QString& text)
{
    // Control characters (NUL among them) have no place in HTML text; line breaks and tabs do.
    const auto isControl = [](char16_t u) {
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0x7F;
    };
    const auto reference = [](char16_t u) -> QLatin1StringView {
        switch (u) {
        case u'<':
            return "&lt;"_L1;
        case u'>':
            return "&gt;"_L1;
        case u'&':
            return "&amp;"_L1;
        case u'"':
            return "&quot;"_L1;
        case u'\'':
            return "&#39;"_L1;
        default:
            return {};
        }
    };
    const auto changes = [&](char16_t u) { return isControl(u) || !reference(u).isNull(); };
    const char16_t* const begin = QStringView(text).utf16();
    const char16_t* const end = begin + text.size();
    const char16_t* first = std::find_if(begin, end, changes);
    // Most subjects and header lines need nothing: the text itself, not a copy.
    if (first == end)
        return text;
    QString escaped;
    escaped.reserve(text.size() + 16);
    escaped.append(QStringView(begin, first));
    for (const char16_t* p = first; p != end; ++p) {
        if (const QLatin1StringView instead = reference(*p); !instead.isNull())
            escaped.append(instead);
        else if (!isControl(*p))
            escaped.append(QChar(*p));
    }
    return escaped;
}

QString hrefEncode(const QString& fileName)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(fileName, "/"));
}

QString jsStringLiteral(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'"':
            out += "\\\""_L1;
            break;
        case u'\\':
            out += "\\\\"_L1;
            break;
        case u'\n':
            out += "\\n"_L1;
            break;
        case u'\r':
            out += "\\r"_L1;
            break;
        case u'<':
            out += "\\u003C"_L1;
            break;
        case u'>':
            out += "\\u003E"_L1;
            break;
        default:
            // Control characters, and the two line ends that end a literal in older scripts.
            if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029)
                out += u"\\u%1"_s.arg(c.unicode(), 4, 16, QChar(u'0'));
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

} // namespace lorvo::archive
