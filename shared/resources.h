#pragma once

// The files compiled into a program as resources of a type ("APPFILES", "FILES"), read back by
// name (the file name in capitals) and written byte for byte.

#include <QByteArray>
#include <QString>

namespace lorvo {

/// The resource's bytes; raises lorvo::Error (53) when the program carries no such resource.
QByteArray loadResource(const QString& type, const QString& name);

} // namespace lorvo
