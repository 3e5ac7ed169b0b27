#include "localoutlook/store.h"

#include "localoutlook/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QUuid>
#include <QtEndian>

using namespace Qt::StringLiterals;

namespace localoutlook {

namespace {

constexpr auto kFormat = "lorvo-outlook-store"_L1;
constexpr auto kSchemaVersion = "2"_L1;
// Stores of version 1 lack the RTF body, times and source identity of items and the content ID
// and hidden flag of attachments; they are upgraded when opened.
constexpr auto kFirstSchemaVersion = "1"_L1;

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

lorvo::Error notAStore(const QString& path)
{
    return lorvo::Error(errc::Corrupt,
                        u"The file %1 is not a personal folders file."_s.arg(native(path)));
}

// Field values are stored with a type name so that a date stays a date and a boolean a boolean.
QString typeName(const FieldValue& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return u"boolean"_s;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return u"integer"_s;
    case QMetaType::Double:
    case QMetaType::Float:
        return u"double"_s;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return u"date"_s;
    default:
        return u"text"_s;
    }
}

FieldValue readField(const QString& type, sql::Statement& s, int column)
{
    if (type == "integer"_L1)
        return QVariant::fromValue(s.int64(column));
    if (type == "double"_L1)
        return s.real(column);
    if (type == "boolean"_L1)
        return s.int64(column) != 0;
    if (type == "date"_L1)
        return QDateTime::fromString(s.text(column), Qt::ISODate);
    return s.text(column);
}

void bindField(sql::Statement& s, int index, const FieldValue& value)
{
    const QString type = typeName(value);
    if (type == "integer"_L1 || type == "boolean"_L1)
        s.bind(index, value.toLongLong());
    else if (type == "double"_L1)
        s.bind(index, value.toDouble());
    else if (type == "date"_L1)
        s.bind(index, value.toDateTime().toString(Qt::ISODate));
    else
        s.bind(index, value.toString());
}

// The columns of a folder as parameters ?2 to ?8, the same in INSERT and UPDATE.
sql::Statement& bindFolderFields(sql::Statement& s, const FolderRecord& r)
{
    return s.bind(2, r.name)
        .bind(3, r.defaultItemType)
        .bind(4, r.webViewUrl)
        .bind(5, r.webViewOn)
        .bind(6, r.allowSubfolders)
        .bind(7, r.readOnly)
        .bind(8, r.defaultFolderKind);
}

// Times are kept as UTC text with milliseconds, empty when not known.
QString timeText(const QDateTime& time)
{
    return time.isValid() ? time.toUTC().toString(Qt::ISODateWithMs) : QString();
}

QDateTime timeFromText(const QString& text)
{
    return text.isEmpty() ? QDateTime() : QDateTime::fromString(text, Qt::ISODateWithMs);
}

// The columns of an item as parameters ?2 to ?11.
sql::Statement& bindItemFields(sql::Statement& s, const ItemRecord& r)
{
    return s.bind(2, r.messageClass)
        .bind(3, r.subject)
        .bind(4, r.htmlBody)
        .bind(5, r.body)
        .bind(6, r.recipients)
        .bind(7, r.rtfBody)
        .bind(8, timeText(r.created))
        .bind(9, timeText(r.modified))
        .bind(10, r.source)
        .bind(11, r.sourceKey);
}

} // namespace

void checkStoreFile(const QString& path)
{
    QFile file(path);
    if (!file.exists())
        throw lorvo::Error(lorvo::err::FileNotFound,
                           u"The file %1 could not be found."_s.arg(native(path)));
    if (!file.open(QIODevice::ReadOnly))
        throw lorvo::Error(lorvo::err::PermissionDenied, u"The file %1 cannot be opened: %2."_s.arg(
                                                             native(path), file.errorString()));
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayView("SQLite format 3\0", 16)))
        throw notAStore(path);
    // The header records the page size and, when its "valid for" counter matches the change
    // counter, the number of pages: a shorter file was cut off.
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    quint32 pageSize = qFromBigEndian<quint16>(bytes + 16);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 changeCounter = qFromBigEndian<quint32>(bytes + 24);
    const quint32 pages = qFromBigEndian<quint32>(bytes + 28);
    const quint32 validFor = qFromBigEndian<quint32>(bytes + 92);
    if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0)
        throw notAStore(path);
    if (validFor == changeCounter && pages > 0 && file.size() < qint64(pageSize) * pages)
        throw lorvo::Error(
            errc::Corrupt,
            u"The file %1 is damaged: it is shorter than its content."_s.arg(native(path)));
}

