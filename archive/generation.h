#pragma once

// What a generator needs of the window that starts it (or of the command line that stands in for
// the window): the options as the controls show them at the moment they are read, the two lists,
// the cancel request, the progress and the busy state. frmMain implements it; so does the
// command-line publisher; tests use a plain struct.

#include <QList>
#include <QString>

class QObject;

namespace lorvo::archive {

// cmdGenerate's caption while no run is going on.
inline const QString kGenerateCaption = QStringLiteral("Generate");

// Check-box states: 0 clear, 1 checked, 2 grey. An option is on when its state is exactly 1.
struct GenerationOptions
{
    QString destination;                        // txtDestination, as typed
    int namingScheme = 0;                       // optNaming: 0 subject, 1 incremental numbering
    QString numbering = QStringLiteral("1000"); // txtNumbering, as typed
    int generateToc = 1;                        // chkExtractIndexPage
    int overwrite = 1;                          // chkOverwrite
    int runToc = 1;                             // chkRun
    int groupIndex = 0;        // optGroup: 0 category and type (outline), 1 none (flat)
    int attachments = 1;       // chkAttachments
    int collapse = 1;          // chkCollapse
    int collapseInitially = 1; // chkCollapseInitially

    // Files beside index.htm, off unless chosen.
    int search = 0;      // chkSearch: search.htm and its index search-index.js
    QString sitemapBase; // txtSitemapBase: the site's address for sitemap.xml; empty: none
};

struct ListEntry
{
    QString text;
    bool selected = false;
};

// An article a run could not publish, and why.
struct LeftOutArticle
{
    QString subject;
    QString reason;
};

class GenerationHost
{
public:
    virtual ~GenerationHost() = default;
    /// The options as the controls show them now.
    virtual GenerationOptions options() = 0;
    /// lstProblemCategory's entries in list order.
    virtual QList<ListEntry> categories() = 0;
    /// lstProblemType's entries in list order.
    virtual QList<ListEntry> types() = 0;
    /// Lets pending window events run (where Cancel and Exit are clicked).
    virtual void processEvents() = 0;
    /// The cancel request blnCancel.
    virtual bool cancelRequested() = 0;
    /// Clears the cancel request when a run starts.
    virtual void clearCancel() = 0;
    /// Sets cmdGenerate's caption ("Generate" when a run ends).
    virtual void setGenerateCaption(const QString& caption) = 0;
    /// Shows the progress bar with this maximum and the hourglass.
    virtual void beginProgress(int maximum) = 0;
    /// Sets the progress value.
    virtual void setProgress(int value) = 0;
    /// Hides the progress bar and restores the pointer.
    virtual void endProgress() = 0;
    /// The window that owns questions and pickers (null without a window).
    virtual QObject* ownerWindow() = 0;
    /// Names the articles whose pages could not be written; once, at the end of a run.
    virtual void reportLeftOut(const QList<LeftOutArticle>& articles) = 0;
};

// Finds the knowledge-base folder into goCurrentFolder as the list filling does: connect, take the
// current folder, and while its home page is not the knowledge base's, ask and let the user pick
// it or end the program. Defined in archive/collection.cpp.
class ArticleCollection;

} // namespace lorvo::archive

namespace lorvo::archive {

// One of the two generators behind the Generate button: flat (subGenerateArticlesNormal) or
// outline (subGenerateArticlesOutline). The window is given both and calls the one its grouping
// option selects.
class ArticleGenerator
{
public:
    virtual ~ArticleGenerator() = default;
    /// Runs one whole generation against the host; restores the host's state at its end.
    virtual void generate(GenerationHost& host) = 0;
};

} // namespace lorvo::archive
