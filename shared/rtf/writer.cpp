#include "shared/rtf/writer.h"

#include "shared/rtf/charsets.h"
#include "shared/text.h"

#include <QHash>
#include <charconv>
#include <cstring>
#include <iterator>

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

// Whether the character at p ends a run of plain text: one to escape (a control, DEL, anything
// outside ASCII, "\\", "{", "}"), or markup1 or markup2 (the start of a tag or reference where
// markup is looked for; a backslash where it is not).
bool endsRun(const char16_t* p, char16_t markup1, char16_t markup2)
{
    const char16_t c = *p;
    return (char16_t(c - 0x20) >= 0x5F) | (c == u'\\') | (c == u'{') | (c == u'}') |
           (c == markup1) | (c == markup2);
}

// Where in a block the first character is that ends a run of plain text; kTextBlock where none
// is.
qsizetype runEndInBlock(const char16_t* block, char16_t markup1, char16_t markup2)
{
    return firstInBlock(block, [&](const char16_t* p) { return endsRun(p, markup1, markup2); });
}

// How a character that does not stand for itself is written, into out (at most 11 bytes); gives
// the length. CR and LF are a line break each (a CR LF pair is one: the caller skips the LF).
qsizetype escapedCharacter(char16_t c, char* out)
{
    const auto copy = [&](QByteArrayView text) {
        std::memcpy(out, text.data(), size_t(text.size()));
        return text.size();
    };
    switch (c) {
    case u'\\':
        return copy("\\\\");
    case u'{':
        return copy("\\{");
    case u'}':
        return copy("\\}");
    case u'\t':
        return copy("\\tab ");
    case u'\r':
    case u'\n':
        return copy("\\par ");
    default:
        break;
    }
    // The C1 controls are written as \uN too, like every character of no printable byte.
    const uchar b = c < 0x80 ? uchar(c) : c >= 0xA0 ? windows1252Byte(c) : 0;
    if (c < 0x80 || b) {
        static constexpr char digits[] = "0123456789abcdef";
        const char hex[4] = {'\\', '\'', digits[b >> 4], digits[b & 0xF]};
        return copy(QByteArrayView(hex, 4));
    }
    char* last = std::to_chars(out + 2, out + 10, int(qint16(c))).ptr;
    out[0] = '\\';
    out[1] = 'u';
    *last++ = '?';
    return last - out;
}

// The RTF being written: bytes go to a cursor in the buffer of a QByteArray that is grown ahead
// of need and cut to what was written at the end. The many short pieces of a message (a group's
// start, a tag, a "}") cost no call into the QByteArray each.
class RtfOut
{
public:
    explicit RtfOut(QByteArray& out) : m_out(out), m_used(out.size()) {}
    ~RtfOut() { m_out.truncate(m_used); }
    RtfOut(const RtfOut&) = delete;
    RtfOut& operator=(const RtfOut&) = delete;

    // A place for at least n more bytes; what is written there is taken with advance().
    char* room(qsizetype n)
    {
        if (m_out.size() - m_used < n)
            m_out.resize(std::max(m_used + n, m_out.size() + m_out.size() / 2));
        return m_out.data() + m_used;
    }
    void advance(qsizetype n) { m_used += n; }
    // The position after the last byte written, in a buffer that room() may have moved.
    char* end() { return m_out.data() + m_used; }

    RtfOut& operator+=(QByteArrayView bytes)
    {
        std::memcpy(room(bytes.size()), bytes.data(), size_t(bytes.size()));
        m_used += bytes.size();
        return *this;
    }
    RtfOut& operator+=(char c)
    {
        *room(1) = c;
        ++m_used;
        return *this;
    }

private:
    QByteArray& m_out;
    qsizetype m_used;
};

