#include "localoutlook/manifest.h"

#include "localoutlook/errors.h"
#include "localoutlook/store.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

using namespace Qt::StringLiterals;

namespace localoutlook {

namespace {

using lorvo::Error;

constexpr qint32 kBadManifest = lorvo::err::InvalidCall;

Error bad(const QString& where, const QString& what)
{
    return Error(kBadManifest, u"%1: %2"_s.arg(where, what));
}

// Reads one JSON object of the manifest, refusing keys it does not know.
class Reader
{
public:
    Reader(const QJsonValue& value, QString where, const QStringList& allowed)
        : m_where(std::move(where))
    {
        if (!value.isObject())
            throw bad(m_where, u"an object is expected."_s);
        m_object = value.toObject();
        for (auto it = m_object.begin(); it != m_object.end(); ++it) {
            if (!allowed.contains(it.key()))
                throw bad(m_where, u"unknown key \"%1\"."_s.arg(it.key()));
        }
    }

    const QString& where() const { return m_where; }
    bool has(const QString& key) const { return m_object.contains(key); }
    QJsonValue value(const QString& key) const { return m_object.value(key); }

    QString text(const QString& key, const QString& fallback = {}, bool required = false) const
    {
        const QJsonValue v = m_object.value(key);
        if (v.isUndefined()) {
            if (required)
                throw bad(m_where, u"the key \"%1\" is missing."_s.arg(key));
            return fallback;
        }
        if (!v.isString())
            throw bad(m_where, u"\"%1\" must be a text."_s.arg(key));
        return v.toString();
    }

    bool flag(const QString& key, bool fallback) const
    {
        const QJsonValue v = m_object.value(key);
        if (v.isUndefined())
            return fallback;
        if (!v.isBool())
            throw bad(m_where, u"\"%1\" must be true or false."_s.arg(key));
        return v.toBool();
    }

    qint32 integer(const QString& key, qint32 fallback) const
    {
        const QJsonValue v = m_object.value(key);
        if (v.isUndefined())
            return fallback;
        const double d = v.toDouble(std::nan(""));
        if (!v.isDouble() || d != std::trunc(d) || d < INT_MIN || d > INT_MAX)
            throw bad(m_where, u"\"%1\" must be a whole number."_s.arg(key));
        return qint32(d);
    }

    // A point in time in ISO 8601 ("2026-01-31T12:00:00Z"); invalid when the key is absent.
    QDateTime time(const QString& key) const
    {
        if (!has(key))
            return {};
        const QDateTime t = QDateTime::fromString(text(key), Qt::ISODateWithMs);
        if (!t.isValid())
            throw bad(m_where, u"\"%1\" must be a time such as 2026-01-31T12:00:00Z."_s.arg(key));
        return t;
    }

    QByteArray base64(const QString& key) const
    {
        const auto decoded = QByteArray::fromBase64Encoding(
            text(key).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            throw bad(m_where, u"\"%1\" is not valid base64."_s.arg(key));
        return *decoded;
    }

    QJsonArray array(const QString& key) const
    {
        const QJsonValue v = m_object.value(key);
        if (v.isUndefined())
            return {};
        if (!v.isArray())
            throw bad(m_where, u"\"%1\" must be a list."_s.arg(key));
        return v.toArray();
    }

private:
    QString m_where;
    QJsonObject m_object;
};

class Builder
{
public:
    Builder(Store& store, QString baseDir) : m_store(store), m_base(std::move(baseDir)) {}

