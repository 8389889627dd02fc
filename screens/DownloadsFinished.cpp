#include "screens/DownloadsFinished.h"

#include "downloads/DownloadQueue.h"

DownloadsFinished::DownloadsFinished(DownloadQueue *queue, QObject *parent) : QObject(parent), m_queue(queue)
{
    if (queue)
        connect(queue, &DownloadQueue::itemFinished, this, [this] { transferFinished(); });
}

void DownloadsFinished::transferFinished()
{
    ++m_saved;
    if (m_queue && m_queue->count() > 0)
        return;
    const int saved = m_saved;
    m_saved = 0;
    Q_EMIT noticeRequested(tr("Загрузки завершены"), tr("Сохранено файлов: %n", nullptr, saved));
}
