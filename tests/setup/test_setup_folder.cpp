#include "tests/setup/test_setup_folder.h"

#include "localoutlook/localoutlook.h"
#include "shared/outlooksession.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace lorvo;
using namespace lorvo::setup;
using namespace lorvo::setup::test;

namespace lorvo::setup::test {

FolderFixture::FolderFixture()
{
    QDir().mkpath(tr.path(u"Lorvo"_s));
    installPath = QDir::toNativeSeparators(tr.path(u"Lorvo"_s)) + QDir::separator();
    modMain.state.gstrInstallPath = installPath;
    wizard.showPage(Page::Settings);
}

bool FolderFixture::ends(const std::function<void()>& work)
{
    try {
        work();
        return false;
    } catch (const ProgramEnded&) {
        return true;
    }
}

outlook::ApplicationPtr FolderFixture::fresh()
{
    m_freshProvider = std::make_unique<localoutlook::Provider>(tr.profileDir, tr.dialogs, tr.shell);
    m_fresh = m_freshProvider->GetRunning();
    return m_fresh;
}

outlook::NameSpacePtr FolderFixture::freshNameSpace()
{
    const auto app = fresh();
    return app ? app->GetNamespace(u"MAPI"_s) : nullptr;
}

outlook::NameSpacePtr FolderFixture::nameSpace()
{
    auto& session = tr.rt->session();
    session.subConnectOutlook(outlook::olFolderInbox);
    return session.goNameSpace;
}

bool FolderFixture::putTemplates()
{
    return buildTemplateStore(installPath + u"LorvoFilled.pst"_s, exampleSubjects()) &&
           buildTemplateStore(installPath + u"LorvoEmpty.pst"_s, {});
}

QStringList FolderFixture::exampleSubjects()
{
    return {u"How to reset a password"_s, u"Printer shows error 49"_s,
            u"VPN drops after ten minutes"_s};
}

bool buildStore(const QString& manifestJson, const QString& path)
{
    const QString manifest = path + u".json"_s;
    QFile file(manifest);
    if (!file.open(QIODevice::WriteOnly) || file.write(manifestJson.toUtf8()) < 0) {
        qWarning("cannot write %s", qPrintable(manifest));
        return false;
    }
    file.close();
    QProcess tool;
    tool.start(QString::fromLocal8Bit(LORVO_STORE_TOOL), {u"build"_s, manifest, path});
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        qWarning("lorvo-store build failed: %s%s", qPrintable(tool.errorString()),
                 tool.readAllStandardError().constData());
        return false;
    }
    return true;
}

bool buildTemplateStore(const QString& path, const QStringList& subjects)
{
    QJsonArray items;
    for (const QString& subject : subjects)
        items.append(
            QJsonObject{{u"messageClass"_s, u"IPM.Post.HelpdeskKBArticle"_s},
                        {u"subject"_s, subject},
                        {u"htmlBody"_s, QString(u"<p>"_s + subject + u"</p>"_s)},
                        {u"userProperties"_s, QJsonObject{{u"Problem Type"_s, u"How-to"_s},
                                                          {u"Problem Category"_s, u"IT"_s}}}});
    const QJsonObject manifest{
        {u"displayName"_s, u"LorvoFilled"_s},
        {u"folders"_s, QJsonArray{QJsonObject{{u"name"_s, u"Forms"_s}},
                                  QJsonObject{{u"name"_s, u"Lorvo Template"_s},
                                              {u"defaultItemType"_s, 6},
                                              {u"items"_s, items}}}}};
    return buildStore(QString::fromUtf8(QJsonDocument(manifest).toJson()), path);
}

QStringList storeNames(outlook::NameSpace& ns)
{
    QStringList names;
    const auto tops = ns.Folders();
    for (int i = 1; i <= tops->Count(); ++i)
        names.append(tops->Item(i)->Name());
    return names;
}

QStringList subjectsOf(const outlook::FolderPtr& folder)
{
    QStringList subjects;
    const auto items = folder->Items();
    for (int i = 1; i <= items->Count(); ++i)
        subjects.append(items->Item(i)->Subject());
    return subjects;
}

