// The outlook:: object model over a profile and its store files.

#include "localoutlook/errors.h"
#include "localoutlook/localoutlook.h"
#include "localoutlook/mime.h"
#include "localoutlook/profile.h"
#include "localoutlook/store.h"
#include "shared/rtf/reader.h"
#include "shared/rtf/writer.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <map>

using namespace Qt::StringLiterals;

namespace localoutlook {

namespace {

using lorvo::Error;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

// Collections are one-based, as Outlook's are.
void checkIndex(int index, qsizetype count)
{
    if (index < 1 || index > count)
        throw Error(
            errc::BadIndex,
            u"Array index out of bounds: %1 is not between 1 and %2."_s.arg(index).arg(count));
}

// Writes a whole file or raises an error naming it. As Outlook saves a copy: over a file that is
// there, in place and cut to its new size (a file saved again and again, as the archive's working
// copy is, keeps its blocks instead of freeing them each time), not waited for on the disk; a
// write that fails leaves no half file.
void writeWhole(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        const QFileInfo info(path);
        if (!info.absoluteDir().exists())
            throw Error(lorvo::err::PathNotFound,
                        u"Path not found: %1"_s.arg(native(info.absolutePath())));
        throw Error(lorvo::err::PermissionDenied,
                    u"Cannot write the file %1: %2"_s.arg(native(path), file.errorString()));
    }
    // Cut only when the old content was longer.
    const bool longer = file.size() > bytes.size();
    if (file.write(bytes) != bytes.size() || (longer && !file.resize(bytes.size())) ||
        !file.flush()) {
        const QString reason = file.errorString();
        file.close();
        file.remove();
        throw Error(lorvo::err::PathFileAccess,
                    u"Cannot write the file %1: %2"_s.arg(native(path), reason));
    }
}

// Everything the objects of one Application share: the profile, the open store files and the
// services the picker and the mail window need.
class Session : public std::enable_shared_from_this<Session>
{
public:
    Session(const QString& dir, lorvo::Dialogs& dialogs, lorvo::Shell& shell)
        : profile(dir), dialogs(dialogs), shell(shell)
    {
    }

    Profile profile;
    lorvo::Dialogs& dialogs;
    lorvo::Shell& shell;

    // The profile as it is on disk now: another process may have changed it.
    ProfileState state() { return profile.load(); }

    void update(const std::function<void(ProfileState&)>& change) { profile.update(change); }

    std::shared_ptr<Store> storeAt(const QString& path)
    {
        auto found = m_open.find(path);
        if (found != m_open.end())
            return found->second;
        auto store = Store::open(path);
        m_open.emplace(path, store);
        return store;
    }

    void forget(const QString& path) { m_open.erase(path); }

    // The attached stores that can be opened, in attach order: one damaged file does not take
    // the others down with it.
    QList<std::shared_ptr<Store>> readableStores()
    {
        QList<std::shared_ptr<Store>> result;
        for (const QString& path : state().stores) {
            try {
                result.append(storeAt(path));
            } catch (const Error&) {
            }
        }
        return result;
    }

    // The attached store of that identifier, or null.
    std::shared_ptr<Store> findStore(const QString& storeId)
    {
        for (const auto& store : readableStores()) {
            if (store->storeId() == storeId)
                return store;
        }
        return nullptr;
    }

    std::shared_ptr<Store> storeById(const QString& storeId)
    {
        if (auto store = findStore(storeId))
            return store;
        throw Error(errc::NotFound,
                    u"The folder's store is no longer open in this Outlook profile."_s);
    }

