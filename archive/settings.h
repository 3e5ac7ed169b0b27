#pragma once

// The archive generator's stored options: ten text values under
// "Software\Tervane\Outlook Lorvo\Settings" of the current user (the registry on Windows, an INI
// file elsewhere), written by subSaveSetting and read by fncGetSetting.

#include <QString>
#include <QVariant>
#include <optional>

namespace lorvo::archive {

// Where the values live: one key per application and section, as the registry has them.
class SettingsBackend
{
public:
    virtual ~SettingsBackend() = default;

    // A system error code of the store: 0 success, 2 not found, 5 access denied, 13 invalid data.
    struct Status
    {
        int code = 0;
        bool opened = true; // false: the section could not be opened or created
    };

    /// Reads one value of application\section; value stays empty when it is missing.
    virtual Status read(const QString& application, const QString& section, const QString& key,
                        std::optional<QVariant>& value) = 0;
    /// Writes one text value of application\section, creating the section.
    virtual Status write(const QString& application, const QString& section, const QString& key,
                         const QString& value) = 0;
};

// The current user's settings through QSettings: the registry key
// HKEY_CURRENT_USER\Software\Tervane\<application> on Windows, the INI file of the organisation
// "Tervane" and the application elsewhere. A test names its own INI file.
class QSettingsBackend final : public SettingsBackend
{
public:
    /// iniFile: the file to use instead of the user's (empty: the user's settings).
    explicit QSettingsBackend(QString iniFile = {});

    Status read(const QString& application, const QString& section, const QString& key,
                std::optional<QVariant>& value) override;
    Status write(const QString& application, const QString& section, const QString& key,
                 const QString& value) override;

private:
    QString m_iniFile;
};

// The settings store of frmMain: fixed application name, errors raised as lorvo::Error with the
// numbers and texts support staff know from the report.
class Settings
{
public:
    explicit Settings(SettingsBackend& backend,
                      QString application = QStringLiteral("Outlook Lorvo"));

    /// Writes one value; raises on failure.
    void subSaveSetting(const QString& section, const QString& key, const QString& value);
    /// The stored value, or defaultValue when the section or value is missing; raises on failure
    /// and when the stored value is not text.
    QString fncGetSetting(const QString& section, const QString& key, const QString& defaultValue);

private:
    void checkNames(const QString& section, const QString& key) const;
    SettingsBackend& m_backend;
    QString m_application;
};

// Error numbers of the settings store: the application-error base plus these.
namespace settingserr {
inline constexpr qint32 Base = qint32(0x80040000);
inline constexpr qint32 AppNameEmpty = Base + 1000;
inline constexpr qint32 SectionEmpty = Base + 1001;
inline constexpr qint32 KeyEmpty = Base + 1002;
inline constexpr qint32 SystemBase = Base + 2000; // plus the system error code
} // namespace settingserr

} // namespace lorvo::archive
