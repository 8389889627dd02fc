#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class DesktopNotifier;
class TagCache;

// The desktop notification at a track change: the track's title, artist and album and its cover, sent when
// the setting "notify_track_change" is on (off unless the user turned it on; read at every change, so a
// change of the setting applies at once). The tags usually come later than the track: the notice waits for
// them (and for the cover the tags announce), and a newer track replaces a notice still waiting. Main thread
// only.
class TrackNotice : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *settingKey = "notify_track_change";

    // Follows the music player's track changes. `tags` may be none (the file name alone is then told).
    TrackNotice(TagCache *tags, DesktopNotifier *notifier, QObject *parent = nullptr);

    // Playlist entry `index` has started.
    void trackStarted(int index);

private:
    // Sends the waiting notice once what it shows is known; `anyway` sends it with what is known.
    void trySend(bool anyway);

    QPointer<TagCache> m_tags;
    QPointer<DesktopNotifier> m_notifier;
    QString m_path; // the started track's file while its notice waits; empty otherwise
    QString m_file; // its playlist entry, for the name shown without tags
};