    outlook::FolderPtr folder(const QString& storeId, qint64 id);
    outlook::FolderPtr folderFromEntryId(const QString& entryId);

private:
    std::map<QString, std::shared_ptr<Store>> m_open;
};

using SessionPtr = std::shared_ptr<Session>;

class AttachmentImpl final : public outlook::Attachment
{
public:
    AttachmentImpl(std::shared_ptr<Store> store, AttachmentRecord record)
        : m_store(std::move(store)), m_record(std::move(record))
    {
    }
    QString DisplayName() override { return m_record.displayName; }
    QString ContentID() override { return m_record.contentId; }
    void SaveAsFile(const QString& path) override
    {
        writeWhole(path, m_store->attachmentData(m_record.id));
    }

private:
    std::shared_ptr<Store> m_store;
    AttachmentRecord m_record;
};

class AttachmentsImpl final : public outlook::Attachments
{
public:
    AttachmentsImpl(std::shared_ptr<Store> store, QList<AttachmentRecord> records)
        : m_store(std::move(store)), m_records(std::move(records))
    {
    }
    int Count() override { return int(m_records.size()); }
    outlook::AttachmentPtr Item(int index) override
    {
        checkIndex(index, Count());
        return std::make_shared<AttachmentImpl>(m_store, m_records[index - 1]);
    }

private:
    std::shared_ptr<Store> m_store;
    QList<AttachmentRecord> m_records;
};

QString fieldText(const FieldValue& value)
{
    if (value.typeId() == QMetaType::QDateTime)
        return QLocale::c().toString(value.toDateTime(), u"yyyy-MM-dd hh:mm:ss"_s);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? u"Yes"_s : u"No"_s;
    return value.toString();
}

// An item's identifier: its store's, a kind mark that keeps it apart from folder identifiers,
// and its number in the store.
QString itemEntryId(const QString& storeId, qint64 id)
{
    return makeEntryId(storeId + u"-I"_s, id);
}

class ItemImpl final : public outlook::Item
{
public:
    ItemImpl(std::shared_ptr<Store> store, qint64 id) : m_store(std::move(store)), m_id(id) {}

    // Known without reading the item: a folder scan asks it of every item.
    QString EntryID() override { return itemEntryId(m_store->storeId(), m_id); }
    QString MessageClass() override { return row(Store::ItemPart::Summary).messageClass; }
    QString Subject() override { return row(Store::ItemPart::Summary).subject; }
    QString HTMLBody() override { return htmlBodyOf(record()); }
    QString Body() override { return record().body; }
    QDateTime LastModificationTime() override { return row(Store::ItemPart::Header).modified; }
    outlook::AttachmentsPtr Attachments() override
    {
        return std::make_shared<AttachmentsImpl>(m_store, m_store->attachments(m_id));
    }
    std::optional<QVariant> FindUserProperty(const QString& name) override
    {
        return m_store->findField(m_id, name);
    }

    void SaveAs(const QString& path, qint32 type) override { writeWhole(path, SaveAsData(type)); }

    QByteArray SaveAsData(qint32 type) override
    {
        if (type != outlook::olTXT && type != outlook::olRTF)
            throw Error(errc::InvalidArgument,
                        u"The item cannot be saved in format %1: only text (0) and rich text (1)"
                        " are supported."_s.arg(type));
        const ItemRecord& r = record();
        // An item with an RTF body of its own is saved as that body, as Outlook does.
        if (type == outlook::olRTF && !r.rtfBody.isEmpty())
            return r.rtfBody;
        QList<lorvo::rtf::HeaderLine> header{{u"Subject:"_s, oneLine(r.subject)}};
        for (const auto& [name, value] : m_store->fields(m_id))
            header.append({oneLine(name) + u':', oneLine(fieldText(value))});
        if (type == outlook::olRTF)
            return lorvo::rtf::itemToRtf(header, htmlOf(r));
        QString text;
        for (const lorvo::rtf::HeaderLine& line : header)
            text += line.label + u'\t' + line.value + u"\r\n"_s;
        text += u"\r\n"_s + crlfLines(r.body);
        return text.toUtf8();
    }

private:
    // The HTML body as Outlook gives it: the item's own; else the HTML its RTF body
    // encapsulates, or a rendering of that RTF; else its plain text as paragraphs.
    static QString htmlBodyOf(const ItemRecord& r)
    {
        if (!r.htmlBody.isEmpty())
            return r.htmlBody;
        if (!r.rtfBody.isEmpty()) {
            if (const auto document = lorvo::rtf::read(r.rtfBody))
                return document->html;
        }
        if (r.body.isEmpty())
            return {};
        QString text = r.body;
        text.replace("\r\n"_L1, "\n"_L1);
        text.replace(u'\r', u'\n');
        QString html = u"<html><body>\r\n"_s;
        for (const QString& line : text.split(u'\n')) {
            html +=
                line.isEmpty() ? u"<p>&nbsp;</p>"_s : u"<p>"_s + line.toHtmlEscaped() + u"</p>"_s;
            html += u"\r\n"_s;
        }
        return html + u"</body></html>"_s;
    }

