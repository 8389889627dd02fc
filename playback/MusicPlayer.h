#pragma once

#include "core/Records.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class AudioPlayer;
class LibraryPlayer;
class MusicDeck;
class QTimer;

// The music player: plays the current playlist (Stores::playlist()) one entry at a time through
// the shared player (GlobalData::audioPlayer), with the rules of next and previous under shuffle and repeat,
// the advance at the end of a track and the one-second tick that carries out next and previous requests made
// from outside (GlobalData::pendingTrackStep). It lives for the whole run, so the remote control and the
// MPRIS service drive it whether or not the player screen was ever opened; the screen shows what it does.
// Tracks are loaded into one long-lived libmpv instance (MusicDeck), never opened on the GUI thread; the
// entry that the end of the current track leads to (in order or under repeat) waits queued in it, so that the
// change has no silence. A shuffled next entry is drawn when the track ends and is loaded then. An entry
// whose file is gone is passed over. Main thread only.
class MusicPlayer : public QObject
{
    Q_OBJECT
public:
    static MusicPlayer &shared();
    ~MusicPlayer() override;

    // Resume or pause the shared player. Play with no player and no current entry starts the playlist's
    // first entry (the state after a restart or after loading a saved playlist).
    static void play();
    static void pause();

    // The index of the entry now playing (the playlist keeps it), or -1 when no entry is current.
    static int currentIndex();
    // A playlist entry as the rows show it: the file name without folder and extension.
    static QString displayName(const QString &file);
    // The file of an entry (its path relative to the audio folder) and whether it is still there.
    static QString filePath(const QString &relative);
    static bool isPlayable(const QString &relative);

    // Starts the one-second tick (at launch). libmpv is loaded and started by the first track, not here: a
    // window that plays nothing does without it.
    void start();
    // A new tick in place of the one running (the player screen's first load does this).
    void restartTimer();

    // Starts entry `index`, or the first playable entry after it when its file is gone.
    void playSound(int index);
    void next();
    void previous();
    // The tick: ticked() for the display, then any pending request from outside.
    void updateTime();

    // Repeat: none (the end of the last entry stops), the playlist (it starts again) or the current track.
    enum class Repeat { Off = 0, Playlist = 1, Track = 2 };
    Q_ENUM(Repeat)
    // Shuffle and repeat (GlobalData::playRandomMusic / playRepeatMusic / repeatPlaylist), announced through
    // PlayerEvents and kept in the settings ("player/shuffle", "player/repeat" = off|playlist|track), which a
    // new player reads back.
    void setShuffle(bool on);
    static Repeat repeat();
    void setRepeat(Repeat mode);
    // The next mode of the repeat button: off, playlist, track, off …
    static Repeat nextRepeat(Repeat mode);
    static QString repeatName(Repeat mode);

    // The music's volume, 0 to 1.
    double volume() const;
    void setVolume(double volume);

    // Draws indexes for shuffle (tests make it predictable); none gives the system's generator back.
    void setRandomSource(std::function<quint32()> source);

    // The libmpv instance of the music, made (and libmpv loaded) on the first call.
    MusicDeck *deck();

Q_SIGNALS:
    // Entry `index` is now the current one and its player is the shared player (none when libmpv is missing).
    void trackStarted(int index);
    // No entry of the playlist could be played: the shared player was dropped.
    void nothingToPlay();
    // The current track's length became known.
    void durationKnown(double seconds);
    // Once a second, before requests from outside are carried out.
    void ticked();
    void volumeChanged();

private:
    explicit MusicPlayer(QObject *parent);
    // The modes the settings remember; a key never written leaves the mode as it is.
    static void restoreModes();
    // The first entry with a file, from `index` on in steps of `step` around the playlist; -1 when none.
    static int playableFrom(int index, int step);
    void startEntry(int index, int step);
    // The shared player played its track to the end: the next one, unless the playlist ends here.
    void trackFinished();
    int randomIndexOtherThan(int current) const;
    void follow(LibraryPlayer *player);
    // The entry the end of the current track leads to without a random draw; -1 when none or under shuffle.
    static int upcomingIndex();
    // Queues upcomingIndex()'s file in the deck (again after any change of the playlist or the modes).
    void prepareNext();
    // The deck went on with the queued file: it is now the shared player.
    void advanced(LibraryPlayer *player);

    MusicDeck *m_deck = nullptr;
    // The music's volume, 0 to 1; the deck follows it.
    double m_volume = 1.0;
    QPointer<QTimer> m_timer;
    std::function<quint32()> m_random;
    int m_preparedIndex = -1;
};
