#pragma once

// The connection to Outlook and the folder helpers (modOutlookCode, modAssistant).

#include "shared/dialogs.h"
#include "shared/outlook.h"

#include <QString>
#include <QVariant>

class QObject;

namespace lorvo {

class Runtime;

/// The folder at a full path as fncGetFullFolderPath writes it (\\Store Top\Sub\Sub; the leading
/// backslashes may be left out), names compared exactly; null when there is none.
outlook::FolderPtr folderAtFullPath(outlook::NameSpace& nameSpace, const QString& fullPath);

// Variant kinds of fncGetOutlookValue.
enum ValueKind : qint32 { vbInteger = 2, vbDate = 7, vbString = 8, vbBoolean = 11 };

class OutlookSession
{
public:
    explicit OutlookSession(Runtime& rt);

    outlook::ApplicationPtr goOutlook;
    outlook::NameSpacePtr goNameSpace;
    outlook::FolderPtr goCurrentFolder;

    /// Attaches to or starts Outlook and makes sure a window is open; ends the program on failure.
    void subConnectOutlook(qint32 defaultFolder);
    /// Outlook's major version, cached.
    qint16 OutlookVersion();
    /// The number before the first "."; the text is cut to that part.
    qint16 fncGetVersion(QString& version);
    /// The folder the user picks in Outlook, or null.
    outlook::FolderPtr fncPickOutlookFolder(QObject* callingWindow);
    /// The folder's path such as \\Public Folders\All Public Folders\Knowledge Base.
    QString fncGetFullFolderPath(const outlook::FolderPtr& folder,
                                 const outlook::NameSpacePtr& nameSpace);
    /// Sets goCurrentFolder to the folder Outlook's active window shows.
    void subGetRootCurrent(qint32 defaultFolder);
    /// A user-defined field of an item as a value of the kind asked for.
    QVariant fncGetOutlookValue(const outlook::ItemPtr& item, const QString& field, qint32 kind,
                                const QVariant& defaultValue);
    /// Unloads every window, releases Outlook and ends the process (throws ProgramEnded).
    [[noreturn]] void subEndApplication();

    /// An information message through the Office Assistant, or a message box.
    void subAssistantMessage(const outlook::ApplicationPtr& app, const QString& text);
    /// A question through the Office Assistant, or a message box; returns the button pressed.
    Answer fncAssistantQuestion(const outlook::ApplicationPtr& app, const QString& text,
                                Buttons buttons);

private:
    Runtime& m_rt;
    qint16 m_versionCache = 0;
};

} // namespace lorvo
