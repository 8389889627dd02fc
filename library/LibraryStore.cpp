#include "library/LibraryStore.h"

#include "core/StorageLayout.h"

#include <QDir>
#include <QMetaObject>

#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

std::mutex holdMutex;
std::condition_variable holdChanged;
bool workerHeld = false;

void waitWhileHeld()
{
    std::unique_lock lock(holdMutex);
    holdChanged.wait(lock, [] { return !workerHeld; });
}

QString parentKey(const QString &key)
{
    const qsizetype slash = key.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : key.left(slash);
}

} // namespace

LibraryStore::LibraryStore(Media media)
    : m_media(media), m_extension(media == Media::Audio ? QStringLiteral("mp3") : QStringLiteral("mp4"))
{
    // One walk or reading at a time, in the order asked for: a later reading is never overtaken by an
    // earlier.
    m_worker.setMaxThreadCount(1);
}

LibraryStore::~LibraryStore()
{
    m_worker.waitForDone();
}

LibraryStore &LibraryStore::audio()
{
    static LibraryStore store(Media::Audio);
    return store;
}

LibraryStore &LibraryStore::video()
{
    static LibraryStore store(Media::Video);
    return store;
}

LibraryStore *LibraryStore::holding(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    for (LibraryStore *store : {&audio(), &video()}) {
        const QString root = QDir::cleanPath(store->mediaDir());
        if (clean == root || clean.startsWith(root + QLatin1Char('/')))
            return store;
    }
    return nullptr;
}

QString LibraryStore::mediaDir() const
{
    return m_media == Media::Audio ? StorageLayout::getAudioDir() : StorageLayout::getVideoDir();
}

void LibraryStore::followRoot()
{
    const QString root = QDir::cleanPath(mediaDir());
    if (root == m_root)
        return;
    m_root = root;
    ++m_generation;
    m_folders.clear();
    m_walking.clear();
    m_reading.clear();
    m_deferred.clear();
}

bool LibraryStore::visitBelow(const QString &key,
                              const std::function<void(const QString &, const LibraryScan::Folder &)> &visit)
{
    followRoot();
    bool complete = true;
    QStringList pending{key};
    while (!pending.isEmpty()) {
        const QString next = pending.takeLast();
        const auto it = m_folders.constFind(next);
        if (it == m_folders.cend()) {
            // Not known yet: its walk starts, and totalsChanged() follows.
            complete = false;
            requestWalk(next);
            continue;
        }
        visit(next, it->folder);
        for (const QString &name : it->folder.subfolders)
            pending.append(LibraryScan::childKey(next, name));
    }
    return complete;
}

std::optional<LibraryStore::Totals> LibraryStore::totalsBelow(const QString &key)
{
    Totals totals;
    const bool complete = visitBelow(key, [&totals](const QString &, const LibraryScan::Folder &folder) {
        totals.mediaEntries += folder.mediaEntries;
        totals.mediaBytes += folder.mediaBytes;
    });
    if (!complete)
        return std::nullopt;
    return totals;
}

std::optional<QStringList> LibraryStore::filesBelow(const QString &key)
{
    QStringList files;
    const bool complete =
        visitBelow(key, [&files](const QString &folderKey, const LibraryScan::Folder &folder) {
            for (const QString &name : folder.mediaFiles)
                files.append(LibraryScan::childKey(folderKey, name));
        });
    if (!complete)
        return std::nullopt;
    return files;
}

void LibraryStore::folderListed(const QString &key, const LibraryScan::Folder &folder)
{
    followRoot();
    if (take(key, folder, ++m_stamp))
        Q_EMIT totalsChanged();
}

void LibraryStore::pathChanged(const QString &path)
{
    followRoot();
    const QString clean = QDir::cleanPath(path);
    if (clean == m_root)
        changed(QString());
    else if (clean.startsWith(m_root + QLatin1Char('/')))
        changed(parentKey(clean.mid(m_root.size() + 1)));
}

void LibraryStore::changed(const QString &key)
{
    if (walkCovers(key)) {
        // The walk may have read that folder before the change.
        m_deferred.insert(key);
        return;
    }
    // A folder not known yet is new to the one above it, which is read again then.
    QString known = key;
    while (!m_folders.contains(known)) {
        if (known.isEmpty())
            return; // nothing known there: the first sum asked for walks it as it is then
        known = parentKey(known);
    }
    requestRead(known);
}

