#include "msgwriter.h"

#include <QFile>
#include <QStringList>
#include <QtEndian>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace lorvo::test {

namespace {

constexpr quint32 kFree = 0xFFFFFFFF;
constexpr quint32 kEnd = 0xFFFFFFFE;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kNoStream = 0xFFFFFFFF;
constexpr int kSector = 512;
constexpr int kMiniSector = 64;
constexpr int kMiniCutoff = 4096;

void put32(QByteArray& b, qsizetype at, quint32 v)
{
    qToLittleEndian(v, b.data() + at);
}

void append32(QByteArray& b, quint32 v)
{
    char bytes[4];
    qToLittleEndian(v, bytes);
    b.append(bytes, 4);
}

struct Entry
{
    QString name;
    bool storage = false;
    QByteArray data;
    QList<int> children;
    quint32 left = kNoStream, right = kNoStream, child = kNoStream;
    quint32 start = kEnd;
};

// Directory order of siblings: shorter names first, then by upper-case name.
bool before(const QString& a, const QString& b)
{
    if (a.size() != b.size())
        return a.size() < b.size();
    return a.toUpper() < b.toUpper();
}

// Sectors chained one after the other in the FAT.
void chain(QList<quint32>& fat, quint32 first, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i)
        fat[first + i] = i + 1 < count ? quint32(first + i + 1) : kEnd;
}

qsizetype sectorsFor(qsizetype bytes, int size)
{
    return (bytes + size - 1) / size;
}

} // namespace

