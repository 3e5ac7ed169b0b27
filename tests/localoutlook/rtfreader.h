#pragma once

// A minimal de-encapsulating reader for the tests: takes the HTML back out of RTF with
// \fromhtml1 and, separately, the RTF-only text before the first htmltag group (the header block).

#include <QByteArray>
#include <QString>

struct Deencapsulated
{
    QString html;
    QString header; // RTF-side text of the header block, paragraphs as "\n"
    bool fromHtml = false;
};

Deencapsulated deencapsulate(const QByteArray& rtf);
