#include "localoutlook/import/source.h"

#include "localoutlook/import/msgfile.h"
#include "localoutlook/import/pstfile.h"
#include "shared/error.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace localoutlook::import {

namespace {

using lorvo::Error;

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

QString identityOf(const QString& path)
{
    return shown(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

// The subject of a message whose conversion failed, for the message that names it.
QString subjectOf(const RawMessage& raw)
{
    try {
        RawMessage bare;
        for (const quint16 id : {pid::Subject, pid::MessageCodepage, pid::InternetCodepage}) {
            if (const Property* p = raw.properties.find(id))
                bare.properties.set(id, *p);
        }
        return toSourceMessage(bare).subject;
    } catch (const Error&) {
        return {};
    }
}

// .msg files: one, or every one in a folder and its subfolders, in name order.
class MsgSource final : public MessageSource
{
public:
    MsgSource(const QString& path, QStringList files)
        : m_identity(identityOf(path)), m_files(std::move(files))
    {
    }

    QString identity() const override { return m_identity; }

    QList<SourceFolder> folders() override { return {{{}, int(m_files.size())}}; }

    SourceItem read(int folder, int index) override
    {
        Q_UNUSED(folder);
        const QString path = m_files.at(index);
        SourceItem item;
        item.where = shown(path);
        item.subject = QFileInfo(path).completeBaseName();
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            item.reason = u"the file cannot be read: %1"_s.arg(file.errorString());
            return item;
        }
        if (!hasCompoundFileSignature(file.peek(8))) {
            item.reason = u"it is no Outlook message"_s;
            return item;
        }
        RawMessage raw;
        try {
            raw = readMsgFile(path);
        } catch (const Error& e) {
            item.reason = e.description();
            return item;
        }
        // Without a search key the file's own bytes say which message it is.
        const QString searchKey =
            QString::fromLatin1(raw.properties.binary(pid::SearchKey).toHex().toUpper());
        if (!searchKey.isEmpty()) {
            item.key = u"searchkey:"_s + searchKey;
        } else {
            QCryptographicHash hash(QCryptographicHash::Sha256);
            file.seek(0);
            if (!hash.addData(&file)) {
                item.reason = u"the file cannot be read: %1"_s.arg(file.errorString());
                return item;
            }
            item.key = u"sha256:"_s + QString::fromLatin1(hash.result().toHex());
        }
        try {
            item.message = toSourceMessage(raw);
            item.subject = item.message->subject;
        } catch (const Error& e) {
            if (const QString subject = subjectOf(raw); !subject.isEmpty())
                item.subject = subject;
            item.reason = e.description();
        }
        return item;
    }

private:
    QString m_identity;
    QStringList m_files;
};

class PstSource final : public MessageSource
{
public:
    PstSource(const QString& path, const QString& from)
        : m_identity(identityOf(path)), m_file(path), m_from(from)
    {
        m_folders = m_file.folders(m_from);
    }

    QString identity() const override { return m_identity; }

    QList<SourceFolder> folders() override
    {
        QList<SourceFolder> result;
        for (const PstFile::Folder& f : m_folders)
            result.append({f.path, f.messages});
        return result;
    }

    SourceItem read(int folder, int index) override
    {
        SourceItem item;
        QStringList inside{m_from.isEmpty() ? m_file.topName() : m_from};
        inside += m_folders.at(folder).path;
        item.where = m_identity + u", folder "_s + inside.join(u'\\');
        RawMessage raw;
        try {
            raw = m_file.message(folder, index);
        } catch (const Error& e) {
            item.reason = e.description();
            return item;
        }
        const QByteArray searchKey = raw.properties.binary(pid::SearchKey);
        item.key = searchKey.isEmpty()
                       ? u"entry:"_s + m_file.entryKey(folder, index)
                       : u"searchkey:"_s + QString::fromLatin1(searchKey.toHex().toUpper());
        try {
            item.message = toSourceMessage(raw);
            item.subject = item.message->subject;
        } catch (const Error& e) {
            item.subject = subjectOf(raw);
            item.reason = e.description();
        }
        return item;
    }

private:
    QString m_identity;
    PstFile m_file;
    QString m_from;
    QList<PstFile::Folder> m_folders;
};

} // namespace

std::unique_ptr<MessageSource> openSource(const QString& path, const QString& from)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw Error(lorvo::err::FileNotFound,
                    u"The file %1 could not be found."_s.arg(shown(path)));
    if (info.isDir()) {
        if (!from.isEmpty())
            throw Error(
                lorvo::err::InvalidCall,
                u"--from names a folder of a .pst file; %1 is a folder."_s.arg(shown(path)));
        QStringList files;
        QDirIterator it(path, {u"*.msg"_s}, QDir::Files | QDir::Readable,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next());
        const QDir base(path);
        std::sort(files.begin(), files.end(), [&](const QString& a, const QString& b) {
            return base.relativeFilePath(a) < base.relativeFilePath(b);
        });
        return std::make_unique<MsgSource>(path, files);
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(lorvo::err::PermissionDenied,
                    u"The file %1 cannot be read: %2."_s.arg(shown(path), file.errorString()));
    const QByteArray head = file.read(8);
    file.close();
    if (hasPstSignature(head))
        return std::make_unique<PstSource>(path, from);
    if (hasCompoundFileSignature(head)) {
        if (!from.isEmpty())
            throw Error(
                lorvo::err::InvalidCall,
                u"--from names a folder of a .pst file; %1 is a .msg file."_s.arg(shown(path)));
        return std::make_unique<MsgSource>(path, QStringList{path});
    }
    throw Error(lorvo::err::InvalidCall,
                u"The file %1 is neither an Outlook message (.msg) nor an Outlook data file "
                "(.pst, .ost)."_s.arg(shown(path)));
}

} // namespace localoutlook::import
