#include "shared/rtf/reader.h"

#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <cctype>
#include <vector>

using namespace Qt::StringLiterals;

namespace lorvo::rtf {

namespace {

const QString kCrLf = u"\r\n"_s;

// The decoder of a Windows code page number as \ansicpgN names it.
QStringDecoder decoderFor(int codePage)
{
    QByteArray name;
    switch (codePage) {
    case 65001:
        name = "UTF-8";
        break;
    case 10000:
        name = "macintosh";
        break;
    case 437:
    case 850:
    case 852:
    case 866:
        name = "IBM" + QByteArray::number(codePage);
        break;
    default:
        name = "windows-" + QByteArray::number(codePage);
        break;
    }
    QStringDecoder decoder(name.constData());
    if (!decoder.isValid())
        decoder = QStringDecoder("windows-1252");
    // A Qt without code page tables still knows Latin-1, the bulk of Windows-1252.
    if (!decoder.isValid())
        decoder = QStringDecoder(QStringConverter::Latin1);
    return decoder;
}

// Destinations whose content is no text of the document.
bool isSkippedDestination(const QByteArray& word)
{
    static const QList<QByteArray> skipped = {
        "fonttbl",   "colortbl",     "stylesheet", "info",     "pict",      "object",
        "header",    "headerl",      "headerr",    "headerf",  "footer",    "footerl",
        "footerr",   "footerf",      "footnote",   "fldinst",  "listtable", "listoverridetable",
        "revtbl",    "rsidtbl",      "generator",  "xmlnstbl", "themedata", "colorschememapping",
        "datastore", "latentstyles", "mhtmltag",   "filetbl",  "pgdsctbl",  "bkmkstart",
        "bkmkend",   "txe",          "xe",         "tc",       "private",   "userprops"};
    return skipped.contains(word);
}

// Characters some control words stand for.
QString symbolFor(const QByteArray& word)
{
    static const QHash<QByteArray, QString> symbols = {
        {"lquote", u"\u2018"_s},    {"rquote", u"\u2019"_s},  {"ldblquote", u"\u201C"_s},
        {"rdblquote", u"\u201D"_s}, {"bullet", u"\u2022"_s},  {"endash", u"\u2013"_s},
        {"emdash", u"\u2014"_s},    {"emspace", u"\u2003"_s}, {"enspace", u"\u2002"_s},
        {"qmspace", u"\u2005"_s},   {"zwj", u"\u200D"_s},     {"zwnj", u"\u200C"_s}};
    return symbols.value(word);
}

class RtfReader
{
public:
    explicit RtfReader(QByteArrayView rtf) : m_in(rtf), m_decoder(decoderFor(1252)) {}

    std::optional<Document> read()
    {
        if (!m_in.startsWith("{\\rtf"))
            return std::nullopt;
        while (m_pos < m_in.size()) {
            const char c = m_in.at(m_pos++);
            switch (c) {
            case '{':
                flushBytes();
                m_ucSkip = 0;
                m_stack.push_back(m_stack.empty() ? Group{} : m_stack.back());
                m_stack.back().fresh = true;
                continue;
            case '}':
                flushBytes();
                m_ucSkip = 0;
                if (m_stack.empty())
                    return std::nullopt;
                m_stack.pop_back();
                if (m_stack.empty())
                    return finish();
                continue;
            case '\\':
                if (m_stack.empty())
                    return std::nullopt;
                controlSequence();
                // "\*" leaves the group open for the destination word that follows.
                if (!m_stack.empty() && m_stack.back().star)
                    continue;
                break;
            case '\r':
            case '\n':
                continue;
            default:
                if (m_stack.empty())
                    return std::nullopt;
                byte(uchar(c));
                break;
            }
            m_stack.back().fresh = false;
        }
        // The document's group never closed: a cut-off file.
        return std::nullopt;
    }

private:
    struct Group
    {
        bool htmlrtf = false;
        bool skip = false;
        bool htmltag = false;
        bool fresh = false; // nothing read yet in this group: a destination may follow
        bool star = false;  // "\*" read at the start: an optional destination follows
        int uc = 1;
    };

    Group& group() { return m_stack.back(); }

    void controlSequence()
    {
        if (m_pos >= m_in.size())
            return;
        const char c = m_in.at(m_pos);
        if (!std::isalpha(uchar(c))) {
            ++m_pos;
            controlSymbol(c);
            return;
        }
        const qsizetype start = m_pos;
        while (m_pos < m_in.size() && std::isalpha(uchar(m_in.at(m_pos))))
            ++m_pos;
        const QByteArray word = m_in.sliced(start, m_pos - start).toByteArray();
        std::optional<int> parameter;
        const qsizetype numberStart = m_pos;
        if (m_pos < m_in.size() && m_in.at(m_pos) == '-')
            ++m_pos;
        while (m_pos < m_in.size() && std::isdigit(uchar(m_in.at(m_pos))))
            ++m_pos;
        if (m_pos > numberStart) {
            bool ok = false;
            const int value = m_in.sliced(numberStart, m_pos - numberStart).toInt(&ok);
            if (ok)
                parameter = value;
        }
        if (m_pos < m_in.size() && m_in.at(m_pos) == ' ')
            ++m_pos;
        controlWord(word, parameter);
    }

