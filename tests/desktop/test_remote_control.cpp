#include "../support/Mp3Fixture.h"
#include "../support/PlayerTest.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "desktop/RemoteControl.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"

#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using TestSupport::waitFor;

namespace {

void pump(int ms)
{
    waitFor([] { return false; }, ms);
}

// A player whose clock the test sets, recording what is done to it.
class FakePlayer : public AudioPlayer
{
public:
    void play() override
    {
        playing = true;
        calls << QStringLiteral("play");
    }
    void pause() override
    {
        playing = false;
        calls << QStringLiteral("pause");
    }
    void stop() override { playing = false; }
    bool isPlaying() const override { return playing; }
    void prepareToPlay() override { calls << QStringLiteral("prepare"); }
    double currentTime() const override { return position; }
    void setCurrentTime(double seconds) override
    {
        positions << (position = seconds);
        calls << QStringLiteral("set");
    }
    double duration() const override { return length; }

    bool playing = false;
    double position = 0;
    double length = 0;
    QList<double> positions;
    QStringList calls;
};

class RemoteControlTest : public PlayerTest
{
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        remote.setSeekInterval(20);
    }
    void TearDown() override
    {
        remote.sendEvent(2, RemoteControl::RemoteControlEndSeekingForward);
        remote.sendEvent(2, RemoteControl::RemoteControlEndSeekingBackward);
        waitFor([&] { return remote.runningSeekLoops() == 0; }, 2000);
        if (global->audioPlayer == &fake)
            global->audioPlayer = nullptr;
        PlayerTest::TearDown();
    }
    void makePlaylist(const QStringList &files, double seconds = 60)
    {
        ASSERT_TRUE(Mp3Fixture::appendToPlaylist(files, seconds));
    }
    bool send(int subtype) { return remote.sendEvent(RemoteControl::RemoteControlEventType, subtype); }
    // Holds a seek key until `done` holds (or two seconds pass), then releases it and waits for its loop.
    bool hold(bool forward, const std::function<bool()> &done)
    {
        send(forward ? RemoteControl::RemoteControlBeginSeekingForward
                     : RemoteControl::RemoteControlBeginSeekingBackward);
        const bool reached = waitFor(done, 10000); // generous: a loaded machine seeks slowly
        send(forward ? RemoteControl::RemoteControlEndSeekingForward
                     : RemoteControl::RemoteControlEndSeekingBackward);
        return waitFor([&] { return remote.runningSeekLoops() == 0; }, 10000) && reached;
    }

    RemoteControl remote;
    FakePlayer fake;
};

TEST_F(RemoteControlTest, TrackEventsDriveThePlayerOnlyWhileNoChangeIsPending)
{
    makePlaylist({"A.mp3", "B.mp3", "C.mp3"});
    // Nothing current yet (as after a restart): play, or the play/pause toggle, starts the playlist's first
    // entry.
    EXPECT_TRUE(send(RemoteControl::RemoteControlTogglePlayPause));
    EXPECT_EQ(playingFile(), "A.mp3");
    AudioPlayer *player = global->audioPlayer;
    ASSERT_NE(player, nullptr);

    const std::pair<int, bool> events[] = {{RemoteControl::RemoteControlPause, false},
                                           {RemoteControl::RemoteControlPlay, true},
                                           {RemoteControl::RemoteControlTogglePlayPause, false},
                                           {RemoteControl::RemoteControlTogglePlayPause, true}};
    for (const auto &[event, playing] : events) {
        send(event);
        EXPECT_EQ(player->isPlaying(), playing) << event;
    }
    player->setCurrentTime(25);
    send(RemoteControl::RemoteControlStop);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_NEAR(player->currentTime(), 25, 0.5) << "stop pauses where it is";
    EXPECT_EQ(global->audioPlayer, player);

    // Two next events before the player's tick: one track further, not two.
    send(RemoteControl::RemoteControlNextTrack);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next);
    send(RemoteControl::RemoteControlNextTrack);
    send(RemoteControl::RemoteControlPreviousTrack);
    send(RemoteControl::RemoteControlPlay);
    send(RemoteControl::RemoteControlTogglePlayPause);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next);
    EXPECT_FALSE(player->isPlaying()) << "play waits while a change is pending";
    music.updateTime();
    music.updateTime();
    EXPECT_EQ(playingFile(), "B.mp3");
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);

    send(RemoteControl::RemoteControlPreviousTrack);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Previous);
    music.updateTime();
    EXPECT_EQ(playingFile(), "A.mp3");
}

