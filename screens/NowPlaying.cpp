#include "screens/NowPlaying.h"

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "library/TagCache.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"
#include "screens/Audio_Playlist.h"

NowPlaying::NowPlaying(TagCache *tags, QObject *parent) : QObject(parent), m_tags(tags)
{
    if (tags) {
        connect(tags, &TagCache::tagsReady, this, &NowPlaying::tagsArrived);
        connect(tags, &TagCache::coverReady, this, &NowPlaying::tagsArrived);
    }
    m_timer.setInterval(500);
    connect(&m_timer, &QTimer::timeout, this, &NowPlaying::refresh);
    connect(&PlayerEvents::shared(), &PlayerEvents::sharedPlayerChanged, this, &NowPlaying::refresh);
    connect(&PlayerEvents::shared(), &PlayerEvents::playlistChanged, this, &NowPlaying::refresh);
    // Whether there is anything to play follows the playlist itself, whoever changes it.
    PlaylistStore &playlist = Stores::playlist();
    for (auto signal : {&ListStoreSignals::inserted, &ListStoreSignals::removed})
        connect(&playlist, signal, this, &NowPlaying::refresh);
    connect(&playlist, &ListStoreSignals::reset, this, &NowPlaying::refresh);
    connect(&MusicPlayer::shared(), &MusicPlayer::volumeChanged, this, &NowPlaying::volumeChanged);
    refresh();
}

QPair<QString, QString> NowPlaying::splitDisplayName(const QString &displayName)
{
    const qsizetype dash = displayName.indexOf(QLatin1String(" - "));
    if (dash <= 0)
        return {displayName, QString()};
    return {displayName.mid(dash + 3).trimmed(), displayName.left(dash).trimmed()};
}

void NowPlaying::refresh()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const int current = MusicPlayer::currentIndex();
    QString key;
    QString title;
    QString artist;
    QString album;
    QUrl cover;
    const PlaylistStore &playlist = Stores::playlist();
    if (current >= 0 && current < playlist.size()) {
        const QString file = playlist.at(current).file;
        const auto parts = splitDisplayName(MusicPlayer::displayName(file));
        title = parts.first;
        artist = parts.second;
        if (m_tags) {
            // Each field the tags hold wins; the others keep what the name says.
            const QString path = MusicPlayer::filePath(file);
            key = TagCache::key(path);
            if (const std::optional<TrackTags> tags = m_tags->tags(path)) {
                if (!tags->title.trimmed().isEmpty())
                    title = tags->title.trimmed();
                if (!tags->artist.trimmed().isEmpty())
                    artist = tags->artist.trimmed();
                album = tags->album.trimmed();
            }
            const QString coverFile = m_tags->coverPath(path);
            if (!coverFile.isEmpty())
                cover = QUrl::fromLocalFile(coverFile);
        }
    }
    m_trackKey = key;
    if (title != m_title || artist != m_artist || album != m_album || cover != m_coverUrl) {
        m_title = title;
        m_artist = artist;
        m_album = album;
        m_coverUrl = cover;
        Q_EMIT trackChanged();
    }
    AudioPlayer *player = global->audioPlayer;
    if (player != m_followed) {
        disconnect(m_followedState);
        disconnect(m_followedSeek);
        disconnect(m_followedDuration);
        m_followed = player;
        if (player) {
            m_followedState = connect(player, &AudioPlayer::stateChanged, this, &NowPlaying::refresh);
            m_followedSeek = connect(player, &AudioPlayer::seeked, this, &NowPlaying::refresh);
            m_followedDuration = connect(player, &AudioPlayer::durationChanged, this, &NowPlaying::refresh);
        }
    }
    const bool playing = player && player->isPlaying();
    if (!playing)
        m_timer.stop(); // nothing moves: an idle window costs nothing, however long the playlist
    else if (!m_timer.isActive())
        m_timer.start();
    // Play starts the first entry when no track has started yet.
    const bool canPlay = player != nullptr || !playlist.isEmpty();
    if (playing != m_playing || canPlay != m_canPlay) {
        m_playing = playing;
        m_canPlay = canPlay;
        Q_EMIT stateChanged();
    }
    const double position = player ? player->currentTime() : 0;
    const double duration = player ? player->duration() : 0;
    if (position != m_position || duration != m_duration) {
        m_position = position;
        m_duration = duration;
        Q_EMIT timeChanged();
    }
}

void NowPlaying::tagsArrived(const QString &key)
{
    if (!m_trackKey.isEmpty() && key == m_trackKey)
        refresh();
}

QString NowPlaying::elapsedText() const
{
    return StorageLayout::secondsToTime(QString::asprintf("%0.f", m_position));
}

QString NowPlaying::totalText() const
{
    return StorageLayout::secondsToTime(QString::asprintf("%0.f", m_duration));
}

double NowPlaying::volume() const
{
    return MusicPlayer::shared().volume() * 100.0;
}

void NowPlaying::setVolume(double percent)
{
    MusicPlayer::shared().setVolume(qBound(0.0, percent, 100.0) / 100.0);
}

void NowPlaying::togglePlayPause()
{
    // With no track started, play starts the playlist's first entry.
    AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer;
    if (player && player->isPlaying())
        MusicPlayer::pause();
    else
        MusicPlayer::play();
    refresh();
}

void NowPlaying::previous()
{
    Audio_Playlist::shared()->backwardButtonPressed();
    refresh();
}

void NowPlaying::next()
{
    Audio_Playlist::shared()->forwardButtonPressed();
    refresh();
}

void NowPlaying::seek(double seconds)
{
    Audio_Playlist::shared()->audioSliderMoved(seconds);
    refresh();
}
