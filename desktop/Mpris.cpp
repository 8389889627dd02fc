#include "desktop/Mpris.h"

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "desktop/MprisPlayerAdaptor.h"
#include "desktop/MprisRootAdaptor.h"
#include "desktop/RemoteControl.h"
#include "library/TagCache.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTimer>
#include <QUrl>

#include <cmath>

namespace {

const QString playerInterface = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString noTrack = QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");

AudioPlayer *sharedPlayer()
{
    return GlobalData::sharedGlobalData()->audioPlayer;
}

} // namespace

Mpris::Mpris(RemoteControl *remote, const QDBusConnection &connection, QObject *parent)
    : QObject(parent), m_remote(remote), m_connection(connection), m_poll(new QTimer(this)),
      m_playerAdaptor(new MprisPlayerAdaptor(this))
{
    new MprisRootAdaptor(this);
    // Playback moves on by itself (the playlist edited on other screens, the position): a slow look now and
    // then catches what no signal reports.
    m_poll->setInterval(1000);
    connect(m_poll, &QTimer::timeout, this, &Mpris::refresh);
    // The new player is taken at once, so that its track identity holds for calls that come before the
    // refresh.
    connect(&PlayerEvents::shared(), &PlayerEvents::sharedPlayerChanged, this, [this] {
        followPlayer();
        scheduleRefresh();
    });
    connect(&PlayerEvents::shared(), &PlayerEvents::playlistChanged, this, &Mpris::scheduleRefresh);
    connect(&PlayerEvents::shared(), &PlayerEvents::modesChanged, this, &Mpris::scheduleRefresh);
    connect(&MusicPlayer::shared(), &MusicPlayer::volumeChanged, this, &Mpris::scheduleRefresh);
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
    m_published = publishedState();
    m_newTrackUnannounced = false;
    m_poll->start();
    return true;
}

void Mpris::setTagCache(TagCache *tags)
{
    if (m_tags)
        disconnect(m_tags, nullptr, this, nullptr);
    m_tags = tags;
    if (!tags)
        return;
    const auto arrived = [this](const QString &key) {
        if (key == currentKey())
            scheduleRefresh();
    };
    connect(tags, &TagCache::tagsReady, this, arrived);
    connect(tags, &TagCache::coverReady, this, arrived);
    scheduleRefresh();
}

QString Mpris::currentKey() const
{
    const int index = MusicPlayer::currentIndex();
    if (index < 0)
        return {};
    return TagCache::key(MusicPlayer::filePath(Stores::playlist().at(index).file));
}

QString Mpris::playbackStatus() const
{
    const AudioPlayer *player = sharedPlayer();
    if (!player)
        return QStringLiteral("Stopped");
    return player->isPlaying() ? QStringLiteral("Playing") : QStringLiteral("Paused");
}

QString Mpris::loopStatus() const
{
    switch (MusicPlayer::repeat()) {
    case MusicPlayer::Repeat::Track:
        return QStringLiteral("Track");
    case MusicPlayer::Repeat::Playlist:
        return QStringLiteral("Playlist");
    case MusicPlayer::Repeat::Off:
        break;
    }
    return QStringLiteral("None");
}

bool Mpris::shuffle() const
{
    return GlobalData::sharedGlobalData()->playRandomMusic;
}

QDBusObjectPath Mpris::trackId() const
{
    if (MusicPlayer::currentIndex() < 0)
        return QDBusObjectPath(noTrack);
    return QDBusObjectPath(QStringLiteral("/org/melodrop/Track/%1").arg(m_trackSerial));
}

QVariantMap Mpris::metadata() const
{
    const int index = MusicPlayer::currentIndex();
    QVariantMap map{{QStringLiteral("mpris:trackid"), QVariant::fromValue(trackId())}};
    if (index < 0)
        return map;
    const QString file = Stores::playlist().at(index).file;
    map.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(MusicPlayer::filePath(file)).toString());

    // The file's tags where it has them (the tag cache's, else what the player read); else the file name,
    // which downloads give as "Artist - Title".
    const AudioPlayer *player = sharedPlayer();
    const QVariantMap playerTags = player ? player->metadata() : QVariantMap();
    const QString path = MusicPlayer::filePath(file);
    const std::optional<TrackTags> known = m_tags ? m_tags->tags(path) : std::nullopt;
    const auto field = [&](const QString &cached, const char *name) {
        const QString text = cached.trimmed();
        return text.isEmpty() ? playerTags.value(QLatin1String(name)).toString().trimmed() : text;
    };
    const QString name = MusicPlayer::displayName(file);
    const qsizetype dash = name.indexOf(QLatin1String(" - "));
    const QString nameArtist = dash > 0 ? name.left(dash) : QString();
    const QString nameTitle = dash > 0 ? name.mid(dash + 3) : name;
    const QString title = field(known ? known->title : QString(), "title");
    const QString artist = field(known ? known->artist : QString(), "artist");
    const QString album = field(known ? known->album : QString(), "album");
    map.insert(QStringLiteral("xesam:title"), title.isEmpty() ? nameTitle : title);
    if (!artist.isEmpty() || !nameArtist.isEmpty())
        map.insert(QStringLiteral("xesam:artist"), QStringList{artist.isEmpty() ? nameArtist : artist});
    if (!album.isEmpty())
        map.insert(QStringLiteral("xesam:album"), album);
    if (known && known->trackNumber > 0)
        map.insert(QStringLiteral("xesam:trackNumber"), qint32(known->trackNumber));
    // The player's length once it has opened the file; the tags' until then.
    if (player && player->duration() > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(player->duration() * 1e6));
    else if (known && known->durationMs > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(known->durationMs) * 1000);
    if (m_tags) {
        const QString cover = m_tags->coverPath(path);
        if (!cover.isEmpty())
            map.insert(QStringLiteral("mpris:artUrl"),
                       QUrl::fromLocalFile(cover).toString(QUrl::FullyEncoded));
    }
    return map;
}