    // An item without an HTML body is written with its text as HTML.
    static QString htmlOf(const ItemRecord& r)
    {
        if (!r.htmlBody.isEmpty())
            return r.htmlBody;
        QString text = r.body.toHtmlEscaped();
        text.replace("\r\n"_L1, "\n"_L1);
        text.replace(u'\n', "<br>\r\n"_L1);
        return u"<html><body>"_s + text + u"</body></html>"_s;
    }

    // Read as far as asked for: a scan of the folder reads subjects and fields, and the rest of
    // the header lies behind the bodies.
    const ItemRecord& row(Store::ItemPart part)
    {
        if (!m_row || m_part < part) {
            m_row = m_store->item(m_id, part);
            m_part = part;
        }
        return *m_row;
    }

    const ItemRecord& record() { return row(Store::ItemPart::Whole); }

    std::shared_ptr<Store> m_store;
    qint64 m_id;
    std::optional<ItemRecord> m_row;
    Store::ItemPart m_part = Store::ItemPart::Summary;
};

// A snapshot of a folder's items. While it is held (a generator holds it for its run), the
// store's reads share one transaction instead of locking the file for each.
class ItemsImpl final : public outlook::Items
{
public:
    ItemsImpl(std::shared_ptr<Store> store, QList<qint64> ids)
        : m_store(std::move(store)), m_ids(std::move(ids))
    {
        m_store->beginReadScope();
    }
    ~ItemsImpl() override { m_store->endReadScope(); }
    ItemsImpl(const ItemsImpl&) = delete;
    ItemsImpl& operator=(const ItemsImpl&) = delete;
    int Count() override { return int(m_ids.size()); }
    outlook::ItemPtr Item(int index) override
    {
        checkIndex(index, Count());
        return std::make_shared<ItemImpl>(m_store, m_ids[index - 1]);
    }

private:
    std::shared_ptr<Store> m_store;
    QList<qint64> m_ids;
};

Error readOnly(const FolderRecord& r)
{
    return Error(errc::NoAccess,
                 u"You do not have permission to change the folder \"%1\"."_s.arg(r.name));
}

class FolderImpl;

class FoldersImpl final : public outlook::Folders
{
public:
    FoldersImpl(SessionPtr session, QString storeId, qint64 parent)
        : m_session(std::move(session)), m_storeId(std::move(storeId)), m_parent(parent)
    {
    }

    int Count() override { return int(children().size()); }

    outlook::FolderPtr Item(int index) override
    {
        const QList<qint64> ids = children();
        checkIndex(index, ids.size());
        return m_session->folder(m_storeId, ids[index - 1]);
    }

    outlook::FolderPtr Item(const QString& name) override
    {
        auto store = m_session->storeById(m_storeId);
        store->folder(m_parent);
        if (auto id = store->childNamed(m_parent, name))
            return m_session->folder(m_storeId, *id);
        throw Error(errc::NotFound, u"The folder \"%1\" could not be found."_s.arg(name));
    }

    outlook::FolderPtr Add(const QString& name) override
    {
        auto store = m_session->storeById(m_storeId);
        const FolderRecord parent = store->folder(m_parent);
        checkAccepts(*store, parent, name);
        FolderRecord child;
        child.name = name;
        child.defaultItemType = parent.defaultItemType;
        qint64 id = 0;
        store->transaction([&] { id = store->addFolder(m_parent, child); });
        return m_session->folder(m_storeId, id);
    }

    void Remove(int index) override
    {
        auto store = m_session->storeById(m_storeId);
        const FolderRecord parent = store->folder(m_parent);
        const QList<qint64> ids = store->childFolders(m_parent);
        checkIndex(index, ids.size());
        if (parent.readOnly)
            throw readOnly(parent);
        const FolderRecord child = store->folder(ids[index - 1]);
        if (child.defaultFolderKind != 0 || child.readOnly)
            throw Error(errc::NoAccess, u"The folder \"%1\" cannot be deleted."_s.arg(child.name));
        store->removeFolder(child.id);
    }

