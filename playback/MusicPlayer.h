#pragma once

#include <QString>

// The music player behind the player screen, the remote control and the MPRIS service: the current playlist
// (GlobalData::audioPlaylistArray) and the shared player that plays its current entry. Main thread only.
class MusicPlayer
{
public:
    MusicPlayer() = delete;

    // Resume or pause the shared player; nothing without one.
    static void play();
    static void pause();

    // The index of the last entry marked "1", or -1 when no entry is current.
    static int currentIndex();
    // A playlist entry as the rows show it: the file name without folder and extension.
    static QString displayName(const QString &file);
};
