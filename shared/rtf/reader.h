#pragma once

// Reads RTF documents: the HTML that Outlook encapsulates in the RTF of an item
// ([MS-OXRTFEX] de-encapsulation), with the header block that precedes it when the item was
// saved as rich text; any other RTF rendered as HTML (paragraphs, character formatting, lists,
// tables, links, PNG and JPEG pictures as data: addresses). Text is decoded in the code page of
// its font's character set. Bad input gives the text that could be read: a cut-off document
// what stands before the cut, whatever the nesting, in time linear in its size.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace lorvo::rtf {

/// What an RTF document holds, taken back out of it.
struct Document
{
    QStringList header;    // the paragraphs of the header block ahead of the HTML, as text
    QString html;          // the encapsulated HTML; for RTF without it, its rendering
    bool fromHtml = false; // the HTML was encapsulated (\fromhtml1), not rendered
};

/// Reads an RTF document; none when it is no RTF (does not start with "{\rtf").
std::optional<Document> read(QByteArrayView rtf);

} // namespace lorvo::rtf
