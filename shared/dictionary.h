#pragma once

// A dictionary whose keys compare without regard to case and which keeps insertion order.

#include <QHash>
#include <QList>
#include <QString>

#include <utility>

namespace lorvo {

template <class T>
class CaseBlindDictionary
{
public:
    using Entry = std::pair<QString, T>;

    bool Exists(const QString& key) const { return m_index.contains(key.toCaseFolded()); }

    // Adds an entry; returns false (and changes nothing) when the key exists already.
    bool Add(const QString& key, T value)
    {
        const QString folded = key.toCaseFolded();
        if (m_index.contains(folded))
            return false;
        m_index.insert(folded, m_entries.size());
        m_entries.append(Entry(key, std::move(value)));
        return true;
    }

    T* find(const QString& key)
    {
        const auto it = m_index.constFind(key.toCaseFolded());
        return it == m_index.constEnd() ? nullptr : &m_entries[*it].second;
    }

    qsizetype Count() const { return m_entries.size(); }
    void RemoveAll()
    {
        m_entries.clear();
        m_index.clear();
    }

    auto begin() { return m_entries.begin(); }
    auto end() { return m_entries.end(); }
    auto begin() const { return m_entries.cbegin(); }
    auto end() const { return m_entries.cend(); }

private:
    QList<Entry> m_entries;
    QHash<QString, qsizetype> m_index;
};

} // namespace lorvo
