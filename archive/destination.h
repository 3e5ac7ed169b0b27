#pragma once

// What a run keeps in its destination folder besides the web site: the lock that lets one run at
// a time publish there, and the private folder of its working files.

#include <QLockFile>
#include <QString>

namespace lorvo {
class FileSystem;
}

namespace lorvo::archive {

/// The lock file of the runs that publish to destination.
QString lockFileIn(const QString& destination);

// One run's hold on its destination: a lock file naming the holding process. The lock of a
// process that died is taken over; a living holder's never is, however long its run takes.
class DestinationLock
{
public:
    explicit DestinationLock(const QString& destination);
    /// Takes the lock; false when another living process holds it. Raises lorvo::Error when the
    /// lock file cannot be made at all.
    bool tryLock();
    /// The process that holds the lock another run could not take, or 0 when unknown.
    qint64 holder() const;

private:
    QLockFile m_lock;
};

// The private folder of one run's working files (the item saved as rich text, its conversion and
// the conversion's pictures), inside the destination but where no page can be: a run killed at
// any moment leaves its working files there, never under a page's name. The next run removes
// them when it starts, and every run removes the folder when it ends.
class WorkingFolder
{
public:
    /// Makes the folder afresh, removing what an interrupted run left in destination: its
    /// working folder and the temporary files of page writes it did not finish. Raises
    /// lorvo::Error when the folder cannot be made.
    WorkingFolder(FileSystem& fs, QString destination);
    /// Removes the folder with everything in it; errors are ignored.
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    /// The working folder of runs publishing to destination.
    static QString pathIn(const QString& destination);
    const QString& path() const { return m_path; }

    /// The file an item's rich-text copy goes through where it cannot stay in memory (the safe
    /// item component saves it, or the word processor opens files only): one for the whole run,
    /// written over in place, so that a run does not make and delete a file per article (on a
    /// disk that discards freed blocks, or a file system without a journal, that costs more than
    /// the conversion). What an earlier item left in it is marked as no copy (holdsCopy) until
    /// the next is saved into it: it is dated long ago, as no save leaves it. A file that cannot
    /// be marked is deleted. Errors are ignored.
    QString copyFile();
    /// Whether the file at path holds a copy: it has content, and it was written since
    /// copyFile marked it.
    static bool holdsCopy(const QString& path);

    /// Moves the files written beside the working file name.htm (the folder name_files, where
    /// the word processor puts a converted body's pictures) to destination/name_files, where
    /// the page's links to them lead. Raises lorvo::Error when they cannot be moved.
    void moveFilesBeside(const QString& name);

private:
    // Deletes the temporary files in folder of whole-file writes that a kill cut off, where
    // ours says their target is one of the run's.
    void removeUnfinishedWrites(const QString& folder, bool (*ours)(const QString& target));

    FileSystem& m_fs;
    QString m_destination;
    QString m_path;
};

} // namespace lorvo::archive
