// The local Outlook as the programs see it: through the outlook:: seam, over a temporary profile.

#include "localoutlook/errors.h"
#include "localoutlook/localoutlook.h"
#include "localoutlook/manifest.h"
#include "localoutlook/profile.h"
#include "localoutlook/sqlite.h"
#include "shared/rtf/reader.h"
#include "tests/support/testsupport.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using lorvo::Error;
using lorvo::test::TestRuntime;

namespace {

namespace errc = localoutlook::errc;

// Runs the statement and returns the number of the lorvo::Error it raised, or 0.
template <class F> qint32 errorOf(F&& statement)
{
    try {
        statement();
    } catch (const Error& e) {
        return e.number();
    }
    return 0;
}

template <class F> QString errorText(F&& statement)
{
    try {
        statement();
    } catch (const Error& e) {
        return e.description();
    }
    return {};
}

QByteArray binaryBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 512; ++i)
        bytes.append(char(i % 256));
    return bytes;
}

// A template store: a top folder with two subfolders, the second holding articles with fields
// and an attachment, and a subfolder of its own.
QJsonObject templateManifest()
{
    const QJsonObject article{
        {"messageClass"_L1, "IPM.Post.HelpdeskKBArticle"_L1},
        {"subject"_L1, "Printer jams"_L1},
        {"htmlBody"_L1, "<html><body><p>Open tray 2.</p></body></html>"_L1},
        {"body"_L1, "Open tray 2."_L1},
        {"userProperties"_L1,
         QJsonObject{{"Problem Category"_L1, "Hardware"_L1},
                     {"Problem Type"_L1, "Printer"_L1},
                     {"Priority"_L1, 3},
                     {"Cost"_L1, 2.5},
                     {"Solved"_L1, true},
                     {"Reported"_L1, QJsonObject{{"date"_L1, "2026-01-31T12:00:00"_L1}}}}},
        {"attachments"_L1,
         QJsonArray{QJsonObject{{"displayName"_L1, "tray.bin"_L1},
                                {"data"_L1, QString::fromLatin1(binaryBytes().toBase64())}}}}};
    const QJsonObject second{
        {"name"_L1, "Lorvo for Outlook"_L1},
        {"defaultItemType"_L1, 6},
        {"webViewURL"_L1, "file:C:\\Old\\OLorvo.htm"_L1},
        {"items"_L1, QJsonArray{article, QJsonObject{{"messageClass"_L1, "IPM.Post"_L1},
                                                     {"subject"_L1, "Second"_L1}}}},
        {"folders"_L1,
         QJsonArray{QJsonObject{
             {"name"_L1, "Archive"_L1},
             {"items"_L1, QJsonArray{QJsonObject{{"subject"_L1, "Old article"_L1}}}}}}}};
    return QJsonObject{
        {"displayName"_L1, "LorvoFilled"_L1},
        {"folders"_L1,
         QJsonArray{
             QJsonObject{{"name"_L1, "Read Me First"_L1}}, second,
             QJsonObject{{"name"_L1, "Locked"_L1},
                         {"readOnly"_L1, true},
                         {"folders"_L1, QJsonArray{QJsonObject{{"name"_L1, "Inner"_L1}}}}}}}};
}

struct Fixture
{
    TestRuntime t;
    outlook::ApplicationPtr app;
    outlook::NameSpacePtr ns;

    Fixture()
    {
        app = t.outlook->GetRunning();
        if (app)
            ns = app->GetNamespace(u"MAPI"_s);
    }

    QString buildTemplate(const QString& name = u"LorvoFilled.pst"_s)
    {
        const QString path = t.path(name);
        localoutlook::buildStore(templateManifest(), t.dir.path(), path);
        return path;
    }

    outlook::FolderPtr allPublicFolders()
    {
        return ns->Folders()->Item(u"Public Folders"_s)->Folders()->Item(u"All Public Folders"_s);
    }
};

QStringList namesOf(const outlook::FoldersPtr& folders)
{
    QStringList names;
    for (int i = 1; i <= folders->Count(); ++i)
        names << folders->Item(i)->Name();
    return names;
}

} // namespace

class TestLocalOutlook : public QObject
{
    Q_OBJECT

private slots:
    void newProfileHasMailboxAndPublicFolders();
    void versionComesFromProfile();
    void collectionsAreOneBased();
    void copyCarriesFoldersItemsFieldsAndAttachments();
    void copyIsRefusedWhereSubfoldersAreNot();
    void readOnlyFolderRefusesChanges();
    void attachAndDetachStores();
    void stateIsSharedBetweenProviders();
    void explorersOpenHiddenUntilDisplayed();
    void brokenStoreFilesGiveErrorsNamingTheFile();
    void removedFolderGivesErrors();
    void providerCreatesProfileOrGivesNull();
    void pickFolderAsksTheDialogs();
    void userPropertiesAreFoundWithoutRegardToCase();
    void itemsAreFoundAgainByIdentity();
    void saveAsRtfEncapsulatesTheHtml();
    void saveAsTextAndUnsupportedTypes();
    void heldItemsLetWritersThrough();
    void mailDisplaySavesToDraftsAndOpensMessageFile();
};