outlook::FolderPtr at(const outlook::NameSpacePtr& ns, const QString& fullPath)
{
    return ns ? lorvo::test::folderAtPath(*ns, fullPath) : nullptr;
}

QStringList subfolderNames(const outlook::FolderPtr& folder)
{
    QStringList names;
    const auto folders = folder->Folders();
    for (int i = 1; i <= folders->Count(); ++i)
        names.append(folders->Item(i)->Name());
    return names;
}

} // namespace lorvo::setup::test

namespace {

// An Outlook whose folders do not take a home page, as a folder without that permission on a
// server: everything else goes to the local Outlook underneath.
class NoHomePages
{
public:
    class FolderW;
    class FoldersW;

    static outlook::FolderPtr wrap(outlook::FolderPtr inner)
    {
        return inner ? std::make_shared<FolderW>(std::move(inner)) : nullptr;
    }
    static outlook::FolderPtr unwrap(const outlook::FolderPtr& folder)
    {
        const auto* w = dynamic_cast<const FolderW*>(folder.get());
        return w ? w->inner : folder;
    }

    class FoldersW final : public outlook::Folders
    {
    public:
        explicit FoldersW(outlook::FoldersPtr f) : inner(std::move(f)) {}
        int Count() override { return inner->Count(); }
        outlook::FolderPtr Item(int index) override { return wrap(inner->Item(index)); }
        outlook::FolderPtr Item(const QString& name) override { return wrap(inner->Item(name)); }
        outlook::FolderPtr Add(const QString& name) override { return wrap(inner->Add(name)); }
        void Remove(int index) override { inner->Remove(index); }
        outlook::FoldersPtr inner;
    };

    class FolderW final : public outlook::Folder
    {
    public:
        explicit FolderW(outlook::FolderPtr f) : inner(std::move(f)) {}
        QString Name() override { return inner->Name(); }
        void SetName(const QString& name) override { inner->SetName(name); }
        outlook::FolderPtr Parent() override { return wrap(inner->Parent()); }
        QString EntryID() override { return inner->EntryID(); }
        QString StoreID() override { return inner->StoreID(); }
        outlook::FoldersPtr Folders() override
        {
            return std::make_shared<FoldersW>(inner->Folders());
        }
        outlook::FolderPtr CopyTo(const outlook::FolderPtr& target) override
        {
            return wrap(inner->CopyTo(unwrap(target)));
        }
        qint32 DefaultItemType() override { return inner->DefaultItemType(); }
        QString WebViewURL() override { return inner->WebViewURL(); }
        void SetWebViewURL(const QString&) override
        {
            throw Error(err::PermissionDenied, u"You do not have permission for this folder."_s);
        }
        bool WebViewOn() override { return inner->WebViewOn(); }
        void SetWebViewOn(bool on) override { inner->SetWebViewOn(on); }
        outlook::ItemsPtr Items() override { return inner->Items(); }
        outlook::FolderPtr inner;
    };

    class NameSpaceW final : public outlook::NameSpace
    {
    public:
        explicit NameSpaceW(outlook::NameSpacePtr n) : inner(std::move(n)) {}
        outlook::FolderPtr GetDefaultFolder(qint32 kind) override
        {
            return wrap(inner->GetDefaultFolder(kind));
        }
        outlook::ItemPtr GetItemFromID(const QString& entryId, const QString& storeId) override
        {
            return inner->GetItemFromID(entryId, storeId);
        }
        outlook::FolderPtr PickFolder() override { return wrap(inner->PickFolder()); }
        outlook::FoldersPtr Folders() override
        {
            return std::make_shared<FoldersW>(inner->Folders());
        }
        void AddStore(const QString& path) override { inner->AddStore(path); }
        void RemoveStore(const outlook::FolderPtr& top) override
        {
            inner->RemoveStore(unwrap(top));
        }
        outlook::NameSpacePtr inner;
    };

