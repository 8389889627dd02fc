#include "playback/MpvPlayer.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QMetaObject>

#include <algorithm>
#include <clocale>
#include <cmath>

#include <mpv/client.h>

namespace {

void onWakeup(void *context)
{
    // Called on an mpv thread: hand the event reading to the player's own thread.
    QMetaObject::invokeMethod(static_cast<MpvPlayer *>(context), "handleEventsQueued", Qt::QueuedConnection);
}

} // namespace

MpvPlayer::MpvPlayer(QObject *parent) : QObject(parent)
{
    std::setlocale(LC_NUMERIC, "C"); // libmpv refuses to start under a locale with a decimal comma
    m_mpv = mpv_create();
    if (!m_mpv)
        return;
    mpv_set_option_string(m_mpv, "vo", "null");
    mpv_set_option_string(m_mpv, "vid", "no");
    mpv_set_option_string(m_mpv, "terminal", "no");
    mpv_set_option_string(m_mpv, "ytdl", "no");
    mpv_set_option_string(m_mpv, "idle", "yes");
    mpv_set_option_string(m_mpv, "input-default-bindings", "no");
    // Without a working sound device the track still plays (silently), so time and end of track go on.
    mpv_set_option_string(m_mpv, "audio-fallback-to-null", "yes");
    const QByteArray ao = qgetenv("MELODROP_MPV_AO");
    if (!ao.isEmpty())
        mpv_set_option_string(m_mpv, "ao", ao.constData());
    if (mpv_initialize(m_mpv) < 0) {
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        return;
    }
    mpv_observe_property(m_mpv, 1, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, 2, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(m_mpv, 3, "pause", MPV_FORMAT_FLAG);
    mpv_set_wakeup_callback(m_mpv, onWakeup, this);
}

MpvPlayer::~MpvPlayer()
{
    if (m_mpv) {
        mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
        mpv_terminate_destroy(m_mpv);
    }
}

void MpvPlayer::load(const QString &url, bool loop)
{
    if (!m_mpv)
        return;
    mpv_set_property_string(m_mpv, "loop-file", loop ? "inf" : "no");
    mpv_set_property_string(m_mpv, "pause", "no");
    const QByteArray address = url.toUtf8();
    const char *command[] = {"loadfile", address.constData(), "replace", nullptr};
    mpv_command(m_mpv, command);
    m_loading = true;
    Q_EMIT loadingChanged();
}

bool MpvPlayer::open(const QString &path, int timeoutMs)
{
    if (!m_mpv || !QFileInfo(path).isFile())
        return false;
    // Opened paused, as a player that has been created but not yet told to play.
    mpv_set_property_string(m_mpv, "loop-file", "no");
    mpv_set_property_string(m_mpv, "pause", "yes");
    const QByteArray file = path.toUtf8();
    const char *command[] = {"loadfile", file.constData(), "replace", nullptr};
    if (mpv_command(m_mpv, command) < 0)
        return false;
    m_loading = true;
    Q_EMIT loadingChanged();

    // The events are read here rather than on the event loop: the caller wants the answer now. Whatever
    // arrives meanwhile is handled as it would have been.
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const mpv_event *event = mpv_wait_event(m_mpv, double(deadline.remainingTime()) / 1000.0);
        if (event->event_id == MPV_EVENT_NONE)
            continue;
        const bool ended = event->event_id == MPV_EVENT_END_FILE &&
                           static_cast<mpv_event_end_file *>(event->data)->reason != MPV_END_FILE_REASON_STOP;
        const bool ready = event->event_id == MPV_EVENT_FILE_LOADED;
        handleEvent(event);
        if (ended)
            return false;
        if (!ready)
            continue;
        int64_t audioTrack = 0;
        if (mpv_get_property(m_mpv, "current-tracks/audio/id", MPV_FORMAT_INT64, &audioTrack) < 0) {
            stop(); // a picture or some other stream, nothing to hear
            return false;
        }
        double duration = 0;
        if (mpv_get_property(m_mpv, "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 &&
            duration != m_duration) {
            m_duration = duration;
            Q_EMIT durationChanged();
        }
        // Loading ends with a restart of playback; taken here, it cannot be mistaken later for the end of a
        // jump asked for through setCurrentTime.
        const QDeadlineTimer settle(std::min<qint64>(1000, deadline.remainingTime()));
        while (m_loaded && !settle.hasExpired()) {
            const mpv_event *next = mpv_wait_event(m_mpv, double(settle.remainingTime()) / 1000.0);
            if (next->event_id == MPV_EVENT_NONE)
                continue;
            const bool restarted = next->event_id == MPV_EVENT_PLAYBACK_RESTART;
            handleEvent(next);
            if (restarted)
                break;
        }
        return m_loaded;
    }
    stop();
    return false;
}

bool MpvPlayer::playingNow() const
{
    if (!m_mpv || !m_loaded)
        return false;
    int paused = 1;
    mpv_get_property(m_mpv, "pause", MPV_FORMAT_FLAG, &paused);
    return !paused;
}

double MpvPlayer::currentTime() const
{
    if (!m_mpv || !m_loaded)
        return 0;
    if (!std::isnan(m_seekTarget))
        return m_seekTarget;
    double position = 0;
    if (mpv_get_property(m_mpv, "time-pos", MPV_FORMAT_DOUBLE, &position) < 0)
        return 0;
    return position;
}

void MpvPlayer::setCurrentTime(double seconds)
{
    if (!m_mpv || !m_loaded)
        return;
    // Restarts reported before this jump belong to earlier ones.
    handleEvents();
    if (!m_loaded)
        return;
    const QByteArray target = QByteArray::number(seconds, 'f', 6);
    const char *command[] = {"seek", target.constData(), "absolute+exact", nullptr};
    if (mpv_command(m_mpv, command) >= 0)
        m_seekTarget = seconds;
}

void MpvPlayer::play()
{
    if (m_mpv)
        mpv_set_property_string(m_mpv, "pause", "no");
}

void MpvPlayer::pause()
{
    if (m_mpv)
        mpv_set_property_string(m_mpv, "pause", "yes");
}

void MpvPlayer::setVolume(double percent)
{
    if (!m_mpv)
        return;
    double volume = qBound(0.0, percent, 100.0);
    mpv_set_property(m_mpv, "volume", MPV_FORMAT_DOUBLE, &volume);
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
    if (!m_mpv)
        return;
    const char *command[] = {"stop", nullptr};
    mpv_command(m_mpv, command);
    // Nothing is open from here on, even before libmpv reports the end.
    m_loaded = false;
    m_seekTarget = std::numeric_limits<double>::quiet_NaN();
    setPlaying(false);
}

void MpvPlayer::seek(double seconds)
{
    if (!m_mpv)
        return;
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    const char *command[] = {"seek", target.constData(), "absolute", nullptr};
    mpv_command(m_mpv, command);
}

void MpvPlayer::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    Q_EMIT playingChanged();
}

