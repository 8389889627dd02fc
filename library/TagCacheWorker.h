#pragma once

#include "library/TagCache.h"
#include "library/TagCacheFile.h"

#include <QHash>
#include <QObject>
#include <QQueue>
#include <QSet>
#include <QString>

#include <atomic>
#include <optional>

class QTimer;

// The tag cache's worker: lives on the cache's thread and owns everything that touches the disk there (the
// cache file's entries, the reads, the cover files). It answers by signal only; TagCache posts the questions.
class TagCacheWorker : public QObject
{
    Q_OBJECT
public:
    using Known = QHash<QString, TrackTags>;

    // Entries beyond this many are dropped when saving, those not met in this run first. An entry takes about
    // 250 bytes (10,000 files of the benchmark's library: 2.4 MB), so the file stays well below its limit.
    static constexpr int maxEntries = 100000;
    // How long after the last change the file is written, so a scan writes it once rather than per file.
    static constexpr int saveDelayMs = 2000;

    TagCacheWorker(const QString &folder, const TagCache::Reader &reader);

    // Answers tagsRead: from the entry while the file's size and modification time are those recorded,
    // else once it is read again.
    void check(const QString &key);
    // Answers coverFound: at once when the file is as recorded and its cover file is there (or it has none),
    // else once it is read again (after tagsChanged when the file had changed).
    void cover(const QString &key);
    // Writes the cache file when something changed.
    void save();
    // Called from the cache's thread when it goes: questions still queued are dropped unanswered.
    void stop() { m_stopping = true; }
    // The last job: writes what changed and stops the save timer (which belongs to this thread).
    void finish();

Q_SIGNALS:
    // Every entry of the cache file, once, before the first answer.
    void loaded(const TagCacheWorker::Known &known);
    // `found` false: the file is gone (or not a regular file).
    void tagsRead(const QString &key, const TrackTags &tags, bool found, bool changed);
    // A cover question found the file changed: its new tags, before the answer.
    void tagsChanged(const QString &key, const TrackTags &tags);
    // Empty `file`: no cover.
    void coverFound(const QString &key, const QString &file);

private:
    // What tells a file's versions apart: its size and modification time.
    struct Stamp
    {
        qint64 size = 0;
        qint64 modifiedNs = 0;

        bool matches(const TagCacheFile::Entry &entry) const
        {
            return entry.size == size && entry.modifiedNs == modifiedNs;
        }
    };
    // None when `key` is no regular file (gone, a folder, a pipe).
    static std::optional<Stamp> stampOf(const QString &key);

    // A question that needs TagLib. Reads wait behind the questions queued so far, so what the cache knows
    // is answered first however many files have to be read.
    struct Read
    {
        QString key;
        bool cover = false;
    };

    void ensureLoaded();
    QString coverFolder() const;
    // The entry of `key` while the file is as recorded, else nullptr; `gone` when it is no regular file any
    // more (its entry is dropped).
    TagCacheFile::Entry *recorded(const QString &key, bool &gone);
    // The entry of `key` as the file now stands, read again when it changed (`changed` then true); nullptr
    // when the file is gone.
    TagCacheFile::Entry *fresh(const QString &key, bool &changed);
    void postRead();
    void readNext();
    void readTags(const QString &key);
    void readCover(const QString &key);
    bool coverExists(const QString &name);
    void changedNow();
    void dropSurplus();
    void removeUnusedCovers();

    const QString m_folder;
    const TagCache::Reader m_reader;
    QTimer *m_saveTimer;
    std::atomic<bool> m_stopping{false};
    bool m_loaded = false;
    bool m_dirty = false;
    TagCacheFile::Entries m_entries;
    QSet<QString> m_seen; // entries checked in this run
    QQueue<Read> m_toRead;
    bool m_readPosted = false;    // a readNext is queued
    QSet<QString> m_coversOnDisk; // cover files known to exist
};
