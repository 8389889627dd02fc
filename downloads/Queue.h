#pragma once

#include "core/Records.h"
#include "downloads/QueueRowModel.h"
#include "net/DownloadEngine.h"

#include <QAbstractListModel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <QHash>

#include <functional>
#include <vector>

class QSocketNotifier;
class QTimer;

// The download queue screen's controller: starts, follows and removes the transfers of the two queue lists
// (GlobalData::audioQueueArray and videoQueueArray), counts the traffic and keeps the badges. Main thread
// only.
class Queue : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QueueRowModel *rows READ rows CONSTANT)

public:
    static constexpr int maxConcurrentTransfers = 3;
    static constexpr int transferTimeoutSeconds = 120;
    static constexpr int retriesOnTimeout = 100;
    // How long stopAllTransfers waits for the transfers to report their end.
    static constexpr int stopWaitMs = 10000;

    explicit Queue(QObject *parent = nullptr);
    ~Queue() override;

    QueueRowModel *rows() { return &m_rows; }

    // The transfers started from now on wait this long for a byte before a time-out (tests shorten it), and,
    // when `giveUpAfter` is not 0, end as unanswered after that many time-outs in a row without any byte
    // (melodrop-cli: 3) instead of using up the retries. The window keeps 120 s and its 100 retries.
    void setTransferTimeout(double seconds, int giveUpAfter = 0)
    {
        m_timeoutSeconds = seconds;
        m_giveUpAfterSilentTimeouts = giveUpAfter;
    }

    // The button strip.
    Q_INVOKABLE void startAll();
    Q_INVOKABLE void clearInactive();
    Q_INVOKABLE void trafficButtonPressed();
    // A row's remove button: not started, started or finished, by the state of the item with `tag`.
    Q_INVOKABLE void removeButton(int tag);
    void removeButtonNotStarted(int tag);
    void removeButtonStarted(int tag);
    Q_INVOKABLE void rowTapped(int section, int row);
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
    // Cancels every transfer; each reports failure, so its item can be started again.
    Q_INVOKABLE void didReceiveMemoryWarning();
    // Cancels every transfer as above and calls `stopped` once the pool has reported each of them ended (at
    // once when none runs), so that the caller can remove the media files without a transfer writing into
    // them or moving a finished file into place afterwards.
    void stopAllTransfers(std::function<void()> stopped);
    // The program's one queue (the shell's), whose transfers end before anything deletes the media files;
    // nullptr while there is none.
    static void setShared(Queue *queue);
    static Queue *shared();
    // stopAllTransfers of the shared queue; `stopped` runs at once when there is none.
    static void whenTransfersStopped(std::function<void()> stopped);
    void updateBadges();

    // Starts the item at `row` of section 0 (audio) or 1 (video); false when there is none.
    bool startItem(int section, int row);

    // Transfer callbacks.
    void request(DownloadRequest &request, quint64 bytes);
    void requestDone(DownloadRequest &request);
    void requestFailed(DownloadRequest &request);

    // The transfer pool; nullptr until the first start.
    DownloadEngine *transferPool() const { return m_pool; }

    // Reloads the rows from the lists.
    void reloadTable();
    // The status text and progress of an item, as its row shows them. A failed item names its cause when it
    // is known (`failure`, from failureReason) and keeps the share of the file already on disk (`knownSize`:
    // the size the item had before it failed, 0 when unknown).
    static QString statusText(const QueueItem &item, const QString &failure = QString());
    static double progress(const QueueItem &item, quint64 knownSize = 0);
    // The cause of a failed transfer in the words of the row: "нет места на диске", "нет доступа к папке",
    // "ошибка сервера NNN", "неполный ответ сервера", "нет ответа сервиса", else "обрыв связи".
    static QString failureReason(const DownloadRequest &request);
    // Where an item is saved (`copy` 2, 3, … adds " (2)" … before the extension) and where its data go
    // meanwhile. The name is cut so that the temporary file's name fits the file system's 255 bytes.
    static QString finalPath(const QueueItem &item, bool video, int copy = 1);
    static QString temporaryPath(const QString &finalPath, int tag);
    static constexpr int maxFileNameBytes = 255;

    // Tells whether the queue may redraw: the program's window is shown and not minimised (default: asks the
    // GUI application's windows; without a GUI, yes).
    void setApplicationActiveProvider(std::function<bool()> provider)
    {
        m_activeProvider = std::move(provider);
    }

    // A low-memory signal is real when the memory still available is below this share of all memory (1/32,
    // about 3 %): the kernel's pressure reports wake us for less, and ordinary pressure (a full page cache,
    // a large build) must not cancel downloads. `meminfo` is the text of /proc/meminfo.
    static constexpr int lowMemoryShare = 32;
    static bool isLowMemory(const QByteArray &meminfo);

Q_SIGNALS:
    // Show an alert: no title when empty; tag 0, no answer expected.
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    // Scroll the row to the middle of the table (animated).
    void scrollToRowRequested(int section, int row);
    // After the finish and failure callbacks have been handled.
    void transferFinished(int tag, const QString &path);
    void transferFailed(int tag, const QString &description);

private:
    enum class Removal { NotStarted, Started, Nothing };
    static Removal removalFor(const QueueItem &item);
    void startItem(QList<QueueItem> &list, int index, bool video);
    DownloadEngine *pool();
    void postUpdateBadges();
    bool applicationActive() const;
    void watchMemoryPressure();
    void memoryPressure();
    // The first of "name.ext", "name (2).ext", … that no other item of this run has claimed.
    QString claimFinalPath(const QueueItem &item, bool video, int tag);

    struct ItemInfo
    {
        QString failure;      // the row's cause of the last failure
        quint64 lastSize = 0; // the size the item showed last
    };
    QHash<int, ItemInfo> m_info;        // by tag
    QHash<QString, int> m_claimedPaths; // final path → the tag that saves (or saved) there in this run

    QueueRowModel m_rows;
    double m_timeoutSeconds = transferTimeoutSeconds;
    int m_giveUpAfterSilentTimeouts = 0;
    QPointer<DownloadEngine> m_pool;
    QPointer<QTimer> m_timer;
    std::function<bool()> m_activeProvider;
    int m_pressureFd = -1;
    bool m_pointerHeld = false;
    bool m_reloadDeferred = false;
    QSocketNotifier *m_pressure = nullptr;
};
