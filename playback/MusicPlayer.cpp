#include "playback/MusicPlayer.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicDeck.h"
#include "playback/PlayerEvents.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTimer>

#include <algorithm>
#include <cmath>

MusicPlayer &MusicPlayer::shared()
{
    // A child of the application: libmpv is shut down with it rather than after it.
    static QPointer<MusicPlayer> instance;
    if (!instance)
        instance = new MusicPlayer(QCoreApplication::instance());
    return *instance;
}

namespace {

const QString ShuffleKey = QStringLiteral("player/shuffle");
const QString RepeatKey = QStringLiteral("player/repeat");

} // namespace

MusicPlayer::MusicPlayer(QObject *parent) : QObject(parent)
{
    setRandomSource({});
    // The queued entry follows the playlist and the modes, so that the end of a track leads where next()
    // would.
    PlaylistStore &playlist = Stores::playlist();
    const auto again = [this] { prepareNext(); };
    connect(&playlist, &ListStoreSignals::inserted, this, again);
    connect(&playlist, &ListStoreSignals::removed, this, again);
    connect(&playlist, &ListStoreSignals::moved, this, again);
    connect(&playlist, &ListStoreSignals::changed, this, again);
    connect(&playlist, &ListStoreSignals::reset, this, again);
    connect(&PlayerEvents::shared(), &PlayerEvents::modesChanged, this, again);
    restoreModes();
}

void MusicPlayer::restoreModes()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    Settings &settings = Settings::shared();
    if (settings.contains(ShuffleKey))
        global->playRandomMusic = settings.boolValue(ShuffleKey, false);
    const QString repeat = settings.stringValue(RepeatKey);
    for (const Repeat mode : {Repeat::Off, Repeat::Playlist, Repeat::Track}) {
        if (repeat == repeatName(mode)) {
            global->playRepeatMusic = mode == Repeat::Track;
            global->repeatPlaylist = mode != Repeat::Off;
        }
    }
}

void MusicPlayer::setRandomSource(std::function<quint32()> source)
{
    m_random = source ? std::move(source) : [] { return QRandomGenerator::global()->generate(); };
}

MusicPlayer::~MusicPlayer()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->audioPlayer && global->audioPlayer->parent() == this)
        global->audioPlayer = nullptr;
    if (m_timer && global->playbackTimer == m_timer)
        global->playbackTimer = nullptr;
}

MusicDeck *MusicPlayer::deck()
{
    if (m_deck && !m_deck->isValid()) {
        // libmpv could not be loaded or started last time: each new track tries again.
        delete m_deck;
        m_deck = nullptr;
    }
    if (!m_deck) {
        m_deck = new MusicDeck(this);
        m_deck->setVolume(m_volume * 100.0);
        connect(m_deck, &MusicDeck::advanced, this, &MusicPlayer::advanced);
    }
    return m_deck;
}

void MusicPlayer::start()
{
    if (!m_timer)
        restartTimer();
}

void MusicPlayer::restartTimer()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    // At most one tick runs: the one stored ends here, whoever made it.
    if (global->playbackTimer) {
        global->playbackTimer->stop();
        global->playbackTimer->deleteLater();
    }
    m_timer = new QTimer(this);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &MusicPlayer::updateTime);
    m_timer->start();
    global->playbackTimer = m_timer;
}

void MusicPlayer::play()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->audioPlayer)
        global->audioPlayer->play();
    else if (currentIndex() < 0 && !Stores::playlist().isEmpty())
        shared().playSound(0);
}

void MusicPlayer::pause()
{
    if (AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer)
        player->pause();
}

QString MusicPlayer::displayName(const QString &file)
{
    QString name = file.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) // a leading dot names a hidden file, it is no extension
        name.truncate(dot);
    return name;
}

int MusicPlayer::currentIndex()
{
    return Stores::playlist().currentIndex();
}

QString MusicPlayer::filePath(const QString &relative)
{
    return StorageLayout::getAudioDir() + QLatin1Char('/') + relative;
}

bool MusicPlayer::isPlayable(const QString &relative)
{
    return QFileInfo(filePath(relative)).isFile();
}