void TestLocalOutlook::newProfileHasMailboxAndPublicFolders()
{
    Fixture f;
    QVERIFY(f.app);
    QCOMPARE(namesOf(f.ns->Folders()), (QStringList{u"Mailbox"_s, u"Public Folders"_s}));
    QCOMPARE(f.ns->GetDefaultFolder(outlook::olFolderInbox)->Name(), u"Inbox"_s);
    const auto calendar = f.ns->GetDefaultFolder(outlook::olFolderCalendar);
    QCOMPARE(calendar->Name(), u"Calendar"_s);
    QCOMPARE(calendar->DefaultItemType(), qint32(outlook::olAppointmentItem));
    QCOMPARE(f.ns->GetDefaultFolder(outlook::olFolderDrafts)->Name(), u"Drafts"_s);
    QCOMPARE(f.ns->GetDefaultFolder(outlook::olFolderInbox)->Parent()->Name(), u"Mailbox"_s);
    QVERIFY(!f.ns->Folders()->Item(1)->Parent());
    QCOMPARE(errorOf([&] { f.ns->GetDefaultFolder(99); }), errc::NotFound);

    // Outlook starts with its window on the Inbox.
    const auto explorer = f.app->ActiveExplorer();
    QVERIFY(explorer);
    QCOMPARE(explorer->CurrentFolder()->Name(), u"Inbox"_s);
    QCOMPARE(f.app->ActiveWindowCaption(), u"Inbox - Outlook"_s);
    QVERIFY(!f.app->Assistant());
    QVERIFY(errorOf([&] { f.app->GetNamespace(u"XYZ"_s); }) != 0);

    // The public top refuses subfolders; its All Public Folders takes them.
    const auto top = f.ns->Folders()->Item(u"Public Folders"_s);
    QCOMPARE(errorOf([&] { top->Folders()->Add(u"Mine"_s); }), errc::NoSupport);
    QCOMPARE(f.allPublicFolders()->Folders()->Add(u"Mine"_s)->Name(), u"Mine"_s);
    QCOMPARE(errorOf([&] { f.allPublicFolders()->Folders()->Add(u"Mine"_s); }), errc::Collision);
    // Outlook's own folders stay.
    const auto mailbox = f.ns->Folders()->Item(1)->Folders();
    const int inbox = int(namesOf(mailbox).indexOf(u"Inbox"_s)) + 1;
    QCOMPARE(errorOf([&] { mailbox->Remove(inbox); }), errc::NoAccess);
}

void TestLocalOutlook::versionComesFromProfile()
{
    Fixture f;
    QCOMPARE(f.app->Version(), localoutlook::defaultVersion());
    localoutlook::initProfile(f.t.profileDir, u"9.0.0.2711"_s);
    QCOMPARE(f.app->Version(), u"9.0.0.2711"_s);
    // Without a version an existing profile stays as it is.
    localoutlook::initProfile(f.t.profileDir);
    QCOMPARE(f.app->Version(), u"9.0.0.2711"_s);
}

void TestLocalOutlook::collectionsAreOneBased()
{
    Fixture f;
    f.ns->AddStore(f.buildTemplate());
    const auto top = f.ns->Folders()->Item(3);
    QCOMPARE(top->Name(), u"LorvoFilled"_s);
    const auto folders = top->Folders();
    QCOMPARE(folders->Count(), 3);
    QCOMPARE(folders->Item(2)->Name(), u"Lorvo for Outlook"_s);
    QCOMPARE(errorOf([&] { folders->Item(0); }), errc::BadIndex);
    QCOMPARE(errorOf([&] { folders->Item(4); }), errc::BadIndex);
    QCOMPARE(errorOf([&] { f.ns->Folders()->Item(4); }), errc::BadIndex);
    QCOMPARE(errorOf([&] { folders->Item(u"lorvo for outlook"_s); }), errc::NotFound);

    const auto items = folders->Item(2)->Items();
    QCOMPARE(items->Count(), 2);
    QCOMPARE(items->Item(1)->Subject(), u"Printer jams"_s);
    QCOMPARE(items->Item(2)->Subject(), u"Second"_s);
    QCOMPARE(errorOf([&] { items->Item(0); }), errc::BadIndex);
    QCOMPARE(errorOf([&] { items->Item(3); }), errc::BadIndex);

    const auto attachments = items->Item(1)->Attachments();
    QCOMPARE(attachments->Count(), 1);
    QCOMPARE(attachments->Item(1)->DisplayName(), u"tray.bin"_s);
    QCOMPARE(errorOf([&] { attachments->Item(2); }), errc::BadIndex);
    QCOMPARE(items->Item(2)->Attachments()->Count(), 0);

    QCOMPARE(errorOf([&] { f.app->Explorers()->Item(0); }), errc::BadIndex);
    QCOMPARE(errorOf([&] { f.app->Explorers()->Item(2); }), errc::BadIndex);
}

