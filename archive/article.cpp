#include "archive/article.h"

#include "archive/encoding.h"
#include "archive/imaging.h"
#include "shared/error.h"
#include "shared/runtime.h"
#include "shared/text.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtEndian>
#include <algorithm>
#include <limits>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

// Characters no Windows file name may hold, in the order they are removed.
constexpr char16_t kInvalidFileNameChars[] = u"\\/?*:\"<>|";

constexpr qsizetype kMaxPathLength = 250; // a page path this long or longer is cut
constexpr qsizetype kCutPathLength = 245; // to this many characters + ".htm"
constexpr qsizetype kMinNameLength = 8;   // what a destination must leave for page names

QString removeInvalidFileNameChars(const QString& text)
{
    QString result = text;
    for (const char16_t c : std::u16string_view(kInvalidFileNameChars))
        result.remove(QChar(c));
    // Control characters are as forbidden in Windows names as the nine above.
    result.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    return result;
}

} // namespace

QString fncStripInvalidCharacters(const QString& text, const QString& identity)
{
    const QString result = removeInvalidFileNameChars(text);
    // Dots and blanks alone make no name: hidden files, or "." and ".." themselves.
    if (!std::all_of(result.begin(), result.end(),
                     [](QChar c) { return c.isSpace() || c == u'.'; }))
        return result;
    // A number between 0 and 1 in its default short decimal form, such as 0.7055475: drawn from
    // the item's identity, so that one article keeps one page and leaves no orphans behind.
    float random = 0;
    if (identity.isEmpty()) {
        random = float(QRandomGenerator::global()->generateDouble());
    } else {
        const QByteArray digest =
            QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256);
        random = float(
            QRandomGenerator(qFromLittleEndian<quint32>(digest.constData())).generateDouble());
    }
    return u"NULL_"_s + QString::number(double(random), 'g', 7);
}

namespace {

// Windows opens a device, not a file, for these names whatever their extension.
bool isReservedDeviceName(const QString& stem)
{
    static const QRegularExpression reserved(u"^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])(\\..*)?$"_s,
                                             QRegularExpression::CaseInsensitiveOption);
    return reserved.match(stem.trimmed()).hasMatch();
}

} // namespace

QString pageFileName(int namingScheme, const QString& subject, qint32 number,
                     const QString& identity)
{
    QString stem = namingScheme == 0 ? fncStripInvalidCharacters(subject.trimmed(), identity)
                                     : QString::number(number);
    if (isReservedDeviceName(stem))
        stem += u'_';
    return stem + u".htm"_s;
}

QString pageFilePath(const QString& destination, const QString& name)
{
    QString path = destination + u'/' + name;
    if (path.size() >= kMaxPathLength) {
        // Cut within the name only: a cut into the destination would put the page elsewhere.
        qsizetype keep = std::max<qsizetype>(kCutPathLength, destination.size() + 2);
        // Never split a surrogate pair.
        if (keep < path.size() && path.at(keep - 1).isHighSurrogate() &&
            keep - 1 > destination.size() + 1)
            --keep;
        path = path.left(keep) + u".htm"_s;
    }
    // The file system counts bytes in its own encoding: a name of many non-Latin characters
    // passes the path rule and still cannot be created.
    const qsizetype nameAt = destination.size() + 1;
    const QLatin1StringView extension =
        QStringView(path).endsWith(".htm"_L1) ? ".htm"_L1 : QLatin1StringView();
    QString stem = path.mid(nameAt, path.size() - nameAt - extension.size());
    const auto fits = [&] {
        return QFile::encodeName(stem + extension).size() <=
               LocalFileSystem::maxWritableNameBytes();
    };
    if (fits())
        return path;
    while (stem.size() > 1 && !fits())
        stem.chop(stem.size() >= 2 && stem.back().isLowSurrogate() ? 2 : 1);
    return path.left(nameAt) + stem + extension;
}

qsizetype maxDestinationLength()
{
    return kCutPathLength - 1 - kMinNameLength;
}

QString tocBackLink()
{
    return u"<a href='index.htm'><b>Table of Contents (index)</b></a>"_s;
}

QString styleSheetLink()
{
    return u"<LINK REL=\"STYLESHEET\" HREF=\"style.css\" TYPE=\"text/css\" />"_s;
}

