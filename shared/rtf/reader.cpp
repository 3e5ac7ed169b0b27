#include "shared/rtf/reader.h"

#include "shared/rtf/charsets.h"
#include "shared/rtf/htmlwriter.h"
#include "shared/text.h"

#include <QHash>
#include <QList>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace lorvo::rtf {

namespace {

using namespace detail;

// Groups nested deeper than this share the state of the deepest one: memory stays bounded
// whatever the nesting, and the text inside is still read.
constexpr size_t kMaxDepth = 20000;

// Font names are only compared with the names of symbol fonts.
constexpr qsizetype kMaxFontName = 64;

// A picture is at most this wide or high on the page, in pixels.
constexpr int kMaxPictureSide = 10000;

// What the text of a group is.
enum class Dest : quint8 {
    Text,        // the document's text
    Skip,        // no text of the document (header, footnote, an unknown \* destination, ...)
    FontTable,   // font numbers, character sets and names
    ColorTable,  // colour entries
    Instruction, // a field's instruction (HYPERLINK "...")
    Picture,     // picture data
    ListText,    // the number or bullet of a list paragraph
    Object       // an embedded object; only its \result is shown
};

enum class Kw : quint8 {
    // destinations
    FontTable,
    ColorTable,
    Field,
    FieldInstruction,
    FieldResult,
    Picture,
    ShapePicture,
    NonShapePicture,
    ListText,
    Object,
    ObjectResult,
    Skipped,
    // document
    Bin,
    Unicode,
    UnicodeSkip,
    HtmlRtf,
    FromHtml,
    AnsiCodePage,
    Mac,
    Pc,
    Pca,
    DefaultFont,
    Font,
    FontCharset,
    FontCodePage,
    Red,
    Green,
    Blue,
    // text
    Paragraph,
    Line,
    Tab,
    Cell,
    Row,
    NestedCell,
    NestedRow,
    RowDefaults,
    InTable,
    ParagraphDefaults,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    ListNumber,
    ListLevel,
    Plain,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    Strike,
    Hidden,
    Superscript,
    Subscript,
    NoSuperSub,
    FontSize,
    Color,
    PictureWidthGoal,
    PictureHeightGoal,
    PictureScaleX,
    PictureScaleY,
    PngBlip,
    JpegBlip,
    BorderNone,
    Symbol
};

// The control words the reader knows, by meaning; an entry's words are separated by blanks.
struct Keyword
{
    const char* words;
    Kw kw;
};
constexpr Keyword kKeywords[] = {
    {"fonttbl", Kw::FontTable},
    {"colortbl", Kw::ColorTable},
    {"field", Kw::Field},
    {"fldinst", Kw::FieldInstruction},
    {"fldrslt", Kw::FieldResult},
    {"pict", Kw::Picture},
    {"shppict", Kw::ShapePicture},
    {"nonshppict", Kw::NonShapePicture},
    {"listtext pntext", Kw::ListText},
    {"object", Kw::Object},
    {"result", Kw::ObjectResult},
    // Destinations whose content is no text of the document.
    {"stylesheet info header headerl headerr headerf footer footerl footerr footerf footnote "
     "listtable listoverridetable revtbl rsidtbl generator xmlnstbl themedata colorschememapping "
     "datastore latentstyles mhtmltag filetbl pgdsctbl bkmkstart bkmkend txe xe tc private "
     "userprops pn pntxta pntxtb annotation atnid atnauthor objdata shpinst",
     Kw::Skipped},
    {"bin", Kw::Bin},
    {"u", Kw::Unicode},
    {"uc", Kw::UnicodeSkip},
    {"htmlrtf", Kw::HtmlRtf},
    {"fromhtml", Kw::FromHtml},
    {"ansicpg", Kw::AnsiCodePage},
    {"mac", Kw::Mac},
    {"pc", Kw::Pc},
    {"pca", Kw::Pca},
    {"deff", Kw::DefaultFont},
    {"f", Kw::Font},
    {"fcharset", Kw::FontCharset},
    {"cpg", Kw::FontCodePage},
    {"red", Kw::Red},
    {"green", Kw::Green},
    {"blue", Kw::Blue},
    {"par sect page", Kw::Paragraph},
    {"line", Kw::Line},
    {"tab", Kw::Tab},
    {"cell", Kw::Cell},
    {"row", Kw::Row},
    {"nestcell", Kw::NestedCell},
    {"nestrow", Kw::NestedRow},
    {"trowd", Kw::RowDefaults},
    {"intbl", Kw::InTable},
    {"pard", Kw::ParagraphDefaults},
    {"ql", Kw::AlignLeft},
    {"qc", Kw::AlignCenter},
    {"qr", Kw::AlignRight},
    {"qj qd", Kw::AlignJustify},
    {"ls", Kw::ListNumber},
    {"ilvl", Kw::ListLevel},
    {"plain", Kw::Plain},
    {"b", Kw::Bold},
    {"i", Kw::Italic},
    {"ul uld uldash uldashd uldashdd uldb ulhwave ulldash ulth ulthd ulthdash ulthdashd ulthdashdd "
     "ulthldash ululdbwave ulw ulwave",
     Kw::Underline},
    {"ulnone", Kw::UnderlineNone},
    {"strike striked", Kw::Strike},
    {"v", Kw::Hidden},
    {"super", Kw::Superscript},
    {"sub", Kw::Subscript},
    {"nosupersub", Kw::NoSuperSub},
    {"fs", Kw::FontSize},
    {"cf", Kw::Color},
    {"picwgoal", Kw::PictureWidthGoal},
    {"pichgoal", Kw::PictureHeightGoal},
    {"picscalex", Kw::PictureScaleX},
    {"picscaley", Kw::PictureScaleY},
    {"pngblip", Kw::PngBlip},
    {"jpegblip", Kw::JpegBlip},
    {"brdrnone brdrnil brdrtbl", Kw::BorderNone},
    {"lquote rquote ldblquote rdblquote bullet endash emdash emspace enspace qmspace zwj zwnj",
     Kw::Symbol},
};

// Inline: QByteArrayView's own comparison is a call, made for every control word read.
bool sameBytes(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), size_t(a.size())) == 0;
}

