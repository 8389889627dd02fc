#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

// The now-playing bar of the wide window: the current playlist entry (the one marked "1") as title and
// artist, the shared player's times, play/pause, previous and next through the player screen's own
// operations, seeking and the output volume. It follows the shared player whichever screen is shown. Main
// thread only.
class NowPlaying : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hasTrack READ hasTrack NOTIFY trackChanged)
    Q_PROPERTY(QString title READ title NOTIFY trackChanged)
    Q_PROPERTY(QString artist READ artist NOTIFY trackChanged)
    Q_PROPERTY(bool playing READ playing NOTIFY stateChanged)
    Q_PROPERTY(bool canPlay READ canPlay NOTIFY stateChanged)
    Q_PROPERTY(double position READ position NOTIFY timeChanged)
    Q_PROPERTY(double duration READ duration NOTIFY timeChanged)
    Q_PROPERTY(QString elapsedText READ elapsedText NOTIFY timeChanged)
    Q_PROPERTY(QString totalText READ totalText NOTIFY timeChanged)
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)

public:
    explicit NowPlaying(QObject *parent = nullptr);

    bool hasTrack() const { return !m_title.isEmpty(); }
    QString title() const { return m_title; }
    QString artist() const { return m_artist; }
    bool playing() const { return m_playing; }
    bool canPlay() const { return m_canPlay; }
    double position() const { return m_position; }
    double duration() const { return m_duration; }
    QString elapsedText() const;
    QString totalText() const;
    double volume() const;
    void setVolume(double percent);

    // A file's display name ("Artist - Title") split at the first " - "; without one it is all title.
    static QPair<QString, QString> splitDisplayName(const QString &displayName);

    // Pauses a playing player, resumes a paused one; nothing without a player.
    Q_INVOKABLE void togglePlayPause();
    Q_INVOKABLE void previous();
    Q_INVOKABLE void next();
    Q_INVOKABLE void seek(double seconds);

    // Reads the playlist and the shared player again (the timer does it every half second).
    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void trackChanged();
    void stateChanged();
    void timeChanged();
    void volumeChanged();

private:
    QTimer m_timer;
    QString m_title;
    QString m_artist;
    bool m_playing = false;
    bool m_canPlay = false;
    double m_position = 0;
    double m_duration = 0;
};
