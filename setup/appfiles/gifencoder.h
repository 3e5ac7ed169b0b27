#pragma once

// A GIF89a writer: Qt reads GIF but cannot write it, and the setup's pictures and the archive's
// bullet are GIFs.

#include <QByteArray>

class QImage;

namespace lorvo::appfiles {

/// Encodes an image as a single-frame GIF89a. An image of at most 256 colours keeps them exactly;
/// a richer one is reduced to 256 by median cut. Pixels with less than half opacity share
/// one transparent palette entry. A null image gives an empty array.
QByteArray encodeGif(const QImage& image);

/// The image reduced to at most 256 colours the same way, as Format_Indexed8 (transparency is
/// dropped), for formats that store a palette, such as an 8-bit BMP.
QImage reduceColours(const QImage& image);

} // namespace lorvo::appfiles