TEST_F(RemoteControlTest, OtherEventsPassOnAndUnknownSubtypesAreSwallowed)
{
    fake.playing = false;
    fake.length = 100;
    global->audioPlayer = &fake;
    EXPECT_FALSE(remote.sendEvent(1, RemoteControl::RemoteControlPlay)) << "not ours: passed on";
    EXPECT_FALSE(remote.sendEvent(0, RemoteControl::RemoteControlNextTrack));
    for (int subtype : {0, 99, 110, 200, -5}) {
        EXPECT_TRUE(remote.sendEvent(2, subtype)) << subtype;
    }
    EXPECT_TRUE(fake.calls.isEmpty());
    EXPECT_FALSE(remote.seekingForward());
    EXPECT_FALSE(remote.seekingBackward());
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
}

TEST_F(RemoteControlTest, SeekingForwardStepsAThirtiethAndStopsShortOfTheEnd)
{
    fake.length = 300;
    fake.position = 250;
    fake.playing = true;
    global->audioPlayer = &fake;
    ASSERT_TRUE(hold(true, [&] { return fake.calls.count("pause") >= 8; }));
    EXPECT_EQ(fake.positions, (QList<double>{260, 270, 280, 290})) << "300 itself is never reached";
    EXPECT_EQ(fake.position, 290);
    EXPECT_TRUE(fake.playing) << "a playing track plays on";
    // Every step: pause, jump, prepare, play again.
    EXPECT_EQ(fake.calls.mid(0, 4), (QStringList{"pause", "set", "prepare", "play"}));
    EXPECT_EQ(fake.calls.mid(16, 3), (QStringList{"pause", "prepare", "play"}));
    EXPECT_FALSE(remote.seekingForward());

    // A track whose length is not a whole multiple of 30: the steps stay in single precision.
    fake.length = 7;
    fake.position = 0;
    fake.positions.clear();
    ASSERT_TRUE(hold(true, [&] { return fake.positions.size() >= 3; }));
    EXPECT_EQ(float(fake.positions.at(0)), 7.0f / 30.0f);
    EXPECT_EQ(float(fake.positions.at(2)), 7.0f / 30.0f + 7.0f / 30.0f + 7.0f / 30.0f);
}

TEST_F(RemoteControlTest, SeekingBackwardStopsAtZeroAndKeepsAPausedTrackPaused)
{
    fake.length = 300;
    fake.position = 15;
    fake.playing = false;
    global->audioPlayer = &fake;
    ASSERT_TRUE(hold(false, [&] { return fake.positions.size() >= 3; }));
    EXPECT_EQ(fake.positions.mid(0, 3), (QList<double>{5, 0, 0}));
    EXPECT_FALSE(fake.calls.contains("play"));

    fake.position = std::numeric_limits<double>::quiet_NaN();
    fake.positions.clear();
    ASSERT_TRUE(hold(false, [&] { return !fake.positions.isEmpty(); }));
    EXPECT_EQ(fake.positions.at(0), 0) << "a position that is not a number goes to the start";
}

