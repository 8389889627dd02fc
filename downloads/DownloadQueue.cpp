#include "downloads/DownloadQueue.h"

#include "core/Pacing.h"
#include "core/Storage.h"
#include "core/StorageLayout.h"
#include "decoding/Log.h"

#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {
QPointer<DownloadQueue> sharedQueue;
} // namespace

DownloadQueue::DownloadQueue(QObject *parent) : QObject(parent) {}

DownloadQueue::~DownloadQueue()
{
    delete m_pressure;
#ifdef __linux__
    if (m_pressureFd >= 0)
        ::close(m_pressureFd);
#endif
    // The pool (a child) stops its transfers without callbacks; their temporary files stay.
    delete m_pool.data();
}

DownloadQueue &DownloadQueue::shared()
{
    if (!sharedQueue)
        sharedQueue = new DownloadQueue; // lives until the process ends, as the program's queue does
    return *sharedQueue;
}

bool DownloadQueue::transfersRunning() const
{
    for (const QList<QueueItem> &queue : m_items) {
        for (const QueueItem &item : queue) {
            if (item.state == QueueItem::State::Started && !item.complete())
                return true;
        }
    }
    return false;
}

void DownloadQueue::append(int section, const QList<QueueItem> &items)
{
    if (items.isEmpty())
        return;
    QList<QueueItem> &queue = list(section);
    const int first = int(queue.size());
    queue.append(items);
    Q_EMIT itemsInserted(section, first, int(queue.size()) - 1);
    Q_EMIT countChanged(count());
}

QString DownloadQueue::finalPath(const QueueItem &item, bool video, int copy)
{
    // Names and paths are joined, never put through a format: a title may itself hold "%1".
    const QString folder = video ? StorageLayout::getVideoDir() : StorageLayout::getAudioDir();
    const QString extension = video ? QStringLiteral(".mp4") : QStringLiteral(".mp3");
    const QString suffix =
        copy > 1 ? QStringLiteral(" (") + QString::number(copy) + QLatin1Char(')') : QString();
    // The longest name is that of the temporary file: "name (2).mp3.TAG.temp".
    const QString temporaryTail = QLatin1Char('.') + QString::number(item.tag) + QStringLiteral(".temp");
    const int budget = maxFileNameBytes - int((suffix + extension + temporaryTail).toUtf8().size());
    const QString name = Storage::cutToUtf8Bytes(Storage::clearDownloadFileName(item.name), budget);
    return folder + QLatin1Char('/') + name + suffix + extension;
}

QString DownloadQueue::temporaryPath(const QString &finalPath, int tag)
{
    return finalPath + QLatin1Char('.') + QString::number(tag) + QStringLiteral(".temp");
}

QString DownloadQueue::claimFinalPath(const QueueItem &item, bool video, int tag)
{
    for (int copy = 1;; ++copy) {
        const QString path = finalPath(item, video, copy);
        const auto claim = m_claimedPaths.constFind(path);
        if (claim == m_claimedPaths.constEnd() || claim.value() == tag) {
            m_claimedPaths.insert(path, tag);
            return path;
        }
    }
}

DownloadEngine *DownloadQueue::pool()
{
    if (!m_pool) {
        m_pool = new DownloadEngine(this);
        m_pool->setMaxConcurrentOperationCount(maxConcurrentTransfers);
    }
    return m_pool;
}

