#include "tests/archive/test_generators_fixture.h"

#include "archive/toc.h"
#include "localoutlook/manifest.h"
#include "shared/outlooksession.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringDecoder>
#include <QTest>

using namespace Qt::StringLiterals;

namespace gentest {

QJsonObject article(const QString& subject, const QString& category, const QString& type,
                    const QString& html, const QJsonArray& attachments)
{
    QJsonObject item{{u"messageClass"_s, u"IPM.Post.HelpdeskKBArticle"_s},
                     {u"subject"_s, subject},
                     {u"htmlBody"_s, html.isEmpty()
                                         ? u"<html><head><TITLE></TITLE></head>"
                                           "<body><p>Body of "_s +
                                               subject.toHtmlEscaped() + u"</p></body></html>"_s
                                         : html}};
    QJsonObject fields;
    if (!category.isNull())
        fields.insert(u"Problem Category"_s, category);
    if (!type.isNull())
        fields.insert(u"Problem Type"_s, type);
    item.insert(u"userProperties"_s, fields);
    if (!attachments.isEmpty())
        item.insert(u"attachments"_s, attachments);
    return item;
}

QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(folder).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QJsonObject attachment(const QString& displayName, const QByteArray& data)
{
    return {{u"displayName"_s, displayName}, {u"data"_s, QString::fromLatin1(data.toBase64())}};
}

Archive::Archive(const QJsonArray& items, const QString& filesDir) : m_collection(*t.rt)
{
    dest = t.path(u"web"_s);
    QDir().mkpath(dest);
    const QJsonObject folder{{u"name"_s, u"Knowledge Base"_s},
                             {u"defaultItemType"_s, 6},
                             {u"webViewURL"_s, u"file:///srv/kb/OLorvo.htm"_s},
                             {u"webViewOn"_s, true},
                             {u"items"_s, items}};
    const QJsonObject manifest{{u"displayName"_s, u"KB Store"_s},
                               {u"folders"_s, QJsonArray{folder}}};
    const QString store = t.path(u"kb.pst"_s);
    localoutlook::buildStore(manifest, filesDir.isEmpty() ? t.path(QString()) : filesDir, store);

    // Outlook shows the folder; the generator finds it there as the list filling does.
    lorvo::OutlookSession& session = t.rt->session();
    session.subConnectOutlook(outlook::olFolderInbox);
    session.goNameSpace->AddStore(store);
    const outlook::FolderPtr kb =
        session.goNameSpace->Folders()->Item(u"KB Store"_s)->Folders()->Item(u"Knowledge Base"_s);
    session.goOutlook->ActiveExplorer()->SetCurrentFolder(kb);

    host.opts.destination = dest;
    host.opts.attachments = 0;
    m_generators = std::make_unique<lorvo::archive::Generators>(*t.rt, m_collection, m_codec);
}

bool Archive::run(lorvo::archive::ArticleGenerator& generator)
{
    try {
        generator.generate(host);
        return true;
    } catch (const lorvo::ProgramEnded&) {
        return false;
    }
}

bool Archive::flat()
{
    return run(m_generators->flat);
}

bool Archive::outline()
{
    return run(m_generators->outline);
}

QByteArray Archive::bytes(const QString& relative) const
{
    QFile f(dest + u'/' + relative);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool Archive::exists(const QString& relative) const
{
    return QFile::exists(dest + u'/' + relative);
}

QString Archive::page(const QString& name) const
{
    QStringDecoder decoder("windows-1252");
    return decoder(bytes(name));
}

QString Archive::index() const
{
    return page(u"index.htm"_s);
}

QString Archive::lists() const
{
    const QString text = index();
    for (bool collapsible : {false, true}) {
        const QString head = QString::fromLatin1(lorvo::archive::tocHead(collapsible));
        if (text.startsWith(head))
            return text.mid(head.size());
    }
    return u"(no head) "_s + text;
}

QStringList Archive::pages() const
{
    QStringList names = QDir(dest).entryList({u"*.htm"_s}, QDir::Files, QDir::Name);
    names.removeAll(u"index.htm"_s);
    return names;
}

} // namespace gentest
