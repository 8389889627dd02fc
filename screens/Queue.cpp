#include "screens/Queue.h"

#include "core/StorageLayout.h"
#include "decoding/Log.h"
#include "desktop/Portals.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QSet>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <exception>

namespace {

// The one queue redraw timer of the program: a screen loaded again stops the earlier one.
QPointer<QTimer> queueUpdateTimer;

// A row's speed is the average over about this long, so that it neither jumps with each redraw nor lags.
constexpr qint64 speedWindowMs = 5000;

} // namespace

Queue::Queue(DownloadQueue *queue, QObject *parent)
    : QObject(parent), m_queue(queue ? queue : &DownloadQueue::shared()), m_rows(this)
{
    // Memory running out cancels the transfers in the queue itself; the screen says so when it could not.
    connect(m_queue, &DownloadQueue::lowMemory, this, [this] { reloadTable(); });
}

Queue::~Queue()
{
    if (m_timer && queueUpdateTimer == m_timer)
        queueUpdateTimer = nullptr;
}

void Queue::startAll()
{
    m_queue->startAll();
}

void Queue::rowTapped(int section, int row)
{
    Q_EMIT scrollToRowRequested(section, row);
    m_queue->startIfIdle(section, row);
}

void Queue::clearInactive()
{
    m_queue->removeWaiting();
    reloadTable(); // at once, not at the next tick: the rows go as the button is pressed
}

void Queue::trafficButtonPressed()
{
    const float megabytes = m_queue->totalTraffic() * 0x1p-20f;
    const quint64 bandwidth = m_queue->averageBandwidth();
    const QString format =
        tr("Объём данных, полученный с момента запуска приложения:\n\n%.2f Мб (@ ~%.f Кбит/с)");
    const QString message =
        QString::asprintf(format.toUtf8().constData(), double(megabytes), double(bandwidth >> 7));
    Q_EMIT alertRequested(QString(), message, {tr("Готово")}, 0);
}

void Queue::removeButton(int tag)
{
    m_queue->remove(tag);
    reloadTable();
}

void Queue::showInFolder(int tag)
{
    QString path = m_queue->fileOnDisk(tag);
    if (path.isEmpty()) {
        const bool video = std::any_of(m_queue->items(DownloadQueue::Video).cbegin(),
                                       m_queue->items(DownloadQueue::Video).cend(),
                                       [tag](const QueueItem &item) { return item.tag == tag; });
        path = video ? StorageLayout::getVideoDir() : StorageLayout::getAudioDir();
    }
    Portals::showInFolder(path, this, {});
}

void Queue::viewDidLoad()
{
    if (queueUpdateTimer) {
        queueUpdateTimer->stop();
        queueUpdateTimer->deleteLater();
    }
    auto *timer = new QTimer(this);
    timer->setInterval(1000);
    connect(timer, &QTimer::timeout, this, &Queue::updateQueue);
    timer->start();
    m_timer = timer;
    queueUpdateTimer = timer;
    m_queue->watchMemoryPressure();
}

void Queue::viewWillAppear()
{
    reloadTable();
}

void Queue::viewDidAppear()
{
    m_visible = true;
}

void Queue::viewWillDisappear()
{
    m_visible = false;
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
        if (applicationActive() && m_visible)
            reloadTable();
    } catch (...) {
        Log::line(QStringLiteral("Ошибка таймера в очереди!"));
    }
}

void Queue::cancelTransfersForLowMemory()
{
    try {
        m_queue->cancelAll();
    } catch (...) {
        Q_EMIT alertRequested(
            tr("Ошибка"),
            tr("Нехватка оперативной памяти. Завершите все прочие приложения или перезагрузите устройство."),
            {tr("Готово")}, 0);
    }
}

