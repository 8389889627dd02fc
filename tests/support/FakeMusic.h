#pragma once

#include "playback/AudioPlayer.h"

// Stands in for the playlist's player: records what a screen does to it.
class FakeMusic : public AudioPlayer
{
public:
    void play() override
    {
        playing = true;
        ++plays;
    }
    void pause() override
    {
        playing = false;
        ++pauses;
    }
    void stop() override
    {
        playing = false;
        ++stops;
    }
    bool isPlaying() const override { return playing; }

    bool playing = true;
    int plays = 0;
    int pauses = 0;
    int stops = 0;
};
