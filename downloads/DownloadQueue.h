#pragma once

#include "core/Records.h"
#include "net/DownloadEngine.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QSocketNotifier;

// The two download queues, audio and video, and their transfers: the one owner of the queue items. It starts,
// follows, stops and removes the transfers, names the files, counts the traffic and cancels everything when
// memory runs out. It needs nothing but Qt Core, so that melodrop-cli runs a download exactly as the window
// does.
//
// Thread rule: main thread only. The engine delivers its callbacks there; background work never touches the
// queue. Observers (the queue screen, the badges, the notification, the library, the quit question) connect
// to the signals below; the queue calls none of them.
class DownloadQueue : public QObject
{
    Q_OBJECT

public:
    enum Section { Audio = 0, Video = 1 };
    static constexpr int maxConcurrentTransfers = 3;
    static constexpr int transferTimeoutSeconds = 120;
    static constexpr int retriesOnTimeout = 100;
    // A transfer broken by the network (reset, refused, cut short) starts again by itself this many times,
    // from where its file stopped, after pauses of firstRetryPauseSeconds doubling each time; only then is
    // the item marked failed.
    static constexpr int retriesOnBreak = 4;
    static constexpr double firstRetryPauseSeconds = 2;
    // How long stopAllTransfers waits for the transfers to report their end.
    static constexpr int stopWaitMs = 10000;
    static constexpr int maxFileNameBytes = 255;

    explicit DownloadQueue(QObject *parent = nullptr);
    // Stops the transfers without callbacks; their temporary files stay.
    ~DownloadQueue() override;

    // The program's queue, made on first use. melodrop-cli makes its own.
    static DownloadQueue &shared();

    const QList<QueueItem> &items(int section) const { return m_items[section == Video ? 1 : 0]; }
    // Items in both queues.
    int count() const { return int(m_items[0].size() + m_items[1].size()); }
    // Whether a transfer is under way (started and not yet failed or saved).
    bool transfersRunning() const;

    // Joins `items` to the end of a queue (the catalogue screens' queue buttons).
    void append(int section, const QList<QueueItem> &items);
    void append(int section, const QueueItem &item) { append(section, QList<QueueItem>{item}); }

    // The transfers started from now on wait this long for a byte before a time-out (tests shorten it), and,
    // when `giveUpAfter` is not 0, end as unanswered after that many time-outs in a row without any byte
    // (melodrop-cli: 3) instead of using up the retries. The window keeps 120 s and its 100 retries.
    void setTransferTimeout(double seconds, int giveUpAfter = 0)
    {
        m_timeoutSeconds = seconds;
        m_giveUpAfterSilentTimeouts = giveUpAfter;
    }

    // How many times a broken transfer starts again by itself (retriesOnBreak; melodrop-cli: 0, a script
    // decides for itself).
    void setRetriesOnBreak(int count) { m_retriesOnBreak = count; }
    int retriesOnBreakSet() const { return m_retriesOnBreak; }

    // Starts the item at `row` of a section whatever its state; false when there is none.
    bool start(int section, int row);
    // Starts every waiting and failed item, so that a second call starts nothing twice.
    void startAll();
    // Starts the item at `row` when it is waiting or failed (a tap on its row).
    void startIfIdle(int section, int row);
    // Removes the waiting items: those never started and those whose transfer waits for a free slot (never
    // the failed ones or those whose transfer runs).
    void removeWaiting();
    // Removes the item with `tag`: a running transfer is cancelled first, its temporary file stays for a
    // later resume. A finished item leaves by itself and is not touched.
    void remove(int tag);
    // Cancels every transfer; each fails, so that its item can be started again.
    void cancelAll();
    // Cancels every transfer as above and calls `stopped` once each has reported its end (at once when none
    // runs; after stopWaitMs at the latest), so that the caller can remove the media files without a transfer
    // writing into them or moving a finished file into place afterwards.
    void stopAllTransfers(std::function<void()> stopped);
    // The same for the shared queue, when one has been made; `stopped` runs at once otherwise.
    static void whenTransfersStopped(std::function<void()> stopped);
    // Empties both queues without callbacks (the transfers stop, their files stay). Tests start from here.
    void clear();

    // Bytes received by all transfers since the program started, and the rate over the last seconds.
    float totalTraffic() const { return m_totalTraffic; }
    quint64 averageBandwidth() const { return m_pool ? m_pool->averageBandwidthUsedPerSecond() : 0; }

