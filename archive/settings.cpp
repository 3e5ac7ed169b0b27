#include "archive/settings.h"

#include "shared/error.h"
#include "shared/platform.h"

#include <QFileInfo>
#include <QSettings>
#include <memory>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

// System error codes as the registry reports them.
constexpr int kNotFound = 2;
constexpr int kAccessDenied = 5;

// The registry type a stored value would have: what the "not a string" error quotes.
int registryType(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QStringList:
        return 7; // multi-string
    case QMetaType::QByteArray:
        return 3; // binary
    case QMetaType::Int:
    case QMetaType::UInt:
        return 4; // 32-bit number
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return 11; // 64-bit number
    default:
        return 0; // no type
    }
}

} // namespace

QSettingsBackend::QSettingsBackend(QString iniFile) : m_iniFile(std::move(iniFile)) {}

namespace {

// The settings of one application, positioned on the section.
std::unique_ptr<QSettings> openSection(const QString& iniFile, const QString& application,
                                       const QString& section)
{
    std::unique_ptr<QSettings> settings;
    if (!iniFile.isEmpty())
        settings = std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
    else if constexpr (kWindows)
        settings = std::make_unique<QSettings>(
            u"HKEY_CURRENT_USER\\Software\\Tervane\\"_s + application, QSettings::NativeFormat);
    else
        settings = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                               u"Tervane"_s, application);
    settings->beginGroup(section);
    return settings;
}

// Whether a settings file exists but cannot be read: such a file is left alone, so that the
// values it holds are not replaced by ours.
bool unreadableFile(const QSettings& settings)
{
    if (settings.format() != QSettings::IniFormat)
        return false;
    const QFileInfo info(settings.fileName());
    return info.exists() && (!info.isFile() || !info.isReadable());
}

} // namespace

SettingsBackend::Status QSettingsBackend::read(const QString& application, const QString& section,
                                               const QString& key, std::optional<QVariant>& value)
{
    const auto settings = openSection(m_iniFile, application, section);
    if (unreadableFile(*settings))
        return {kAccessDenied, false};
    if (settings->status() == QSettings::AccessError)
        return {kAccessDenied, false};
    if (!settings->contains(key)) {
        // A section without any value is a section that does not exist.
        if (settings->childKeys().isEmpty())
            return {kNotFound, false};
        return {};
    }
    value = settings->value(key);
    return {};
}

SettingsBackend::Status QSettingsBackend::write(const QString& application, const QString& section,
                                                const QString& key, const QString& value)
{
    const auto settings = openSection(m_iniFile, application, section);
    if (unreadableFile(*settings))
        return {kAccessDenied, false};
    settings->setValue(key, value);
    settings->sync();
    // A format error means lines of the old file could not be read; the write itself went through.
    if (settings->status() == QSettings::AccessError)
        return {kAccessDenied, true};
    return {};
}

Settings::Settings(SettingsBackend& backend, QString application)
    : m_backend(backend), m_application(std::move(application))
{
}

void Settings::checkNames(const QString& section, const QString& key) const
{
    if (m_application.trimmed().isEmpty())
        throw Error(settingserr::AppNameEmpty, u"AppName may not be empty"_s);
    if (section.trimmed().isEmpty())
        throw Error(settingserr::SectionEmpty, u"Section may not be empty"_s);
    if (key.trimmed().isEmpty())
        throw Error(settingserr::KeyEmpty, u"Key may not be empty"_s);
}

void Settings::subSaveSetting(const QString& section, const QString& key, const QString& value)
{
    checkNames(section, key);
    const auto status = m_backend.write(m_application.trimmed(), section.trimmed(), key, value);
    if (status.code == 0)
        return;
    throw Error(settingserr::SystemBase + status.code,
                status.opened ? u"Could not set key value"_s
                              : u"Could not open/create registry section"_s);
}

QString Settings::fncGetSetting(const QString& section, const QString& key,
                                const QString& defaultValue)
{
    checkNames(section, key);
    std::optional<QVariant> value;
    const auto status = m_backend.read(m_application.trimmed(), section.trimmed(), key, value);
    if (status.code == kNotFound && !status.opened)
        return defaultValue;
    if (status.code != 0)
        throw Error(settingserr::SystemBase + status.code, u"Could not open registry section"_s);
    if (!value)
        return defaultValue;
    if (value->typeId() != QMetaType::QString)
        throw Error(settingserr::SystemBase + registryType(*value),
                    u"Registry data not a string"_s);
    QString text = value->toString();
    // A terminating null stored with the text is not part of it.
    if (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

} // namespace lorvo::archive
