#include "localoutlook/import/message.h"

#include "localoutlook/import/lzfu.h"
#include "localoutlook/mime.h"
#include "shared/error.h"
#include "shared/rtf/charsets.h"
#include "shared/rtf/reader.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QtEndian>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace localoutlook::import {

const Property* PropertyBag::find(quint16 id) const
{
    const auto it = m_values.constFind(id);
    return it == m_values.cend() ? nullptr : &*it;
}

const PropertyName* PropertyBag::nameOf(quint16 id) const
{
    const auto it = m_names.constFind(id);
    return it == m_names.cend() ? nullptr : &*it;
}

std::optional<qint64> PropertyBag::integer(quint16 id) const
{
    const Property* p = find(id);
    if (!p)
        return std::nullopt;
    const QByteArray& d = p->data;
    switch (p->type) {
    case PtBoolean:
        return d.isEmpty() ? std::nullopt : std::optional<qint64>(d[0] != 0);
    case PtInt16:
        return d.size() < 2 ? std::nullopt
                            : std::optional<qint64>(qFromLittleEndian<qint16>(d.data()));
    case PtInt32:
        return d.size() < 4 ? std::nullopt
                            : std::optional<qint64>(qFromLittleEndian<qint32>(d.data()));
    case PtInt64:
        return d.size() < 8 ? std::nullopt
                            : std::optional<qint64>(qFromLittleEndian<qint64>(d.data()));
    default:
        return std::nullopt;
    }
}

QByteArray PropertyBag::binary(quint16 id) const
{
    const Property* p = find(id);
    return p ? p->data : QByteArray();
}

QUuid guidFromWindows(const char* bytes)
{
    return QUuid(qFromLittleEndian<quint32>(bytes), qFromLittleEndian<quint16>(bytes + 4),
                 qFromLittleEndian<quint16>(bytes + 6), uchar(bytes[8]), uchar(bytes[9]),
                 uchar(bytes[10]), uchar(bytes[11]), uchar(bytes[12]), uchar(bytes[13]),
                 uchar(bytes[14]), uchar(bytes[15]));
}

QDateTime fromFileTime(quint64 fileTime)
{
    constexpr quint64 kUnixEpoch = 116444736000000000ULL; // 1970-01-01 in FILETIME steps
    if (fileTime == 0)
        return {};
    const qint64 msecs = qint64(fileTime / 10000) - qint64(kUnixEpoch / 10000);
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
    if (time.date().year() < 1601 || time.date().year() > 9999)
        return {};
    return time;
}