    // What the queue knows of an item beyond the item itself: why it failed last, the size it had before
    // (to keep showing the part on disk), the time-out retry it is waiting in (0: none) and its limit.
    DownloadRequest::Error failure(int tag) const { return m_info.value(tag).failure; }
    int failureSystemError(int tag) const { return m_info.value(tag).systemError; }
    long failureHttpStatus(int tag) const { return m_info.value(tag).httpStatus; }
    qint64 lastSize(int tag) const { return m_info.value(tag).lastSize; }
    int retryWaiting(int tag) const;
    // The transfer's whole failure text (the last one while a retry is pending); empty while none.
    QString failureText(int tag) const { return m_info.value(tag).failureText; }
    // The automatic retry after a break the item is at (1, 2, …), while it waits for its pause to end; else
    // 0.
    int breakRetryPending(int tag) const
    {
        const ItemInfo info = m_info.value(tag);
        return info.retryPending ? info.breakRetries : 0;
    }
    // A started item whose transfer waits for one of the maxConcurrentTransfers slots.
    bool waitsForSlot(int tag) const;
    // The file of an item on disk: the finished file, else its part (the temporary file); empty when there is
    // neither.
    QString fileOnDisk(int tag) const;

    // The transfer pool; nullptr until the first start.
    DownloadEngine *transferPool() const { return m_pool; }

    // Where an item is saved (`copy` 2, 3, … adds " (2)" … before the extension) and where its data go
    // meanwhile. The name is cut so that the temporary file's name fits the file system's 255 bytes.
    static QString finalPath(const QueueItem &item, bool video, int copy = 1);
    static QString temporaryPath(const QString &finalPath, int tag);

    // A low-memory signal is real when the memory still available is below this share of all memory (1/32,
    // about 3 %): the kernel's pressure reports wake us for less, and ordinary pressure (a full page cache,
    // a large build) must not cancel downloads. `meminfo` is the text of /proc/meminfo.
    static constexpr int lowMemoryShare = 32;
    static bool isLowMemory(const QByteArray &meminfo);
    // Follows the kernel's memory pressure and cancels every transfer when memory really runs out.
    void watchMemoryPressure();

    // The transfer callbacks (public for tests that play the engine's part).
    void bytesArrived(DownloadRequest &request, quint64 bytes);
    void transferDone(DownloadRequest &request);
    void transferFailed(DownloadRequest &request);

Q_SIGNALS:
    void itemsInserted(int section, int first, int last);
    void itemsRemoved(int section, int first, int last);
    // An item's state or byte counts changed.
    void itemChanged(int section, int row);
    void countChanged(int count);
    // After the item has left the queue: the file is at `path`.
    void itemFinished(int tag, const QString &path);
    // After the item has been marked failed; `reason` is the transfer's own description.
    void itemFailed(int tag, const QString &reason);
    // Every transfer was cancelled because memory ran out.
    void lowMemory();

private:
    struct ItemInfo
    {
        DownloadRequest::Error failure = DownloadRequest::Error::None;
        int systemError = 0;
        long httpStatus = 0;
        qint64 lastSize = 0; // the size the item showed last
        QString failureText;
        int breakRetries = 0;      // automatic retries after a break since the item was started
        bool retryPending = false; // the pause before such a retry runs
    };

    QList<QueueItem> &list(int section) { return m_items[section == Video ? 1 : 0]; }
    // `retry`: the automatic start after a break, which keeps the count of retries.
    void startItem(int section, int row, bool retry = false);
    // Whether `request` broke off in a way that another attempt may mend, and one is left: then it is
    // scheduled and true.
    bool retryAfterBreak(DownloadRequest &request);
    // Items waiting for a retry fail now (the transfers are being stopped).
    void failPendingRetries();
    const QueueItem *itemWithTag(int tag) const;
    DownloadEngine *pool();
    void removeAt(int section, int row);
    void memoryPressure();
    // The first of "name.ext", "name (2).ext", … that no other item of this run has claimed.
    QString claimFinalPath(const QueueItem &item, bool video, int tag);

    QList<QueueItem> m_items[2];
    QHash<int, ItemInfo> m_info;        // by tag
    QHash<QString, int> m_claimedPaths; // final path → the tag that saves (or saved) there in this run
    float m_totalTraffic = 0;           // single precision, as the traffic notice has always counted
    double m_timeoutSeconds = transferTimeoutSeconds;
    int m_giveUpAfterSilentTimeouts = 0;
    int m_retriesOnBreak = retriesOnBreak;
    QPointer<DownloadEngine> m_pool;
    int m_pressureFd = -1;
    QSocketNotifier *m_pressure = nullptr;
};
