#pragma once

// The item as Outlook saves it in rich text: a header block, then the HTML body encapsulated in
// RTF so that a reader can take the original HTML back out.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace lorvo::rtf {

/// One header line: a label such as "Subject:" and its value.
struct HeaderLine
{
    QString label;
    QString value;
};

/// The RTF document of an item: header lines, then the HTML body.
QByteArray itemToRtf(const QList<HeaderLine>& header, const QString& html);

/// Text escaped for RTF: \ { } escaped, line breaks as \par, tabs as \tab, characters outside
/// ASCII as \'hh in Windows-1252 or \uN? beyond it.
QByteArray escape(QStringView text);

} // namespace lorvo::rtf
