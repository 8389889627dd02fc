#pragma once

#include "playback/AudioPlayer.h"

#include <QString>

class MpvPlayer;

// The shared audio player over libmpv: one file of the library, opened when created, paused until play().
// End of track and jumps come from libmpv through the event loop.
class LibraryPlayer : public AudioPlayer
{
    Q_OBJECT
public:
    // Opens `path`; nothing when the file cannot be opened or holds no audio.
    static LibraryPlayer *create(const QString &path, QObject *parent = nullptr);

    void play() override;
    void pause() override;
    void stop() override;
    bool isPlaying() const override;
    double currentTime() const override;
    void setCurrentTime(double seconds) override;
    double duration() const override;
    void setVolume(double percent) override;

    QString path() const { return m_path; }

private:
    LibraryPlayer(MpvPlayer *mpv, const QString &path, QObject *parent);

    MpvPlayer *m_mpv;
    QString m_path;
};
