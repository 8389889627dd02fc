#include "playback/MpvHandle.h"

#include "playback/MpvLibrary.h"

#include <QMetaObject>

#include <vector>

namespace {

void applyOptions(const MpvLibrary &library, mpv_handle *mpv, MpvHandle::Purpose purpose)
{
    const auto setOption = [&library](mpv_handle *mpv, const char *name, const char *value) {
        library.set_option_string(mpv, name, value);
    };
    setOption(mpv, "terminal", "no");
    setOption(mpv, "config", "no");
    setOption(mpv, "load-scripts", "no");
    setOption(mpv, "input-default-bindings", "no");
    setOption(mpv, "input-vo-keyboard", "no");
    setOption(mpv, "osc", "no");
    setOption(mpv, "ytdl", "no");
    // mpv's built-in Lua scripts are not covered by load-scripts; each would keep a thread and an
    // interpreter.
    setOption(mpv, "load-stats-overlay", "no");
    setOption(mpv, "load-osd-console", "no");
    setOption(mpv, "load-auto-profiles", "no");
    setOption(mpv, "idle", "yes");
    // The sound server shows the streams under these names; the route watch finds the music's by its name.
    const char *client =
        purpose == MpvHandle::Purpose::Preview ? "Melodrop preview"
        : purpose == MpvHandle::Purpose::Video || purpose == MpvHandle::Purpose::VideoWithPicture
            ? "Melodrop video"
            : "Melodrop";
    setOption(mpv, "audio-client-name", client);
    // Without a working sound device a file still plays, silently: time, loops and end of track go on.
    setOption(mpv, "audio-fallback-to-null", "yes");
    const QByteArray ao = qgetenv("MELODROP_MPV_AO");
    if (!ao.isEmpty())
        setOption(mpv, "ao", ao.constData());

    switch (purpose) {
    case MpvHandle::Purpose::Music:
        // The next track waits in the playlist: libmpv opens it ahead and keeps the output running across
        // the change when the two share a format (as the tracks of one album do).
        setOption(mpv, "gapless-audio", "weak");
        setOption(mpv, "prefetch-playlist", "yes");
        setOption(mpv, "vo", "null");
        setOption(mpv, "vid", "no");
        break;
    case MpvHandle::Purpose::Preview:
    case MpvHandle::Purpose::DeviceWatch:
        setOption(mpv, "vo", "null");
        setOption(mpv, "vid", "no"); // cover pictures inside MP3 files are not decoded
        break;
    case MpvHandle::Purpose::Video:
        setOption(mpv, "vo", "null");
        setOption(mpv, "gpu-hwdec-interop", "no");
        break;
    case MpvHandle::Purpose::VideoWithPicture:
        // "libmpv" draws through the render context VideoSurface makes; should a file open before there is
        // one, mpv falls back to "null" and plays on instead of ending the file with an error.
        setOption(mpv, "vo", "libmpv,null");
        setOption(mpv, "gpu-hwdec-interop", "no"); // decoding in software: no probing of GPU drivers
        break;
    }
}

} // namespace

MpvHandle::MpvHandle(Purpose purpose, QObject *parent) : QObject(parent), m_library(MpvLibrary::get())
{
    if (!m_library)
        return; // the library said why in the log
    mpv_handle *mpv = m_library->create();
    if (!mpv)
        return; // among other reasons, LC_NUMERIC is not "C"
    applyOptions(*m_library, mpv, purpose);
    if (m_library->initialize(mpv) < 0) {
        m_library->terminate_destroy(mpv);
        return;
    }
    m_mpv = std::shared_ptr<mpv_handle>(mpv, m_library->terminate_destroy);
    m_library->set_wakeup_callback(mpv, &MpvHandle::onWakeup, this);
}

MpvHandle::~MpvHandle()
{
    if (!m_mpv)
        return;
    // libmpv runs the callback under the lock this takes: once it returns, no callback is running or can
    // start, and a wake-up already posted dies with this object.
    m_library->set_wakeup_callback(m_mpv.get(), nullptr, nullptr);
    if (m_mpv.use_count() > 1) {
        // Someone else holds the instance a little longer: make sure nothing plays on meanwhile.
        const char *stop[] = {"stop", nullptr};
        m_library->command_async(m_mpv.get(), 0, stop);
    }
}

void MpvHandle::onWakeup(void *context)
{
    // Called on one of libmpv's threads.
    auto *self = static_cast<MpvHandle *>(context);
    if (!self->m_wakePosted.exchange(true))
        QMetaObject::invokeMethod(self, "wake", Qt::QueuedConnection);
}

void MpvHandle::wake()
{
    m_wakePosted.store(false);
    Q_EMIT eventsPending();
}

void MpvHandle::command(const QList<QByteArray> &arguments, quint64 reply)
{
    if (!m_mpv)
        return;
    std::vector<const char *> argv;
    argv.reserve(size_t(arguments.size()) + 1);
    for (const QByteArray &argument : arguments)
        argv.push_back(argument.constData());
    argv.push_back(nullptr);
    m_library->command_async(m_mpv.get(), reply, argv.data());
}

void MpvHandle::setString(const char *name, const QByteArray &value, quint64 reply)
{
    if (!m_mpv)
        return;
    const char *text = value.constData();
    m_library->set_property_async(m_mpv.get(), reply, name, MPV_FORMAT_STRING, &text);
}

void MpvHandle::setFlag(const char *name, bool on, quint64 reply)
{
    if (!m_mpv)
        return;
    int flag = on ? 1 : 0;
    m_library->set_property_async(m_mpv.get(), reply, name, MPV_FORMAT_FLAG, &flag);
}

void MpvHandle::setDouble(const char *name, double value, quint64 reply)
{
    if (!m_mpv)
        return;
    m_library->set_property_async(m_mpv.get(), reply, name, MPV_FORMAT_DOUBLE, &value);
}

void MpvHandle::get(const char *name, mpv_format format, quint64 reply)
{
    if (m_mpv)
        m_library->get_property_async(m_mpv.get(), reply, name, format);
}

void MpvHandle::observe(quint64 id, const char *name, mpv_format format)
{
    if (m_mpv)
        m_library->observe_property(m_mpv.get(), id, name, format);
}

QByteArray MpvHandle::propertyNow(const char *name) const
{
    if (!m_mpv)
        return {};
    char *value = m_library->get_property_string(m_mpv.get(), name);
    const QByteArray text(value);
    m_library->free(value);
    return text;
}

void MpvHandle::drain(const std::function<void(const mpv_event &)> &handle)
{
    while (m_mpv) {
        const mpv_event *event = m_library->wait_event(m_mpv.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        handle(*event);
    }
}