double Mpris::volume() const
{
    return MusicPlayer::shared().volume();
}

qlonglong Mpris::position() const
{
    const AudioPlayer *player = sharedPlayer();
    return player ? qlonglong(player->currentTime() * 1e6) : 0;
}

bool Mpris::canPlay() const
{
    // Play with nothing loaded starts the playlist's first entry.
    return sharedPlayer() != nullptr || !Stores::playlist().isEmpty();
}

bool Mpris::canPause() const
{
    return sharedPlayer() != nullptr;
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

bool Mpris::canSeek() const
{
    return sharedPlayer() != nullptr;
}

void Mpris::setLoopStatus(const QString &status)
{
    if (status == QLatin1String("None"))
        MusicPlayer::shared().setRepeat(MusicPlayer::Repeat::Off);
    else if (status == QLatin1String("Playlist"))
        MusicPlayer::shared().setRepeat(MusicPlayer::Repeat::Playlist);
    else if (status == QLatin1String("Track"))
        MusicPlayer::shared().setRepeat(MusicPlayer::Repeat::Track);
}

void Mpris::setShuffle(bool on)
{
    MusicPlayer::shared().setShuffle(on);
}

void Mpris::setVolume(double volume)
{
    if (std::isnan(volume))
        return;
    MusicPlayer::shared().setVolume(std::clamp(volume, 0.0, 1.0));
}

void Mpris::seek(qlonglong offset)
{
    AudioPlayer *player = sharedPlayer();
    if (!player)
        return;
    const double target = player->currentTime() + double(offset) / 1e6;
    if (player->duration() > 0 && target >= player->duration()) {
        remoteEvent(RemoteControl::RemoteControlNextTrack);
        return;
    }
    player->setCurrentTime(std::max(0.0, target));
}

void Mpris::setPosition(const QDBusObjectPath &track, qlonglong position)
{
    AudioPlayer *player = sharedPlayer();
    if (!player || track != trackId() || position < 0)
        return;
    const double target = double(position) / 1e6;
    if (player->duration() > 0 && target > player->duration())
        return;
    player->setCurrentTime(target);
}

void Mpris::remoteEvent(int subtype)
{
    if (m_remote)
        m_remote->sendEvent(RemoteControl::RemoteControlEventType, subtype);
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
    AudioPlayer *player = sharedPlayer();
    if (player == m_player)
        return;
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = player;
    if (!player)
        return;
    ++m_trackSerial;
    m_newTrackUnannounced = true;
    connect(player, &AudioPlayer::stateChanged, this, &Mpris::scheduleRefresh);
    connect(player, &AudioPlayer::durationChanged, this, &Mpris::scheduleRefresh);
    connect(player, &AudioPlayer::metadataChanged, this, &Mpris::scheduleRefresh);
    connect(player, &AudioPlayer::seeked, this, [this](double seconds) {
        if (m_registered)
            Q_EMIT m_playerAdaptor->Seeked(qlonglong(seconds * 1e6));
    });
}

QVariantMap Mpris::publishedState() const
{
    return {{QStringLiteral("PlaybackStatus"), playbackStatus()},
            {QStringLiteral("LoopStatus"), loopStatus()},
            {QStringLiteral("Shuffle"), shuffle()},
            {QStringLiteral("Metadata"), metadata()},
            {QStringLiteral("Volume"), volume()},
            {QStringLiteral("CanPlay"), canPlay()},
            {QStringLiteral("CanPause"), canPause()},
            {QStringLiteral("CanGoNext"), canGoNext()},
            {QStringLiteral("CanGoPrevious"), canGoPrevious()},
            {QStringLiteral("CanSeek"), canSeek()}};
}

void Mpris::refresh()
{
    m_refreshPending = false;
    if (!m_registered)
        return;
    followPlayer();
    const QVariantMap now = publishedState();
    const auto fileOf = [](const QVariantMap &state) {
        return state.value(QStringLiteral("Metadata")).toMap().value(QStringLiteral("xesam:url"));
    };
    const bool sameFileAgain = fileOf(now) == fileOf(m_published);
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_published.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_published = now;
    if (!changed.isEmpty())
        emitPropertiesChanged(playerInterface, changed);
    // A new track starts at its beginning: said as a jump, for clients that keep the position of a track.
    // The same file started again (repeat) looks much like the one before: the jump back to its start says
    // that it began anew.
    if (m_newTrackUnannounced && m_player && sameFileAgain)
        Q_EMIT m_playerAdaptor->Seeked(position());
    m_newTrackUnannounced = false;
}

void Mpris::emitPropertiesChanged(const QString &interface, const QVariantMap &changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(QLatin1String(objectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    m_connection.send(signal);
}
