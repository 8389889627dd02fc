#pragma once

#include "core/PropertyList.h"
#include "core/Records.h"

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class PlaylistStore;
class QThread;

// The autosaved playlist ("AudioAutosavedPlaylist.tune"): read once at start, written when the playlist
// changed since it was last read or written. Both run on a worker thread of this object's own, so that
// neither a large playlist's parse nor its write holds up the window; the results come back on the thread
// that made the object (the main thread), where the playlist store is touched. finish() is the exit's save:
// it waits.
//
// Threads: every function is called on the main thread. The worker only reads the snapshot of the entries it
// is handed (a shared copy of the store's list: the store detaches when it changes meanwhile) and the file.
class PlaylistAutosave : public QObject
{
    Q_OBJECT

public:
    // Writes `entries` to `path` atomically; tests count the writes and note the thread they run on.
    using Writer =
        std::function<PropertyList::WriteResult(const QString &path, const QList<PlaylistEntry> &)>;

    PlaylistAutosave(PlaylistStore *playlist, const QString &path, QObject *parent = nullptr);
    // Waits for a read or write under way, then stops the worker.
    ~PlaylistAutosave() override;

    void setWriter(Writer writer);
    QString path() const { return m_path; }

    // Reads the file on the worker; restored() follows once its entries (marks cleared) are in the playlist.
    // An unreadable file is moved aside first (PlaylistFile::setAside); when it cannot be, nothing is written
    // over it in this run (held()).
    void restore();
    bool loading() const { return m_loading; }
    bool held() const { return m_held; }

    // Hands the playlist to the worker when it changed since the file was last read or written; false when
    // there is nothing to write (or the file is held). saved() follows.
    bool save();
    // For the exit: waits for the read and the writes under way, takes a restored playlist in, writes what
    // changed and waits for that too.
    void finish();
    // Waits for the reads and writes handed to the worker so far and delivers their results.
    void wait();

Q_SIGNALS:
    // The file was read (`error` None, `entries` of them taken in, 0 for an empty or missing file) or was not
    // (`keptAs` the name it was moved aside to, empty when it could not be moved).
    void restored(PropertyList::Error error, int entries, const QString &keptAs);
    void saved(PropertyList::WriteResult result);

private:
    void startWorker();
    void drain();
    void takeRestored(PropertyList::Error error, QList<PlaylistEntry> entries, const QString &keptAs);

    PlaylistStore *const m_playlist;
    const QString m_path;
    Writer m_writer;
    QThread *m_thread = nullptr;
    QObject *m_worker = nullptr; // lives in m_thread; the reads and writes run as its queued calls
    // The playlist's revision the file holds (or will once the write handed over is done). Unknown after a
    // failed write, so that the next save tries again.
    quint64 m_fileRevision;
    bool m_fileRevisionKnown = true;
    bool m_loading = false;
    bool m_held = false;
};