    void controlSymbol(char c)
    {
        switch (c) {
        case '\'': {
            const QByteArrayView hex =
                m_in.sliced(m_pos, std::min<qsizetype>(2, m_in.size() - m_pos));
            m_pos += hex.size();
            bool ok = false;
            const uint value = hex.toUInt(&ok, 16);
            if (ok)
                byte(uchar(value));
            return;
        }
        case '*':
            if (group().fresh)
                group().star = true;
            return;
        case '\\':
        case '{':
        case '}':
            text(QString(QLatin1Char(c)));
            return;
        case '~':
            text(u"\u00A0"_s);
            return;
        case '_':
            text(u"\u2011"_s);
            return;
        case '\r':
        case '\n':
            paragraph();
            return;
        default: // \- optional hyphen, \| \: and the like carry no text
            return;
        }
    }

    void controlWord(const QByteArray& word, std::optional<int> parameter)
    {
        flushBytes();
        Group& g = group();
        if (g.fresh) {
            const bool star = g.star;
            g.star = false;
            if (word == "htmltag" && star) {
                g.htmltag = true;
                g.htmlrtf = false;
                if (!m_seenTag) {
                    m_seenTag = true;
                    endHeaderParagraph();
                }
                return;
            }
            if (star || isSkippedDestination(word)) {
                g.skip = true;
                return;
            }
        }
        if (word == "bin" && parameter) {
            // Binary data (of a picture): bytes, not text or groups.
            m_pos = std::min(m_in.size(), m_pos + qsizetype(std::max(0, *parameter)));
        } else if (word == "u" && parameter) {
            const int value = *parameter < 0 ? *parameter + 65536 : *parameter;
            text(QString(QChar(char16_t(value))));
            m_ucSkip = g.uc;
        } else if (word == "uc" && parameter) {
            g.uc = std::max(0, *parameter);
        } else if (word == "htmlrtf") {
            g.htmlrtf = !parameter || *parameter != 0;
        } else if (word == "fromhtml") {
            m_fromHtml = true;
        } else if (word == "ansicpg" && parameter) {
            m_decoder = decoderFor(*parameter);
        } else if (word == "mac") {
            m_decoder = decoderFor(10000);
        } else if (word == "pc") {
            m_decoder = decoderFor(437);
        } else if (word == "pca") {
            m_decoder = decoderFor(850);
        } else if (word == "par" || word == "line" || word == "sect" || word == "page") {
            paragraph();
        } else if (word == "tab") {
            text(u"\t"_s);
        } else if (const QString symbol = symbolFor(word); !symbol.isEmpty()) {
            text(symbol);
        }
    }

    // One byte of text in the document's code page; a fallback byte after \uN is skipped.
    void byte(uchar b)
    {
        if (m_ucSkip > 0) {
            --m_ucSkip;
            return;
        }
        if (group().skip)
            return;
        m_bytes += char(b);
    }

    void flushBytes()
    {
        if (m_bytes.isEmpty())
            return;
        const QString decoded = m_decoder.decode(m_bytes);
        m_bytes.clear();
        emitText(decoded);
    }

    void text(const QString& s)
    {
        flushBytes();
        emitText(s);
    }

    void paragraph()
    {
        flushBytes();
        const Group& g = group();
        if (g.skip)
            return;
        if (g.htmlrtf) {
            if (!m_seenTag && !g.htmltag)
                endHeaderParagraph();
            return;
        }
        m_out += kCrLf;
    }

    void emitText(const QString& s)
    {
        const Group& g = group();
        if (g.skip || s.isEmpty())
            return;
        if (!g.htmlrtf) {
            m_out += s;
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
            doc.html = m_out;
            doc.fromHtml = true;
        } else {
            // Text only: each line a line of the page.
            QString body = m_out.trimmed().toHtmlEscaped().replace(u'\'', "&#39;"_L1);
            body.replace(kCrLf, u"<br>\r\n"_s);
            doc.html = u"<html><head></head><body><p>"_s + body + u"</p></body></html>"_s;
        }
        return doc;
    }

    const QByteArrayView m_in;
    qsizetype m_pos = 0;
    QStringDecoder m_decoder;
    std::vector<Group> m_stack;
    QByteArray m_bytes;
    int m_ucSkip = 0;
    bool m_fromHtml = false;
    bool m_seenTag = false;
    QString m_out;
    QStringList m_header;
    QString m_headerParagraph;
};

} // namespace

std::optional<Document> read(QByteArrayView rtf)
{
    return RtfReader(rtf).read();
}

} // namespace lorvo::rtf
