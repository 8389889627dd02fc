#pragma once

#include "downloads/DownloadQueue.h"
#include "library/LibraryStore.h"
#include "screens/LibraryBrowser.h"

// The library's stores learn of every download that lands, whichever screen is shown: the folder it landed
// in is read again on their worker, and the menus' counters and the titles follow. Connected once, by the
// first screen that shows library numbers.
inline void libraryStoresFollowDownloads()
{
    static bool connected = false;
    if (connected)
        return;
    connected = true;
    QObject::connect(&DownloadQueue::shared(), &DownloadQueue::itemFinished, &LibraryStore::audio(),
                     [](int, const QString &path) {
                         if (LibraryStore *store = LibraryStore::holding(path))
                             store->pathChanged(path);
                     });
}

// A library or export screen lists again, in place, when a download lands in the folder it shows.
inline void followFinishedDownloads(LibraryBrowser *screen)
{
    libraryStoresFollowDownloads();
    QObject::connect(&DownloadQueue::shared(), &DownloadQueue::itemFinished, screen,
                     [screen](int, const QString &path) { screen->fileChanged(path); });
}
