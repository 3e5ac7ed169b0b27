#include "archive/site.h"

#include "archive/encoding.h"
#include "shared/error.h"
#include "shared/resources.h"
#include "shared/runtime.h"
#include "shared/text.h"

#include <QDir>
#include <QXmlStreamWriter>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

// Characters of body text the search index may hold in all; a site of 10,000 articles keeps
// 700 of each body, a small one far more.
constexpr qsizetype kTextBudget = 7'000'000;
constexpr qsizetype kMinTextPerPage = 200;
constexpr qsizetype kMaxTextPerPage = 50'000;

} // namespace

PublishedPages::PublishedPages(int expectedPages)
    : m_textLimit(
          std::clamp(kTextBudget / std::max(expectedPages, 1), kMinTextPerPage, kMaxTextPerPage))
{
}

void PublishedPages::add(PublishedPage page, bool written)
{
    const auto known = m_byName.constFind(page.name);
    if (known == m_byName.cend()) {
        m_byName.insert(page.name, m_pages.size());
        m_pages.append(std::move(page));
    } else if (written) {
        m_pages[*known] = std::move(page);
    }
}

QDateTime PublishedPages::newest() const
{
    QDateTime newest;
    for (const PublishedPage& page : m_pages) {
        if (page.modified.isValid() && (!newest.isValid() || page.modified > newest))
            newest = page.modified;
    }
    return newest;
}