    class ApplicationW final : public outlook::Application
    {
    public:
        explicit ApplicationW(outlook::ApplicationPtr a) : inner(std::move(a)) {}
        QString Version() override { return inner->Version(); }
        outlook::NameSpacePtr GetNamespace(const QString& type) override
        {
            return std::make_shared<NameSpaceW>(inner->GetNamespace(type));
        }
        outlook::ExplorerPtr ActiveExplorer() override { return inner->ActiveExplorer(); }
        outlook::ExplorersPtr Explorers() override { return inner->Explorers(); }
        QString ActiveWindowCaption() override { return inner->ActiveWindowCaption(); }
        outlook::MailItemPtr CreateItem(qint32 type) override { return inner->CreateItem(type); }
        std::shared_ptr<outlook::Assistant> Assistant() override { return inner->Assistant(); }
        outlook::ApplicationPtr inner;
    };

    class Provider final : public outlook::Provider
    {
    public:
        explicit Provider(outlook::Provider& p) : inner(p) {}
        outlook::ApplicationPtr GetRunning() override { return app(inner.GetRunning()); }
        outlook::ApplicationPtr Create(const QString& name) override
        {
            return app(inner.Create(name));
        }
        outlook::Provider& inner;

    private:
        static outlook::ApplicationPtr app(outlook::ApplicationPtr a)
        {
            return a ? std::make_shared<ApplicationW>(std::move(a)) : nullptr;
        }
    };
};

const QString kProduct = u"Lorvo for Outlook"_s;

// Runs the settings page's Next with the scripted answers; true when the program ended there.
bool nextOnSettings(FolderFixture& f, bool exampleData)
{
    f.wizard.setChkExampledata(exampleData ? 1 : 0);
    return FolderFixture::ends([&] { f.wizard.next(Page::Settings); });
}

int picks(const lorvo::test::ScriptedDialogs& dialogs)
{
    return int(std::count_if(dialogs.requests.begin(), dialogs.requests.end(),
                             [](const auto& r) { return r.kind == lorvo::test::Recorded::Pick; }));
}

int inputs(const lorvo::test::ScriptedDialogs& dialogs)
{
    return int(std::count_if(dialogs.requests.begin(), dialogs.requests.end(),
                             [](const auto& r) { return r.kind == lorvo::test::Recorded::Input; }));
}

// The whole new-installation road from the settings page to Finish, checked as the next program
// finds the profile.
void checkNewInstallation(bool exampleData)
{
    FolderFixture f;
    QVERIFY(f.putTemplates());
    f.dialogs.answerPick(allPublic()).answerInput(u"Knowledge Base"_s);
    QVERIFY(!nextOnSettings(f, exampleData));
    QVERIFY(f.view.visible.count(Page::Finish));
    QVERIFY(!f.view.visible.count(Page::Settings));
    QVERIFY(f.tr.rt->session().goCurrentFolder);
    f.wizard.setChkReadMe(0);
    QVERIFY(FolderFixture::ends([&] { f.wizard.finish(Page::Finish); }));
    QVERIFY(f.dialogs.messages().isEmpty());
    QVERIFY(f.dialogs.unscripted.isEmpty());
    QCOMPARE(f.dialogs.pendingAnswers(), 0);

    const auto app = f.fresh();
    QVERIFY(app);
    const auto ns = app->GetNamespace(u"MAPI"_s);
    const auto folder = at(ns, allPublic() + u"\\Knowledge Base"_s);
    QVERIFY(folder);
    QCOMPARE(subjectsOf(folder), exampleData ? FolderFixture::exampleSubjects() : QStringList());
    QCOMPARE(folder->DefaultItemType(), qint32(outlook::olPostItem));
    QCOMPARE(folder->WebViewURL(), u"file:"_s + f.installPath + u"OLorvo.htm"_s);
    QVERIFY(folder->WebViewOn());
    QVERIFY(!storeNames(*ns).contains(u"LorvoFilled"_s));
    const auto explorer = app->ActiveExplorer();
    QVERIFY(explorer);
    QVERIFY(explorer->CurrentFolder());
    QCOMPARE(explorer->CurrentFolder()->EntryID(), folder->EntryID());
    // The template stays in the installation folder for a later run.
    QVERIFY(QFile::exists(f.installPath + u"LorvoFilled.pst"_s));
    QVERIFY(QFile::exists(f.installPath + u"LorvoEmpty.pst"_s));
}

} // namespace

