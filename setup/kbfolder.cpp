// Creating the knowledge-base folder in Outlook: pick a parent, name the folder, copy the template
// folder out of a template store that is attached only for the copy, point the home page at the
// installation folder.

#include "setup/modmain.h"
#include "shared/errorhandling.h"
#include "shared/outlooksession.h"
#include "shared/text.h"

#include <QSet>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace lorvo::setup {

namespace {

// The top folder's name in both template stores; the template folder is its second subfolder.
const QString kTemplateTop = u"LorvoFilled"_s;

template <class T> T& required(const std::shared_ptr<T>& object)
{
    if (!object)
        throw Error(err::ObjectNotSet, u"Object variable not set"_s);
    return *object;
}

// The first subfolder of parent whose name equals name exactly, with its one-based position.
std::pair<outlook::FolderPtr, int> subfolderNamed(const outlook::FolderPtr& parent,
                                                  const QString& name)
{
    const auto folders = required(parent).Folders();
    const int count = required(folders).Count();
    for (int i = 1; i <= count; ++i) {
        auto folder = folders->Item(i);
        if (folder && folder->Name() == name)
            return {folder, i};
    }
    return {nullptr, 0};
}

void removeSubfolder(const outlook::FolderPtr& parent, const outlook::FolderPtr& folder)
{
    const QString id = required(folder).EntryID();
    const auto folders = required(parent).Folders();
    for (int i = required(folders).Count(); i >= 1; --i) {
        if (required(folders->Item(i)).EntryID() == id) {
            folders->Remove(i);
            return;
        }
    }
}

QSet<QString> storeIds(outlook::NameSpace& nameSpace)
{
    QSet<QString> ids;
    const auto tops = nameSpace.Folders();
    for (int i = 1; i <= required(tops).Count(); ++i)
        ids.insert(required(tops->Item(i)).StoreID());
    return ids;
}

// The template store while it is attached to the profile. It detaches itself when the procedure
// is left on any road, the end of the program included, so that the profile never keeps it.
class TemplateStore
{
public:
    explicit TemplateStore(outlook::NameSpacePtr nameSpace) : m_nameSpace(std::move(nameSpace)) {}
    ~TemplateStore() { detach(); }
    TemplateStore(const TemplateStore&) = delete;
    TemplateStore& operator=(const TemplateStore&) = delete;

    void attach(const QString& path)
    {
        auto& ns = required(m_nameSpace);
        const QSet<QString> before = storeIds(ns);
        ns.AddStore(path);
        // Take the store just attached, not one of the same top name that was there before.
        const auto tops = ns.Folders();
        for (int i = 1; i <= required(tops).Count() && !m_top; ++i) {
            auto top = tops->Item(i);
            if (top && top->Name() == kTemplateTop && !before.contains(top->StoreID()))
                m_top = top;
        }
    }

    // The store's top folder, found by its name.
    outlook::FolderPtr top()
    {
        if (!m_top)
            m_top = required(required(m_nameSpace).Folders()).Item(kTemplateTop);
        return m_top;
    }

    bool attached() const { return bool(m_top); }