namespace {

bool startsWithAt(QStringView text, qsizetype at, QLatin1StringView what)
{
    return text.mid(at, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// The character a named reference stands for: the Latin-1 names and the others body text uses.
std::optional<char16_t> namedReference(QStringView name)
{
    static const QHash<QString, char16_t> names = [] {
        // From U+00A0 on, in code-point order.
        static const char* const latin1[] = {
            "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",
            "uml",    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",
            "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",   "middot",
            "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest",
            "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
            "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",
            "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",
            "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
            "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
            "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
            "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
            "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
        QHash<QString, char16_t> table{
            {u"amp"_s, u'&'},         {u"lt"_s, u'<'},          {u"gt"_s, u'>'},
            {u"quot"_s, u'"'},        {u"apos"_s, u'\''},       {u"euro"_s, u'\u20ac'},
            {u"ndash"_s, u'\u2013'},  {u"mdash"_s, u'\u2014'},  {u"hellip"_s, u'\u2026'},
            {u"lsquo"_s, u'\u2018'},  {u"rsquo"_s, u'\u2019'},  {u"sbquo"_s, u'\u201a'},
            {u"ldquo"_s, u'\u201c'},  {u"rdquo"_s, u'\u201d'},  {u"bdquo"_s, u'\u201e'},
            {u"bull"_s, u'\u2022'},   {u"trade"_s, u'\u2122'},  {u"dagger"_s, u'\u2020'},
            {u"Dagger"_s, u'\u2021'}, {u"permil"_s, u'\u2030'}, {u"lsaquo"_s, u'\u2039'},
            {u"rsaquo"_s, u'\u203a'}, {u"OElig"_s, u'\u0152'},  {u"oelig"_s, u'\u0153'},
            {u"Scaron"_s, u'\u0160'}, {u"scaron"_s, u'\u0161'}, {u"Yuml"_s, u'\u0178'},
            {u"fnof"_s, u'\u0192'},   {u"circ"_s, u'\u02c6'},   {u"tilde"_s, u'\u02dc'},
            {u"ensp"_s, u'\u2002'},   {u"emsp"_s, u'\u2003'},   {u"thinsp"_s, u'\u2009'}};
        for (std::size_t i = 0; i < std::size(latin1); ++i)
            table.insert(QString::fromLatin1(latin1[i]), char16_t(0xA0 + i));
        return table;
    }();
    const auto it = names.constFind(name.toString());
    if (it == names.cend())
        return std::nullopt;
    return *it;
}

// Tags that separate words even without white space around them.
bool breaksWords(QStringView tag)
{
    static const QStringList blocks{
        u"p"_s,  u"br"_s, u"div"_s, u"li"_s,  u"tr"_s,         u"td"_s,  u"th"_s,   u"h1"_s,
        u"h2"_s, u"h3"_s, u"h4"_s,  u"h5"_s,  u"h6"_s,         u"ul"_s,  u"ol"_s,   u"table"_s,
        u"hr"_s, u"dt"_s, u"dd"_s,  u"pre"_s, u"blockquote"_s, u"img"_s, u"title"_s};
    return blocks.contains(tag.toString().toLower());
}

// The text while it is built: white space folded as it comes.
class TextBuilder
{
public:
    explicit TextBuilder(qsizetype reserve) { m_text.reserve(reserve); }

    void blank()
    {
        if (!m_text.isEmpty() && !m_text.endsWith(u' '))
            m_text += u' ';
    }
    void append(QChar c)
    {
        if (c.isSpace() || c == QChar(0xA0))
            blank();
        else if (c != QChar(0xAD)) // a soft hyphen only says where a word may break
            m_text += c;
    }
    qsizetype size() const { return m_text.size(); }
    QString take() { return std::move(m_text); }

private:
    QString m_text;
};

// Decodes the reference at text[at] == '&'; returns where the text goes on.
qsizetype decodeReference(QStringView text, qsizetype at, TextBuilder& out)
{
    const qsizetype semicolon = text.indexOf(u';', at + 1);
    if (semicolon < 0 || semicolon - at > 12) {
        out.append(u'&');
        return at + 1;
    }
    const QStringView name = text.mid(at + 1, semicolon - at - 1);
    if (name.startsWith(u'#')) {
        bool ok = false;
        const uint code = name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X')
                              ? name.mid(2).toUInt(&ok, 16)
                              : name.mid(1).toUInt(&ok, 10);
        if (ok && code > 0 && code <= 0x10FFFF && code != 0xFFFF) {
            for (const QChar c : QChar::fromUcs4(char32_t(code)))
                out.append(c);
        } else if (!ok) {
            out.append(u'&');
            return at + 1;
        }
        return semicolon + 1;
    }
    if (const auto c = namedReference(name)) {
        out.append(QChar(*c));
        return semicolon + 1;
    }
    out.append(u'&');
    return at + 1;
}

// Where the element whose content is not text (script, style) ends, after its closing tag.
qsizetype skipElement(QStringView text, qsizetype from, QLatin1StringView closing)
{
    for (qsizetype i = text.indexOf(u'<', from); i >= 0; i = text.indexOf(u'<', i + 1)) {
        if (startsWithAt(text, i, closing))
            return htmlTagEnd(text, i);
    }
    return text.size();
}

} // namespace

QString htmlText(QStringView html, qsizetype limit)
{
    qsizetype at = 0;
    // A whole document: only its body is text.
    for (qsizetype i = html.indexOf(u'<'); i >= 0; i = html.indexOf(u'<', i + 1)) {
        if (startsWithAt(html, i, "<body"_L1) &&
            (i + 5 >= html.size() || !html.at(i + 5).isLetterOrNumber())) {
            at = htmlTagEnd(html, i);
            break;
        }
    }
    // Room for the words that cross the limit, cut below.
    const qsizetype stop = limit < 0 ? html.size() : limit + 40;
    TextBuilder out(std::min(html.size() - at, stop));
    while (at < html.size() && out.size() < stop) {
        const QChar c = html.at(at);
        if (c == u'&') {
            at = decodeReference(html, at, out);
            continue;
        }
        if (c != u'<') {
            out.append(c);
            ++at;
            continue;
        }
        if (startsWithAt(html, at, "<!--"_L1)) {
            const qsizetype end = html.indexOf(u"-->", at + 4);
            at = end < 0 ? html.size() : end + 3;
            continue;
        }
        qsizetype nameStart = at + 1;
        if (nameStart < html.size() && html.at(nameStart) == u'/')
            ++nameStart;
        qsizetype nameEnd = nameStart;
        while (nameEnd < html.size() && (html.at(nameEnd).isLetterOrNumber()))
            ++nameEnd;
        if (nameEnd == nameStart && nameStart == at + 1 &&
            (nameStart >= html.size() || html.at(nameStart) != u'!')) {
            // A "<" that opens no tag is text.
            out.append(c);
            ++at;
            continue;
        }
        const QStringView name = html.mid(nameStart, nameEnd - nameStart);
        const bool closing = nameStart > at + 1;
        at = htmlTagEnd(html, at);
        if (!closing && name.compare("script"_L1, Qt::CaseInsensitive) == 0)
            at = skipElement(html, at, "</script"_L1);
        else if (!closing && name.compare("style"_L1, Qt::CaseInsensitive) == 0)
            at = skipElement(html, at, "</style"_L1);
        else if (!closing && name.compare("head"_L1, Qt::CaseInsensitive) == 0)
            at = skipElement(html, at, "</head"_L1);
        else if (breaksWords(name))
            out.blank();
    }
    QString text = out.take().trimmed();
    if (limit >= 0 && text.size() > limit) {
        qsizetype cut = limit;
        const qsizetype blank = text.lastIndexOf(u' ', cut);
        if (blank > 0 && blank > limit - 30)
            cut = blank;
        else if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text.truncate(cut);
    }
    return text;
}

QByteArray searchIndexScript(const QList<PublishedPage>& pages)
{
    QStringList categories;
    QStringList types;
    QHash<QString, int> categoryIds;
    QHash<QString, int> typeIds;
    const auto id = [](QStringList& names, QHash<QString, int>& ids, const QString& name) {
        const auto found = ids.constFind(name);
        if (found != ids.cend())
            return *found;
        ids.insert(name, int(names.size()));
        names.append(name);
        return int(names.size() - 1);
    };
    QString script =
        u"// The search index of the published articles, read by search.htm: for each\n"
        "// page its address, subject, category and type (numbers into the lists at\n"
        "// the end) and text.\nvar lorvoSearchIndex = {\"pages\": [\n"_s;
    for (qsizetype i = 0; i < pages.size(); ++i) {
        const PublishedPage& page = pages.at(i);
        script += u'[' + jsStringLiteral(hrefEncode(page.name)) + u',' +
                  jsStringLiteral(page.subject) + u',' +
                  QString::number(id(categories, categoryIds, page.category)) + u',' +
                  QString::number(id(types, typeIds, page.type)) + u',' +
                  jsStringLiteral(page.text) + (i + 1 < pages.size() ? u"],\n"_s : u"]\n"_s);
    }
    const auto list = [](const QStringList& names) {
        QString text;
        for (const QString& name : names)
            text += (text.isEmpty() ? QString() : u", "_s) + jsStringLiteral(name);
        return text;
    };
    script += u"],\n\"categories\": ["_s + list(categories) + u"],\n\"types\": ["_s + list(types) +
              u"]};\n"_s;
    return script.toUtf8();
}

std::optional<QUrl> sitemapBase(const QString& text)
{
    // Blanks and other characters an address may not hold are percent-encoded, as browsers do.
    QUrl url(text.trimmed(), QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.isRelative() || (scheme != "http"_L1 && scheme != "https"_L1) ||
        url.host().isEmpty() || url.hasQuery() || url.hasFragment() || !url.userInfo().isEmpty())
        return std::nullopt;
    if (!url.path().endsWith(u'/'))
        url.setPath(url.path() + u'/');
    return url;
}

QByteArray sitemapXml(const QUrl& base, const QList<PublishedPage>& pages,
                      const QDateTime& indexModified)
{
    const QString prefix = base.toString(QUrl::FullyEncoded);
    QByteArray xml;
    QXmlStreamWriter writer(&xml);
    writer.setAutoFormatting(true);
    writer.writeStartDocument();
    writer.writeStartElement(u"urlset"_s);
    writer.writeDefaultNamespace(u"http://www.sitemaps.org/schemas/sitemap/0.9"_s);
    const auto url = [&](const QString& name, const QDateTime& modified) {
        writer.writeStartElement(u"url"_s);
        writer.writeTextElement(u"loc"_s, prefix + hrefEncode(name));
        if (modified.isValid())
            writer.writeTextElement(u"lastmod"_s, modified.toUTC().toString(Qt::ISODate));
        writer.writeEndElement();
    };
    url(u"index.htm"_s, indexModified);
    QSet<QString> listed{u"index.htm"_s};
    for (const PublishedPage& page : pages) {
        if (!listed.contains(page.name)) {
            listed.insert(page.name);
            url(page.name, page.modified);
        }
    }
    writer.writeEndElement();
    writer.writeEndDocument();
    return xml;
}

QString searchPageLink()
{
    return u"<p><a href=\"search.htm\"><b>Search the articles</b></a></p>"_s;
}

QString sitemapBaseMessage()
{
    return u"Please enter the web address of the published site as the sitemap base, starting "
           u"with http:// or https://, or leave it empty!"_s;
}

void writeSiteFiles(Runtime& rt, const QString& destination, const PublishedPages& pages,
                    bool search, const std::optional<QUrl>& sitemap)
{
    Trap t(rt, u"writeSiteFiles"_s);
    t.run([&] {
        const auto write = [&](int line, const QString& name, const QByteArray& bytes) {
            const QString target = destination + u'/' + name;
            t.step(line, u"Writing file to "_s + QDir::toNativeSeparators(target));
            rt.fs().writeFile(target, bytes);
        };
        if (search) {
            t.at(10);
            write(20, u"search-index.js"_s, searchIndexScript(pages.pages()));
            t.at(30);
            write(40, u"search.htm"_s, loadResource(u"FILES"_s, u"SEARCH.HTM"_s));
        }
        if (sitemap) {
            t.at(50);
            write(60, u"sitemap.xml"_s, sitemapXml(*sitemap, pages.pages(), pages.newest()));
        }
    });
}

void dateSiteFiles(Runtime& rt, const QString& destination, const PublishedPages& pages,
                   bool search, const std::optional<QUrl>& sitemap)
{
    const QDateTime newest = pages.newest();
    if (!newest.isValid())
        return;
    QStringList names{u"index.htm"_s};
    if (search)
        names << u"search.htm"_s << u"search-index.js"_s;
    if (sitemap)
        names << u"sitemap.xml"_s;
    for (const QString& name : std::as_const(names))
        ignoreErrors([&] { rt.fs().setModificationTime(destination + u'/' + name, newest); });
}

} // namespace lorvo::archive
