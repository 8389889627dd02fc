#include "screens/DownloadsFinished.h"

#include "core/GlobalData.h"
#include "downloads/Queue.h"

DownloadsFinished::DownloadsFinished(Queue *queue, QObject *parent) : QObject(parent)
{
    if (queue)
        connect(queue, &Queue::transferFinished, this, [this] { transferFinished(); });
}

void DownloadsFinished::transferFinished()
{
    ++m_saved;
    GlobalData *global = GlobalData::sharedGlobalData();
    if (!global->audioQueueArray.isEmpty() || !global->videoQueueArray.isEmpty())
        return;
    const int saved = m_saved;
    m_saved = 0;
    Q_EMIT noticeRequested(tr("Загрузки завершены"), tr("Сохранено файлов: %n", nullptr, saved));
}