    void detach() noexcept
    {
        if (!m_top)
            return;
        try {
            m_nameSpace->RemoveStore(m_top);
        } catch (...) {
            // Detaching is best effort; nothing more can be done about a store that stays.
        }
        m_top.reset();
    }

private:
    outlook::NameSpacePtr m_nameSpace;
    outlook::FolderPtr m_top;
};

// Outlook's readiness: a window to work in, and a version that knows folder home pages.
bool outlookKnowsHomePages(OutlookSession& session)
{
    const bool ready = ignoreErrors([&] {
        auto& app = required(session.goOutlook);
        auto explorers = app.Explorers();
        if (required(explorers).Count() < 1)
            explorers->Add(
                required(session.goNameSpace).GetDefaultFolder(outlook::olFolderCalendar), 0);
    });
    qint16 version = 0;
    ignoreErrors([&] { version = session.OutlookVersion(); });
    return ready && version >= 9;
}

// The folder to create the knowledge-base folder in, picked in Outlook's folder picker. A
// cancelled pick asks whether to leave the installation, which ends the program.
outlook::FolderPtr pickParentFolder(Runtime& rt, PageNavigator& pages)
{
    auto& session = rt.session();
    for (;;) {
        outlook::FolderPtr parent;
        ignoreErrors(
            [&] { parent = session.fncPickOutlookFolder(pages.pageWindow(Page::Settings)); });
        if (parent)
            return parent;
        const Answer answer =
            rt.msgBox(QStringList{u"Are you sure you want to cancel the installation?"_s,
                                  u"If you want to continue with the installation, press 'No'"_s}
                          .join(kCrLf),
                      Buttons::YesNo, Icon::Information, productTitle());
        if (answer == Answer::Yes)
            session.subEndApplication();
    }
}

// The new folder's name, asked until one is accepted: not empty, no backslash, and not the name
// of a folder in parent unless the user lets that one be overwritten (it is removed then). An
// empty name asks whether to leave the installation, which ends the program.
QString askFolderName(Runtime& rt, PageNavigator& pages, Trap& t, const outlook::FolderPtr& parent)
{
    auto& session = rt.session();
    for (;;) {
        t.at(50);
        const QString name = rt.dialogs().inputBox(
            u"Please select a name for the new Lorvo for Outlook folder."_s, productTitle(),
            u"Lorvo for Outlook"_s, pages.pageWindow(Page::Settings));
        t.at(60);
        if (name.isEmpty()) {
            const Answer answer = session.fncAssistantQuestion(
                session.goOutlook,
                QStringList{u"Either you have cancel the operation, "_s,
                            u"Or you have not entered a title for the issue tracking folder"_s,
                            u"Do you want to exit the installation?"_s}
                    .join(kCrLf),
                Buttons::YesNo);
            if (answer == Answer::Yes)
                session.subEndApplication();
            continue;
        }
        // Outlook takes the name, but no folder path can address a folder of that name (the
        // backslash separates folders), so neither the setup nor a repair finds it.
        if (const QString problem = ModMain::folderNameProblem(name); !problem.isEmpty()) {
            session.subAssistantMessage(session.goOutlook, problem);
            continue;
        }
        t.at(70);
        const auto [existing, position] = subfolderNamed(parent, name);
        if (!existing)
            return name;
        const Answer answer = session.fncAssistantQuestion(
            session.goOutlook,
            u"A folder with the name '"_s + name + u"' already exists!"_s + kCrLf +
                u"Do you want to overwrite this folder?"_s + kCrLf + kCrLf +
                u"Note: Existing data items in this folder will be lost if it is overwritten"_s,
            Buttons::YesNo);
        if (answer == Answer::Yes) {
            ignoreErrors([&] { parent->Folders()->Remove(position); });
            return name;
        }
    }
}

// Whether the template store file is there; when it is not, the user is told.
bool templateFileFound(Runtime& rt, Trap& t, const QString& templatePath)
{
    t.at(80);
    if (rt.fs().fileExists(templatePath))
        return true;
    rt.msgBox(QStringList{u"Failed to find the file: "_s, templatePath,
                          u"Shutdown Outlook and try installing again"_s}
                  .join(kCrLf),
              Buttons::Ok, Icon::Information, productTitle());
    return false;
}

// Copies the template folder out of the template store into parent and gives the copy the name;
// the copy, or null when none was made. The store is attached for the copy only. Failures are
// ignored: the caller checks their effects.
outlook::FolderPtr copyTemplateFolder(Runtime& rt, const outlook::FolderPtr& parent,
                                      const QString& templatePath, const QString& name)
{
    auto& session = rt.session();
    TemplateStore store(session.goNameSpace);
    rt.setStep(u"Opening the template file "_s + templatePath);
    ignoreErrors([&] { store.attach(templatePath); });
    outlook::FolderPtr top;
    rt.setStep(u"Getting root template folder!"_s);
    ignoreErrors([&] { top = store.top(); });
    outlook::FolderPtr templateFolder;
    rt.setStep(u"Getting Outlook template folder!"_s);
    ignoreErrors([&] { templateFolder = required(required(top).Folders()).Item(2); });

    QSet<QString> existingIds;
    ignoreErrors([&] {
        const auto folders = parent->Folders();
        for (int i = 1; i <= required(folders).Count(); ++i)
            existingIds.insert(required(folders->Item(i)).EntryID());
    });
    ignoreErrors([&] {
        rt.setStep(u"Attempting to copy the template folder to the Outlook folder: "_s +
                   session.fncGetFullFolderPath(parent, session.goNameSpace));
    });
    outlook::FolderPtr created;
    ignoreErrors([&] { created = required(templateFolder).CopyTo(parent); });
    if (!created) {
        // Some Outlook versions copy without returning the copy: look for it by name, but never
        // take a folder that was there before the copy.
        ignoreErrors([&] {
            const QString templateName = required(templateFolder).Name();
            const auto folders = parent->Folders();
            for (int i = 1; i <= required(folders).Count() && !created; ++i) {
                auto folder = folders->Item(i);
                if (folder && folder->Name() == templateName &&
                    !existingIds.contains(folder->EntryID()))
                    created = folder;
            }
        });
    }
    if (created)
        ignoreErrors([&] { created->SetName(name); });
    return created;
}

} // namespace

