#pragma once

#include "library/LibraryScan.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// The library's running totals: one store for the audio folder, one for the video folder. For every folder
// below the media folder it keeps what that folder holds itself (LibraryScan::Folder), so that the menus'
// counters and the titles' sizes are sums over the folders known instead of walks. A sum that needs a part
// not known yet is not there: the walk of that part starts on the store's worker thread, and totalsChanged()
// follows its end. The library screens hand in each folder they list (the freshest word on it); a change
// elsewhere (a download landing, an import, everything deleted) has the folder holding it read again on the
// worker.
//
// Main thread only: the worker's results come back as queued calls, are taken in the order the work was
// asked for, and never replace what a later reading said. Keys are paths below the media folder ("" the
// media folder itself, "Rock/Live"). The store follows StorageLayout: when the media folder moves (another
// root), it starts over.
class LibraryStore : public QObject
{
    Q_OBJECT
public:
    struct Totals
    {
        int mediaEntries = 0;
        qint64 mediaBytes = 0;
    };

    static LibraryStore &audio();
    static LibraryStore &video();
    // The store whose media folder holds `path` (or is it), or none.
    static LibraryStore *holding(const QString &path);

    ~LibraryStore() override;

    QString mediaDir() const;
    // "mp3" or "mp4".
    QString extension() const { return m_extension; }

    // The sums over `key` and everything below it; none while a part is not known yet.
    std::optional<Totals> totalsBelow(const QString &key);
    // The media files in `key` and below, as paths below the media folder ("Rock/Live/a.mp3"); none while a
    // part is not known yet (its walk starts, and totalsChanged() follows).
    std::optional<QStringList> filesBelow(const QString &key);
    // What a listing of the folder `key` has just read.
    void folderListed(const QString &key, const LibraryScan::Folder &folder);
    // Something at `path` was added, removed or changed: the folder holding it is read again (the media
    // folder itself when `path` is the media folder).
    void pathChanged(const QString &path);

    // Tests: while held, the worker waits before each walk or reading it starts.
    static void holdWorker(bool held);
    // Tests: waits until the worker has nothing left to do (the results may still be on their way).
    void waitForWorker();

Q_SIGNALS:
    void totalsChanged();

private:
    enum class Media { Audio, Video };
    struct Node
    {
        LibraryScan::Folder folder;
        quint64 stamp = 0; // when it was asked for: a later reading wins
    };

    explicit LibraryStore(Media media);

    // Starts over when the media folder is another than the one known.
    void followRoot();
    void changed(const QString &key);
    void requestWalk(const QString &key);
    // Calls `visit` for `key` and every known folder below it; false when a part is not known yet (its walk
    // is requested).
    bool visitBelow(const QString &key,
                    const std::function<void(const QString &, const LibraryScan::Folder &)> &visit);
    void requestRead(const QString &key);
    // `key` or one above it is being walked.
    bool walkCovers(const QString &key) const;
    void walked(quint64 generation, quint64 stamp, const QString &key,
                const QHash<QString, LibraryScan::Folder> &found);
    void read(quint64 generation, quint64 stamp, const QString &key, const LibraryScan::Folder &folder,
              const std::shared_ptr<std::atomic<bool>> &started);
    // Takes `folder` for `key` unless a later reading is known; sub-folders gone take what was below them
    // along. True when something changed.
    bool take(const QString &key, const LibraryScan::Folder &folder, quint64 stamp);
    void removeBelow(const QString &key, quint64 stamp);
    // Changes that came while a walk was reading where they happened are looked at again once it ends.
    void replayDeferred();

    const Media m_media;
    const QString m_extension;
    QString m_root;
    quint64 m_generation = 0; // a result of an earlier root is dropped
    quint64 m_stamp = 0;
    QHash<QString, Node> m_folders;
    QSet<QString> m_walking;
    // Readings asked for and their "started" flags: another change before one starts needs no second one.
    QHash<QString, std::shared_ptr<std::atomic<bool>>> m_reading;
    QSet<QString> m_deferred;
    QThreadPool m_worker;
};
