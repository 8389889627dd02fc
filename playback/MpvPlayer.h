#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <limits>

struct mpv_handle;
struct mpv_event;

// One libmpv handle playing one address, without a picture (audio). Events arrive on the main thread.
// The audio output follows MELODROP_MPV_AO when set (tests use "null").
class MpvPlayer : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool playing READ playing NOTIFY playingChanged)
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)

public:
    explicit MpvPlayer(QObject *parent = nullptr);
    ~MpvPlayer() override;

    // Starts playing `url` (a file path or an address); `loop` repeats it without end.
    Q_INVOKABLE void load(const QString &url, bool loop = false);
    // Opens a local file paused and waits until it is ready: false when it cannot be opened, holds no audio
    // or does not answer within `timeoutMs`. The duration is known as soon as this returns true.
    bool open(const QString &path, int timeoutMs = 5000);
    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void togglePause();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void seek(double seconds);
    // Output volume in per cent (0 to 100).
    void setVolume(double percent);

    // Stops a preview player, clears the pointer and deletes the player later; false when there was none.
    static bool release(QPointer<MpvPlayer> &player);

    bool isValid() const { return m_mpv != nullptr; }
    bool playing() const { return m_playing; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    bool loading() const { return m_loading; }
    // A file is open and has not ended.
    bool loaded() const { return m_loaded; }
    // Whether the open file is running now (asked of libmpv, not waiting for the change to be reported).
    bool playingNow() const;
    // The position now, in seconds; a jump asked for reads as done at once, as the caller expects. 0 when no
    // file is open.
    double currentTime() const;
    void setCurrentTime(double seconds);

Q_SIGNALS:
    void playingChanged();
    void positionChanged();
    void durationChanged();
    void loadingChanged();
    // The file ended: `error` when it could not be played to its end.
    void endOfFile(bool error);
    // A jump asked for through setCurrentTime has been carried out.
    void seeked();

private:
    Q_INVOKABLE void handleEventsQueued() { handleEvents(); }
    void handleEvents();
    void handleEvent(const mpv_event *event);
    void setPlaying(bool playing);

    mpv_handle *m_mpv = nullptr;
    bool m_playing = false;
    bool m_loading = false;
    bool m_loaded = false;
    // Target of a jump libmpv has not carried out yet (NaN when none).
    double m_seekTarget = std::numeric_limits<double>::quiet_NaN();
    double m_position = 0;
    double m_duration = 0;
};
