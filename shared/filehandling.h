#pragma once

// File and shell helpers (modFileHandling, fncGetShell, fncCreateDic, fncGetSpecialFolderPath).

#include "shared/dictionary.h"

#include <QString>

namespace lorvo {

class Runtime;
class Shell;

/// The path without one trailing "/" or "\"; a root ("/", "C:\") keeps it.
QString fncClearEndSlash(const QString& path);

class FileHandling
{
public:
    explicit FileHandling(Runtime& rt);

    /// Runs a program (name without extension, looked up in folder, then beside this program) or
    /// opens an address starting with http or mail.
    void subExecute(const QString& name, const QString& arguments, const QString& folder);
    /// Makes sure the shared file-system object exists.
    void subSetupFS();
    /// The silent repair of the scripting runtime; it has no counterpart on this platform.
    void subFixDamagedScrrun();
    /// The shell object; ends the program with the four-line message when none can be had.
    Shell& fncGetShell();
    /// The whole content of a text file, or empty when it does not exist.
    QString fncReadTextFile(const QString& path);
    /// A new dictionary whose keys compare without regard to case.
    template <class T> CaseBlindDictionary<T> fncCreateDic() { return CaseBlindDictionary<T>(); }
    /// A special folder's path, or empty.
    QString fncGetSpecialFolderPath(qint32 id, qint32 flags);
    /// Releases the shared file-system object at the end of the program.
    void releaseFileSystem() { m_fsReady = false; }

private:
    Runtime& m_rt;
    bool m_fsReady = false;
};

} // namespace lorvo