QString pageHeader(const cArticle& article)
{
    return u"<h1>"_s + htmlEscape(article.Subject) + u"</h1>"_s + article.TOClink +
           u"<hr><b>Problem Type     : </b>"_s + htmlEscape(article.ProblemType) + u"<br>"_s +
           u"<b>Problem Category : </b>"_s + htmlEscape(article.ProblemCategory) +
           u"<br><hr><br>"_s;
}

namespace {

// Appends text with every "&#65535;" left out and, with sizes, the four point sizes of the page
// steps made 8.5pt: in one pass what the replacements and the removal do in turn. No match of
// one of these can overlap another's or make a new one, so the order does not matter; the
// references are looked for in the text as it was before the sizes changed, as in turn they are.
void appendPageText(QString& out, QStringView text, bool sizes)
{
    static constexpr QLatin1StringView stray = "&#65535;"_L1;
    qsizetype done = 0;
    const auto take = [&](qsizetype from, qsizetype to, QLatin1StringView instead) {
        out += text.mid(done, from - done);
        out += instead;
        done = to;
    };
    const char16_t* const data = text.utf16();
    const qsizetype n = text.size();
    // The next "&" or "." from at on (n where none is).
    const auto nextMark = [&](qsizetype from) {
        return nextWhere(data, n, from,
                         [](const char16_t* p) { return (*p == u'&') | (*p == u'.'); });
    };
    for (qsizetype at = nextMark(0); at < n; at = nextMark(at + 1)) {
        if (at < done)
            continue;
        if (data[at] == u'&') {
            if (text.mid(at, stray.size()) == stray)
                take(at, at + stray.size(), {});
            continue;
        }
        // 12.0pt, 11.0pt, 10.0pt, 9.0pt
        if (!sizes || data[at] != u'.' || text.mid(at, 4) != ".0pt"_L1)
            continue;
        if (at - 2 >= done && data[at - 2] == u'1' && data[at - 1] >= u'0' && data[at - 1] <= u'2')
            take(at - 2, at + 4, "8.5pt"_L1);
        else if (at - 1 >= done && data[at - 1] == u'9')
            take(at - 1, at + 4, "8.5pt"_L1);
    }
    out += text.mid(done);
}

// Where a page's pieces go into its body: after the first "<body>" (else after the first
// "<BODY>"), after the first "</title>" (else "</TITLE>"), each at the start when there is none;
// and every empty title ("<TITLE></TITLE>", which cannot overlap another). Found in one pass over
// the body's "<".
struct PagePlaces
{
    qsizetype afterBody = 0;
    qsizetype afterTitle = 0;
    QList<qsizetype> emptyTitles;
};

PagePlaces pagePlaces(QStringView body)
{
    static constexpr QLatin1StringView emptyTitle = "<TITLE></TITLE>"_L1;
    qsizetype firstOf[4] = {-1, -1, -1, -1};
    static constexpr QLatin1StringView tags[4] = {"<body>"_L1, "<BODY>"_L1, "</title>"_L1,
                                                  "</TITLE>"_L1};
    PagePlaces places;
    const auto first = [&](int k, qsizetype at) {
        if (firstOf[k] < 0 && body.sliced(at).startsWith(tags[k]))
            firstOf[k] = at;
    };
    const qsizetype n = body.size();
    const auto nextTag = [&](qsizetype from) {
        return nextWhere(body.utf16(), n, from, [](const char16_t* p) { return *p == u'<'; });
    };
    for (qsizetype at = nextTag(0); at + 1 < n; at = nextTag(at + 1)) {
        switch (body[at + 1].unicode()) {
        case u'b':
            first(0, at);
            break;
        case u'B':
            first(1, at);
            break;
        case u'/':
            first(2, at);
            first(3, at);
            break;
        case u'T':
            if (body.sliced(at).startsWith(emptyTitle))
                places.emptyTitles.append(at);
            break;
        default:
            break;
        }
    }
    const auto after = [&](int lower) {
        const int k = firstOf[lower] >= 0 ? lower : lower + 1;
        return firstOf[k] >= 0 ? firstOf[k] + tags[k].size() : 0;
    };
    places.afterBody = after(0);
    places.afterTitle = after(2);
    return places;
}

// A piece the page puts into the body: instead of the cut characters at the position.
struct BodyEdit
{
    qsizetype at;
    qsizetype cut;
    QStringView instead;
};

} // namespace