void TestSetupFolder::newInstallationWithExampleData()
{
    checkNewInstallation(true);
}

void TestSetupFolder::newInstallationWithoutExampleData()
{
    checkNewInstallation(false);
}

void TestSetupFolder::realTemplateStores()
{
    for (const bool exampleData : {true, false}) {
        FolderFixture f;
        QVERIFY(f.modMain.subInstall(f.modMain.state.gstrInstallPath));
        f.dialogs.answerPick(allPublic()).answerInput(u"KB"_s);
        QVERIFY(!nextOnSettings(f, exampleData));
        const auto folder = f.tr.rt->session().goCurrentFolder;
        QVERIFY(folder);
        QCOMPARE(folder->Name(), u"KB"_s);
        const auto items = folder->Items();
        int articles = 0;
        for (int i = 1; i <= items->Count(); ++i)
            articles += items->Item(i)->MessageClass() == u"IPM.Post.HelpdeskKBArticle"_s;
        if (exampleData)
            QVERIFY(articles > 0);
        else
            QCOMPARE(items->Count(), 0);
        QVERIFY(!storeNames(*f.nameSpace()).contains(u"LorvoFilled"_s));
    }
}

void TestSetupFolder::cancelledPicker_data()
{
    QTest::addColumn<bool>("exit");
    QTest::newRow("No picks again") << false;
    QTest::newRow("Yes ends") << true;
}

void TestSetupFolder::cancelledPicker()
{
    QFETCH(bool, exit);
    FolderFixture f;
    QVERIFY(f.putTemplates());
    putFile(f.installPath + u"OLorvo.htm"_s, "<html></html>");
    f.dialogs.answerPick(QString()).answer(exit ? Answer::Yes : Answer::No);
    if (!exit)
        f.dialogs.answerPick(allPublic()).answerInput(u"KB"_s);

    QCOMPARE(nextOnSettings(f, true), exit);
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, u"Are you sure you want to cancel the installation?\r\n"
                               u"If you want to continue with the installation, press 'No'"_s);
    QCOMPARE(messages[0].title, kProduct);
    QCOMPARE(messages[0].buttons, Buttons::YesNo);
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(picks(f.dialogs), exit ? 1 : 2);
    QCOMPARE(f.tr.end.ended, exit);

    const auto ns = f.freshNameSpace();
    QCOMPARE(bool(at(ns, allPublic() + u"\\KB"_s)), !exit);
    QVERIFY(!storeNames(*ns).contains(u"LorvoFilled"_s));
    // Leaving at the user's wish keeps the written files.
    QVERIFY(QFile::exists(f.installPath + u"OLorvo.htm"_s));
}

void TestSetupFolder::emptyName_data()
{
    QTest::addColumn<bool>("exit");
    QTest::newRow("No asks again") << false;
    QTest::newRow("Yes ends") << true;
}

void TestSetupFolder::emptyName()
{
    QFETCH(bool, exit);
    FolderFixture f;
    QVERIFY(f.putTemplates());
    // Cancel in the input box gives the empty text too.
    f.dialogs.answerPick(allPublic())
        .answerInput(QString())
        .answer(exit ? Answer::Yes : Answer::No);
    if (!exit)
        f.dialogs.answerInput(u"KB"_s);

    QCOMPARE(nextOnSettings(f, false), exit);
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, u"Either you have cancel the operation, \r\n"
                               u"Or you have not entered a title for the issue tracking folder\r\n"
                               u"Do you want to exit the installation?"_s);
    QCOMPARE(messages[0].title, kProduct);
    QCOMPARE(messages[0].buttons, Buttons::YesNo);
    QCOMPARE(messages[0].icon, Icon::Question);
    QCOMPARE(inputs(f.dialogs), exit ? 1 : 2);
    const auto input = f.dialogs.requests[1];
    QCOMPARE(input.text, u"Please select a name for the new Lorvo for Outlook folder."_s);
    QCOMPARE(input.title, kProduct);
    QCOMPARE(input.defaultText, u"Lorvo for Outlook"_s);

    const auto ns = f.freshNameSpace();
    QCOMPARE(subfolderNames(at(ns, allPublic())).contains(u"KB"_s), !exit);
    QVERIFY(!storeNames(*ns).contains(u"LorvoFilled"_s));
}

