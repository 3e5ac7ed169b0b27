#pragma once

// The knowledge-base folder and the category and type lists of its articles: finding the folder,
// filling the two lists, de-duplicating and selecting their entries.

#include "archive/generation.h"
#include "shared/runtime.h"

#include <QList>
#include <QSet>
#include <QString>

class QObject;

namespace lorvo::archive {

// The content of one multi-selection list box: trimmed entries, no two equal when compared in
// lower case, kept in alphabetical order (without regard to case), each selected or not.
class ArticleList
{
public:
    /// fncAddToListBox: adds the trimmed text unless it is empty or already listed (compared in
    /// lower case) and selects the new entry. Returns the new entry's row, or -1 when none was
    /// added.
    int fncAddToListBox(const QString& newItem);
    /// Selects or deselects every entry.
    void setAllSelected(bool selected);
    /// Selects or deselects one entry; rows out of range are ignored.
    void setSelected(int row, bool selected);
    void clear();

    int count() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    const QList<ListEntry>& entries() const { return m_entries; }
    /// The texts of the entries, in list order.
    QStringList texts() const;

private:
    QList<ListEntry> m_entries;
    QSet<QString> m_keys; // the entries in lower case
};

// The knowledge-base folder of the Outlook session and the two lists filled from its items.
class ArticleCollection
{
public:
    explicit ArticleCollection(Runtime& rt);

    /// Whether the folder's home-page address ends exactly (with case) in "OLorvo.htm".
    static bool isKnowledgeBaseFolder(const outlook::FolderPtr& folder);

    /// Connects to Outlook and takes the folder of its active window into goCurrentFolder; while
    /// that is not the knowledge-base folder, asks whether to pick it (Yes: Outlook's folder picker
    /// owned by owner; No: the program ends). Other failures are reported under procedure, which
    /// ends the program. On return goCurrentFolder is the knowledge-base folder.
    void ensureKnowledgeBaseFolder(QObject* owner,
                                   const QString& procedure = QStringLiteral("subPopulateLists"));

    // What filling the lists found.
    enum class Outcome {
        NoItems, // the folder holds no item: nothing can be generated
        Filled,  // the lists hold what the items' fields name (either may be empty)
    };

    /// subPopulateLists without the window: finds the folder, then fills both lists from every
    /// item's "Problem Category" and "Problem Type" (each read once per item; unreadable items
    /// are passed over). Shows the no-articles message when the folder is empty.
    Outcome subPopulateLists(QObject* owner);

    ArticleList categories; // lstProblemCategory
    ArticleList types;      // lstProblemType

private:
    Runtime& m_rt;
};

} // namespace lorvo::archive
