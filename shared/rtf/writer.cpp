#include "shared/rtf/writer.h"

#include "shared/rtf/charsets.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

// What this writer emits, and what a de-encapsulating reader has to understand:
//
//   {\rtf1\ansi\ansicpg1252\fromhtml1 \deff0{\fonttbl{\f0\fswiss\fcharset0 Arial;}
//   {\f1\fmodern\fcharset0 Courier New;}}{\colortbl;\red0\green0\blue0;}
//   \uc1\pard\plain\deftab360 \f0\fs20
//   \htmlrtf {\b Subject:}\tab value\par ... one paragraph per header line, then one empty
//   paragraph \par \htmlrtf0
//   {\*\htmltagN <tag ...>} ... text ... {\*\htmltagN </tag>}\htmlrtf \par \htmlrtf0
//   }
//
// - The header block comes first and is RTF only: it lies wholly between \htmlrtf and
//   \htmlrtf0, before the first htmltag group, so de-encapsulation skips it.
// - Every tag, comment and the raw content of <style>, <script> and <title> is the content of
//   one {\*\htmltagN ...} group; N is a tag-kind number (bit 8 marks an end tag) that readers
//   ignore, as the format allows.
// - Text between tags is plain RTF text outside \htmlrtf: de-encapsulation copies it.
// - A character reference (&amp; &#8364; ...) is an htmltag group of its own, followed by the
//   character it stands for between \htmlrtf and \htmlrtf0, for the RTF side only.
// - After block end tags and <br> an RTF-only \par (inside \htmlrtf) breaks the RTF side.
// - In groups and text alike: \\ \{ \} for the RTF specials, \par for a line break of the
//   source (CR LF, LF or CR; readers turn it into CR LF), \tab for a tab, \'hh for a character
//   of Windows-1252 outside ASCII, and \uN? (N signed 16-bit, one per UTF-16 unit, \uc1) for
//   every other character.

namespace lorvo::rtf {

namespace {

QByteArray hexEscape(uchar b)
{
    return "\\'" + QByteArray::number(b, 16).rightJustified(2, '0');
}

} // namespace

QByteArray escape(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() + 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        switch (c) {
        case u'\\':
            out += "\\\\";
            continue;
        case u'{':
            out += "\\{";
            continue;
        case u'}':
            out += "\\}";
            continue;
        case u'\t':
            out += "\\tab ";
            continue;
        case u'\r':
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            out += "\\par ";
            continue;
        case u'\n':
            out += "\\par ";
            continue;
        default:
            break;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
            continue;
        }
        if (c < 0x80) {
            out += hexEscape(uchar(c));
            continue;
        }
        // The C1 controls are written as \uN too, like every character of no printable byte.
        if (const uchar b = c >= 0xA0 ? windows1252Byte(c) : 0) {
            out += hexEscape(b);
            continue;
        }
        out += "\\u" + QByteArray::number(qint16(c)) + '?';
    }
    return out;
}