Store::Store(const QString& path, bool create) : m_db(path, create) {}

std::shared_ptr<Store> Store::open(const QString& path)
{
    checkStoreFile(path);
    auto store = std::make_shared<Store>(path, false);
    store->readMarker();
    return store;
}

void Store::readMarker()
{
    QString format, version;
    try {
        auto& s = m_db.cached("SELECT key, value FROM lorvo_store");
        while (s.next()) {
            const QString key = s.text(0);
            if (key == "format"_L1)
                format = s.text(1);
            else if (key == "version"_L1)
                version = s.text(1);
            else if (key == "storeId"_L1)
                m_storeId = s.text(1);
        }
        auto& top = m_db.cached("SELECT id FROM folders WHERE parent IS NULL ORDER BY id LIMIT 1");
        if (top.next())
            m_topId = top.int64(0);
        top.reset();
    } catch (const lorvo::Error& e) {
        if (e.number() == errc::Corrupt && !format.isEmpty())
            throw;
        throw notAStore(path());
    }
    if (format != kFormat || m_storeId.isEmpty() || m_topId == 0)
        throw notAStore(path());
    if (version == kFirstSchemaVersion) {
        upgradeFromVersion1();
        return;
    }
    if (version != kSchemaVersion)
        throw lorvo::Error(
            errc::Corrupt,
            u"The file %1 was made by another version (%2) and cannot be opened."_s.arg(
                native(path()), version));
}

void Store::upgradeFromVersion1()
{
    try {
        transaction([&] {
            m_db.exec(R"(
                ALTER TABLE items ADD COLUMN rtf_body BLOB NOT NULL DEFAULT x'';
                ALTER TABLE items ADD COLUMN created TEXT NOT NULL DEFAULT '';
                ALTER TABLE items ADD COLUMN modified TEXT NOT NULL DEFAULT '';
                ALTER TABLE items ADD COLUMN source TEXT NOT NULL DEFAULT '';
                ALTER TABLE items ADD COLUMN source_key TEXT NOT NULL DEFAULT '';
                CREATE INDEX items_by_source ON items(source, source_key);
                ALTER TABLE attachments ADD COLUMN content_id TEXT NOT NULL DEFAULT '';
                ALTER TABLE attachments ADD COLUMN hidden INTEGER NOT NULL DEFAULT 0;
                UPDATE lorvo_store SET value = '2' WHERE key = 'version';
            )");
        });
    } catch (const lorvo::Error& e) {
        if (e.number() != lorvo::err::PermissionDenied)
            throw;
        // A file that cannot be written is read as it is: views in the connection's temporary
        // schema stand in front of its tables and give the new columns their defaults.
        m_db.exec(R"(
            CREATE TEMP VIEW items AS SELECT *, x'' AS rtf_body, '' AS created, '' AS modified,
                '' AS source, '' AS source_key FROM main.items;
            CREATE TEMP VIEW attachments AS SELECT *, '' AS content_id, 0 AS hidden
                FROM main.attachments;
        )");
    }
}

