#pragma once

// Compressed RTF ([MS-OXRTFCP]): the form in which messages keep their RTF body
// (PidTagRtfCompressed). Either LZFu-compressed against a preset dictionary with a CRC over the
// compressed bytes, or stored as it is ("MELA").

#include <QByteArray>
#include <QByteArrayView>

namespace localoutlook::import {

/// The RTF held by a PidTagRtfCompressed value. Raises lorvo::Error when the header is cut off,
/// the sizes disagree, the compression type is unknown or the CRC does not match: a damaged body
/// is refused, never returned in part.
QByteArray decompressRtf(QByteArrayView compressed);

/// The CRC of compressed RTF: CRC-32's table, started at zero, not inverted.
quint32 compressedRtfCrc(QByteArrayView bytes);

} // namespace localoutlook::import
