#include "shared/filesystem.h"

#include "shared/error.h"
#include "shared/platform.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <filesystem>
#include <fstream>
#include <ios>

using namespace Qt::StringLiterals;

namespace lorvo {

namespace {

[[noreturn]] void raise(qint32 number, const QString& path)
{
    QString text;
    switch (number) {
    case err::FileNotFound:
        text = u"File not found"_s;
        break;
    case err::FileExists:
        text = u"File already exists"_s;
        break;
    case err::PermissionDenied:
        text = u"Permission denied"_s;
        break;
    case err::PathNotFound:
        text = u"Path not found"_s;
        break;
    default:
        text = u"Path/File access error"_s;
        break;
    }
    throw Error(number, text + u": "_s + QDir::toNativeSeparators(path));
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

// The permission bits of a file (owner, group, others) as its status gives them, without the
// access checks that the user's permissions would cost.
QFileDevice::Permissions modeBits(const QFileInfo& info)
{
    QFileDevice::Permissions bits;
    for (const QFileDevice::Permission p :
         {QFileDevice::ReadOwner, QFileDevice::WriteOwner, QFileDevice::ExeOwner,
          QFileDevice::ReadGroup, QFileDevice::WriteGroup, QFileDevice::ExeGroup,
          QFileDevice::ReadOther, QFileDevice::WriteOther, QFileDevice::ExeOther}) {
        if (info.permission(p))
            bits |= p;
    }
    return bits;
}

// Written beside the target and renamed over it on commit, so a failed or interrupted write
// leaves the old file whole. Not synced to disk: publishing thousands of pages must not wait for
// the disk once per page (QSaveFile does), and a crash of the program still never leaves half a
// page in place of a good one. What stands at the target is looked at once; the folder only
// when something fails.
class ReplacingSink final : public TextSink
{
public:
    explicit ReplacingSink(const QString& path) : m_path(path)
    {
        const QFileInfo target(path);
        if (target.isDir() || (target.exists() && !target.permission(QFileDevice::WriteOwner)))
            raise(err::PermissionDenied, path);
        // Keep the permissions of the file replaced; a new page is readable by everyone, as a
        // web server needs.
        m_permissions = target.exists() ? modeBits(target)
                                        : QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ReadGroup | QFileDevice::ReadOther;
        // "." + the name + "." + six random letters and digits, made anew where one exists.
        static constexpr char16_t letters[] =
            u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        const QString stem = target.absolutePath() + u"/."_s + target.fileName() + u'.';
        for (int attempt = 0; attempt < 100; ++attempt) {
            QString name = stem;
            for (int k = 0; k < 6; ++k)
                name += QChar(letters[QRandomGenerator::global()->bounded(62)]);
            m_temp.setFileName(name);
            // Made with the permissions it is to have, as far as the umask lets them through.
            if (m_temp.open(QIODevice::WriteOnly | QIODevice::NewOnly, m_permissions))
                return;
            if (QFileInfo::exists(name))
                continue;
            break;
        }
        if (!parentExists(path))
            raise(err::PathNotFound, path);
        raiseForWrite(path, m_temp.error());
    }
    ~ReplacingSink() override
    {
        if (!m_committed && m_temp.isOpen()) {
            m_temp.close();
            m_temp.remove();
        }
    }
    ReplacingSink(const ReplacingSink&) = delete;
    ReplacingSink& operator=(const ReplacingSink&) = delete;

    void write(const QByteArray& bytes) override
    {
        if (m_temp.write(bytes) != bytes.size())
            raiseForWrite(m_path, m_temp.error());
    }
    // The whole content in one piece: past QFile, which would ask for the file's status before
    // its first write and gather small pieces in its buffer, as write() needs.
    void writeWhole(const QByteArray& bytes)
    {
        if (!writeAll(m_temp.handle(), bytes))
            raiseForWrite(m_path, QFileDevice::WriteError);
    }
    void commit() override { commit({}); }
    // Dated before it takes the target's place: no second opening of the file for that.
    void commit(const QDateTime& modified)
    {
        if (!m_temp.flush())
            raiseForWrite(m_path, m_temp.error());
        if (modified.isValid())
            m_temp.setFileTime(modified, QFileDevice::FileModificationTime);
        // Only where the umask took some away: a change of permissions is a journalled write of
        // the file's inode, once per page.
        if (!madeWithAll(m_temp.handle(), m_permissions))
            m_temp.setPermissions(m_permissions);
        m_temp.close();
        std::error_code error;
        std::filesystem::rename(stdPath(m_temp.fileName()), stdPath(m_path), error);
        if (error) {
            m_temp.remove();
            raiseForWrite(m_path, QFileDevice::RenameError);
        }
        m_committed = true;
    }

private:
    QString m_path;
    QFile m_temp;
    QFileDevice::Permissions m_permissions;
    bool m_committed = false;
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

void LocalFileSystem::writeFile(const QString& path, const QByteArray& bytes,
                                const QDateTime& modified)
{
    ReplacingSink sink(path);
    sink.writeWhole(bytes);
    sink.commit(modified);
}

void LocalFileSystem::setModificationTime(const QString& path, const QDateTime& time)
{
    // Windows sets a file's times only through a handle that may write. What stands at the path
    // is looked at only when it cannot be opened.
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) &&
        (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)))
        raise(QFileInfo(path).isFile() ? err::PermissionDenied : err::FileNotFound, path);
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

std::filesystem::path stdPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

// A bare std::filebuf: no status calls (as QFile makes on opening and before the first read) and
// no stream object to set up. Its read errors come as exceptions.
std::optional<QByteArray> LocalFileSystem::readWhole(const QString& path)
{
    try {
        std::filebuf file;
        if (!file.open(stdPath(path), std::ios::in | std::ios::binary))
            return std::nullopt;
        QByteArray bytes;
        qsizetype size = 0;
        // Reads larger than the buffer go straight into the bytes, one call each.
        for (qsizetype room = 64 * 1024;; room *= 2) {
            bytes.resize(size + room);
            const std::streamsize got = file.sgetn(bytes.data() + size, room);
            size += got;
            if (got < room)
                break;
        }
        bytes.truncate(size);
        return bytes;
    } catch (const std::ios_base::failure&) {
        return std::nullopt;
    }
}

qsizetype LocalFileSystem::maxWritableNameBytes()
{
    return kMaxNameBytes - kTemporaryExtraBytes;
}

QString LocalFileSystem::unfinishedWriteTarget(const QString& fileName)
{
    static const QRegularExpression temporary(u"^\\.(.+)\\.[A-Za-z0-9]{6}$"_s);
    const QRegularExpressionMatch m = temporary.match(fileName);
    return m.hasMatch() ? m.captured(1) : QString();
}

} // namespace lorvo
