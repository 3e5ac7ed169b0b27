#pragma once

// Text constants that every layer writes the same way (the RTF library included, which needs no
// more of the runtime than this header).

#include <QString>

namespace lorvo {

/// The line end of messages, reports and the files the programs write: Windows' own.
inline const QString kCrLf = QStringLiteral("\r\n");

} // namespace lorvo
