#include "playback/LibraryPlayer.h"

#include "playback/MpvPlayer.h"

LibraryPlayer *LibraryPlayer::create(const QString &path, QObject *parent)
{
    auto *mpv = new MpvPlayer;
    if (!mpv->isValid() || !mpv->open(path)) {
        delete mpv;
        return nullptr;
    }
    return new LibraryPlayer(mpv, path, parent);
}

LibraryPlayer::LibraryPlayer(MpvPlayer *mpv, const QString &path, QObject *parent)
    : AudioPlayer(parent), m_mpv(mpv), m_path(path)
{
    m_mpv->setParent(this);
    connect(m_mpv, &MpvPlayer::endOfFile, this, [this](bool error) { Q_EMIT didFinishPlaying(!error); });
    connect(m_mpv, &MpvPlayer::playingChanged, this, &AudioPlayer::stateChanged);
    connect(m_mpv, &MpvPlayer::seeked, this, [this] { Q_EMIT seeked(m_mpv->currentTime()); });
    m_mpv->setVolume(sharedVolume());
}

void LibraryPlayer::play()
{
    m_mpv->play();
}

void LibraryPlayer::pause()
{
    m_mpv->pause();
}

void LibraryPlayer::stop()
{
    m_mpv->stop();
}

bool LibraryPlayer::isPlaying() const
{
    return m_mpv->playingNow();
}

double LibraryPlayer::currentTime() const
{
    return m_mpv->currentTime();
}

void LibraryPlayer::setCurrentTime(double seconds)
{
    m_mpv->setCurrentTime(seconds);
}

double LibraryPlayer::duration() const
{
    // Kept after the end of the track, as the track's length does not change.
    return m_mpv->duration();
}

void LibraryPlayer::setVolume(double percent)
{
    m_mpv->setVolume(percent);
}
