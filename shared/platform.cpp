#include "shared/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QOperatingSystemVersion>
#include <QStandardPaths>
#include <QSysInfo>

namespace lorvo {

OsVersion HostPlatform::osVersion()
{
    OsVersion os;
    if constexpr (kWindows) {
        // Every Windows that Qt 6 runs on is of the NT family.
        const auto current = QOperatingSystemVersion::current();
        os.platformId = 2;
        os.major = current.majorVersion();
        os.minor = current.minorVersion();
    } else {
        os.platformId = 0;
        os.otherName = QSysInfo::prettyProductName();
    }
    return os;
}

QString HostPlatform::specialFolderPath(qint32 id, qint32 /*flags*/)
{
    if (id != CSIDL_PERSONAL)
        return {};
    return QDir::toNativeSeparators(
        QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

QString HostPlatform::programFolder()
{
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

int HostPlatform::versionMajor()
{
    return LORVO_VERSION_MAJOR;
}

int HostPlatform::versionMinor()
{
    return LORVO_VERSION_MINOR;
}

int HostPlatform::versionRevision()
{
    return LORVO_VERSION_PATCH;
}

} // namespace lorvo