// The control words the reader knows, in a table of their own: a message has hundreds of short
// words, each hashed and compared here in a few instructions, where a QHash takes its general
// hash and an out-of-line comparison.
class KeywordTable
{
public:
    KeywordTable()
    {
        for (const Keyword& keyword : kKeywords) {
            for (QByteArrayView list(keyword.words); !list.isEmpty();) {
                qsizetype end = list.indexOf(' ');
                if (end < 0)
                    end = list.size();
                add(list.first(end), keyword.kw);
                list = list.sliced(std::min(end + 1, list.size()));
            }
        }
    }

    const Kw* find(QByteArrayView word) const
    {
        for (size_t i = slotOf(word);; i = (i + 1) % kSlots) {
            const Slot& slot = m_slots[i];
            if (slot.word.isEmpty())
                return nullptr;
            if (sameBytes(slot.word, word))
                return &slot.kw;
        }
    }

private:
    // A power of two, a few times the number of words: short probe runs.
    static constexpr size_t kSlots = 512;

    struct Slot
    {
        QByteArrayView word; // into the literal; empty: a free slot
        Kw kw{};
    };

    static size_t slotOf(QByteArrayView word)
    {
        quint32 h = 2166136261u; // FNV-1a
        for (const char c : word)
            h = (h ^ uchar(c)) * 16777619u;
        return (h ^ (h >> 16)) % kSlots;
    }

    void add(QByteArrayView word, Kw kw)
    {
        size_t i = slotOf(word);
        while (!m_slots[i].word.isEmpty())
            i = (i + 1) % kSlots;
        m_slots[i] = {word, kw};
    }

    std::array<Slot, kSlots> m_slots{};
};

const KeywordTable& keywords()
{
    static const KeywordTable table;
    return table;
}

// Characters some control words stand for.
QString symbolFor(QByteArrayView word)
{
    static const QHash<QByteArrayView, QString> symbols = {
        {"lquote", u"\u2018"_s},    {"rquote", u"\u2019"_s},  {"ldblquote", u"\u201C"_s},
        {"rdblquote", u"\u201D"_s}, {"bullet", u"\u2022"_s},  {"endash", u"\u2013"_s},
        {"emdash", u"\u2014"_s},    {"emspace", u"\u2003"_s}, {"enspace", u"\u2002"_s},
        {"qmspace", u"\u2005"_s},   {"zwj", u"\u200D"_s},     {"zwnj", u"\u200C"_s}};
    return symbols.value(word);
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    if (c <= '9')
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The address of a HYPERLINK field's instruction (HYPERLINK "url" \o "tip", HYPERLINK \l "mark"),
// or empty when the field is no link or its address names a scheme a page must not link to
// (javascript:, data: and the like).
QString hyperlinkOf(QStringView instruction)
{
    QStringView rest = instruction.trimmed();
    if (!rest.startsWith("HYPERLINK"_L1, Qt::CaseInsensitive))
        return {};
    rest = rest.mid(9);
    QString target;
    QString anchor;
    QChar option; // the switch whose argument comes next
    while (!(rest = rest.trimmed()).isEmpty()) {
        QStringView token;
        if (rest.front() == u'"') {
            qsizetype end = rest.indexOf(u'"', 1);
            if (end < 0)
                end = rest.size();
            token = rest.mid(1, end - 1);
            rest = rest.mid(std::min(end + 1, rest.size()));
        } else {
            qsizetype end = 0;
            while (end < rest.size() && !rest[end].isSpace())
                ++end;
            token = rest.left(end);
            rest = rest.mid(end);
        }
        if (token.size() == 2 && token[0] == u'\\') {
            // \l (a bookmark), \o (a tip) and \t (a target frame) take an argument.
            const QChar o = token[1].toLower();
            option = o == u'l' || o == u'o' || o == u't' ? o : QChar();
            continue;
        }
        if (option == u'l')
            anchor = token.toString();
        else if (option.isNull() && target.isEmpty())
            target = token.toString();
        option = QChar();
    }
    QString address = anchor.isEmpty() ? target : target + u'#' + anchor;
    // Browsers drop control characters inside addresses: "java\tscript:" is "javascript:".
    address.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    address = address.trimmed();
    const qsizetype colon = address.indexOf(u':');
    if (colon > 1) {
        const QStringView scheme = QStringView(address).left(colon);
        const bool isScheme = std::all_of(scheme.begin(), scheme.end(), [](QChar c) {
            return (c.unicode() < 0x80 && c.isLetterOrNumber()) || c == u'+' || c == u'-' ||
                   c == u'.';
        });
        static const QStringList safeSchemes = {u"http"_s, u"https"_s, u"mailto"_s,
                                                u"ftp"_s,  u"file"_s,  u"news"_s};
        if (isScheme && !safeSchemes.contains(scheme.toString().toLower()))
            return {};
    }
    return address;
}

// The text of encapsulated HTML being read out: characters go to a cursor in a QString that is
// grown ahead of need and cut to what was written when it is taken, so that the many short pieces
// of a message (a tag, a run of text, a line break) cost no call into the QString each.
class HtmlOut
{
public:
    void reserve(qsizetype n) { m_text.resize(std::max(m_text.size(), n)); }

    HtmlOut& operator+=(QLatin1StringView text)
    {
        char16_t* const out = room(text.size());
        const char* const in = text.data();
        for (qsizetype k = 0; k < text.size(); ++k)
            out[k] = uchar(in[k]);
        m_used += text.size();
        return *this;
    }
    HtmlOut& operator+=(QStringView text)
    {
        std::memcpy(room(text.size()), text.utf16(), size_t(text.size()) * sizeof(char16_t));
        m_used += text.size();
        return *this;
    }

    // What was written; nothing is left.
    QString take()
    {
        m_text.resize(m_used);
        m_used = 0;
        return std::exchange(m_text, QString());
    }

private:
    char16_t* room(qsizetype n)
    {
        if (m_text.size() - m_used < n)
            m_text.resize(std::max(m_used + n, m_text.size() + m_text.size() / 2));
        return reinterpret_cast<char16_t*>(m_text.data()) + m_used;
    }

    QString m_text;
    qsizetype m_used = 0;
};

class RtfReader
{
public:
    explicit RtfReader(QByteArrayView rtf) : m_in(rtf) {}

    std::optional<Document> read()
    {
        if (!m_in.startsWith("{\\rtf"))
            return std::nullopt;
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos++];
            switch (c) {
            case '{':
                if (!plainTagGroup())
                    openGroup();
                continue;
            case '}':
                if (closeGroup())
                    return finish();
                continue;
            case '\\':
                if (rtfOnlyBreak())
                    break;
                controlSequence();
                // "\*" leaves the group open for the destination word that follows.
                if (group().star)
                    continue;
                break;
            case '\r':
            case '\n':
                continue;
            default:
                text(m_pos - 1);
                break;
            }
            group().fresh = false;
        }
        // The document's group never closed: a cut-off file gives what was read.
        return finish();
    }