void MpvPlayer::handleEvents()
{
    while (m_mpv) {
        const mpv_event *event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handleEvent(event);
    }
}

void MpvPlayer::handleEvent(const mpv_event *event)
{
    switch (event->event_id) {
    case MPV_EVENT_PROPERTY_CHANGE: {
        auto *property = static_cast<mpv_event_property *>(event->data);
        if (property->format == MPV_FORMAT_DOUBLE && property->data) {
            const double value = *static_cast<double *>(property->data);
            if (event->reply_userdata == 1) {
                m_position = value;
                Q_EMIT positionChanged();
            } else if (event->reply_userdata == 2) {
                m_duration = value;
                Q_EMIT durationChanged();
            }
        } else if (property->format == MPV_FORMAT_FLAG && property->data && event->reply_userdata == 3) {
            // Unpausing with nothing open plays nothing.
            if (!m_loading && m_loaded)
                setPlaying(!*static_cast<int *>(property->data));
        }
        break;
    }
    case MPV_EVENT_FILE_LOADED: {
        m_loading = false;
        m_loaded = true;
        Q_EMIT loadingChanged();
        int paused = 0;
        mpv_get_property(m_mpv, "pause", MPV_FORMAT_FLAG, &paused);
        setPlaying(!paused);
        break;
    }
    case MPV_EVENT_PLAYBACK_RESTART:
        if (!std::isnan(m_seekTarget)) {
            m_seekTarget = std::numeric_limits<double>::quiet_NaN();
            Q_EMIT seeked();
        }
        break;
    case MPV_EVENT_END_FILE: {
        auto *end = static_cast<mpv_event_end_file *>(event->data);
        if (m_loading) {
            m_loading = false;
            Q_EMIT loadingChanged();
        }
        m_loaded = false;
        m_seekTarget = std::numeric_limits<double>::quiet_NaN();
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
