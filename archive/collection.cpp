#include "archive/collection.h"

#include "shared/outlooksession.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace lorvo::archive {

namespace {

// The list box's alphabetical order: without regard to case, ties broken by the exact text.
bool listsBefore(const QString& a, const QString& b)
{
    const int blind = a.compare(b, Qt::CaseInsensitive);
    return blind != 0 ? blind < 0 : a < b;
}

} // namespace

int ArticleList::fncAddToListBox(const QString& newItem)
{
    const QString text = newItem.trimmed();
    if (text.isEmpty())
        return -1;
    const QString key = text.toLower();
    if (m_keys.contains(key))
        return -1;
    m_keys.insert(key);
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), text,
                                     [](const ListEntry& entry, const QString& value) {
                                         return listsBefore(entry.text, value);
                                     });
    const auto row = int(at - m_entries.begin());
    m_entries.insert(row, ListEntry{text, true});
    return row;
}

void ArticleList::setAllSelected(bool selected)
{
    for (ListEntry& entry : m_entries)
        entry.selected = selected;
}

void ArticleList::setSelected(int row, bool selected)
{
    if (row >= 0 && row < m_entries.size())
        m_entries[row].selected = selected;
}

void ArticleList::clear()
{
    m_entries.clear();
    m_keys.clear();
}

QStringList ArticleList::texts() const
{
    QStringList result;
    result.reserve(m_entries.size());
    for (const ListEntry& entry : m_entries)
        result.append(entry.text);
    return result;
}

ArticleCollection::ArticleCollection(Runtime& rt) : m_rt(rt) {}

bool ArticleCollection::isKnowledgeBaseFolder(const outlook::FolderPtr& folder)
{
    if (!folder)
        return false;
    try {
        return folder->WebViewURL().right(10) == "OLorvo.htm"_L1;
    } catch (const Error&) {
        // A folder whose home page cannot be read (removed, broken store) is not the one.
        return false;
    }
}

void ArticleCollection::ensureKnowledgeBaseFolder(QObject* owner, const QString& procedure)
{
    OutlookSession& session = m_rt.session();
    Trap t(m_rt, procedure);
    t.run([&] {
        t.step(10, u"Trying to open Outlook"_s);
        session.subConnectOutlook(outlook::olFolderInbox);
        session.subGetRootCurrent(outlook::olFolderCalendar);
        t.at(20);
        while (!isKnowledgeBaseFolder(session.goCurrentFolder)) {
            const Answer answer = session.fncAssistantQuestion(
                session.goOutlook,
                u"Failed to get Knowledge Base Folder!\r\nWould you like to select it now?"_s,
                Buttons::YesNo);
            if (answer != Answer::Yes)
                session.subEndApplication();
            t.at(30);
            // A cancelled picker asks again rather than reporting an error: No is the way out.
            if (outlook::FolderPtr picked = session.fncPickOutlookFolder(owner))
                session.goCurrentFolder = std::move(picked);
        }
    });
}

ArticleCollection::Outcome ArticleCollection::subPopulateLists(QObject* owner)
{
    ensureKnowledgeBaseFolder(owner);
    categories.clear();
    types.clear();

    OutlookSession& session = m_rt.session();
    outlook::ItemsPtr items;
    int count = 0;
    ignoreErrors([&] { items = session.goCurrentFolder->Items(); });
    ignoreErrors([&] { count = items ? items->Count() : 0; });
    if (count <= 0) {
        m_rt.msgBox(u"You don't have any KB articles to convert into webpages!"_s, Buttons::Ok,
                    Icon::Information, {}, owner);
        return Outcome::NoItems;
    }

    const QString typeField = u"Problem Type"_s;
    const QString categoryField = u"Problem Category"_s;
    const QVariant none{QString()};
    for (int i = 1; i <= count; ++i) {
        outlook::ItemPtr item;
        if (!ignoreErrors([&] { item = items->Item(i); }) || !item)
            continue;
        QString type;
        QString category;
        ignoreErrors(
            [&] { type = session.fncGetOutlookValue(item, typeField, vbString, none).toString(); });
        ignoreErrors([&] {
            category = session.fncGetOutlookValue(item, categoryField, vbString, none).toString();
        });
        categories.fncAddToListBox(category);
        types.fncAddToListBox(type);
    }
    return Outcome::Filled;
}

} // namespace lorvo::archive
