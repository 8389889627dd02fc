// The music player's gapless change of tracks (the entry that comes next waits queued in libmpv) and the
// ReplayGain setting as libmpv receives it.
#include "../support/Mp3Fixture.h"
#include "../support/PlayerTest.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicDeck.h"
#include "playback/MusicPlayer.h"

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using TestSupport::waitFor;

namespace {

class GaplessTest : public PlayerTest
{
protected:
    void makePlaylist(const QList<std::pair<QString, double>> &files)
    {
        for (const auto &[file, seconds] : files) {
            ASSERT_TRUE(Mp3Fixture::write(path(file), seconds));
            Stores::playlist().append(PlaylistEntry{file, false});
        }
    }
    QString path(const QString &file) const { return audio + QLatin1Char('/') + file; }
};

TEST_F(GaplessTest, TheEntryThatComesNextWaitsQueuedAndFollowsThePlaylistAndTheModes)
{
    makePlaylist({{"a.mp3", 30}, {"b.mp3", 30}, {"c.mp3", 30}});
    music.playSound(0);
    ASSERT_TRUE(waitFor([&] { return player() && player()->isLoaded(); }, 10000));
    MusicDeck *deck = music.deck();
    EXPECT_EQ(deck->next(), path("b.mp3"));

    // Reordered: c now follows a.
    Stores::playlist().moveEntry(2, 1);
    EXPECT_EQ(deck->next(), path("c.mp3"));
    // Repeat: the same file again; shuffle draws when the track ends, so nothing waits.
    music.setRepeat(MusicPlayer::Repeat::Track);
    EXPECT_EQ(deck->next(), path("a.mp3"));
    music.setRepeat(MusicPlayer::Repeat::Playlist);
    music.setShuffle(true);
    EXPECT_TRUE(deck->next().isEmpty());
    music.setShuffle(false);
    EXPECT_EQ(deck->next(), path("c.mp3"));
    // The last entry leads back to the first, unless the playlist is to end there.
    music.playSound(2);
    EXPECT_EQ(deck->next(), path("a.mp3"));
    music.setRepeat(MusicPlayer::Repeat::Off);
    EXPECT_TRUE(deck->next().isEmpty());
    music.setRepeat(MusicPlayer::Repeat::Playlist);
    // Entries whose file is gone are passed over.
    Stores::playlist().append(PlaylistEntry{QStringLiteral("gone.mp3"), false});
    Stores::playlist().append(PlaylistEntry{QStringLiteral("c.mp3"), false});
    EXPECT_EQ(deck->next(), path("c.mp3"));
}

TEST_F(GaplessTest, TheEndOfATrackGoesOnWithTheQueuedOneWithoutANewLoad)
{
    makePlaylist({{"one.mp3", 1.0}, {"two.mp3", 30}, {"three.mp3", 30}});
    QSignalSpy advanced(music.deck(), &MusicDeck::advanced);
    QSignalSpy started(&music, &MusicPlayer::trackStarted);
    music.playSound(0);
    ASSERT_TRUE(waitFor([&] { return playingFile() == QLatin1String("two.mp3"); }, 15000));
    // libmpv went on by itself: the player took over the queued track, it loaded nothing anew.
    EXPECT_EQ(advanced.count(), 1);
    ASSERT_EQ(started.count(), 2);
    EXPECT_EQ(started.at(1).at(0).toInt(), 1);
    EXPECT_EQ(MusicPlayer::currentIndex(), 1);
    ASSERT_TRUE(waitFor([&] { return player() && player()->isLoaded(); }, 10000));
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_NEAR(player()->duration(), 30, 0.5);
    // And the one after it waits in turn.
    EXPECT_EQ(music.deck()->next(), path("three.mp3"));
}

TEST_F(GaplessTest, AQueuedFileRemovedMeanwhileIsPassedOverAtTheChange)
{
    makePlaylist({{"one.mp3", 1.0}, {"two.mp3", 30}, {"three.mp3", 30}});
    music.playSound(0);
    ASSERT_TRUE(waitFor([&] { return player() && player()->isLoaded(); }, 10000));
    ASSERT_EQ(music.deck()->next(), path("two.mp3"));
    ASSERT_TRUE(QFile::remove(path("two.mp3")));
    ASSERT_TRUE(waitFor([&] { return playingFile() == QLatin1String("three.mp3"); }, 15000));
    EXPECT_EQ(MusicPlayer::currentIndex(), 2);
    ASSERT_TRUE(waitFor([&] { return player() && player()->isLoaded(); }, 10000));
    EXPECT_TRUE(player()->isPlaying());
}

TEST_F(GaplessTest, ReplayGainFollowsTheSettingAsSoonAsItIsWritten)
{
    MusicDeck *deck = music.deck();
    ASSERT_TRUE(deck->isValid());
    // Unset: by track.
    EXPECT_TRUE(waitFor([&] { return deck->propertyNow("replaygain") == "track"; }, 3000));
    const QString key = QLatin1String(MusicDeck::replayGainKey);
    Settings::shared().setString(key, QStringLiteral("album"));
    EXPECT_TRUE(waitFor([&] { return deck->propertyNow("replaygain") == "album"; }, 3000));
    Settings::shared().setString(key, QStringLiteral("off"));
    EXPECT_TRUE(waitFor([&] { return deck->propertyNow("replaygain") == "no"; }, 3000));
    Settings::shared().setString(key, QStringLiteral("nonsense"));
    EXPECT_TRUE(waitFor([&] { return deck->propertyNow("replaygain") == "track"; }, 3000));
}

} // namespace