QString buildArticlePage(cArticle& article)
{
    const QString& body = article.Body;
    static constexpr QLatin1StringView emptyTitle = "<TITLE></TITLE>"_L1;
    const QString title = "<TITLE>"_L1 + htmlEscape(article.Subject) + "</TITLE>"_L1;
    const QString link = styleSheetLink();
    const QString header = pageHeader(article);
    // Every empty title gets the subject; the style sheet link goes after the title, the header
    // after <body> (each once only: a body that repeats its tags thousands of times must not
    // multiply the header into a page of hundreds of megabytes), both at the start of a body
    // without such a tag, the header first. Neither the subject, escaped, nor the link make or
    // break a tag, so all is found in the body as it is.
    const PagePlaces places = pagePlaces(body);
    QList<BodyEdit> edits{{places.afterBody, 0, header}, {places.afterTitle, 0, link}};
    for (const qsizetype at : places.emptyTitles)
        edits.append({at, emptyTitle.size(), title});
    // In the order of the body; an insertion before a title at the same place.
    std::stable_sort(edits.begin(), edits.end(), [](const BodyEdit& a, const BodyEdit& b) {
        return a.at != b.at ? a.at < b.at : a.cut < b.cut;
    });

    // The point sizes, then what follows the body, then the stray references, in one pass. The
    // pieces are passed piece by piece: every piece starts with "<" or follows a ">", which
    // neither a point size nor a stray reference holds, so none of them spans two pieces.
    QString page;
    page.reserve(body.size() + header.size() + link.size() + article.Attachments.size() +
                 article.TOClink.size() + 4 +
                 (edits.size() - 2) * (title.size() - emptyTitle.size()));
    qsizetype done = 0;
    for (const BodyEdit& edit : std::as_const(edits)) {
        appendPageText(page, QStringView(body).sliced(done, edit.at - done), true);
        appendPageText(page, edit.instead, true);
        done = edit.at + edit.cut;
    }
    appendPageText(page, QStringView(body).sliced(done), true);
    appendPageText(page, article.Attachments, false);
    page += "<hr>"_L1;
    appendPageText(page, article.TOClink, false);
    article.Body = page;
    return page;
}

