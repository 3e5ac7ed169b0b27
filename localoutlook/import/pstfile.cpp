#include "localoutlook/import/pstfile.h"

#include "localoutlook/import/handle.h"
#include "shared/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QtEndian>
#include <libpff.h>

using namespace Qt::StringLiterals;

namespace localoutlook::import {

namespace {

using lorvo::Error;

constexpr int kMaxDepth = 64;  // folders inside folders
constexpr int kMaxNesting = 8; // messages attached to messages
constexpr quint16 kIpmSubtreeEntryId = 0x35E0;
constexpr quint16 kRecordKey = 0x0FF9;

using PffError = LibraryError<libpff_error_t, libpff_error_free>;
using Item = LibraryHandle<libpff_item_t, libpff_item_free>;
using RecordSet = LibraryHandle<libpff_record_set_t, libpff_record_set_free>;
using RecordEntry = LibraryHandle<libpff_record_entry_t, libpff_record_entry_free>;

Error damaged(const QString& what)
{
    return Error(lorvo::err::InvalidCall, u"the message is damaged: %1"_s.arg(what));
}

QString folderName(const Item& folder)
{
    PffError error;
    size_t size = 0;
    if (libpff_folder_get_utf16_name_size(folder.get(), &size, error.out()) != 1 || size == 0 ||
        size > 4096)
        return {};
    QList<uint16_t> name(qsizetype(size), 0);
    if (libpff_folder_get_utf16_name(folder.get(), name.data(), size, error.out()) != 1)
        return {};
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(name.constData()),
                              qsizetype(size) - 1);
}

} // namespace

bool hasPstSignature(QByteArrayView head)
{
    return head.startsWith("!BDN");
}

struct PstFile::Impl
{
    QString path;
    qint64 size = 0;
    libpff_file_t* file = nullptr;
    bool open = false;
    QByteArray recordKey; // the store's own identity, part of its entry IDs
    Item top;
    QString storeName;
    std::vector<Item> folders; // of folders(), in the same order

    // Also when the constructor of PstFile fails: the items first, then the file.
    ~Impl()
    {
        folders.clear();
        top = Item();
        if (open)
            libpff_file_close(file, nullptr);
        libpff_file_free(&file, nullptr);
    }

    Error unreadable() const
    {
        return Error(lorvo::err::InvalidCall,
                     u"The file %1 is damaged and cannot be read as an Outlook data file."_s.arg(
                         QDir::toNativeSeparators(path)));
    }

    // The first record set of an item as a property bag.
    PropertyBag properties(const Item& item) const
    {
        PropertyBag bag;
        PffError error;
        int sets = 0;
        if (libpff_item_get_number_of_record_sets(item.get(), &sets, error.out()) != 1)
            throw damaged(u"its properties cannot be read"_s);
        if (sets < 1)
            return bag;
        RecordSet set;
        if (libpff_item_get_record_set_by_index(item.get(), 0, set.out(), error.out()) != 1)
            throw damaged(u"its properties cannot be read"_s);
        int entries = 0;
        if (libpff_record_set_get_number_of_entries(set.get(), &entries, error.out()) != 1)
            throw damaged(u"its properties cannot be read"_s);
        for (int i = 0; i < entries; ++i) {
            RecordEntry entry;
            uint32_t id = 0;
            uint32_t type = 0;
            size_t dataSize = 0;
            if (libpff_record_set_get_entry_by_index(set.get(), i, entry.out(), error.out()) != 1 ||
                libpff_record_entry_get_entry_type(entry.get(), &id, error.out()) != 1 ||
                libpff_record_entry_get_value_type(entry.get(), &type, error.out()) != 1)
                throw damaged(u"a property cannot be read"_s);
            if (id > 0xFFFF || type > 0xFFFF || (type & PtMultipleFlag))
                continue;
            if (libpff_record_entry_get_data_size(entry.get(), &dataSize, error.out()) != 1)
                throw damaged(
                    u"property 0x%1 cannot be read"_s.arg(qulonglong(id), 4, 16, QChar(u'0')));
            if (qint64(dataSize) > size)
                throw damaged(u"property 0x%1 claims %2 bytes in a file of %3"_s
                                  .arg(qulonglong(id), 4, 16, QChar(u'0'))
                                  .arg(dataSize)
                                  .arg(size));
            Property p{quint16(type), QByteArray(qsizetype(dataSize), Qt::Uninitialized)};
            if (dataSize > 0 &&
                libpff_record_entry_get_data(entry.get(), reinterpret_cast<uint8_t*>(p.data.data()),
                                             dataSize, error.out()) != 1)
                throw damaged(
                    u"property 0x%1 cannot be read"_s.arg(qulonglong(id), 4, 16, QChar(u'0')));
            if (p.type == PtUnicode && p.data.size() % 2 != 0)
                p.data.chop(1);
            bag.set(quint16(id), std::move(p));
            if (id >= pid::FirstNamed)
                nameEntry(entry, quint16(id), bag);
        }
        return bag;
    }

