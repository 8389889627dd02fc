#include "downloads/Queue.h"

#include "core/GlobalData.h"
#include "core/Storage.h"
#include "core/StorageLayout.h"
#include "decoding/Log.h"
#include "desktop/Badges.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <exception>
#include <memory>
#include <utility>

#ifdef __linux__
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// Numbers in items are texts read the way the rest of the program reads them: the leading number, 0 if none.
float floatValue(const QString &value)
{
    const QByteArray bytes = value.toLatin1();
    return std::strtof(bytes.constData(), nullptr);
}

int intValue(const QString &value)
{
    const QByteArray bytes = value.toLatin1();
    return int(std::strtol(bytes.constData(), nullptr, 10));
}

int indexOfTag(const QList<QueueItem> &list, int tag)
{
    for (int i = 0; i < list.size(); ++i) {
        if (intValue(list.at(i).tag) == tag)
            return i;
    }
    return -1;
}

bool removeFirstWithTag(QList<QueueItem> &list, int tag)
{
    const int index = indexOfTag(list, tag);
    if (index < 0)
        return false;
    list.removeAt(index);
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Queue

Queue::Queue(QObject *parent) : QObject(parent), m_rows(this) {}

Queue::~Queue()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    if (m_timer && global->queueUpdateTimer == m_timer.data())
        global->queueUpdateTimer = nullptr;
    delete m_pressure;
#ifdef __linux__
    if (m_pressureFd >= 0)
        ::close(m_pressureFd);
#endif
    // The pool (a child) stops its transfers without callbacks; their temporary files stay.
    delete m_pool.data();
}

QString Queue::finalPath(const QueueItem &item, bool video, int copy)
{
    // Names and paths are joined, never put through a format: a title may itself hold "%1".
    const QString folder = video ? StorageLayout::getVideoDir() : StorageLayout::getAudioDir();
    const QString extension = video ? QStringLiteral(".mp4") : QStringLiteral(".mp3");
    const QString suffix =
        copy > 1 ? QStringLiteral(" (") + QString::number(copy) + QLatin1Char(')') : QString();
    // The longest name is that of the temporary file: "name (2).mp3.TAG.temp".
    const QString temporaryTail =
        QLatin1Char('.') + QString::number(intValue(item.tag)) + QStringLiteral(".temp");
    const int budget = maxFileNameBytes - int((suffix + extension + temporaryTail).toUtf8().size());
    const QString name = Storage::cutToUtf8Bytes(Storage::clearDownloadFileName(item.name), budget);
    return folder + QLatin1Char('/') + name + suffix + extension;
}

QString Queue::temporaryPath(const QString &finalPath, int tag)
{
    return finalPath + QLatin1Char('.') + QString::number(tag) + QStringLiteral(".temp");
}

QString Queue::claimFinalPath(const QueueItem &item, bool video, int tag)
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

DownloadEngine *Queue::pool()
{
    if (!m_pool) {
        m_pool = new DownloadEngine(this);
        m_pool->setMaxConcurrentOperationCount(maxConcurrentTransfers);
    }
    return m_pool;
}

void Queue::startItem(QList<QueueItem> &list, int index, bool video)
{
    QueueItem &item = list[index];
    GlobalData::replace(item.state, QStringLiteral("0"));
    const int tag = intValue(item.tag);
    m_info[tag].failure.clear();
    // Two items of one name never overwrite each other's file: the second is saved as "name (2).mp3".
    const QString destination = claimFinalPath(item, video, tag);
    const QString temporary = temporaryPath(destination, tag);
    Storage::ensureFolder(video ? StorageLayout::getVideoDir() : StorageLayout::getAudioDir());

    DownloadRequest::Options options;
    options.url = item.url;
    options.temporaryPath = temporary;
    options.destinationPath = destination;
    options.tag = tag;
    options.timeoutSeconds = m_timeoutSeconds;
    options.keepRunningInBackground = true;
    options.retriesOnTimeout = retriesOnTimeout;
    options.giveUpAfterSilentTimeouts = m_giveUpAfterSilentTimeouts;
    options.allowResume = true;
    DownloadRequest::Callbacks callbacks;
    callbacks.context = this;
    callbacks.receivedBytes = [this](DownloadRequest &r, quint64 bytes) { request(r, bytes); };
    callbacks.finished = [this](DownloadRequest &r) { requestDone(r); };
    callbacks.failed = [this](DownloadRequest &r) { requestFailed(r); };
    pool()->addOperation(DownloadRequest::create(std::move(options), std::move(callbacks)));
}