void TestSetupFolder::nameOfBlanksIsAccepted()
{
    FolderFixture f;
    QVERIFY(f.putTemplates());
    f.dialogs.answerPick(allPublic()).answerInput(u"   "_s);
    QVERIFY(!nextOnSettings(f, true));
    QVERIFY(f.dialogs.messages().isEmpty());
    QCOMPARE(f.tr.rt->session().goCurrentFolder->Name(), u"   "_s);
    QCOMPARE(subjectsOf(f.tr.rt->session().goCurrentFolder), FolderFixture::exampleSubjects());
}

void TestSetupFolder::nameWithBackslashAsksAgain()
{
    FolderFixture f;
    QVERIFY(f.putTemplates());
    f.dialogs.answerPick(allPublic())
        .answerInput(u"a\\b\\c"_s)
        .answer(Answer::Ok)
        .answerInput(u"KB"_s);
    QVERIFY(!nextOnSettings(f, false));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text, u"A folder name cannot contain a backslash (\\): it separates the "
                               u"folders of a folder path.\r\nPlease choose another name."_s);
    QCOMPARE(inputs(f.dialogs), 2);
    const QStringList names = subfolderNames(at(f.freshNameSpace(), allPublic()));
    QVERIFY(names.contains(u"KB"_s));
    QVERIFY(!names.contains(u"a\\b\\c"_s));
}

void TestSetupFolder::nameDifferingInCaseIsNew()
{
    FolderFixture f;
    QVERIFY(f.putTemplates());
    const auto existing = at(f.nameSpace(), allPublic())->Folders()->Add(u"knowledge base"_s);
    const QString existingId = existing->EntryID();
    f.dialogs.answerPick(allPublic()).answerInput(u"Knowledge Base"_s);
    QVERIFY(!nextOnSettings(f, false));
    QVERIFY(f.dialogs.messages().isEmpty());
    const auto names = subfolderNames(at(f.nameSpace(), allPublic()));
    QVERIFY(names.contains(u"knowledge base"_s));
    QVERIFY(names.contains(u"Knowledge Base"_s));
    QCOMPARE(at(f.nameSpace(), allPublic() + u"\\knowledge base"_s)->EntryID(), existingId);
}

void TestSetupFolder::overwriteQuestion_data()
{
    QTest::addColumn<bool>("overwrite");
    QTest::newRow("No keeps the folder") << false;
    QTest::newRow("Yes replaces it") << true;
}

void TestSetupFolder::overwriteQuestion()
{
    QFETCH(bool, overwrite);
    FolderFixture f;
    QVERIFY(f.putTemplates());
    const auto parent = at(f.nameSpace(), allPublic());
    parent->Folders()->Add(u"Before"_s);
    const QString oldId = parent->Folders()->Add(u"KB"_s)->EntryID();
    f.dialogs.answerPick(allPublic())
        .answerInput(u"KB"_s)
        .answer(overwrite ? Answer::Yes : Answer::No);
    if (!overwrite)
        f.dialogs.answerInput(u"KB2"_s);

    QVERIFY(!nextOnSettings(f, true));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(
        messages[0].text,
        u"A folder with the name 'KB' already exists!\r\nDo you want to overwrite this folder?"
        u"\r\n\r\nNote: Existing data items in this folder will be lost if it is overwritten"_s);
    QCOMPARE(messages[0].buttons, Buttons::YesNo);
    QCOMPARE(messages[0].title, kProduct);

    const auto names = subfolderNames(at(f.nameSpace(), allPublic()));
    QCOMPARE(names.count(u"KB"_s), 1);
    const auto kb = at(f.nameSpace(), allPublic() + u"\\KB"_s);
    const auto current = f.tr.rt->session().goCurrentFolder;
    QVERIFY(current);
    if (overwrite) {
        // The old folder was empty: the one now of that name is the copy.
        QCOMPARE(current->EntryID(), kb->EntryID());
        QCOMPARE(subjectsOf(kb), FolderFixture::exampleSubjects());
    } else {
        QCOMPARE(kb->EntryID(), oldId);
        QVERIFY(kb->Items()->Count() == 0);
        QCOMPARE(current->Name(), u"KB2"_s);
    }
    QVERIFY(names.contains(u"Before"_s));
}

