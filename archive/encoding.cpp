#include "archive/encoding.h"

#include <QStringEncoder>
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

// Encodes code point by code point; a character the encoder cannot take becomes a reference.
QByteArray encodeWithReferences(const QString& text, const char* encoding)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.unicode() < 0x80) {
            out += char(c.unicode());
            continue;
        }
        qsizetype len = 1;
        char32_t codePoint = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(c, text.at(i + 1));
            len = 2;
        }
        if (encoding) {
            QStringEncoder encoder(encoding, QStringConverter::Flag::Stateless);
            const QByteArray bytes = encoder.encode(QStringView(text).mid(i, len));
            if (encoder.isValid() && !encoder.hasError() && !bytes.isEmpty())
                out += bytes;
            else
                appendReference(out, codePoint);
        } else {
            appendReference(out, codePoint);
        }
        i += len - 1;
    }
    return out;
}

} // namespace

QByteArray toWindows1252(const QString& html)
{
    // Most texts encode whole; only a text with a character outside the code page takes the
    // slow road.
    QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
    if (encoder.isValid()) {
        QByteArray bytes = encoder.encode(html);
        if (!encoder.hasError())
            return bytes;
        return encodeWithReferences(html, "windows-1252");
    }
    // A Qt without the code page tables: Latin-1 is the part of Windows-1252 every Qt knows.
    return encodeWithReferences(html, "ISO-8859-1");
}

QByteArray toAsciiHtml(const QString& html)
{
    return encodeWithReferences(html, nullptr);
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