void DownloadQueue::startItem(int section, int row, bool retry)
{
    QueueItem &item = list(section)[row];
    item.state = QueueItem::State::Started;
    if (!retry)
        item.size = 0; // a retry continues the file it knows the size of
    const int tag = item.tag;
    ItemInfo &info = m_info[tag];
    info.failure = DownloadRequest::Error::None;
    info.retryPending = false;
    if (!retry) {
        info.breakRetries = 0;
        info.failureText.clear();
    }
    const bool video = section == Video;
    // Two items of one name never overwrite each other's file: the second is saved as "name (2).mp3".
    const QString destination = claimFinalPath(item, video, tag);
    Storage::ensureFolder(video ? StorageLayout::getVideoDir() : StorageLayout::getAudioDir());

    DownloadRequest::Options options;
    options.url = item.url;
    options.temporaryPath = temporaryPath(destination, tag);
    options.destinationPath = destination;
    options.tag = tag;
    options.timeoutSeconds = m_timeoutSeconds;
    options.retriesOnTimeout = retriesOnTimeout;
    options.giveUpAfterSilentTimeouts = m_giveUpAfterSilentTimeouts;
    options.allowResume = true;
    DownloadRequest::Callbacks callbacks;
    callbacks.context = this;
    callbacks.receivedBytes = [this](DownloadRequest &r, quint64 bytes) { bytesArrived(r, bytes); };
    callbacks.finished = [this](DownloadRequest &r) { transferDone(r); };
    callbacks.failed = [this](DownloadRequest &r) { transferFailed(r); };
    pool()->addOperation(DownloadRequest::create(std::move(options), std::move(callbacks)));
    Q_EMIT itemChanged(section, row);
}

bool DownloadQueue::start(int section, int row)
{
    if (section < Audio || section > Video || row < 0 || row >= list(section).size())
        return false;
    startItem(section, row);
    return true;
}

void DownloadQueue::startAll()
{
    for (const int section : {Audio, Video}) {
        for (int row = 0; row < list(section).size(); ++row) {
            if (list(section).at(row).state != QueueItem::State::Started)
                startItem(section, row);
        }
    }
}

void DownloadQueue::startIfIdle(int section, int row)
{
    if (section < Audio || section > Video || row < 0 || row >= list(section).size() ||
        list(section).at(row).state == QueueItem::State::Started)
        return;
    pool()->setMaxConcurrentOperationCount(maxConcurrentTransfers);
    startItem(section, row);
}

void DownloadQueue::removeAt(int section, int row)
{
    list(section).removeAt(row);
    Q_EMIT itemsRemoved(section, row, row);
    Q_EMIT countChanged(count());
}

void DownloadQueue::removeWaiting()
{
    QList<int> queued; // their transfers wait for a slot: removed as a running one would be
    for (const int section : {Audio, Video}) {
        for (int row = int(list(section).size()) - 1; row >= 0; --row) {
            const QueueItem &item = list(section).at(row);
            if (item.state == QueueItem::State::Started && waitsForSlot(item.tag))
                queued.append(item.tag);
            if (item.state != QueueItem::State::Waiting)
                continue;
            m_info.remove(item.tag);
            removeAt(section, row);
        }
    }
    for (const int tag : std::as_const(queued))
        remove(tag);
}

bool DownloadQueue::waitsForSlot(int tag) const
{
    if (!m_pool)
        return false;
    // The pool runs its operations in the order they were added, so many at a time: those behind wait.
    int ahead = 0;
    for (const DownloadRequestPtr &operation : m_pool->operations()) {
        if (operation->tag() == tag)
            return ahead >= m_pool->maxConcurrentOperationCount() && !operation->isExecuting() &&
                   operation->attempts() == 0;
        if (!operation->isFinished())
            ++ahead;
    }
    return false;
}

const QueueItem *DownloadQueue::itemWithTag(int tag) const
{
    for (const int section : {Audio, Video}) {
        for (const QueueItem &item : items(section)) {
            if (item.tag == tag)
                return &item;
        }
    }
    return nullptr;
}

QString DownloadQueue::fileOnDisk(int tag) const
{
    if (!itemWithTag(tag))
        return QString();
    for (auto claim = m_claimedPaths.constBegin(); claim != m_claimedPaths.constEnd(); ++claim) {
        if (claim.value() != tag)
            continue;
        const QString part = temporaryPath(claim.key(), tag);
        if (QFile::exists(part))
            return part;
        if (QFile::exists(claim.key()))
            return claim.key();
    }
    return QString();
}

void DownloadQueue::remove(int tag)
{
    for (const int section : {Audio, Video}) {
        for (int row = 0; row < list(section).size(); ++row) {
            const QueueItem &item = list(section).at(row);
            if (item.tag != tag)
                continue;
            if (item.complete())
                return; // it leaves by itself once the file is in place
            if (item.state == QueueItem::State::Started && m_pool) {
                for (const DownloadRequestPtr &operation : m_pool->operations()) {
                    if (operation->tag() == tag) {
                        operation->cancel(); // the temporary file stays on disk
                        break;
                    }
                }
            }
            m_info.remove(tag);
            m_claimedPaths.removeIf(
                [tag](const QHash<QString, int>::iterator &claim) { return claim.value() == tag; });
            removeAt(section, row);
            return;
        }
    }
}

