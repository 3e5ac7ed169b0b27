#include "archive/inlinepictures.h"

#include "archive/encoding.h"
#include "archive/wordprocessor.h"
#include "shared/error.h"
#include "shared/runtime.h"

#include <QHash>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

// A content ID as a message header gives it ("<x@y>") or a cid: address names it ("x@y").
QString normalContentId(const QString& id)
{
    QString normal = id.trimmed();
    if (normal.startsWith(u'<') && normal.endsWith(u'>'))
        normal = normal.mid(1, normal.size() - 2);
    return normal;
}

// The attachments of the item that have a content ID, by that ID.
QHash<QString, outlook::AttachmentPtr> attachmentsById(const outlook::ItemPtr& item)
{
    QHash<QString, outlook::AttachmentPtr> byId;
    const outlook::AttachmentsPtr attachments = item->Attachments();
    const int count = attachments ? attachments->Count() : 0;
    for (int i = 1; i <= count; ++i) {
        ignoreErrors([&] {
            const outlook::AttachmentPtr attachment = attachments->Item(i);
            const QString id = normalContentId(attachment->ContentID());
            if (!id.isEmpty() && !byId.contains(id))
                byId.insert(id, attachment);
        });
    }
    return byId;
}

// The extension of the picture file: the attachment's own when it is a plain one, else the one
// its content tells.
QString extensionOf(const QString& displayName, const QByteArray& data)
{
    static const QRegularExpression plain(u"^[a-z0-9]{1,4}$"_s);
    const qsizetype dot = displayName.lastIndexOf(u'.');
    const QString extension = dot < 0 ? QString() : displayName.mid(dot + 1).toLower();
    if (plain.match(extension).hasMatch())
        return extension;
    const QString suffix = QMimeDatabase().mimeTypeForData(data).preferredSuffix();
    return plain.match(suffix).hasMatch() ? suffix : u"bin"_s;
}

} // namespace

bool mayHaveInlinePictures(const QString& body)
{
    return indexOfCaseBlind(body, "cid:"_L1) >= 0;
}

QString linkInlinePictures(Runtime& rt, const outlook::ItemPtr& item, const QString& body,
                           const QString& destination, qint32 number, const QString& workingFolder)
{
    if (!item)
        return body;
    // The item's pictures first: most items have none, and asking is cheaper than searching the
    // whole body.
    QHash<QString, outlook::AttachmentPtr> byId;
    ignoreErrors([&] { byId = attachmentsById(item); });
    if (byId.isEmpty() || !mayHaveInlinePictures(body))
        return body;

    const QString n = QString::number(number);
    const QString folderName = n + u"_files"_s;
    const QString folder = destination + u'/' + folderName;
    const QString working = workingFolder + u"/inline.tmp"_s;
    // After the pictures the word processor wrote for this body.
    int last = 0;
    const QRegularExpression written(QRegularExpression::escape(folderName) +
                                     u"/image([0-9]{3,9})\\."_s);
    for (auto it = written.globalMatch(body); it.hasNext();)
        last = std::max(last, it.next().captured(1).toInt());

    static const QRegularExpression reference(
        u"((?:=\\s*[\"']?|url\\(\\s*[\"']?))cid:([^\"'\\s<>()]+)"_s,
        QRegularExpression::CaseInsensitiveOption);
    QHash<QString, QString> linked; // content ID -> address of its picture
    QString out;
    qsizetype done = 0;
    for (auto it = reference.globalMatch(body); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        const QString id = normalContentId(QUrl::fromPercentEncoding(m.captured(2).toUtf8()));
        const auto attachment = byId.constFind(id);
        if (attachment == byId.constEnd())
            continue;
        if (!linked.contains(id)) {
            ignoreErrors([&] {
                FileSystem& fs = rt.fs();
                if (!fs.folderExists(folder))
                    fs.createFolder(folder);
                // Saved first under a working name: the picture's type may only show in its bytes.
                (*attachment)->SaveAsFile(working);
                const QByteArray data = fs.readFile(working);
                const QString name =
                    pictureFileName(last + 1, extensionOf((*attachment)->DisplayName(), data));
                fs.writeFile(folder + u'/' + name, data);
                ++last;
                linked.insert(id, hrefEncode(folderName + u'/' + name));
            });
            ignoreErrors([&] {
                if (rt.fs().fileExists(working))
                    rt.fs().deleteFile(working, true);
            });
        }
        const QString address = linked.value(id);
        if (address.isEmpty())
            continue;
        out += QStringView(body).mid(done, m.capturedStart(2) - 4 - done);
        out += address;
        done = m.capturedEnd(2);
    }
    out += QStringView(body).mid(done);
    return out;
}

} // namespace lorvo::archive
