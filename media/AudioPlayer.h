#pragma once

#include <QObject>

// The audio player the shared state holds: what other screens may do with the one playing the playlist.
class AudioPlayer : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual bool isPlaying() const = 0;
};