    // Raises the error Outlook gives when a new subfolder of that name cannot go under parent.
    static void checkAccepts(Store& store, const FolderRecord& parent, const QString& name)
    {
        if (parent.readOnly)
            throw readOnly(parent);
        if (!parent.allowSubfolders)
            throw Error(
                errc::NoSupport,
                u"Cannot create a folder in \"%1\": the folder does not accept subfolders."_s.arg(
                    parent.name));
        if (name.isEmpty())
            throw Error(errc::InvalidArgument, u"A folder needs a name."_s);
        if (store.childNamed(parent.id, name))
            throw Error(
                errc::Collision,
                u"Cannot create the folder: a folder named \"%1\" already exists in \"%2\"."_s.arg(
                    name, parent.name));
    }

private:
    QList<qint64> children()
    {
        auto store = m_session->storeById(m_storeId);
        store->folder(m_parent);
        return store->childFolders(m_parent);
    }

    SessionPtr m_session;
    QString m_storeId;
    qint64 m_parent;
};

class FolderImpl final : public outlook::Folder
{
public:
    FolderImpl(SessionPtr session, QString storeId, qint64 id)
        : m_session(std::move(session)), m_storeId(std::move(storeId)), m_id(id)
    {
    }

    const QString& storeId() const { return m_storeId; }
    qint64 id() const { return m_id; }
    const SessionPtr& session() const { return m_session; }

    QString Name() override { return record().name; }

    void SetName(const QString& name) override
    {
        auto store = m_session->storeById(m_storeId);
        FolderRecord r = store->folder(m_id);
        if (r.name == name)
            return;
        if (r.readOnly)
            throw readOnly(r);
        if (name.isEmpty())
            throw Error(errc::InvalidArgument, u"A folder needs a name."_s);
        if (r.parent != 0 && store->childNamed(r.parent, name))
            throw Error(
                errc::Collision,
                u"Cannot rename the folder: a folder named \"%1\" already exists."_s.arg(name));
        r.name = name;
        store->transaction([&] { store->updateFolder(r); });
    }

    outlook::FolderPtr Parent() override
    {
        const FolderRecord r = record();
        return r.parent == 0 ? nullptr : m_session->folder(m_storeId, r.parent);
    }

    QString EntryID() override
    {
        record();
        return makeEntryId(m_storeId, m_id);
    }

    QString StoreID() override
    {
        record();
        return m_storeId;
    }

    outlook::FoldersPtr Folders() override
    {
        record();
        return std::make_shared<FoldersImpl>(m_session, m_storeId, m_id);
    }

    outlook::FolderPtr CopyTo(const outlook::FolderPtr& target) override
    {
        auto* destination = dynamic_cast<FolderImpl*>(target.get());
        if (!destination || destination->m_session != m_session)
            throw Error(errc::InvalidArgument,
                        u"The folder can only be copied to a folder of the same Outlook."_s);
        auto source = m_session->storeById(m_storeId);
        auto into = m_session->storeById(destination->m_storeId);
        const FolderRecord me = source->folder(m_id);
        const FolderRecord parent = into->folder(destination->m_id);
        if (source == into && into->isWithin(parent.id, m_id))
            throw Error(
                errc::NoSupport,
                u"Cannot copy the folder \"%1\": the destination is inside it."_s.arg(me.name));
        // A name that is taken gets a number, as Outlook numbers copies.
        QString name = me.name;
        for (int n = 1; into->childNamed(parent.id, name); ++n)
            name = me.name + QString::number(n);
        FoldersImpl::checkAccepts(*into, parent, name);
        const qint64 copy = into->copyTree(*source, m_id, parent.id, name);
        return m_session->folder(destination->m_storeId, copy);
    }

    qint32 DefaultItemType() override { return record().defaultItemType; }
    QString WebViewURL() override { return record().webViewUrl; }
    bool WebViewOn() override { return record().webViewOn; }

    void SetWebViewURL(const QString& url) override
    {
        change([&](FolderRecord& r) { r.webViewUrl = url; });
    }

    void SetWebViewOn(bool on) override
    {
        change([&](FolderRecord& r) { r.webViewOn = on; });
    }

    outlook::ItemsPtr Items() override
    {
        auto store = m_session->storeById(m_storeId);
        store->folder(m_id);
        return std::make_shared<ItemsImpl>(store, store->itemIds(m_id));
    }

private:
    FolderRecord record() { return m_session->storeById(m_storeId)->folder(m_id); }