// Escapes text onto out (see escape()) up to the first "<" or "&" when stopAtMarkup, else whole;
// gives the number of characters taken. Room is made for the text as it is and grows where
// escapes need more.
qsizetype escapeInto(RtfOut& out, QStringView text, bool stopAtMarkup = false)
{
    const char16_t* const begin = text.utf16();
    const char16_t* p = begin;
    const char16_t* const end = p + text.size();
    char* dst = out.room(text.size());
    // Characters that end a plain run besides those to escape; a backslash stands for none.
    const char16_t markup1 = stopAtMarkup ? u'<' : u'\\';
    const char16_t markup2 = stopAtMarkup ? u'&' : u'\\';
    while (p < end) {
        // A run of characters that stand for themselves, copied at once.
        const char16_t* const run = p;
        // nextWhere's search, written out: as a call it costs 1 % of a message's conversion.
        qsizetype inBlock = kTextBlock;
        while (inBlock == kTextBlock && end - p >= kTextBlock) {
            inBlock = runEndInBlock(p, markup1, markup2);
            p += inBlock;
        }
        while (inBlock == kTextBlock && p < end && !endsRun(p, markup1, markup2))
            ++p;
        dst = copyAscii(dst, QStringView(run, p));
        if (p == end)
            break;
        const char16_t c = *p++;
        if (stopAtMarkup && (c == markup1 || c == markup2)) {
            --p;
            break;
        }
        if (c == u'\r' && p < end && *p == u'\n')
            ++p;
        char escaped[12];
        const qsizetype n = escapedCharacter(c, escaped);
        // Room for the escape, the rest of the text still fitting as it is.
        out.advance(dst - out.end());
        dst = out.room(n + (end - p));
        std::memcpy(dst, escaped, size_t(n));
        dst += n;
    }
    out.advance(dst - out.end());
    return p - begin;
}

} // namespace

QByteArray escape(QStringView text)
{
    QByteArray bytes;
    {
        RtfOut out(bytes);
        escapeInto(out, text);
    }
    return bytes;
}

namespace {

// Whether the text is the word: compared here, the texts being short (tag names, "<!--"),
// rather than by a call for each word looked up.
bool equals(QStringView text, QLatin1StringView word)
{
    if (text.size() != word.size())
        return false;
    for (qsizetype k = 0; k < text.size(); ++k) {
        if (text[k].unicode() != uchar(word[k].toLatin1()))
            return false;
    }
    return true;
}

// What the writer knows of a tag by its name (in lower case): its kind among the common tags
// that Outlook numbers (0 for any other), whether the end of it breaks the RTF side into a new
// paragraph (a block; <br> breaks it as it is), and whether its content is raw text (<style>,
// <script>, <title>). Found by the name's length first: most names are none of these.
struct TagKind
{
    int kind = 0;
    bool block = false;
    bool lineBreak = false;
    bool raw = false;
};

TagKind tagKind(QStringView name)
{
    const auto is = [&](QLatin1StringView word) { return equals(name, word); };
    switch (name.size()) {
    case 1:
        if (is("p"_L1))
            return {4, true};
        if (is("&"_L1))
            return {5};
        if (is("a"_L1))
            return {9};
        break;
    case 2:
        if (is("br"_L1))
            return {7, false, true};
        if (is("li"_L1) || is("tr"_L1) || (name[0] == u'h' && name[1] >= u'1' && name[1] <= u'6'))
            return {0, true};
        break;
    case 3:
        if (is("div"_L1))
            return {6, true};
        if (is("img"_L1))
            return {10};
        if (is("pre"_L1))
            return {0, true};
        break;
    case 4:
        if (is("html"_L1))
            return {1};
        if (is("head"_L1))
            return {2};
        if (is("body"_L1))
            return {3};
        if (is("span"_L1))
            return {8};
        break;
    case 5:
        if (is("table"_L1))
            return {0, true};
        if (is("style"_L1) || is("title"_L1))
            return {0, false, false, true};
        break;
    case 6:
        if (is("script"_L1))
            return {0, false, false, true};
        break;
    case 10:
        if (is("blockquote"_L1))
            return {0, true};
        break;
    default:
        break;
    }
    return {};
}

// The htmltag control word's parameter for a tag of that kind. Readers ignore it; it follows
// Outlook's habit of numbering the common tags and marking end tags with 8.
int tagParameter(const TagKind& tag, bool endTag)
{
    return tag.kind * 16 + (endTag ? 8 : 0) + (tag.kind > 3 ? 4 : 0);
}

// Whether the tag breaks the RTF side into a new paragraph after it.
bool breaksParagraph(const TagKind& tag, bool endTag)
{
    return tag.lineBreak || (endTag && tag.block);
}

// The name of a tag in lower case, without a copy: only names of up to 15 characters are kept,
// longer ones are none of the names the writer looks for.
class TagName
{
public:
    // The name that starts the tag: "<", an optional "/", blanks, then an ASCII letter and
    // letters and digits. None when the tag starts no such name, and for a tag that is no valid
    // UTF-16, as a regular expression matches none there; inValidText: the tag lies in valid
    // UTF-16 text, and so is valid itself.
    TagName(QStringView tag, bool inValidText)
    {
        if (!inValidText && !isValidUtf16(tag))
            return;
        qsizetype j = 1;
        if (j < tag.size() && tag[j] == u'/')
            ++j;
        // The blanks of a regular expression's \s: tab, line feed, vertical tab, form feed,
        // carriage return and space.
        while (j < tag.size() && ((tag[j] >= u'\t' && tag[j] <= u'\r') || tag[j] == u' '))
            ++j;
        const auto isLetter = [](QChar c) {
            return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
        };
        if (j >= tag.size() || !isLetter(tag[j]))
            return;
        const qsizetype start = j;
        while (j < tag.size() && (isLetter(tag[j]) || (tag[j] >= u'0' && tag[j] <= u'9')))
            ++j;
        if (j - start >= qsizetype(std::size(m_lower))) {
            m_size = -1; // a name, but too long to be one looked for
            return;
        }
        for (qsizetype k = start; k < j; ++k) {
            const char16_t c = tag[k].unicode();
            m_lower[k - start] = c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
        }
        m_size = j - start;
    }

