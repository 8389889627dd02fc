#pragma once

#include <QObject>
#include <QString>

struct mpv_handle;

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
    Q_INVOKABLE void play();
    Q_INVOKABLE void pause();
    Q_INVOKABLE void togglePause();
    Q_INVOKABLE void stop();
    Q_INVOKABLE void seek(double seconds);

    bool isValid() const { return m_mpv != nullptr; }
    bool playing() const { return m_playing; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    bool loading() const { return m_loading; }

Q_SIGNALS:
    void playingChanged();
    void positionChanged();
    void durationChanged();
    void loadingChanged();
    // The file ended: `error` when it could not be played to its end.
    void endOfFile(bool error);

private:
    Q_INVOKABLE void handleEventsQueued() { handleEvents(); }
    void handleEvents();
    void setPlaying(bool playing);

    mpv_handle *m_mpv = nullptr;
    bool m_playing = false;
    bool m_loading = false;
    double m_position = 0;
    double m_duration = 0;
};
