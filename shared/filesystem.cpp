#include "shared/filesystem.h"

#include "shared/error.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <filesystem>

namespace lorvo {

namespace {

[[noreturn]] void raise(qint32 number, const QString& path)
{
    QString text;
    switch (number) {
    case err::FileNotFound:
        text = QStringLiteral("File not found");
        break;
    case err::FileExists:
        text = QStringLiteral("File already exists");
        break;
    case err::PermissionDenied:
        text = QStringLiteral("Permission denied");
        break;
    case err::PathNotFound:
        text = QStringLiteral("Path not found");
        break;
    default:
        text = QStringLiteral("Path/File access error");
        break;
    }
    throw Error(number, text + QStringLiteral(": ") + QDir::toNativeSeparators(path));
}

bool parentExists(const QString& path)
{
    return QFileInfo(QFileInfo(path).absolutePath()).isDir();
}

// The classic number for a file that could not be opened or written.
[[noreturn]] void raiseForWrite(const QString& path, QFileDevice::FileError error)
{
    if (!parentExists(path))
        raise(err::PathNotFound, path);
    if (error == QFileDevice::PermissionsError || QFileInfo(path).isDir() ||
        !QFileInfo(QFileInfo(path).absolutePath()).isWritable() ||
        (QFileInfo::exists(path) && !QFileInfo(path).isWritable()))
        raise(err::PermissionDenied, path);
    raise(err::PathFileAccess, path);
}

// The read-only attribute: no write permission for the owner (root ignores it otherwise).
bool isReadOnly(const QString& path)
{
    return !QFile::permissions(path).testFlag(QFileDevice::WriteOwner);
}

void makeWritable(const QString& path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner |
                                    QFileDevice::WriteUser);
}

// The longest name the common file systems take (ext4, XFS, Btrfs: bytes; NTFS: UTF-16 units,
// never more than the UTF-8 bytes).
constexpr qsizetype kMaxNameBytes = 255;
// A file is written under "." + its name + "." + six random characters, then renamed.
constexpr qsizetype kTemporaryExtraBytes = 8;

QString temporaryTemplate(const QString& path)
{
    return QFileInfo(path).absolutePath() + QStringLiteral("/.") + QFileInfo(path).fileName() +
           QStringLiteral(".XXXXXX");
}

// Written beside the target and renamed over it on commit, so a failed or interrupted write
// leaves the old file whole. Not synced to disk: publishing thousands of pages must not wait for
// the disk once per page (QSaveFile does), and a crash of the program still never leaves half a
// page in place of a good one.
class ReplacingSink final : public TextSink
{
public:
    explicit ReplacingSink(const QString& path) : m_path(path), m_temp(temporaryTemplate(path))
    {
        if (QFileInfo(path).isDir() || (QFileInfo::exists(path) && isReadOnly(path)))
            raise(err::PermissionDenied, path);
        if (!parentExists(path))
            raise(err::PathNotFound, path);
        if (!m_temp.open())
            raiseForWrite(path, m_temp.error());
    }
    void write(const QByteArray& bytes) override
    {
        if (m_temp.write(bytes) != bytes.size())
            raiseForWrite(m_path, m_temp.error());
    }
    void commit() override
    {
        if (!m_temp.flush())
            raiseForWrite(m_path, m_temp.error());
        // Keep the permissions of the file replaced; a new page is readable by everyone, as
        // a web server needs.
        const QFileDevice::Permissions permissions =
            QFileInfo::exists(m_path)
                ? QFile::permissions(m_path)
                : QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser |
                      QFileDevice::WriteUser | QFileDevice::ReadGroup | QFileDevice::ReadOther;
        m_temp.setPermissions(permissions);
        m_temp.close();
        std::error_code error;
        std::filesystem::rename(std::filesystem::path(m_temp.fileName().toStdU16String()),
                                std::filesystem::path(m_path.toStdU16String()), error);
        if (error)
            raiseForWrite(m_path, QFileDevice::RenameError);
        m_temp.setAutoRemove(false);
    }

private:
    QString m_path;
    QTemporaryFile m_temp;
};

} // namespace

bool LocalFileSystem::folderExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool LocalFileSystem::fileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

void LocalFileSystem::createFolder(const QString& path)
{
    // A trailing separator names the same folder.
    const QFileInfo info(QDir::cleanPath(path));
    if (info.exists())
        raise(err::FileExists, path);
    if (!parentExists(info.filePath()))
        raise(err::PathNotFound, path);
    if (!QDir().mkdir(info.absoluteFilePath()))
        raise(QFileInfo(info.absolutePath()).isWritable() ? err::PathFileAccess
                                                          : err::PermissionDenied,
              path);
}

void LocalFileSystem::writeFile(const QString& path, const QByteArray& bytes)
{
    ReplacingSink sink(path);
    sink.write(bytes);
    sink.commit();
}

void LocalFileSystem::setModificationTime(const QString& path, const QDateTime& time)
{
    if (!QFileInfo(path).isFile())
        raise(err::FileNotFound, path);
    // Windows sets a file's times only through a handle that may write.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) &&
        !file.open(QIODevice::ReadOnly))
        raise(err::PermissionDenied, path);
    if (!file.setFileTime(time, QFileDevice::FileModificationTime))
        raise(err::PathFileAccess, path);
}

QByteArray LocalFileSystem::readFile(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        raise(err::FileNotFound, path);
    if (!file.open(QIODevice::ReadOnly))
        raise(file.error() == QFileDevice::PermissionsError ? err::PermissionDenied
                                                            : err::PathFileAccess,
              path);
    return file.readAll();
}

void LocalFileSystem::deleteFile(const QString& path, bool force)
{
    const QFileInfo info(path);
    if (!info.isFile())
        raise(err::FileNotFound, path);
    if (isReadOnly(path)) {
        if (!force)
            raise(err::PermissionDenied, path);
        makeWritable(path);
    }
    if (!QFile::remove(path))
        raise(err::PermissionDenied, path);
}

void LocalFileSystem::deleteFolder(const QString& givenPath, bool force)
{
    const QString path = QDir::cleanPath(givenPath);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        raise(err::PathNotFound, path);
    // Look before deleting, so that a refused deletion leaves the folder whole.
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList readOnly;
    while (it.hasNext()) {
        const QString entry = it.next();
        if (isReadOnly(entry))
            readOnly.append(entry);
    }
    if (!readOnly.isEmpty()) {
        if (!force)
            raise(err::PermissionDenied, readOnly.first());
        for (const QString& entry : std::as_const(readOnly))
            makeWritable(entry);
    }
    if (!QDir(path).removeRecursively())
        raise(err::PermissionDenied, path);
}

std::unique_ptr<TextSink> LocalFileSystem::createTextFile(const QString& path)
{
    return std::make_unique<ReplacingSink>(path);
}

qsizetype LocalFileSystem::maxWritableNameBytes()
{
    return kMaxNameBytes - kTemporaryExtraBytes;
}

QString LocalFileSystem::unfinishedWriteTarget(const QString& fileName)
{
    static const QRegularExpression temporary(QStringLiteral("^\\.(.+)\\.[A-Za-z0-9]{6}$"));
    const QRegularExpressionMatch m = temporary.match(fileName);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace lorvo