void Store::createSchema(const QString& topFolderName)
{
    m_db.exec(R"(
        CREATE TABLE lorvo_store(key TEXT PRIMARY KEY, value TEXT NOT NULL);
        CREATE TABLE folders(
            id INTEGER PRIMARY KEY,
            parent INTEGER REFERENCES folders(id),
            name TEXT NOT NULL,
            default_item_type INTEGER NOT NULL DEFAULT 0,
            web_view_url TEXT NOT NULL DEFAULT '',
            web_view_on INTEGER NOT NULL DEFAULT 0,
            allow_subfolders INTEGER NOT NULL DEFAULT 1,
            read_only INTEGER NOT NULL DEFAULT 0,
            default_kind INTEGER NOT NULL DEFAULT 0,
            position INTEGER NOT NULL);
        CREATE INDEX folders_by_parent ON folders(parent, position);
        CREATE TABLE items(
            id INTEGER PRIMARY KEY,
            folder INTEGER NOT NULL REFERENCES folders(id),
            message_class TEXT NOT NULL DEFAULT '',
            subject TEXT NOT NULL DEFAULT '',
            html_body TEXT NOT NULL DEFAULT '',
            body TEXT NOT NULL DEFAULT '',
            recipients TEXT NOT NULL DEFAULT '',
            position INTEGER NOT NULL,
            rtf_body BLOB NOT NULL DEFAULT x'',
            created TEXT NOT NULL DEFAULT '',
            modified TEXT NOT NULL DEFAULT '',
            source TEXT NOT NULL DEFAULT '',
            source_key TEXT NOT NULL DEFAULT '');
        CREATE INDEX items_by_folder ON items(folder, position);
        CREATE INDEX items_by_source ON items(source, source_key);
        CREATE TABLE fields(
            item INTEGER NOT NULL REFERENCES items(id),
            folded_name TEXT NOT NULL,
            name TEXT NOT NULL,
            type TEXT NOT NULL,
            value,
            position INTEGER NOT NULL,
            PRIMARY KEY(item, folded_name));
        CREATE TABLE attachments(
            id INTEGER PRIMARY KEY,
            item INTEGER NOT NULL REFERENCES items(id),
            display_name TEXT NOT NULL,
            data BLOB NOT NULL,
            position INTEGER NOT NULL,
            content_id TEXT NOT NULL DEFAULT '',
            hidden INTEGER NOT NULL DEFAULT 0);
        CREATE INDEX attachments_by_item ON attachments(item, position);
    )");
    auto& marker = m_db.cached("INSERT INTO lorvo_store(key, value) VALUES (?, ?)");
    marker.bind(1, u"format"_s).bind(2, QString(kFormat)).exec();
    marker.reset().bind(1, u"version"_s).bind(2, QString(kSchemaVersion)).exec();
    m_storeId = QUuid::createUuid().toString(QUuid::Id128).toUpper();
    marker.reset().bind(1, u"storeId"_s).bind(2, m_storeId).exec();
    auto& top = m_db.cached("INSERT INTO folders(parent, name, position) VALUES (NULL, ?, 1)");
    top.bind(1, topFolderName).exec();
    m_topId = m_db.lastInsertId();
}

void Store::build(const QString& path, const QString& topFolderName,
                  const std::function<void(Store&)>& fill)
{
    const QFileInfo target(path);
    if (!target.dir().exists())
        throw lorvo::Error(lorvo::err::PathNotFound,
                           u"The folder %1 does not exist."_s.arg(native(target.absolutePath())));
    QString temporaryPath;
    {
        QTemporaryFile temporary(target.absoluteFilePath() + u".XXXXXX.tmp"_s);
        if (!temporary.open())
            throw lorvo::Error(
                lorvo::err::PermissionDenied,
                u"The file %1 cannot be written: %2."_s.arg(native(path), temporary.errorString()));
        temporaryPath = temporary.fileName();
        temporary.setAutoRemove(false);
    }
    try {
        {
            Store store(temporaryPath, true);
            store.m_db.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF");
            store.transaction([&] {
                store.createSchema(topFolderName);
                if (fill)
                    fill(store);
            });
        }
        if (target.exists() && !QFile::remove(target.absoluteFilePath()))
            throw lorvo::Error(lorvo::err::PermissionDenied,
                               u"The file %1 cannot be replaced."_s.arg(native(path)));
        if (!QFile::rename(temporaryPath, target.absoluteFilePath()))
            throw lorvo::Error(lorvo::err::PathFileAccess,
                               u"The file %1 cannot be written."_s.arg(native(path)));
    } catch (...) {
        QFile::remove(temporaryPath);
        throw;
    }
}

QString Store::displayName()
{
    return folder(m_topId).name;
}

FolderRecord Store::readFolder(sql::Statement& s)
{
    FolderRecord r;
    r.id = s.int64(0);
    r.parent = s.isNull(1) ? 0 : s.int64(1);
    r.name = s.text(2);
    r.defaultItemType = qint32(s.int64(3));
    r.webViewUrl = s.text(4);
    r.webViewOn = s.int64(5) != 0;
    r.allowSubfolders = s.int64(6) != 0;
    r.readOnly = s.int64(7) != 0;
    r.defaultFolderKind = qint32(s.int64(8));
    return r;
}