    void change(const std::function<void(FolderRecord&)>& edit)
    {
        auto store = m_session->storeById(m_storeId);
        FolderRecord r = store->folder(m_id);
        if (r.readOnly)
            throw readOnly(r);
        edit(r);
        store->transaction([&] { store->updateFolder(r); });
    }

    SessionPtr m_session;
    QString m_storeId;
    qint64 m_id;
};

outlook::FolderPtr Session::folder(const QString& storeId, qint64 id)
{
    return std::make_shared<FolderImpl>(shared_from_this(), storeId, id);
}

outlook::FolderPtr Session::folderFromEntryId(const QString& entryId)
{
    QString storeId;
    qint64 id = 0;
    if (!splitEntryId(entryId, storeId, id))
        return nullptr;
    auto store = findStore(storeId);
    if (!store || !store->findFolder(id))
        return nullptr;
    return folder(storeId, id);
}

// The top folders of every attached store, in attach order.
class StoreFoldersImpl final : public outlook::Folders
{
public:
    explicit StoreFoldersImpl(SessionPtr session) : m_session(std::move(session)) {}

    int Count() override { return int(m_session->state().stores.size()); }

    outlook::FolderPtr Item(int index) override
    {
        const QStringList paths = m_session->state().stores;
        checkIndex(index, paths.size());
        auto store = m_session->storeAt(paths[index - 1]);
        return m_session->folder(store->storeId(), store->topFolderId());
    }

    outlook::FolderPtr Item(const QString& name) override
    {
        for (const auto& store : m_session->readableStores()) {
            if (store->displayName() == name)
                return m_session->folder(store->storeId(), store->topFolderId());
        }
        throw Error(errc::NotFound, u"The folder \"%1\" could not be found."_s.arg(name));
    }

    outlook::FolderPtr Add(const QString& name) override
    {
        throw Error(errc::NoSupport,
                    u"Cannot create the folder \"%1\" at the top of the folder list: attach a"
                    " store file instead."_s.arg(name));
    }

    void Remove(int index) override
    {
        throw Error(errc::NoSupport,
                    u"Cannot delete the store at position %1: detach it instead."_s.arg(index));
    }

private:
    SessionPtr m_session;
};

class NameSpaceImpl final : public outlook::NameSpace
{
public:
    explicit NameSpaceImpl(SessionPtr session) : m_session(std::move(session)) {}

    outlook::FolderPtr GetDefaultFolder(qint32 kind) override
    {
        for (const auto& store : m_session->readableStores()) {
            if (auto id = store->folderOfKind(kind))
                return m_session->folder(store->storeId(), *id);
        }
        throw Error(errc::NotFound,
                    u"The default folder %1 does not exist in this Outlook profile."_s.arg(kind));
    }

    outlook::ItemPtr GetItemFromID(const QString& entryId, const QString& storeId) override
    {
        QString itemStore;
        qint64 id = 0;
        const bool parsed = splitEntryId(entryId, itemStore, id) && itemStore.endsWith(u"-I"_s);
        itemStore.chop(2);
        const auto store = parsed && (storeId.isEmpty() || storeId == itemStore)
                               ? m_session->findStore(itemStore)
                               : nullptr;
        if (!store)
            throw Error(errc::NotFound, u"The item \"%1\" could not be found."_s.arg(entryId));
        auto item = std::make_shared<ItemImpl>(store, id);
        item->MessageClass(); // reads the item: raises when it was deleted
        return item;
    }

    outlook::FolderPtr PickFolder() override
    {
        return m_session->dialogs.pickOutlookFolder(*this, nullptr);
    }

    outlook::FoldersPtr Folders() override { return std::make_shared<StoreFoldersImpl>(m_session); }

    void AddStore(const QString& path) override
    {
        const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
        const ProfileState state = m_session->state();
        for (const QString& attached : state.stores) {
            if (QFileInfo(attached) == QFileInfo(absolute))
                return; // already open, as Outlook leaves it
        }
        if (!QFileInfo::exists(absolute))
            Store::build(absolute, u"Personal Folders"_s);
        auto store = Store::open(absolute);
        if (m_session->findStore(store->storeId()))
            throw Error(
                errc::Collision,
                u"The file %1 is a copy of a store that is already open."_s.arg(native(absolute)));
        m_session->update([&](ProfileState& s) { s.stores.append(absolute); });
    }

