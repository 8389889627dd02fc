#pragma once

#include "library/TagReader.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QThread;
class TagCacheWorker;

// The tags and covers of media files for the views: answered from memory, read by TagLib on a worker thread
// of the cache's own, kept between runs in one small file under the cache folder ("tags.cache"), keyed by the
// absolute path, the size and the modification time, so a changed file is read again.
//
// Threads: every function is called on the thread that made the cache (the main thread), and never waits for
// a file: what is not known yet is queued, and the answer comes back as a signal. The worker touches no
// object of the caller's; it reads the cache file once, on first use, and writes it atomically when something
// changed (a moment after the last change, and when the cache is destroyed), leaving out files that are gone.
//
// Covers are files in the "covers" folder beside the cache file, named by a hash of the picture, so the
// picture that a whole album shares is written once. Their paths are what MPRIS's artUrl and the views show.
class TagCache : public QObject
{
    Q_OBJECT
public:
    // How files are read; tests count or slow down the reads. Both functions run on the worker thread.
    struct Reader
    {
        std::function<TrackTags(const QString &path)> tags = TagReader::read;
        std::function<TagReader::Cover(const QString &path)> cover = TagReader::readCover;
    };

    // The program's cache folder (QStandardPaths::CacheLocation).
    static QString defaultFolder();

    // Keeps its file and covers in `folder` (created when first written). Nothing is read or started before
    // the first question.
    explicit TagCache(QObject *parent = nullptr);
    TagCache(const QString &folder, Reader reader, QObject *parent = nullptr);
    // Writes what changed and stops the worker; files still queued are left unread.
    ~TagCache() override;

    // The tags of `path` when known; otherwise none, the file is queued and tagsReady(path) follows. A file
    // known from an earlier run is answered at once and checked in the background: tagsReady follows only
    // when it changed. (The first question starts the worker, which reads the cache file first; a file asked
    // about until then is told once its size and time are found unchanged, before any file waiting to be
    // read.) A file that cannot be read answers empty tags; a missing one stays unanswered.
    std::optional<TrackTags> tags(const QString &path);
    // The same for a list (a folder as a view shows it), answered in its order.
    QList<std::optional<TrackTags>> tags(const QStringList &paths);
    // The cover image file of `path`; empty while it is not known yet (coverReady(path) follows when it is
    // written) and for a file without a cover.
    QString coverPath(const QString &path);
    // Asks about `path` again at the next question, for a file replaced while the program runs.
    void forget(const QString &path);

    // Writes the cache file now if something changed, and returns once it is written.
    void flush();
    // Questions sent to the worker and not answered yet.
    int pending() const { return m_pending; }

    QString folder() const { return m_folder; }
    QString cacheFile() const;
    QString coverFolder() const;

    // The key a path is known by: absolute and cleaned. Signals carry it.
    static QString key(const QString &path);

Q_SIGNALS:
    void tagsReady(const QString &path);
    void coverReady(const QString &path);
    // Every question sent so far has been answered.
    void idle();

private:
    void start();
    void answered();
    void takeLoaded(const QHash<QString, TrackTags> &known);
    void takeTags(const QString &key, const TrackTags &tags, bool found, bool changed);
    void store(const QString &key, const TrackTags &tags, bool found, bool changed);
    void takeCover(const QString &key, const QString &file);

    const QString m_folder;
    const Reader m_reader;
    QThread *m_thread = nullptr;
    TagCacheWorker *m_worker = nullptr;

    QHash<QString, TrackTags> m_tags; // what the views are told
    QSet<QString> m_checked;          // sent to the worker in this run (answered or on its way)
    QSet<QString> m_waiting;          // asked while unknown: owed a tagsReady
    QHash<QString, QString> m_covers; // cover files (empty: none) as the worker found them in this run
    QSet<QString> m_coversAsked;
    int m_pending = 0;
};
