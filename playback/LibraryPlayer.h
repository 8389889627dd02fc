#pragma once

#include "playback/AudioPlayer.h"

#include <QPointer>
#include <QString>

#include <limits>

class MusicDeck;

// The shared player of one track of the library (what GlobalData::audioPlayer holds while the track is
// current): a view of the music's one libmpv instance while the track is loaded in it. It is made playing, in
// the state of a file still being opened; its length and tags follow once libmpv has opened the file. When
// another track replaces it, it stops answering for the instance and reads as stopped.
class LibraryPlayer : public AudioPlayer
{
    Q_OBJECT
public:
    void play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override;
    double currentTime() const override;
    void setCurrentTime(double seconds) override;
    double duration() const override { return m_duration; }
    QVariantMap metadata() const override { return m_metadata; }

    QString path() const { return m_path; }
    // A number no other track of this run carries.
    quint64 serial() const { return m_serial; }
    // The file has been opened and plays (or is paused); false while it opens and once it ended.
    bool isLoaded() const { return m_loaded; }
    // The track is still the one in the music's libmpv instance.
    bool isCurrent() const;

Q_SIGNALS:
    // The file could not be opened: nothing was played.
    void failedToOpen();

private:
    friend class MusicDeck;
    LibraryPlayer(MusicDeck *deck, const QString &path, quint64 serial, QObject *parent);

    QPointer<MusicDeck> m_deck;
    QString m_path;
    quint64 m_serial;
    bool m_started = false; // libmpv began opening the file
    bool m_loaded = false;
    bool m_playedOnce = false; // playback began at least once: an error later is a decoding error
    bool m_finished = false;
    bool m_paused = false;
    double m_duration = 0;
    double m_position = 0;
    // Where a jump asked for goes, until libmpv has made it (NaN when none is under way).
    double m_seekTarget = std::numeric_limits<double>::quiet_NaN();
    QVariantMap m_metadata;
};