    void RemoveStore(const outlook::FolderPtr& storeTopFolder) override
    {
        auto* top = dynamic_cast<FolderImpl*>(storeTopFolder.get());
        if (!top)
            throw Error(errc::InvalidArgument, u"No store folder was given."_s);
        auto store = m_session->storeById(top->storeId());
        if (top->id() != store->topFolderId())
            throw Error(errc::InvalidArgument,
                        u"The folder \"%1\" is not the top folder of a store."_s.arg(top->Name()));
        if (store->folderOfKind(outlook::olFolderInbox))
            throw Error(errc::NoAccess, u"The default mailbox cannot be removed."_s);
        const QString path = store->path();
        m_session->update([&](ProfileState& s) {
            s.stores.removeIf([&](const QString& p) { return QFileInfo(p) == QFileInfo(path); });
        });
        m_session->forget(path);
    }

private:
    SessionPtr m_session;
};

QString captionOf(const outlook::FolderPtr& folder)
{
    return folder ? folder->Name() + u" - Outlook"_s : u"Outlook"_s;
}

class ExplorerImpl final : public outlook::Explorer
{
public:
    ExplorerImpl(SessionPtr session, int index) : m_session(std::move(session)), m_index(index) {}

    void Activate() override { Display(); }

    void Display() override
    {
        m_session->update([&](ProfileState& s) {
            check(s);
            s.explorers[m_index].shown = true;
            s.active = m_index;
        });
    }

    outlook::FolderPtr CurrentFolder() override
    {
        const ProfileState s = m_session->state();
        check(s);
        return m_session->folderFromEntryId(s.explorers[m_index].folderEntryId);
    }

    void SetCurrentFolder(const outlook::FolderPtr& folder) override
    {
        if (!folder)
            throw Error(errc::InvalidArgument, u"No folder was given."_s);
        const QString entryId = folder->EntryID();
        m_session->update([&](ProfileState& s) {
            check(s);
            s.explorers[m_index].folderEntryId = entryId;
        });
    }

    QString Caption() override { return captionOf(CurrentFolder()); }

private:
    void check(const ProfileState& s) const
    {
        if (m_index >= s.explorers.size())
            throw Error(errc::NotFound, u"The Outlook window has been closed."_s);
    }

    SessionPtr m_session;
    int m_index;
};

class ExplorersImpl final : public outlook::Explorers
{
public:
    explicit ExplorersImpl(SessionPtr session) : m_session(std::move(session)) {}

    int Count() override { return int(m_session->state().explorers.size()); }

    outlook::ExplorerPtr Add(const outlook::FolderPtr& folder, qint32 displayMode) override
    {
        Q_UNUSED(displayMode);
        if (!folder)
            throw Error(errc::InvalidArgument, u"No folder was given for the new window."_s);
        const QString entryId = folder->EntryID();
        int index = 0;
        m_session->update([&](ProfileState& s) {
            s.explorers.append({entryId, false});
            index = int(s.explorers.size()) - 1;
        });
        return std::make_shared<ExplorerImpl>(m_session, index);
    }

    outlook::ExplorerPtr Item(int index) override
    {
        const int count = Count();
        checkIndex(index, count);
        return std::make_shared<ExplorerImpl>(m_session, index - 1);
    }

private:
    SessionPtr m_session;
};

class MailItemImpl final : public outlook::MailItem
{
public:
    explicit MailItemImpl(SessionPtr session) : m_session(std::move(session)) {}

    void SetTo(const QString& to) override { m_record.recipients = to; }
    void SetSubject(const QString& subject) override { m_record.subject = subject; }
    void SetBody(const QString& body) override { m_record.body = body; }

    void Save() override
    {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        if (!m_record.created.isValid())
            m_record.created = now;
        m_record.modified = now;
        NameSpaceImpl nameSpace(m_session);
        const outlook::FolderPtr folder = nameSpace.GetDefaultFolder(outlook::olFolderDrafts);
        const auto* drafts = static_cast<const FolderImpl*>(folder.get());
        auto store = m_session->storeById(drafts->storeId());
        store->transaction([&] {
            if (m_record.id != 0 && m_store == store) {
                try {
                    store->item(m_record.id);
                    store->updateItem(m_record);
                    return;
                } catch (const Error&) {
                    // deleted from Drafts meanwhile: saved anew below
                }
            }
            m_record.id = store->addItem(drafts->id(), m_record);
            m_store = store;
        });
    }

