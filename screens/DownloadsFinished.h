#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class DownloadQueue;

// Tells the desktop when the download queue has emptied through finished transfers: one notification per run
// of the queue, saying how many files were saved since the queue last emptied. A queue emptied only by
// removals says nothing.
class DownloadsFinished : public QObject
{
    Q_OBJECT
public:
    explicit DownloadsFinished(DownloadQueue *queue, QObject *parent = nullptr);

    int savedSinceLastNotice() const { return m_saved; }

    // Counts one saved file; when no item is left in either queue, asks for the notice.
    void transferFinished();

Q_SIGNALS:
    void noticeRequested(const QString &summary, const QString &body);

private:
    QPointer<DownloadQueue> m_queue;
    int m_saved = 0;
};