private:
    struct Group
    {
        Dest dest = Dest::Text;
        bool htmlrtf = false;
        bool htmltag = false;
        bool fresh = false; // nothing read yet in this group: a destination may follow
        bool star = false;  // "\*" read at the start: an optional destination follows
        bool hidden = false;
        int uc = 1;
        int font = -1;  // -1: the default font (\deffN)
        int color = 0;  // an index into the colour table
        int field = -1; // the field (in m_fields) this group is part of
        int link = -1;  // the field whose result this is, when it links
        TextStyle style;
        ParagraphStyle paragraph;
    };

    struct Font
    {
        int charset = -1;
        int codePage = 0;
        QByteArray name;
        bool named = false; // the name ended with ";"
    };

    // What a font's bytes mean, as worked out for the current font.
    struct Charset
    {
        int codePage = 1252;
        Symbols symbols = Symbols::None;
    };

    struct Field
    {
        size_t depth; // the depth of the group that holds it
        QString instruction;
        Link link; // its address once its result begins, when it is a hyperlink
        bool resolved = false;
    };

    struct Picture
    {
        size_t depth = 0; // the depth of its group; 0: no picture is being read
        QByteArrayView mimeType;
        QByteArray data;
        int nibble = -1;
        int widthGoal = 0;
        int heightGoal = 0;
        int scaleX = 100;
        int scaleY = 100;
    };

    Group& group() { return m_stack.back(); }

    void openGroup()
    {
        flushBytes();
        m_ucSkip = 0;
        if (m_stack.size() >= kMaxDepth) {
            ++m_sharedDepth;
            return;
        }
        m_stack.push_back(m_stack.empty() ? Group{} : m_stack.back());
        group().fresh = true;
        group().star = false;
    }

    // True when the document's group closed.
    bool closeGroup()
    {
        flushBytes();
        m_ucSkip = 0;
        if (m_sharedDepth > 0) {
            --m_sharedDepth;
            return false;
        }
        if (m_stack.size() == 1)
            m_lastParagraph = group().paragraph;
        m_stack.pop_back();
        const size_t depth = m_stack.size();
        if (m_picture.depth > depth)
            endPicture();
        while (!m_fields.empty() && m_fields.back().depth > depth)
            m_fields.pop_back();
        return m_stack.empty();
    }

    void controlSequence()
    {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in[m_pos];
        if (!isLetter(c)) {
            ++m_pos;
            controlSymbol(c);
            return;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_in.size() && isLetter(m_in[m_pos]))
            ++m_pos;
        const QByteArrayView word = m_in.sliced(start, m_pos - start);
        std::optional<int> parameter;
        if (m_pos < m_in.size() && (m_in[m_pos] == '-' || isDigit(m_in[m_pos]))) {
            const bool negative = m_in[m_pos] == '-';
            if (negative)
                ++m_pos;
            qint64 value = 0;
            bool digits = false;
            while (m_pos < m_in.size() && isDigit(m_in[m_pos])) {
                // Numbers beyond 32 bits are clamped, not wrapped.
                value = std::min<qint64>(value * 10 + (m_in[m_pos] - '0'), qint64(1) << 32);
                digits = true;
                ++m_pos;
            }
            if (digits)
                parameter = int(std::clamp<qint64>(negative ? -value : value, INT_MIN, INT_MAX));
        }
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos;
        controlWord(word, parameter);
    }

    void controlSymbol(char c)
    {
        switch (c) {
        case '\'': {
            if (m_pos + 1 < m_in.size() && isHexDigit(m_in[m_pos]) && isHexDigit(m_in[m_pos + 1]))
                byte(uchar(hexValue(m_in[m_pos]) * 16 + hexValue(m_in[m_pos + 1])));
            m_pos = std::min(m_pos + 2, m_in.size());
            return;
        }
        case '*':
            if (group().fresh)
                group().star = true;
            return;
        case '\\':
        case '{':
        case '}':
            character(QString(QLatin1Char(c)));
            return;
        case '~':
            character(u"\u00A0"_s);
            return;
        case '_':
            character(u"\u2011"_s);
            return;
        case '\r':
        case '\n':
            paragraph();
            return;
        default: // \- optional hyphen, \| \: and the like carry no text
            return;
        }
    }

    // A control word at the start of a group that names its destination; true when it did.
    bool destination(Kw kw, bool star)
    {
        Group& g = group();
        switch (kw) {
        case Kw::FontTable:
            g.dest = Dest::FontTable;
            return true;
        case Kw::ColorTable:
            g.dest = Dest::ColorTable;
            m_colors.clear();
            m_colorEntry = -1;
            return true;
        case Kw::Field:
            m_fields.push_back({m_stack.size(), QString(), Link{m_nextFieldId++, QString()}});
            g.field = int(m_fields.size()) - 1;
            return true;
        case Kw::FieldInstruction:
            g.dest = g.field >= 0 && !m_fromHtml ? Dest::Instruction : Dest::Skip;
            return true;
        case Kw::FieldResult:
            if (g.field >= 0 && !m_fromHtml)
                g.link = resolveLink(m_fields[size_t(g.field)]) ? g.field : -1;
            return true;
        case Kw::Picture:
            if (m_fromHtml || g.dest != Dest::Text) {
                g.dest = Dest::Skip;
                return true;
            }
            g.dest = Dest::Picture;
            if (m_picture.depth == 0) {
                m_picture = Picture{};
                m_picture.depth = m_stack.size();
            }
            return true;
        case Kw::ShapePicture: // holds the \pict of a picture; readers of old RTF skip it
            if (m_fromHtml)
                g.dest = Dest::Skip;
            return true;
        case Kw::ListText:
            if (!m_fromHtml && g.dest == Dest::Text)
                g.dest = Dest::ListText;
            return true;
        case Kw::Object:
            g.dest = m_fromHtml ? Dest::Skip : Dest::Object;
            return true;
        case Kw::ObjectResult:
            if (g.dest == Dest::Object)
                g.dest = Dest::Text;
            return true;
        case Kw::NonShapePicture:
        case Kw::Skipped:
            g.dest = Dest::Skip;
            return true;
        default:
            if (star) {
                g.dest = Dest::Skip;
                return true;
            }
            return false;
        }
    }

    void controlWord(QByteArrayView word, std::optional<int> parameter)
    {
        flushBytes();
        // A tag of encapsulated HTML, most groups of a message: known without a lookup.
        if (Group& g = group(); g.fresh && g.star && sameBytes(word, "htmltag")) {
            g.star = false;
            htmlTagGroup();
            return;
        }
        const Kw* kw = keywords().find(word);
        if (group().fresh && startsGroup(kw))
            return;
        if (!kw) {
            if (word.startsWith("brdr"))
                m_rowBordered = true;
            return;
        }
        // Destination words that did not start a group do nothing.
        if (documentWord(*kw, parameter) || fontOrColorWord(*kw, parameter) ||
            paragraphWord(*kw, word, parameter) || characterWord(*kw, parameter))
            return;
        pictureWord(*kw, parameter);
    }

    // The first control word of a group, which may name the group's destination; true when it
    // did. kw: the word's meaning, null for a word the reader does not know.
    bool startsGroup(const Kw* kw)
    {
        Group& g = group();
        const bool star = g.star;
        g.star = false;
        if (!kw) {
            // An optional destination the reader does not know holds no text of the document.
            if (star)
                g.dest = Dest::Skip;
            return star;
        }
        return destination(*kw, star);
    }

    // {\*\htmltagN ...}: tags of encapsulated HTML; in any other RTF they are no text.
    void htmlTagGroup()
    {
        Group& g = group();
        if (!m_fromHtml) {
            g.dest = Dest::Skip;
            return;
        }
        g.htmltag = true;
        g.htmlrtf = false;
        if (!m_seenTag) {
            m_seenTag = true;
            endHeaderParagraph();
        }
    }

    // Words about the document as a whole: binary data, Unicode, encapsulated HTML, code pages.
    bool documentWord(Kw kw, std::optional<int> parameter)
    {
        Group& g = group();
        switch (kw) {
        case Kw::Bin:
            if (parameter && *parameter > 0) {
                // Binary data (of a picture): bytes, not text or groups.
                const qsizetype length = std::min<qsizetype>(*parameter, m_in.size() - m_pos);
                if (g.dest == Dest::Picture)
                    m_picture.data += m_in.sliced(m_pos, length);
                m_pos += length;
            }
            return true;
        case Kw::Unicode:
            if (parameter)
                unicode(char16_t(*parameter));
            return true;
        case Kw::UnicodeSkip:
            if (parameter)
                g.uc = std::max(0, *parameter);
            return true;
        case Kw::HtmlRtf:
            g.htmlrtf = !parameter || *parameter != 0;
            return true;
        case Kw::FromHtml:
            m_fromHtml = true;
            // The HTML is about as long as the RTF that encapsulates it.
            m_out.reserve(m_in.size());
            return true;
        case Kw::AnsiCodePage:
            if (parameter)
                setDefaultCodePage(*parameter);
            return true;
        case Kw::Mac:
            setDefaultCodePage(10000);
            return true;
        case Kw::Pc:
            setDefaultCodePage(437);
            return true;
        case Kw::Pca:
            setDefaultCodePage(850);
            return true;
        default:
            return false;
        }
    }

    // Words of the font and colour tables, and the choice of a font.
    bool fontOrColorWord(Kw kw, std::optional<int> parameter)
    {
        Group& g = group();
        switch (kw) {
        case Kw::DefaultFont:
            if (parameter) {
                m_defaultFont = *parameter;
                ++m_fontsVersion;
            }
            return true;
        case Kw::Font:
            if (!parameter)
                return true;
            if (g.dest == Dest::FontTable) {
                m_fontEntry = *parameter;
                m_fonts[m_fontEntry] = Font{};
                ++m_fontsVersion;
            } else {
                g.font = *parameter;
            }
            return true;
        case Kw::FontCharset:
        case Kw::FontCodePage:
            if (g.dest == Dest::FontTable && parameter && m_fonts.contains(m_fontEntry)) {
                Font& font = m_fonts[m_fontEntry];
                (kw == Kw::FontCharset ? font.charset : font.codePage) = *parameter;
                ++m_fontsVersion;
            }
            return true;
        case Kw::Red:
        case Kw::Green:
        case Kw::Blue:
            if (g.dest == Dest::ColorTable && parameter) {
                const int shift = kw == Kw::Red ? 16 : kw == Kw::Green ? 8 : 0;
                m_colorEntry = std::max(0, m_colorEntry) & ~(0xFF << shift);
                m_colorEntry |= std::clamp(*parameter, 0, 255) << shift;
            }
            return true;
        default:
            return false;
        }
    }

    // Words of paragraphs, lists and tables, and the characters some words stand for.
    bool paragraphWord(Kw kw, QByteArrayView word, std::optional<int> parameter)
    {
        Group& g = group();
        const int value = parameter.value_or(1);
        switch (kw) {
        case Kw::Paragraph:
            paragraph();
            return true;
        case Kw::Line:
            if (m_fromHtml || g.dest != Dest::Text)
                paragraph();
            else if (!g.hidden)
                m_html.lineBreak();
            return true;
        case Kw::Tab:
            character(u"\t"_s);
            return true;
        case Kw::Symbol:
            character(symbolFor(word));
            return true;
        case Kw::Cell:
        case Kw::NestedCell:
            if (!m_fromHtml && g.dest == Dest::Text)
                m_html.endCell(g.paragraph);
            return true;
        case Kw::Row:
            if (!m_fromHtml && g.dest == Dest::Text)
                m_html.endRow(m_rowBordered);
            return true;
        case Kw::NestedRow:
            return true;
        case Kw::RowDefaults:
            m_rowBordered = false;
            return true;
        case Kw::InTable:
            g.paragraph.inTable = true;
            return true;
        case Kw::ParagraphDefaults:
            g.paragraph = ParagraphStyle{};
            return true;
        case Kw::AlignLeft:
            g.paragraph.align = Align::Left;
            return true;
        case Kw::AlignCenter:
            g.paragraph.align = Align::Center;
            return true;
        case Kw::AlignRight:
            g.paragraph.align = Align::Right;
            return true;
        case Kw::AlignJustify:
            g.paragraph.align = Align::Justify;
            return true;
        case Kw::ListNumber:
            g.paragraph.list = value > 0;
            return true;
        case Kw::ListLevel:
            g.paragraph.level = std::clamp(value, 0, 8);
            return true;
        default:
            return false;
        }
    }

    // Words of character formatting.
    bool characterWord(Kw kw, std::optional<int> parameter)
    {
        Group& g = group();
        const int value = parameter.value_or(1);
        const bool on = !parameter || *parameter != 0;
        switch (kw) {
        case Kw::Plain:
            g.style = TextStyle{};
            g.color = 0;
            g.font = -1;
            g.hidden = false;
            return true;
        case Kw::Bold:
            g.style.bold = on;
            return true;
        case Kw::Italic:
            g.style.italic = on;
            return true;
        case Kw::Underline:
            g.style.underline = on;
            return true;
        case Kw::UnderlineNone:
            g.style.underline = false;
            return true;
        case Kw::Strike:
            g.style.strike = on;
            return true;
        case Kw::Hidden:
            g.hidden = on;
            return true;
        case Kw::Superscript:
            g.style.vertical = 1;
            return true;
        case Kw::Subscript:
            g.style.vertical = -1;
            return true;
        case Kw::NoSuperSub:
            g.style.vertical = 0;
            return true;
        case Kw::FontSize:
            g.style.halfPoints = value > 0 ? std::min(value, 3276) : TextStyle().halfPoints;
            return true;
        case Kw::Color:
            g.color = std::max(0, value);
            return true;
        default:
            return false;
        }
    }

    // Words of a picture: its size on the page and its format.
    void pictureWord(Kw kw, std::optional<int> parameter)
    {
        const int value = parameter.value_or(1);
        switch (kw) {
        case Kw::PictureWidthGoal:
            m_picture.widthGoal = value;
            return;
        case Kw::PictureHeightGoal:
            m_picture.heightGoal = value;
            return;
        case Kw::PictureScaleX:
            m_picture.scaleX = value;
            return;
        case Kw::PictureScaleY:
            m_picture.scaleY = value;
            return;
        case Kw::PngBlip:
            m_picture.mimeType = "image/png";
            return;
        case Kw::JpegBlip:
            m_picture.mimeType = "image/jpeg";
            return;
        default: // \brdrnone and the like, and destination words that did not start a group
            return;
        }
    }

    void setDefaultCodePage(int codePage)
    {
        m_defaultCodePage = isKnownCodePage(codePage) ? codePage : 1252;
        ++m_fontsVersion;
    }

    Charset charsetOf(int fontNumber)
    {
        if (fontNumber == m_charsetFont && m_fontsVersion == m_charsetVersion)
            return m_charset;
        Charset charset{m_defaultCodePage, Symbols::None};
        const auto it = m_fonts.constFind(fontNumber < 0 ? m_defaultFont : fontNumber);
        if (it != m_fonts.constEnd()) {
            int codePage = isKnownCodePage(it->codePage) ? it->codePage : 0;
            if (codePage == 0 && it->charset >= 0)
                codePage = codePageOfCharset(it->charset);
            if (codePage != 0 && isKnownCodePage(codePage))
                charset.codePage = codePage;
            charset.symbols = symbolsOf(QByteArrayView(it->name).trimmed());
        }
        m_charsetFont = fontNumber;
        m_charsetVersion = m_fontsVersion;
        m_charset = charset;
        return charset;
    }

    // A fallback character of a \uN is skipped.
    bool skipped()
    {
        if (m_ucSkip <= 0)
            return false;
        --m_ucSkip;
        return true;
    }

    // The end of the run of plain text from start on: the first "{", "}", "\\", CR or LF, or the
    // end. Bytes outside ASCII do not end it; ascii is made false where one is in it.
    qsizetype runEnd(qsizetype start, bool& ascii) const
    {
        const auto stops = [](const char* p) {
            const char c = *p;
            return (c == '{') | (c == '}') | (c == '\\') | (c == '\r') | (c == '\n') | (c < 0);
        };
        const char* const data = m_in.data();
        const qsizetype size = m_in.size();
        qsizetype end = start;
        for (;; ++end) {
            end = nextWhere(data, size, end, stops);
            if (end == size || uchar(data[end]) < 0x80)
                return end;
            ascii = false;
        }
    }

    // "\htmlrtf \par \htmlrtf0 ", the paragraph break of the RTF side alone that the writer puts
    // after every block of encapsulated HTML, read at once where the backslash before it was:
    // word by word, after the first tag, it ends with the RTF side's text off and nothing
    // written. True when it was one; nothing is read when it was not.
    bool rtfOnlyBreak()
    {
        static constexpr QByteArrayView words = "htmlrtf \\par \\htmlrtf0 ";
        // After "\*" the first word would name the group's destination.
        if (!m_seenTag || group().star || !m_in.sliced(m_pos).startsWith(words))
            return false;
        flushBytes();
        group().htmlrtf = false;
        m_pos += words.size();
        return true;
    }

    // {\*\htmltagN text} with text that is ASCII and holds no control, in encapsulated HTML after
    // its first tag: most groups of a message, read here at once. It does what the group read
    // piece by piece does there (opened, made a tag group, its text put into the HTML as it is,
    // closed); true when it was one. Nothing is read when it was not.
    bool plainTagGroup()
    {
        static constexpr QByteArrayView opening = "\\*\\htmltag";
        // A tag seen means encapsulated HTML; groups nested deeper than kMaxDepth (which share
        // the deepest) are read piece by piece.
        if (!m_seenTag || m_stack.empty() || m_stack.size() >= kMaxDepth || !m_bytes.isEmpty())
            return false;
        // Its closing ends no picture or field: those belong to the groups around it.
        if (group().dest != Dest::Text || charsetOf(group().font).symbols != Symbols::None)
            return false;
        if (!m_in.sliced(m_pos).startsWith(opening))
            return false;
        const qsizetype size = m_in.size();
        qsizetype p = m_pos + opening.size();
        if (p < size && isLetter(m_in[p]))
            return false;
        if (p < size && (m_in[p] == '-' || isDigit(m_in[p]))) {
            if (m_in[p] == '-')
                ++p;
            while (p < size && isDigit(m_in[p]))
                ++p;
        }
        if (p < size && m_in[p] == ' ')
            ++p;
        bool ascii = true;
        const qsizetype end = runEnd(p, ascii);
        if (end == size || m_in[end] != '}' || !ascii)
            return false;
        m_out += QLatin1StringView(m_in.sliced(p, end - p));
        m_pos = end + 1;
        m_ucSkip = 0;
        return true;
    }

    // The run of plain text that starts at start; m_pos goes past it.
    void text(qsizetype start)
    {
        bool ascii = uchar(m_in[start]) < 0x80;
        const qsizetype end = runEnd(start + 1, ascii);
        m_pos = end;
        const Dest dest = group().dest;
        const bool letters =
            dest == Dest::Text || dest == Dest::Instruction || dest == Dest::ListText;
        qsizetype i = start;
        // Bytes of a font of letters go to the decoder at once; the rest byte by byte.
        while (i < end && (m_ucSkip > 0 || !letters))
            byte(uchar(m_in[i++]));
        if (i == end)
            return;
        const Charset charset = charsetOf(group().font);
        if (charset.symbols != Symbols::None) {
            while (i < end)
                byte(uchar(m_in[i++]));
            return;
        }
        const QByteArrayView run = m_in.sliced(i, end - i);
        if (m_bytes.isEmpty() && toHtmlAsIs(run, ascii))
            return;
        if (!m_bytes.isEmpty() && m_bytesCodePage != charset.codePage)
            flushBytes();
        m_bytesCodePage = charset.codePage;
        m_bytes += run;
    }

    // Puts bytes read now straight into the HTML when they are ASCII text of the encapsulated
    // HTML, most of a message (every code page read here keeps ASCII as it is); false for other
    // bytes, which take the decoder's road. ascii: whether the bytes are known to be ASCII.
    bool toHtmlAsIs(QByteArrayView bytes, bool ascii)
    {
        const Group& g = group();
        if (!m_fromHtml || g.dest != Dest::Text || g.htmlrtf || !(ascii || isAscii(bytes)))
            return false;
        m_out += QLatin1StringView(bytes);
        return true;
    }

    // One byte of text in the current font's code page.
    void byte(uchar b)
    {
        if (skipped())
            return;
        Group& g = group();
        switch (g.dest) {
        case Dest::Skip:
        case Dest::Object:
            return;
        case Dest::FontTable:
            fontTableByte(b);
            return;
        case Dest::ColorTable:
            if (b == ';') {
                m_colors.append(m_colorEntry);
                m_colorEntry = -1;
            }
            return;
        case Dest::Picture:
            pictureByte(b);
            return;
        case Dest::Text:
        case Dest::Instruction:
        case Dest::ListText:
            break;
        }
        const Charset charset = charsetOf(g.font);
        if (charset.symbols != Symbols::None) {
            flushBytes();
            const char16_t c = symbolCharacter(charset.symbols, b);
            // As Windows does: a picture without a character of its own is a private one.
            emitText(QString(QChar(c ? c : char16_t(0xF000 + b))));
            return;
        }
        if (!m_bytes.isEmpty() && m_bytesCodePage != charset.codePage)
            flushBytes();
        m_bytesCodePage = charset.codePage;
        m_bytes += char(b);
    }

    void fontTableByte(uchar b)
    {
        if (!m_fonts.contains(m_fontEntry))
            return;
        Font& font = m_fonts[m_fontEntry];
        if (font.named)
            return;
        if (b == ';') {
            font.named = true;
            // Outlook quotes some names ("Calibri").
            font.name = QByteArrayView(font.name).trimmed().toByteArray();
            if (font.name.size() >= 2 && font.name.startsWith('"') && font.name.endsWith('"'))
                font.name = font.name.mid(1, font.name.size() - 2);
            ++m_fontsVersion;
        } else if (font.name.size() < kMaxFontName) {
            font.name += char(b);
        }
    }

    void pictureByte(uchar b)
    {
        if (!isHexDigit(char(b)))
            return;
        const int v = hexValue(char(b));
        if (m_picture.nibble < 0) {
            m_picture.nibble = v;
        } else {
            m_picture.data += char(m_picture.nibble * 16 + v);
            m_picture.nibble = -1;
        }
    }

    void endPicture()
    {
        Picture picture = std::exchange(m_picture, Picture{});
        const Group& g = group();
        if (m_fromHtml || g.dest != Dest::Text || g.hidden || picture.mimeType.isEmpty())
            return;
        // Only what a browser shows: a PNG or JPEG file, whole from its signature.
        const bool png =
            picture.mimeType == "image/png" && picture.data.startsWith("\x89PNG\r\n\x1A\n");
        const bool jpeg =
            picture.mimeType == "image/jpeg" && picture.data.startsWith("\xFF\xD8\xFF");
        if (!png && !jpeg)
            return;
        // Twips to pixels (15 a pixel), scaled in percent.
        const auto pixels = [](int twips, int scale) {
            const qint64 px = qint64(twips) * std::max(1, scale) / 100 / 15;
            return px > 0 ? int(std::min<qint64>(px, kMaxPictureSide)) : 0;
        };
        m_html.picture(picture.mimeType, picture.data, pixels(picture.widthGoal, picture.scaleX),
                       pixels(picture.heightGoal, picture.scaleY), styleOf(g), linkOf(g));
    }

    void unicode(char16_t c)
    {
        flushBytes();
        Group& g = group();
        m_ucSkip = g.uc;
        if (g.dest != Dest::Text && g.dest != Dest::Instruction && g.dest != Dest::ListText)
            return;
        // A symbol font's pictures sit at U+F020 to U+F0FF.
        if (c >= 0xF020 && c <= 0xF0FF) {
            const Symbols symbols = charsetOf(g.font).symbols;
            if (const char16_t mapped = symbolCharacter(symbols, uchar(c - 0xF000)))
                c = mapped;
        }
        emitText(QString(QChar(c)));
    }

    // A character that a control word stands for; it counts as a fallback character.
    void character(const QString& s)
    {
        if (skipped())
            return;
        flushBytes();
        emitText(s);
    }

    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        if (!toHtmlAsIs(m_bytes, false))
            emitText(m_decoders.decode(m_bytesCodePage, m_bytes));
        m_bytes.clear();
    }

    TextStyle styleOf(const Group& g) const
    {
        TextStyle style = g.style;
        if (g.color > 0 && g.color < m_colors.size())
            style.color = m_colors[g.color];
        return style;
    }

    const Link* linkOf(const Group& g) const
    {
        if (g.link < 0 || size_t(g.link) >= m_fields.size())
            return nullptr;
        return &m_fields[size_t(g.link)].link;
    }

    bool resolveLink(Field& field)
    {
        if (!field.resolved) {
            field.resolved = true;
            field.link.href = hyperlinkOf(field.instruction);
            field.instruction.clear();
        }
        return !field.link.href.isEmpty();
    }

    void paragraph()
    {
        flushBytes();
        const Group& g = group();
        if (g.dest != Dest::Text && g.dest != Dest::ListText)
            return;
        if (!m_fromHtml && g.hidden)
            return;
        if (g.htmlrtf) {
            if (!m_seenTag && !g.htmltag)
                endHeaderParagraph();
        } else if (m_fromHtml) {
            m_out += kCrLf;
        }
        if (!m_fromHtml && g.dest == Dest::Text)
            m_html.endParagraph(g.paragraph);
    }

    void emitText(const QString& s)
    {
        const Group& g = group();
        if (s.isEmpty())
            return;
        switch (g.dest) {
        case Dest::Instruction:
            if (g.field >= 0)
                m_fields[size_t(g.field)].instruction += s;
            return;
        case Dest::ListText:
            m_html.listMarker(s);
            return;
        case Dest::Text:
            break;
        default:
            return;
        }
        if (!g.htmlrtf) {
            if (m_fromHtml)
                m_out += s;
            else if (!g.hidden)
                m_html.text(s, styleOf(g), linkOf(g));
        } else if (!m_seenTag && !g.htmltag) {
            // Text for the RTF side only, ahead of the HTML: the header block.
            m_headerParagraph += s;
        }
    }

    void endHeaderParagraph()
    {
        const QString paragraph = m_headerParagraph.trimmed();
        if (!paragraph.isEmpty())
            m_header.append(paragraph);
        m_headerParagraph.clear();
    }

    Document finish()
    {
        flushBytes();
        endHeaderParagraph();
        Document doc;
        doc.header = m_header;
        if (m_fromHtml && m_seenTag) {
            doc.html = m_out.take();
            doc.fromHtml = true;
        } else if (m_fromHtml) {
            // Text only: each line a line of the page.
            QString body = m_out.take().trimmed().toHtmlEscaped().replace(u'\'', "&#39;"_L1);
            body.replace(kCrLf, u"<br>\r\n"_s);
            doc.html = u"<html><head></head><body><p>"_s + body + u"</p></body></html>"_s;
        } else {
            doc.html = m_html.finish(m_stack.empty() ? m_lastParagraph : group().paragraph);
        }
        return doc;
    }

    const QByteArrayView m_in;
    qsizetype m_pos = 0;
    std::vector<Group> m_stack;
    size_t m_sharedDepth = 0; // groups opened beyond kMaxDepth and not yet closed
    int m_ucSkip = 0;
    bool m_fromHtml = false;
    bool m_seenTag = false;

    // Character sets.
    Decoders m_decoders;
    QByteArray m_bytes; // bytes of text not yet decoded, all in m_bytesCodePage
    int m_bytesCodePage = 1252;
    int m_defaultCodePage = 1252;
    int m_defaultFont = 0;
    QHash<int, Font> m_fonts;
    int m_fontEntry = -1;
    int m_fontsVersion = 0; // counts changes of the fonts, for the cache below
    int m_charsetFont = INT_MIN;
    int m_charsetVersion = -1;
    Charset m_charset;

    // Tables, fields and pictures.
    QList<int> m_colors;
    int m_colorEntry = -1;
    std::vector<Field> m_fields;
    int m_nextFieldId = 0;
    Picture m_picture;
    bool m_rowBordered = false;

    // Encapsulated HTML and the header block ahead of it.
    HtmlOut m_out;
    QStringList m_header;
    QString m_headerParagraph;

    // The rendering of native RTF.
    HtmlWriter m_html;
    ParagraphStyle m_lastParagraph;
};

} // namespace

std::optional<Document> read(QByteArrayView rtf)
{
    return RtfReader(rtf).read();
}

} // namespace lorvo::rtf
