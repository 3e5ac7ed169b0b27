#pragma once

// One article of the web archive: its record, its page's name and path, the page text and its
// writing, and the saving of its attachments. Both generators use these the same way.

#include "shared/outlook.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <functional>
#include <optional>

namespace lorvo {
class Runtime;
}

namespace lorvo::archive {

class ImageCodec;

// What becomes of one knowledge-base article.
struct cArticle
{
    QString ProblemType;     // the item's "Problem Type"
    QString ProblemCategory; // the item's "Problem Category"
    QString Subject;         // the item's subject, trimmed
    QString Body;            // the article's HTML
    QString Attachments;     // attachment list markup, or empty
    QString TOClink;         // back link to index.htm, or empty
    QString strWebPagePath;  // full path of the page file
};

/// The subject cleaned for use as a file name: the nine characters Windows forbids (and control
/// characters) removed; "NULL_" + a pseudo-random number between 0 and 1 when only blanks and
/// dots are left. The number is drawn from identity (the item's), so that an article keeps its
/// name from run to run; without one it is random.
QString fncStripInvalidCharacters(const QString& text, const QString& identity = {});

/// The page's name without path: the cleaned subject (namingScheme 0) or the number, + ".htm";
/// a Windows device name (CON, NUL, LPT1, ...) gets "_" after it. identity: as above.
QString pageFileName(int namingScheme, const QString& subject, qint32 number,
                     const QString& identity = {});

/// destination/name, cut to its first 245 characters + ".htm" when it reaches 250 characters
/// (always keeping at least one character of the name, so the page stays in destination). A
/// name longer than the file system takes (its bytes, temporary name of the write included) is
/// cut too. Cuts fall between characters.
QString pageFilePath(const QString& destination, const QString& name);

/// The longest destination path that leaves page names eight characters under the path rule.
qsizetype maxDestinationLength();

/// The back link every page carries when a table of contents is generated.
QString tocBackLink();

/// The link to the style sheet, as every page and index.htm carry it.
QString styleSheetLink();

/// The header placed at the top of the page's body.
QString pageHeader(const cArticle& article);

/// Builds the page text from the article: title, style sheet link, header, font sizes, the
/// attachments and back link, the stray "&#65535;" removed. The result is stored in Body too.
QString buildArticlePage(cArticle& article);

/// The page with every charset its meta tags declare set to windows-1252, the code page its
/// bytes are written in (an item body often declares another one).
QString declareWindows1252(const QString& page);

/// The page's bytes as they are written: declareWindows1252, then toWindows1252, in one pass.
QByteArray pageBytes(const QString& page);

/// The text of the page subWriteHTML writes (as pageBytes), or none where it would leave the
/// page as it is.
std::optional<QString> pageToWrite(Runtime& rt, const QString& path, cArticle& article,
                                   int overwrite, const std::function<QString()>& loadBody = {});

/// subWriteHTML: writes the page at path unless a file exists there and overwrite is not 1.
/// loadBody, when given, supplies Body just before the page is built (it is not called when the
/// page is left as it is). The page is dated modified when that is valid. Returns whether the
/// page was written. A failure raises lorvo::Error: the caller leaves the article out and goes on
/// with the others.
bool subWriteHTML(Runtime& rt, const QString& path, cArticle& article, int overwrite,
                  const std::function<QString()>& loadBody = {}, const QDateTime& modified = {});

/// One entry of the attachment list of article number, k-th saved attachment.
QString attachmentListEntry(qint32 number, int k, const QString& extension,
                            const QString& displayName);

// The numbers of one run's attachment folders (n_files). A page kept from an earlier run links
// the folder of its own article by number: that number goes to no other article of the run,
// which takes the next free one instead, so that no page ever links another article's files.
class AttachmentFolders
{
public:
    /// Reserves the folders that a kept page's text links ("n_files/...").
    void reserveLinkedBy(const QByteArray& page);
    /// The folder number for the article numbered number: that number unless it is reserved or
    /// was given out already, else the next free one. Raises lorvo::Error on overflow.
    qint32 take(qint32 number);

private:
    QSet<qint32> m_used;
};

/// fncSaveAttachements: saves the item's attachments into destination/n_files as n_k.extension
/// (bitmaps as JPEG where the conversion succeeds) and returns their list markup, or empty when
/// none was saved. Failures are reported under "frmMain.fncSaveAttachements" (the program ends).
QString fncSaveAttachements(Runtime& rt, ImageCodec& images, const outlook::ItemPtr& item,
                            const QString& destination, qint32 number);

} // namespace lorvo::archive
