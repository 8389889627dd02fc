#pragma once

#include "core/Records.h"
#include "downloads/DownloadQueue.h"
#include "screens/QueueRowModel.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

class QTimer;

// The download queue screen's controller: draws the two queues of a DownloadQueue (the program's by default)
// once a second while the screen can be seen, and hands the button strip, the row taps and the remove buttons
// to the queue. Main thread only.
class Queue : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QueueRowModel *rows READ rows CONSTANT)

public:
    explicit Queue(DownloadQueue *queue = nullptr, QObject *parent = nullptr);
    explicit Queue(QObject *parent) : Queue(nullptr, parent) {}
    ~Queue() override;

    DownloadQueue &queue() const { return *m_queue; }
    QueueRowModel *rows() { return &m_rows; }

    // The button strip.
    Q_INVOKABLE void startAll();
    Q_INVOKABLE void clearInactive();
    Q_INVOKABLE void trafficButtonPressed();
    // A row's remove button: not started, started or finished, by the state of the item with `tag`.
    Q_INVOKABLE void removeButton(int tag);
    Q_INVOKABLE void rowTapped(int section, int row);
    // A row's "show in folder": the file manager at the item's file (its part while it downloads), else at
    // its queue's folder.
    Q_INVOKABLE void showInFolder(int tag);
    // While a pointer is pressed on the table its rows stay where they are, so that the row released on is
    // the row pressed on; the redraws held back meanwhile happen at the release.
    Q_INVOKABLE void setPointerHeld(bool held);
    bool pointerHeld() const { return m_pointerHeld; }

    // Screen lifecycle.
    Q_INVOKABLE void viewDidLoad();
    Q_INVOKABLE void viewWillAppear();
    Q_INVOKABLE void viewDidAppear();
    Q_INVOKABLE void viewWillDisappear();
    // Timer tick: redraws while the application is active and the screen is on show.
    Q_INVOKABLE void updateQueue();
    // Memory runs out: every transfer is cancelled, each can be started again.
    Q_INVOKABLE void cancelTransfersForLowMemory();

    // Reloads the rows from the queue.
    void reloadTable();
    // The status text and progress of an item, as its row shows them. A failed item names its cause when it
    // is known (`failure`, from failureReason) and keeps the share of the file already on disk (`knownSize`:
    // the size the item had before it failed, 0 when unknown).
    static QString statusText(const QueueItem &item, const QString &failure = QString());
    static double progress(const QueueItem &item, qint64 knownSize = 0);
    // The cause of a failed transfer in the words of the row: "нет места на диске", "нет доступа к папке",
    // "ошибка сервера NNN", "неполный ответ сервера", "нет ответа сервиса", else "обрыв связи".
    static QString failureReason(DownloadRequest::Error error, int systemError, long httpStatus);
    // A running transfer's speed and the time its `left` bytes take at that speed: "1.50 Мб/с, ещё 1:05".
    static QString speedText(double bytesPerSecond, qint64 left);

    // The clock the speed is measured by, in milliseconds (default: a monotonic clock); tests step it.
    void setClock(std::function<qint64()> milliseconds) { m_clock = std::move(milliseconds); }

    // Tells whether the queue may redraw: the program's window is shown and not minimised (default: asks the
    // GUI application's windows; without a GUI, yes).
    void setApplicationActiveProvider(std::function<bool()> provider)
    {
        m_activeProvider = std::move(provider);
    }

Q_SIGNALS:
    // Show an alert: no title when empty; tag 0, no answer expected.
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    // Scroll the row to the middle of the table (animated).
    void scrollToRowRequested(int section, int row);

private:
    bool applicationActive() const;
    // The item's bytes per second over the last few redraws, the count `received` noted now; -1 while
    // unknown.
    double noteSpeed(int tag, qint64 received, qint64 now);

    struct Sample
    {
        qint64 time = 0;
        qint64 received = 0;
    };

    QPointer<DownloadQueue> m_queue;
    QueueRowModel m_rows;
    QPointer<QTimer> m_timer;
    std::function<bool()> m_activeProvider;
    std::function<qint64()> m_clock;
    QHash<int, std::deque<Sample>> m_samples; // by tag: the byte counts of the redraws of the last seconds
    bool m_visible = false;
    bool m_pointerHeld = false;
    bool m_reloadDeferred = false;
};