namespace {

// A meta tag whose charset is declared anew: where it stands in the page and its new text.
struct CharsetEdit
{
    qsizetype start;
    qsizetype end;
    QString tag;
};

// The meta tags of the page ("<meta\b[^>]*>", letter case ignored) whose charset declarations
// change to windows-1252. A regular expression finds none in text that is no valid UTF-16: the
// callers look at that.
QList<CharsetEdit> charsetEdits(const QString& page)
{
    QList<CharsetEdit> edits;
    static const QRegularExpression charset(u"(charset\\s*=\\s*[\"']?)[A-Za-z0-9_.:-]+"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    for (auto tag = nextTagCaseBlind(page, "<meta"_L1); tag;
         tag = nextTagCaseBlind(page, "<meta"_L1, tag->second)) {
        const auto [start, end] = *tag;
        const QStringView text = QStringView(page).sliced(start, end - start);
        QString declared = text.toString();
        declared.replace(charset, u"\\1windows-1252"_s);
        if (declared != text)
            edits.append({start, end, declared});
    }
    return edits;
}

} // namespace

QString declareWindows1252(const QString& page)
{
    // Looked at only now: a page has a declaration to change far less often than not.
    const QList<CharsetEdit> edits = charsetEdits(page);
    if (edits.isEmpty() || !isValidUtf16(page))
        return page;
    QString result;
    result.reserve(page.size() + 64);
    qsizetype done = 0;
    for (const CharsetEdit& edit : edits) {
        result += QStringView(page).mid(done, edit.start - done);
        result += edit.tag;
        done = edit.end;
    }
    result += QStringView(page).mid(done);
    return result;
}

QByteArray pageBytes(const QString& page)
{
    QByteArray bytes;
    bytes.reserve(page.size() + 64);
    const QList<CharsetEdit> edits = charsetEdits(page);
    qsizetype done = 0;
    bool valid = true;
    for (const CharsetEdit& edit : edits) {
        valid &= appendWindows1252(bytes, QStringView(page).mid(done, edit.start - done));
        appendWindows1252(bytes, edit.tag);
        done = edit.end;
    }
    valid &= appendWindows1252(bytes, QStringView(page).mid(done));
    // Learnt while encoding: a page that is no valid UTF-16 keeps its declarations. Rare, so the
    // page is then encoded once more. (A declaration with a lone surrogate is never changed.)
    if (!valid && !edits.isEmpty()) {
        bytes.clear();
        appendWindows1252(bytes, page);
    }
    return bytes;
}

std::optional<QString> pageToWrite(Runtime& rt, const QString& path, cArticle& article,
                                   int overwrite, const std::function<QString()>& loadBody)
{
    rt.setStep(u"Checking for the file "_s + path);
    // A page that stays as it is needs no body: decide before anything is read.
    if (overwrite != 1 && rt.fs().fileExists(path))
        return {};
    if (loadBody)
        article.Body = loadBody();
    rt.setStep(u"Building the page "_s + path);
    return buildArticlePage(article);
}

bool subWriteHTML(Runtime& rt, const QString& path, cArticle& article, int overwrite,
                  const std::function<QString()>& loadBody, const QDateTime& modified)
{
    const std::optional<QString> page = pageToWrite(rt, path, article, overwrite, loadBody);
    if (!page)
        return false;
    rt.setStep(u"Writing file to "_s + path);
    // Written whole, so the old page is replaced only by a complete new one.
    rt.fs().writeFile(path, pageBytes(*page), modified);
    return true;
}

QString attachmentListEntry(qint32 number, int k, const QString& extension,
                            const QString& displayName)
{
    const QString n = QString::number(number);
    const QString href = n + u"_files/"_s + n + u'_' + QString::number(k) + u'.' + extension;
    return u"<li><a href='"_s + hrefEncode(href) + u"'>"_s + htmlEscape(displayName) +
           u"</a></li>"_s;
}

void AttachmentFolders::reserveLinkedBy(const QByteArray& page)
{
    constexpr QByteArrayView marker = "_files/";
    for (qsizetype at = page.indexOf(marker); at >= 0; at = page.indexOf(marker, at + 1)) {
        qsizetype start = at;
        while (start > 0 && page.at(start - 1) >= '0' && page.at(start - 1) <= '9')
            --start;
        bool ok = false;
        const qint32 number = page.mid(start, at - start).toInt(&ok);
        if (ok)
            m_used.insert(number);
    }
}

qint32 AttachmentFolders::take(qint32 number)
{
    while (m_used.contains(number)) {
        if (number == std::numeric_limits<qint32>::max())
            throw Error(err::Overflow, u"Overflow"_s);
        ++number;
    }
    m_used.insert(number);
    return number;
}

QString fncSaveAttachements(Runtime& rt, ImageCodec& images, const outlook::ItemPtr& item,
                            const QString& destination, qint32 number)
{
    Trap t(rt, u"frmMain.fncSaveAttachements"_s);
    return t.run([&] {
        const QString n = QString::number(number);
        const QString folder = destination + u'/' + n + u"_files"_s;
        QString list = u"<p><b>Attachments:</b><ul>"_s;
        int k = 0;
        t.step(10, u"Reading the attachments"_s);
        const outlook::AttachmentsPtr attachments = item->Attachments();
        const int count = attachments ? attachments->Count() : 0;
        for (int i = 1; i <= count; ++i) {
            t.at(20);
            const outlook::AttachmentPtr attachment = attachments->Item(i);
            const QString displayName = attachment->DisplayName();
            const qsizetype dot = displayName.lastIndexOf(u'.');
            // The extension is the file's name part after n_k.: it must not lead anywhere else.
            QString extension =
                removeInvalidFileNameChars(displayName.mid(dot + 1).toLower()).trimmed();
            if (extension.isEmpty() || extension.size() >= 5)
                continue;
            if (!rt.fs().folderExists(folder)) {
                t.step(30, u"Creating the folder "_s + folder);
                rt.fs().createFolder(folder);
            }
            ++k;
            const QString stem = folder + u'/' + n + u'_' + QString::number(k);
            const QString file = stem + u'.' + extension;
            t.step(40, u"Saving attachment to "_s + file);
            attachment->SaveAsFile(file);
            if (extension == "bmp"_L1) {
                const QString jpeg = stem + u".jpg"_s;
                t.step(50, u"Converting "_s + file + u" to "_s + jpeg);
                // A bitmap that could not be converted stays and is linked as it is.
                if (subConvertToJPEG(images, file, jpeg) && rt.fs().fileExists(jpeg)) {
                    ignoreErrors([&] { rt.fs().deleteFile(file, false); });
                    extension = u"jpg"_s;
                }
            }
            list += attachmentListEntry(number, k, extension, displayName);
        }
        list += u"</ul></p>"_s;
        return k > 0 ? list : QString();
    });
}

} // namespace lorvo::archive
