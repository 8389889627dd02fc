#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class LibraryPlayer;
class MpvHandle;
struct mpv_event;
struct mpv_event_property;

// The one libmpv instance that plays the music for the whole run: each track is loaded into it in place of
// the previous one, and the track expected next waits behind it in libmpv's own playlist, so that libmpv
// opens it before the current one ends and the sound goes on without a break (gapless). Loading, playing,
// pausing and jumps are queued to libmpv and never wait for it, so the GUI thread goes on while a file opens
// or a sound device is slow to answer. Main thread only.
class MusicDeck : public QObject
{
    Q_OBJECT
public:
    explicit MusicDeck(QObject *parent = nullptr);
    ~MusicDeck() override;

    bool isValid() const;
    // Starts playing `path` in place of the current track; the new track's player, made a child of `parent`.
    // nullptr when libmpv could not be started.
    LibraryPlayer *load(const QString &path, QObject *parent);
    LibraryPlayer *current() const { return m_current; }
    // Queues `path` behind the current track (empty: nothing); when the current track ends, libmpv goes on
    // with it and advanced() hands over its player. Queuing the same file again changes nothing.
    void setNext(const QString &path);
    QString next() const { return m_nextPath; }

    // The "player/replaygain" setting ("off", "track" or "album") as libmpv's replaygain value; the setting
    // is followed whenever it is written.
    static QByteArray replayGainFor(const QString &setting);
    static constexpr const char *replayGainKey = "player/replaygain";
    // A property of the instance as libmpv holds it now; waits for libmpv (for checks, not for the GUI).
    QByteArray propertyNow(const char *name) const;

    // The output volume, 0 to 100; it stays from one track to the next.
    double volume() const { return m_volume; }
    void setVolume(double percent);

Q_SIGNALS:
    void volumeChanged();
    // The current track ended and libmpv went straight on with the queued one: `track` is its player.
    void advanced(LibraryPlayer *track);

private:
    friend class LibraryPlayer;
    void play(LibraryPlayer *track);
    void pause(LibraryPlayer *track);
    void stop(LibraryPlayer *track);
    void seek(LibraryPlayer *track, double seconds);
    void handleEvent(const mpv_event &event);
    // A value of the current track's file: its position, length or tags.
    void apply(LibraryPlayer *track, const mpv_event_property &property);
    // The current track when `entry` (libmpv's playlist entry) is the one it was loaded as.
    LibraryPlayer *trackOf(qint64 entry) const;
    void finish(LibraryPlayer *track, bool error);
    // The queued track takes over from `ended` without a new load.
    void advance(LibraryPlayer *ended);
    void applyReplayGain();

    MpvHandle *m_mpv;
    QPointer<LibraryPlayer> m_current;
    quint64 m_serial = 0;
    // The current track's load request, and libmpv's entry number for it once the request was answered.
    quint64 m_loadReply = 0;
    qint64 m_entry = -1;
    bool m_entryFromNextStart = false;
    // The latest jump request; its restart of playback ends the jump.
    quint64 m_seekReply = 0;
    bool m_seekAnswered = false;
    // The reads of the length and the tags asked for when the current track's file was loaded.
    quint64 m_readReply = 0;
    double m_volume = 100;
    // The queued track: its file, its append request and libmpv's entry number for it.
    QString m_nextPath;
    quint64 m_nextReply = 0;
    qint64 m_nextEntry = -1;
};
