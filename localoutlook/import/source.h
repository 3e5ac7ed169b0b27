#pragma once

// Where imported messages come from: a .msg file, a folder of .msg files, or an Outlook data
// file. Each is read through one small interface that yields folders and messages, so that the
// mapping into the local Outlook is written once (importer.h).

#include "localoutlook/import/message.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

namespace localoutlook::import {

struct SourceFolder
{
    QStringList path; // below the import's target folder; empty for the target itself
    int messages = 0;
};

// One message of a source, or why it could not be taken.
struct SourceItem
{
    QString key;     // identity within the source; empty when even that could not be read
    QString where;   // the .msg file, or the folder inside the data file
    QString subject; // as far as known
    std::optional<SourceMessage> message;
    QString reason; // why there is no message
};

class MessageSource
{
public:
    virtual ~MessageSource() = default;
    /// The source's identity, kept with every item it brings: its absolute path.
    virtual QString identity() const = 0;
    /// Its folders, each parent before its subfolders.
    virtual QList<SourceFolder> folders() = 0;
    /// One message of folders()[folder]; a damaged message comes back without one.
    virtual SourceItem read(int folder, int index) = 0;
};

/// Opens a source by its content: a folder of .msg files, a .msg file, or a .pst/.ost file
/// (from: a folder of the data file, "Top\A\B", or empty for its whole tree). Raises
/// lorvo::Error naming the path when it is missing, of another kind or cannot be read, and when
/// from is given for a source that is no data file.
std::unique_ptr<MessageSource> openSource(const QString& path, const QString& from);

} // namespace localoutlook::import