    QStringView view() const { return QStringView(m_lower, std::max<qsizetype>(m_size, 0)); }

private:
    char16_t m_lower[16] = {};
    qsizetype m_size = 0;
};

QString decodeReference(QStringView reference)
{
    // reference is "&...;"
    const QStringView inner = reference.mid(1, reference.size() - 2);
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
    if (inner == "amp"_L1)
        return u"&"_s;
    return named.value(inner.toString());
}

class Encapsulator
{
public:
    explicit Encapsulator(RtfOut& out) : m_out(out) {}

    void run(const QString& html)
    {
        m_valid = isValidUtf16(html);
        m_textEnd = QStringView(html).utf16() + html.size();
        const QStringView text(html);
        const qsizetype n = text.size();
        qsizetype i = 0;
        while (i < n) {
            // Text up to the next character that may start markup.
            if (text[i] != u'<' && text[i] != u'&') {
                i += escapeInto(m_out, text.sliced(i), true);
                if (i == n)
                    break;
            }
            const qsizetype next = text[i] == u'<' ? markup(html, i) : reference(text, i);
            if (next > i) {
                i = next;
            } else {
                // Only looked like markup: it is text, and "<" and "&" stand for themselves.
                m_out += char(text[i].unicode());
                ++i;
            }
        }
    }

private:
    // Writes the comment or tag that starts at html[i] == '<' and gives the position after it,
    // or i when none starts there.
    qsizetype markup(const QString& html, qsizetype i)
    {
        const QStringView text(html);
        const qsizetype n = text.size();
        if (equals(text.mid(i, 4), "<!--"_L1)) {
            qsizetype end = html.indexOf("-->"_L1, i + 4);
            end = end < 0 ? n : end + 3;
            group(241, text.mid(i, end - i));
            return end;
        }
        if (i + 1 >= n || !(text[i + 1].isLetter() || text[i + 1] == u'/' || text[i + 1] == u'!' ||
                            text[i + 1] == u'?'))
            return i;
        const qsizetype end = htmlTagEnd(text, i);
        const QStringView tag = text.mid(i, end - i);
        const TagName tagName(tag, m_valid);
        const QStringView name = tagName.view();
        const bool endTag = tag.size() > 1 && tag[1] == u'/';
        qsizetype next = end;
        QStringView content = tag;
        const TagKind kind = tagKind(name);
        // Raw text elements keep their content inside the group: it is no text of the page.
        if (!endTag && kind.raw) {
            qsizetype close = html.indexOf(u"</"_s + name.toString(), end, Qt::CaseInsensitive);
            if (close < 0)
                close = n;
            const qsizetype closeEnd = close < n ? htmlTagEnd(text, close) : close;
            content = text.mid(i, closeEnd - i);
            next = closeEnd;
        }
        group(tagParameter(kind, endTag), content);
        if (breaksParagraph(kind, endTag))
            m_out += "\\htmlrtf \\par \\htmlrtf0 ";
        return next;
    }

