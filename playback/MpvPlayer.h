#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class MpvHandle;
struct mpv_event;

// The preview player of the catalogue screens and the library: one address played in a libmpv instance of its
// own, without a picture. Requests never wait for libmpv; state comes back as events on the main thread.
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

    // Stops a preview player, clears the pointer and deletes the player later; false when there was none.
    static bool release(QPointer<MpvPlayer> &player);

    bool isValid() const;
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
    void handleEvent(const mpv_event &event);
    void setPlaying(bool playing);
    void setLoading(bool loading);

    MpvHandle *m_mpv;
    bool m_paused = false;
    bool m_loaded = false;
    bool m_playing = false;
    bool m_loading = false;
    double m_position = 0;
    double m_duration = 0;
};
