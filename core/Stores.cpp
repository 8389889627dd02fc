#include "core/Stores.h"

void PlaylistStore::setCurrentIndex(int row)
{
    if (row < -1 || row >= size())
        row = -1;
    const int previous = m_current;
    if (previous == row)
        return;
    for (const int changedRow : {previous, row}) {
        if (changedRow < 0)
            continue;
        mutableRecords()[changedRow].current = changedRow == row;
        Q_EMIT changed(changedRow, changedRow);
    }
    setCurrent(row);
}

void PlaylistStore::setCurrent(int row)
{
    const int previous = m_current;
    m_current = row;
    if (previous != row)
        Q_EMIT currentChanged(previous, row);
}

void PlaylistStore::rowsInserted(int first, int last)
{
    ++m_revision;
    // An entry that comes marked takes the mark; entries before the current one push it down.
    for (int row = last; row >= first; --row) {
        if (at(row).current) {
            if (m_current >= first)
                m_current += last - first + 1;
            if (m_current >= 0)
                mutableRecords()[m_current].current = false;
            m_current = row;
            return;
        }
    }
    if (m_current >= first)
        m_current += last - first + 1;
}

void PlaylistStore::rowsRemoved(int first, int last)
{
    ++m_revision;
    if (m_current < first)
        return;
    if (m_current <= last)
        setCurrent(-1);
    else
        m_current -= last - first + 1;
}

void PlaylistStore::rowMoved(int from, int to)
{
    ++m_revision;
    if (m_current == from)
        m_current = to;
    else if (from < m_current && m_current <= to)
        --m_current;
    else if (to <= m_current && m_current < from)
        ++m_current;
}

void PlaylistStore::rowReplaced(int row)
{
    Q_UNUSED(row);
    ++m_revision;
}

void PlaylistStore::listReplaced()
{
    ++m_revision;
    // The last entry marked in the new list is the current one; the others' marks go.
    QList<PlaylistEntry> &entries = mutableRecords();
    int current = -1;
    for (int row = int(entries.size()) - 1; row >= 0; --row) {
        if (!entries.at(row).current)
            continue;
        if (current < 0)
            current = row;
        else
            entries[row].current = false;
    }
    setCurrent(current);
}

namespace Stores {

#define MELODROP_STORE(Type, name)                                                                           \
    Type &name()                                                                                             \
    {                                                                                                        \
        static Type *store = new Type; /* lives until the process ends, as the shared state does */          \
        return *store;                                                                                       \
    }

MELODROP_STORE(AudioRecordStore, audioFound)
MELODROP_STORE(AudioRecordStore, audioPersonal)
MELODROP_STORE(AudioRecordStore, audioGroup)
MELODROP_STORE(AudioRecordStore, audioRecommended)
MELODROP_STORE(VideoRecordStore, videoFound)
MELODROP_STORE(VideoRecordStore, videoPersonal)
MELODROP_STORE(VideoRecordStore, videoGroup)
MELODROP_STORE(VideoRecordStore, videoRecommended)
MELODROP_STORE(AlbumStore, albums)
MELODROP_STORE(FriendsGroupsStore, friendsGroups)
MELODROP_STORE(PlaylistStore, playlist)

#undef MELODROP_STORE

} // namespace Stores
