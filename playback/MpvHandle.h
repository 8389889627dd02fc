#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>

#include <mpv/client.h>

struct MpvLibrary;

// One libmpv instance with the options every player of the program shares: no terminal, no configuration
// files, scripts or key bindings, no youtube-dl, idle between files, a silent output when no sound device
// works, and the audio output named by MELODROP_MPV_AO when set (tests use "null"). libmpv refuses to start
// unless LC_NUMERIC is "C": main() sets it once, after the application object.
//
// The requests below are queued to libmpv's core and never wait for it, so the thread that owns the handle
// (the GUI thread) cannot be held up by a file being opened or a sound device that is slow to answer. Their
// answers and the observed properties arrive as events: eventsPending() fires on the owner's thread and
// drain() hands them over in order.
class MpvHandle : public QObject
{
    Q_OBJECT
public:
    enum class Purpose {
        Music,            // the music player: no picture at all
        Preview,          // a preview of the catalogue screens or the library: no picture either
        Video,            // a video without a place to draw it
        VideoWithPicture, // a video drawn through the render API (VideoSurface)
        DeviceWatch,      // nothing is played; only the output devices are watched
    };

    // Loads libmpv on the first instance; without it the handle stays invalid and every request does nothing.
    explicit MpvHandle(Purpose purpose, QObject *parent = nullptr);
    // No event is announced after this; libmpv itself ends when the last holder of shared() lets go.
    ~MpvHandle() override;

    MpvHandle(const MpvHandle &) = delete;
    MpvHandle &operator=(const MpvHandle &) = delete;

    bool isValid() const { return m_mpv != nullptr; }
    mpv_handle *get() const { return m_mpv.get(); }
    // The library the instance was made through (nullptr when it could not be loaded).
    const MpvLibrary *library() const { return m_library; }
    // For a holder that may outlive this object (the video picture's renderer).
    std::shared_ptr<mpv_handle> shared() const { return m_mpv; }

    // A command; its answer comes as MPV_EVENT_COMMAND_REPLY carrying `reply`.
    void command(const QList<QByteArray> &arguments, quint64 reply = 0);
    // Property changes; their answers come as MPV_EVENT_SET_PROPERTY_REPLY carrying `reply`.
    void setString(const char *name, const QByteArray &value, quint64 reply = 0);
    void setFlag(const char *name, bool on, quint64 reply = 0);
    void setDouble(const char *name, double value, quint64 reply = 0);
    // The value of `name` now, as MPV_EVENT_GET_PROPERTY_REPLY carrying `reply`.
    void get(const char *name, mpv_format format, quint64 reply);
    // Changes of `name` arrive as MPV_EVENT_PROPERTY_CHANGE carrying `id`.
    void observe(quint64 id, const char *name, mpv_format format);

    // A property's value now, as text; waits for libmpv (for checks and idle instances, not for the GUI).
    QByteArray propertyNow(const char *name) const;

    // Hands every waiting event to `handle`, in order, without blocking.
    void drain(const std::function<void(const mpv_event &)> &handle);

Q_SIGNALS:
    void eventsPending();

private:
    Q_INVOKABLE void wake();
    static void onWakeup(void *context);

    const MpvLibrary *m_library;
    std::shared_ptr<mpv_handle> m_mpv;
    // Set while a wake-up is on its way, so that a burst of events posts one.
    std::atomic<bool> m_wakePosted{false};
};
