#include "archive/destination.h"

#include "shared/error.h"
#include "shared/filesystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <chrono>
#include <filesystem>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

QString lockFileIn(const QString& destination)
{
    return destination + u"/.LorvoArchive.lock"_s;
}

DestinationLock::DestinationLock(const QString& destination) : m_lock(lockFileIn(destination))
{
    // A run takes minutes, and its lock must hold as long: only a dead holder's lock is stale.
    m_lock.setStaleLockTime(0);
}

bool DestinationLock::tryLock()
{
    if (m_lock.tryLock(0))
        return true;
    if (m_lock.error() == QLockFile::LockFailedError)
        return false;
    throw Error(err::PermissionDenied,
                u"Permission denied: "_s + QDir::toNativeSeparators(m_lock.fileName()));
}

qint64 DestinationLock::holder() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    return m_lock.getLockInfo(&pid, &host, &application) ? pid : 0;
}

namespace {

// The files a run writes whole beside its pages (archive/toc.cpp, archive/site.cpp), and in
// Images/: the targets whose unfinished writes are ours to remove. Nothing else is, whatever its
// name looks like.
bool isSiteFile(const QString& name)
{
    static const QStringList names{u"style.css"_s, u"outline.js"_s, u"search-index.js"_s,
                                   u"sitemap.xml"_s};
    return name.endsWith(".htm"_L1, Qt::CaseInsensitive) ||
           names.contains(name, Qt::CaseInsensitive);
}

bool isImagesFile(const QString& name)
{
    return name.compare("bulletredsmall.gif"_L1, Qt::CaseInsensitive) == 0;
}

} // namespace

WorkingFolder::WorkingFolder(FileSystem& fs, QString destination)
    : m_fs(fs), m_destination(std::move(destination)), m_path(pathIn(m_destination))
{
    if (m_fs.folderExists(m_path))
        m_fs.deleteFolder(m_path, true);
    // A write that a kill interrupted left its temporary file beside its target.
    removeUnfinishedWrites(m_destination, isSiteFile);
    removeUnfinishedWrites(m_destination + u"/Images"_s, isImagesFile);
    m_fs.createFolder(m_path);
}

void WorkingFolder::removeUnfinishedWrites(const QString& folder,
                                           bool (*ours)(const QString& target))
{
    const QStringList hidden =
        QDir(folder).entryList({u".*"_s}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : hidden) {
        if (ours(LocalFileSystem::unfinishedWriteTarget(name)))
            ignoreErrors([&] { m_fs.deleteFile(folder + u'/' + name, true); });
    }
}

WorkingFolder::~WorkingFolder()
{
    ignoreErrors([&] {
        if (m_fs.folderExists(m_path))
            m_fs.deleteFolder(m_path, true);
    });
}

QString WorkingFolder::pathIn(const QString& destination)
{
    return destination + u"/.LorvoArchive-work"_s;
}

namespace {

// The date of a copy file that holds no copy: any save stands after it. A date, not a mark in the
// content: it is set and read without opening the file.
const std::filesystem::file_time_type kNoCopy = std::filesystem::file_time_type::clock::from_sys(
    std::chrono::sys_seconds{std::chrono::seconds{946'684'800}}); // 2000-01-01

bool rename(const QString& from, const QString& to)
{
    std::error_code error;
    std::filesystem::rename(stdPath(from), stdPath(to), error);
    return !error;
}

} // namespace

QString WorkingFolder::copyFile()
{
    const QString path = m_path + u"/.copy.rtf"_s;
    // Marked rather than emptied: freeing its blocks and taking them anew for every article is
    // what the single file avoids.
    std::error_code error;
    std::filesystem::last_write_time(stdPath(path), kNoCopy, error);
    if (error && m_fs.fileExists(path))
        ignoreErrors([&] { m_fs.deleteFile(path, true); });
    return path;
}

bool WorkingFolder::holdsCopy(const QString& path)
{
    std::error_code error;
    const std::filesystem::path native = stdPath(path);
    const auto written = std::filesystem::last_write_time(native, error);
    if (error)
        return false;
    // A day either side for file systems that keep coarse dates; a save on a clock that stands
    // before 2000 is still a save.
    const auto day = std::chrono::hours(24);
    if (written > kNoCopy - day && written < kNoCopy + day)
        return false;
    return std::filesystem::file_size(native, error) > 0 && !error;
}

void WorkingFolder::moveFilesBeside(const QString& name)
{
    const QString folderName = name + u"_files"_s;
    const QString from = m_path + u'/' + folderName;
    if (!m_fs.folderExists(from))
        return;
    const QString to = m_destination + u'/' + folderName;
    if (!m_fs.folderExists(to))
        m_fs.createFolder(to);
    // Renamed, not copied: the working folder lies on the destination's file system.
    for (const QString& file : QDir(from).entryList(QDir::Files | QDir::Hidden)) {
        const QString source = from + u'/' + file;
        const QString target = to + u'/' + file;
        if (!rename(source, target))
            throw Error(err::PathFileAccess,
                        u"Path/File access error: "_s + QDir::toNativeSeparators(target));
    }
    m_fs.deleteFolder(from, true);
}

} // namespace lorvo::archive
