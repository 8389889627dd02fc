#include "playback/MpvPlayer.h"

#include "playback/MpvHandle.h"

namespace {

enum Observed : quint64 { TimePos = 1, Duration };

} // namespace

MpvPlayer::MpvPlayer(QObject *parent)
    : QObject(parent), m_mpv(new MpvHandle(MpvHandle::Purpose::Preview, this))
{
    m_mpv->observe(TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    m_mpv->observe(Duration, "duration", MPV_FORMAT_DOUBLE);
    connect(m_mpv, &MpvHandle::eventsPending, this,
            [this] { m_mpv->drain([this](const mpv_event &event) { handleEvent(event); }); });
}

MpvPlayer::~MpvPlayer() = default;

bool MpvPlayer::isValid() const
{
    return m_mpv->isValid();
}

void MpvPlayer::load(const QString &url, bool loop)
{
    m_mpv->setString("loop-file", loop ? "inf" : "no");
    m_paused = false;
    m_mpv->setFlag("pause", false);
    m_mpv->command({"loadfile", url.toUtf8(), "replace"});
    setLoading(m_mpv->isValid());
    setPlaying(m_loading);
}

void MpvPlayer::play()
{
    m_paused = false;
    m_mpv->setFlag("pause", false);
    // Unpausing with nothing open plays nothing.
    setPlaying(m_loaded || m_loading);
}

void MpvPlayer::pause()
{
    m_paused = true;
    m_mpv->setFlag("pause", true);
    setPlaying(false);
}

void MpvPlayer::togglePause()
{
    if (m_playing)
        pause();
    else
        play();
}

void MpvPlayer::stop()
{
    m_mpv->command({"stop"});
    // Nothing is open from here on, even before libmpv reports the end.
    m_loaded = false;
    setLoading(false);
    setPlaying(false);
}

void MpvPlayer::seek(double seconds)
{
    m_mpv->command({"seek", QByteArray::number(seconds, 'f', 3), "absolute"});
}

void MpvPlayer::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    Q_EMIT playingChanged();
}

void MpvPlayer::setLoading(bool loading)
{
    if (loading == m_loading)
        return;
    m_loading = loading;
    Q_EMIT loadingChanged();
}

void MpvPlayer::handleEvent(const mpv_event &event)
{
    switch (event.event_id) {
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto *property = static_cast<const mpv_event_property *>(event.data);
        const double value = property->format == MPV_FORMAT_DOUBLE && property->data
                                 ? *static_cast<const double *>(property->data)
                                 : 0;
        if (event.reply_userdata == TimePos && property->format == MPV_FORMAT_DOUBLE) {
            m_position = value;
            Q_EMIT positionChanged();
        } else if (event.reply_userdata == Duration && value != m_duration) {
            m_duration = value;
            Q_EMIT durationChanged();
        }
        break;
    }
    case MPV_EVENT_FILE_LOADED:
        m_loaded = true;
        setLoading(false);
        setPlaying(!m_paused);
        break;
    case MPV_EVENT_END_FILE: {
        const auto *end = static_cast<const mpv_event_end_file *>(event.data);
        // The end of a file replaced by a newer load says nothing about the newer one.
        if (end->reason == MPV_END_FILE_REASON_STOP || end->reason == MPV_END_FILE_REASON_REDIRECT)
            break;
        m_loaded = false;
        setLoading(false);
        setPlaying(false);
        if (end->reason == MPV_END_FILE_REASON_EOF || end->reason == MPV_END_FILE_REASON_ERROR)
            Q_EMIT endOfFile(end->reason == MPV_END_FILE_REASON_ERROR);
        break;
    }
    default:
        break;
    }
}

bool MpvPlayer::release(QPointer<MpvPlayer> &player)
{
    if (!player)
        return false;
    MpvPlayer *released = player;
    player = nullptr;
    released->stop();
    released->deleteLater();
    return true;
}
