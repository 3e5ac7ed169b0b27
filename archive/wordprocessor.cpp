#include "archive/wordprocessor.h"

#include "archive/encoding.h"
#include "shared/error.h"
#include "shared/filesystem.h"
#include "shared/rtf/reader.h"
#include "shared/text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

// The inside of the source's <body> (everything when it has none) and its <style> elements.
// The body is a view into the source, or into rest when it had to be cut out of it: filled in
// place, never copied.
struct HtmlParts
{
    HtmlParts() = default;
    HtmlParts(const HtmlParts&) = delete;
    HtmlParts& operator=(const HtmlParts&) = delete;

    QString styles;
    QStringView body;
    QString rest;
};

// Where the first <body ...> tag of the HTML starts and ends (after its ">"); none without one,
// and none in text that is no valid UTF-16, as a regular expression finds none there.
std::optional<std::pair<qsizetype, qsizetype>> bodyOpenTag(const QString& html)
{
    if (!isValidUtf16(html))
        return std::nullopt;
    return nextTagCaseBlind(html, "<body"_L1);
}

void splitHtml(const QString& html, HtmlParts& parts)
{
    static const QRegularExpression headPart(u"<head\\b[^>]*>.*?</head\\s*>"_s,
                                             QRegularExpression::CaseInsensitiveOption |
                                                 QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression style(u"<style\\b[^>]*>.*?</style\\s*>"_s,
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression wrapper(u"</?(html|body)\\b[^>]*>"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    QString head;
    if (const auto open = bodyOpenTag(html)) {
        const auto [start, after] = *open;
        head = html.left(start);
        qsizetype end = lastIndexOfCaseBlind(html, "</body"_L1);
        if (end < after)
            end = html.size();
        parts.body = QStringView(html).sliced(after, end - after);
    } else {
        const auto h = headPart.match(html);
        head = h.hasMatch() ? h.captured() : QString();
        parts.rest = html;
        if (h.hasMatch())
            parts.rest.remove(h.capturedStart(), h.capturedLength());
        parts.rest.remove(wrapper);
        parts.body = parts.rest;
    }
    auto it = style.globalMatch(head);
    while (it.hasNext())
        parts.styles += it.next().captured() + kCrLf;
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

// Whole or not at all, and not waited for on the disk: the converted body is read back at once.
void writeWhole(const QString& path, const QByteArray& bytes)
{
    LocalFileSystem().writeFile(path, bytes);
}

// Appends the body to out, with the pictures it carries as data: URIs written beside the HTML
// file and linked there.
void appendWithPictures(QString& out, QStringView body, const QString& htmlPath)
{
    static const QRegularExpression dataSrc(
        u"(<img\\b[^>]*?\\bsrc\\s*=\\s*)([\"']?)data:([a-zA-Z0-9.+-]+/[a-zA-Z0-9.+-]+)"
        "((?:;[^,;\"'>\\s]*)*),([^\"'>\\s]*)\\2"_s,
        QRegularExpression::CaseInsensitiveOption);
    if (indexOfCaseBlind(body, "data:"_L1) < 0) {
        out += body;
        return;
    }
    const QFileInfo info(htmlPath);
    const QString folderName = info.completeBaseName() + u"_files"_s;
    const QString folder = info.dir().filePath(folderName);
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
        const QString name = pictureFileName(count, extensionForMime(m.captured(3)));
        writeWhole(folder + u'/' + name, bytes);
        out += body.mid(last, m.capturedStart() - last);
        out += m.capturedView(1) + u'"' + hrefEncode(folderName + u'/' + name) + u'"';
        last = m.capturedEnd();
    }
    out += body.mid(last);
}

class BuiltinDocument final : public WordDocument
{
public:
    explicit BuiltinDocument(rtf::Document document) : m_document(std::move(document)) {}

    void SaveAs(const QString& path, qint32 fileFormat) override
    {
        checkOpen();
        if (fileFormat != wdFormatFilteredHTML)
            throw Error(err::InvalidCall, u"This file format cannot be written."_s);
        // Plain ASCII with character references: whoever reads the file, in whatever code
        // page, reads the same text.
        writeWhole(path, toAsciiHtml(filteredHtml(m_document, path)));
    }

    std::optional<QString> filteredHtmlText(const QString& path) override
    {
        checkOpen();
        return toAsciiHtmlText(filteredHtml(m_document, path));
    }

    void Close(qint32) override { m_closed = true; }

private:
    void checkOpen() const
    {
        if (m_closed)
            throw Error(err::ObjectNotSet, u"The document is closed."_s);
    }

    rtf::Document m_document;
    bool m_closed = false;
};

class BuiltinWordProcessor final : public WordProcessor
{
public:
    void SetVisible(bool) override { checkRunning(); }

    std::unique_ptr<WordDocument> Open(const QString& path) override
    {
        checkRunning();
        const std::optional<QByteArray> bytes = LocalFileSystem::readWhole(path);
        if (!bytes)
            throw Error(err::FileNotFound, u"File not found: "_s + QDir::toNativeSeparators(path));
        return read(*bytes, QDir::toNativeSeparators(path));
    }

    std::unique_ptr<WordDocument> OpenData(const QByteArray& bytes) override
    {
        checkRunning();
        return read(bytes, {});
    }

    void Quit() override { m_quit = true; }

private:
    // The document of a file's bytes; path names the file, where there is one.
    static std::unique_ptr<WordDocument> read(const QByteArray& bytes, const QString& path)
    {
        auto document = rtf::read(bytes);
        if (!document)
            throw Error(err::InvalidCall,
                        path.isEmpty() ? u"The document is no readable rich text."_s
                                       : u"The document is no readable rich text: "_s + path);
        return std::make_unique<BuiltinDocument>(std::move(*document));
    }
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

QString pictureFileName(int index, const QString& extension)
{
    return u"image%1."_s.arg(index, 3, 10, QLatin1Char('0')) + extension;
}

QString filteredHtml(const rtf::Document& document, const QString& htmlPath)
{
    HtmlParts parts;
    splitHtml(document.html, parts);
    QString out;
    // Written once: the body is most of it.
    out.reserve(parts.body.size() + parts.styles.size() + 64 * document.header.size() + 256);
    out += "<html>\r\n\r\n<head>\r\n"
           "<meta http-equiv=Content-Type content=\"text/html; charset=windows-1252\">\r\n"
           "<TITLE></TITLE>\r\n"_L1;
    out += parts.styles;
    out += "</head>\r\n\r\n<body>\r\n\r\n<div class=Section1>\r\n\r\n"_L1;
    for (QString paragraph : document.header) {
        paragraph.replace(u'\t', u' ');
        out += "<p class=MsoNormal>"_L1 + htmlEscape(paragraph) + "</p>\r\n\r\n"_L1;
    }
    out += "<p class=MsoNormal>&nbsp;</p>\r\n\r\n"_L1;
    appendWithPictures(out, parts.body, htmlPath);
    out += "\r\n\r\n</div>\r\n\r\n</body>\r\n\r\n</html>\r\n"_L1;
    return out;
}

} // namespace lorvo::archive
