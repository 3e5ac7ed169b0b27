#include "localoutlook/import/importer.h"

#include "localoutlook/errors.h"
#include "localoutlook/import/source.h"
#include "localoutlook/profile.h"
#include "shared/error.h"

#include <QDir>
#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace localoutlook::import {

namespace {

using lorvo::Error;

Error readOnly(const QString& path)
{
    return Error(errc::NoAccess,
                 u"You do not have permission to change the folder %1."_s.arg(path));
}

class Import
{
public:
    Import(const ImportTarget& target, bool sync, const ImportProgress& progress)
        : m_target(target), m_store(*target.store), m_sync(sync), m_progress(progress)
    {
    }

    ImportReport run(const std::vector<std::unique_ptr<MessageSource>>& sources)
    {
        QList<QList<SourceFolder>> folders;
        for (const auto& source : sources) {
            folders.append(source->folders());
            for (const SourceFolder& f : folders.last())
                m_total += f.messages;
        }
        m_store.transaction([&] {
            for (size_t i = 0; i < sources.size(); ++i)
                importSource(*sources[i], folders[qsizetype(i)]);
        });
        for (const FolderCounts& c : std::as_const(m_report.folders)) {
            m_report.total.imported += c.imported;
            m_report.total.updated += c.updated;
            m_report.total.removed += c.removed;
            m_report.total.skipped += c.skipped;
        }
        return m_report;
    }

private:
    void importSource(MessageSource& source, const QList<SourceFolder>& folders)
    {
        // What earlier imports of this source left, by source key.
        const QList<SourcedItem> earlier =
            m_store.itemsFromSource(m_target.folder, source.identity());
        QHash<QString, SourcedItem> known;
        for (const SourcedItem& item : earlier)
            known.insert(item.sourceKey, item);
        QSet<QString> seen;
        bool unkeyed = false; // a message that could not even be identified

        for (qsizetype f = 0; f < folders.size(); ++f) {
            const SourceFolder& folder = folders[f];
            const qint64 folderId = ensureFolder(folder.path);
            FolderCounts& counts = countsFor(folderId);
            for (int i = 0; i < folder.messages; ++i) {
                const SourceItem item = source.read(int(f), i);
                QString key = item.key;
                if (!key.isEmpty()) {
                    // Copies of a message share its search key: later ones are numbered.
                    for (int n = 2; seen.contains(key); ++n)
                        key = item.key + u'#' + QString::number(n);
                    seen.insert(key);
                }
                if (!item.message) {
                    unkeyed = unkeyed || key.isEmpty();
                    ++counts.skipped;
                    m_report.skipped.append(u"%1: \"%2\" (into %3): %4"_s.arg(
                        item.where, item.subject, counts.path, item.reason));
                } else {
                    for (const QString& note : item.message->notes)
                        m_report.notes.append(
                            u"%1: \"%2\": %3"_s.arg(item.where, item.subject, note));
                    const auto found = known.constFind(key);
                    if (found != known.cend()) {
                        update(*found, folderId, *item.message, source.identity(), key);
                        ++counts.updated;
                    } else {
                        add(folderId, *item.message, source.identity(), key);
                        ++counts.imported;
                    }
                }
                if (m_progress)
                    m_progress(++m_done, m_total);
            }
        }

        if (!m_sync)
            return;
        if (unkeyed) {
            m_report.notes.append(
                u"%1: nothing was removed, because some of its messages could not be read."_s.arg(
                    source.identity()));
            return;
        }
        for (const SourcedItem& item : earlier) {
            if (seen.contains(item.sourceKey))
                continue;
            m_store.removeItem(item.id);
            ++countsFor(item.folder).removed;
        }
    }

    static ItemRecord recordOf(const SourceMessage& m, const QString& source, const QString& key)
    {
        ItemRecord r;
        r.messageClass = m.messageClass;
        r.subject = m.subject;
        r.htmlBody = m.htmlBody;
        r.body = m.body;
        r.rtfBody = m.rtfBody;
        r.created = m.created;
        r.modified = m.modified;
        r.source = source;
        r.sourceKey = key;
        return r;
    }