namespace {

// A tag-kind number for the htmltag control word. Readers ignore it; it follows Outlook's
// habit of numbering the common tags and marking end tags with 8.
int tagParameter(const QString& name, bool endTag)
{
    static const QStringList known = {u"html"_s, u"head"_s, u"body"_s, u"p"_s, u"&"_s,
                                      u"div"_s,  u"br"_s,   u"span"_s, u"a"_s, u"img"_s};
    const int kind = int(known.indexOf(name)) + 1;
    return kind * 16 + (endTag ? 8 : 0) + (kind > 3 ? 4 : 0);
}

// Tags whose end breaks the RTF side into a new paragraph.
bool breaksParagraph(const QString& name, bool endTag)
{
    static const QStringList blocks = {u"p"_s,     u"div"_s, u"h1"_s,        u"h2"_s, u"h3"_s,
                                       u"h4"_s,    u"h5"_s,  u"h6"_s,        u"li"_s, u"tr"_s,
                                       u"table"_s, u"pre"_s, u"blockquote"_s};
    return name == "br"_L1 || (endTag && blocks.contains(name));
}

QString decodeReference(const QString& reference)
{
    // reference is "&...;"
    const QString inner = reference.mid(1, reference.size() - 2);
    if (inner.startsWith(u'#')) {
        bool ok = false;
        const uint code = inner.startsWith("#x"_L1, Qt::CaseInsensitive)
                              ? inner.mid(2).toUInt(&ok, 16)
                              : inner.mid(1).toUInt(&ok, 10);
        if (!ok || code == 0 || code > 0x10FFFF)
            return {};
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    static const QHash<QString, QString> named = {
        {u"amp"_s, u"&"_s},         {u"lt"_s, u"<"_s},         {u"gt"_s, u">"_s},
        {u"quot"_s, u"\""_s},       {u"apos"_s, u"'"_s},       {u"nbsp"_s, u"\u00A0"_s},
        {u"copy"_s, u"\u00A9"_s},   {u"reg"_s, u"\u00AE"_s},   {u"euro"_s, u"\u20AC"_s},
        {u"hellip"_s, u"\u2026"_s}, {u"ndash"_s, u"\u2013"_s}, {u"mdash"_s, u"\u2014"_s},
    };
    return named.value(inner);
}

class Encapsulator
{
public:
    explicit Encapsulator(QByteArray& out) : m_out(out) {}

    void run(const QString& html)
    {
        static const QRegularExpression tagName(u"^</?\\s*([A-Za-z][A-Za-z0-9]*)"_s);
        qsizetype i = 0;
        qsizetype textStart = 0;
        const auto flushText = [&](qsizetype end) {
            if (end > textStart)
                m_out += escape(QStringView(html).mid(textStart, end - textStart));
        };
        while (i < html.size()) {
            const QChar c = html[i];
            if (c == u'<' && html.mid(i, 4) == "<!--"_L1) {
                flushText(i);
                qsizetype end = html.indexOf("-->"_L1, i + 4);
                end = end < 0 ? html.size() : end + 3;
                group(241, QStringView(html).mid(i, end - i));
                i = textStart = end;
            } else if (c == u'<' && i + 1 < html.size() &&
                       (html[i + 1].isLetter() || html[i + 1] == u'/' || html[i + 1] == u'!' ||
                        html[i + 1] == u'?')) {
                flushText(i);
                const qsizetype end = tagEnd(html, i);
                const QString tag = html.mid(i, end - i);
                const auto m = tagName.match(tag);
                const QString name = m.hasMatch() ? m.captured(1).toLower() : QString();
                const bool endTag = tag.startsWith("</"_L1);
                qsizetype next = end;
                QString content = tag;
                // Raw text elements keep their content inside the group: it is no text of the
                // page.
                if (!endTag && (name == "style"_L1 || name == "script"_L1 || name == "title"_L1)) {
                    qsizetype close = html.indexOf(u"</"_s + name, end, Qt::CaseInsensitive);
                    if (close < 0)
                        close = html.size();
                    const qsizetype closeEnd = close < html.size() ? tagEnd(html, close) : close;
                    content = html.mid(i, closeEnd - i);
                    next = closeEnd;
                }
                group(tagParameter(name, endTag), content);
                if (breaksParagraph(name, endTag))
                    m_out += "\\htmlrtf \\par \\htmlrtf0 ";
                i = textStart = next;
            } else if (c == u'&') {
                const qsizetype end = referenceEnd(html, i);
                if (end < 0) {
                    ++i;
                    continue;
                }
                flushText(i);
                const QStringView reference = QStringView(html).mid(i, end - i);
                group(tagParameter(u"&"_s, false), reference);
                const QString decoded = decodeReference(reference.toString());
                if (!decoded.isEmpty())
                    m_out += "\\htmlrtf " + escape(decoded) + "\\htmlrtf0 ";
                i = textStart = end;
            } else {
                ++i;
            }
        }
        flushText(html.size());
    }

private:
    // The position after the character reference that starts with the "&" at i ("&amp;",
    // "&#8364;", "&#x20AC;": a name of up to 32 letters and digits, up to 7 decimal or 6 hex
    // digits), or -1 when none starts there.
    static qsizetype referenceEnd(const QString& html, qsizetype i)
    {
        const auto isAsciiDigit = [](QChar c) { return c >= u'0' && c <= u'9'; };
        const auto isAsciiLetter = [](QChar c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        };
        const auto isHex = [&](QChar c) {
            return isAsciiDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
        };
        // The end of a run of at most max characters of a kind, from j; -1 when it runs longer
        // or is empty.
        const auto run = [&](qsizetype j, qsizetype max, auto accepts) -> qsizetype {
            qsizetype k = j;
            while (k < html.size() && k - j <= max && accepts(html[k]))
                ++k;
            return k > j && k - j <= max ? k : -1;
        };
        qsizetype end = -1;
        if (i + 1 < html.size() && html[i + 1] == u'#') {
            if (i + 2 < html.size() && (html[i + 2] == u'x' || html[i + 2] == u'X'))
                end = run(i + 3, 6, isHex);
            else
                end = run(i + 2, 7, isAsciiDigit);
        } else if (i + 1 < html.size() && isAsciiLetter(html[i + 1])) {
            end = run(i + 1, 32, [&](QChar c) { return isAsciiLetter(c) || isAsciiDigit(c); });
        }
        return end >= 0 && end < html.size() && html[end] == u';' ? end + 1 : -1;
    }

    // The position after the tag that starts at i; quoted attribute values may hold ">".
    static qsizetype tagEnd(const QString& html, qsizetype i)
    {
        QChar quote;
        for (qsizetype j = i + 1; j < html.size(); ++j) {
            const QChar c = html[j];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u'>') {
                return j + 1;
            }
        }
        return html.size();
    }

    void group(int parameter, QStringView content)
    {
        m_out += "{\\*\\htmltag" + QByteArray::number(parameter) + ' ' + escape(content) + '}';
    }

    QByteArray& m_out;
};

} // namespace

QByteArray itemToRtf(const QList<HeaderLine>& header, const QString& html)
{
    QByteArray out;
    out.reserve(html.size() + 1024);
    out += "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl\r\n"
           "{\\f0\\fswiss\\fcharset0 Arial;}\r\n"
           "{\\f1\\fmodern\\fcharset0 Courier New;}}\r\n"
           "{\\colortbl;\\red0\\green0\\blue0;}\r\n"
           "\\uc1\\pard\\plain\\deftab360 \\f0\\fs20 ";
    out += "\\htmlrtf ";
    for (const HeaderLine& line : header)
        out += "{\\b " + escape(line.label) + "}\\tab " + escape(line.value) + "\\par\r\n";
    out += "\\par\r\n\\htmlrtf0 \r\n";
    Encapsulator(out).run(html);
    out += "}\r\n";
    return out;
}

} // namespace lorvo::rtf