    void folders(const QJsonArray& list, qint64 parent, const QString& where)
    {
        for (qsizetype i = 0; i < list.size(); ++i)
            folder(list[i], parent, u"%1.folders[%2]"_s.arg(where).arg(i));
    }

private:
    void folder(const QJsonValue& value, qint64 parent, const QString& where)
    {
        const Reader r(value, where,
                       {u"name"_s, u"defaultItemType"_s, u"webViewURL"_s, u"webViewOn"_s,
                        u"allowSubfolders"_s, u"readOnly"_s, u"items"_s, u"folders"_s});
        FolderRecord f;
        f.name = r.text(u"name"_s, {}, true);
        if (f.name.isEmpty())
            throw bad(where, u"\"name\" must not be empty."_s);
        if (m_store.childNamed(parent, f.name))
            throw bad(where, u"a folder named \"%1\" is already there."_s.arg(f.name));
        f.defaultItemType = r.integer(u"defaultItemType"_s, 0);
        if (f.defaultItemType < 0 || f.defaultItemType > 6)
            throw bad(where, u"\"defaultItemType\" must be between 0 and 6."_s);
        f.webViewUrl = r.text(u"webViewURL"_s);
        f.webViewOn = r.flag(u"webViewOn"_s, false);
        f.allowSubfolders = r.flag(u"allowSubfolders"_s, true);
        f.readOnly = r.flag(u"readOnly"_s, false);
        const qint64 id = m_store.addFolder(parent, f);
        const QJsonArray items = r.array(u"items"_s);
        for (qsizetype i = 0; i < items.size(); ++i)
            item(items[i], id, u"%1.items[%2]"_s.arg(where).arg(i));
        folders(r.array(u"folders"_s), id, where);
    }

    void item(const QJsonValue& value, qint64 folder, const QString& where)
    {
        const Reader r(value, where,
                       {u"messageClass"_s, u"subject"_s, u"htmlBody"_s, u"htmlBodyFile"_s,
                        u"body"_s, u"rtfBody"_s, u"rtfBodyFile"_s, u"created"_s, u"modified"_s,
                        u"source"_s, u"sourceKey"_s, u"userProperties"_s, u"attachments"_s});
        ItemRecord rec;
        rec.messageClass = r.text(u"messageClass"_s, u"IPM.Post"_s);
        rec.subject = r.text(u"subject"_s);
        rec.body = r.text(u"body"_s);
        if (r.has(u"htmlBody"_s) && r.has(u"htmlBodyFile"_s))
            throw bad(where, u"give \"htmlBody\" or \"htmlBodyFile\", not both."_s);
        if (r.has(u"htmlBodyFile"_s))
            rec.htmlBody = QString::fromUtf8(readFile(r.text(u"htmlBodyFile"_s), where));
        else
            rec.htmlBody = r.text(u"htmlBody"_s);
        if (r.has(u"rtfBody"_s) && r.has(u"rtfBodyFile"_s))
            throw bad(where, u"give \"rtfBody\" or \"rtfBodyFile\", not both."_s);
        if (r.has(u"rtfBodyFile"_s))
            rec.rtfBody = readFile(r.text(u"rtfBodyFile"_s), where);
        else if (r.has(u"rtfBody"_s))
            rec.rtfBody = r.base64(u"rtfBody"_s);
        rec.created = r.time(u"created"_s);
        rec.modified = r.time(u"modified"_s);
        rec.source = r.text(u"source"_s);
        rec.sourceKey = r.text(u"sourceKey"_s);
        const qint64 id = m_store.addItem(folder, rec);

        const QJsonValue props = r.value(u"userProperties"_s);
        if (!props.isUndefined() && !props.isObject())
            throw bad(where, u"\"userProperties\" must be an object."_s);
        const QJsonObject fields = props.toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it) {
            const QString at = u"%1.userProperties.%2"_s.arg(where, it.key());
            if (it.key().isEmpty())
                throw bad(at, u"a field needs a name."_s);
            m_store.setField(id, it.key(), fieldValue(it.value(), at));
        }

        const QJsonArray attachments = r.array(u"attachments"_s);
        for (qsizetype i = 0; i < attachments.size(); ++i) {
            const QString at = u"%1.attachments[%2]"_s.arg(where).arg(i);
            const Reader a(attachments[i], at,
                           {u"displayName"_s, u"file"_s, u"data"_s, u"contentId"_s, u"hidden"_s});
            if (a.has(u"file"_s) == a.has(u"data"_s))
                throw bad(at, u"give exactly one of \"file\" and \"data\"."_s);
            QByteArray data;
            AttachmentRecord attachment;
            attachment.displayName = a.text(u"displayName"_s);
            if (a.has(u"file"_s)) {
                const QString file = a.text(u"file"_s);
                data = readFile(file, at);
                if (attachment.displayName.isEmpty())
                    attachment.displayName = QFileInfo(file).fileName();
            } else {
                data = a.base64(u"data"_s);
            }
            if (attachment.displayName.isEmpty())
                throw bad(at, u"the attachment needs a \"displayName\"."_s);
            attachment.contentId = a.text(u"contentId"_s);
            attachment.hidden = a.flag(u"hidden"_s, false);
            m_store.addAttachment(id, attachment, data);
        }
    }

