#include "localoutlook/profile.h"

#include "localoutlook/errors.h"
#include "localoutlook/localoutlook.h"
#include "localoutlook/store.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace localoutlook {

namespace {

constexpr auto kProfileFormat = "lorvo-outlook-profile"_L1;
constexpr auto kMailboxFile = "Mailbox.pst"_L1;
constexpr auto kPublicFile = "Public Folders.pst"_L1;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// The default mailbox: its special folders with the kind GetDefaultFolder finds them by.
void fillMailbox(Store& store)
{
    struct Special
    {
        const char16_t* name;
        qint32 kind;
        qint32 itemType;
    };
    static constexpr Special specials[] = {
        {u"Calendar", 9, 1},   {u"Contacts", 10, 2}, {u"Deleted Items", 3, 0}, {u"Drafts", 16, 0},
        {u"Inbox", 6, 0},      {u"Journal", 11, 4},  {u"Notes", 12, 5},        {u"Outbox", 4, 0},
        {u"Sent Items", 5, 0}, {u"Tasks", 13, 3},
    };
    for (const Special& s : specials) {
        FolderRecord r;
        r.name = QString::fromUtf16(s.name);
        r.defaultFolderKind = s.kind;
        r.defaultItemType = s.itemType;
        store.addFolder(store.topFolderId(), r);
    }
}

void fillPublicFolders(Store& store)
{
    FolderRecord top = store.folder(store.topFolderId());
    top.allowSubfolders = false;
    store.updateFolder(top);
    FolderRecord all;
    all.name = u"All Public Folders"_s;
    all.defaultItemType = 0;
    store.addFolder(store.topFolderId(), all);
}

} // namespace

Profile::Profile(QString dir) : m_dir(QDir::cleanPath(QDir(dir).absolutePath())) {}

QString Profile::filePath() const
{
    return m_dir + u"/profile.json"_s;
}

bool Profile::exists() const
{
    return QFile::exists(filePath());
}

ProfileState Profile::load() const
{
    QFile file(filePath());
    if (!file.exists())
        throw lorvo::Error(lorvo::err::FileNotFound,
                           u"The Outlook profile %1 does not exist."_s.arg(native(m_dir)));
    if (!file.open(QIODevice::ReadOnly))
        throw lorvo::Error(lorvo::err::PermissionDenied,
                           u"The Outlook profile %1 cannot be read: %2."_s.arg(native(filePath()),
                                                                               file.errorString()));
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    const QJsonObject root = doc.object();
    if (parseError.error != QJsonParseError::NoError || root.value("format"_L1) != kProfileFormat)
        throw lorvo::Error(errc::Corrupt,
                           u"The Outlook profile %1 is damaged."_s.arg(native(filePath())));
    ProfileState state;
    state.version = root.value("version"_L1).toString();
    for (const QJsonValue& store : root.value("stores"_L1).toArray())
        state.stores.append(fromStored(store.toString()));
    for (const QJsonValue& value : root.value("explorers"_L1).toArray()) {
        const QJsonObject explorer = value.toObject();
        state.explorers.append(
            {explorer.value("folder"_L1).toString(), explorer.value("shown"_L1).toBool()});
    }
    state.active = root.value("active"_L1).toInt(-1);
    if (state.active >= state.explorers.size() || state.active < -1)
        state.active = -1;
    return state;
}

void Profile::save(const ProfileState& state) const
{
    QJsonObject root;
    root.insert("format"_L1, QString(kProfileFormat));
    root.insert("version"_L1, state.version);
    QJsonArray stores;
    for (const QString& path : state.stores)
        stores.append(toStored(path));
    root.insert("stores"_L1, stores);
    QJsonArray explorers;
    for (const ExplorerState& e : state.explorers)
        explorers.append(QJsonObject{{"folder"_L1, e.folderEntryId}, {"shown"_L1, e.shown}});
    root.insert("explorers"_L1, explorers);
    root.insert("active"_L1, state.active);

    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly))
        throw lorvo::Error(lorvo::err::PermissionDenied,
                           u"The Outlook profile %1 cannot be written: %2."_s.arg(
                               native(filePath()), file.errorString()));
    file.write(QJsonDocument(root).toJson(QJsonDocument::Indented));
    if (!file.commit())
        throw lorvo::Error(lorvo::err::PathFileAccess,
                           u"The Outlook profile %1 could not be written: %2."_s.arg(
                               native(filePath()), file.errorString()));
}

void Profile::update(const std::function<void(ProfileState&)>& change) const
{
    QLockFile lock(m_dir + u"/profile.lock"_s);
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(10000))
        throw lorvo::Error(
            lorvo::err::PermissionDenied,
            u"The Outlook profile %1 is locked by another program."_s.arg(native(m_dir)));
    ProfileState state = load();
    change(state);
    save(state);
}

QString Profile::toStored(const QString& absolutePath) const
{
    const QString relative = QDir(m_dir).relativeFilePath(absolutePath);
    if (!relative.startsWith(".."_L1) && !QDir::isAbsolutePath(relative))
        return relative;
    return QDir::cleanPath(absolutePath);
}

QString Profile::fromStored(const QString& storedPath) const
{
    return QDir::cleanPath(QDir(m_dir).absoluteFilePath(storedPath));
}

QString makeEntryId(const QString& storeId, qint64 folderId)
{
    return storeId + u"-%1"_s.arg(folderId, 8, 16, QChar(u'0')).toUpper();
}

bool splitEntryId(const QString& entryId, QString& storeId, qint64& folderId)
{
    const qsizetype dash = entryId.lastIndexOf(u'-');
    if (dash <= 0)
        return false;
    bool ok = false;
    folderId = entryId.mid(dash + 1).toLongLong(&ok, 16);
    storeId = entryId.left(dash);
    return ok;
}

QString defaultProfilePath()
{
    const QString fromEnvironment = qEnvironmentVariable("LORVO_OUTLOOK_PROFILE");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(QDir(fromEnvironment).absolutePath());
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (base.isEmpty())
        base = QDir::homePath();
    return base + u"/Lorvo/Outlook Profile"_s;
}

void initProfile(const QString& profileDir, const QString& version)
{
    const Profile profile(profileDir);
    if (profile.exists()) {
        if (!version.isEmpty())
            profile.update([&](ProfileState& state) { state.version = version; });
        return;
    }
    if (!QDir().mkpath(profile.dir()))
        throw lorvo::Error(
            lorvo::err::PathNotFound,
            u"The Outlook profile folder %1 cannot be created."_s.arg(native(profile.dir())));
    const QString mailbox = profile.dir() + u'/' + kMailboxFile;
    const QString publicFolders = profile.dir() + u'/' + kPublicFile;
    try {
        QString inboxId;
        Store::build(mailbox, u"Mailbox"_s, [&](Store& store) {
            fillMailbox(store);
            inboxId = makeEntryId(store.storeId(), *store.folderOfKind(6));
        });
        Store::build(publicFolders, u"Public Folders"_s, fillPublicFolders);
        ProfileState state;
        state.version = version.isEmpty() ? defaultVersion() : version;
        state.stores = {mailbox, publicFolders};
        // Outlook starts with its window on the Inbox.
        state.explorers = {{inboxId, true}};
        state.active = 0;
        profile.save(state);
    } catch (...) {
        QFile::remove(mailbox);
        QFile::remove(publicFolders);
        throw;
    }
}

void closeAllExplorers(const QString& profileDir)
{
    Profile(profileDir).update([](ProfileState& state) {
        state.explorers.clear();
        state.active = -1;
    });
}

} // namespace localoutlook
