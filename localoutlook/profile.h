#pragma once

// The profile of the local Outlook: profile.json in the profile folder lists the Outlook version
// to report, the attached store files in order and the explorer windows with the folder each
// shows. The file is written whole after every change, so that what one process leaves is what
// the next finds.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace localoutlook {

struct ExplorerState
{
    QString folderEntryId; // empty: shows no folder
    bool shown = false;    // false until Display or Activate
};

struct ProfileState
{
    QString version;
    QStringList stores; // absolute paths, in attach order
    QList<ExplorerState> explorers;
    int active = -1; // index into explorers of the front window, -1 none
};

class Profile
{
public:
    explicit Profile(QString dir);

    const QString& dir() const { return m_dir; }
    QString filePath() const;
    /// Whether the profile has been created.
    bool exists() const;
    /// Reads profile.json; raises lorvo::Error when it is missing or damaged.
    ProfileState load() const;
    /// Writes profile.json whole; raises lorvo::Error when it cannot.
    void save(const ProfileState& state) const;
    /// Reads, changes and writes the profile while holding its lock, so that two programs
    /// changing it at once do not lose each other's change.
    void update(const std::function<void(ProfileState&)>& change) const;

    /// Store paths are kept relative to the profile folder when they lie inside it, so that a
    /// profile folder can be moved.
    QString toStored(const QString& absolutePath) const;
    QString fromStored(const QString& storedPath) const;

private:
    QString m_dir;
};

/// A folder's EntryID: the store's identifier and the folder's number within it.
QString makeEntryId(const QString& storeId, qint64 folderId);
/// Splits an EntryID; false when it is not one of ours.
bool splitEntryId(const QString& entryId, QString& storeId, qint64& folderId);

} // namespace localoutlook