void TestLocalOutlook::copyCarriesFoldersItemsFieldsAndAttachments()
{
    Fixture f;
    f.ns->AddStore(f.buildTemplate());
    const auto source = f.ns->Folders()->Item(u"LorvoFilled"_s)->Folders()->Item(2);
    const auto target = f.allPublicFolders();

    const auto copy = source->CopyTo(target);
    QVERIFY(copy);
    QCOMPARE(copy->Name(), u"Lorvo for Outlook"_s);
    QCOMPARE(copy->Parent()->EntryID(), target->EntryID());
    QCOMPARE(copy->StoreID(), target->StoreID());
    QVERIFY(copy->EntryID() != source->EntryID());
    QCOMPARE(copy->DefaultItemType(), qint32(outlook::olPostItem));
    QCOMPARE(copy->WebViewURL(), u"file:C:\\Old\\OLorvo.htm"_s);
    QCOMPARE(namesOf(copy->Folders()), QStringList{u"Archive"_s});
    QCOMPARE(copy->Folders()->Item(1)->Items()->Item(1)->Subject(), u"Old article"_s);

    const auto items = copy->Items();
    QCOMPARE(items->Count(), 2);
    const auto article = items->Item(1);
    QCOMPARE(article->MessageClass(), u"IPM.Post.HelpdeskKBArticle"_s);
    QCOMPARE(article->HTMLBody(), u"<html><body><p>Open tray 2.</p></body></html>"_s);
    QCOMPARE(article->Body(), u"Open tray 2."_s);
    QCOMPARE(article->FindUserProperty(u"Problem Category"_s)->toString(), u"Hardware"_s);
    const QVariant priority = *article->FindUserProperty(u"Priority"_s);
    QCOMPARE(priority.typeId(), int(QMetaType::LongLong));
    QCOMPARE(priority.toLongLong(), 3);
    QCOMPARE(article->FindUserProperty(u"Cost"_s)->typeId(), int(QMetaType::Double));
    QCOMPARE(article->FindUserProperty(u"Cost"_s)->toDouble(), 2.5);
    QCOMPARE(article->FindUserProperty(u"Solved"_s)->typeId(), int(QMetaType::Bool));
    QCOMPARE(article->FindUserProperty(u"Reported"_s)->toDateTime(),
             QDateTime(QDate(2026, 1, 31), QTime(12, 0)));

    const QString saved = f.t.path(u"tray.bin"_s);
    article->Attachments()->Item(1)->SaveAsFile(saved);
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), binaryBytes());

    // Copying again under the same parent gives the copy a free name; the source is untouched.
    QCOMPARE(source->CopyTo(target)->Name(), u"Lorvo for Outlook1"_s);
    QCOMPARE(source->Items()->Count(), 2);
    QCOMPARE(namesOf(source->Folders()), QStringList{u"Archive"_s});

    // A folder cannot go into itself.
    QCOMPARE(errorOf([&] { copy->CopyTo(copy->Folders()->Item(1)); }), errc::NoSupport);
    QCOMPARE(namesOf(copy->Folders()), QStringList{u"Archive"_s});
}

void TestLocalOutlook::copyIsRefusedWhereSubfoldersAreNot()
{
    Fixture f;
    f.ns->AddStore(f.buildTemplate());
    const auto source = f.ns->Folders()->Item(u"LorvoFilled"_s)->Folders()->Item(2);
    const auto publicTop = f.ns->Folders()->Item(u"Public Folders"_s);
    const QString text = errorText([&] { source->CopyTo(publicTop); });
    QVERIFY2(text.contains(u"Public Folders"_s), qPrintable(text));
    QCOMPARE(errorOf([&] { source->CopyTo(publicTop); }), errc::NoSupport);
    QCOMPARE(namesOf(publicTop->Folders()), QStringList{u"All Public Folders"_s});
}

void TestLocalOutlook::readOnlyFolderRefusesChanges()
{
    Fixture f;
    f.ns->AddStore(f.buildTemplate());
    const auto filled = f.ns->Folders()->Item(u"LorvoFilled"_s);
    const auto locked = filled->Folders()->Item(u"Locked"_s);
    const auto source = filled->Folders()->Item(2);

    QCOMPARE(errorOf([&] { locked->Folders()->Add(u"New"_s); }), errc::NoAccess);
    QCOMPARE(errorOf([&] { locked->SetName(u"Other"_s); }), errc::NoAccess);
    QCOMPARE(errorOf([&] { locked->SetWebViewURL(u"file:x"_s); }), errc::NoAccess);
    QCOMPARE(errorOf([&] { locked->SetWebViewOn(true); }), errc::NoAccess);
    QCOMPARE(errorOf([&] { locked->Folders()->Remove(1); }), errc::NoAccess);
    QCOMPARE(errorOf([&] { source->CopyTo(locked); }), errc::NoAccess);
    QCOMPARE(errorOf([&] { filled->Folders()->Remove(3); }), errc::NoAccess);
    QCOMPARE(locked->Name(), u"Locked"_s);
    QCOMPARE(locked->WebViewURL(), QString());
    QCOMPARE(namesOf(locked->Folders()), QStringList{u"Inner"_s});

    // A copy of a read-only folder belongs to whoever made it.
    const auto copy = locked->CopyTo(f.allPublicFolders());
    copy->SetName(u"Unlocked"_s);
    QCOMPARE(copy->Name(), u"Unlocked"_s);
}

