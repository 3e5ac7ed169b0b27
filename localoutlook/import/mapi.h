#pragma once

// MAPI properties as .msg and .pst files hold them: a property bag of values by property ID with
// their raw bytes, the names of named properties, and the attachments of a message. Both readers
// fill these; one conversion (message.h) turns them into what the local Outlook keeps.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QUuid>
#include <memory>
#include <optional>
#include <vector>

namespace localoutlook::import {

// Property types ([MS-OXCDATA]).
enum PropertyType : quint16 {
    PtInt16 = 0x0002,
    PtInt32 = 0x0003,
    PtFloat = 0x0004,
    PtDouble = 0x0005,
    PtCurrency = 0x0006,
    PtAppTime = 0x0007,
    PtError = 0x000A,
    PtBoolean = 0x000B,
    PtObject = 0x000D,
    PtInt64 = 0x0014,
    PtString8 = 0x001E,
    PtUnicode = 0x001F,
    PtSysTime = 0x0040,
    PtGuid = 0x0048,
    PtBinary = 0x0102,
    PtMultipleFlag = 0x1000,
};

// The property IDs the import reads.
namespace pid {
inline constexpr quint16 MessageClass = 0x001A;
inline constexpr quint16 Subject = 0x0037;
inline constexpr quint16 ClientSubmitTime = 0x0039;
inline constexpr quint16 SentRepresentingName = 0x0042;
inline constexpr quint16 DisplayTo = 0x0E04;
inline constexpr quint16 DisplayCc = 0x0E03;
inline constexpr quint16 MessageDeliveryTime = 0x0E06;
inline constexpr quint16 Body = 0x1000;
inline constexpr quint16 RtfCompressed = 0x1009;
inline constexpr quint16 Html = 0x1013;
inline constexpr quint16 InternetMessageId = 0x1035;
inline constexpr quint16 DisplayName = 0x3001;
inline constexpr quint16 CreationTime = 0x3007;
inline constexpr quint16 LastModificationTime = 0x3008;
inline constexpr quint16 SearchKey = 0x300B;
inline constexpr quint16 AttachDataBinary = 0x3701; // also the embedded message (PtObject)
inline constexpr quint16 AttachFilename = 0x3704;
inline constexpr quint16 AttachMethod = 0x3705;
inline constexpr quint16 AttachLongFilename = 0x3707;
inline constexpr quint16 AttachMimeTag = 0x370E;
inline constexpr quint16 AttachContentId = 0x3712;
inline constexpr quint16 AttachFlags = 0x3714;
inline constexpr quint16 SenderName = 0x0C1A;
inline constexpr quint16 InternetCodepage = 0x3FDE;
inline constexpr quint16 MessageCodepage = 0x3FFD;
inline constexpr quint16 AttachmentHidden = 0x7FFE;
inline constexpr quint16 FirstNamed = 0x8000;
} // namespace pid

// Attachment methods (PidTagAttachMethod).
enum AttachMethod : qint32 {
    AttachByValue = 1,
    AttachByReference = 2,
    AttachByRefResolve = 3,
    AttachByRefOnly = 4,
    AttachEmbeddedMessage = 5,
    AttachOle = 6,
    AttachByWebReference = 7,
};

/// PS_PUBLIC_STRINGS, the set of Outlook's user-defined fields.
inline const QUuid kPublicStrings{0x00020329, 0x0000, 0x0000, 0xC0, 0x00, 0x00,
                                  0x00,       0x00,   0x00,   0x00, 0x46};

/// A GUID as Windows stores it (its first three fields little-endian), from 16 bytes.
QUuid guidFromWindows(const char* bytes);

// The name of a named property: a property set and either a text name or a number.
struct PropertyName
{
    QUuid set;
    std::optional<QString> name; // none: a numeric name
    quint32 number = 0;
};

// One value: its type and its bytes as stored (fixed-size values little-endian, texts in their
// stored encoding without the terminating zero).
struct Property
{
    quint16 type = 0;
    QByteArray data;
};

class PropertyBag
{
public:
    void set(quint16 id, Property value) { m_values.insert(id, std::move(value)); }
    void setName(quint16 id, PropertyName name) { m_names.insert(id, std::move(name)); }
    const Property* find(quint16 id) const;
    const PropertyName* nameOf(quint16 id) const;
    const QHash<quint16, Property>& values() const { return m_values; }

    /// A 16-, 32- or 64-bit integer or boolean value.
    std::optional<qint64> integer(quint16 id) const;
    /// A binary value (or the bytes of any value).
    QByteArray binary(quint16 id) const;

private:
    QHash<quint16, Property> m_values;
    QHash<quint16, PropertyName> m_names;
};

struct RawMessage;

struct RawAttachment
{
    PropertyBag properties;
    QByteArray data;                      // the attached file's bytes (AttachByValue)
    std::unique_ptr<RawMessage> embedded; // the attached message (AttachEmbeddedMessage)
};

struct RawMessage
{
    PropertyBag properties;
    std::vector<RawAttachment> attachments;
};

} // namespace localoutlook::import
