#pragma once

#include "playback/AudioPlayer.h"

// Stands in for the playlist's player: records what a screen does to it, and announces each change as a
// player does.
class FakeMusic : public AudioPlayer
{
public:
    void play() override
    {
        playing = true;
        ++plays;
        Q_EMIT stateChanged();
    }
    void pause() override
    {
        playing = false;
        ++pauses;
        Q_EMIT stateChanged();
    }
    void stop() override
    {
        playing = false;
        ++stops;
        Q_EMIT stateChanged();
    }
    bool isPlaying() const override { return playing; }

    bool playing = true;
    int plays = 0;
    int pauses = 0;
    int stops = 0;
};