QString Queue::failureReason(DownloadRequest::Error error, int systemError, long httpStatus)
{
    switch (error) {
    case DownloadRequest::Error::File:
        switch (systemError) {
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
        return tr("ошибка сервера %1").arg(httpStatus);
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
    switch (item.state) {
    case QueueItem::State::Failed:
        if (failure.isEmpty() || failure == tr("обрыв связи"))
            return tr("обрыв связи, нажмите для запуска");
        return failure + tr(", нажмите для запуска");
    case QueueItem::State::Waiting:
        return tr("нажмите для запуска");
    case QueueItem::State::Started:
        break;
    }
    if (item.size <= 0)
        return tr("сохранение запущено");
    if (item.complete())
        return tr("сохранение завершено");
    // Megabytes in single precision, as the row has always shown them.
    return QString::asprintf(tr("осталось %.2f Мб (всего %.2f Мб)").toUtf8().constData(),
                             double(float(item.size - item.received) * 0x1p-20f),
                             double(float(item.size) * 0x1p-20f));
}

QString Queue::speedText(double bytesPerSecond, qint64 left)
{
    QString rate = bytesPerSecond >= 1024.0 * 1024.0
                       ? tr("%1 Мб/с").arg(QString::asprintf("%.2f", bytesPerSecond / (1024.0 * 1024.0)))
                       : tr("%1 Кб/с").arg(QString::number(std::llround(bytesPerSecond / 1024.0)));
    // A wrapped status line never splits the rate: "145 Кб/" above "с" reads as a different unit.
    rate.replace(QLatin1Char(' '), QChar::Nbsp).replace(QLatin1Char('/'), QStringLiteral("/\u2060"));
    if (bytesPerSecond < 1 || left <= 0)
        return rate; // stalled: no time can be told
    const qint64 seconds = qint64(std::ceil(double(left) / bytesPerSecond));
    const QString time = seconds >= 3600 ? QString::asprintf("%lld:%02lld:%02lld", seconds / 3600,
                                                             seconds / 60 % 60, seconds % 60)
                                         : QString::asprintf("%lld:%02lld", seconds / 60, seconds % 60);
    return tr("%1, ещё %2").arg(rate, time);
}

double Queue::noteSpeed(int tag, qint64 received, qint64 now)
{
    std::deque<Sample> &samples = m_samples[tag];
    if (!samples.empty() && (received < samples.back().received || now < samples.back().time))
        samples.clear(); // the transfer started again from less
    if (samples.empty() || now > samples.back().time)
        samples.push_back({now, received});
    else
        samples.back().received = received;
    // The oldest sample kept is the last one at least a window old.
    while (samples.size() > 2 && now - samples[1].time >= speedWindowMs)
        samples.pop_front();
    const Sample &first = samples.front();
    if (samples.size() < 2 || now <= first.time)
        return -1;
    return double(received - first.received) * 1000.0 / double(now - first.time);
}

double Queue::progress(const QueueItem &item, qint64 knownSize)
{
    if (item.state == QueueItem::State::Waiting)
        return 0;
    qint64 size = item.state == QueueItem::State::Failed ? 0 : item.size;
    // A failed or restarted item keeps showing the part of its file that is on disk.
    if (size <= 0 && knownSize > 0 && item.received > 0)
        size = knownSize;
    if (size <= 0)
        return 0;
    return std::clamp(double(item.received) / double(size), 0.0, 1.0);
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
    std::vector<QueueRowModel::Row> rows;
    rows.reserve(size_t(m_queue->count() + 2));
    const qint64 now = m_clock ? m_clock()
                               : std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count();
    QSet<int> measured;
    const char *headers[2] = {QT_TRANSLATE_NOOP("Queue", "Очередь аудиозаписей"),
                              QT_TRANSLATE_NOOP("Queue", "Очередь видеозаписей")};
    for (const int section : {DownloadQueue::Audio, DownloadQueue::Video}) {
        QueueRowModel::Row header;
        header.header = true;
        header.title = tr(headers[section]);
        header.section = section;
        header.tag = -1;
        rows.push_back(header);
        const QList<QueueItem> &items = m_queue->items(section);
        for (int i = 0; i < items.size(); ++i) {
            const QueueItem &item = items.at(i);
            QueueRowModel::Row row;
            row.name = item.name;
            const int tag = item.tag;
            const QString failure =
                item.state == QueueItem::State::Failed
                    ? failureReason(m_queue->failure(tag), m_queue->failureSystemError(tag),
                                    m_queue->failureHttpStatus(tag))
                    : QString();
            row.status = statusText(item, failure);
            // A transfer waiting for an answer after a time-out says which retry it is at, as does one
            // waiting to start again after a break.
            if (item.state == QueueItem::State::Started) {
                if (const int retry = m_queue->retryWaiting(tag); retry > 0) {
                    row.status =
                        tr("повтор %1 из %2")
                            .arg(QString::number(retry), QString::number(DownloadQueue::retriesOnTimeout));
                } else if (const int again = m_queue->breakRetryPending(tag); again > 0) {
                    row.status =
                        tr("обрыв связи, повтор %1 из %2")
                            .arg(QString::number(again), QString::number(m_queue->retriesOnBreakSet()));
                } else if (item.size <= 0 && m_queue->waitsForSlot(tag)) {
                    row.status = tr("Ожидает");
                } else if (item.size > 0 && !item.complete()) {
                    measured.insert(tag);
                    if (const double speed = noteSpeed(tag, item.received, now); speed >= 0)
                        row.status += QStringLiteral(", ") + speedText(speed, item.size - item.received);
                }
            }
            const QString failureText =
                item.state == QueueItem::State::Failed || m_queue->breakRetryPending(tag)
                    ? m_queue->failureText(tag)
                    : QString();
            row.detail = failureText.isEmpty() ? row.status : row.status + QLatin1Char('\n') + failureText;
            row.progress = progress(item, m_queue->lastSize(tag));
            row.icon = section == DownloadQueue::Audio ? QStringLiteral("icon_audio.png")
                                                       : QStringLiteral("icon_video.png");
            row.section = section;
            row.row = i;
            row.tag = tag;
            row.removable = !item.complete();
            rows.push_back(row);
        }
    }
    m_samples.removeIf([&measured](const QHash<int, std::deque<Sample>>::iterator &entry) {
        return !measured.contains(entry.key());
    });
    m_rows.setRows(std::move(rows));
}
