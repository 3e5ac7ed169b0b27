#include "archive/wordprocessor.h"

#include "archive/encoding.h"
#include "shared/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringDecoder>
#include <cctype>
#include <vector>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

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
    explicit RtfReader(const QByteArray& rtf) : m_in(rtf), m_decoder(decoderFor(1252)) {}

    std::optional<DecapsulatedRtf> read()
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
        const QByteArray word = m_in.mid(start, m_pos - start);
        std::optional<int> parameter;
        const qsizetype numberStart = m_pos;
        if (m_pos < m_in.size() && m_in.at(m_pos) == '-')
            ++m_pos;
        while (m_pos < m_in.size() && std::isdigit(uchar(m_in.at(m_pos))))
            ++m_pos;
        if (m_pos > numberStart) {
            bool ok = false;
            const int value = m_in.mid(numberStart, m_pos - numberStart).toInt(&ok);
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
            const QByteArray hex = m_in.mid(m_pos, 2);
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

    DecapsulatedRtf finish()
    {
        flushBytes();
        endHeaderParagraph();
        DecapsulatedRtf doc;
        doc.header = m_header;
        if (m_fromHtml && m_seenTag) {
            doc.html = m_out;
        } else {
            // Text only: each line a line of the page.
            QString body = htmlEscape(m_out.trimmed());
            body.replace(kCrLf, u"<br>\r\n"_s);
            doc.html = u"<html><head></head><body><p>"_s + body + u"</p></body></html>"_s;
        }
        return doc;
    }

    const QByteArray m_in;
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

// The inside of the source's <body> (everything when it has none) and its <style> elements.
struct HtmlParts
{
    QString styles;
    QString body;
};

HtmlParts splitHtml(const QString& html)
{
    static const QRegularExpression bodyOpen(u"<body\\b[^>]*>"_s,
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression headPart(u"<head\\b[^>]*>.*?</head\\s*>"_s,
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression style(u"<style\\b[^>]*>.*?</style\\s*>"_s,
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression wrapper(u"</?(html|body)\\b[^>]*>"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    HtmlParts parts;
    QString head;
    const auto open = bodyOpen.match(html);
    if (open.hasMatch()) {
        head = html.left(open.capturedStart());
        qsizetype end = html.lastIndexOf("</body"_L1, -1, Qt::CaseInsensitive);
        if (end < open.capturedEnd())
            end = html.size();
        parts.body = html.mid(open.capturedEnd(), end - open.capturedEnd());
    } else {
        const auto h = headPart.match(html);
        head = h.hasMatch() ? h.captured() : QString();
        parts.body = html;
        if (h.hasMatch())
            parts.body.remove(h.capturedStart(), h.capturedLength());
        parts.body.remove(wrapper);
    }
    auto it = style.globalMatch(head);
    while (it.hasNext())
        parts.styles += it.next().captured() + kCrLf;
    return parts;
}

QString extensionForMime(const QString& mime)
{
    const QString type = mime.toLower();
    if (type == "image/jpeg"_L1 || type == "image/jpg"_L1)
        return u"jpg"_s;
    if (type == "image/svg+xml"_L1)
        return u"svg"_s;
    const QString sub = type.section(u'/', 1);
    static const QRegularExpression simple(u"^[a-z0-9]{1,8}$"_s);
    return simple.match(sub).hasMatch() ? sub : u"bin"_s;
}

void writeWhole(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(err::PathFileAccess,
                    u"Path/File access error: "_s + QDir::toNativeSeparators(path));
}

// Writes the pictures the body carries as data: URIs beside the HTML file and links them there.
QString extractPictures(const QString& body, const QString& htmlPath)
{
    static const QRegularExpression dataSrc(
        u"(<img\\b[^>]*?\\bsrc\\s*=\\s*)([\"']?)data:([a-zA-Z0-9.+-]+/[a-zA-Z0-9.+-]+)"
        "((?:;[^,;\"'>\\s]*)*),([^\"'>\\s]*)\\2"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QFileInfo info(htmlPath);
    const QString folderName = info.completeBaseName() + u"_files"_s;
    const QString folder = info.dir().filePath(folderName);
    QString out;
    qsizetype last = 0;
    int count = 0;
    auto it = dataSrc.globalMatch(body);
    while (it.hasNext()) {
        const auto m = it.next();
        const bool base64 = m.captured(4).contains(";base64"_L1, Qt::CaseInsensitive);
        const QByteArray payload = m.captured(5).toLatin1();
        const QByteArray bytes =
            base64 ? QByteArray::fromBase64(payload) : QByteArray::fromPercentEncoding(payload);
        if (bytes.isEmpty())
            continue;
        if (count == 0 && !QDir(folder).exists() && !QDir().mkpath(folder))
            throw Error(err::PathFileAccess,
                        u"Path/File access error: "_s + QDir::toNativeSeparators(folder));
        ++count;
        const QString name =
            u"image%1."_s.arg(count, 3, 10, QLatin1Char('0')) + extensionForMime(m.captured(3));
        writeWhole(folder + u'/' + name, bytes);
        out += QStringView(body).mid(last, m.capturedStart() - last);
        out += m.captured(1) + u'"' + hrefEncode(folderName + u'/' + name) + u'"';
        last = m.capturedEnd();
    }
    out += QStringView(body).mid(last);
    return out;
}

class BuiltinDocument final : public WordDocument
{
public:
    explicit BuiltinDocument(DecapsulatedRtf document) : m_document(std::move(document)) {}

    void SaveAs(const QString& path, qint32 fileFormat) override
    {
        if (m_closed)
            throw Error(err::ObjectNotSet, u"The document is closed."_s);
        if (fileFormat != wdFormatFilteredHTML)
            throw Error(err::InvalidCall, u"This file format cannot be written."_s);
        // Plain ASCII with character references: whoever reads the file, in whatever code
        // page, reads the same text.
        writeWhole(path, toAsciiHtml(filteredHtml(m_document, path)));
    }

    void Close(qint32) override { m_closed = true; }

private:
    DecapsulatedRtf m_document;
    bool m_closed = false;
};

class BuiltinWordProcessor final : public WordProcessor
{
public:
    void SetVisible(bool) override { checkRunning(); }

    std::unique_ptr<WordDocument> Open(const QString& path) override
    {
        checkRunning();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            throw Error(err::FileNotFound, u"File not found: "_s + QDir::toNativeSeparators(path));
        auto document = decapsulateRtf(file.readAll());
        if (!document)
            throw Error(err::InvalidCall, u"The document is no readable rich text: "_s +
                                              QDir::toNativeSeparators(path));
        return std::make_unique<BuiltinDocument>(std::move(*document));
    }

    void Quit() override { m_quit = true; }

private:
    void checkRunning() const
    {
        if (m_quit)
            throw Error(err::ObjectNotSet, u"The word processor has quit."_s);
    }
    bool m_quit = false;
};

} // namespace

std::unique_ptr<WordProcessor> createBuiltinWordProcessor()
{
    return std::make_unique<BuiltinWordProcessor>();
}

std::optional<DecapsulatedRtf> decapsulateRtf(const QByteArray& rtf)
{
    return RtfReader(rtf).read();
}

QString filteredHtml(const DecapsulatedRtf& document, const QString& htmlPath)
{
    const HtmlParts parts = splitHtml(document.html);
    QString out = u"<html>\r\n\r\n<head>\r\n"
                  "<meta http-equiv=Content-Type content=\"text/html; charset=windows-1252\">\r\n"
                  "<TITLE></TITLE>\r\n"_s;
    out += parts.styles;
    out += u"</head>\r\n\r\n<body>\r\n\r\n<div class=Section1>\r\n\r\n"_s;
    for (QString paragraph : document.header) {
        paragraph.replace(u'\t', u' ');
        out += u"<p class=MsoNormal>"_s + htmlEscape(paragraph) + u"</p>\r\n\r\n"_s;
    }
    out += u"<p class=MsoNormal>&nbsp;</p>\r\n\r\n"_s;
    out += extractPictures(parts.body, htmlPath);
    out += u"\r\n\r\n</div>\r\n\r\n</body>\r\n\r\n</html>\r\n"_s;
    return out;
}

} // namespace lorvo::archive
