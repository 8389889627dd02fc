#pragma once

#include <QObject>
#include <QVariantMap>

// The audio player the shared state holds (GlobalData::audioPlayer): the one playing the current playlist.
// Other screens pause or stop it; the player screen, the remote control and the MPRIS service also read and
// move its position. Times are in seconds. Main thread only.
class AudioPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;

    // Readies the player after a jump; players that need nothing keep this.
    virtual void prepareToPlay() {}
    virtual double currentTime() const { return 0; }
    virtual void setCurrentTime(double seconds) { Q_UNUSED(seconds); }
    virtual double duration() const { return 0; }
    // What the file's tags say ("title", "artist", "album"; keys in lower case); empty when nothing is known.
    virtual QVariantMap metadata() const { return {}; }

    // Stops the shared player, clears GlobalData::audioPlayer and deletes the player once control is back in
    // the event loop. Use this to drop it: whoever drops the shared player owns its end.
    static void dropShared();

Q_SIGNALS:
    // The track came to its end; `successfully` is false when it could not be decoded to the end.
    void didFinishPlaying(bool successfully);
    // An interruption of the audio output ended; bit 0 of `flags` asks for playback to resume.
    void endInterruption(int flags);
    // Playing or paused changed, or the player stopped.
    void stateChanged();
    // The position jumped (a seek, not the steady progress of playback).
    void seeked(double seconds);
    // The track's length or its tags became known (a file opens after the player is made).
    void durationChanged();
    void metadataChanged();
};
