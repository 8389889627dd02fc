#pragma once

#include "core/Records.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

class QTimer;
class AudioPlayer;

// What is left of the process-wide state that has no owner of its own: the session, the service host and its
// tokens, the record tag counter, the paging positions, the player's shared state and the library listings.
// The lists of records, queues and the playlist have their owners (core/Stores.h, downloads/DownloadQueue.h).
class GlobalData
{
public:
    static GlobalData *sharedGlobalData();

    // The service's web host, `domain` until start-up points the program at another server.
    static constexpr const char *defaultDomain = "vk.com";

    GlobalData(const GlobalData &) = delete;
    GlobalData &operator=(const GlobalData &) = delete;

    // The session: the `remixsid` cookie's value (empty when signed out) and the user's number. Service
    // requests read them on background threads while sign-in and sign-out write them, so they are read and
    // written whole, under a lock.
    QString vksid() const;
    void setVksid(const QString &sid);
    QString vkuid() const;
    void setVkuid(const QString &uid);

    // The host.
    QString domain;
    QString addAudioHash;
    QString delAudioHash;

    // The library listings and the rights-holder list.
    QStringList audioLibraryArray;
    QStringList audioRiaaArray;
    QStringList videoLibraryArray;

    // Counters and flags.
    int fileTag() const { return m_fileTag.load(); }
    // Advances the record tag counter by one and returns the new value, as one atomic step.
    int nextFileTag() { return m_fileTag.fetch_add(1) + 1; }
    int audioSearchOffset = 0;
    int videoSearchOffset = 0;
    // A track change asked for from outside the player (media keys, MPRIS) and not yet made; while one is
    // pending the other remote buttons wait.
    enum class TrackStep { None = 0, Next = 1, Previous = -1 };
    TrackStep pendingTrackStep = TrackStep::None;
    AudioPlayer *audioPlayer = nullptr;
    bool playRandomMusic = false;
    // Repeat the current track: next, previous and its end start it again.
    bool playRepeatMusic = false;
    // With the track not repeated: after the last entry's end the playlist starts again (when false, playback
    // stops there).
    bool repeatPlaylist = true;
    QTimer *playbackTimer = nullptr;

private:
    GlobalData();
    mutable std::mutex m_sessionMutex;
    QString m_vksid;
    QString m_vkuid;
    std::atomic<int> m_fileTag{0};
};