void DownloadQueue::cancelAll()
{
    failPendingRetries();
    if (m_pool)
        m_pool->cancelAllOperations();
}

void DownloadQueue::clear()
{
    delete m_pool.data();
    m_info.clear();
    m_claimedPaths.clear();
    m_totalTraffic = 0;
    for (const int section : {Audio, Video}) {
        if (list(section).isEmpty())
            continue;
        const int last = int(list(section).size()) - 1;
        list(section).clear();
        Q_EMIT itemsRemoved(section, 0, last);
    }
    Q_EMIT countChanged(0);
}

int DownloadQueue::retryWaiting(int tag) const
{
    if (!m_pool)
        return 0;
    for (const DownloadRequestPtr &operation : m_pool->operations()) {
        if (operation->tag() == tag)
            return operation->retryWaiting();
    }
    return 0;
}

void DownloadQueue::bytesArrived(DownloadRequest &request, quint64 bytes)
{
    m_totalTraffic += float(bytes);
    const qint64 size = qint64(request.contentLength());
    if (size > 0)
        m_info[request.tag()].lastSize = size;
    // An item queued twice under one tag (both queues) follows the one transfer in both places.
    for (const int section : {Audio, Video}) {
        for (int row = 0; row < list(section).size(); ++row) {
            QueueItem &item = list(section)[row];
            if (item.tag != request.tag())
                continue;
            item.size = size;
            item.received = qint64(request.totalBytesRead());
            Q_EMIT itemChanged(section, row);
            break;
        }
    }
}

void DownloadQueue::transferDone(DownloadRequest &request)
{
    const int tag = request.tag();
    for (const int section : {Audio, Video}) {
        for (int row = 0; row < list(section).size(); ++row) {
            if (list(section).at(row).tag == tag) {
                removeAt(section, row);
                break;
            }
        }
    }
    m_info.remove(tag);
    const QString saved =
        request.finalPath().isEmpty() ? request.options().destinationPath : request.finalPath();
    m_claimedPaths.insert(saved, tag); // the file of this run stays this item's
    Q_EMIT itemFinished(tag, saved);
}

bool DownloadQueue::retryAfterBreak(DownloadRequest &request)
{
    const DownloadRequest::Error error = request.error();
    if (error != DownloadRequest::Error::Connection && error != DownloadRequest::Error::Incomplete)
        return false;
    const int tag = request.tag();
    const QueueItem *item = itemWithTag(tag);
    if (!item || item->state != QueueItem::State::Started)
        return false;
    ItemInfo &info = m_info[tag];
    if (info.breakRetries >= m_retriesOnBreak)
        return false;
    ++info.breakRetries;
    info.retryPending = true;
    info.failure = error;
    info.failureText = request.errorDescription();
    const double pause = firstRetryPauseSeconds * double(1 << std::min(info.breakRetries - 1, 16));
    QTimer::singleShot(Pacing::milliseconds(pause), this, [this, tag] {
        const auto info = m_info.find(tag);
        if (info == m_info.end() || !info->retryPending)
            return; // removed, cleared or failed meanwhile
        for (const int section : {Audio, Video}) {
            for (int row = 0; row < list(section).size(); ++row) {
                if (list(section).at(row).tag == tag) {
                    startItem(section, row, true);
                    return;
                }
            }
        }
        info->retryPending = false;
    });
    for (const int section : {Audio, Video}) {
        const int row = int(std::find_if(list(section).cbegin(), list(section).cend(),
                                         [tag](const QueueItem &i) { return i.tag == tag; }) -
                            list(section).cbegin());
        if (row < list(section).size())
            Q_EMIT itemChanged(section, row);
    }
    return true;
}

