#include "archive/encoding.h"

#include "shared/rtf/charsets.h"

#include <QStringView>
#include <QUrl>
#include <algorithm>
#include <charconv>
#include <type_traits>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

template <class Out> void appendReference(Out& out, char32_t codePoint)
{
    char digits[16] = "&#";
    const auto end = std::to_chars(digits + 2, digits + sizeof digits - 1, quint32(codePoint)).ptr;
    *end = ';';
    out.append(QLatin1StringView(digits, end + 1 - digits));
}

// Encodes in one pass: runs of ASCII are copied whole, another character becomes its byte in the
// code page (byteOf, 0: none) or a reference. A surrogate without its partner is referenced
// alone, as an encoder that cannot take it leaves it. Out is QByteArray or, for text that stays
// text, QString.
template <class Out, class ByteOf> Out encode(QStringView text, ByteOf byteOf)
{
    Out out;
    out.reserve(text.size() + text.size() / 16);
    const char16_t* const begin = text.utf16();
    const char16_t* const end = begin + text.size();
    const char16_t* p = begin;
    while (p < end) {
        const char16_t* run = p;
        while (p < end && *p < 0x80)
            ++p;
        if (p > run) {
            const qsizetype at = out.size();
            out.resize(at + (p - run));
            auto* dst = out.data() + at;
            for (; run < p; ++run)
                *dst++ = typename std::remove_reference_t<decltype(*dst)>(*run);
        }
        if (p == end)
            break;
        const char16_t c = *p++;
        if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            appendReference(out, QChar::surrogateToUcs4(c, *p++));
            continue;
        }
        const uchar b = byteOf(c);
        if constexpr (std::is_same_v<Out, QByteArray>) {
            if (b) {
                out.append(char(b));
                continue;
            }
        }
        appendReference(out, c);
    }
    return out;
}

const auto noByte = [](char16_t) { return uchar(0); };

} // namespace

QByteArray toWindows1252(const QString& html)
{
    return encode<QByteArray>(html, [](char16_t c) { return rtf::windows1252Byte(c); });
}

QByteArray toAsciiHtml(const QString& html)
{
    return encode<QByteArray>(html, noByte);
}

QString toAsciiHtmlText(const QString& html)
{
    return encode<QString>(html, noByte);
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
    // A character of the word that has no other case is found by Qt's fast search, the rest of
    // the word compared where it is.
    qsizetype anchor = 0;
    while (anchor < word.size() && isLetter(char16_t(word[anchor].unicode())))
        ++anchor;
    if (anchor < word.size()) {
        const QChar a(word[anchor]);
        for (qsizetype at = text.indexOf(a, from + anchor); at >= 0; at = text.indexOf(a, at + 1)) {
            if (at - anchor + word.size() > text.size())
                return -1;
            if (equalsCaseBlindAt(text, at - anchor, word))
                return at - anchor;
        }
        return -1;
    }
    for (qsizetype at = from; at + word.size() <= text.size(); ++at) {
        if (equalsCaseBlindAt(text, at, word))
            return at;
    }
    return -1;
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
    QString escaped = text.toHtmlEscaped().replace(u'\'', "&#39;"_L1);
    // Control characters (NUL among them) have no place in HTML text; line breaks and tabs do.
    escaped.removeIf([](QChar c) {
        const char16_t u = c.unicode();
        return (u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0x7F;
    });
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
