#pragma once

// Reads RTF documents: the HTML that Outlook encapsulates in the RTF of an item
// ([MS-OXRTFEX] de-encapsulation), with the header block that precedes it when the item was
// saved as rich text; for any other RTF its text as HTML.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <optional>

namespace lorvo::rtf {

/// What an RTF document holds, taken back out of it.
struct Document
{
    QStringList header;    // the paragraphs of the header block ahead of the HTML, as text
    QString html;          // the encapsulated HTML; for RTF without it, its text as HTML
    bool fromHtml = false; // the HTML was encapsulated (\fromhtml1), not rendered
};

/// Reads an RTF document; none when it is no readable RTF.
std::optional<Document> read(QByteArrayView rtf);

} // namespace lorvo::rtf