    // Writes the character reference that starts at text[i] == '&' and gives the position after
    // it, or i when none starts there.
    qsizetype reference(QStringView text, qsizetype i)
    {
        const qsizetype end = referenceEnd(text, i);
        if (end < 0)
            return i;
        const QStringView reference = text.mid(i, end - i);
        group(tagParameter(tagKind(u"&"), false), reference);
        const QString decoded = decodeReference(reference);
        if (!decoded.isEmpty()) {
            m_out += "\\htmlrtf ";
            escapeInto(m_out, decoded);
            m_out += "\\htmlrtf0 ";
        }
        return end;
    }

    // The position after the character reference that starts with the "&" at i ("&amp;",
    // "&#8364;", "&#x20AC;": a name of up to 32 letters and digits, up to 7 decimal or 6 hex
    // digits), or -1 when none starts there.
    static qsizetype referenceEnd(QStringView html, qsizetype i)
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

    void group(int parameter, QStringView content)
    {
        char start[24] = "{\\*\\htmltag";
        char* end = std::to_chars(start + 11, start + 22, parameter).ptr;
        *end++ = ' ';
        m_out += QByteArrayView(start, end - start);
        // Most tags are shorter than a block and stand for themselves: seen so in one block read
        // from the text, which goes on past them.
        const char16_t* const at = content.utf16();
        if (content.size() <= kTextBlock && m_textEnd - at >= kTextBlock &&
            runEndInBlock(at, u'\\', u'\\') >= content.size()) {
            copyAscii(m_out.room(content.size()), content);
            m_out.advance(content.size());
        } else {
            escapeInto(m_out, content);
        }
        m_out += '}';
    }

    RtfOut& m_out;
    // Whether the whole text is valid UTF-16: its tags need no test of their own then.
    bool m_valid = true;
    // The end of the text, up to which a block may be read past a tag.
    const char16_t* m_textEnd = nullptr;
};

} // namespace

QByteArray itemToRtf(const QList<HeaderLine>& header, const QString& html)
{
    QByteArray bytes;
    bytes.reserve(html.size() + html.size() / 2 + 1024);
    {
        RtfOut out(bytes);
        out += "{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 \\deff0{\\fonttbl\r\n"
               "{\\f0\\fswiss\\fcharset0 Arial;}\r\n"
               "{\\f1\\fmodern\\fcharset0 Courier New;}}\r\n"
               "{\\colortbl;\\red0\\green0\\blue0;}\r\n"
               "\\uc1\\pard\\plain\\deftab360 \\f0\\fs20 ";
        out += "\\htmlrtf ";
        for (const HeaderLine& line : header) {
            out += "{\\b ";
            escapeInto(out, line.label);
            out += "}\\tab ";
            escapeInto(out, line.value);
            out += "\\par\r\n";
        }
        out += "\\par\r\n\\htmlrtf0 \r\n";
        Encapsulator(out).run(html);
        out += "}\r\n";
    }
    return bytes;
}

} // namespace lorvo::rtf
