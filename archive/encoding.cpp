#include "archive/encoding.h"

#include "shared/rtf/charsets.h"

#include <QStringView>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

void appendReference(QByteArray& out, char32_t codePoint)
{
    out += "&#";
    out += QByteArray::number(quint32(codePoint));
    out += ';';
}

// Encodes in one pass: runs of ASCII are copied whole, another character becomes its byte in the
// code page (byteOf, 0: none) or a reference. A surrogate without its partner is referenced
// alone, as an encoder that cannot take it leaves it.
template <class ByteOf> QByteArray encode(QStringView text, ByteOf byteOf)
{
    QByteArray out;
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
            char* dst = out.data() + at;
            for (; run < p; ++run)
                *dst++ = char(*run);
        }
        if (p == end)
            break;
        const char16_t c = *p++;
        if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p)) {
            appendReference(out, QChar::surrogateToUcs4(c, *p++));
            continue;
        }
        if (const uchar b = byteOf(c))
            out += char(b);
        else
            appendReference(out, c);
    }
    return out;
}

} // namespace

QByteArray toWindows1252(const QString& html)
{
    return encode(html, [](char16_t c) { return rtf::windows1252Byte(c); });
}

QByteArray toAsciiHtml(const QString& html)
{
    return encode(html, [](char16_t) { return uchar(0); });
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