void TestSetupFolder::parentRefusingSubfolders_data()
{
    QTest::addColumn<QString>("parent");
    QTest::newRow("root of the Public Folders") << u"\\\\Public Folders"_s;
    QTest::newRow("read-only folder") << u"\\\\Team\\Locked"_s;
}

void TestSetupFolder::parentRefusingSubfolders()
{
    QFETCH(QString, parent);
    FolderFixture f;
    QVERIFY(f.putTemplates());
    const QString team = f.tr.path(u"team.pst"_s);
    QVERIFY(buildStore(
        uR"({"displayName": "Team", "folders": [{"name": "Locked", "readOnly": true}]})"_s, team));
    f.nameSpace()->AddStore(team);

    f.dialogs.answerPick(parent).answerInput(u"KB"_s).answerPick(allPublic()).answerInput(u"KB"_s);
    QVERIFY(!nextOnSettings(f, true));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text,
             u"There were some problems. It can be one of the followings: \r\n"
             u"- Either, you have selected the root of Public Folders, or\r\n"
             u"- you don't have the appropriate permission to create\r\n"
             u"a sub-folder within the selected folder.\r\n\r\nPlease try again!"_s);
    QCOMPARE(messages[0].title, kProduct);
    QCOMPARE(messages[0].icon, Icon::Information);
    // The picker and the name come again.
    QCOMPARE(picks(f.dialogs), 2);
    QCOMPARE(inputs(f.dialogs), 2);

    const auto ns = f.nameSpace();
    QVERIFY(!subfolderNames(at(ns, parent)).contains(u"KB"_s));
    QVERIFY(!subfolderNames(at(ns, parent)).contains(u"Lorvo Template"_s));
    QCOMPARE(f.tr.rt->session().goCurrentFolder->EntryID(),
             at(ns, allPublic() + u"\\KB"_s)->EntryID());
    QVERIFY(!storeNames(*ns).contains(u"LorvoFilled"_s));
}

void TestSetupFolder::existingFolderOfTemplateNameIsNotTaken()
{
    // A read-only folder that already holds a folder of the template folder's name: the failed
    // copy must not be mistaken for that folder, which would be renamed and pointed elsewhere.
    FolderFixture f;
    QVERIFY(f.putTemplates());
    const QString team = f.tr.path(u"team.pst"_s);
    QVERIFY(buildStore(uR"({"displayName": "Team", "folders": [{"name": "Locked", "readOnly": true,
                   "folders": [{"name": "Lorvo Template"}]}]})"_s,
                       team));
    f.nameSpace()->AddStore(team);

    f.dialogs.answerPick(u"\\\\Team\\Locked"_s)
        .answerInput(u"KB"_s)
        .answerPick(allPublic())
        .answerInput(u"KB"_s);
    QVERIFY(!nextOnSettings(f, true));
    QCOMPARE(f.dialogs.messages().size(), 1);
    QVERIFY(f.dialogs.messages()[0].text.startsWith(u"There were some problems."_s));
    const auto kept = at(f.nameSpace(), u"\\\\Team\\Locked\\Lorvo Template"_s);
    QVERIFY(kept);
    QVERIFY(kept->WebViewURL().isEmpty());
    QCOMPARE(f.tr.rt->session().goCurrentFolder->Parent()->Name(), u"All Public Folders"_s);
}

