#include "../support/Mp3Fixture.h"
#include "../support/PlayerTest.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/LibraryPlayer.h"
#include "playback/MpvHandle.h"
#include "playback/MusicDeck.h"
#include "playback/MusicPlayer.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using TestSupport::waitFor;

namespace {

class MusicPlayerTest : public PlayerTest
{
protected:
    // Files of `seconds` each under the audio folder, and the playlist naming them in order.
    void makePlaylist(const QStringList &files, double seconds = 60)
    {
        ASSERT_TRUE(Mp3Fixture::appendToPlaylist(files, seconds));
    }
    QString path(const QString &file) const { return audio + QLatin1Char('/') + file; }
    // An entry whose file is not (or no longer) there.
    void addMissing(const QString &file) { Stores::playlist().append(PlaylistEntry{file, false}); }
    QStringList marks() const
    {
        QStringList marks;
        for (const PlaylistEntry &entry : Stores::playlist().records())
            marks << (entry.current ? QStringLiteral("1") : QStringLiteral("0"));
        return marks;
    }
};

// Ten tracks started one after another each open in turn on the one long-lived instance, with the right
// length. (How long the window is kept waiting meanwhile is measured by bench/bench_track_change.)
TEST_F(MusicPlayerTest, TenTrackChangesOpenEachTrackInTurn)
{
    QStringList files;
    for (int i = 0; i < 11; ++i)
        files << QStringLiteral("Track %1.mp3").arg(i);
    makePlaylist(files, 30);
    music.playSound(0);
    ASSERT_TRUE(waitFor([&] { return loaded(); }, 5000));
    for (int i = 1; i <= 10; ++i) {
        music.next();
        ASSERT_EQ(playingFile(), files.at(i));
        ASSERT_TRUE(waitFor([&] { return loaded() && player()->duration() > 0; }, 5000)) << i;
    }
    EXPECT_NEAR(player()->duration(), 30, 0.2);
}

// A length read for the track before never lands on the next: each start reports its own file's length from
// the first length it reports (libmpv may still be answering a read for the file it replaces).
TEST_F(MusicPlayerTest, AStartedTrackReportsOnlyItsOwnLength)
{
    makePlaylist({QStringLiteral("Long.mp3")}, 75);
    makePlaylist({QStringLiteral("Short.mp3")}, 60);
    for (int round = 0; round < 30; ++round) {
        music.playSound(0);
        ASSERT_TRUE(waitFor([&] { return player() && std::abs(player()->duration() - 75) < 0.5; }, 5000));
        music.playSound(1);
        ASSERT_TRUE(waitFor([&] { return player() && player()->duration() > 0; }, 5000));
        ASSERT_NEAR(player()->duration(), 60, 0.5) << "round " << round;
    }
}

TEST_F(MusicPlayerTest, TheTickCarriesOutRequestsFromOutsideWithoutAnyScreen)
{
    makePlaylist({"A.mp3", "B.mp3"});
    music.start();
    ASSERT_NE(global->playbackTimer, nullptr);
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    music.updateTime();
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next) << "no current track: the request waits";

    music.playSound(0);
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    ASSERT_TRUE(waitFor([&] { return playingFile() == QStringLiteral("B.mp3"); }, 3000))
        << "the running tick acted on it";
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
}

TEST_F(MusicPlayerTest, PlayWithoutACurrentTrackStartsTheFirstPlayableEntry)
{
    MusicPlayer::play(); // an empty playlist: nothing, and no crash
    EXPECT_EQ(global->audioPlayer, nullptr);

    addMissing("Gone.mp3");
    makePlaylist({"First.mp3", "Second.mp3"});
    MusicPlayer::play();
    EXPECT_EQ(playingFile(), "First.mp3");
    EXPECT_EQ(marks(), (QStringList{"0", "1", "0"}));
    EXPECT_TRUE(player()->isPlaying());

    // With a current track, play resumes it rather than starting anything.
    MusicPlayer::pause();
    AudioPlayer *paused = global->audioPlayer;
    MusicPlayer::play();
    EXPECT_EQ(global->audioPlayer, paused);
    EXPECT_TRUE(paused->isPlaying());
}

