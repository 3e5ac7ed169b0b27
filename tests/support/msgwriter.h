#pragma once

// Outlook messages (.msg) made by the tests, for what no sample file holds: articles with their
// "Problem Category" and "Problem Type" fields, and damaged files. A small compound-file writer
// ([MS-CFB], version 3) under a small .msg writer ([MS-OXMSG]).

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QUuid>

namespace lorvo::test {

/// A compound file: streams by path ("storage/stream"); storages are made as the paths need.
QByteArray compoundFile(const QMap<QString, QByteArray>& streams);

class MsgWriter
{
public:
    /// A text property (Unicode).
    MsgWriter& text(quint16 id, const QString& value);
    /// An 8-bit text property, its bytes in the message's code page.
    MsgWriter& text8(quint16 id, const QByteArray& value);
    /// A 32-bit integer property.
    MsgWriter& integer(quint16 id, qint32 value);
    /// A binary property.
    MsgWriter& binary(quint16 id, const QByteArray& value);
    /// A named text property: name in the property set (PS_PUBLIC_STRINGS for user fields).
    MsgWriter& namedText(const QUuid& set, const QString& name, const QString& value);
    /// An attachment; method: 1 by value, 2 by reference, 6 an OLE object (PidTagAttachMethod).
    MsgWriter& attach(const QString& fileName, const QByteArray& data, qint32 method = 1);

    /// The streams of the message, by path (to damage one before writing).
    QMap<QString, QByteArray> streams() const;
    /// The .msg file.
    QByteArray bytes() const { return compoundFile(streams()); }
    /// Writes the .msg file; false when it cannot be written.
    bool write(const QString& path) const;

private:
    struct Value
    {
        quint16 id;
        quint16 type;
        QByteArray data;
    };
    struct Named
    {
        QUuid set;
        QString name;
        quint16 type;
        QByteArray data;
    };
    struct Attachment
    {
        QString name;
        QByteArray data;
        qint32 method;
    };
    QList<Value> m_values;
    QList<Named> m_named;
    QList<Attachment> m_attachments;
};

} // namespace lorvo::test
