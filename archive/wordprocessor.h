#pragma once

// The word processor that turns an item's rich-text copy into filtered HTML: opened hidden, one
// document opened, saved as filtered HTML and closed, the processor quit at the end of the run.
// Where no word processor can be automated, the built-in one reads the RTF that Outlook writes
// (a header block, then the HTML body encapsulated in RTF; or native rich text, which it renders)
// and writes filtered HTML in the shape the cleanup expects: <div class=Section1>, the header
// block as <p class=MsoNormal> paragraphs, an empty <p class=MsoNormal>&nbsp;</p>, then the body.
// Pictures the body embeds go to a folder beside the HTML file named after it ("1001.htm":
// "1001_files").

#include "shared/rtf/reader.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

namespace lorvo::archive {

// Values of the automation calls.
inline constexpr qint32 wdFormatFilteredHTML = 10;
inline constexpr qint32 wdDoNotSaveChanges = 0;

class WordDocument
{
public:
    virtual ~WordDocument() = default;
    /// Saves the document under path in a file format (10: filtered HTML); raises on failure.
    virtual void SaveAs(const QString& path, qint32 fileFormat) = 0;
    /// The text of the filtered HTML that SaveAs(path, 10) would write, its pictures written
    /// beside path as SaveAs writes them, without the file itself; none from a word processor
    /// that only saves files (the caller saves and reads the file then). Raises on failure.
    virtual std::optional<QString> filteredHtmlText(const QString& path) = 0;
    /// Closes the document (0: without saving changes).
    virtual void Close(qint32 saveChanges) = 0;
};

class WordProcessor
{
public:
    virtual ~WordProcessor() = default;
    /// Shows or hides the application.
    virtual void SetVisible(bool visible) = 0;
    /// Opens a document (Documents.Open); raises when the file cannot be read.
    virtual std::unique_ptr<WordDocument> Open(const QString& path) = 0;
    /// Opens a document from the bytes of a file, as Open opens the file holding them; none
    /// from a word processor that only opens files (the caller writes the file then). Raises
    /// when the bytes are no readable document.
    virtual std::unique_ptr<WordDocument> OpenData(const QByteArray& bytes) = 0;
    /// Ends the application; later calls fail.
    virtual void Quit() = 0;
};

/// Starts a word processor; raises lorvo::Error 429 (cannot create object) when none is there.
using WordProcessorFactory = std::function<std::unique_ptr<WordProcessor>()>;

/// The built-in word processor.
std::unique_ptr<WordProcessor> createBuiltinWordProcessor();

/// The name of the index-th picture (from 1) written beside a page: "image001.png".
QString pictureFileName(int index, const QString& extension);

/// The filtered HTML of a document that is saved as htmlPath. Pictures embedded as data: URIs are
/// written to the folder beside it (base name + "_files") and linked from there.
QString filteredHtml(const rtf::Document& document, const QString& htmlPath);

} // namespace lorvo::archive
