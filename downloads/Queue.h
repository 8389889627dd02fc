#pragma once

#include "core/Records.h"
#include "downloads/QueueRowModel.h"
#include "net/DownloadEngine.h"

#include <QAbstractListModel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

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

    explicit Queue(QObject *parent = nullptr);
    ~Queue() override;

    QueueRowModel *rows() { return &m_rows; }

    // The button strip.
    Q_INVOKABLE void startAll();
    Q_INVOKABLE void clearInactive();
    Q_INVOKABLE void trafficButtonPressed();
    // A row's remove button: not started, started or finished, by the state of the item with `tag`.
    Q_INVOKABLE void removeButton(int tag);
    void removeButtonNotStarted(int tag);
    void removeButtonStarted(int tag);
    Q_INVOKABLE void rowTapped(int section, int row);

    // Screen lifecycle.
    Q_INVOKABLE void viewDidLoad();
    Q_INVOKABLE void viewWillAppear();
    Q_INVOKABLE void viewDidAppear();
    Q_INVOKABLE void viewWillDisappear();
    // Timer tick: redraws while the application is active and the screen is on show.
    Q_INVOKABLE void updateQueue();
    // Cancels every transfer; each reports failure, so its item can be started again.
    Q_INVOKABLE void didReceiveMemoryWarning();
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
    // The status text and progress of an item, as its row shows them.
    static QString statusText(const QueueItem &item);
    static double progress(const QueueItem &item);
    // Where an item is saved and where its data go meanwhile.
    static QString finalPath(const QueueItem &item, bool video);
    static QString temporaryPath(const QString &finalPath, int tag);

    // Tells whether the application is in the foreground (default: the GUI application's state, else yes).
    void setApplicationActiveProvider(std::function<bool()> provider)
    {
        m_activeProvider = std::move(provider);
    }

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

    QueueRowModel m_rows;
    QPointer<DownloadEngine> m_pool;
    QPointer<QTimer> m_timer;
    std::function<bool()> m_activeProvider;
    int m_pressureFd = -1;
    QSocketNotifier *m_pressure = nullptr;
};
