#pragma once

// The mapping of imported messages into the local Outlook, written once for every kind of
// source: folders matched by name (created where missing), items found again by their source
// identity and updated in place, and with sync the items of a source that it no longer holds
// removed. One import is one transaction of the target's store.

#include "localoutlook/store.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace localoutlook::import {

class MessageSource;

// The folder an import goes into.
struct ImportTarget
{
    std::shared_ptr<Store> store;
    qint64 folder = 0;
    QString path; // its full path, "\\Store\A\B"
};

/// The folder at a full path among the profile's stores. Raises lorvo::Error when the profile
/// cannot be read, the folder does not exist or it is read-only.
ImportTarget findTarget(const QString& profileDir, const QString& fullPath);

struct FolderCounts
{
    QString path; // full path of the folder in the local Outlook
    int imported = 0;
    int updated = 0;
    int removed = 0;
    int skipped = 0;
};

struct ImportReport
{
    QList<FolderCounts> folders; // in the order they were first met
    QStringList skipped;         // one line per message left out: where, subject, reason
    QStringList notes;           // what was left out of messages that went in
    FolderCounts total;
};

/// Called after each message with the number of messages done and the total.
using ImportProgress = std::function<void(int done, int total)>;

/// Imports the sources into the target (and, for sources with folders, subfolders of it),
/// all or nothing: raises lorvo::Error, with the store unchanged, when a folder cannot be made
/// or the store cannot be written. Damaged messages are skipped and reported.
ImportReport importSources(const ImportTarget& target,
                           const std::vector<std::unique_ptr<MessageSource>>& sources, bool sync,
                           const ImportProgress& progress = {});

} // namespace localoutlook::import
