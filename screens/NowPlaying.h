#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>

class AudioPlayer;
class TagCache;

// The now-playing bar of the wide window and the player screen's track: the current playlist entry (the one
// marked "1") as title, artist, album and cover, from the file's tags where it has them and from its name
// where not (the tags come later than the track: the properties change when they arrive), the shared
// player's times, play/pause, previous and next through the player screen's own operations, seeking and the
// output volume. It follows the shared player whichever screen is shown. Main thread only.
class NowPlaying : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool hasTrack READ hasTrack NOTIFY trackChanged)
    Q_PROPERTY(QString title READ title NOTIFY trackChanged)
    Q_PROPERTY(QString artist READ artist NOTIFY trackChanged)
    Q_PROPERTY(QString album READ album NOTIFY trackChanged)
    // A file URL of the cover image; empty while none is known (the view then draws its placeholder).
    Q_PROPERTY(QUrl coverUrl READ coverUrl NOTIFY trackChanged)
    Q_PROPERTY(bool playing READ playing NOTIFY stateChanged)
    Q_PROPERTY(bool canPlay READ canPlay NOTIFY stateChanged)
    Q_PROPERTY(double position READ position NOTIFY timeChanged)
    Q_PROPERTY(double duration READ duration NOTIFY timeChanged)
    Q_PROPERTY(QString elapsedText READ elapsedText NOTIFY timeChanged)
    Q_PROPERTY(QString totalText READ totalText NOTIFY timeChanged)
    Q_PROPERTY(double volume READ volume WRITE setVolume NOTIFY volumeChanged)

public:
    // `tags` (may be none: the file name alone then) answers the tags and covers; it outlives this.
    explicit NowPlaying(TagCache *tags = nullptr, QObject *parent = nullptr);

    bool hasTrack() const { return !m_title.isEmpty(); }
    QString title() const { return m_title; }
    QString artist() const { return m_artist; }
    QString album() const { return m_album; }
    QUrl coverUrl() const { return m_coverUrl; }
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

    // Reads the playlist and the shared player again: on every change they announce, and every half second
    // while a track plays (the position moves by itself then, and only then).
    Q_INVOKABLE void refresh();
    // The half-second update runs (for the tests: never while nothing plays).
    bool ticking() const { return m_timer.isActive(); }

Q_SIGNALS:
    void trackChanged();
    void stateChanged();
    void timeChanged();
    void volumeChanged();

private:
    void tagsArrived(const QString &key);

    QPointer<TagCache> m_tags;
    QTimer m_timer;
    QPointer<AudioPlayer> m_followed; // the shared player whose changes are followed
    QMetaObject::Connection m_followedState;
    QMetaObject::Connection m_followedSeek;
    QMetaObject::Connection m_followedDuration;
    QString m_trackKey; // the TagCache key of the current track's file; empty without one
    QString m_title;
    QString m_artist;
    QString m_album;
    QUrl m_coverUrl;
    bool m_playing = false;
    bool m_canPlay = false;
    double m_position = 0;
    double m_duration = 0;
};
