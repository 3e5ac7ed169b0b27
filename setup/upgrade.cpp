// Upgrading or repairing an installation: find the existing knowledge-base folder, derive the
// installation folder from its home-page address and write the application files there again.

#include "setup/modmain.h"
#include "shared/errorhandling.h"
#include "shared/outlooksession.h"
#include "shared/text.h"

#include <QDir>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace lorvo::setup {

namespace {

// A knowledge-base folder is known by its home page alone, in any letter case.
bool isKnowledgeBaseAddress(const QString& address)
{
    return address.endsWith(u"OLorvo.htm"_s, Qt::CaseInsensitive);
}

QString entryIdOf(const outlook::FolderPtr& folder)
{
    return folder ? folder->EntryID() : QString();
}

} // namespace

void ModMain::subUpgradeRepair()
{
    auto& session = m_rt.session();
    Trap t(m_rt, u"modMain.subUpgradeRepair"_s);
    try {
        t.step(10, u"Trying to open Outlook to apply settings"_s);
        session.subConnectOutlook(outlook::olFolderInbox);
        t.at(20);
        subPickExistingFolder();
        t.at(30);
        if (!session.goCurrentFolder)
            session.subEndApplication();
        t.at(40);
        // A home page in another form (a web address, capitals) does not give a folder on disk;
        // writing there would put the files below whatever the current folder happens to be.
        const bool onDisk = !state.gstrInstallPath.trimmed().isEmpty() &&
                            QDir::isAbsolutePath(QDir::fromNativeSeparators(state.gstrInstallPath));
        if (!onDisk)
            m_rt.msgBox(QStringList{u"The homepage of the selected folder does not point to an "
                                    u"installation folder on disk:"_s,
                                    state.gstrInstallPath}
                            .join(kCrLf),
                        Buttons::Ok, Icon::Critical, productTitle());
        if (!onDisk || !subInstall(state.gstrInstallPath)) {
            m_rt.msgBox(QStringList{u"Setup encountered a problem!"_s,
                                    u"Please contact "_s + supportAddress() + u" for more help."_s,
                                    QString(), u"Note : Setup will now exit"_s}
                            .join(kCrLf),
                        Buttons::Ok, Icon::Critical, productTitle());
            session.subEndApplication();
        }
        t.step(50, u"Setting homepage to outlook folder"_s);
    } catch (const ProgramEnded&) {
        throw;
    } catch (const std::exception& e) {
        m_rt.msgBox(QStringList{u"Setup has encountered a problem."_s,
                                u"Please shutdown Outlook and try this feature again."_s}
                        .join(kCrLf),
                    Buttons::Ok, Icon::Critical, productTitle());
        t.report(e);
    }
}

void ModMain::subPickExistingFolder()
{
    auto& session = m_rt.session();
    const QString notLorvo =
        QStringList{u"This is not a Lorvo folder!"_s,
                    u"A valid Lorvo folder has its homepage property set to 'OLorvo.htm'."_s,
                    QString(), u"Press OK to continue."_s}
            .join(kCrLf);

    outlook::FolderPtr folder;
    QString address;
    ignoreErrors([&] {
        if (auto explorer = session.goOutlook ? session.goOutlook->ActiveExplorer() : nullptr)
            folder = explorer->CurrentFolder();
        if (folder)
            address = folder->WebViewURL();
    });

    while (!isKnowledgeBaseAddress(address)) {
        folder.reset();
        address.clear();
        ignoreErrors(
            [&] { folder = session.fncPickOutlookFolder(m_pages.pageWindow(Page::Upgrade)); });
        if (!folder) {
            if (m_rt.msgBox(u"Are you sure you want to exit the upgrade/repair option?"_s,
                            Buttons::YesNo, Icon::Information, productTitle()) == Answer::Yes)
                session.subEndApplication();
            continue;
        }
        qint32 kind = -1;
        ignoreErrors([&] { kind = folder->DefaultItemType(); });
        if (kind != outlook::olMailItem && kind != outlook::olPostItem) {
            m_rt.msgBox(notLorvo, Buttons::Ok, Icon::Information);
            continue;
        }
        outlook::FolderPtr inbox;
        ignoreErrors([&] {
            if (session.goNameSpace)
                inbox = session.goNameSpace->GetDefaultFolder(outlook::olFolderInbox);
        });
        QString id;
        ignoreErrors([&] { id = folder->EntryID(); });
        if (!id.isEmpty() && id == entryIdOf(inbox)) {
            m_rt.msgBox(u"INBOX folder cannot be selected for this operation!"_s + kCrLf +
                            u"Please select a different folder."_s,
                        Buttons::Ok, Icon::Critical);
            continue;
        }
        QString rootId;
        ignoreErrors([&] { rootId = inbox ? entryIdOf(inbox->Parent()) : QString(); });
        if (!id.isEmpty() && id == rootId) {
            m_rt.msgBox(u"ROOT folder cannot be selected for this operation!"_s + kCrLf +
                            u"Please select a subfolder folder."_s,
                        Buttons::Ok, Icon::Critical);
            continue;
        }
        ignoreErrors([&] { address = folder->WebViewURL(); });
        if (!isKnowledgeBaseAddress(address))
            m_rt.msgBox(notLorvo, Buttons::Ok, Icon::Information);
    }

    state.gstrInstallPath = fncFolderFromHomepage(address);
    session.goCurrentFolder = folder;
}

QString ModMain::fncFolderFromHomepage(const QString& address)
{
    // Only the prefix in lower case is known; an address in capitals keeps its prefix.
    QString rest = address;
    if (rest.startsWith(u"file://"_s))
        rest.remove(0, 7);
    else if (rest.startsWith(u"file:"_s))
        rest.remove(0, 5);
    // Cut the file name off the end only: a folder on the way may bear the same text.
    return rest.left(rest.size() - fncFileNameOf(rest).size());
}

QString ModMain::fncFileNameOf(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'\\'), path.lastIndexOf(u'/'));
    return cut < 0 ? QString() : path.mid(cut + 1);
}

} // namespace lorvo::setup
