#include "localoutlook/import/msgfile.h"

#include "localoutlook/import/handle.h"
#include "shared/error.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <libolecf.h>

using namespace Qt::StringLiterals;

namespace localoutlook::import {

namespace {

using lorvo::Error;

constexpr int kMaxNesting = 8;

// Sizes of the header before the property entries of a property stream.
constexpr qsizetype kTopHeader = 32;
constexpr qsizetype kEmbeddedHeader = 24;
constexpr qsizetype kAttachmentHeader = 8;
constexpr qsizetype kEntrySize = 16;

const QUuid kPsMapi{0x00020328, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

using OleError = LibraryError<libolecf_error_t, libolecf_error_free>;
using OleItem = LibraryHandle<libolecf_item_t, libolecf_item_free>;

class OleFile
{
public:
    OleFile(const QString& path) : m_path(path)
    {
        OleError error;
        if (libolecf_file_initialize(&m_file.file, error.out()) != 1)
            throw Error(lorvo::err::CannotCreateObject, u"The file reader cannot be started."_s);
        m_size = QFileInfo(path).size();
        const QByteArray name = QFile::encodeName(path);
        if (libolecf_file_open(m_file.file, name.constData(), libolecf_get_access_flags_read(),
                               error.out()) != 1)
            throw damaged(u"it is no readable compound file"_s);
        m_file.open = true;
    }
    OleFile(const OleFile&) = delete;
    OleFile& operator=(const OleFile&) = delete;
    Error damaged(const QString& why) const
    {
        return Error(lorvo::err::InvalidCall, u"the message is damaged: %1"_s.arg(why));
    }

    OleItem root() const
    {
        OleItem item;
        OleError error;
        if (libolecf_file_get_root_item(m_file.file, item.out(), error.out()) != 1)
            throw damaged(u"its root storage cannot be read"_s);
        return item;
    }

    // The child of that name, or an empty handle.
    OleItem child(const OleItem& parent, const QByteArray& name) const
    {
        OleItem item;
        OleError error;
        const int rc = libolecf_item_get_sub_item_by_utf8_name(
            parent.get(), reinterpret_cast<const uint8_t*>(name.constData()), size_t(name.size()),
            item.out(), error.out());
        if (rc == -1)
            throw damaged(u"the entry %1 cannot be read"_s.arg(QString::fromLatin1(name)));
        return item;
    }

    std::vector<std::pair<QString, OleItem>> children(const OleItem& parent) const
    {
        OleError error;
        int count = 0;
        if (libolecf_item_get_number_of_sub_items(parent.get(), &count, error.out()) != 1)
            throw damaged(u"a storage cannot be listed"_s);
        std::vector<std::pair<QString, OleItem>> result;
        for (int i = 0; i < count; ++i) {
            OleItem item;
            if (libolecf_item_get_sub_item(parent.get(), i, item.out(), error.out()) != 1)
                throw damaged(u"a storage cannot be listed"_s);
            size_t size = 0;
            if (libolecf_item_get_utf8_name_size(item.get(), &size, error.out()) != 1 ||
                size > 1024)
                throw damaged(u"an entry has no readable name"_s);
            QByteArray name(qsizetype(size), '\0');
            if (size > 0 &&
                libolecf_item_get_utf8_name(item.get(), reinterpret_cast<uint8_t*>(name.data()),
                                            size, error.out()) != 1)
                throw damaged(u"an entry has no readable name"_s);
            result.emplace_back(QString::fromUtf8(name.constData()), std::move(item));
        }
        return result;
    }

    bool isStorage(const OleItem& item) const
    {
        uint8_t type = 0;
        OleError error;
        if (libolecf_item_get_type(item.get(), &type, error.out()) != 1)
            throw damaged(u"an entry cannot be read"_s);
        return type == LIBOLECF_ITEM_TYPE_STORAGE;
    }

    // A whole stream; its size is checked against the file before anything is allocated.
    QByteArray read(const OleItem& stream, const QString& what) const
    {
        OleError error;
        uint32_t size = 0;
        if (libolecf_item_get_size(stream.get(), &size, error.out()) != 1)
            throw damaged(u"the size of %1 cannot be read"_s.arg(what));
        if (qint64(size) > m_size)
            throw damaged(u"%1 claims %2 bytes in a file of %3"_s.arg(what).arg(size).arg(m_size));
        QByteArray bytes(qsizetype(size), Qt::Uninitialized);
        if (size == 0)
            return bytes;
        if (libolecf_stream_seek_offset(stream.get(), 0, SEEK_SET, error.out()) != 0)
            throw damaged(u"%1 cannot be read"_s.arg(what));
        const ssize_t got = libolecf_stream_read_buffer(
            stream.get(), reinterpret_cast<uint8_t*>(bytes.data()), size, error.out());
        if (got != ssize_t(size))
            throw damaged(u"%1 is cut off"_s.arg(what));
        return bytes;
    }

private:
    QString m_path;
    // Closed and freed also when the constructor fails.
    struct Opened
    {
        libolecf_file_t* file = nullptr;
        bool open = false;
        ~Opened()
        {
            if (open)
                libolecf_file_close(file, nullptr);
            libolecf_file_free(&file, nullptr);
        }
    } m_file;
    qint64 m_size = 0;
};

bool isFixedSize(quint16 type)
{
    switch (type) {
    case PtInt16:
    case PtInt32:
    case PtFloat:
    case PtDouble:
    case PtCurrency:
    case PtAppTime:
    case PtError:
    case PtBoolean:
    case PtInt64:
    case PtSysTime:
        return true;
    default:
        return false;
    }
}

QByteArray streamName(quint16 id, quint16 type)
{
    return "__substg1.0_" + QByteArray::number(id, 16).rightJustified(4, '0').toUpper() +
           QByteArray::number(type, 16).rightJustified(4, '0').toUpper();
}

// The names of the named properties of a file, by property ID.
using NameMap = QHash<quint16, PropertyName>;

NameMap readNames(const OleFile& file, const OleItem& root)
{
    NameMap names;
    const OleItem storage = file.child(root, "__nameid_version1.0");
    if (!storage)
        return names;
    const auto stream = [&](const QByteArray& name) {
        const OleItem item = file.child(storage, name);
        return item ? file.read(item, u"the named-property map"_s) : QByteArray();
    };
    const QByteArray guids = stream("__substg1.0_00020102");
    const QByteArray entries = stream("__substg1.0_00030102");
    const QByteArray strings = stream("__substg1.0_00040102");
    if (entries.size() % 8 != 0 || guids.size() % 16 != 0)
        throw file.damaged(u"its named-property map has a wrong size"_s);
    for (qsizetype at = 0; at < entries.size(); at += 8) {
        const quint32 identifier = qFromLittleEndian<quint32>(entries.constData() + at);
        const quint32 indexAndKind = qFromLittleEndian<quint32>(entries.constData() + at + 4);
        const quint32 propertyIndex = indexAndKind >> 16;
        const quint32 guidIndex = (indexAndKind >> 1) & 0x7FFF;
        if (propertyIndex > 0x7FFE)
            continue;
        PropertyName name;
        if (guidIndex == 1)
            name.set = kPsMapi;
        else if (guidIndex == 2)
            name.set = kPublicStrings;
        else if (guidIndex >= 3 && qsizetype(guidIndex - 3) * 16 + 16 <= guids.size())
            name.set = guidFromWindows(guids.constData() + qsizetype(guidIndex - 3) * 16);
        else
            continue;
        if (indexAndKind & 1) {
            // A text name: its length (in bytes) and UTF-16 text at that offset.
            if (qint64(identifier) + 4 > strings.size())
                continue;
            const quint32 length = qFromLittleEndian<quint32>(strings.constData() + identifier);
            if (length % 2 != 0 || qint64(identifier) + 4 + length > strings.size())
                continue;
            name.name = QString::fromUtf16(
                reinterpret_cast<const char16_t*>(strings.constData() + identifier + 4),
                length / 2);
        } else {
            name.number = identifier;
        }
        names.insert(quint16(pid::FirstNamed + propertyIndex), name);
    }
    return names;
}

RawMessage readMessage(const OleFile& file, const OleItem& storage, qsizetype headerSize,
                       const NameMap& names, int depth);

void readProperties(const OleFile& file, const OleItem& storage, qsizetype headerSize,
                    const NameMap& names, PropertyBag& bag)
{
    const OleItem stream = file.child(storage, "__properties_version1.0");
    if (!stream)
        throw file.damaged(u"a property stream is missing"_s);
    const QByteArray props = file.read(stream, u"a property stream"_s);
    if (props.size() < headerSize)
        throw file.damaged(
            u"a property stream is shorter than its header (%1 bytes)"_s.arg(props.size()));

    // The streams of the storage, by name, for the variable-size values.
    QHash<QString, int> streamIndex;
    const auto items = file.children(storage);
    for (size_t i = 0; i < items.size(); ++i)
        streamIndex.insert(items[i].first, int(i));

    // Some writers pad the stream: a partial entry at its end is no property.
    for (qsizetype at = headerSize; at + kEntrySize <= props.size(); at += kEntrySize) {
        const quint32 tag = qFromLittleEndian<quint32>(props.constData() + at);
        const quint16 type = quint16(tag & 0xFFFF);
        const quint16 id = quint16(tag >> 16);
        if (type & PtMultipleFlag)
            continue; // no multi-valued property is taken
        Property p{type, {}};
        if (isFixedSize(type)) {
            p.data = props.mid(at + 8, 8);
        } else if (type == PtString8 || type == PtUnicode || type == PtBinary || type == PtGuid) {
            const auto found = streamIndex.constFind(QString::fromLatin1(streamName(id, type)));
            if (found == streamIndex.cend())
                continue;
            const OleItem& item = items[size_t(*found)].second;
            if (file.isStorage(item))
                throw file.damaged(u"the value of property 0x%1 is no stream"_s.arg(
                    qulonglong(id), 4, 16, QChar(u'0')));
            p.data = file.read(
                item, u"the value of property 0x%1"_s.arg(qulonglong(id), 4, 16, QChar(u'0')));
        } else {
            continue; // objects are read where they are expected (attached messages)
        }
        bag.set(id, std::move(p));
        if (id >= pid::FirstNamed) {
            if (const auto name = names.constFind(id); name != names.cend())
                bag.setName(id, *name);
        }
    }
}

RawAttachment readAttachment(const OleFile& file, const OleItem& storage, const NameMap& names,
                             int depth)
{
    RawAttachment a;
    readProperties(file, storage, kAttachmentHeader, names, a.properties);
    const OleItem inner = file.child(storage, streamName(pid::AttachDataBinary, PtObject));
    if (inner && file.isStorage(inner) &&
        a.properties.integer(pid::AttachMethod).value_or(0) == AttachEmbeddedMessage) {
        if (depth >= kMaxNesting)
            throw file.damaged(u"its attached messages are nested too deeply"_s);
        a.embedded = std::make_unique<RawMessage>(
            readMessage(file, inner, kEmbeddedHeader, names, depth + 1));
    }
    a.data = a.properties.binary(pid::AttachDataBinary);
    return a;
}

RawMessage readMessage(const OleFile& file, const OleItem& storage, qsizetype headerSize,
                       const NameMap& names, int depth)
{
    RawMessage message;
    readProperties(file, storage, headerSize, names, message.properties);
    // Attachments in the order of their numbers.
    std::vector<std::pair<QString, OleItem>> attachments;
    for (auto& [name, item] : file.children(storage)) {
        if (name.startsWith("__attach_version1.0_#"_L1) && file.isStorage(item))
            attachments.emplace_back(name, std::move(item));
    }
    std::sort(attachments.begin(), attachments.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [name, item] : attachments)
        message.attachments.push_back(readAttachment(file, item, names, depth));
    return message;
}

} // namespace

bool hasCompoundFileSignature(QByteArrayView head)
{
    return head.startsWith(QByteArrayView("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
}

RawMessage readMsgFile(const QString& path)
{
    const OleFile file(path);
    const OleItem root = file.root();
    const NameMap names = readNames(file, root);
    return readMessage(file, root, kTopHeader, names, 0);
}

} // namespace localoutlook::import
