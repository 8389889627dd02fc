#include "playback/VideoEngine.h"

#include <QMetaObject>
#include <QUrl>

#include <clocale>

#include <mpv/client.h>

namespace {

enum Observed : uint64_t { TimePos = 1, Duration, Pause, CacheTime };

void onWakeup(void *context)
{
    // Called on an mpv thread: hand the event reading to the engine's own thread.
    QMetaObject::invokeMethod(static_cast<VideoEngine *>(context), "handleEvents", Qt::QueuedConnection);
}

} // namespace

VideoEngine::VideoEngine(bool withPicture, QObject *parent) : QObject(parent), m_withPicture(withPicture)
{
    std::setlocale(LC_NUMERIC, "C"); // libmpv refuses to start under a locale with a decimal comma
    mpv_handle *mpv = mpv_create();
    if (!mpv)
        return;
    // "libmpv" draws through the render context VideoSurface makes; should a file open before there is one,
    // mpv falls back to "null" and plays on instead of ending the file with an error.
    mpv_set_option_string(mpv, "vo", withPicture ? "libmpv,null" : "null");
    mpv_set_option_string(mpv, "terminal", "no");
    mpv_set_option_string(mpv, "ytdl", "no");
    mpv_set_option_string(mpv, "idle", "yes");
    mpv_set_option_string(mpv, "input-default-bindings", "no");
    mpv_set_option_string(mpv, "osc", "no");
    mpv_set_option_string(mpv, "gpu-hwdec-interop",
                          "no"); // decoding is in software: no probing of GPU drivers
    const QByteArray ao = qgetenv("MELODROP_MPV_AO");
    if (!ao.isEmpty())
        mpv_set_option_string(mpv, "ao", ao.constData());
    if (mpv_initialize(mpv) < 0) {
        mpv_terminate_destroy(mpv);
        return;
    }
    m_mpv = std::shared_ptr<mpv_handle>(mpv, mpv_terminate_destroy);
    mpv_observe_property(mpv, TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, Duration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, Pause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, CacheTime, "demuxer-cache-time", MPV_FORMAT_DOUBLE);
    mpv_set_wakeup_callback(mpv, onWakeup, this);
}

VideoEngine::~VideoEngine()
{
    if (!m_mpv)
        return;
    mpv_set_wakeup_callback(m_mpv.get(), nullptr, nullptr);
    // The picture's renderer may hold the handle a little longer: make sure nothing plays on meanwhile.
    const char *command[] = {"stop", nullptr};
    mpv_command(m_mpv.get(), command);
}

double VideoEngine::playableDuration() const
{
    return m_cacheEnd > 0 ? std::min(m_cacheEnd, m_duration > 0 ? m_duration : m_cacheEnd) : m_duration;
}

void VideoEngine::load(const QString &address, bool loop)
{
    if (!m_mpv)
        return;
    mpv_set_property_string(m_mpv.get(), "loop-file", loop ? "inf" : "no");
    mpv_set_property_string(m_mpv.get(), "pause", "no");
    const QByteArray target = address.toUtf8();
    const char *command[] = {"loadfile", target.constData(), "replace", nullptr};
    mpv_command(m_mpv.get(), command);
}

void VideoEngine::play()
{
    if (m_mpv)
        mpv_set_property_string(m_mpv.get(), "pause", "no");
}

void VideoEngine::pause()
{
    if (m_mpv)
        mpv_set_property_string(m_mpv.get(), "pause", "yes");
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
    if (!m_mpv)
        return;
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    const char *command[] = {"seek", target.constData(), "absolute", nullptr};
    mpv_command(m_mpv.get(), command);
}

void VideoEngine::stop()
{
    if (!m_mpv)
        return;
    const char *command[] = {"stop", nullptr};
    mpv_command(m_mpv.get(), command);
    setPlaying(false);
}

void VideoEngine::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    Q_EMIT playingChanged();
}

void VideoEngine::handleEvents()
{
    while (m_mpv) {
        mpv_event *event = mpv_wait_event(m_mpv.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        switch (event->event_id) {
        case MPV_EVENT_PROPERTY_CHANGE: {
            auto *property = static_cast<mpv_event_property *>(event->data);
            if (property->format == MPV_FORMAT_FLAG && property->data && event->reply_userdata == Pause) {
                int idle = 0;
                mpv_get_property(m_mpv.get(), "idle-active", MPV_FORMAT_FLAG, &idle);
                setPlaying(!idle && !*static_cast<int *>(property->data));
                break;
            }
            const bool known = property->format == MPV_FORMAT_DOUBLE && property->data;
            const double value = known ? *static_cast<double *>(property->data) : 0;
            if (event->reply_userdata == TimePos && known) {
                m_position = value;
                Q_EMIT positionChanged();
            } else if (event->reply_userdata == Duration) {
                m_duration = value;
                Q_EMIT durationChanged();
            } else if (event->reply_userdata == CacheTime) {
                m_cacheEnd = known ? value : -1;
            }
            break;
        }
        case MPV_EVENT_FILE_LOADED: {
            double duration = 0;
            if (mpv_get_property(m_mpv.get(), "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 &&
                duration != m_duration) {
                m_duration = duration;
                Q_EMIT durationChanged();
            }
            int paused = 0;
            mpv_get_property(m_mpv.get(), "pause", MPV_FORMAT_FLAG, &paused);
            setPlaying(!paused);
            Q_EMIT loaded();
            break;
        }
        case MPV_EVENT_END_FILE: {
            auto *end = static_cast<mpv_event_end_file *>(event->data);
            setPlaying(false);
            if (end->reason == MPV_END_FILE_REASON_ERROR)
                Q_EMIT failed();
            break;
        }
        default:
            break;
        }
    }
}
