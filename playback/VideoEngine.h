#pragma once

#include <QObject>
#include <QString>

#include <memory>

class MpvHandle;
struct mpv_event;
struct mpv_handle;

// One libmpv handle playing one video. With a picture it draws through mpv's render API into a VideoSurface
// item; without one (no OpenGL, tests) the picture goes nowhere and everything else works the same.
// Requests never wait for libmpv; events arrive on the main thread.
class VideoEngine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool playing READ playing NOTIFY playingChanged)
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(int volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(bool muted READ muted WRITE setMuted NOTIFY volumeChanged)
    Q_PROPERTY(bool ended READ ended NOTIFY endedChanged)

public:
    explicit VideoEngine(bool withPicture, QObject *parent = nullptr);
    ~VideoEngine() override;

    bool isValid() const;
    bool withPicture() const { return m_withPicture; }
    // Shared with the picture's renderer: the handle must outlive the render context made on it.
    std::shared_ptr<mpv_handle> handle() const;

    bool playing() const { return m_playing; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    // How far the video can be played without waiting: the buffered end for streams, else the duration.
    double playableDuration() const;

    // Volume in percent (0 to 100) and mute, kept across loads.
    int volume() const { return m_volume; }
    void setVolume(int percent);
    bool muted() const { return m_muted; }
    void setMuted(bool muted);
    // A video that is not looped stops on its last picture at its end; play starts it again.
    bool ended() const { return m_ended; }

    // `address` is a URL text (file:// for local files); `loop` repeats the video without end.
    void load(const QString &address, bool loop);
    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void togglePause();
    Q_INVOKABLE void seek(double seconds);
    // A jump by `seconds` (negative: back) from where the video is, kept inside it.
    Q_INVOKABLE void seekBy(double seconds);
    Q_INVOKABLE void changeVolume(int percent);
    Q_INVOKABLE void toggleMute();
    void stop();

Q_SIGNALS:
    void playingChanged();
    void positionChanged();
    void durationChanged();
    void volumeChanged();
    void endedChanged();
    // The loaded file's load state became known (it can be played).
    void loaded();
    // The file could not be opened or played.
    void failed();

private:
    void handleEvent(const mpv_event &event);
    void setPlaying(bool playing);
    void setDuration(double duration);
    void setEnded(bool ended);

    MpvHandle *m_mpv;
    bool m_withPicture = false;
    bool m_paused = false;
    bool m_loaded = false;
    // The request for the length of the file just loaded, whose answer tells the load state.
    quint64 m_lengthReply = 0;
    quint64 m_requests = 0;
    bool m_playing = false;
    double m_position = 0;
    double m_duration = 0;
    double m_cacheEnd = -1;
    int m_volume = 100;
    bool m_muted = false;
    bool m_ended = false;
};
