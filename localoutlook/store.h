#pragma once

// One store file of the local Outlook: a SQLite database holding one folder tree under a single
// top folder, with items, their user-defined fields and their attachments. The top folder's name
// is the store's display name.

#include "localoutlook/sqlite.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>

namespace localoutlook {

struct FolderRecord
{
    qint64 id = 0;
    qint64 parent = 0; // 0: the top folder
    QString name;
    qint32 defaultItemType = 0;
    QString webViewUrl;
    bool webViewOn = false;
    bool allowSubfolders = true;
    bool readOnly = false;
    qint32 defaultFolderKind = 0; // outlook::DefaultFolder of a mailbox's special folder, or 0
};

struct ItemRecord
{
    qint64 id = 0;
    QString messageClass;
    QString subject;
    QString htmlBody;
    QString body;
    QString recipients;
    QByteArray rtfBody; // the RTF body as the message had it (decompressed); empty when none
    QDateTime created;  // invalid when not known
    QDateTime modified; // invalid when not known
    QString source;     // the file or folder an imported item came from; empty otherwise
    QString sourceKey;  // the item's identity within that source
};

struct AttachmentRecord
{
    qint64 id = 0;
    QString displayName;
    QString contentId;   // the name an HTML body refers to as "cid:..."; empty when none
    bool hidden = false; // shown inside the body rather than in the attachment list
};

// An imported item as the store finds it again: where it is and which source key it has.
struct SourcedItem
{
    qint64 id = 0;
    qint64 folder = 0;
    QString sourceKey;
};

// A user field's value: QString text, qint64 integer, double, bool or QDateTime date.
using FieldValue = QVariant;

class Store
{
public:
    /// Opens an existing store file; raises lorvo::Error naming the file when it is missing,
    /// truncated or not a store.
    static std::shared_ptr<Store> open(const QString& path);

    /// Builds a new store file: a top folder of that name, then fill() adds content. The file is
    /// written under a temporary name and renamed into place only when everything succeeded; an
    /// existing file at path is replaced only then.
    static void build(const QString& path, const QString& topFolderName,
                      const std::function<void(Store&)>& fill = {});

    const QString& path() const { return m_db.path(); }
    /// Identifier of the store, fixed when the file was made.
    const QString& storeId() const { return m_storeId; }
    qint64 topFolderId() const { return m_topId; }
    /// The top folder's name.
    QString displayName();

    // Folders.
    std::optional<FolderRecord> findFolder(qint64 id);
    /// The folder, or lorvo::Error when it no longer exists.
    FolderRecord folder(qint64 id);
    QList<qint64> childFolders(qint64 parent);
    std::optional<qint64> childNamed(qint64 parent, const QString& name);
    /// Adds a subfolder at the end of the parent's list; record.id and record.parent are ignored.
    qint64 addFolder(qint64 parent, const FolderRecord& record);
    void updateFolder(const FolderRecord& record);
    /// Deletes the folder with everything below it.
    void removeFolder(qint64 id);
    /// Whether folder lies at or below ancestor.
    bool isWithin(qint64 folder, qint64 ancestor);
    /// The first folder of the store with that default-folder kind.
    std::optional<qint64> folderOfKind(qint32 kind);

    // Items.
    QList<qint64> itemIds(qint64 folder);
    /// How much of an item's row a read takes. A row holds its bodies between its subject and
    /// the rest of its header, so reading anything after them walks through the bodies.
    enum class ItemPart { Summary, Header, Whole };
    /// The item: its class and subject (Summary), its whole header (Header, bodies left empty),
    /// or everything.
    ItemRecord item(qint64 id, ItemPart part = ItemPart::Whole);
    qint64 addItem(qint64 folder, const ItemRecord& record);
    void updateItem(const ItemRecord& record);
    std::optional<FieldValue> findField(qint64 item, const QString& name);
    QList<std::pair<QString, FieldValue>> fields(qint64 item);
    void setField(qint64 item, const QString& name, const FieldValue& value);
    /// Removes the item with its fields and attachments.
    void removeItem(qint64 id);
    /// Puts the item at the end of another folder's items.
    void moveItem(qint64 id, qint64 folder);
    /// The items at or below folder that came from source, in folder and position order.
    QList<SourcedItem> itemsFromSource(qint64 folder, const QString& source);
    /// Removes every field and attachment of the item.
    void clearItemContent(qint64 item);
    QList<AttachmentRecord> attachments(qint64 item);
    QByteArray attachmentData(qint64 attachment);
    qint64 addAttachment(qint64 item, const QString& displayName, const QByteArray& data);
    /// Adds an attachment with its content ID and hidden flag; record.id is ignored.
    qint64 addAttachment(qint64 item, const AttachmentRecord& record, const QByteArray& data);

    /// Copies a folder of source (maybe this store) with everything in it under targetParent of
    /// this store, named name; returns the new folder's id.
    qint64 copyTree(Store& source, qint64 sourceFolder, qint64 targetParent, const QString& name);

    /// Runs work as one transaction.
    void transaction(const std::function<void()>& work) { m_db.transaction(work); }

    /// Until the matching endReadScope, reads share a transaction (sql::Database::beginReadScope).
    void beginReadScope() { m_db.beginReadScope(); }
    void endReadScope() { m_db.endReadScope(); }

    explicit Store(const QString& path, bool create);

private:
    void createSchema(const QString& topFolderName);
    void readMarker();
    void upgradeFromVersion1();
    FolderRecord readFolder(sql::Statement& s);

    sql::Database m_db;
    QString m_storeId;
    qint64 m_topId = 0;
};

/// Checks that a file looks like a whole store file before SQLite opens it; raises lorvo::Error
/// naming the file when it is missing, not a database or shorter than its header says.
void checkStoreFile(const QString& path);

} // namespace localoutlook
