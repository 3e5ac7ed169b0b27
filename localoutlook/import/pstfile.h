#pragma once

// Outlook data files (.pst, .ost) through libpff: the folder tree below the top of the personal
// folders, and each message's properties, attachments and attached messages as MAPI properties.

#include "localoutlook/import/mapi.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace localoutlook::import {

/// Whether the bytes start like an Outlook data file.
bool hasPstSignature(QByteArrayView head);

class PstFile
{
public:
    struct Folder
    {
        QStringList path; // below the folder the import starts from; empty for that folder
        int messages = 0;
    };

    /// Opens the file; raises lorvo::Error naming it when it cannot be read.
    explicit PstFile(const QString& path);
    ~PstFile();

    /// The name of the top of the personal folders ("Top of Personal Folders").
    QString topName() const;
    /// The folders to import: the tree below the top, or with from ("Top\A\B") that folder
    /// alone. Raises lorvo::Error when from names no folder of the file.
    QList<Folder> folders(const QString& from);
    /// The properties of message index of folders()[folder], with its attachments. Raises
    /// lorvo::Error when the message cannot be read.
    RawMessage message(int folder, int index);
    /// An identity of that message within the file that does not depend on its content.
    QString entryKey(int folder, int index);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace localoutlook::import
