#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>

class PlaylistStore;
class TagCache;

// The lengths of the playlist's tracks for the player screen, from the tag cache (which reads the tags on its
// own thread): one row's length when the row is drawn, and the whole playlist's total. Rows whose tags are
// not known yet have no length and get one when the tags arrive. The total is summed when a new list comes (a
// moment after it), then kept up to date by the entries added and removed and the tags arriving, so that
// opening the player screen costs nothing in proportion to the playlist. Without a tag cache nothing is
// known. Main thread only.
class PlaylistDurations : public QObject
{
    Q_OBJECT

public:
    // The program's: over Stores::playlist(), with the cache setTagCache gave (none at first).
    static PlaylistDurations &shared();
    PlaylistDurations(PlaylistStore *playlist, QObject *parent = nullptr);

    void setTagCache(TagCache *tags);

    // "3:07" for the entry with relative path `file`; empty while not known (lengthsArrived follows).
    QString lengthText(const QString &file);
    // "Треков: 12, 0:47:10"; the time is left out while no length is known.
    QString totalText() const { return m_totalText; }
    // Seconds summed over the entries whose length is known, and how many are not known yet.
    qint64 totalSeconds() const { return m_totalMs / 1000; }
    int unknown() const { return m_unknownCount; }

    // "M:SS", or "H:MM:SS" from an hour on.
    static QString clock(qint64 seconds);

Q_SIGNALS:
    // Lengths asked for by lengthText are now known (one signal for those arriving together).
    void lengthsArrived();
    void totalChanged();

private:
    void tagsArrived(const QString &key);
    void scheduleSum();
    void sum();
    // Adds (`sign` 1) or takes away (-1) one entry of `file`.
    void count(const QString &file, int sign);
    void setTotalText();

    PlaylistStore *const m_playlist;
    QPointer<TagCache> m_tags;
    QMetaObject::Connection m_tagsConnection;
    QSet<QString> m_rowsWaiting;      // keys asked for by rows and not known yet
    QHash<QString, int> m_sumWaiting; // keys the total still lacks → the entries that have them
    qint64 m_totalMs = 0;
    int m_unknownCount = 0;
    bool m_sumScheduled = false;
    bool m_arrivalScheduled = false;
    QString m_totalText;
};
