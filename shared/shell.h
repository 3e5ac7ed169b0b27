#pragma once

// Starting programs and opening documents and addresses, as the desktop does it.

#include <QString>
#include <QStringList>

namespace lorvo {

enum class WindowStyle { Hidden = 0, Normal = 1, Minimized = 2, MinimizedNoFocus = 7 };

class Shell
{
public:
    virtual ~Shell() = default;
    /// Opens a document, folder or address with its default program; returns a result code above
    /// 32 on success, as the Windows shell does.
    virtual int open(const QString& pathOrAddress, WindowStyle style) = 0;
    /// Starts a command line without waiting; raises lorvo::Error when it cannot start.
    virtual void run(const QString& commandLine, WindowStyle style) = 0;
    /// The desktop's command line for opening web addresses (the registry's http open command on
    /// Windows); empty when unknown.
    virtual QString browserCommand() = 0;
    /// Whether the shell can be used at all; a desktop without one says false.
    virtual bool available() { return true; }
};

} // namespace lorvo
