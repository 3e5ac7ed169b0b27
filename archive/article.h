#pragma once

// One article of the web archive: its record, its page's name and path, the page text and its
// writing, and the saving of its attachments. Both generators use these the same way.

#include "shared/outlook.h"

#include <QString>
#include <functional>

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
/// characters) removed; "NULL_" + a random number when only blanks are left.
QString fncStripInvalidCharacters(const QString& text);

/// The page's name without path: the cleaned subject (namingScheme 0) or the number, + ".htm";
/// a Windows device name (CON, NUL, LPT1, ...) gets "_" after it.
QString fncPageName(int namingScheme, const QString& subject, qint32 number);

/// destination/name, cut to its first 245 characters + ".htm" when it reaches 250 characters
/// (always keeping at least one character of the name, so the page stays in destination).
QString fncPagePath(const QString& destination, const QString& name);

/// The back link every page carries when a table of contents is generated.
QString tocBackLink();

/// The link to the style sheet, as every page and index.htm carry it.
QString styleSheetLink();

/// The header placed at the top of the page's body.
QString pageHeader(const cArticle& article);

/// Builds the page text from the article: title, style sheet link, header, font sizes, the
/// attachments and back link, the stray "&#65535;" removed. The result is stored in Body too.
QString fncBuildPage(cArticle& article);

/// The page with every charset its meta tags declare set to windows-1252, the code page its
/// bytes are written in (an item body often declares another one).
QString declareWindows1252(const QString& page);

/// subWriteHTML: writes the page at path unless a file exists there and overwrite is not 1.
/// loadBody, when given, supplies Body just before the page is built (it is not called when the
/// page is left as it is). Returns whether the page was written. Failures are reported under
/// "subWriteHTML" (the program ends).
bool subWriteHTML(Runtime& rt, const QString& path, cArticle& article, int overwrite,
                  const std::function<QString()>& loadBody = {});

/// One entry of the attachment list of article number, k-th saved attachment.
QString attachmentListEntry(qint32 number, int k, const QString& extension,
                            const QString& displayName);

/// fncSaveAttachements: saves the item's attachments into destination/n_files as n_k.extension
/// (bitmaps as JPEG where the conversion succeeds) and returns their list markup, or empty when
/// none was saved. Failures are reported under "frmMain.fncSaveAttachements" (the program ends).
QString fncSaveAttachements(Runtime& rt, ImageCodec& images, const outlook::ItemPtr& item,
                            const QString& destination, qint32 number);

} // namespace lorvo::archive