QByteArray compoundFile(const QMap<QString, QByteArray>& streams)
{
    QList<Entry> entries{Entry{u"Root Entry"_s, true, {}, {}}};
    for (auto it = streams.cbegin(); it != streams.cend(); ++it) {
        const QStringList parts = it.key().split(u'/');
        int parent = 0;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            const bool last = i + 1 == parts.size();
            int found = -1;
            for (int c : std::as_const(entries[parent].children)) {
                if (entries[c].name == parts[i])
                    found = c;
            }
            if (found < 0) {
                entries.append(Entry{parts[i], !last, last ? it.value() : QByteArray(), {}});
                found = int(entries.size()) - 1;
                entries[parent].children.append(found);
            }
            parent = found;
        }
    }
    // Each storage's children as a tree ordered by name: a chain of right siblings.
    for (Entry& e : entries) {
        std::sort(e.children.begin(), e.children.end(),
                  [&](int a, int b) { return before(entries[a].name, entries[b].name); });
        if (!e.children.isEmpty())
            e.child = quint32(e.children.first());
        for (qsizetype i = 0; i + 1 < e.children.size(); ++i)
            entries[e.children[i]].right = quint32(e.children[i + 1]);
    }

    // Small streams go to the mini stream, the rest to sectors of their own.
    QByteArray mini;
    QList<quint32> miniFat;
    for (Entry& e : entries) {
        if (e.storage || e.data.isEmpty() || e.data.size() >= kMiniCutoff)
            continue;
        e.start = quint32(mini.size() / kMiniSector);
        const qsizetype count = sectorsFor(e.data.size(), kMiniSector);
        for (qsizetype i = 0; i < count; ++i)
            miniFat.append(i + 1 < count ? quint32(e.start + i + 1) : kEnd);
        mini += e.data;
        mini.append(QByteArray(count * kMiniSector - e.data.size(), '\0'));
    }
    const qsizetype miniFatSectors = sectorsFor(miniFat.size() * 4, kSector);
    const qsizetype directorySectors = sectorsFor(entries.size() * 128, kSector);
    const qsizetype miniSectors = sectorsFor(mini.size(), kSector);
    qsizetype bigSectors = 0;
    for (const Entry& e : entries) {
        if (!e.storage && e.data.size() >= kMiniCutoff)
            bigSectors += sectorsFor(e.data.size(), kSector);
    }
    const qsizetype content = miniFatSectors + directorySectors + miniSectors + bigSectors;
    qsizetype fatSectors = 1;
    while (fatSectors * (kSector / 4) < fatSectors + content)
        ++fatSectors;
    Q_ASSERT(fatSectors <= 109);

    QList<quint32> fat(fatSectors * (kSector / 4), kFree);
    quint32 next = 0;
    for (qsizetype i = 0; i < fatSectors; ++i)
        fat[next++] = kFatSector;
    const quint32 miniFatStart = miniFatSectors ? next : kEnd;
    chain(fat, next, miniFatSectors);
    next += quint32(miniFatSectors);
    const quint32 directoryStart = next;
    chain(fat, next, directorySectors);
    next += quint32(directorySectors);
    entries[0].start = miniSectors ? next : kEnd;
    entries[0].data = mini;
    chain(fat, next, miniSectors);
    next += quint32(miniSectors);
    for (Entry& e : entries) {
        if (e.storage || e.data.size() < kMiniCutoff || &e == &entries[0])
            continue;
        e.start = next;
        const qsizetype count = sectorsFor(e.data.size(), kSector);
        chain(fat, next, count);
        next += quint32(count);
    }

    QByteArray out(kSector, '\0');
    out.replace(0, 8, QByteArray::fromHex("D0CF11E0A1B11AE1"));
    qToLittleEndian<quint16>(0x003E, out.data() + 24);
    qToLittleEndian<quint16>(0x0003, out.data() + 26);
    qToLittleEndian<quint16>(0xFFFE, out.data() + 28);
    qToLittleEndian<quint16>(9, out.data() + 30);
    qToLittleEndian<quint16>(6, out.data() + 32);
    put32(out, 44, quint32(fatSectors));
    put32(out, 48, directoryStart);
    put32(out, 56, kMiniCutoff);
    put32(out, 60, miniFatStart);
    put32(out, 64, quint32(miniFatSectors));
    put32(out, 68, kEnd);
    for (int i = 0; i < 109; ++i)
        put32(out, 76 + i * 4, i < fatSectors ? quint32(i) : kFree);

    for (quint32 v : std::as_const(fat))
        append32(out, v);
    QByteArray miniFatBytes;
    for (quint32 v : std::as_const(miniFat))
        append32(miniFatBytes, v);
    miniFatBytes.append(QByteArray(miniFatSectors * kSector - miniFatBytes.size(), char(0xFF)));
    out += miniFatBytes;

    QByteArray directory;
    for (const Entry& e : entries) {
        QByteArray d(128, '\0');
        const QString name = e.name.left(31);
        for (qsizetype i = 0; i < name.size(); ++i)
            qToLittleEndian<quint16>(name[i].unicode(), d.data() + i * 2);
        qToLittleEndian<quint16>(quint16((name.size() + 1) * 2), d.data() + 64);
        d[66] = char(&e == &entries[0] ? 5 : e.storage ? 1 : 2);
        d[67] = 1; // black
        put32(d, 68, e.left);
        put32(d, 72, e.right);
        put32(d, 76, e.child);
        put32(d, 116, e.storage && &e != &entries[0] ? 0 : e.start);
        put32(d, 120, e.storage && &e != &entries[0] ? 0 : quint32(e.data.size()));
        directory += d;
    }
    while (directory.size() % kSector != 0) {
        QByteArray empty(128, '\0');
        put32(empty, 68, kNoStream);
        put32(empty, 72, kNoStream);
        put32(empty, 76, kNoStream);
        directory += empty;
    }
    out += directory;
    const auto padded = [](QByteArray data) {
        data.append(QByteArray(sectorsFor(data.size(), kSector) * kSector - data.size(), '\0'));
        return data;
    };
    out += padded(mini);
    for (const Entry& e : entries) {
        if (!e.storage && e.data.size() >= kMiniCutoff && &e != &entries[0])
            out += padded(e.data);
    }
    return out;
}

namespace {

constexpr quint16 kUnicode = 0x001F;
constexpr quint16 kString8 = 0x001E;
constexpr quint16 kInt32 = 0x0003;
constexpr quint16 kBinary = 0x0102;

QByteArray utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

QString streamName(quint16 id, quint16 type)
{
    return u"__substg1.0_"_s +
           u"%1%2"_s.arg(id, 4, 16, QChar(u'0')).arg(type, 4, 16, QChar(u'0')).toUpper();
}

// A property stream entry; variable-size values go to a stream of their own.
void addProperty(QByteArray& props, QMap<QString, QByteArray>& streams, const QString& storage,
                 quint16 id, quint16 type, const QByteArray& data)
{
    append32(props, quint32(id) << 16 | type);
    append32(props, 6); // readable, writable
    QByteArray value(8, '\0');
    if (type == kInt32) {
        value = data.leftJustified(8, '\0');
    } else {
        put32(value, 0, quint32(data.size() + (type == kUnicode ? 2 : type == kString8 ? 1 : 0)));
        streams.insert(storage + streamName(id, type), data);
    }
    props += value;
}

} // namespace

