#include "desktop/MprisPlayerAdaptor.h"

#include "desktop/Mpris.h"
#include "desktop/RemoteControl.h"

MprisPlayerAdaptor::MprisPlayerAdaptor(Mpris *parent) : QDBusAbstractAdaptor(parent), m_mpris(parent) {}

QString MprisPlayerAdaptor::playbackStatus() const
{
    return m_mpris->playbackStatus();
}

QString MprisPlayerAdaptor::loopStatus() const
{
    return m_mpris->loopStatus();
}

void MprisPlayerAdaptor::setLoopStatus(const QString &status)
{
    m_mpris->setLoopStatus(status);
}

bool MprisPlayerAdaptor::shuffle() const
{
    return m_mpris->shuffle();
}

void MprisPlayerAdaptor::setShuffle(bool on)
{
    m_mpris->setShuffle(on);
}

QVariantMap MprisPlayerAdaptor::metadata() const
{
    return m_mpris->metadata();
}

double MprisPlayerAdaptor::volume() const
{
    return m_mpris->volume();
}

void MprisPlayerAdaptor::setVolume(double volume)
{
    m_mpris->setVolume(volume);
}

qlonglong MprisPlayerAdaptor::position() const
{
    return m_mpris->position();
}

bool MprisPlayerAdaptor::canGoNext() const
{
    return m_mpris->canGoNext();
}

bool MprisPlayerAdaptor::canGoPrevious() const
{
    return m_mpris->canGoPrevious();
}

bool MprisPlayerAdaptor::canPlay() const
{
    return m_mpris->canPlay();
}

bool MprisPlayerAdaptor::canPause() const
{
    return m_mpris->canPause();
}

bool MprisPlayerAdaptor::canSeek() const
{
    return m_mpris->canSeek();
}

void MprisPlayerAdaptor::Next()
{
    m_mpris->remoteEvent(RemoteControl::RemoteControlNextTrack);
}

void MprisPlayerAdaptor::Previous()
{
    m_mpris->remoteEvent(RemoteControl::RemoteControlPreviousTrack);
}

void MprisPlayerAdaptor::Pause()
{
    m_mpris->remoteEvent(RemoteControl::RemoteControlPause);
}

void MprisPlayerAdaptor::PlayPause()
{
    m_mpris->remoteEvent(RemoteControl::RemoteControlTogglePlayPause);
}

void MprisPlayerAdaptor::Stop()
{
    m_mpris->remoteEvent(RemoteControl::RemoteControlStop);
}

void MprisPlayerAdaptor::Play()
{
    m_mpris->remoteEvent(RemoteControl::RemoteControlPlay);
}

void MprisPlayerAdaptor::Seek(qlonglong offset)
{
    m_mpris->seek(offset);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &trackId, qlonglong position)
{
    m_mpris->setPosition(trackId, position);
}

void MprisPlayerAdaptor::OpenUri(const QString &uri)
{
    Q_UNUSED(uri);
}
