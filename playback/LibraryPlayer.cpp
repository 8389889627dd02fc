#include "playback/LibraryPlayer.h"

#include "playback/MusicDeck.h"

#include <cmath>

LibraryPlayer::LibraryPlayer(MusicDeck *deck, const QString &path, quint64 serial, QObject *parent)
    : AudioPlayer(parent), m_deck(deck), m_path(path), m_serial(serial)
{}

bool LibraryPlayer::isCurrent() const
{
    return m_deck && m_deck->current() == this;
}

void LibraryPlayer::play()
{
    if (!isCurrent() || m_finished || !m_paused)
        return;
    m_paused = false;
    m_deck->play(this);
    Q_EMIT stateChanged();
}

void LibraryPlayer::pause()
{
    if (!isCurrent() || m_finished || m_paused)
        return;
    m_paused = true;
    m_deck->pause(this);
    Q_EMIT stateChanged();
}

void LibraryPlayer::stop()
{
    if (m_finished)
        return;
    m_finished = true;
    m_loaded = false;
    m_seekTarget = std::numeric_limits<double>::quiet_NaN();
    if (isCurrent())
        m_deck->stop(this);
    Q_EMIT stateChanged();
}

bool LibraryPlayer::isPlaying() const
{
    return isCurrent() && !m_finished && !m_paused;
}

double LibraryPlayer::currentTime() const
{
    if (m_finished)
        return 0;
    // A jump asked for reads as done at once, as the caller expects.
    if (!std::isnan(m_seekTarget))
        return m_seekTarget;
    return m_loaded ? m_position : 0;
}

void LibraryPlayer::setCurrentTime(double seconds)
{
    if (!isCurrent() || m_finished || std::isnan(seconds))
        return;
    m_seekTarget = std::max(0.0, seconds);
    // While the file still opens, the jump waits for it (the deck makes it once the file is loaded).
    if (m_loaded)
        m_deck->seek(this, m_seekTarget);
}
