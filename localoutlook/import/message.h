#pragma once

// A message as the import takes it into the local Outlook, whatever file it came from, and the
// one conversion from MAPI properties into it.

#include "localoutlook/import/mapi.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>

namespace localoutlook::import {

struct SourceAttachment
{
    QString name; // long file name, else short file name, else display name
    QByteArray data;
    QString contentId;
    bool hidden = false;
};

struct SourceMessage
{
    QString messageClass;
    QString subject;
    QString body;
    QString htmlBody;
    QByteArray rtfBody; // decompressed
    QDateTime created;
    QDateTime modified;
    QList<std::pair<QString, QVariant>> userProperties;
    QList<SourceAttachment> attachments;
    QStringList notes; // attachments left out, with the reason
    QString searchKey; // PidTagSearchKey in hexadecimal; empty when the message has none
    // For the .eml form of an attached message.
    QString from;
    QString to;
    QString cc;
    QDateTime sent;
};

/// Turns a message's properties into a SourceMessage. Raises lorvo::Error naming what is damaged
/// (a compressed RTF body that fails its checks) when the message cannot be taken as it is.
SourceMessage toSourceMessage(const RawMessage& raw);

/// A FILETIME (100-nanosecond steps since 1601) as a UTC time; invalid for zero and values
/// outside what a QDateTime holds.
QDateTime fromFileTime(quint64 fileTime);

} // namespace localoutlook::import
