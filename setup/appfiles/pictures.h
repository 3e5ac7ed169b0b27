#pragma once

// The pictures of the application files and of the example knowledge base, drawn with QPainter so
// that they are made from readable source by the build instead of committed as opaque binaries.

#include <QImage>
#include <QString>
#include <QStringList>

namespace lorvo::appfiles {

/// Names accepted by drawPicture and writePicture, in a stable order.
QStringList pictureNames();

/// Draws the named picture; a null image for an unknown name.
///  "background"      3 x 1500 soft vertical gradient behind the folder home page
///  "logo"            120 x 100 product logo shown on the home page
///  "bullet"          8 x 8 red list bullet of the web archive, transparent around the dot
///  "network-diagram" office network sketch attached to an example article
///  "print-queue"     printer queue window attached to an example article
///  "vpn-setup"       one-page VPN guide (a page-sized picture; written as PDF by writePicture)
QImage drawPicture(const QString& name);

/// Writes the named picture to path in the format of its extension: .gif through our encoder,
/// .pdf as a vector page, anything else through QImageWriter. Returns an error text, empty on
/// success. The file is written whole or not at all.
QString writePicture(const QString& name, const QString& path);

} // namespace lorvo::appfiles