    void nameEntry(const RecordEntry& entry, quint16 id, PropertyBag& bag) const
    {
        PffError error;
        libpff_name_to_id_map_entry_t* map = nullptr; // owned by the file
        if (libpff_record_entry_get_name_to_id_map_entry(entry.get(), &map, error.out()) != 1 ||
            !map)
            return;
        uint8_t kind = 0;
        uint8_t guid[16];
        if (libpff_name_to_id_map_entry_get_type(map, &kind, error.out()) != 1 ||
            libpff_name_to_id_map_entry_get_guid(map, guid, sizeof guid, error.out()) != 1)
            return;
        PropertyName name;
        name.set = guidFromWindows(reinterpret_cast<const char*>(guid));
        if (kind == LIBPFF_NAME_TO_ID_MAP_ENTRY_TYPE_STRING) {
            size_t length = 0;
            if (libpff_name_to_id_map_entry_get_utf16_string_size(map, &length, error.out()) != 1 ||
                length == 0 || length > 4096)
                return;
            QList<uint16_t> text(qsizetype(length), 0);
            if (libpff_name_to_id_map_entry_get_utf16_string(map, text.data(), length,
                                                             error.out()) != 1)
                return;
            name.name = QString::fromUtf16(reinterpret_cast<const char16_t*>(text.constData()),
                                           qsizetype(length) - 1);
        } else {
            if (libpff_name_to_id_map_entry_get_number(map, &name.number, error.out()) != 1)
                return;
        }
        bag.setName(id, std::move(name));
    }

    RawMessage read(const Item& message, int depth) const
    {
        RawMessage raw;
        raw.properties = properties(message);
        PffError error;
        int count = 0;
        if (libpff_message_get_number_of_attachments(message.get(), &count, error.out()) != 1)
            throw damaged(u"its attachments cannot be read"_s);
        for (int i = 0; i < count; ++i) {
            Item attachment;
            if (libpff_message_get_attachment(message.get(), i, attachment.out(), error.out()) != 1)
                throw damaged(u"attachment %1 cannot be read"_s.arg(i + 1));
            RawAttachment a;
            a.properties = properties(attachment);
            int type = 0;
            if (libpff_attachment_get_type(attachment.get(), &type, error.out()) != 1)
                throw damaged(u"attachment %1 cannot be read"_s.arg(i + 1));
            if (type == LIBPFF_ATTACHMENT_TYPE_DATA) {
                size64_t dataSize = 0;
                if (libpff_attachment_get_data_size(attachment.get(), &dataSize, error.out()) != 1)
                    throw damaged(u"attachment %1 cannot be read"_s.arg(i + 1));
                if (qint64(dataSize) > size)
                    throw damaged(u"attachment %1 claims %2 bytes in a file of %3"_s.arg(i + 1)
                                      .arg(dataSize)
                                      .arg(size));
                a.data = QByteArray(qsizetype(dataSize), Qt::Uninitialized);
                if (dataSize > 0 &&
                    (libpff_attachment_data_seek_offset(attachment.get(), 0, SEEK_SET,
                                                        error.out()) != 0 ||
                     libpff_attachment_data_read_buffer(
                         attachment.get(), reinterpret_cast<uint8_t*>(a.data.data()),
                         size_t(dataSize), error.out()) != ssize_t(dataSize)))
                    throw damaged(u"attachment %1 is cut off"_s.arg(i + 1));
            } else if (type == LIBPFF_ATTACHMENT_TYPE_ITEM && depth < kMaxNesting) {
                Item inner;
                if (libpff_attachment_get_item(attachment.get(), inner.out(), error.out()) != 1)
                    throw damaged(u"the message attached as %1 cannot be read"_s.arg(i + 1));
                a.embedded = std::make_unique<RawMessage>(read(inner, depth + 1));
            }
            raw.attachments.push_back(std::move(a));
        }
        return raw;
    }

    Item itemById(uint32_t id) const
    {
        Item item;
        PffError error;
        libpff_file_get_item_by_identifier(file, id, item.out(), error.out());
        return item;
    }

    Item subFolder(const Item& folder, int index) const
    {
        Item child;
        PffError error;
        if (libpff_folder_get_sub_folder(folder.get(), index, child.out(), error.out()) != 1)
            throw unreadable();
        return child;
    }

    int count(const Item& folder, bool messages) const
    {
        PffError error;
        int n = 0;
        const int rc = messages
                           ? libpff_folder_get_number_of_sub_messages(folder.get(), &n, error.out())
                           : libpff_folder_get_number_of_sub_folders(folder.get(), &n, error.out());
        if (rc != 1)
            throw unreadable();
        return n;
    }

