#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>

class AudioPlayer;
class MprisPlayerAdaptor;
class QTimer;
class RemoteControl;
class TagCache;

// The MPRIS 2 service of the program on the session bus: desktop shells, media keys handled by the desktop
// and tools like playerctl see the music player through it. Play, Pause, Stop, PlayPause, Next and Previous
// arrive as the remote-control events 100 to 105; jumps (Seek, SetPosition), the volume, shuffle and repeat
// (LoopStatus) act on the music player directly. Changes are announced with PropertiesChanged, jumps with
// Seeked.
class Mpris : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *objectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *baseServiceName = "org.mpris.MediaPlayer2.melodrop";

    // `remote` receives the events; `connection` is the bus to serve on (the session bus by default).
    explicit Mpris(RemoteControl *remote, const QDBusConnection &connection = QDBusConnection::sessionBus(),
                   QObject *parent = nullptr);
    ~Mpris() override;

    // Registers the object and a bus name: org.mpris.MediaPlayer2.melodrop, or ….instance<pid> when another
    // program holds it. False when the bus cannot be reached or neither name can be had.
    bool start();
    QString serviceName() const { return m_serviceName; }
    // Where the tracks' tags and covers come from (none: the player's own reading and the file name). The
    // metadata is announced again when they arrive for the current track. `tags` outlives this.
    void setTagCache(TagCache *tags);

    // The state as published.
    QString playbackStatus() const;
    // "None" with repeat off, "Playlist" with it on (the playlist wraps around either way).
    QString loopStatus() const;
    bool shuffle() const;
    QVariantMap metadata() const;
    double volume() const;
    // Microseconds, as every time of the interface.
    qlonglong position() const;
    bool canPlay() const;
    bool canPause() const;
    bool canGoNext() const;
    bool canGoPrevious() const;
    bool canSeek() const;
    // The current track's identity; NoTrack when no entry is current.
    QDBusObjectPath trackId() const;

    // "None" switches repeat off; "Playlist" and "Track" switch it on (repeat starts the same track again).
    void setLoopStatus(const QString &status);
    void setShuffle(bool on);
    // 0 to 1; below 0 counts as 0.
    void setVolume(double volume);
    // A jump by `offset` microseconds; before the start goes to the start, past the end goes to the next
    // track.
    void seek(qlonglong offset);
    // A jump to `position` microseconds of `track`, when that is still the current track and the position
    // lies within it.
    void setPosition(const QDBusObjectPath &track, qlonglong position);

    // Compares the state with what was last announced and announces the differences.
    void refresh();
    // One remote-control event from a D-Bus call.
    void remoteEvent(int subtype);

Q_SIGNALS:
    // A client asked to bring the window to the front.
    void raiseRequested();

private:
    QVariantMap publishedState() const;
    void scheduleRefresh();
    void followPlayer();
    void emitPropertiesChanged(const QString &interface, const QVariantMap &changed);

    QString currentKey() const;

    QPointer<RemoteControl> m_remote;
    QPointer<TagCache> m_tags;
    QDBusConnection m_connection;
    QString m_serviceName;
    bool m_registered = false;
    bool m_refreshPending = false;
    QTimer *m_poll;
    MprisPlayerAdaptor *m_playerAdaptor;
    QPointer<AudioPlayer> m_player;
    // Counts the shared players seen, so that every track started has an identity of its own.
    quint64 m_trackSerial = 0;
    bool m_newTrackUnannounced = false;
    QVariantMap m_published;
};
