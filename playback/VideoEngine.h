#pragma once

#include <QObject>
#include <QString>

#include <memory>

struct mpv_handle;

// One libmpv handle playing one video. With a picture it draws through mpv's render API into a VideoSurface
// item; without one (no OpenGL, tests) the picture goes nowhere and everything else works the same.
// The audio output follows MELODROP_MPV_AO when set (tests use "null"). Events arrive on the main thread.
class VideoEngine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool playing READ playing NOTIFY playingChanged)
    Q_PROPERTY(double position READ position NOTIFY positionChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)

public:
    explicit VideoEngine(bool withPicture, QObject *parent = nullptr);
    ~VideoEngine() override;

    bool isValid() const { return m_mpv != nullptr; }
    bool withPicture() const { return m_withPicture; }
    // Shared with the picture's renderer: the handle must outlive the render context made on it.
    std::shared_ptr<mpv_handle> handle() const { return m_mpv; }

    bool playing() const { return m_playing; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    // How far the video can be played without waiting: the buffered end for streams, else the duration.
    double playableDuration() const;

    // `address` is a URL text (file:// for local files); `loop` repeats the video without end.
    void load(const QString &address, bool loop);
    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void togglePause();
    Q_INVOKABLE void seek(double seconds);
    void stop();

Q_SIGNALS:
    void playingChanged();
    void positionChanged();
    void durationChanged();
    // The loaded file's load state became known (it can be played).
    void loaded();
    // The file could not be opened or played.
    void failed();

private:
    Q_INVOKABLE void handleEvents();
    void setPlaying(bool playing);

    std::shared_ptr<mpv_handle> m_mpv;
    bool m_withPicture = false;
    bool m_playing = false;
    double m_position = 0;
    double m_duration = 0;
    double m_cacheEnd = -1;
};
