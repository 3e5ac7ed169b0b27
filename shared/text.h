#pragma once

// Text constants and helpers that every layer uses the same way (the RTF library included, which
// needs no more of the runtime than this header).

#include <QString>
#include <QStringView>

namespace lorvo {

/// The line end of messages, reports and the files the programs write: Windows' own.
inline const QString kCrLf = QStringLiteral("\r\n");

/// The position after the HTML tag that starts at html[at] == '<': quoted attribute values may
/// hold ">". The end of the text when the tag is not closed.
inline qsizetype htmlTagEnd(QStringView html, qsizetype at)
{
    QChar quote;
    for (qsizetype i = at + 1; i < html.size(); ++i) {
        const QChar c = html[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'"' || c == u'\'') {
            quote = c;
        } else if (c == u'>') {
            return i + 1;
        }
    }
    return html.size();
}

} // namespace lorvo