void TestLocalOutlook::attachAndDetachStores()
{
    Fixture f;
    const QString file = f.buildTemplate();
    f.ns->AddStore(file);
    f.ns->AddStore(file); // already open: nothing changes
    QCOMPARE(namesOf(f.ns->Folders()),
             (QStringList{u"Mailbox"_s, u"Public Folders"_s, u"LorvoFilled"_s}));
    const auto top = f.ns->Folders()->Item(u"LorvoFilled"_s);
    const auto inside = top->Folders()->Item(2);

    // Only a store's top folder detaches its store, and never the mailbox.
    QCOMPARE(errorOf([&] { f.ns->RemoveStore(inside); }), errc::InvalidArgument);
    QCOMPARE(errorOf([&] { f.ns->RemoveStore(f.ns->Folders()->Item(1)); }), errc::NoAccess);

    f.ns->RemoveStore(top);
    QCOMPARE(namesOf(f.ns->Folders()), (QStringList{u"Mailbox"_s, u"Public Folders"_s}));
    QCOMPARE(errorOf([&] { inside->Name(); }), errc::NotFound);
    QVERIFY(QFile::exists(file));

    // A file that does not exist becomes a new, empty store, as Outlook makes one.
    const QString fresh = f.t.path(u"New.pst"_s);
    f.ns->AddStore(fresh);
    QVERIFY(QFile::exists(fresh));
    const auto added = f.ns->Folders()->Item(3);
    QCOMPARE(added->Name(), u"Personal Folders"_s);
    QCOMPARE(added->Folders()->Count(), 0);

    // A copy of a store file that is open is refused: its folders would be ambiguous.
    f.ns->AddStore(file);
    const QString twin = f.t.path(u"Twin.pst"_s);
    QVERIFY(QFile::copy(file, twin));
    QCOMPARE(errorOf([&] { f.ns->AddStore(twin); }), errc::Collision);
    QCOMPARE(f.ns->Folders()->Count(), 4);
}

void TestLocalOutlook::stateIsSharedBetweenProviders()
{
    Fixture f;
    const QString file = f.buildTemplate();
    // A second program on the same profile.
    lorvo::test::ScriptedDialogs dialogs;
    lorvo::test::RecordingShell shell;
    localoutlook::Provider other(f.t.profileDir, dialogs, shell);
    const auto otherApp = other.GetRunning();
    QVERIFY(otherApp);
    const auto otherNs = otherApp->GetNamespace(u"MAPI"_s);

    f.ns->AddStore(file);
    const auto folder = f.allPublicFolders()->Folders()->Add(u"Knowledge Base"_s);
    folder->SetWebViewURL(u"file:C:\\Lorvo\\OLorvo.htm"_s);
    folder->SetWebViewOn(true);
    f.app->ActiveExplorer()->SetCurrentFolder(folder);

    QCOMPARE(otherNs->Folders()->Count(), 3);
    const auto seen = otherApp->ActiveExplorer()->CurrentFolder();
    QVERIFY(seen);
    QCOMPARE(seen->Name(), u"Knowledge Base"_s);
    QCOMPARE(seen->EntryID(), folder->EntryID());
    QCOMPARE(seen->WebViewURL(), u"file:C:\\Lorvo\\OLorvo.htm"_s);
    QVERIFY(seen->WebViewOn());
    QCOMPARE(otherApp->ActiveWindowCaption(), u"Knowledge Base - Outlook"_s);

    // And back: the second program detaches the store, the first no longer sees it.
    otherNs->RemoveStore(otherNs->Folders()->Item(u"LorvoFilled"_s));
    QCOMPARE(f.ns->Folders()->Count(), 2);
}

void TestLocalOutlook::explorersOpenHiddenUntilDisplayed()
{
    Fixture f;
    const auto calendar = f.ns->GetDefaultFolder(outlook::olFolderCalendar);
    const auto explorers = f.app->Explorers();
    QCOMPARE(explorers->Count(), 1);
    const auto added = explorers->Add(calendar, 0);
    QCOMPARE(explorers->Count(), 2);
    QCOMPARE(added->CurrentFolder()->Name(), u"Calendar"_s);
    QCOMPARE(f.app->ActiveExplorer()->CurrentFolder()->Name(), u"Inbox"_s);
    added->Display();
    QCOMPARE(f.app->ActiveExplorer()->CurrentFolder()->Name(), u"Calendar"_s);
    QCOMPARE(explorers->Item(2)->Caption(), u"Calendar - Outlook"_s);
    explorers->Item(1)->Activate();
    QCOMPARE(f.app->ActiveWindowCaption(), u"Inbox - Outlook"_s);

    // Without windows there is no active one, and the next program finds none either.
    localoutlook::closeAllExplorers(f.t.profileDir);
    QVERIFY(!f.app->ActiveExplorer());
    QCOMPARE(f.app->ActiveWindowCaption(), QString());
    QCOMPARE(f.app->Explorers()->Count(), 0);
    QCOMPARE(errorOf([&] { added->CurrentFolder(); }), errc::NotFound);
}