    void Display() override
    {
        Save();
        const QString path = m_session->profile.dir() + u"/Draft %1.eml"_s.arg(m_record.id);
        writeWhole(path, message());
        m_session->shell.open(QDir::toNativeSeparators(path), lorvo::WindowStyle::Normal);
    }

private:
    QByteArray message() const
    {
        const QString body = crlfLines(m_record.body);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        QByteArray out;
        out += "To: " + mimeHeaderValue(m_record.recipients) + "\r\n";
        out += "Subject: " + mimeHeaderValue(m_record.subject) + "\r\n";
        out += "Date: " + QLocale::c().toString(now, u"ddd, dd MMM yyyy hh:mm:ss"_s).toLatin1() +
               " +0000\r\n";
        out += "MIME-Version: 1.0\r\n";
        out += "X-Unsent: 1\r\n";
        out += "Content-Type: text/plain; charset=UTF-8\r\n";
        out += "Content-Transfer-Encoding: base64\r\n\r\n";
        out += base64Lines(body.toUtf8());
        return out;
    }

    SessionPtr m_session;
    ItemRecord m_record = [] {
        ItemRecord r;
        r.messageClass = u"IPM.Note"_s;
        return r;
    }();
    std::shared_ptr<Store> m_store;
};

class ApplicationImpl final : public outlook::Application
{
public:
    explicit ApplicationImpl(SessionPtr session) : m_session(std::move(session)) {}

    QString Version() override { return m_session->state().version; }

    outlook::NameSpacePtr GetNamespace(const QString& type) override
    {
        if (type.compare("MAPI"_L1, Qt::CaseInsensitive) != 0)
            throw Error(errc::InvalidArgument,
                        u"The namespace \"%1\" does not exist; only \"MAPI\" does."_s.arg(type));
        return std::make_shared<NameSpaceImpl>(m_session);
    }

    outlook::ExplorerPtr ActiveExplorer() override
    {
        const ProfileState s = m_session->state();
        if (s.active < 0 || !s.explorers[s.active].shown)
            return nullptr;
        return std::make_shared<ExplorerImpl>(m_session, s.active);
    }

    outlook::ExplorersPtr Explorers() override
    {
        return std::make_shared<ExplorersImpl>(m_session);
    }

    QString ActiveWindowCaption() override
    {
        auto explorer = ActiveExplorer();
        return explorer ? explorer->Caption() : QString();
    }

    outlook::MailItemPtr CreateItem(qint32 type) override
    {
        if (type != outlook::olMailItem)
            throw Error(
                errc::InvalidArgument,
                u"Items of type %1 cannot be created here; only mail items (0)."_s.arg(type));
        return std::make_shared<MailItemImpl>(m_session);
    }

    std::shared_ptr<outlook::Assistant> Assistant() override { return nullptr; }

private:
    SessionPtr m_session;
};

} // namespace

struct Provider::Impl
{
    QString dir;
    lorvo::Dialogs& dialogs;
    lorvo::Shell& shell;
    outlook::ApplicationPtr app;

    outlook::ApplicationPtr open()
    {
        if (!app) {
            auto session = std::make_shared<Session>(dir, dialogs, shell);
            session->state(); // a damaged profile is no running Outlook
            app = std::make_shared<ApplicationImpl>(session);
        }
        return app;
    }
};

Provider::Provider(QString profileDir, lorvo::Dialogs& dialogs, lorvo::Shell& shell)
    : d(new Impl{std::move(profileDir), dialogs, shell, nullptr})
{
}

Provider::~Provider() = default;

outlook::ApplicationPtr Provider::GetRunning()
{
    if (!Profile(d->dir).exists())
        return nullptr;
    try {
        return d->open();
    } catch (const Error&) {
        return nullptr;
    }
}

outlook::ApplicationPtr Provider::Create(const QString& className)
{
    // "" stands for the referenced type library; any other name must be Outlook's.
    if (!className.isEmpty() &&
        !className.startsWith("Outlook.Application"_L1, Qt::CaseInsensitive))
        return nullptr;
    try {
        initProfile(d->dir);
        return d->open();
    } catch (const Error&) {
        return nullptr;
    }
}

} // namespace localoutlook
