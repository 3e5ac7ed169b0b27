#pragma once

// What the programs ask of the operating system besides files, Outlook and the shell, and how a
// program ends. This header holds the project's one platform #if.

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>
#include <algorithm>

#if LORVO_PLATFORM_WINDOWS
#include <io.h>
namespace lorvo {
inline constexpr bool kWindows = true;
inline constexpr const char kExecutableSuffix[] = ".exe";
/// Whether standard error is a terminal (a console) rather than a file or a pipe.
inline bool standardErrorIsTerminal()
{
    return _isatty(2) != 0;
}
/// Whether a file just made with the permissions asked for has exactly those (Windows has no
/// umask).
inline bool madeWithAll(int, QFileDevice::Permissions)
{
    return true;
}
/// Writes all the bytes to the open file; false when it cannot.
inline bool writeAll(int fd, QByteArrayView bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const int n = _write(fd, bytes.data() + done,
                             unsigned(std::min<qsizetype>(bytes.size() - done, 1 << 30)));
        if (n < 0)
            return false;
        done += n;
    }
    return true;
}
} // namespace lorvo
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
namespace lorvo {
inline constexpr bool kWindows = false;
inline constexpr const char kExecutableSuffix[] = "";
/// Whether standard error is a terminal (a console) rather than a file or a pipe.
inline bool standardErrorIsTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}
/// Whether a file just made with the permissions asked for has exactly those: the umask or a
/// folder's default access list may have taken some away. Asked of the open file, not its path.
inline bool madeWithAll(int fd, QFileDevice::Permissions asked)
{
    struct stat status;
    if (fstat(fd, &status) != 0)
        return false;
    // Owner, group and others: QFileDevice's bits 0x4000-0x1000, 0x40-0x10 and 0x4-0x1.
    const auto mode = uint(status.st_mode);
    const uint have = ((mode & 0700u) << 6) | ((mode & 070u) << 1) | (mode & 07u);
    const uint want = uint(asked.toInt()) & 0x7077u;
    return have == want;
}
/// Writes all the bytes to the open file; false when it cannot.
inline bool writeAll(int fd, QByteArrayView bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR)
            return false;
        done += std::max<ssize_t>(n, 0);
    }
    return true;
}
} // namespace lorvo
#endif

namespace lorvo {

struct OsVersion
{
    qint32 platformId = 0; // 1 Windows 9x, 2 Windows NT, anything else: another system
    qint32 major = 0;
    qint32 minor = 0;
    QString otherName; // the system's own name where platformId is neither 1 nor 2
};

// Special-folder ids of specialFolderPath.
inline constexpr qint32 CSIDL_PERSONAL = 5; // the documents folder

class Platform
{
public:
    virtual ~Platform() = default;
    /// The operating system's version record.
    virtual OsVersion osVersion() = 0;
    /// A special folder's path, or empty.
    virtual QString specialFolderPath(qint32 id, qint32 flags) = 0;
    /// The folder of the running program, without trailing separator.
    virtual QString programFolder() = 0;
    /// The running program's major, minor and revision numbers.
    virtual int versionMajor() = 0;
    virtual int versionMinor() = 0;
    virtual int versionRevision() = 0;
};

// The running system, through Qt.
class HostPlatform final : public Platform
{
public:
    OsVersion osVersion() override;
    QString specialFolderPath(qint32 id, qint32 flags) override;
    QString programFolder() override;
    int versionMajor() override;
    int versionMinor() override;
    int versionRevision() override;
};

// The end of the program: every window unloaded, then the process ends.
class ProgramEnd
{
public:
    virtual ~ProgramEnd() = default;
    /// Unloads every window and ends the process with the code (no return to the event loop's
    /// work).
    virtual void endProgram(int exitCode) = 0;
    /// Whether the program has been told to end.
    virtual bool hasEnded() const = 0;
};

} // namespace lorvo