int MusicPlayer::playableFrom(int index, int step)
{
    const QList<PlaylistEntry> &list = Stores::playlist().records();
    const int count = int(list.size());
    for (int tried = 0; tried < count; ++tried) {
        const int candidate = ((index + tried * step) % count + count) % count;
        if (isPlayable(list.at(candidate).file))
            return candidate;
    }
    return -1;
}

void MusicPlayer::playSound(int index)
{
    startEntry(index, 1);
}

void MusicPlayer::startEntry(int index, int step)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    PlaylistStore &playlist = Stores::playlist();
    if (index < 0 || index >= playlist.size())
        return;
    const int chosen = playableFrom(index, step);
    AudioPlayer::dropShared();
    if (chosen < 0) {
        // Every file is gone: the request has been dealt with, there is just nothing to play.
        global->pendingTrackStep = GlobalData::TrackStep::None;
        Q_EMIT nothingToPlay();
        return;
    }

    LibraryPlayer *player = deck()->load(filePath(playlist.at(chosen).file), this);
    if (player)
        follow(player);
    global->audioPlayer = player;
    playlist.setCurrentIndex(chosen);
    global->pendingTrackStep = GlobalData::TrackStep::None;
    Q_EMIT trackStarted(chosen);
    Q_EMIT PlayerEvents::shared().sharedPlayerChanged();
    Q_EMIT PlayerEvents::shared().playlistChanged();
    prepareNext();
}

int MusicPlayer::upcomingIndex()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const int count = Stores::playlist().size();
    const int current = currentIndex();
    if (count == 0 || current < 0 || (global->playRandomMusic && !global->playRepeatMusic))
        return -1;
    if (global->playRepeatMusic)
        return playableFrom(current, 1);
    if (current == count - 1 && !global->repeatPlaylist)
        return -1; // the playlist ends with this track
    return playableFrom(current == count - 1 ? 0 : current + 1, 1);
}

void MusicPlayer::prepareNext()
{
    if (!m_deck)
        return;
    auto *player = qobject_cast<LibraryPlayer *>(GlobalData::sharedGlobalData()->audioPlayer);
    if (!player || player != m_deck->current()) {
        m_preparedIndex = -1;
        return;
    }
    m_preparedIndex = upcomingIndex();
    m_deck->setNext(m_preparedIndex >= 0 ? filePath(Stores::playlist().at(m_preparedIndex).file) : QString());
}

void MusicPlayer::advanced(LibraryPlayer *player)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    PlaylistStore &playlist = Stores::playlist();
    const int index = m_preparedIndex;
    m_preparedIndex = -1;
    if (index < 0 || index >= playlist.size() || filePath(playlist.at(index).file) != player->path() ||
        !isPlayable(playlist.at(index).file)) {
        // Should the playlist have changed unnoticed, or the queued file have gone meanwhile, the end of the
        // track is acted on as ever (next() passes over gone files).
        player->deleteLater();
        next();
        return;
    }
    AudioPlayer::dropShared(); // the ended track: the deck has already moved on from it
    follow(player);
    global->audioPlayer = player;
    playlist.setCurrentIndex(index);
    global->pendingTrackStep = GlobalData::TrackStep::None;
    Q_EMIT trackStarted(index);
    Q_EMIT PlayerEvents::shared().sharedPlayerChanged();
    Q_EMIT PlayerEvents::shared().playlistChanged();
    prepareNext();
}

void MusicPlayer::follow(LibraryPlayer *player)
{
    const QPointer<LibraryPlayer> guard(player);
    const auto isShared = [guard] { return guard && guard == GlobalData::sharedGlobalData()->audioPlayer; };
    // Reports of a player that has since been replaced are stale and must not move the playlist. The end of a
    // track is acted on once the report is over, as the platform's player would call back.
    connect(
        player, &AudioPlayer::didFinishPlaying, this,
        [this, isShared](bool successfully) {
            // A track that could not be decoded to its end stays where it stopped.
            if (isShared() && successfully)
                trackFinished();
        },
        Qt::QueuedConnection);
    connect(player, &LibraryPlayer::failedToOpen, this, [isShared] {
        // Nothing plays and the track does not advance by itself; the entry stays current.
        if (isShared())
            AudioPlayer::dropShared();
    });
    connect(player, &AudioPlayer::endInterruption, this, [isShared](int flags) {
        if (isShared() && (flags & 1))
            play();
    });
    connect(player, &AudioPlayer::durationChanged, this, [this, isShared, guard] {
        if (isShared())
            Q_EMIT durationKnown(guard->duration());
    });
}

