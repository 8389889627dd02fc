#pragma once

#include "core/ListStore.h"
#include "core/Records.h"

#include <QString>

using AudioRecordStore = ListStore<AudioRecord>;
using VideoRecordStore = ListStore<VideoRecord>;
using AlbumStore = ListStore<AlbumRecord>;
// Friend-or-group records: one text of three lines, name, number and picture address.
using FriendsGroupsStore = ListStore<QString>;

// The current playlist: its entries, and which of them is the track now playing. The mark is kept as an index
// (-1: none) and moves with its entry, so that a track change touches two entries and nobody has to look for
// the mark. Main thread only, as every store.
class PlaylistStore : public ListStore<PlaylistEntry>
{
    Q_OBJECT

public:
    using ListStore<PlaylistEntry>::ListStore;

    int currentIndex() const { return m_current; }
    // Advances with every change of the entries' files or their order, never with the mark: what a saved copy
    // of the playlist holds is up to date while this is what it was when it was written.
    quint64 revision() const { return m_revision; }
    // Marks entry `row` as the track now playing (-1: none), unmarking the one before.
    void setCurrentIndex(int row);

    // The playlist as a whole becomes `entries`; the current track is the last entry marked in them.
    void assignEntries(QList<PlaylistEntry> entries) { assign(std::move(entries)); }
    void removeEntry(int row) { removeAt(row); }
    void moveEntry(int from, int to) { move(from, to); }
    // Removes the entries `matches` picks; true when the current track was among them.
    template <class Predicate> bool removeEntriesIf(Predicate matches)
    {
        const bool currentGone = m_current >= 0 && matches(at(m_current));
        removeIf(matches);
        return currentGone;
    }

    // Set when a saved playlist has just been loaded: the player screen resets its display when it next
    // appears, then clears it.
    bool justLoaded() const { return m_justLoaded; }
    void setJustLoaded(bool loaded) { m_justLoaded = loaded; }

Q_SIGNALS:
    void currentChanged(int previous, int current);

protected:
    // The mark moves with its entry, whatever changes the list.
    void rowsInserted(int first, int last) override;
    void rowsRemoved(int first, int last) override;
    void rowMoved(int from, int to) override;
    void rowReplaced(int row) override;
    void listReplaced() override;

private:
    void setCurrent(int row);

    int m_current = -1;
    quint64 m_revision = 0;
    bool m_justLoaded = false;
};

// The owners of the lists that outlive a screen: each catalogue screen's records, the album search, the
// friends or communities loaded last and the current playlist. Made on first use, on the main thread.
namespace Stores {

AudioRecordStore &audioFound();
AudioRecordStore &audioPersonal();
AudioRecordStore &audioGroup();
AudioRecordStore &audioRecommended();
VideoRecordStore &videoFound();
VideoRecordStore &videoPersonal();
VideoRecordStore &videoGroup();
VideoRecordStore &videoRecommended();
AlbumStore &albums();
FriendsGroupsStore &friendsGroups();
PlaylistStore &playlist();

} // namespace Stores