void TestLocalOutlook::brokenStoreFilesGiveErrorsNamingTheFile()
{
    Fixture f;
    const QString good = f.buildTemplate();
    QFile source(good);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    QVERIFY(bytes.size() > 8192);

    const auto writeFile = [&](const QString& name, const QByteArray& content) {
        QFile out(f.t.path(name));
        if (!out.open(QIODevice::WriteOnly))
            qFatal("cannot write %s", qPrintable(name));
        out.write(content);
        return out.fileName();
    };
    const QString truncated = writeFile(u"Truncated.pst"_s, bytes.left(bytes.size() / 2));
    const QString text = writeFile(u"Notes.pst"_s, "just some text, not a store\n");
    const QString empty = writeFile(u"Empty.pst"_s, QByteArray());
    // A database, but not one of ours.
    const QString foreign = f.t.path(u"Foreign.pst"_s);
    {
        localoutlook::sql::Database db(foreign, true);
        db.exec("CREATE TABLE t(x); INSERT INTO t VALUES (1);");
    }

    for (const QString& path : {truncated, text, empty, foreign}) {
        QString message;
        const qint32 number = errorOf([&] {
            try {
                f.ns->AddStore(path);
            } catch (const Error& e) {
                message = e.description();
                throw;
            }
        });
        QCOMPARE(number, errc::Corrupt);
        QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
        QCOMPARE(f.ns->Folders()->Count(), 2);
    }

    // A store that is damaged after it was attached gives errors, not a crash.
    f.ns->AddStore(good);
    const auto top = f.ns->Folders()->Item(3);
    {
        QFile damage(good);
        QVERIFY(damage.open(QIODevice::ReadWrite));
        damage.seek(4096);
        damage.write(QByteArray(bytes.size() - 4096, '\xA5'));
    }
    QVERIFY(errorOf([&] {
                const auto folders = top->Folders();
                for (int i = 1; i <= folders->Count(); ++i)
                    folders->Item(i)->Items()->Count();
            }) != 0);

    // Another program finds the damaged file at startup: the rest of the profile still works.
    lorvo::test::RecordingShell shell;
    localoutlook::Provider other(f.t.profileDir, f.t.dialogs, shell);
    const auto otherNs = other.GetRunning()->GetNamespace(u"MAPI"_s);
    QCOMPARE(otherNs->GetDefaultFolder(outlook::olFolderInbox)->Name(), u"Inbox"_s);
    QCOMPARE(otherNs->Folders()->Item(u"Public Folders"_s)->Name(), u"Public Folders"_s);
    const QString message = errorText([&] { otherNs->Folders()->Item(3); });
    QVERIFY2(message.contains(QDir::toNativeSeparators(good)), qPrintable(message));
}

void TestLocalOutlook::removedFolderGivesErrors()
{
    Fixture f;
    const auto parent = f.allPublicFolders();
    const auto doomed = parent->Folders()->Add(u"Doomed"_s);
    const auto child = doomed->Folders()->Add(u"Child"_s);
    f.app->ActiveExplorer()->SetCurrentFolder(child);
    parent->Folders()->Remove(1);
    QCOMPARE(parent->Folders()->Count(), 0);
    QCOMPARE(errorOf([&] { doomed->Name(); }), errc::NotFound);
    QCOMPARE(errorOf([&] { child->Items(); }), errc::NotFound);
    QCOMPARE(errorOf([&] { child->Folders(); }), errc::NotFound);
    QCOMPARE(errorOf([&] { child->SetWebViewURL(u"x"_s); }), errc::NotFound);
    QCOMPARE(errorOf([&] { parent->Folders()->Remove(1); }), errc::BadIndex);
    // The window that showed it shows nothing now.
    QVERIFY(!f.app->ActiveExplorer()->CurrentFolder());
    QCOMPARE(f.app->ActiveWindowCaption(), u"Outlook"_s);
}