TEST_F(MusicPlayerTest, EntriesWhoseFileIsGoneArePassedOverAndKept)
{
    makePlaylist({"A.mp3"});
    addMissing("Gone 1.mp3");
    addMissing("Gone 2.mp3");
    makePlaylist({"D.mp3"});

    music.playSound(0);
    music.next();
    EXPECT_EQ(playingFile(), "D.mp3");
    EXPECT_EQ(marks(), (QStringList{"0", "0", "0", "1"}));
    music.previous(); // at the start of D: backwards over both
    EXPECT_EQ(playingFile(), "A.mp3");
    music.playSound(1); // a tap on a gone entry plays the next one there is
    EXPECT_EQ(playingFile(), "D.mp3");
    EXPECT_EQ(Stores::playlist().size(), 4) << "nothing is removed from the list";

    // The playing file deleted meanwhile: repeat cannot start it again and goes on to the next.
    global->playRepeatMusic = true;
    ASSERT_TRUE(QFile::remove(audio + QStringLiteral("/D.mp3")));
    music.next();
    EXPECT_EQ(playingFile(), "A.mp3");

    // Nothing left to play: the player is dropped and a request from outside is not kept waiting.
    QSignalSpy nothing(&music, &MusicPlayer::nothingToPlay);
    ASSERT_TRUE(QFile::remove(audio + QStringLiteral("/A.mp3")));
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    music.updateTime();
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_EQ(nothing.count(), 1);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
    EXPECT_EQ(marks(), (QStringList{"1", "0", "0", "0"})) << "the last track played stays marked";
}

TEST_F(MusicPlayerTest, AFileThatCannotBeOpenedLeavesNoPlayerAndDoesNotAdvance)
{
    ASSERT_TRUE(Mp3Fixture::writeBroken(audio + QStringLiteral("/Broken.mp3")));
    Stores::playlist().append(PlaylistEntry{"Broken.mp3", false});
    makePlaylist({"Good.mp3"});

    music.playSound(0);
    EXPECT_EQ(marks(), (QStringList{"1", "0"}));
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer == nullptr; }, 5000)) << "libmpv could not open it";
    waitFor([] { return false; }, 500);
    EXPECT_EQ(global->audioPlayer, nullptr);
    // Nothing ended, so nothing advances: not even to the entry waiting queued in libmpv.
    EXPECT_EQ(marks(), (QStringList{"1", "0"}));
    music.next(); // the next button still works
    EXPECT_EQ(playingFile(), "Good.mp3");
}

TEST_F(MusicPlayerTest, AJumpAskedForWhileTheFileOpensIsMadeOnceItIsOpen)
{
    makePlaylist({"A.mp3"});
    music.playSound(0);
    LibraryPlayer *track = player();
    QSignalSpy jumps(track, &AudioPlayer::seeked);
    track->setCurrentTime(40);
    EXPECT_DOUBLE_EQ(track->currentTime(), 40) << "reads as done at once";
    ASSERT_TRUE(waitFor([&] { return jumps.count() == 1; }, 5000));
    EXPECT_DOUBLE_EQ(jumps.at(0).at(0).toDouble(), 40);
    ASSERT_TRUE(waitFor([&] { return track->currentTime() > 40.2; }, 5000)) << "and plays on from there";
    EXPECT_LT(track->currentTime(), 45);

    // Paused, a jump stays paused.
    track->pause();
    track->setCurrentTime(10);
    ASSERT_TRUE(waitFor([&] { return jumps.count() == 2; }, 5000));
    waitFor([] { return false; }, 200);
    EXPECT_NEAR(track->currentTime(), 10, 0.3);
    EXPECT_FALSE(track->isPlaying());
}

TEST_F(MusicPlayerTest, AReplacedTrackStopsAnsweringForTheInstance)
{
    makePlaylist({"A.mp3", "B.mp3"});
    music.playSound(0);
    QPointer<LibraryPlayer> first = player();
    ASSERT_TRUE(waitFor([&] { return loaded(); }, 5000));
    music.playSound(1);
    ASSERT_TRUE(first);
    EXPECT_FALSE(first->isPlaying());
    first->pause(); // must not pause B
    first->setCurrentTime(50);
    EXPECT_TRUE(player()->isPlaying());
    ASSERT_TRUE(waitFor([&] { return loaded() && player()->currentTime() > 0.2; }, 5000));
    EXPECT_LT(player()->currentTime(), 5) << "B was not moved by A's jump";
}

