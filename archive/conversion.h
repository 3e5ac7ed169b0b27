#pragma once

// The body conversion of "Include Attachments": the item saved as rich text, converted to
// filtered HTML by the word processor, and the leading header block cut out of that HTML.

#include "archive/wordprocessor.h"
#include "shared/outlook.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace lorvo {
class Runtime;
}

namespace lorvo::archive {

class SafeItem;
class WorkingFolder;

/// The word processor's HTML without the header block of the saved item: the text before the
/// first "<div class=Section1>" (or "<DIV class=Section1>"), CR LF, then the text after the first
/// of the four paragraph markers found. Unchanged when the division or all markers are missing.
QString fncFilteredWordHTML(const QString& strBody);

// One generation run's conversions. The word processor is started at the first conversion,
// serves the later ones and is quit by the generator at the end of the run.
class BodyConversion
{
public:
    BodyConversion(Runtime& rt, SafeItem& safeItem,
                   WordProcessorFactory factory = &createBuiltinWordProcessor);
    ~BodyConversion();
    BodyConversion(const BodyConversion&) = delete;
    BodyConversion& operator=(const BodyConversion&) = delete;

    /// Has the word processor turn the RTF file into filtered HTML at htmlPath and deletes the
    /// RTF file. True when an existing RTF file was handed over; false when no word processor
    /// can be had (the RTF file is deleted) or the RTF file is missing. Reports nothing.
    bool fncConvertRTF2HTML(const QString& rtfPath, const QString& htmlPath);

    /// The conversion sequence for one matched article: the item saved as rich text, in memory
    /// where the item saves itself, else into the run's copy file (WorkingFolder::copyFile);
    /// converted to the working file n.htm in the working folder (or to its text in memory,
    /// where the word processor can) and cleaned. A word processor that opens files only gets
    /// the copy in the copy file. Returns the new body, or none when the article keeps the body
    /// read from the item. The body's pictures go to destination/n_files, where its links lead;
    /// n.htm is deleted, the copy file stays for the next article. A failure to move the
    /// pictures raises lorvo::Error for the caller to report or skip.
    std::optional<QString> convertBody(const outlook::ItemPtr& item, WorkingFolder& work,
                                       const QString& workingNumber);

    /// Whether a word processor is held (started and not yet quit).
    bool holdsWordProcessor() const { return m_word != nullptr; }
    /// Quits and releases the word processor when one is held; errors are ignored.
    void quitWordProcessor();

private:
    // Starts the word processor unless one is held, and hides it; false when none can be had.
    bool startWordProcessor();
    // The RTF file opened in the held word processor; none when it cannot be opened.
    std::unique_ptr<WordDocument> open(const QString& rtfPath);
    // The item's copy opened in the held word processor: from memory where it was saved there
    // and the word processor reads it so, else from the file (written with it first where the
    // word processor opens files only). None when it cannot be opened.
    std::unique_ptr<WordDocument> openCopy(const std::optional<QByteArray>& copy,
                                           const QString& rtfPath, WorkingFolder& work);
    // Has the document, where there is one, turned into filtered HTML at htmlPath and closes
    // it. With text given, a word processor that can give the filtered HTML's text gives it
    // there instead.
    void convert(std::unique_ptr<WordDocument> document, const QString& htmlPath,
                 std::optional<QString>* text);

    Runtime& m_rt;
    SafeItem& m_safeItem;
    WordProcessorFactory m_factory;
    std::unique_ptr<WordProcessor> m_word;
};

} // namespace lorvo::archive
