#pragma once

// The file system as the programs use it. Every write is whole or nothing. Failures raise
// lorvo::Error with the classic numbers: 53 file not found, 70 permission denied, 75 path/file
// access error, 76 path not found.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>

namespace lorvo {

// A text file written line by line and made visible only when committed (index.htm).
class TextSink
{
public:
    virtual ~TextSink() = default;
    /// Appends text.
    virtual void write(const QByteArray& bytes) = 0;
    /// Makes the file visible whole; raises on failure.
    virtual void commit() = 0;
};

class FileSystem
{
public:
    virtual ~FileSystem() = default;
    /// Whether a folder exists at the path.
    virtual bool folderExists(const QString& path) = 0;
    /// Whether a file exists at the path.
    virtual bool fileExists(const QString& path) = 0;
    /// Creates the last level of the path; its parent must exist (76 otherwise).
    virtual void createFolder(const QString& path) = 0;
    /// Replaces the file with exactly these bytes, whole or not at all; dated modified when that
    /// is valid (as far as the file system lets it: the bytes count, the date does not). Called
    /// from the page writer's thread too, while the caller's thread uses the other members.
    virtual void writeFile(const QString& path, const QByteArray& bytes,
                           const QDateTime& modified = {}) = 0;
    /// The whole content of a file.
    virtual QByteArray readFile(const QString& path) = 0;
    /// Deletes a file; with force also a read-only one.
    virtual void deleteFile(const QString& path, bool force) = 0;
    /// Deletes a folder with everything in it; with force also read-only files.
    virtual void deleteFolder(const QString& path, bool force) = 0;
    /// Opens a file to be written in pieces and committed whole.
    virtual std::unique_ptr<TextSink> createTextFile(const QString& path) = 0;
    /// Sets the time a file was last modified.
    virtual void setModificationTime(const QString& path, const QDateTime& time) = 0;
};

/// A path as the standard library's file functions take it, in the file system's encoding.
std::filesystem::path stdPath(const QString& path);

// The real file system through Qt (QDir, QFile); writes go to a file beside the target that
// replaces it when whole.
class LocalFileSystem final : public FileSystem
{
public:
    bool folderExists(const QString& path) override;
    bool fileExists(const QString& path) override;
    void createFolder(const QString& path) override;
    void writeFile(const QString& path, const QByteArray& bytes,
                   const QDateTime& modified = {}) override;
    QByteArray readFile(const QString& path) override;
    void deleteFile(const QString& path, bool force) override;
    void deleteFolder(const QString& path, bool force) override;
    std::unique_ptr<TextSink> createTextFile(const QString& path) override;
    void setModificationTime(const QString& path, const QDateTime& time) override;

    /// The whole content of the file at path; none when it cannot be opened or read. For files
    /// read often: fewer system calls than QFile, which asks for a file's status on opening and
    /// before the first read.
    static std::optional<QByteArray> readWhole(const QString& path);

    /// The longest file name, in bytes of the file system's encoding (QFile::encodeName), that a
    /// write can take: the temporary name it is written under is longer.
    static qsizetype maxWritableNameBytes();
    /// The name of the file that an unfinished write (of a killed process) was writing, when
    /// fileName is such a write's temporary name; empty otherwise.
    static QString unfinishedWriteTarget(const QString& fileName);
};

} // namespace lorvo