TEST_F(MusicPlayerTest, TagsAndLengthComeFromTheFile)
{
    ASSERT_TRUE(Mp3Fixture::writeTagged(audio + QStringLiteral("/file name.mp3"), 12, "Песня", "Исполнитель",
                                        "Альбом"));
    Stores::playlist().append(PlaylistEntry{"file name.mp3", false});
    QSignalSpy known(&music, &MusicPlayer::durationKnown);
    music.playSound(0);
    ASSERT_TRUE(waitFor([&] { return !player()->metadata().isEmpty() && player()->duration() > 0; }, 5000));
    const QVariantMap tags = player()->metadata();
    EXPECT_EQ(QStringList({tags.value("title").toString(), tags.value("artist").toString(),
                           tags.value("album").toString()}),
              QStringList({"Песня", "Исполнитель", "Альбом"}));
    EXPECT_NEAR(player()->duration(), 12, 0.2);
    ASSERT_GE(known.count(), 1);
    EXPECT_NEAR(known.last().at(0).toDouble(), 12, 0.2);
}

TEST_F(MusicPlayerTest, VolumeStaysFromOneTrackToTheNext)
{
    makePlaylist({"A.mp3", "B.mp3"});
    QSignalSpy changes(&music, &MusicPlayer::volumeChanged);
    music.setVolume(0.25);
    EXPECT_DOUBLE_EQ(music.volume(), 0.25);
    music.setVolume(-3);
    EXPECT_DOUBLE_EQ(music.volume(), 0) << "below silence is silence";
    music.setVolume(0.5);
    EXPECT_EQ(changes.count(), 3);
    // Set before any track played, when there was no libmpv instance yet: the first track's instance has it.
    music.playSound(0);
    EXPECT_TRUE(waitFor([&] { return music.deck()->propertyNow("volume").toDouble() == 50; }, 3000))
        << music.deck()->propertyNow("volume").toStdString();
    music.next();
    EXPECT_DOUBLE_EQ(music.volume(), 0.5);
    EXPECT_EQ(music.deck()->propertyNow("volume").toDouble(), 50);
}

// What comes after the end of a track, played to its end, in each repeat mode: the same track (track), the
// first entry after the last one (playlist), nothing after the last one (none).
TEST_F(MusicPlayerTest, TheRepeatModesDecideWhatFollowsTheEndOfATrack)
{
    makePlaylist({"First.mp3", "Last.mp3"}, 0.6);
    QSignalSpy started(&music, &MusicPlayer::trackStarted);

    music.setRepeat(MusicPlayer::Repeat::Track);
    music.playSound(1);
    ASSERT_TRUE(waitFor([&] { return started.size() >= 3; }, 8000)) << "the track ends and starts again";
    for (const QList<QVariant> &start : std::as_const(started))
        EXPECT_EQ(start.at(0).toInt(), 1);
    music.next();
    EXPECT_EQ(playingFile(), "Last.mp3") << "next repeats it too";

    music.setRepeat(MusicPlayer::Repeat::Playlist);
    started.clear();
    ASSERT_TRUE(waitFor([&] { return !started.isEmpty(); }, 5000));
    EXPECT_EQ(started.first().at(0).toInt(), 0) << "the playlist starts again";

    music.setRepeat(MusicPlayer::Repeat::Off);
    ASSERT_TRUE(waitFor([&] { return playingFile() == QStringLiteral("Last.mp3"); }, 5000));
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer == nullptr; }, 5000)) << "the playlist ends";
    started.clear();
    TestSupport::waitFor([] { return false; }, 1000);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(MusicPlayer::currentIndex(), -1);
    MusicPlayer::play();
    EXPECT_EQ(playingFile(), "First.mp3") << "play starts it again from its first entry";
}

// Shuffle and repeat as the user left them come back with the next start: a new player reads them.
TEST_F(MusicPlayerTest, ShuffleAndRepeatSurviveARestart)
{
    for (const auto &[shuffle, repeat] :
         {std::pair(true, MusicPlayer::Repeat::Track), std::pair(false, MusicPlayer::Repeat::Off)}) {
        MusicPlayer::shared().setShuffle(shuffle);
        MusicPlayer::shared().setRepeat(repeat);
        // A new run: the shared state as a fresh start has it, and a new player.
        global->playRandomMusic = !shuffle;
        global->playRepeatMusic = false;
        global->repeatPlaylist = true;
        delete &MusicPlayer::shared();
        MusicPlayer::shared();
        EXPECT_EQ(global->playRandomMusic, shuffle);
        EXPECT_EQ(MusicPlayer::repeat(), repeat);
    }
    EXPECT_EQ(Settings::shared().stringValue("player/repeat"), "off");
}