void DownloadQueue::failPendingRetries()
{
    QList<int> pending;
    for (auto info = m_info.begin(); info != m_info.end(); ++info) {
        if (!info->retryPending)
            continue;
        info->retryPending = false;
        pending.append(info.key());
    }
    for (const int tag : std::as_const(pending)) {
        const QString text = m_info.value(tag).failureText;
        Log::line(text);
        for (const int section : {Audio, Video}) {
            for (int row = 0; row < list(section).size(); ++row) {
                QueueItem &item = list(section)[row];
                if (item.tag != tag)
                    continue;
                item.state = QueueItem::State::Failed;
                Q_EMIT itemChanged(section, row);
                break;
            }
        }
        Q_EMIT itemFailed(tag, text);
    }
}

void DownloadQueue::transferFailed(DownloadRequest &request)
{
    if (retryAfterBreak(request))
        return;
    Log::line(request.errorDescription());
    ItemInfo &info = m_info[request.tag()];
    info.failureText = request.errorDescription();
    info.failure = request.error();
    info.systemError = request.systemError();
    info.httpStatus = request.httpStatus();
    for (const int section : {Audio, Video}) {
        for (int row = 0; row < list(section).size(); ++row) {
            QueueItem &item = list(section)[row];
            if (item.tag != request.tag())
                continue;
            item.state = QueueItem::State::Failed;
            Q_EMIT itemChanged(section, row);
            break;
        }
    }
    Q_EMIT itemFailed(request.tag(), request.errorDescription());
}

void DownloadQueue::stopAllTransfers(std::function<void()> stopped)
{
    failPendingRetries(); // none may start after the caller has gone on
    if (!m_pool || m_pool->operations().isEmpty()) {
        stopped();
        return;
    }
    // Lives until `stopped` has run: once the pool is empty, or after a while should a transfer never report.
    auto *waiter = new QObject(this);
    auto once = std::make_shared<std::function<void()>>(std::move(stopped));
    auto finish = [waiter, once] {
        if (!*once)
            return;
        const std::function<void()> run = std::exchange(*once, nullptr);
        waiter->deleteLater(); // takes its connections and its timer with it
        run();
    };
    auto check = [this, finish] {
        if (!m_pool || m_pool->operations().isEmpty())
            finish();
    };
    connect(this, &DownloadQueue::itemFailed, waiter, check);
    connect(this, &DownloadQueue::itemFinished, waiter, check);
    QTimer::singleShot(stopWaitMs, waiter, finish);
    m_pool->cancelAllOperations();
}

void DownloadQueue::whenTransfersStopped(std::function<void()> stopped)
{
    if (DownloadQueue *queue = sharedQueue.data())
        queue->stopAllTransfers(std::move(stopped));
    else
        stopped();
}

void DownloadQueue::watchMemoryPressure()
{
#ifdef __linux__
    if (m_pressure)
        return;
    // The kernel's pressure stall information wakes us when every runnable task has waited for memory 0.3 s
    // within 2 s (unprivileged triggers need a 2 s window); only when little memory is left then
    // (isLowMemory) does it cancel the transfers.
    const int fd = ::open("/proc/pressure/memory", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    static const char trigger[] = "full 300000 2000000";
    if (::write(fd, trigger, sizeof trigger) < 0) {
        ::close(fd);
        return;
    }
    m_pressureFd = fd;
    m_pressure = new QSocketNotifier(qintptr(fd), QSocketNotifier::Exception, this);
    connect(m_pressure, &QSocketNotifier::activated, this, &DownloadQueue::memoryPressure);
#endif
}

void DownloadQueue::memoryPressure()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (!meminfo.open(QIODevice::ReadOnly) || !isLowMemory(meminfo.readAll()))
        return;
    cancelAll();
    Q_EMIT lowMemory();
}

bool DownloadQueue::isLowMemory(const QByteArray &meminfo)
{
    qint64 total = -1;
    qint64 available = -1;
    for (const QByteArray &line : meminfo.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 2)
            continue;
        if (fields.at(0) == "MemTotal:")
            total = fields.at(1).toLongLong();
        else if (fields.at(0) == "MemAvailable:")
            available = fields.at(1).toLongLong();
    }
    return total > 0 && available >= 0 && available * lowMemoryShare < total;
}