std::optional<FolderRecord> Store::findFolder(qint64 id)
{
    auto& s = m_db.cached("SELECT id, parent, name, default_item_type, web_view_url, web_view_on,"
                          " allow_subfolders, read_only, default_kind FROM folders WHERE id = ?");
    s.bind(1, id);
    std::optional<FolderRecord> result;
    if (s.next())
        result = readFolder(s);
    s.reset();
    return result;
}

FolderRecord Store::folder(qint64 id)
{
    if (auto found = findFolder(id))
        return *found;
    throw lorvo::Error(errc::NotFound, u"The folder no longer exists: it was deleted or moved."_s);
}

QList<qint64> Store::childFolders(qint64 parent)
{
    auto& s = m_db.cached("SELECT id FROM folders WHERE parent = ? ORDER BY position, id");
    s.bind(1, parent);
    QList<qint64> ids;
    while (s.next())
        ids.append(s.int64(0));
    return ids;
}

std::optional<qint64> Store::childNamed(qint64 parent, const QString& name)
{
    auto& s = m_db.cached(
        "SELECT id FROM folders WHERE parent = ? AND name = ? ORDER BY position, id LIMIT 1");
    s.bind(1, parent).bind(2, name);
    std::optional<qint64> id;
    if (s.next())
        id = s.int64(0);
    s.reset();
    return id;
}

qint64 Store::addFolder(qint64 parent, const FolderRecord& r)
{
    auto& s = m_db.cached(
        "INSERT INTO folders(parent, name, default_item_type, web_view_url, web_view_on,"
        " allow_subfolders, read_only, default_kind, position)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8,"
        " (SELECT IFNULL(MAX(position), 0) + 1 FROM folders WHERE parent = ?1))");
    bindFolderFields(s.bind(1, parent), r).exec();
    return m_db.lastInsertId();
}

void Store::updateFolder(const FolderRecord& r)
{
    auto& s = m_db.cached("UPDATE folders SET name = ?2, default_item_type = ?3,"
                          " web_view_url = ?4, web_view_on = ?5, allow_subfolders = ?6,"
                          " read_only = ?7, default_kind = ?8 WHERE id = ?1");
    bindFolderFields(s.bind(1, r.id), r).exec();
}

void Store::removeFolder(qint64 id)
{
    transaction([&] {
        m_db.exec("CREATE TEMP TABLE IF NOT EXISTS doomed(id INTEGER PRIMARY KEY)");
        m_db.exec("DELETE FROM doomed");
        m_db.cached(
                "INSERT INTO doomed(id) WITH RECURSIVE tree(id) AS"
                " (SELECT ? UNION ALL SELECT f.id FROM folders f JOIN tree t ON f.parent = t.id)"
                " SELECT id FROM tree")
            .bind(1, id)
            .exec();
        m_db.exec("DELETE FROM attachments WHERE item IN"
                  " (SELECT id FROM items WHERE folder IN (SELECT id FROM doomed));"
                  "DELETE FROM fields WHERE item IN"
                  " (SELECT id FROM items WHERE folder IN (SELECT id FROM doomed));"
                  "DELETE FROM items WHERE folder IN (SELECT id FROM doomed);"
                  "DELETE FROM folders WHERE id IN (SELECT id FROM doomed);"
                  "DELETE FROM doomed;");
    });
}

bool Store::isWithin(qint64 folderId, qint64 ancestor)
{
    for (std::optional<FolderRecord> f = findFolder(folderId); f; f = findFolder(f->parent)) {
        if (f->id == ancestor)
            return true;
        if (f->parent == 0)
            break;
    }
    return false;
}

std::optional<qint64> Store::folderOfKind(qint32 kind)
{
    auto& s = m_db.cached("SELECT id FROM folders WHERE default_kind = ? ORDER BY id LIMIT 1");
    s.bind(1, kind);
    std::optional<qint64> id;
    if (s.next())
        id = s.int64(0);
    s.reset();
    return id;
}