// The gapless change of tracks: the entry that comes next waits queued in libmpv.
TEST_F(MusicPlayerTest, TheEntryThatComesNextWaitsQueuedAndFollowsThePlaylistAndTheModes)
{
    makePlaylist({"a.mp3", "b.mp3", "c.mp3"}, 30);
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
    Stores::playlist().append(PlaylistEntry{"gone.mp3", false});
    Stores::playlist().append(PlaylistEntry{"c.mp3", false});
    EXPECT_EQ(deck->next(), path("c.mp3"));
}

TEST_F(MusicPlayerTest, TheEndOfATrackGoesOnWithTheQueuedOneWithoutANewLoad)
{
    makePlaylist({"one.mp3"}, 1.0);
    makePlaylist({"two.mp3", "three.mp3"}, 30);
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

TEST_F(MusicPlayerTest, AQueuedFileRemovedMeanwhileIsPassedOverAtTheChange)
{
    makePlaylist({"one.mp3"}, 1.0);
    makePlaylist({"two.mp3", "three.mp3"}, 30);
    music.playSound(0);
    ASSERT_TRUE(waitFor([&] { return player() && player()->isLoaded(); }, 10000));
    ASSERT_EQ(music.deck()->next(), path("two.mp3"));
    ASSERT_TRUE(QFile::remove(path("two.mp3")));
    ASSERT_TRUE(waitFor([&] { return playingFile() == QLatin1String("three.mp3"); }, 15000));
    EXPECT_EQ(MusicPlayer::currentIndex(), 2);
    ASSERT_TRUE(waitFor([&] { return player() && player()->isLoaded(); }, 10000));
    EXPECT_TRUE(player()->isPlaying());
}

// The ReplayGain setting as libmpv receives it.
TEST_F(MusicPlayerTest, ReplayGainFollowsTheSettingAsSoonAsItIsWritten)
{
    MusicDeck *deck = music.deck();
    ASSERT_TRUE(deck->isValid());
    // Unset, and anything but the two other modes: by track.
    const QString key = QLatin1String(MusicDeck::replayGainKey);
    for (const auto &[setting, mode] :
         {std::pair("", "track"), {"album", "album"}, {"off", "no"}, {"nonsense", "track"}}) {
        if (*setting)
            Settings::shared().setString(key, setting);
        EXPECT_TRUE(waitFor([&] { return deck->propertyNow("replaygain") == mode; }, 3000)) << setting;
    }
}

// What a libmpv instance of the program brings with it.
// The threads of this process whose name starts with `prefix`.
int threadsNamed(const QByteArray &prefix)
{
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task) + QStringLiteral("/comm"));
        if (comm.open(QIODevice::ReadOnly) && comm.readAll().startsWith(prefix))
            ++count;
    }
    return count;
}

// libmpv runs each Lua script (its statistics page, its console, its profile switcher) on a thread of its own
// with its own interpreter. The program shows none of mpv's on-screen tools, so no instance may start one:
// they stayed in memory for the whole run, two per instance.
TEST(MpvHandle, NoPurposeStartsMpvsOwnScripts)
{
    ASSERT_EQ(threadsNamed("mpv/lua"), 0);
    std::vector<std::unique_ptr<MpvHandle>> handles;
    for (auto purpose : {MpvHandle::Purpose::Music, MpvHandle::Purpose::Preview, MpvHandle::Purpose::Video,
                         MpvHandle::Purpose::VideoWithPicture, MpvHandle::Purpose::DeviceWatch}) {
        handles.push_back(std::make_unique<MpvHandle>(purpose));
        ASSERT_TRUE(handles.back()->isValid());
    }
    // The instances themselves run: their core threads are there.
    EXPECT_GE(threadsNamed("mpv/"), int(handles.size()));
    EXPECT_EQ(threadsNamed("mpv/lua"), 0);
}

} // namespace