void TestLocalOutlook::providerCreatesProfileOrGivesNull()
{
    TestRuntime t(u"LorvoArchive"_s, false);
    localoutlook::Provider provider(t.profileDir, t.dialogs, t.shell);
    QVERIFY(!provider.GetRunning());
    QVERIFY(!provider.Create(u"Word.Application"_s));
    const auto app = provider.Create(u"Outlook.Application"_s);
    QVERIFY(app);
    QVERIFY(provider.GetRunning());
    QCOMPARE(app->GetNamespace(u"MAPI"_s)->Folders()->Count(), 2);

    // A profile folder that cannot be made: Create gives null, initProfile says why.
    QFile blocker(t.path(u"file"_s));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString impossible = t.path(u"file/profile"_s);
    localoutlook::Provider nowhere(impossible, t.dialogs, t.shell);
    QVERIFY(!nowhere.Create({}));
    const QString message = errorText([&] { localoutlook::initProfile(impossible); });
    QVERIFY2(message.contains(QDir::toNativeSeparators(impossible)), qPrintable(message));

    // A damaged profile is no running Outlook, and is not overwritten.
    const QString damaged = t.path(u"damaged"_s);
    QDir().mkpath(damaged);
    QFile json(damaged + u"/profile.json"_s);
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write("{ not json");
    json.close();
    localoutlook::Provider broken(damaged, t.dialogs, t.shell);
    QVERIFY(!broken.GetRunning());
    QVERIFY(!broken.Create({}));
    QVERIFY(json.open(QIODevice::ReadOnly));
    QCOMPARE(json.readAll(), QByteArray("{ not json"));
}

void TestLocalOutlook::pickFolderAsksTheDialogs()
{
    Fixture f;
    f.t.dialogs.answerPick(u"\\\\Public Folders\\All Public Folders"_s);
    const auto picked = f.ns->PickFolder();
    QVERIFY(picked);
    QCOMPARE(picked->EntryID(), f.allPublicFolders()->EntryID());
    QVERIFY(!f.ns->PickFolder()); // unscripted: cancelled
    QCOMPARE(f.t.dialogs.requests.size(), 2);
    QCOMPARE(f.t.dialogs.requests[0].kind, lorvo::test::Recorded::Pick);
}

void TestLocalOutlook::userPropertiesAreFoundWithoutRegardToCase()
{
    Fixture f;
    const QString path = f.t.path(u"Fields.pst"_s);
    localoutlook::buildStore(
        QJsonObject{{"displayName"_L1, "Fields"_L1},
                    {"folders"_L1,
                     QJsonArray{QJsonObject{
                         {"name"_L1, "F"_L1},
                         {"items"_L1,
                          QJsonArray{QJsonObject{{"userProperties"_L1,
                                                  QJsonObject{{"Problem Category"_L1, "Network"_L1},
                                                              {u"\u00c4rger"_s, "yes"_L1}}}}}}}}}},
        f.t.dir.path(), path);
    f.ns->AddStore(path);
    const auto item = f.ns->Folders()->Item(3)->Folders()->Item(1)->Items()->Item(1);
    QCOMPARE(item->FindUserProperty(u"problem category"_s)->toString(), u"Network"_s);
    QCOMPARE(item->FindUserProperty(u"PROBLEM CATEGORY"_s)->toString(), u"Network"_s);
    QCOMPARE(item->FindUserProperty(u"\u00e4RGER"_s)->toString(), u"yes"_s);
    QVERIFY(!item->FindUserProperty(u"Problem Type"_s));
    QCOMPARE(item->MessageClass(), u"IPM.Post"_s);
}

void TestLocalOutlook::itemsAreFoundAgainByIdentity()
{
    Fixture f;
    const QString path = f.buildTemplate();
    f.ns->AddStore(path);
    const auto folder = f.ns->Folders()->Item(u"LorvoFilled"_s)->Folders()->Item(2);
    const auto items = folder->Items();
    const QString storeId = folder->StoreID();
    const QString first = items->Item(1)->EntryID();
    const QString second = items->Item(2)->EntryID();
    QVERIFY(first != second);
    QCOMPARE(f.ns->GetItemFromID(second, storeId)->Subject(), u"Second"_s);
    QCOMPARE(f.ns->GetItemFromID(first, QString())->Subject(), u"Printer jams"_s);
    // A folder's identifier, another store's or a made-up one names no item.
    QCOMPARE(errorOf([&] { f.ns->GetItemFromID(folder->EntryID(), storeId); }), errc::NotFound);
    QCOMPARE(errorOf([&] { f.ns->GetItemFromID(first, f.allPublicFolders()->StoreID()); }),
             errc::NotFound);
    QCOMPARE(errorOf([&] { f.ns->GetItemFromID(u"nonsense"_s, storeId); }), errc::NotFound);

    // Deleted meanwhile: an error, and the other item is still found by its identifier.
    localoutlook::sql::Database(path, false)
        .exec("DELETE FROM items WHERE subject = 'Printer jams'");
    QCOMPARE(errorOf([&] { f.ns->GetItemFromID(first, storeId); }), errc::NotFound);
    QCOMPARE(f.ns->GetItemFromID(second, storeId)->Subject(), u"Second"_s);
}

