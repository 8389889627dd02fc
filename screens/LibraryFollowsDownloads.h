#pragma once

#include "downloads/DownloadQueue.h"
#include "library/LibraryBrowser.h"

// A library or export screen lists again, in place, when a download lands in the folder it shows.
inline void followFinishedDownloads(LibraryBrowser *screen)
{
    QObject::connect(&DownloadQueue::shared(), &DownloadQueue::itemFinished, screen,
                     [screen](int, const QString &path) { screen->fileChanged(path); });
}
