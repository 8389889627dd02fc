#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

class AudioPlayer;
class QTimer;
class customMainAppClass;

// The MPRIS 2 service of the program on the session bus: desktop shells, media keys handled by the desktop
// and tools like playerctl see the shared player through it and send it the remote-control events
// (Play 100, Pause 101, Stop 102, PlayPause 103, Next 104, Previous 105). Changes are announced with
// PropertiesChanged, jumps with Seeked.
class Mpris : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *objectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *baseServiceName = "org.mpris.MediaPlayer2.melodrop";

    // `remote` receives the events; `connection` is the bus to serve on (the session bus by default).
    explicit Mpris(customMainAppClass *remote,
                   const QDBusConnection &connection = QDBusConnection::sessionBus(),
                   QObject *parent = nullptr);
    ~Mpris() override;

    // Registers the object and a bus name: org.mpris.MediaPlayer2.melodrop, or ….instance<pid> when another
    // program holds it. False when the bus cannot be reached or neither name can be had.
    bool start();
    QString serviceName() const { return m_serviceName; }

    // The state as published.
    QString playbackStatus() const;
    QVariantMap metadata() const;
    qlonglong position() const;
    bool canPlay() const;
    bool canPause() const;
    bool canGoNext() const;
    bool canGoPrevious() const;

    // Compares the state with what was last announced and announces the differences.
    void refresh();
    // One remote-control event from a D-Bus call.
    void remoteEvent(int subtype);

Q_SIGNALS:
    // A client asked to bring the window to the front.
    void raiseRequested();

private:
    void scheduleRefresh();
    void followPlayer();
    void emitPropertiesChanged(const QString &interface, const QVariantMap &changed);

    QPointer<customMainAppClass> m_remote;
    QDBusConnection m_connection;
    QString m_serviceName;
    bool m_registered = false;
    bool m_refreshPending = false;
    QTimer *m_poll;
    QPointer<AudioPlayer> m_player;
    QVariantMap m_published;
    friend class MprisPlayerAdaptor;
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit CONSTANT)
    Q_PROPERTY(bool CanRaise READ canRaise CONSTANT)
    Q_PROPERTY(bool HasTrackList READ hasTrackList CONSTANT)
    Q_PROPERTY(QString Identity READ identity CONSTANT)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry CONSTANT)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes CONSTANT)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes CONSTANT)

public:
    explicit MprisRootAdaptor(Mpris *parent);
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("Melodrop"); }
    QString desktopEntry() const { return QStringLiteral("melodrop"); }
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public Q_SLOTS:
    void Raise();
    void Quit();

private:
    Mpris *m_mpris;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ rate CONSTANT)
    Q_PROPERTY(double MaximumRate READ rate CONSTANT)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek CONSTANT)
    Q_PROPERTY(bool CanControl READ canControl CONSTANT)

public:
    explicit MprisPlayerAdaptor(Mpris *parent);
    QString playbackStatus() const { return m_mpris->playbackStatus(); }
    // Playback runs at normal speed and full volume only; asking for others changes nothing.
    double rate() const { return 1.0; }
    void setRate(double) {}
    double volume() const { return 1.0; }
    void setVolume(double) {}
    QVariantMap metadata() const { return m_mpris->metadata(); }
    qlonglong position() const { return m_mpris->position(); }
    bool canGoNext() const { return m_mpris->canGoNext(); }
    bool canGoPrevious() const { return m_mpris->canGoPrevious(); }
    bool canPlay() const { return m_mpris->canPlay(); }
    bool canPause() const { return m_mpris->canPause(); }
    // Seeking from outside is done by holding the seek keys, not by jumps.
    bool canSeek() const { return false; }
    bool canControl() const { return true; }

public Q_SLOTS:
    void Next();
    void Previous();
    void Pause();
    void PlayPause();
    void Stop();
    void Play();
    // Without CanSeek these change nothing, as the interface requires.
    void Seek(qlonglong offset);
    void SetPosition(const QDBusObjectPath &trackId, qlonglong position);
    // No address scheme is supported: nothing is opened.
    void OpenUri(const QString &uri);

Q_SIGNALS:
    void Seeked(qlonglong position);

private:
    Mpris *m_mpris;
};