    void fill(qint64 item, const SourceMessage& m)
    {
        for (const auto& [name, value] : m.userProperties)
            m_store.setField(item, name, value);
        for (const SourceAttachment& a : m.attachments) {
            AttachmentRecord record;
            record.displayName = a.name;
            record.contentId = a.contentId;
            record.hidden = a.hidden;
            m_store.addAttachment(item, record, a.data);
        }
    }

    void add(qint64 folder, const SourceMessage& m, const QString& source, const QString& key)
    {
        fill(m_store.addItem(folder, recordOf(m, source, key)), m);
    }

    void update(const SourcedItem& existing, qint64 folder, const SourceMessage& m,
                const QString& source, const QString& key)
    {
        ItemRecord r = recordOf(m, source, key);
        r.id = existing.id;
        m_store.updateItem(r);
        m_store.clearItemContent(existing.id);
        fill(existing.id, m);
        if (existing.folder != folder)
            m_store.moveItem(existing.id, folder);
    }

    // The folder below the target at that path, made where missing (as Outlook makes a
    // subfolder: of its parent's item type).
    qint64 ensureFolder(const QStringList& path)
    {
        qint64 id = m_target.folder;
        for (const QString& name : path) {
            const FolderRecord parent = m_store.folder(id);
            if (const auto child = m_store.childNamed(id, name)) {
                if (m_store.folder(*child).readOnly)
                    throw readOnly(pathOf(*child));
                id = *child;
                continue;
            }
            if (parent.readOnly)
                throw readOnly(pathOf(id));
            if (!parent.allowSubfolders)
                throw Error(errc::NoSupport,
                            u"Cannot create the folder \"%1\" in %2: the folder does not accept "
                            "subfolders."_s.arg(name, pathOf(id)));
            if (name.isEmpty())
                throw Error(errc::InvalidArgument,
                            u"A folder without a name cannot be made in %1."_s.arg(pathOf(id)));
            FolderRecord child;
            child.name = name;
            child.defaultItemType = parent.defaultItemType;
            id = m_store.addFolder(id, child);
        }
        return id;
    }

    QString pathOf(qint64 folder)
    {
        QStringList names;
        for (std::optional<FolderRecord> f = m_store.findFolder(folder); f;
             f = f->parent ? m_store.findFolder(f->parent) : std::nullopt)
            names.prepend(f->name);
        return u"\\\\"_s + names.join(u'\\');
    }

    FolderCounts& countsFor(qint64 folder)
    {
        const auto found = m_index.constFind(folder);
        if (found != m_index.cend())
            return m_report.folders[*found];
        m_index.insert(folder, m_report.folders.size());
        m_report.folders.append({pathOf(folder)});
        return m_report.folders.last();
    }

    const ImportTarget& m_target;
    Store& m_store;
    bool m_sync;
    const ImportProgress& m_progress;
    ImportReport m_report;
    QHash<qint64, qsizetype> m_index;
    int m_total = 0;
    int m_done = 0;
};

} // namespace

ImportTarget findTarget(const QString& profileDir, const QString& fullPath)
{
    const QStringList names = fullPath.split(u'\\', Qt::SkipEmptyParts);
    const auto missing = [&] {
        return Error(lorvo::err::PathNotFound, u"The folder %1 does not exist."_s.arg(fullPath));
    };
    if (!fullPath.startsWith("\\\\"_L1) || names.isEmpty())
        throw Error(
            lorvo::err::PathNotFound,
            u"The folder path %1 must start with \\\\ and the store's name."_s.arg(fullPath));
    for (const QString& storePath : Profile(profileDir).load().stores) {
        std::shared_ptr<Store> store;
        try {
            store = Store::open(storePath);
        } catch (const Error&) {
            continue; // as Outlook skips a store it cannot open
        }
        if (store->displayName() != names.first())
            continue;
        qint64 id = store->topFolderId();
        for (qsizetype i = 1; i < names.size(); ++i) {
            const auto child = store->childNamed(id, names[i]);
            if (!child)
                throw missing();
            id = *child;
        }
        if (store->folder(id).readOnly)
            throw readOnly(fullPath);
        return {store, id, u"\\\\"_s + names.join(u'\\')};
    }
    throw missing();
}

ImportReport importSources(const ImportTarget& target,
                           const std::vector<std::unique_ptr<MessageSource>>& sources, bool sync,
                           const ImportProgress& progress)
{
    return Import(target, sync, progress).run(sources);
}

} // namespace localoutlook::import