bool Queue::startItem(int section, int row)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    QList<QueueItem> &list = section == 0 ? global->audioQueueArray : global->videoQueueArray;
    if (section < 0 || section > 1 || row < 0 || row >= list.size())
        return false;
    startItem(list, row, section == 1);
    return true;
}

void Queue::startAll()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    // Waiting ("-1") and failed ("-2") items only, so a second press starts nothing twice.
    for (int i = 0; i < global->audioQueueArray.size(); ++i) {
        if (floatValue(global->audioQueueArray.at(i).state) < 0)
            startItem(global->audioQueueArray, i, false);
    }
    for (int i = 0; i < global->videoQueueArray.size(); ++i) {
        if (floatValue(global->videoQueueArray.at(i).state) < 0)
            startItem(global->videoQueueArray, i, true);
    }
}

void Queue::rowTapped(int section, int row)
{
    Q_EMIT scrollToRowRequested(section, row);
    GlobalData *global = GlobalData::sharedGlobalData();
    if (section < 0 || section > 1)
        return;
    QList<QueueItem> &list = section == 0 ? global->audioQueueArray : global->videoQueueArray;
    if (row < 0 || row >= list.size() || floatValue(list.at(row).state) >= 0)
        return;
    pool()->setMaxConcurrentOperationCount(maxConcurrentTransfers);
    startItem(list, row, section == 1);
}

void Queue::clearInactive()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const auto waiting = [](const QueueItem &item) { return floatValue(item.state) == -1.0f; };
    for (QList<QueueItem> *list : {&global->audioQueueArray, &global->videoQueueArray}) {
        for (const QueueItem &item : std::as_const(*list)) {
            if (waiting(item))
                m_info.remove(intValue(item.tag));
        }
        list->removeIf(waiting);
    }
    postUpdateBadges();
}

void Queue::trafficButtonPressed()
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    const float megabytes = global->totalTraffic * 0x1p-20f;
    const quint64 bandwidth = m_pool ? m_pool->averageBandwidthUsedPerSecond() : 0;
    const QString format =
        tr("Объём данных, полученный с момента запуска приложения:\n\n%.2f Мб (@ ~%.f Кбит/с)");
    const QString message =
        QString::asprintf(format.toUtf8().constData(), double(megabytes), double(bandwidth >> 7));
    Q_EMIT alertRequested(QString(), message, {tr("Готово")}, 0);
}

Queue::Removal Queue::removalFor(const QueueItem &item)
{
    const float size = floatValue(item.state);
    if (size == -1.0f)
        return Removal::NotStarted;
    if (size > 0 && floatValue(item.received) >= size)
        return Removal::Nothing; // finished: the item leaves the queue by itself
    return Removal::Started;
}

void Queue::removeButton(int tag)
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    int index = indexOfTag(global->audioQueueArray, tag);
    const QueueItem *item = index >= 0 ? &global->audioQueueArray.at(index) : nullptr;
    if (!item) {
        index = indexOfTag(global->videoQueueArray, tag);
        item = index >= 0 ? &global->videoQueueArray.at(index) : nullptr;
    }
    if (!item)
        return;
    switch (removalFor(*item)) {
    case Removal::NotStarted:
        removeButtonNotStarted(tag);
        break;
    case Removal::Started:
        removeButtonStarted(tag);
        break;
    case Removal::Nothing:
        break;
    }
}

void Queue::removeButtonNotStarted(int tag)
{
    m_info.remove(tag);
    m_claimedPaths.removeIf(
        [tag](const QHash<QString, int>::iterator &claim) { return claim.value() == tag; });
    GlobalData *global = GlobalData::sharedGlobalData();
    removeFirstWithTag(global->audioQueueArray, tag);
    removeFirstWithTag(global->videoQueueArray, tag);
    postUpdateBadges();
}

void Queue::removeButtonStarted(int tag)
{
    if (m_pool) {
        for (const DownloadRequestPtr &operation : m_pool->operations()) {
            if (operation->tag() == tag) {
                operation->cancel();
                break;
            }
        }
    }
    removeButtonNotStarted(tag); // the temporary file stays on disk
}

void Queue::viewDidLoad()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->queueUpdateTimer) {
        global->queueUpdateTimer->stop();
        global->queueUpdateTimer->deleteLater();
        global->queueUpdateTimer = nullptr;
    }
    auto *timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &Queue::updateQueue);
    timer->start();
    m_timer = timer;
    global->queueUpdateTimer = timer;
    watchMemoryPressure();
}

void Queue::viewWillAppear()
{
    reloadTable();
}

void Queue::viewDidAppear()
{
    GlobalData::sharedGlobalData()->nowYouMayUpdateQueue = true;
}