void TestSetupFolder::staleTemplateStoreIsLeftAlone()
{
    // A store of the template's top name that was attached before the run is neither copied
    // from nor detached.
    FolderFixture f;
    QVERIFY(f.putTemplates());
    const QString stale = f.tr.path(u"stale.pst"_s);
    QVERIFY(buildTemplateStore(stale, {u"Stale article"_s}));
    f.nameSpace()->AddStore(stale);

    f.dialogs.answerPick(allPublic()).answerInput(u"KB"_s);
    QVERIFY(!nextOnSettings(f, true));
    QCOMPARE(subjectsOf(f.tr.rt->session().goCurrentFolder), FolderFixture::exampleSubjects());
    QCOMPARE(storeNames(*f.nameSpace()).count(u"LorvoFilled"_s), 1);
    QCOMPARE(subjectsOf(at(f.nameSpace(), u"\\\\LorvoFilled\\Lorvo Template"_s)),
             QStringList{u"Stale article"_s});
}

void TestSetupFolder::missingTemplateFile()
{
    FolderFixture f;
    QVERIFY(f.putTemplates());
    QVERIFY(QFile::remove(f.installPath + u"LorvoEmpty.pst"_s));
    f.dialogs.answerPick(allPublic()).answerInput(u"KB"_s);
    QVERIFY(nextOnSettings(f, false));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text,
             u"Failed to find the file: \r\n"_s + f.installPath +
                 u"LorvoEmpty.pst\r\nShutdown Outlook and try installing again"_s);
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(messages[0].title, kProduct);
    QVERIFY(f.tr.end.ended);
    const auto ns = f.freshNameSpace();
    QVERIFY(!subfolderNames(at(ns, allPublic())).contains(u"KB"_s));
    QVERIFY(!storeNames(*ns).contains(u"LorvoFilled"_s));
}

void TestSetupFolder::homePageCheck()
{
    FolderFixture f;
    QVERIFY(f.modMain.fncCheckHomepage(u"file:C:\\Lorvo\\OLorvo.htm"_s));
    QVERIFY(f.dialogs.messages().isEmpty());
    QVERIFY(!f.modMain.fncCheckHomepage(u"  "_s));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages[0].text,
             u"The installation failed as the Outlook folder you have chosen/created does not:\r\n"
             u" - support custom homepage view, or\r\n"
             u" - you don't have enough permission to set the homepage view of the folder.\r\n"
             u"\r\nPlease contact support@lorvo.example for more information\r\n"
             u"Setup will now exit."_s);
    QCOMPARE(messages[0].icon, Icon::Information);
    QCOMPARE(messages[0].title, kProduct);
}

void TestSetupFolder::homePageThatCannotBeSet()
{
    FolderFixture f;
    QVERIFY(f.putTemplates());
    NoHomePages::Provider outlook(*f.tr.outlook);
    Runtime rt(Services{f.dialogs, f.tr.shell, f.tr.fs, f.tr.platform, f.tr.end, outlook},
               setupTitle());
    PageRecorder view;
    Wizard wizard(rt, view);
    wizard.modMain().state.gstrInstallPath = f.installPath;
    wizard.showPage(Page::Settings);
    f.dialogs.answerPick(allPublic()).answerInput(u"KB"_s);

    QVERIFY(FolderFixture::ends([&] { wizard.next(Page::Settings); }));
    QVERIFY(!view.visible.count(Page::Finish));
    const auto messages = f.dialogs.messages();
    QCOMPARE(messages.size(), 1);
    QVERIFY(messages[0].text.startsWith(
        u"The installation failed as the Outlook folder you have chosen/created does not:"_s));
    const auto ns = f.freshNameSpace();
    QVERIFY(!storeNames(*ns).contains(u"LorvoFilled"_s));
    QVERIFY(at(ns, allPublic() + u"\\KB"_s)->WebViewURL().isEmpty());
}

QTEST_GUILESS_MAIN(TestSetupFolder)