QList<qint64> Store::itemIds(qint64 folderId)
{
    auto& s = m_db.cached("SELECT id FROM items WHERE folder = ? ORDER BY position, id");
    s.bind(1, folderId);
    QList<qint64> ids;
    while (s.next())
        ids.append(s.int64(0));
    return ids;
}

namespace {

// An item's row: the columns of its header first, then its three bodies, as far as part asks.
ItemRecord readItem(sql::Statement& s, qint64 id, Store::ItemPart part)
{
    if (!s.next())
        throw lorvo::Error(errc::NotFound,
                           u"The item no longer exists: it was deleted or moved."_s);
    ItemRecord r;
    r.id = id;
    r.messageClass = s.text(0);
    r.subject = s.text(1);
    if (part != Store::ItemPart::Summary) {
        r.recipients = s.text(2);
        r.created = timeFromText(s.text(3));
        r.modified = timeFromText(s.text(4));
        r.source = s.text(5);
        r.sourceKey = s.text(6);
    }
    if (part == Store::ItemPart::Whole) {
        r.htmlBody = s.text(7);
        r.body = s.text(8);
        r.rtfBody = s.blob(9);
    }
    s.reset();
    return r;
}

} // namespace

ItemRecord Store::item(qint64 id, ItemPart part)
{
    const char* sql = nullptr;
    switch (part) {
    case ItemPart::Summary:
        sql = "SELECT message_class, subject FROM items WHERE id = ?";
        break;
    case ItemPart::Header:
        sql = "SELECT message_class, subject, recipients, created, modified, source, source_key"
              " FROM items WHERE id = ?";
        break;
    case ItemPart::Whole:
        sql = "SELECT message_class, subject, recipients, created, modified, source, source_key,"
              " html_body, body, rtf_body FROM items WHERE id = ?";
        break;
    }
    return readItem(m_db.cached(sql).bind(1, id), id, part);
}

qint64 Store::addItem(qint64 folderId, const ItemRecord& r)
{
    auto& s = m_db.cached(
        "INSERT INTO items(folder, message_class, subject, html_body, body, recipients, rtf_body,"
        " created, modified, source, source_key, position)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11,"
        " (SELECT IFNULL(MAX(position), 0) + 1 FROM items WHERE folder = ?1))");
    bindItemFields(s.bind(1, folderId), r).exec();
    return m_db.lastInsertId();
}

void Store::updateItem(const ItemRecord& r)
{
    auto& s = m_db.cached("UPDATE items SET message_class = ?2, subject = ?3, html_body = ?4,"
                          " body = ?5, recipients = ?6, rtf_body = ?7, created = ?8,"
                          " modified = ?9, source = ?10, source_key = ?11 WHERE id = ?1");
    bindItemFields(s.bind(1, r.id), r).exec();
}

std::optional<FieldValue> Store::findField(qint64 itemId, const QString& name)
{
    auto& s = m_db.cached("SELECT type, value FROM fields WHERE item = ? AND folded_name = ?");
    s.bind(1, itemId).bind(2, name.toCaseFolded());
    std::optional<FieldValue> value;
    if (s.next())
        value = readField(s.text(0), s, 1);
    s.reset();
    return value;
}

QList<std::pair<QString, FieldValue>> Store::fields(qint64 itemId)
{
    auto& s = m_db.cached("SELECT name, type, value FROM fields WHERE item = ? ORDER BY position");
    s.bind(1, itemId);
    QList<std::pair<QString, FieldValue>> result;
    while (s.next())
        result.append({s.text(0), readField(s.text(1), s, 2)});
    return result;
}

void Store::setField(qint64 itemId, const QString& name, const FieldValue& value)
{
    auto& s =
        m_db.cached("INSERT INTO fields(item, folded_name, name, type, value, position)"
                    " VALUES (?1, ?2, ?3, ?4, ?5, (SELECT IFNULL(MAX(position), 0) + 1 FROM fields"
                    " WHERE item = ?1))"
                    " ON CONFLICT(item, folded_name) DO UPDATE SET type = excluded.type,"
                    " value = excluded.value");
    s.bind(1, itemId).bind(2, name.toCaseFolded()).bind(3, name).bind(4, typeName(value));
    bindField(s, 5, value);
    s.exec();
}

