#include "screens/Video_Library.h"

#include "decoding/Text.h"
#include "downloads/DownloadQueue.h"
#include "screens/LibraryFollowsDownloads.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

Video_Library::Video_Library(Settings *settings, QObject *parent)
    : LibraryBrowser(VideoMedia, LibraryScreen, settings, parent)
{
    followFinishedDownloads(this);
}

void Video_Library::rowSelected(int row)
{
    const QString name = entryName(row);
    if (name.isEmpty())
        return;
    if (isFolder(name)) {
        enterFolder(name);
        return;
    }
    Q_EMIT videoPlayerRequested(fullPath(name), QStringLiteral("library"));
}

void Video_Library::deleteRow(int row)
{
    const QString name = entryName(row);
    if (name.isEmpty())
        return;
    deletePaths({relativePath(name)});
}

void Video_Library::openFile(const QString &path)
{
    Q_EMIT videoPlayerRequested(mediaDir() + QLatin1Char('/') + path, QStringLiteral("library"));
}

void Video_Library::clearMedia()
{
    Q_EMIT alertRequested(
        tr("Предупреждение"),
        tr("Вы уверены, что хотите удалить все файлы из медиатеки? Учтите, они также будут удалены "
           "из памяти устройства."),
        {tr("Отмена"), tr("Очистить")}, ClearAlert);
}

void Video_Library::alertAnswered(int tag, int index)
{
    if (tag == ClearAlert && index == 1) {
        // The transfers end first: one still running would otherwise find its folder gone when it moves its
        // finished file into place.
        DownloadQueue::whenTransfersStopped([screen = QPointer<Video_Library>(this)] {
            if (screen)
                screen->removeAllMedia();
        });
    }
}