    void collect(Item folder, const QStringList& path, QList<Folder>& out, QSet<uint32_t>& seen)
    {
        uint32_t id = 0;
        PffError error;
        if (libpff_item_get_identifier(folder.get(), &id, error.out()) != 1 || seen.contains(id) ||
            path.size() > kMaxDepth)
            throw unreadable();
        seen.insert(id);
        out.append({path, count(folder, true)});
        const int children = count(folder, false);
        folders.push_back(std::move(folder));
        const Item& self = folders.back();
        std::vector<Item> subs;
        for (int i = 0; i < children; ++i)
            subs.push_back(subFolder(self, i));
        for (Item& sub : subs) {
            const QString name = folderName(sub);
            collect(std::move(sub), path + QStringList{name}, out, seen);
        }
    }
};

PstFile::PstFile(const QString& path) : d(new Impl)
{
    d->path = path;
    d->size = QFileInfo(path).size();
    // The header records the file's size: a shorter file was cut off, and libpff would read
    // what is left of it as if nothing were missing.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(lorvo::err::PermissionDenied,
                    u"The file %1 cannot be read: %2."_s.arg(QDir::toNativeSeparators(path),
                                                             file.errorString()));
    const QByteArray header = file.read(0xC0);
    if (header.size() < 0xC0)
        throw d->unreadable();
    const quint16 version = qFromLittleEndian<quint16>(header.constData() + 10);
    const quint64 end = version >= 23 ? qFromLittleEndian<quint64>(header.constData() + 0xB8)
                                      : qFromLittleEndian<quint32>(header.constData() + 0xA8);
    if (quint64(d->size) < end)
        throw Error(
            lorvo::err::InvalidCall,
            u"The file %1 is cut off: it holds %2 bytes of %3."_s.arg(
                QDir::toNativeSeparators(path), QString::number(d->size), QString::number(end)));
    file.close();
    PffError error;
    if (libpff_file_initialize(&d->file, error.out()) != 1)
        throw Error(lorvo::err::CannotCreateObject, u"The file reader cannot be started."_s);
    const QByteArray name = QFile::encodeName(path);
    if (libpff_file_open(d->file, name.constData(), libpff_get_access_flags_read(), error.out()) !=
        1)
        throw d->unreadable();
    d->open = true;

    // The top of the personal folders: the message store names it; else the root folder.
    Item store;
    if (libpff_file_get_message_store(d->file, store.out(), error.out()) == 1 && store) {
        const PropertyBag bag = d->properties(store);
        d->recordKey = bag.binary(kRecordKey);
        const QByteArray subtree = bag.binary(kIpmSubtreeEntryId);
        if (subtree.size() >= 24)
            d->top = d->itemById(qFromLittleEndian<quint32>(subtree.constData() + 20));
    }
    if (!d->top && libpff_file_get_root_folder(d->file, d->top.out(), error.out()) != 1)
        throw d->unreadable();
}

PstFile::~PstFile() = default;

QString PstFile::topName() const
{
    return folderName(d->top);
}

QList<PstFile::Folder> PstFile::folders(const QString& from)
{
    d->folders.clear();
    QList<Folder> result;
    QSet<uint32_t> seen;
    // Items are owned per handle: the top is fetched again so that folders() owns what it lists.
    uint32_t topId = 0;
    PffError error;
    if (libpff_item_get_identifier(d->top.get(), &topId, error.out()) != 1)
        throw d->unreadable();
    Item folder = d->itemById(topId);
    if (!folder)
        throw d->unreadable();
    if (from.isEmpty()) {
        d->collect(std::move(folder), {}, result, seen);
        return result;
    }
    const QStringList names = from.split(u'\\', Qt::SkipEmptyParts);
    const QString top = topName();
    const auto missing = [&] {
        return Error(lorvo::err::PathNotFound,
                     u"The folder %1 is not in %2 (its folders start with \"%3\")."_s.arg(
                         from, QDir::toNativeSeparators(d->path), top));
    };
    if (names.isEmpty() || names.first() != top)
        throw missing();
    for (qsizetype i = 1; i < names.size(); ++i) {
        const int children = d->count(folder, false);
        Item next;
        for (int c = 0; c < children && !next; ++c) {
            Item sub = d->subFolder(folder, c);
            if (folderName(sub) == names[i])
                next = std::move(sub);
        }
        if (!next)
            throw missing();
        folder = std::move(next);
    }
    result.append({{}, d->count(folder, true)});
    d->folders.push_back(std::move(folder));
    return result;
}

RawMessage PstFile::message(int folder, int index)
{
    Item message;
    PffError error;
    if (libpff_folder_get_sub_message(d->folders.at(size_t(folder)).get(), index, message.out(),
                                      error.out()) != 1)
        throw damaged(u"it cannot be found in its folder"_s);
    return d->read(message, 0);
}

QString PstFile::entryKey(int folder, int index)
{
    Item message;
    PffError error;
    uint32_t id = 0;
    if (libpff_folder_get_sub_message(d->folders.at(size_t(folder)).get(), index, message.out(),
                                      error.out()) != 1 ||
        libpff_item_get_identifier(message.get(), &id, error.out()) != 1)
        return {};
    return QString::fromLatin1(d->recordKey.toHex().toUpper()) +
           QString::number(id, 16).rightJustified(8, u'0').toUpper();
}

} // namespace localoutlook::import