TEST_F(RemoteControlTest, SeekingWithoutATrackLengthChangesNothingUntilReleased)
{
    send(RemoteControl::RemoteControlBeginSeekingForward);
    EXPECT_TRUE(remote.seekingForward());
    pump(100);
    EXPECT_EQ(remote.runningSeekLoops(), 1) << "no player: the loop keeps waiting";
    for (double length : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        fake.length = length;
        global->audioPlayer = &fake;
        pump(80);
        EXPECT_TRUE(fake.calls.isEmpty()) << length;
    }
    EXPECT_EQ(remote.runningSeekLoops(), 1);
    send(RemoteControl::RemoteControlEndSeekingForward);
    EXPECT_TRUE(waitFor([&] { return remote.runningSeekLoops() == 0; }, 1000));

    // Two presses without a release run two loops; one release ends both.
    fake.length = 300;
    send(RemoteControl::RemoteControlBeginSeekingBackward);
    send(RemoteControl::RemoteControlBeginSeekingBackward);
    EXPECT_EQ(remote.runningSeekLoops(), 2);
    send(RemoteControl::RemoteControlEndSeekingBackward);
    EXPECT_TRUE(waitFor([&] { return remote.runningSeekLoops() == 0; }, 1000));
}

TEST_F(RemoteControlTest, HoldingSeekMovesARealTrack)
{
    makePlaylist({"Long.mp3"}, 300);
    music.playSound(0);
    AudioPlayer *player = global->audioPlayer;
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(waitFor([&] { return player->duration() > 0; }, 5000));
    EXPECT_NEAR(player->duration(), 300, 0.1);
    player->pause();
    remote.setSeekInterval(150);
    ASSERT_TRUE(hold(true, [&] { return player->currentTime() >= 29.9; }));
    pump(100);
    const double position = player->currentTime();
    // The reported time trails the seek target by the audio output's buffer (a fraction of a second).
    EXPECT_NEAR(position, 10 * std::round(position / 10), 1.0) << "whole steps of 10 s";
    EXPECT_GE(position, 29.9);
    EXPECT_LT(position, 100); // the release stops the loop within a step or two
    EXPECT_FALSE(player->isPlaying());

    ASSERT_TRUE(hold(false, [&] { return player->currentTime() < 0.5; }));
    EXPECT_NEAR(player->currentTime(), 0, 0.5);
}

TEST(RemoteControlKeys, MediaKeysMapToRemoteControlSubtypes)
{
    const auto subtype = [](QEvent::Type type, int key, bool repeat = false) {
        return RemoteControl::subtypeForKey(QKeyEvent(type, key, Qt::NoModifier, QString(), repeat));
    };
    // The keyboard's play key toggles. A held key repeats: only the first press and the last release count.
    const struct
    {
        int key;
        int press;
        int release;
    } keys[] = {{Qt::Key_MediaPlay, 103, 0},     {Qt::Key_MediaPause, 101, 0},
                {Qt::Key_MediaStop, 102, 0},     {Qt::Key_MediaTogglePlayPause, 103, 0},
                {Qt::Key_MediaNext, 104, 0},     {Qt::Key_MediaPrevious, 105, 0},
                {Qt::Key_AudioRewind, 106, 107}, {Qt::Key_AudioForward, 108, 109},
                {Qt::Key_Space, 0, 0},           {Qt::Key_Right, 0, 0}};
    for (const auto &k : keys) {
        EXPECT_EQ(subtype(QEvent::KeyPress, k.key), k.press) << k.key;
        EXPECT_EQ(subtype(QEvent::KeyRelease, k.key), k.release) << k.key;
        EXPECT_EQ(subtype(QEvent::KeyPress, k.key, true), 0) << k.key;
        EXPECT_EQ(subtype(QEvent::KeyRelease, k.key, true), 0) << k.key;
    }

    // Only events entering a window are taken; the same event handed on to an item is not taken twice.
    RemoteControl remote;
    QObject item;
    QKeyEvent next(QEvent::KeyPress, Qt::Key_MediaNext, Qt::NoModifier);
    GlobalData::sharedGlobalData()->pendingTrackStep = GlobalData::TrackStep::None;
    EXPECT_FALSE(remote.eventFilter(&item, &next));
    EXPECT_EQ(GlobalData::sharedGlobalData()->pendingTrackStep, GlobalData::TrackStep::None);
}

} // namespace
