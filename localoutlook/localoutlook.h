#pragma once

// The local Outlook: a profile folder with SQLite store files that behaves as the programs expect
// Outlook to behave. Only the programs' main.cpp, lorvo-store and the tests name it.

#include "shared/dialogs.h"
#include "shared/outlook.h"
#include "shared/shell.h"

#include <QString>

namespace localoutlook {

/// The version text a new profile reports.
inline QString defaultVersion()
{
    return QStringLiteral("12.0.4518.1014");
}

/// LORVO_OUTLOOK_PROFILE, or "Lorvo/Outlook Profile" in the user's local application-data folder
/// (shared by both programs, so not the per-program application folder).
QString defaultProfilePath();

/// Creates a profile with its default mailbox and Public Folders stores (no-op when it exists,
/// except that a given version replaces the stored one). Raises lorvo::Error on failure.
void initProfile(const QString& profileDir, const QString& version = {});

/// Closes every explorer window of the profile: Outlook running without a window, as a program
/// may find it. Raises lorvo::Error when the profile cannot be read or written.
void closeAllExplorers(const QString& profileDir);

// Reaches the Outlook of one profile.
class Provider final : public outlook::Provider
{
public:
    Provider(QString profileDir, lorvo::Dialogs& dialogs, lorvo::Shell& shell);
    ~Provider() override;

    /// The profile's Outlook when the profile exists, else null.
    outlook::ApplicationPtr GetRunning() override;
    /// Opens the profile, creating a new one when missing; null when it cannot be opened.
    outlook::ApplicationPtr Create(const QString& className) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace localoutlook