    static FieldValue fieldValue(const QJsonValue& v, const QString& where)
    {
        switch (v.type()) {
        case QJsonValue::String:
            return v.toString();
        case QJsonValue::Bool:
            return v.toBool();
        case QJsonValue::Double: {
            const QVariant number = v.toVariant();
            if (number.typeId() == QMetaType::LongLong)
                return number;
            return v.toDouble();
        }
        case QJsonValue::Object: {
            const QJsonObject o = v.toObject();
            if (o.size() == 1 && o.contains("date"_L1)) {
                const QDateTime date =
                    QDateTime::fromString(o.value("date"_L1).toString(), Qt::ISODate);
                if (!date.isValid())
                    throw bad(where, u"\"date\" must be a date such as 2026-01-31T12:00:00."_s);
                return date;
            }
            if (o.size() == 1 && o.contains("double"_L1) && o.value("double"_L1).isDouble())
                return o.value("double"_L1).toDouble();
            throw bad(where,
                      u"an object value must be {\"date\": TEXT} or {\"double\": NUMBER}."_s);
        }
        default:
            throw bad(where, u"a field value must be a text, a number, true, false or a date."_s);
        }
    }

    QByteArray readFile(const QString& name, const QString& where) const
    {
        QFile file(QDir(m_base).absoluteFilePath(name));
        if (!file.exists())
            throw Error(lorvo::err::FileNotFound,
                        u"%1: the file %2 could not be found."_s.arg(
                            where, QDir::toNativeSeparators(file.fileName())));
        if (!file.open(QIODevice::ReadOnly))
            throw Error(lorvo::err::PermissionDenied,
                        u"%1: the file %2 cannot be read: %3."_s.arg(
                            where, QDir::toNativeSeparators(file.fileName()), file.errorString()));
        return file.readAll();
    }

    Store& m_store;
    QString m_base;
};

QJsonValue dumpValue(const FieldValue& value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        return QJsonObject{{"date"_L1, value.toDateTime().toString(Qt::ISODate)}};
    case QMetaType::Bool:
        return value.toBool();
    case QMetaType::LongLong:
        return value.toLongLong();
    case QMetaType::Double: {
        // A whole double would read back as an integer: it keeps its type in the object form.
        const double d = value.toDouble();
        if (d == std::trunc(d))
            return QJsonObject{{"double"_L1, d}};
        return d;
    }
    default:
        return value.toString();
    }
}

QJsonObject dumpFolder(Store& store, qint64 id)
{
    const FolderRecord f = store.folder(id);
    QJsonObject o;
    o.insert("name"_L1, f.name);
    o.insert("defaultItemType"_L1, f.defaultItemType);
    if (!f.webViewUrl.isEmpty())
        o.insert("webViewURL"_L1, f.webViewUrl);
    if (f.webViewOn)
        o.insert("webViewOn"_L1, true);
    if (!f.allowSubfolders)
        o.insert("allowSubfolders"_L1, false);
    if (f.readOnly)
        o.insert("readOnly"_L1, true);
    QJsonArray items;
    for (qint64 itemId : store.itemIds(id)) {
        const ItemRecord r = store.item(itemId);
        QJsonObject item{{"messageClass"_L1, r.messageClass}, {"subject"_L1, r.subject}};
        if (!r.htmlBody.isEmpty())
            item.insert("htmlBody"_L1, r.htmlBody);
        if (!r.body.isEmpty())
            item.insert("body"_L1, r.body);
        if (!r.rtfBody.isEmpty())
            item.insert("rtfBody"_L1, QString::fromLatin1(r.rtfBody.toBase64()));
        if (r.created.isValid())
            item.insert("created"_L1, r.created.toUTC().toString(Qt::ISODateWithMs));
        if (r.modified.isValid())
            item.insert("modified"_L1, r.modified.toUTC().toString(Qt::ISODateWithMs));
        if (!r.source.isEmpty())
            item.insert("source"_L1, r.source);
        if (!r.sourceKey.isEmpty())
            item.insert("sourceKey"_L1, r.sourceKey);
        QJsonObject fields;
        for (const auto& [name, value] : store.fields(itemId))
            fields.insert(name, dumpValue(value));
        if (!fields.isEmpty())
            item.insert("userProperties"_L1, fields);
        QJsonArray attachments;
        for (const AttachmentRecord& a : store.attachments(itemId)) {
            QJsonObject attachment{
                {"displayName"_L1, a.displayName},
                {"data"_L1, QString::fromLatin1(store.attachmentData(a.id).toBase64())}};
            if (!a.contentId.isEmpty())
                attachment.insert("contentId"_L1, a.contentId);
            if (a.hidden)
                attachment.insert("hidden"_L1, true);
            attachments.append(attachment);
        }
        if (!attachments.isEmpty())
            item.insert("attachments"_L1, attachments);
        items.append(item);
    }
    if (!items.isEmpty())
        o.insert("items"_L1, items);
    QJsonArray children;
    for (qint64 child : store.childFolders(id))
        children.append(dumpFolder(store, child));
    if (!children.isEmpty())
        o.insert("folders"_L1, children);
    return o;
}

} // namespace