void Queue::viewWillDisappear()
{
    GlobalData::sharedGlobalData()->nowYouMayUpdateQueue = false;
}

bool Queue::applicationActive() const
{
    if (m_activeProvider)
        return m_activeProvider();
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return true;
    // On a desktop the program stays "active" while its window can be seen, focused or not.
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.begin(), windows.end(), [](const QWindow *window) {
        return window->isVisible() && !(window->windowStates() & Qt::WindowMinimized);
    });
}

void Queue::updateQueue()
{
    try {
        if (applicationActive() && GlobalData::sharedGlobalData()->nowYouMayUpdateQueue)
            reloadTable();
    } catch (const std::exception &) {
        Log::line(QStringLiteral("Ошибка таймера в очереди!"));
    } catch (...) {
        Log::line(QStringLiteral("Ошибка таймера в очереди!"));
    }
}

QString Queue::failureReason(const DownloadRequest &request)
{
    switch (request.error()) {
    case DownloadRequest::Error::File:
        switch (request.systemError()) {
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return tr("нет места на диске");
        case EACCES:
        case EPERM:
        case EROFS:
            return tr("нет доступа к папке");
        default:
            return tr("ошибка записи файла");
        }
    case DownloadRequest::Error::HttpStatus:
        return tr("ошибка сервера %1").arg(request.httpStatus());
    case DownloadRequest::Error::PartialAnswer:
        return tr("неполный ответ сервера");
    case DownloadRequest::Error::NoAnswer:
        return tr("нет ответа сервиса");
    default:
        return tr("обрыв связи");
    }
}

QString Queue::statusText(const QueueItem &item, const QString &failure)
{
    const float size = floatValue(item.state);
    const float received = floatValue(item.received);
    if (size == -2.0f) {
        if (failure.isEmpty() || failure == tr("обрыв связи"))
            return tr("обрыв связи, нажмите для запуска");
        return failure + tr(", нажмите для запуска");
    }
    if (size == -1.0f)
        return tr("нажмите для запуска");
    if (size == 0.0f)
        return tr("сохранение запущено");
    if (size > 0 && received >= size)
        return tr("сохранение завершено");
    if (size > 0) {
        return QString::asprintf(tr("осталось %.2f Мб (всего %.2f Мб)").toUtf8().constData(),
                                 double((size - received) * 0x1p-20f), double(size * 0x1p-20f));
    }
    return QString();
}

double Queue::progress(const QueueItem &item, quint64 knownSize)
{
    float size = floatValue(item.state);
    // A failed or restarted item keeps showing the part of its file that is on disk.
    if ((size == -2.0f || size == 0.0f) && knownSize > 0 && floatValue(item.received) > 0)
        size = float(knownSize);
    if (size <= 0)
        return 0;
    return std::clamp(double(floatValue(item.received) / size), 0.0, 1.0);
}

void Queue::setPointerHeld(bool held)
{
    m_pointerHeld = held;
    if (!held && m_reloadDeferred) {
        m_reloadDeferred = false;
        reloadTable();
    }
}

void Queue::reloadTable()
{
    if (m_pointerHeld) {
        m_reloadDeferred = true;
        return;
    }
    const GlobalData *global = GlobalData::sharedGlobalData();
    std::vector<QueueRowModel::Row> rows;
    rows.reserve(size_t(global->audioQueueArray.size() + global->videoQueueArray.size() + 2));
    const QList<QueueItem> *lists[2] = {&global->audioQueueArray, &global->videoQueueArray};
    // Transfers waiting for an answer after a time-out say which retry they are at.
    QHash<int, QString> retrying;
    if (m_pool) {
        for (const DownloadRequestPtr &operation : m_pool->operations()) {
            if (const int retry = operation->retryWaiting(); retry > 0)
                retrying.insert(
                    operation->tag(),
                    tr("повтор %1 из %2")
                        .arg(QString::number(retry), QString::number(operation->options().retriesOnTimeout)));
        }
    }
    const char *headers[2] = {QT_TRANSLATE_NOOP("Queue", "Очередь аудиозаписей"),
                              QT_TRANSLATE_NOOP("Queue", "Очередь видеозаписей")};
    for (int section = 0; section < 2; ++section) {
        QueueRowModel::Row header;
        header.header = true;
        header.title = tr(headers[section]);
        header.section = section;
        header.tag = -1;
        rows.push_back(header);
        for (int i = 0; i < lists[section]->size(); ++i) {
            const QueueItem &item = lists[section]->at(i);
            QueueRowModel::Row row;
            row.name = item.name;
            const ItemInfo info = m_info.value(intValue(item.tag));
            const int tag = intValue(item.tag);
            row.status = floatValue(item.state) >= 0 ? retrying.value(tag, statusText(item, info.failure))
                                                     : statusText(item, info.failure);
            row.progress = progress(item, info.lastSize);
            row.icon = section == 0 ? QStringLiteral("icon_audio.png") : QStringLiteral("icon_video.png");
            row.section = section;
            row.row = i;
            row.tag = intValue(item.tag);
            row.removable = removalFor(item) != Removal::Nothing;
            rows.push_back(row);
        }
    }
    m_rows.setRows(std::move(rows));
}

