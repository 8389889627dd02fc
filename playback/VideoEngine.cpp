#include "playback/VideoEngine.h"

#include "playback/MpvHandle.h"

#include <algorithm>

namespace {

enum Observed : quint64 { TimePos = 1, Duration, CacheTime, Pause, EofReached };

} // namespace

VideoEngine::VideoEngine(bool withPicture, QObject *parent)
    : QObject(parent),
      m_mpv(new MpvHandle(withPicture ? MpvHandle::Purpose::VideoWithPicture : MpvHandle::Purpose::Video,
                          this)),
      m_withPicture(withPicture)
{
    m_mpv->observe(TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    m_mpv->observe(Duration, "duration", MPV_FORMAT_DOUBLE);
    m_mpv->observe(CacheTime, "demuxer-cache-time", MPV_FORMAT_DOUBLE);
    // libmpv pauses by itself on the last picture of a video that is not looped (keep-open).
    m_mpv->observe(Pause, "pause", MPV_FORMAT_FLAG);
    m_mpv->observe(EofReached, "eof-reached", MPV_FORMAT_FLAG);
    m_mpv->setString("keep-open", "yes");
    connect(m_mpv, &MpvHandle::eventsPending, this,
            [this] { m_mpv->drain([this](const mpv_event &event) { handleEvent(event); }); });
}

VideoEngine::~VideoEngine() = default;

bool VideoEngine::isValid() const
{
    return m_mpv->isValid();
}

std::shared_ptr<mpv_handle> VideoEngine::handle() const
{
    return m_mpv->shared();
}

double VideoEngine::playableDuration() const
{
    return m_cacheEnd > 0 ? std::min(m_cacheEnd, m_duration > 0 ? m_duration : m_cacheEnd) : m_duration;
}

void VideoEngine::load(const QString &address, bool loop)
{
    setEnded(false);
    m_mpv->setString("loop-file", loop ? "inf" : "no");
    m_paused = false;
    m_mpv->setFlag("pause", false);
    m_mpv->command({"loadfile", address.toUtf8(), "replace"});
}

void VideoEngine::play()
{
    if (m_ended) // from the start again, as a desktop player does
        seek(0);
    m_paused = false;
    m_mpv->setFlag("pause", false);
    setPlaying(m_loaded);
}

void VideoEngine::pause()
{
    m_paused = true;
    m_mpv->setFlag("pause", true);
    setPlaying(false);
}

void VideoEngine::togglePause()
{
    if (m_playing)
        pause();
    else
        play();
}

void VideoEngine::seek(double seconds)
{
    m_mpv->command({"seek", QByteArray::number(seconds, 'f', 3), "absolute"});
}

void VideoEngine::seekBy(double seconds)
{
    double target = std::max(0.0, m_position + seconds);
    if (m_duration > 0)
        target = std::min(target, m_duration);
    seek(target);
    // Shown at once; libmpv reports the position it reached after the jump.
    m_position = target;
    Q_EMIT positionChanged();
}

void VideoEngine::setVolume(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_volume)
        return;
    m_volume = percent;
    m_mpv->setDouble("volume", percent);
    Q_EMIT volumeChanged();
}

void VideoEngine::changeVolume(int percent)
{
    // A change of volume is heard: it ends the mute.
    setMuted(false);
    setVolume(m_volume + percent);
}

void VideoEngine::setMuted(bool muted)
{
    if (muted == m_muted)
        return;
    m_muted = muted;
    m_mpv->setFlag("mute", muted);
    Q_EMIT volumeChanged();
}

void VideoEngine::toggleMute()
{
    setMuted(!m_muted);
}

void VideoEngine::setEnded(bool ended)
{
    if (ended == m_ended)
        return;
    m_ended = ended;
    if (ended) {
        // Stopped on the last picture: whatever libmpv says of its pause, nothing plays until asked to.
        m_paused = true;
        m_mpv->setFlag("pause", true);
        setPlaying(false);
    }
    Q_EMIT endedChanged();
}

void VideoEngine::stop()
{
    m_mpv->command({"stop"});
    m_loaded = false;
    setPlaying(false);
}

void VideoEngine::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    Q_EMIT playingChanged();
}

void VideoEngine::setDuration(double duration)
{
    if (duration == m_duration)
        return;
    m_duration = duration;
    Q_EMIT durationChanged();
}

void VideoEngine::handleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto *property = static_cast<const mpv_event_property *>(event.data);
        const bool known = property->format == MPV_FORMAT_DOUBLE && property->data;
        const double value = known ? *static_cast<const double *>(property->data) : 0;
        if (event.reply_userdata == TimePos && known) {
            m_position = value;
            Q_EMIT positionChanged();
        } else if (event.reply_userdata == Duration) {
            setDuration(value);
        } else if (event.reply_userdata == CacheTime) {
            m_cacheEnd = known ? value : -1;
        } else if (property->format == MPV_FORMAT_FLAG && property->data) {
            const bool on = *static_cast<const int *>(property->data) != 0;
            if (event.reply_userdata == Pause && on != m_paused) {
                m_paused = on;
                setPlaying(m_loaded && !on);
            } else if (event.reply_userdata == EofReached) {
                setEnded(on);
            }
        }
        break;
    }
    case MPV_EVENT_FILE_LOADED:
        m_loaded = true;
        setPlaying(!m_paused);
        // The load state is told with the length, asked for now: a file as long as the one before changes
        // nothing that libmpv would report.
        m_lengthReply = ++m_requests;
        m_mpv->get("duration", MPV_FORMAT_DOUBLE, m_lengthReply);
        break;
    case MPV_EVENT_GET_PROPERTY_REPLY: {
        if (event.reply_userdata != m_lengthReply || !m_loaded)
            break;
        m_lengthReply = 0;
        const auto *property = static_cast<const mpv_event_property *>(event.data);
        if (event.error >= 0 && property->format == MPV_FORMAT_DOUBLE && property->data)
            setDuration(*static_cast<const double *>(property->data));
        Q_EMIT loaded(); // a stream may have no length: it plays all the same
        break;
    }
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        if (end->reason == MPV_END_FILE_REASON_REDIRECT)
            break;
        m_loaded = false;
        m_lengthReply = 0;
        setPlaying(false);
        if (end->reason == MPV_END_FILE_REASON_ERROR)
            Q_EMIT failed();
        break;
    }
    default:
        break;
    }
}
