#pragma once

// The pages a run publishes, collected as the generators write them, and the files made from
// them when the run closes: the search page with its index (search.htm, search-index.js) and the
// sitemap (sitemap.xml). Both are options; with both off nothing here writes a file.

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace lorvo {
class Runtime;
}

namespace lorvo::archive {

// One page listed in index.htm.
struct PublishedPage
{
    QString name; // file name in the destination folder
    QString subject;
    QString category;
    QString type;
    QString text;       // the body's text for the search index (empty when not indexed)
    QDateTime modified; // the article's last modification; invalid when not known
};

class PublishedPages
{
public:
    /// expectedPages: at most this many pages (the folder's item count); it sets how much of
    /// each body the search index keeps, so that the index of a large site stays small.
    explicit PublishedPages(int expectedPages = 0);

    /// How many characters of a body's text the search index keeps.
    qsizetype textLimit() const { return m_textLimit; }

    /// Records a page. A name recorded before keeps its first record unless this page was
    /// written (it replaced the earlier page of that name).
    void add(PublishedPage page, bool written);

    const QList<PublishedPage>& pages() const { return m_pages; }
    /// The latest modification of the pages; invalid when none is known.
    QDateTime newest() const;

private:
    QList<PublishedPage> m_pages;
    QHash<QString, qsizetype> m_byName;
    qsizetype m_textLimit;
};

/// The text of an HTML document's body as a reader sees it: tags, comments, scripts and styles
/// left out, character references decoded, every run of white space one blank. At most about
/// limit characters (cut at a word where one is near); limit < 0: all of it.
QString htmlText(QStringView html, qsizetype limit = -1);

/// search-index.js: a script that defines lorvoSearchIndex with every page's address, subject,
/// category, type and text, in UTF-8. Nothing in it can end the script or start markup.
QByteArray searchIndexScript(const QList<PublishedPage>& pages);

/// The address the sitemap puts the pages' names after: an absolute http or https address
/// without query or fragment, its path ending in "/". None for anything else.
std::optional<QUrl> sitemapBase(const QString& text);

/// sitemap.xml: index.htm first (indexModified as its date), then every page, each address the
/// base + the percent-encoded name; a date only where it is known.
QByteArray sitemapXml(const QUrl& base, const QList<PublishedPage>& pages,
                      const QDateTime& indexModified);

/// The link index.htm carries under its heading when the site has a search page.
QString searchPageLink();

/// The message shown when the sitemap base is not an address the sitemap can use.
QString sitemapBaseMessage();

/// Writes search.htm and search-index.js (when search is set) and sitemap.xml (when a base is
/// given) into destination. Errors are reported under "writeSiteFiles" and end the program.
void writeSiteFiles(Runtime& rt, const QString& destination, const PublishedPages& pages,
                    bool search, const std::optional<QUrl>& sitemap);

/// Gives index.htm, and the files writeSiteFiles wrote, the newest modification of the pages
/// as their file time (when one is known). A time that cannot be set is left as it is.
void dateSiteFiles(Runtime& rt, const QString& destination, const PublishedPages& pages,
                   bool search, const std::optional<QUrl>& sitemap);

} // namespace lorvo::archive
