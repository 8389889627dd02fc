#include "desktop/Mpris.h"

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "desktop/RemoteControl.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>
#include <QUrl>

namespace {

const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");

} // namespace

Mpris::Mpris(customMainAppClass *remote, const QDBusConnection &connection, QObject *parent)
    : QObject(parent), m_remote(remote), m_connection(connection), m_poll(new QTimer(this))
{
    new MprisRootAdaptor(this);
    new MprisPlayerAdaptor(this);
    // Playback moves on by itself (end of track, the playlist edited on other screens): a slow look now and
    // then catches what no signal reports.
    m_poll->setInterval(1000);
    connect(m_poll, &QTimer::timeout, this, &Mpris::refresh);
    connect(&PlayerEvents::shared(), &PlayerEvents::sharedPlayerChanged, this, &Mpris::scheduleRefresh);
    connect(&PlayerEvents::shared(), &PlayerEvents::playlistChanged, this, &Mpris::scheduleRefresh);
}

Mpris::~Mpris()
{
    if (!m_registered)
        return;
    m_connection.unregisterObject(QLatin1String(objectPath));
    m_connection.unregisterService(m_serviceName);
}

bool Mpris::start()
{
    if (m_registered)
        return true;
    if (!m_connection.isConnected())
        return false;
    if (!m_connection.registerObject(QLatin1String(objectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    QString name = QLatin1String(baseServiceName);
    if (!m_connection.registerService(name)) {
        name += QStringLiteral(".instance%1").arg(QCoreApplication::applicationPid());
        if (!m_connection.registerService(name)) {
            m_connection.unregisterObject(QLatin1String(objectPath));
            return false;
        }
    }
    m_serviceName = name;
    m_registered = true;
    followPlayer();
    m_published = {{QStringLiteral("PlaybackStatus"), playbackStatus()},
                   {QStringLiteral("Metadata"), metadata()},
                   {QStringLiteral("CanPlay"), canPlay()},
                   {QStringLiteral("CanPause"), canPause()},
                   {QStringLiteral("CanGoNext"), canGoNext()},
                   {QStringLiteral("CanGoPrevious"), canGoPrevious()}};
    m_poll->start();
    return true;
}

QString Mpris::playbackStatus() const
{
    const AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer;
    if (!player)
        return QStringLiteral("Stopped");
    return player->isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Paused");
}

QVariantMap Mpris::metadata() const
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    const int index = MusicPlayer::currentIndex();
    if (index < 0)
        return {{QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QStringLiteral(
                                                      "/org/mpris/MediaPlayer2/TrackList/NoTrack")))}};
    const QString file = global->audioPlaylistArray.at(index).file;
    const QString name = MusicPlayer::displayName(file);
    QVariantMap map;
    map.insert(QStringLiteral("mpris:trackid"),
               QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/melodrop/track/%1").arg(index))));
    map.insert(QStringLiteral("xesam:url"),
               QUrl::fromLocalFile(StorageLayout::getAudioDir() + QLatin1Char('/') + file).toString());
    // Downloads are named "Artist - Title"; anything else is all title.
    const qsizetype dash = name.indexOf(QLatin1String(" - "));
    if (dash > 0) {
        map.insert(QStringLiteral("xesam:artist"), QStringList{name.left(dash)});
        map.insert(QStringLiteral("xesam:title"), name.mid(dash + 3));
    } else {
        map.insert(QStringLiteral("xesam:title"), name);
    }
    if (const AudioPlayer *player = global->audioPlayer; player && player->duration() > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(player->duration() * 1e6));
    return map;
}

qlonglong Mpris::position() const
{
    const AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer;
    return player ? qlonglong(player->currentTime() * 1e6) : 0;
}

bool Mpris::canPlay() const
{
    return GlobalData::sharedGlobalData()->audioPlayer != nullptr;
}

bool Mpris::canPause() const
{
    return canPlay();
}

bool Mpris::canGoNext() const
{
    // Next and previous act only from a current track.
    return MusicPlayer::currentIndex() >= 0;
}

bool Mpris::canGoPrevious() const
{
    return canGoNext();
}

void Mpris::remoteEvent(int subtype)
{
    if (m_remote)
        m_remote->sendEvent(customMainAppClass::RemoteControlEventType, subtype);
    scheduleRefresh();
}

void Mpris::scheduleRefresh()
{
    if (m_refreshPending)
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, &Mpris::refresh);
}

void Mpris::followPlayer()
{
    AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer;
    if (player == m_player)
        return;
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = player;
    if (!player)
        return;
    connect(player, &AudioPlayer::stateChanged, this, &Mpris::scheduleRefresh);
    connect(player, &AudioPlayer::seeked, this, [this](double seconds) {
        if (m_registered)
            Q_EMIT findChild<MprisPlayerAdaptor *>()->Seeked(qlonglong(seconds * 1e6));
    });
}

void Mpris::refresh()
{
    m_refreshPending = false;
    if (!m_registered)
        return;
    const AudioPlayer *before = m_player;
    followPlayer();
    const bool newPlayer = m_player != before && m_player;

    const QVariantMap now = {{QStringLiteral("PlaybackStatus"), playbackStatus()},
                             {QStringLiteral("Metadata"), metadata()},
                             {QStringLiteral("CanPlay"), canPlay()},
                             {QStringLiteral("CanPause"), canPause()},
                             {QStringLiteral("CanGoNext"), canGoNext()},
                             {QStringLiteral("CanGoPrevious"), canGoPrevious()}};
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_published.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_published = now;
    if (!changed.isEmpty())
        emitPropertiesChanged(playerInterface, changed);
    // The same track started again (repeat) looks unchanged but for the jump back to its start.
    if (newPlayer && !changed.contains(QStringLiteral("Metadata")))
        Q_EMIT findChild<MprisPlayerAdaptor *>()->Seeked(position());
}

void Mpris::emitPropertiesChanged(const QString &interface, const QVariantMap &changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(objectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    m_connection.send(signal);
}

MprisRootAdaptor::MprisRootAdaptor(Mpris *parent) : QDBusAbstractAdaptor(parent), m_mpris(parent) {}

void MprisRootAdaptor::Raise()
{
    Q_EMIT m_mpris->raiseRequested();
}

void MprisRootAdaptor::Quit()
{
    // After the reply has gone out.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

MprisPlayerAdaptor::MprisPlayerAdaptor(Mpris *parent) : QDBusAbstractAdaptor(parent), m_mpris(parent) {}

void MprisPlayerAdaptor::Next()
{
    m_mpris->remoteEvent(customMainAppClass::RemoteControlNextTrack);
}

void MprisPlayerAdaptor::Previous()
{
    m_mpris->remoteEvent(customMainAppClass::RemoteControlPreviousTrack);
}

void MprisPlayerAdaptor::Pause()
{
    m_mpris->remoteEvent(customMainAppClass::RemoteControlPause);
}

void MprisPlayerAdaptor::PlayPause()
{
    m_mpris->remoteEvent(customMainAppClass::RemoteControlTogglePlayPause);
}

void MprisPlayerAdaptor::Stop()
{
    m_mpris->remoteEvent(customMainAppClass::RemoteControlStop);
}

void MprisPlayerAdaptor::Play()
{
    m_mpris->remoteEvent(customMainAppClass::RemoteControlPlay);
}

void MprisPlayerAdaptor::Seek(qlonglong offset)
{
    Q_UNUSED(offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &trackId, qlonglong position)
{
    Q_UNUSED(trackId);
    Q_UNUSED(position);
}

void MprisPlayerAdaptor::OpenUri(const QString &uri)
{
    Q_UNUSED(uri);
}