void TestLocalOutlook::saveAsRtfEncapsulatesTheHtml()
{
    Fixture f;
    const QString html =
        u"<html><head><style>p {margin:0}</style><title>T</title></head>\r\n"
        "<body><p class=\"x\" title='a>b'>Caf\u00e9 \u20ac 5 &amp; more&nbsp;{braces} back\\slash"
        "\tand \u4e2d\u6587 \U0001F600</p>\r\n<!-- a comment -->\r\n"
        "<p>Line<br>two &#8364; &lt;tag&gt; &bogus</p></body></html>"_s;
    const QString path = f.t.path(u"Rtf.pst"_s);
    localoutlook::buildStore(
        QJsonObject{{"displayName"_L1, "Rtf"_L1},
                    {"folders"_L1,
                     QJsonArray{QJsonObject{
                         {"name"_L1, "F"_L1},
                         {"items"_L1, QJsonArray{QJsonObject{
                                          {"subject"_L1, u"Gr\u00fc\u00dfe {1}"_s},
                                          {"htmlBody"_L1, html},
                                          {"userProperties"_L1,
                                           QJsonObject{{"Problem Type"_L1, "Printer"_L1}}}}}}}}}},
        f.t.dir.path(), path);
    f.ns->AddStore(path);
    const auto item = f.ns->Folders()->Item(3)->Folders()->Item(1)->Items()->Item(1);
    const QString rtfPath = f.t.path(u"item.rtf"_s);
    item->SaveAs(rtfPath, outlook::olRTF);

    QFile file(rtfPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray rtf = file.readAll();
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252\\fromhtml1 "));
    for (const char byte : rtf)
        QVERIFY2(uchar(byte) < 0x80, "RTF is 7-bit text");
    QVERIFY(rtf.contains("{\\*\\htmltag"));
    QVERIFY(rtf.contains("\\'e9"));     // é in Windows-1252
    QVERIFY(rtf.contains("\\'80"));     // € in Windows-1252
    QVERIFY(rtf.contains("\\u20013?")); // 中 beyond it

    const auto back = lorvo::rtf::read(rtf);
    QVERIFY(back && back->fromHtml);
    QCOMPARE(back->html, html);
    QVERIFY2(back->header.contains(u"Subject:\tGr\u00fc\u00dfe {1}"_s),
             qPrintable(back->header.join(u'|')));
    QVERIFY2(back->header.contains(u"Problem Type:\tPrinter"_s),
             qPrintable(back->header.join(u'|')));

    // A text-only item is written with its text as HTML.
    localoutlook::buildStore(
        QJsonObject{{"displayName"_L1, "Plain"_L1},
                    {"folders"_L1,
                     QJsonArray{QJsonObject{
                         {"name"_L1, "F"_L1},
                         {"items"_L1, QJsonArray{QJsonObject{{"body"_L1, "a < b\nnext"_L1}}}}}}}},
        f.t.dir.path(), f.t.path(u"Plain.pst"_s));
    f.ns->AddStore(f.t.path(u"Plain.pst"_s));
    const auto plain = f.ns->Folders()->Item(4)->Folders()->Item(1)->Items()->Item(1);
    // Saved over the longer copy: nothing of that one is left at its end.
    plain->SaveAs(rtfPath, outlook::olRTF);
    plain->SaveAs(f.t.path(u"fresh.rtf"_s), outlook::olRTF);
    file.close();
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray plainRtf = file.readAll();
    QFile fresh(f.t.path(u"fresh.rtf"_s));
    QVERIFY(fresh.open(QIODevice::ReadOnly));
    QCOMPARE(plainRtf, fresh.readAll());
    const auto plainBack = lorvo::rtf::read(plainRtf);
    QVERIFY(plainBack && plainBack->fromHtml);
    QCOMPARE(plainBack->html, u"<html><body>a &lt; b<br>\r\nnext</body></html>"_s);
}

// While a generator holds a folder's items, their reads share one transaction; another program's
// writes still get through, this program's own writes are committed at once, and nothing stays
// locked once the items are let go.
void TestLocalOutlook::heldItemsLetWritersThrough()
{
    Fixture f;
    const QString path = f.buildTemplate();
    f.ns->AddStore(path);
    const auto folder =
        f.ns->Folders()->Item(u"LorvoFilled"_s)->Folders()->Item(u"Lorvo for Outlook"_s);
    outlook::ItemsPtr items = folder->Items();
    QCOMPARE(items->Item(1)->Subject(), u"Printer jams"_s);

    // Another program that does not wait: the file is locked while the items are being read
    // (tried a few times: a stall longer than the idle time would free it).
    localoutlook::sql::Database other(path, false);
    other.exec("PRAGMA busy_timeout = 0");
    bool locked = false;
    for (int attempt = 0; attempt < 10 && !locked; ++attempt) {
        QCOMPARE(items->Item(1)->Subject(), u"Printer jams"_s);
        locked = errorOf([&] { other.exec("UPDATE items SET body = 'other' WHERE id = 1"); }) != 0;
    }
    QVERIFY(locked);

    // One that waits while nothing is read gets through, even in this very thread.
    QElapsedTimer waiting;
    waiting.start();
    localoutlook::sql::Database(path, false).exec("UPDATE items SET body = 'idle' WHERE id = 1");
    QVERIFY(waiting.elapsed() < 4000);
    QCOMPARE(items->Item(1)->Body(), u"idle"_s);

    // One that waits gets through as the reads go on.
    std::atomic<bool> written = false;
    std::thread writer([&] {
        try {
            localoutlook::sql::Database waiting(path, false);
            waiting.exec("UPDATE items SET body = 'waited' WHERE subject = 'Second'");
            written = true;
        } catch (const Error&) {
        }
    });
    QElapsedTimer reading;
    reading.start();
    while (!written && reading.elapsed() < 4000)
        QCOMPARE(items->Item(2)->Subject(), u"Second"_s);
    writer.join();
    QVERIFY(written);
    QCOMPARE(items->Item(2)->Body(), u"waited"_s);

    // This program's own change is there for others at once.
    folder->SetName(u"Renamed"_s);
    auto& name = other.cached("SELECT count(*) FROM folders WHERE name = 'Renamed'");
    QVERIFY(name.next());
    QCOMPARE(name.int64(0), 1);
    name.reset();

    QCOMPARE(items->Item(1)->Subject(), u"Printer jams"_s);
    items.reset();
    QCOMPARE(errorOf([&] { other.exec("UPDATE items SET body = 'free' WHERE id = 1"); }), 0);
}

void TestLocalOutlook::saveAsTextAndUnsupportedTypes()
{
    Fixture f;
    f.ns->AddStore(f.buildTemplate());
    const auto item = f.ns->Folders()->Item(u"LorvoFilled"_s)->Folders()->Item(2)->Items()->Item(1);
    const QString path = f.t.path(u"item.txt"_s);
    item->SaveAs(path, outlook::olTXT);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    QVERIFY2(text.startsWith(u"Subject:\tPrinter jams\r\n"_s), qPrintable(text));
    QVERIFY(text.contains(u"\r\nProblem Category:\tHardware\r\n"_s));
    QVERIFY(text.contains(u"\r\nReported:\t2026-01-31 12:00:00\r\n"_s));
    QVERIFY(text.endsWith(u"\r\n\r\nOpen tray 2."_s));

    QCOMPARE(errorOf([&] { item->SaveAs(f.t.path(u"item.msg"_s), outlook::olMSG); }),
             errc::InvalidArgument);
    QVERIFY(!QFile::exists(f.t.path(u"item.msg"_s)));
    QCOMPARE(errorOf([&] { item->SaveAs(f.t.path(u"missing/item.rtf"_s), outlook::olRTF); }),
             lorvo::err::PathNotFound);
    QCOMPARE(
        errorOf([&] { item->Attachments()->Item(1)->SaveAsFile(f.t.path(u"missing/tray.bin"_s)); }),
        lorvo::err::PathNotFound);
}

void TestLocalOutlook::mailDisplaySavesToDraftsAndOpensMessageFile()
{
    Fixture f;
    QVERIFY(errorOf([&] { f.app->CreateItem(outlook::olPostItem); }) != 0);
    const auto mail = f.app->CreateItem(outlook::olMailItem);
    mail->SetTo(u"support@lorvo.example"_s);
    mail->SetSubject(u"Error report\r\nBcc: everyone@example.com"_s);
    mail->SetBody(u"Line one\nZeile zwei: \u00e4\u00f6\u00fc"_s);
    mail->Display();

    const auto drafts = f.ns->GetDefaultFolder(outlook::olFolderDrafts)->Items();
    QCOMPARE(drafts->Count(), 1);
    QCOMPARE(drafts->Item(1)->Body(), u"Line one\nZeile zwei: \u00e4\u00f6\u00fc"_s);

    QCOMPARE(f.t.shell.opened.size(), 1);
    const QString eml = QDir::fromNativeSeparators(f.t.shell.opened[0]);
    QVERIFY(eml.startsWith(f.t.profileDir));
    QVERIFY(eml.endsWith(u".eml"_s));
    QFile file(eml);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray message = file.readAll();
    const qsizetype split = message.indexOf("\r\n\r\n");
    QVERIFY(split > 0);
    const QList<QByteArray> headers = message.left(split).split('\n');
    QVERIFY(headers.contains("To: support@lorvo.example\r"));
    // The line break in the subject cannot start a header of its own.
    QVERIFY(headers.contains("Subject: Error report Bcc: everyone@example.com\r"));
    for (const QByteArray& header : headers)
        QVERIFY2(!header.startsWith("Bcc"), header.constData());
    QVERIFY(message.contains("Content-Type: text/plain; charset=UTF-8\r\n"));
    QCOMPARE(QByteArray::fromBase64(message.mid(split + 4)),
             u"Line one\r\nZeile zwei: \u00e4\u00f6\u00fc"_s.toUtf8());

    // Saving again keeps one draft.
    mail->SetSubject(u"Changed"_s);
    mail->Save();
    QCOMPARE(f.ns->GetDefaultFolder(outlook::olFolderDrafts)->Items()->Count(), 1);
    QCOMPARE(f.ns->GetDefaultFolder(outlook::olFolderDrafts)->Items()->Item(1)->Subject(),
             u"Changed"_s);
}

QTEST_GUILESS_MAIN(TestLocalOutlook)
#include "test_localoutlook.moc"