void buildStore(const QJsonObject& manifest, const QString& baseDir, const QString& storePath)
{
    const Reader top(manifest, u"manifest"_s,
                     {u"displayName"_s, u"allowSubfolders"_s, u"readOnly"_s, u"folders"_s});
    const QString name = top.text(u"displayName"_s, {}, true);
    if (name.isEmpty())
        throw bad(top.where(), u"\"displayName\" must not be empty."_s);
    const bool allowSubfolders = top.flag(u"allowSubfolders"_s, true);
    const bool readOnly = top.flag(u"readOnly"_s, false);
    const QJsonArray folders = top.array(u"folders"_s);
    Store::build(storePath, name, [&](Store& store) {
        Builder(store, baseDir).folders(folders, store.topFolderId(), top.where());
        FolderRecord root = store.folder(store.topFolderId());
        root.allowSubfolders = allowSubfolders;
        root.readOnly = readOnly;
        store.updateFolder(root);
    });
}

void buildStoreFromFile(const QString& manifestPath, const QString& storePath)
{
    QFile file(manifestPath);
    const QString shown = QDir::toNativeSeparators(manifestPath);
    if (!file.exists())
        throw Error(lorvo::err::FileNotFound, u"The manifest %1 could not be found."_s.arg(shown));
    if (!file.open(QIODevice::ReadOnly))
        throw Error(lorvo::err::PermissionDenied,
                    u"The manifest %1 cannot be read: %2."_s.arg(shown, file.errorString()));
    const QByteArray bytes = file.readAll();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        const QByteArray before = bytes.left(error.offset);
        const qsizetype line = before.count('\n') + 1;
        throw Error(kBadManifest, u"The manifest %1 has a syntax error at line %2: %3."_s.arg(
                                      shown, QString::number(line), error.errorString()));
    }
    if (!doc.isObject())
        throw Error(kBadManifest, u"The manifest %1 must hold one JSON object."_s.arg(shown));
    try {
        buildStore(doc.object(), QFileInfo(manifestPath).absolutePath(), storePath);
    } catch (const Error& e) {
        if (e.number() == kBadManifest)
            throw Error(kBadManifest,
                        u"The manifest %1 is wrong at %2"_s.arg(shown, e.description()));
        throw;
    }
}

QJsonObject dumpStore(const QString& storePath)
{
    auto store = Store::open(storePath);
    const QJsonObject top = dumpFolder(*store, store->topFolderId());
    QJsonObject o{{"displayName"_L1, top.value("name"_L1)}};
    if (top.contains("allowSubfolders"_L1))
        o.insert("allowSubfolders"_L1, false);
    if (top.contains("readOnly"_L1))
        o.insert("readOnly"_L1, true);
    o.insert("folders"_L1, top.value("folders"_L1).toArray());
    return o;
}

} // namespace localoutlook