void ModMain::subSettings(bool exampleData)
{
    auto& session = m_rt.session();
    Trap t(m_rt, u"modMain.subSettings"_s);
    t.run([&] {
        t.step(10, u"Trying to open Outlook to apply settings"_s);
        session.subConnectOutlook(outlook::olFolderInbox);
        t.at(20);
        state.gstrTemplateFile = exampleData ? u"LorvoFilled.pst"_s : u"LorvoEmpty.pst"_s;
        t.at(30);
        subInstallLanguagetoOutlook();
        t.at(40);
        if (!session.goCurrentFolder)
            session.subEndApplication();
        t.step(50, u"Setting homepage to outlook folder"_s);
        ignoreErrors([&] { bringCurrentFolderIntoView(); });
    });
}

void ModMain::subInstallLanguagetoOutlook()
{
    auto& session = m_rt.session();
    session.goCurrentFolder.reset();
    if (!outlookKnowsHomePages(session)) {
        m_rt.msgBox(u"You need Outlook 2000 or later to run this application."_s, Buttons::Ok,
                    Icon::Critical, productTitle());
        return;
    }
    // The name, the overwrite question and the template file: failures there are reported.
    Trap t(m_rt, u"subInstallLanguagetoOutlook"_s);
    const QString templatePath = state.gstrInstallPath + state.gstrTemplateFile;
    // A copy that fails lets the user pick another folder.
    for (;;) {
        const outlook::FolderPtr parent = pickParentFolder(m_rt, m_pages);
        QString name;
        const bool haveTemplate = t.run([&] {
            name = askFolderName(m_rt, m_pages, t, parent);
            return templateFileFound(m_rt, t, templatePath);
        });
        if (!haveTemplate)
            return;
        const outlook::FolderPtr created = copyTemplateFolder(m_rt, parent, templatePath, name);
        if (!created) {
            session.subAssistantMessage(
                session.goOutlook,
                u"There were some problems. It can be one of the followings: "_s + kCrLf +
                    u"- Either, you have selected the root of Public Folders, or"_s + kCrLf +
                    u"- you don't have the appropriate permission to create"_s + kCrLf +
                    u"a sub-folder within the selected folder."_s + kCrLf + kCrLf +
                    u"Please try again!"_s);
            continue;
        }

        ignoreErrors(
            [&] { created->SetWebViewURL(u"file:"_s + state.gstrInstallPath + u"OLorvo.htm"_s); });
        QString address;
        ignoreErrors([&] { address = created->WebViewURL(); });
        if (!fncCheckHomepage(address))
            session.subEndApplication();
        // The result is the copy once it bears the name; an older folder of that name (one that
        // could not be removed) is not it. A copy that could not take the name is not left behind.
        ignoreErrors([&] {
            if (created->Name() == name)
                session.goCurrentFolder = created;
            else
                removeSubfolder(parent, created);
        });
        return;
    }
}

QString ModMain::folderNameProblem(const QString& name)
{
    if (!name.contains(u'\\'))
        return {};
    return u"A folder name cannot contain a backslash (\\): it separates the folders of a "
           u"folder path."_s +
           kCrLf + u"Please choose another name."_s;
}

bool ModMain::fncCheckHomepage(const QString& address)
{
    if (!address.trimmed().isEmpty())
        return true;
    auto& session = m_rt.session();
    session.subAssistantMessage(
        session.goOutlook,
        QStringList{
            u"The installation failed as the Outlook folder you have chosen/created does not:"_s,
            u" - support custom homepage view, or"_s,
            u" - you don't have enough permission to set the homepage view of the folder."_s,
            QString(), u"Please contact "_s + supportAddress() + u" for more information"_s,
            u"Setup will now exit."_s}
            .join(kCrLf));
    return false;
}

void ModMain::bringCurrentFolderIntoView()
{
    auto& session = m_rt.session();
    const auto folder = session.goCurrentFolder;
    if (!folder)
        return;
    auto& app = required(session.goOutlook);
    if (auto explorer = app.ActiveExplorer()) {
        explorer->SetCurrentFolder(folder);
        explorer->Activate();
        return;
    }
    // No window open: open one on the folder.
    auto explorer = required(app.Explorers()).Add(folder, 0);
    required(explorer).Display();
}

} // namespace lorvo::setup
