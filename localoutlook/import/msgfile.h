#pragma once

// .msg files ([MS-OXMSG]): one message in a compound file, its properties in property streams
// and __substg1.0_ streams, its named properties in __nameid_version1.0, attachments and
// attached messages in storages of their own.

#include "localoutlook/import/mapi.h"

#include <QByteArrayView>
#include <QString>

namespace localoutlook::import {

/// Whether the bytes start like a compound file.
bool hasCompoundFileSignature(QByteArrayView head);

/// Reads the message of a .msg file. Raises lorvo::Error saying what is damaged when the file
/// is no compound file, a property stream is malformed or a stream cannot be read.
RawMessage readMsgFile(const QString& path);

} // namespace localoutlook::import
