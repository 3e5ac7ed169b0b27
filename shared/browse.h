#pragma once

// Browser and folder-browser helpers (modAPI, modBrowseForFolder) and the key filter of a
// number box. The window-level helpers (topmost, back colour) live in shared/gui.

#include <QString>

#include <optional>

class QObject;

namespace lorvo {

class Runtime;

/// The browser program from an http open command line: the quoted program, or everything before
/// the first blank after the last backslash, or the whole text.
QString browserFromCommand(const QString& command);

/// Keeps a key code that is a digit, Backspace (8) or the extra allowed code; else sets it to 0.
void subNumericKeyFilter(int& keyCode, int extraAllowed);

class BrowserHelpers
{
public:
    explicit BrowserHelpers(Runtime& rt);
    /// Opens an address with the shell's default action (or the browser of GetBrowser).
    void subOpenUrl(const QString& address, bool useBrowser);
    /// Opens a document with its program; above 32 means success.
    int OpenDoc(const QString& path);
    /// The default web browser's program path, cached.
    QString GetBrowser();

private:
    Runtime& m_rt;
    QString m_browser;
};

class FolderBrowser
{
public:
    explicit FolderBrowser(Runtime& rt);

    QString startFolder; // set by the caller before Folder_Browse; empty: none
    QString root;        // left empty: the whole file system
    QString displayName; // of the last chosen folder

    /// Shows the folder browser; the chosen path, or empty when cancelled.
    QString Folder_Browse(QObject* owner, const QString& title, qint32 extraFlags);
    /// The typed-name question: Yes creates currentFolder/typedName and returns it (the dialog
    /// stays open on it); No keeps the dialog open where it was; an empty name closes it.
    /// Returns the folder to select, or nullopt to close the dialog.
    std::optional<QString> onTypedNameInvalid(const QString& currentFolder, const QString& typedName);

private:
    Runtime& m_rt;
};

} // namespace lorvo