namespace {

using lorvo::Error;
using lorvo::rtf::decoderForCodePage;

constexpr int kMaxNesting = 8; // messages inside messages inside messages...

QString withoutTrailingZeros(QString text)
{
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// Decodes 8-bit text in a code page, Windows-1252 when the page is unknown.
QString decode(const QByteArray& bytes, qint64 codePage)
{
    QStringDecoder decoder = decoderForCodePage(codePage);
    if (!decoder.isValid())
        decoder = decoderForCodePage(1252);
    return withoutTrailingZeros(decoder(bytes));
}

struct Context
{
    const PropertyBag& bag;
    qint64 textCodePage; // of 8-bit text properties
    qint64 bodyCodePage; // of the bodies

    explicit Context(const PropertyBag& b) : bag(b)
    {
        const auto message = b.integer(pid::MessageCodepage);
        const auto internet = b.integer(pid::InternetCodepage);
        textCodePage = message.value_or(internet.value_or(1252));
        bodyCodePage = internet.value_or(message.value_or(1252));
    }

    QString text(quint16 id, bool body = false) const
    {
        const Property* p = bag.find(id);
        if (!p)
            return {};
        if (p->type == PtUnicode)
            return withoutTrailingZeros(QStringDecoder(QStringDecoder::Utf16LE)(p->data));
        if (p->type == PtString8)
            return decode(p->data, body ? bodyCodePage : textCodePage);
        return {};
    }

    QDateTime time(quint16 id) const
    {
        const Property* p = bag.find(id);
        if (!p || p->type != PtSysTime || p->data.size() < 8)
            return {};
        return fromFileTime(qFromLittleEndian<quint64>(p->data.data()));
    }

    QString html() const
    {
        const Property* p = bag.find(pid::Html);
        if (!p)
            return {};
        if (p->type != PtBinary)
            return text(pid::Html, true);
        if (bag.integer(pid::InternetCodepage) || bag.integer(pid::MessageCodepage))
            return decode(p->data, bodyCodePage);
        QStringDecoder decoder = QStringDecoder::decoderForHtml(p->data);
        if (!decoder.isValid())
            decoder = decoderForCodePage(1252);
        return withoutTrailingZeros(decoder(p->data));
    }
};

// A user-defined field's value, or none for types Outlook does not offer for fields.
std::optional<QVariant> fieldValue(const Context& c, quint16 id, const Property& p)
{
    switch (p.type) {
    case PtUnicode:
    case PtString8:
        return c.text(id);
    case PtInt16:
    case PtInt32:
    case PtInt64:
        if (const auto v = c.bag.integer(id))
            return QVariant::fromValue(*v);
        return std::nullopt;
    case PtBoolean:
        if (const auto v = c.bag.integer(id))
            return *v != 0;
        return std::nullopt;
    case PtFloat:
        if (p.data.size() >= 4)
            return double(qFromLittleEndian<float>(p.data.data()));
        return std::nullopt;
    case PtDouble:
        if (p.data.size() >= 8)
            return qFromLittleEndian<double>(p.data.data());
        return std::nullopt;
    case PtCurrency:
        if (p.data.size() >= 8)
            return double(qFromLittleEndian<qint64>(p.data.data())) / 10000.0;
        return std::nullopt;
    case PtSysTime:
        if (const QDateTime t = c.time(id); t.isValid())
            return t;
        return std::nullopt;
    case PtAppTime: {
        // Days since 1899-12-30, the fraction being the time of day.
        if (p.data.size() < 8)
            return std::nullopt;
        const double days = qFromLittleEndian<double>(p.data.data());
        if (!(days > -657435.0 && days < 2958466.0))
            return std::nullopt;
        const QDateTime base(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
        return base.addMSecs(qint64(days * 86400000.0));
    }
    default:
        return std::nullopt;
    }
}

// Outlook's user-defined fields: named properties of PS_PUBLIC_STRINGS with a text name, in the
// order they were defined.
QList<std::pair<QString, QVariant>> userProperties(const Context& c)
{
    QList<quint16> ids;
    for (auto it = c.bag.values().cbegin(); it != c.bag.values().cend(); ++it) {
        if (it.key() >= pid::FirstNamed)
            ids.append(it.key());
    }
    std::sort(ids.begin(), ids.end());
    QList<std::pair<QString, QVariant>> fields;
    for (quint16 id : ids) {
        const PropertyName* name = c.bag.nameOf(id);
        if (!name || name->set != kPublicStrings || !name->name || name->name->isEmpty())
            continue;
        if (auto value = fieldValue(c, id, *c.bag.find(id)))
            fields.append({*name->name, *value});
    }
    return fields;
}

QString cleanFileName(QString name)
{
    for (const QChar c : u"\\/:*?\"<>|"_s)
        name.replace(c, u'_');
    name = oneLine(name).trimmed();
    return name;
}

QByteArray toEml(const SourceMessage& m);
SourceMessage convert(const RawMessage& raw, int depth, bool strict);

void addAttachments(SourceMessage& m, const RawMessage& raw, int depth)
{
    for (const RawAttachment& a : raw.attachments) {
        const Context c(a.properties);
        QString name = c.text(pid::AttachLongFilename);
        if (name.isEmpty())
            name = c.text(pid::AttachFilename);
        if (name.isEmpty())
            name = c.text(pid::DisplayName);
        const qint64 method = a.properties.integer(pid::AttachMethod).value_or(AttachByValue);
        const QString shown = name.isEmpty() ? u"(no name)"_s : name;

        SourceAttachment out;
        out.contentId = c.text(pid::AttachContentId);
        out.hidden = a.properties.integer(pid::AttachmentHidden).value_or(0) != 0;
        if (method == AttachEmbeddedMessage || a.embedded) {
            if (!a.embedded) {
                m.notes.append(u"the attached message \"%1\" could not be read"_s.arg(shown));
                continue;
            }
            if (depth >= kMaxNesting) {
                m.notes.append(u"the attached message \"%1\" is nested too deeply"_s.arg(shown));
                continue;
            }
            const SourceMessage inner = convert(*a.embedded, depth + 1, false);
            for (const QString& note : inner.notes)
                m.notes.append(note);
            if (name.isEmpty())
                name = inner.subject;
            name = cleanFileName(name);
            if (name.isEmpty())
                name = u"message"_s;
            out.name = name + u".eml"_s;
            out.data = toEml(inner);
        } else if (method == AttachOle) {
            m.notes.append(u"the attachment \"%1\" was left out: it is an OLE object"_s.arg(shown));
            continue;
        } else if (method == AttachByReference || method == AttachByRefResolve ||
                   method == AttachByRefOnly || method == AttachByWebReference) {
            m.notes.append(
                u"the attachment \"%1\" was left out: it is a reference to a file elsewhere"_s.arg(
                    shown));
            continue;
        } else {
            out.name = name.isEmpty() ? u"attachment"_s : name;
            out.data = a.data.isNull() ? a.properties.binary(pid::AttachDataBinary) : a.data;
        }
        m.attachments.append(out);
    }
}

SourceMessage convert(const RawMessage& raw, int depth, bool strict)
{
    const Context c(raw.properties);
    SourceMessage m;
    m.messageClass = c.text(pid::MessageClass);
    if (m.messageClass.isEmpty())
        m.messageClass = u"IPM.Note"_s;
    m.subject = c.text(pid::Subject);
    // Data files may start the subject with U+0001 and the length of its prefix ("RE: "),
    // which is no part of it.
    if (m.subject.startsWith(QChar(1)))
        m.subject.remove(0, 2);
    m.body = c.text(pid::Body, true);
    m.htmlBody = c.html();
    m.created = c.time(pid::CreationTime);
    m.modified = c.time(pid::LastModificationTime);
    m.from = c.text(pid::SenderName);
    if (m.from.isEmpty())
        m.from = c.text(pid::SentRepresentingName);
    m.to = c.text(pid::DisplayTo);
    m.cc = c.text(pid::DisplayCc);
    m.sent = c.time(pid::ClientSubmitTime);
    if (!m.sent.isValid())
        m.sent = c.time(pid::MessageDeliveryTime);
    if (const QByteArray key = raw.properties.binary(pid::SearchKey); !key.isEmpty())
        m.searchKey = QString::fromLatin1(key.toHex().toUpper());
    if (const Property* rtf = raw.properties.find(pid::RtfCompressed)) {
        try {
            m.rtfBody = decompressRtf(rtf->data);
        } catch (const Error& e) {
            if (strict)
                throw;
            m.notes.append(u"the RTF body of the attached message \"%1\" was left out: %2"_s.arg(
                m.subject, e.description()));
        }
    }
    m.userProperties = userProperties(c);
    addAttachments(m, raw, depth);
    return m;
}

QByteArray boundary(const SourceMessage& m, const char* part)
{
    // Derived from the content, so that the same message gives the same file.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(m.subject.toUtf8());
    hash.addData(m.body.toUtf8());
    hash.addData(m.htmlBody.toUtf8());
    for (const SourceAttachment& a : m.attachments)
        hash.addData(a.data);
    return "=_lorvo_" + QByteArray(part) + '_' + hash.result().toHex().left(24);
}

QByteArray textPart(const QByteArray& type, const QString& text)
{
    return "Content-Type: " + type +
           "; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n" +
           base64Lines(crlfLines(text).toUtf8());
}

QByteArray quotedParameter(const QString& value)
{
    QString v = oneLine(value);
    v.replace(u'"', u'\'');
    v.replace(u'\\', u'_');
    return '"' + mimeHeaderValue(v) + '"';
}

// The message as an Internet mail file that any mail program opens: its text and HTML bodies
// and its attachments.
QByteArray toEml(const SourceMessage& m)
{
    QByteArray out;
    if (!m.from.isEmpty())
        out += "From: " + mimeHeaderValue(m.from) + "\r\n";
    if (!m.to.isEmpty())
        out += "To: " + mimeHeaderValue(m.to) + "\r\n";
    if (!m.cc.isEmpty())
        out += "Cc: " + mimeHeaderValue(m.cc) + "\r\n";
    out += "Subject: " + mimeHeaderValue(m.subject) + "\r\n";
    const QDateTime date = m.sent.isValid() ? m.sent : m.created;
    if (date.isValid())
        out += "Date: " +
               QLocale::c().toString(date.toUTC(), u"ddd, dd MMM yyyy hh:mm:ss"_s).toLatin1() +
               " +0000\r\n";
    out += "MIME-Version: 1.0\r\n";

    QByteArray body;
    QString html = m.htmlBody;
    if (html.isEmpty() && !m.rtfBody.isEmpty()) {
        if (const auto document = lorvo::rtf::read(m.rtfBody))
            html = document->html;
    }
    if (!html.isEmpty()) {
        const QByteArray alt = boundary(m, "alt");
        body = "Content-Type: multipart/alternative; boundary=\"" + alt + "\"\r\n\r\n";
        body += "--" + alt + "\r\n" + textPart("text/plain", m.body) + "--" + alt + "\r\n" +
                textPart("text/html", html) + "--" + alt + "--\r\n";
    } else {
        body = textPart("text/plain", m.body);
    }
    if (m.attachments.isEmpty())
        return out + body;

    const QByteArray mixed = boundary(m, "mixed");
    out += "Content-Type: multipart/mixed; boundary=\"" + mixed + "\"\r\n\r\n";
    out += "--" + mixed + "\r\n" + body;
    for (const SourceAttachment& a : m.attachments) {
        out += "--" + mixed + "\r\n";
        out += "Content-Type: application/octet-stream; name=" + quotedParameter(a.name) + "\r\n";
        out += "Content-Disposition: " + QByteArray(a.hidden ? "inline" : "attachment") +
               "; filename=" + quotedParameter(a.name) + "\r\n";
        if (!a.contentId.isEmpty())
            out += "Content-ID: <" + mimeHeaderValue(a.contentId) + ">\r\n";
        out += "Content-Transfer-Encoding: base64\r\n\r\n" + base64Lines(a.data);
    }
    out += "--" + mixed + "--\r\n";
    return out;
}

} // namespace

SourceMessage toSourceMessage(const RawMessage& raw)
{
    return convert(raw, 0, true);
}

} // namespace localoutlook::import