void Queue::request(DownloadRequest &request, quint64 bytes)
{
    try {
        GlobalData *global = GlobalData::sharedGlobalData();
        global->totalTraffic = global->totalTraffic + float(bytes);
        const QString size = QString::asprintf("%llu", (unsigned long long)request.contentLength());
        const QString received = QString::asprintf("%llu", (unsigned long long)request.totalBytesRead());
        if (request.contentLength() > 0)
            m_info[request.tag()].lastSize = request.contentLength();
        for (QList<QueueItem> *list : {&global->audioQueueArray, &global->videoQueueArray}) {
            const int index = indexOfTag(*list, request.tag());
            if (index < 0)
                continue;
            QueueItem &item = (*list)[index];
            GlobalData::replace(item.state, size);
            GlobalData::replace(item.received, received);
        }
    } catch (...) {
        Log::line(QStringLiteral("Ошибка в очереди (получение данных)!"));
    }
}

void Queue::requestDone(DownloadRequest &request)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    removeFirstWithTag(global->audioQueueArray, request.tag());
    removeFirstWithTag(global->videoQueueArray, request.tag());
    m_info.remove(request.tag());
    const QString saved =
        request.finalPath().isEmpty() ? request.options().destinationPath : request.finalPath();
    m_claimedPaths.insert(saved, request.tag()); // the file of this run stays this item's
    postUpdateBadges();
    Q_EMIT transferFinished(request.tag(), saved);
}

void Queue::requestFailed(DownloadRequest &request)
{
    Log::line(request.errorDescription());
    m_info[request.tag()].failure = failureReason(request);
    GlobalData *global = GlobalData::sharedGlobalData();
    for (QList<QueueItem> *list : {&global->audioQueueArray, &global->videoQueueArray}) {
        const int index = indexOfTag(*list, request.tag());
        if (index >= 0)
            GlobalData::replace((*list)[index].state, QStringLiteral("-2"));
    }
    postUpdateBadges();
    Q_EMIT transferFailed(request.tag(), request.errorDescription());
}

void Queue::didReceiveMemoryWarning()
{
    try {
        if (m_pool)
            m_pool->cancelAllOperations();
    } catch (...) {
        Q_EMIT alertRequested(
            tr("Ошибка"),
            tr("Нехватка оперативной памяти. Завершите все прочие приложения или перезагрузите устройство."),
            {tr("Готово")}, 0);
    }
}

void Queue::stopAllTransfers(std::function<void()> stopped)
{
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
    connect(this, &Queue::transferFailed, waiter, check);
    connect(this, &Queue::transferFinished, waiter, check);
    QTimer::singleShot(stopWaitMs, waiter, finish);
    m_pool->cancelAllOperations();
}

namespace {
QPointer<Queue> sharedQueue;
} // namespace

void Queue::setShared(Queue *queue)
{
    sharedQueue = queue;
}

Queue *Queue::shared()
{
    return sharedQueue;
}

void Queue::whenTransfersStopped(std::function<void()> stopped)
{
    if (Queue *queue = sharedQueue.data())
        queue->stopAllTransfers(std::move(stopped));
    else
        stopped();
}

void Queue::updateBadges()
{
    Badges::shared().updateBadges();
}

void Queue::postUpdateBadges()
{
    QMetaObject::invokeMethod(this, &Queue::updateBadges, Qt::QueuedConnection);
}

void Queue::watchMemoryPressure()
{
#ifdef __linux__
    if (m_pressure)
        return;
    // The kernel's pressure stall information wakes us when every runnable task has waited for memory 0.3 s
    // within 2 s (unprivileged triggers need a 2 s window); only when little memory is left then
    // (isLowMemory) does that count as a phone's low-memory warning.
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
    connect(m_pressure, &QSocketNotifier::activated, this, &Queue::memoryPressure);
#endif
}

void Queue::memoryPressure()
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly) && isLowMemory(meminfo.readAll()))
        didReceiveMemoryWarning();
}

bool Queue::isLowMemory(const QByteArray &meminfo)
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