int MusicPlayer::randomIndexOtherThan(int current) const
{
    const quint32 count = quint32(Stores::playlist().size());
    if (count < 2)
        return int(m_random() % count);
    int index = current;
    while (index == current)
        index = int(m_random() % count);
    return index;
}

void MusicPlayer::next()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const int count = Stores::playlist().size();
    const int current = currentIndex();
    if (count == 0 || current < 0)
        return;
    if (global->playRepeatMusic)
        startEntry(current, 1);
    else if (!global->playRandomMusic)
        startEntry(current == count - 1 ? 0 : current + 1, 1); // the playlist wraps around
    else
        startEntry(randomIndexOtherThan(current), 1);
}

void MusicPlayer::trackFinished()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const int current = currentIndex();
    // Without repeat the playlist ends with its last entry (in shuffle, nothing ends it: each draw is new).
    if (!global->playRepeatMusic && !global->repeatPlaylist && !global->playRandomMusic &&
        current == Stores::playlist().size() - 1) {
        // Stopped as after a restart: play starts the playlist again from its first entry.
        AudioPlayer::dropShared();
        Stores::playlist().setCurrentIndex(-1);
        Q_EMIT PlayerEvents::shared().playlistChanged();
        return;
    }
    next();
}

void MusicPlayer::previous()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    const int count = Stores::playlist().size();
    const int current = currentIndex();
    if (count == 0 || current < 0)
        return;
    if (global->playRepeatMusic)
        startEntry(current, 1);
    else if (global->audioPlayer && global->audioPlayer->currentTime() > 3.0)
        startEntry(current, 1); // well into the track: back to its start
    else if (!global->playRandomMusic)
        startEntry(current == 0 ? count - 1 : current - 1, -1);
    else
        startEntry(randomIndexOtherThan(current), -1);
}

void MusicPlayer::updateTime()
{
    Q_EMIT ticked();
    // Requests from outside wait here until a track is current; a started track clears them.
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->pendingTrackStep == GlobalData::TrackStep::Next)
        next();
    else if (global->pendingTrackStep == GlobalData::TrackStep::Previous)
        previous();
}

void MusicPlayer::setShuffle(bool on)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    if (global->playRandomMusic == on)
        return;
    global->playRandomMusic = on;
    Settings::shared().setBool(ShuffleKey, on);
    Q_EMIT PlayerEvents::shared().modesChanged();
}

MusicPlayer::Repeat MusicPlayer::repeat()
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    if (global->playRepeatMusic)
        return Repeat::Track;
    return global->repeatPlaylist ? Repeat::Playlist : Repeat::Off;
}

void MusicPlayer::setRepeat(Repeat mode)
{
    if (mode == repeat())
        return;
    GlobalData *global = GlobalData::sharedGlobalData();
    global->playRepeatMusic = mode == Repeat::Track;
    global->repeatPlaylist = mode != Repeat::Off;
    Settings::shared().setString(RepeatKey, repeatName(mode));
    Q_EMIT PlayerEvents::shared().modesChanged();
}

MusicPlayer::Repeat MusicPlayer::nextRepeat(Repeat mode)
{
    switch (mode) {
    case Repeat::Off:
        return Repeat::Playlist;
    case Repeat::Playlist:
        return Repeat::Track;
    case Repeat::Track:
        break;
    }
    return Repeat::Off;
}

QString MusicPlayer::repeatName(Repeat mode)
{
    switch (mode) {
    case Repeat::Off:
        return QStringLiteral("off");
    case Repeat::Playlist:
        return QStringLiteral("playlist");
    case Repeat::Track:
        break;
    }
    return QStringLiteral("track");
}

double MusicPlayer::volume() const
{
    return m_volume;
}

void MusicPlayer::setVolume(double volume)
{
    if (std::isnan(volume))
        return;
    volume = std::clamp(volume, 0.0, 1.0);
    if (volume == m_volume)
        return;
    m_volume = volume;
    // Before the first track there is no libmpv instance: the deck takes the volume when it is made.
    if (m_deck)
        m_deck->setVolume(volume * 100.0);
    Q_EMIT volumeChanged();
}