MsgWriter& MsgWriter::text(quint16 id, const QString& value)
{
    m_values.append({id, kUnicode, utf16(value)});
    return *this;
}

MsgWriter& MsgWriter::text8(quint16 id, const QByteArray& value)
{
    m_values.append({id, kString8, value});
    return *this;
}

MsgWriter& MsgWriter::integer(quint16 id, qint32 value)
{
    QByteArray data(4, '\0');
    qToLittleEndian(value, data.data());
    m_values.append({id, kInt32, data});
    return *this;
}

MsgWriter& MsgWriter::binary(quint16 id, const QByteArray& value)
{
    m_values.append({id, kBinary, value});
    return *this;
}

MsgWriter& MsgWriter::namedText(const QUuid& set, const QString& name, const QString& value)
{
    m_named.append({set, name, kUnicode, utf16(value)});
    return *this;
}

MsgWriter& MsgWriter::attach(const QString& fileName, const QByteArray& data, qint32 method)
{
    m_attachments.append({fileName, data, method});
    return *this;
}

QMap<QString, QByteArray> MsgWriter::streams() const
{
    QMap<QString, QByteArray> streams;
    const QUuid publicStrings(u"{00020329-0000-0000-C000-000000000046}"_s);

    // Top-level header: reserved, next recipient ID, next attachment ID, counts, reserved.
    QByteArray props(32, '\0');
    put32(props, 12, quint32(m_attachments.size()));
    put32(props, 20, quint32(m_attachments.size()));
    for (const Value& v : m_values)
        addProperty(props, streams, {}, v.id, v.type, v.data);

    QByteArray guids, names, strings;
    for (qsizetype i = 0; i < m_named.size(); ++i) {
        const Named& n = m_named[i];
        quint32 guidIndex = 2;
        if (n.set != publicStrings) {
            guidIndex = quint32(3 + guids.size() / 16);
            QByteArray guid(16, '\0');
            qToLittleEndian<quint32>(n.set.data1, guid.data());
            qToLittleEndian<quint16>(n.set.data2, guid.data() + 4);
            qToLittleEndian<quint16>(n.set.data3, guid.data() + 6);
            for (int k = 0; k < 8; ++k)
                guid[8 + k] = char(n.set.data4[k]);
            guids += guid;
        }
        append32(names, quint32(strings.size()));
        append32(names, quint32(i) << 16 | guidIndex << 1 | 1);
        append32(strings, quint32(n.name.size() * 2));
        strings += utf16(n.name);
        while (strings.size() % 4 != 0)
            strings.append('\0');
        addProperty(props, streams, {}, quint16(0x8000 + i), n.type, n.data);
    }
    streams.insert(u"__nameid_version1.0/__substg1.0_00020102"_s, guids);
    streams.insert(u"__nameid_version1.0/__substg1.0_00030102"_s, names);
    streams.insert(u"__nameid_version1.0/__substg1.0_00040102"_s, strings);

    for (qsizetype i = 0; i < m_attachments.size(); ++i) {
        const QString storage = u"__attach_version1.0_#"_s +
                                QString::number(i, 16).rightJustified(8, u'0').toUpper() + u'/';
        QByteArray attachmentProps(8, '\0');
        QByteArray method(4, '\0');
        put32(method, 0, quint32(m_attachments[i].method));
        addProperty(attachmentProps, streams, storage, 0x3705, kInt32, method);
        addProperty(attachmentProps, streams, storage, 0x3707, kUnicode,
                    utf16(m_attachments[i].name));
        addProperty(attachmentProps, streams, storage, 0x3701, kBinary, m_attachments[i].data);
        streams.insert(storage + u"__properties_version1.0"_s, attachmentProps);
    }
    streams.insert(u"__properties_version1.0"_s, props);
    return streams;
}

bool MsgWriter::write(const QString& path) const
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes()) >= 0 && file.flush();
}

} // namespace lorvo::test