bool LibraryStore::walkCovers(const QString &key) const
{
    for (QString above = key;; above = parentKey(above)) {
        if (m_walking.contains(above))
            return true;
        if (above.isEmpty())
            return false;
    }
}

void LibraryStore::requestWalk(const QString &key)
{
    if (walkCovers(key))
        return;
    m_walking.insert(key);
    const quint64 stamp = ++m_stamp;
    const quint64 generation = m_generation;
    const QString path = key.isEmpty() ? m_root : m_root + QLatin1Char('/') + key;
    const QString extension = m_extension;
    m_worker.start([this, path, key, extension, stamp, generation] {
        waitWhileHeld();
        QHash<QString, LibraryScan::Folder> found = LibraryScan::walk(path, key, extension);
        QMetaObject::invokeMethod(
            this,
            [this, generation, stamp, key, found = std::move(found)] {
                walked(generation, stamp, key, found);
            },
            Qt::QueuedConnection);
    });
}

void LibraryStore::requestRead(const QString &key)
{
    const auto queued = m_reading.constFind(key);
    if (queued != m_reading.cend() && !queued.value()->load())
        return; // not started yet: it reads what the change left
    auto started = std::make_shared<std::atomic<bool>>(false);
    m_reading.insert(key, started);
    const quint64 stamp = ++m_stamp;
    const quint64 generation = m_generation;
    const QString path = key.isEmpty() ? m_root : m_root + QLatin1Char('/') + key;
    const QString extension = m_extension;
    m_worker.start([this, path, key, extension, stamp, generation, started] {
        waitWhileHeld();
        started->store(true);
        const LibraryScan::Folder folder = LibraryScan::read(path, extension);
        QMetaObject::invokeMethod(
            this,
            [this, generation, stamp, key, folder, started] {
                read(generation, stamp, key, folder, started);
            },
            Qt::QueuedConnection);
    });
}

void LibraryStore::walked(quint64 generation, quint64 stamp, const QString &key,
                          const QHash<QString, LibraryScan::Folder> &found)
{
    if (generation != m_generation)
        return;
    m_walking.remove(key);
    bool changedAny = false;
    for (auto it = found.cbegin(); it != found.cend(); ++it)
        changedAny = take(it.key(), it.value(), stamp) || changedAny;
    replayDeferred();
    if (changedAny)
        Q_EMIT totalsChanged();
}

void LibraryStore::read(quint64 generation, quint64 stamp, const QString &key,
                        const LibraryScan::Folder &folder, const std::shared_ptr<std::atomic<bool>> &started)
{
    if (generation != m_generation)
        return;
    const auto it = m_reading.find(key);
    if (it != m_reading.end() && it.value() == started)
        m_reading.erase(it);
    if (take(key, folder, stamp))
        Q_EMIT totalsChanged();
}

bool LibraryStore::take(const QString &key, const LibraryScan::Folder &folder, quint64 stamp)
{
    const auto it = m_folders.find(key);
    if (it == m_folders.end()) {
        m_folders.insert(key, Node{folder, stamp});
        return true;
    }
    if (it->stamp > stamp)
        return false; // a later reading said otherwise
    it->stamp = stamp;
    if (it->folder == folder)
        return false;
    const QStringList before = it->folder.subfolders;
    it->folder = folder;
    if (before.isEmpty())
        return true;
    const QSet<QString> now(folder.subfolders.cbegin(), folder.subfolders.cend());
    for (const QString &name : before) {
        if (!now.contains(name))
            removeBelow(LibraryScan::childKey(key, name), stamp);
    }
    return true;
}

void LibraryStore::removeBelow(const QString &key, quint64 stamp)
{
    QStringList pending{key};
    while (!pending.isEmpty()) {
        const QString next = pending.takeLast();
        const auto it = m_folders.find(next);
        if (it == m_folders.end())
            continue;
        for (const QString &name : std::as_const(it->folder.subfolders))
            pending.append(LibraryScan::childKey(next, name));
        if (it->stamp <= stamp)
            m_folders.erase(it);
    }
}

void LibraryStore::replayDeferred()
{
    const QSet<QString> deferred = std::exchange(m_deferred, {});
    for (const QString &key : deferred)
        changed(key);
}

void LibraryStore::holdWorker(bool held)
{
    {
        std::lock_guard lock(holdMutex);
        workerHeld = held;
    }
    holdChanged.notify_all();
}

void LibraryStore::waitForWorker()
{
    m_worker.waitForDone();
}
