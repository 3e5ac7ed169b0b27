#pragma once

// Pieces of Internet mail (RFC 5322, MIME) that the local Outlook writes: the draft it opens in
// the desktop's mail program and the .eml form of a message kept as an attachment.

#include <QByteArray>
#include <QString>

namespace localoutlook {

/// Line breaks (CR LF, LF or CR) as single blanks.
QString oneLine(QString text);

/// A header value: one line, encoded as UTF-8 when it is not plain ASCII.
QByteArray mimeHeaderValue(const QString& value);

/// Bytes in base64, in lines of 76 characters, each ended by CR LF.
QByteArray base64Lines(const QByteArray& bytes);

/// Text with every line break as CR LF.
QString crlfLines(QString text);

} // namespace localoutlook