void Store::removeItem(qint64 id)
{
    transaction([&] {
        clearItemContent(id);
        m_db.cached("DELETE FROM items WHERE id = ?").bind(1, id).exec();
    });
}

void Store::moveItem(qint64 id, qint64 folderId)
{
    m_db.cached("UPDATE items SET folder = ?2, position ="
                " (SELECT IFNULL(MAX(position), 0) + 1 FROM items WHERE folder = ?2) WHERE id = ?1")
        .bind(1, id)
        .bind(2, folderId)
        .exec();
}

QList<SourcedItem> Store::itemsFromSource(qint64 folderId, const QString& source)
{
    auto& s = m_db.cached(
        "WITH RECURSIVE tree(id) AS"
        " (SELECT ?1 UNION ALL SELECT f.id FROM folders f JOIN tree t ON f.parent = t.id)"
        " SELECT i.id, i.folder, i.source_key FROM items i JOIN tree t ON i.folder = t.id"
        " WHERE i.source = ?2 ORDER BY i.folder, i.position, i.id");
    s.bind(1, folderId).bind(2, source);
    QList<SourcedItem> result;
    while (s.next())
        result.append({s.int64(0), s.int64(1), s.text(2)});
    return result;
}

void Store::clearItemContent(qint64 itemId)
{
    m_db.cached("DELETE FROM fields WHERE item = ?").bind(1, itemId).exec();
    m_db.cached("DELETE FROM attachments WHERE item = ?").bind(1, itemId).exec();
}

QList<AttachmentRecord> Store::attachments(qint64 itemId)
{
    auto& s = m_db.cached("SELECT id, display_name, content_id, hidden FROM attachments"
                          " WHERE item = ? ORDER BY position, id");
    s.bind(1, itemId);
    QList<AttachmentRecord> result;
    while (s.next())
        result.append({s.int64(0), s.text(1), s.text(2), s.int64(3) != 0});
    return result;
}

QByteArray Store::attachmentData(qint64 attachment)
{
    auto& s = m_db.cached("SELECT data FROM attachments WHERE id = ?");
    s.bind(1, attachment);
    if (!s.next())
        throw lorvo::Error(errc::NotFound, u"The attachment no longer exists."_s);
    QByteArray data = s.blob(0);
    s.reset();
    return data;
}

qint64 Store::addAttachment(qint64 itemId, const QString& displayName, const QByteArray& data)
{
    AttachmentRecord record;
    record.displayName = displayName;
    return addAttachment(itemId, record, data);
}

qint64 Store::addAttachment(qint64 itemId, const AttachmentRecord& record, const QByteArray& data)
{
    auto& s = m_db.cached("INSERT INTO attachments(item, display_name, data, content_id, hidden,"
                          " position) VALUES (?1, ?2, ?3, ?4, ?5, (SELECT IFNULL(MAX(position), 0)"
                          " + 1 FROM attachments WHERE item = ?1))");
    s.bind(1, itemId)
        .bind(2, record.displayName)
        .bind(3, data)
        .bind(4, record.contentId)
        .bind(5, record.hidden)
        .exec();
    return m_db.lastInsertId();
}

qint64 Store::copyTree(Store& source, qint64 sourceFolder, qint64 targetParent, const QString& name)
{
    qint64 copy = 0;
    transaction([&] {
        FolderRecord record = source.folder(sourceFolder);
        record.name = name;
        // A copy belongs to whoever made it: it is writable and is no mailbox special folder.
        record.readOnly = false;
        record.defaultFolderKind = 0;
        copy = addFolder(targetParent, record);
        for (qint64 itemId : source.itemIds(sourceFolder)) {
            const qint64 newItem = addItem(copy, source.item(itemId));
            for (const auto& [fieldName, value] : source.fields(itemId))
                setField(newItem, fieldName, value);
            for (const AttachmentRecord& a : source.attachments(itemId))
                addAttachment(newItem, a, source.attachmentData(a.id));
        }
        for (qint64 child : source.childFolders(sourceFolder))
            copyTree(source, child, copy, source.folder(child).name);
    });
    return copy;
}

} // namespace localoutlook
