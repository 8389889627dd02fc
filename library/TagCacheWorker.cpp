#include "library/TagCacheWorker.h"

#include "core/Storage.h"
#include "decoding/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sys/stat.h>

TagCacheWorker::TagCacheWorker(const QString &folder, const TagCache::Reader &reader)
    : m_folder(folder), m_reader(reader), m_saveTimer(new QTimer(this))
{
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(saveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, &TagCacheWorker::save);
}

void TagCacheWorker::ensureLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    m_entries = TagCacheFile::load(m_folder + QStringLiteral("/tags.cache"));
    Known known;
    known.reserve(m_entries.size());
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it)
        known.insert(it.key(), it.value().tags);
    Q_EMIT loaded(known);
}

std::optional<TagCacheWorker::Stamp> TagCacheWorker::stampOf(const QString &key)
{
    struct stat status;
    // Only a regular file is read: a pipe named "x.mp3" would block the reader.
    if (::stat(QFile::encodeName(key).constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return Stamp{status.st_size, qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

TagCacheFile::Entry *TagCacheWorker::recorded(const QString &key, bool &gone)
{
    const std::optional<Stamp> stamp = stampOf(key);
    gone = !stamp;
    if (gone) {
        if (m_entries.remove(key))
            changedNow();
        return nullptr;
    }
    m_seen.insert(key);
    const auto it = m_entries.find(key);
    return it != m_entries.end() && stamp->matches(*it) ? &*it : nullptr;
}

TagCacheFile::Entry *TagCacheWorker::fresh(const QString &key, bool &changed)
{
    changed = false;
    bool gone = false;
    if (TagCacheFile::Entry *entry = recorded(key, gone))
        return entry;
    if (gone)
        return nullptr;
    const std::optional<Stamp> stamp = stampOf(key);
    if (!stamp)
        return nullptr;
    // Keyed by the size and time seen before reading: a file changing during the read is read again next
    // time.
    TagCacheFile::Entry entry;
    entry.size = stamp->size;
    entry.modifiedNs = stamp->modifiedNs;
    entry.tags = m_reader.tags(key);
    changed = true;
    changedNow();
    return &*m_entries.insert(key, std::move(entry));
}

void TagCacheWorker::check(const QString &key)
{
    if (m_stopping)
        return;
    ensureLoaded();
    bool gone = false;
    if (const TagCacheFile::Entry *entry = recorded(key, gone)) {
        Q_EMIT tagsRead(key, entry->tags, true, false);
        return;
    }
    if (gone) {
        Q_EMIT tagsRead(key, TrackTags(), false, false);
        return;
    }
    m_toRead.enqueue({key, false});
    postRead();
}

void TagCacheWorker::cover(const QString &key)
{
    if (m_stopping)
        return;
    ensureLoaded();
    bool gone = false;
    const TagCacheFile::Entry *entry = recorded(key, gone);
    if (gone || (entry && !entry->tags.hasCover)) {
        Q_EMIT coverFound(key, QString());
        return;
    }
    if (entry && !entry->coverFile.isEmpty() && coverExists(entry->coverFile)) {
        Q_EMIT coverFound(key, coverFolder() + QLatin1Char('/') + entry->coverFile);
        return;
    }
    m_toRead.enqueue({key, true});
    postRead();
}

void TagCacheWorker::postRead()
{
    // Posted behind the questions queued so far: each read lets those that came in meanwhile go first.
    if (m_readPosted || m_toRead.isEmpty())
        return;
    m_readPosted = true;
    QMetaObject::invokeMethod(this, &TagCacheWorker::readNext, Qt::QueuedConnection);
}

void TagCacheWorker::readNext()
{
    m_readPosted = false;
    if (m_stopping || m_toRead.isEmpty())
        return;
    const Read read = m_toRead.dequeue();
    if (read.cover)
        readCover(read.key);
    else
        readTags(read.key);
    postRead();
}

void TagCacheWorker::readTags(const QString &key)
{
    // Looked at again: the file may have changed or gone while it waited.
    bool changed = false;
    const TagCacheFile::Entry *entry = fresh(key, changed);
    Q_EMIT tagsRead(key, entry ? entry->tags : TrackTags(), entry != nullptr, changed);
}

void TagCacheWorker::readCover(const QString &key)
{
    bool changed = false;
    TagCacheFile::Entry *entry = fresh(key, changed);
    if (changed)
        Q_EMIT tagsChanged(key, entry->tags);
    if (!entry || !entry->tags.hasCover) {
        Q_EMIT coverFound(key, QString());
        return;
    }
    const QString folder = coverFolder();
    if (entry->coverFile.isEmpty() || !coverExists(entry->coverFile)) {
        const TagReader::Cover cover = m_reader.cover(key);
        if (cover.isNull()) {
            Q_EMIT coverFound(key, QString());
            return;
        }
        const QString name = TagCacheFile::coverFileName(cover);
        if (!coverExists(name)) {
            if (!QDir().mkpath(folder) ||
                !Storage::writeAtomically(folder + QLatin1Char('/') + name, cover.data)) {
                Log::line(QStringLiteral("The cover of %1 could not be written to %2").arg(key, folder));
                Q_EMIT coverFound(key, QString());
                return;
            }
            m_coversOnDisk.insert(name);
        }
        entry->coverFile = name;
        changedNow();
    }
    Q_EMIT coverFound(key, folder + QLatin1Char('/') + entry->coverFile);
}

QString TagCacheWorker::coverFolder() const
{
    return m_folder + QStringLiteral("/covers");
}

bool TagCacheWorker::coverExists(const QString &name)
{
    if (m_coversOnDisk.contains(name))
        return true;
    if (!QFileInfo(coverFolder() + QLatin1Char('/') + name).isFile())
        return false;
    m_coversOnDisk.insert(name);
    return true;
}

void TagCacheWorker::changedNow()
{
    m_dirty = true;
    m_saveTimer->start();
}

void TagCacheWorker::save()
{
    m_saveTimer->stop();
    if (!m_dirty)
        return;
    // Entries of files that are gone are left out; those checked in this run have just been looked at.
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (!m_seen.contains(it.key()) && !QFileInfo(it.key()).isFile())
            it = m_entries.erase(it);
        else
            ++it;
    }
    dropSurplus();
    const QString path = m_folder + QStringLiteral("/tags.cache");
    if (!TagCacheFile::save(path, m_entries)) {
        Log::line(QStringLiteral("The tag cache could not be written to %1").arg(path));
        return;
    }
    m_dirty = false;
    removeUnusedCovers();
}

void TagCacheWorker::dropSurplus()
{
    for (auto it = m_entries.begin(); it != m_entries.end() && m_entries.size() > maxEntries;) {
        if (!m_seen.contains(it.key()))
            it = m_entries.erase(it);
        else
            ++it;
    }
    while (m_entries.size() > maxEntries)
        m_entries.erase(m_entries.begin());
}

void TagCacheWorker::removeUnusedCovers()
{
    QSet<QString> used;
    for (const TagCacheFile::Entry &entry : std::as_const(m_entries))
        if (!entry.coverFile.isEmpty())
            used.insert(entry.coverFile);
    const QDir folder(coverFolder());
    for (const QString &name : folder.entryList(QDir::Files)) {
        // Only files of our naming: whatever else someone put there is left alone.
        if (TagCacheFile::isCoverFileName(name) && !used.contains(name)) {
            QFile::remove(folder.filePath(name));
            m_coversOnDisk.remove(name);
        }
    }
}

void TagCacheWorker::finish()
{
    save();
    m_saveTimer->stop();
}
