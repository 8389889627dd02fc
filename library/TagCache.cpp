#include "library/TagCache.h"

#include "library/TagCacheWorker.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

QString TagCache::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

TagCache::TagCache(QObject *parent) : TagCache(defaultFolder(), Reader(), parent) {}

TagCache::TagCache(const QString &folder, Reader reader, QObject *parent)
    : QObject(parent), m_folder(folder), m_reader(std::move(reader))
{
    qRegisterMetaType<TrackTags>();
    qRegisterMetaType<TagCacheWorker::Known>();
}

TagCache::~TagCache()
{
    if (!m_thread)
        return;
    m_worker->stop();
    QMetaObject::invokeMethod(m_worker, &TagCacheWorker::finish, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

QString TagCache::cacheFile() const
{
    return m_folder + QStringLiteral("/tags.cache");
}

QString TagCache::coverFolder() const
{
    return m_folder + QStringLiteral("/covers");
}

QString TagCache::key(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void TagCache::start()
{
    if (m_thread)
        return;
    m_thread = new QThread(this);
    m_thread->setObjectName(QStringLiteral("tag reader"));
    m_worker = new TagCacheWorker(m_folder, m_reader);
    m_worker->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    // The worker lives on its own thread: these connections are queued.
    connect(m_worker, &TagCacheWorker::loaded, this, &TagCache::takeLoaded);
    connect(m_worker, &TagCacheWorker::tagsRead, this, &TagCache::takeTags);
    connect(m_worker, &TagCacheWorker::tagsChanged, this,
            [this](const QString &key, const TrackTags &tags) { store(key, tags, true, true); });
    connect(m_worker, &TagCacheWorker::coverFound, this, &TagCache::takeCover);
    // Below the window's priority: a scan of a large library never competes with drawing.
    m_thread->start(QThread::LowPriority);
}

std::optional<TrackTags> TagCache::tags(const QString &path)
{
    const QString k = key(path);
    if (!m_checked.contains(k)) {
        m_checked.insert(k);
        start();
        ++m_pending;
        TagCacheWorker *worker = m_worker;
        QMetaObject::invokeMethod(
            worker, [worker, k] { worker->check(k); }, Qt::QueuedConnection);
    }
    const auto it = m_tags.constFind(k);
    if (it != m_tags.cend())
        return *it;
    m_waiting.insert(k);
    return std::nullopt;
}

QList<std::optional<TrackTags>> TagCache::tags(const QStringList &paths)
{
    QList<std::optional<TrackTags>> answers;
    answers.reserve(paths.size());
    for (const QString &path : paths)
        answers.append(tags(path));
    return answers;
}

QString TagCache::coverPath(const QString &path)
{
    const QString k = key(path);
    const auto cover = m_covers.constFind(k);
    if (cover != m_covers.cend())
        return *cover;
    const std::optional<TrackTags> known = tags(k);
    // No cover as far as anyone knows; should the file change, tagsReady says so and the view asks again.
    if (known && !known->hasCover)
        return {};
    if (!m_coversAsked.contains(k)) {
        m_coversAsked.insert(k);
        ++m_pending;
        TagCacheWorker *worker = m_worker;
        QMetaObject::invokeMethod(
            worker, [worker, k] { worker->cover(k); }, Qt::QueuedConnection);
    }
    return {};
}

void TagCache::forget(const QString &path)
{
    const QString k = key(path);
    m_checked.remove(k);
    m_covers.remove(k);
    m_coversAsked.remove(k);
}

void TagCache::flush()
{
    if (m_thread)
        QMetaObject::invokeMethod(m_worker, &TagCacheWorker::save, Qt::BlockingQueuedConnection);
}

void TagCache::takeLoaded(const QHash<QString, TrackTags> &known)
{
    // A file asked about before the cache file was read has its check on the way: only that answer (the file
    // may have changed or gone) is told.
    for (auto it = known.cbegin(); it != known.cend(); ++it)
        if (!m_tags.contains(it.key()) && !m_waiting.contains(it.key()))
            m_tags.insert(it.key(), it.value());
}

void TagCache::takeTags(const QString &key, const TrackTags &tags, bool found, bool changed)
{
    store(key, tags, found, changed);
    answered();
}

void TagCache::store(const QString &key, const TrackTags &tags, bool found, bool changed)
{
    if (!found) {
        m_waiting.remove(key);
        if (m_tags.remove(key))
            Q_EMIT tagsReady(key);
        return;
    }
    if (changed) {
        // Whatever cover was found belonged to the file as it was.
        m_covers.remove(key);
        m_coversAsked.remove(key);
    }
    const auto it = m_tags.constFind(key);
    const bool news = it == m_tags.cend() || *it != tags;
    m_tags.insert(key, tags);
    if (m_waiting.remove(key) || news)
        Q_EMIT tagsReady(key);
}

void TagCache::takeCover(const QString &key, const QString &file)
{
    m_covers.insert(key, file);
    if (!file.isEmpty())
        Q_EMIT coverReady(key);
    answered();
}

void TagCache::answered()
{
    if (--m_pending == 0)
        Q_EMIT idle();
}
