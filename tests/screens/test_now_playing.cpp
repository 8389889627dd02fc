// The now-playing bar's track as the window shows it: the file's tags and cover once the tag cache has read
// them, the file name before that and for a file without tags.
#include "../library/TagFixtures.h"
#include "../support/FakeMusic.h"
#include "../support/Mp3Fixture.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "library/TagCache.h"
#include "playback/AudioPlayer.h"
#include "screens/NowPlaying.h"
#include "screens/PlaylistDurations.h"
#include "screens/PlaylistRowModel.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using TestSupport::waitFor;

class NowPlayingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.filePath("documents"));
        Settings::setSharedPath(root.filePath("settings.conf"));
        GlobalData::sharedGlobalData();
        Mp3Fixture::resetPlayerState();
        cover = root.filePath("cover.png");
        ASSERT_EQ(TagFixtures::picture(cover, "red", 32), QString());
        ASSERT_EQ(TagFixtures::mp3(audio("01 track.mp3"), {"Песня", "Исполнитель", "Альбом", "3/12", "1999"},
                                   2, 4, cover),
                  QString());
        ASSERT_EQ(TagFixtures::mp3(audio("Band - Untagged.mp3"), {}, 2, 0), QString());
    }
    void TearDown() override
    {
        Mp3Fixture::resetPlayerState();
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }
    static QString audio(const QString &name)
    {
        return StorageLayout::getAudioDir() + QLatin1Char('/') + name;
    }
    // Makes entry `current` of `files` the current one, as a started track does.
    static void playlist(const QStringList &files, int current)
    {
        QList<PlaylistEntry> entries;
        for (int i = 0; i < files.size(); ++i)
            entries << PlaylistEntry{files.at(i), i == current};
        Stores::playlist().assignEntries(entries);
    }

    QTemporaryDir root;
    QString cover;
};

TEST_F(NowPlayingTest, ShowsTheTagsAndTheCoverAsSoonAsTheCacheHasThem)
{
    TagCache cache(root.filePath("cache"), {});
    NowPlaying bar(&cache);
    QSignalSpy changes(&bar, &NowPlaying::trackChanged);
    // What the bar says at the moment each answer is announced (it connected first, so it has taken it).
    QString albumAtTags;
    QUrl coverAtCover;
    QObject::connect(&cache, &TagCache::tagsReady, &bar, [&] { albumAtTags = bar.album(); });
    QObject::connect(&cache, &TagCache::coverReady, &bar, [&] { coverAtCover = bar.coverUrl(); });

    playlist({"01 track.mp3", "Band - Untagged.mp3"}, 0);
    bar.refresh();
    // Before the tags are read, the file name, as without tags.
    EXPECT_EQ(bar.title(), "01 track");
    EXPECT_TRUE(bar.coverUrl().isEmpty());

    ASSERT_TRUE(waitFor([&] { return !coverAtCover.isEmpty(); }, 10000)) << "no cover announced";
    EXPECT_EQ(albumAtTags, "Альбом") << "the bar follows tagsReady at once";
    EXPECT_EQ(bar.title(), "Песня");
    EXPECT_EQ(bar.artist(), "Исполнитель");
    EXPECT_EQ(bar.album(), "Альбом");
    EXPECT_EQ(coverAtCover, bar.coverUrl());
    ASSERT_TRUE(bar.coverUrl().isLocalFile()) << bar.coverUrl().toString().toStdString();
    EXPECT_EQ(TagFixtures::readAll(bar.coverUrl().toLocalFile()), TagFixtures::readAll(cover))
        << "the picture of the file, as written to the cache";
    EXPECT_GE(changes.count(), 2);

    // The next track has no tags: its name again, and neither the album nor the cover of the one before.
    playlist({"01 track.mp3", "Band - Untagged.mp3"}, 1);
    bar.refresh();
    ASSERT_TRUE(waitFor([&] { return cache.pending() == 0; }, 10000));
    bar.refresh();
    EXPECT_EQ(bar.title(), "Untagged");
    EXPECT_EQ(bar.artist(), "Band");
    EXPECT_EQ(bar.album(), QString());
    EXPECT_TRUE(bar.coverUrl().isEmpty());

    // Back to the first: answered from the cache at once, cover included.
    playlist({"01 track.mp3", "Band - Untagged.mp3"}, 0);
    bar.refresh();
    EXPECT_EQ(bar.album(), "Альбом");
    EXPECT_FALSE(bar.coverUrl().isEmpty());

    // Nothing current: nothing shown.
    Stores::playlist().assignEntries({});
    bar.refresh();
    EXPECT_FALSE(bar.hasTrack());
    EXPECT_TRUE(bar.coverUrl().isEmpty());
    EXPECT_EQ(bar.album(), QString());
}

TEST_F(NowPlayingTest, WithoutATagCacheTheNameIsShownAndTheHalfSecondUpdateRunsOnlyWhileATrackPlays)
{
    // A long playlist and nothing playing: the idle window has nothing to redraw and nothing to poll.
    QStringList files;
    for (int i = 0; i < 99999; ++i)
        files << QStringLiteral("track %1.mp3").arg(i);
    playlist(files << "01 track.mp3", 99999);
    NowPlaying bar(nullptr); // without a tag cache, the name of a tagged file
    EXPECT_EQ(bar.title(), "01 track");
    EXPECT_EQ(bar.album(), QString());
    EXPECT_TRUE(bar.coverUrl().isEmpty());
    EXPECT_FALSE(bar.ticking());

    auto *player = new FakeMusic;
    player->playing = false;
    GlobalData::sharedGlobalData()->audioPlayer = player;
    bar.refresh(); // as the shared player's change is announced
    EXPECT_FALSE(bar.ticking()) << "a paused track does not move";
    player->play(); // the player's own announcement is enough
    EXPECT_TRUE(bar.ticking());
    EXPECT_TRUE(bar.playing());
    player->pause();
    EXPECT_FALSE(bar.ticking());
    EXPECT_FALSE(bar.playing());
    GlobalData::sharedGlobalData()->audioPlayer = nullptr;
    delete player;
}

TEST_F(NowPlayingTest, ThePlaylistShowsEachLengthOnceKnownAndTheTotal)
{
    EXPECT_EQ(PlaylistDurations::clock(65), "1:05");
    EXPECT_EQ(PlaylistDurations::clock(3725), "1:02:05");

    PlaylistStore store;
    store.assignEntries({{"01 track.mp3", false},
                         {"Band - Untagged.mp3", false},
                         {"01 track.mp3", false},
                         {"gone.mp3", false}});
    PlaylistDurations durations(&store);
    PlaylistRowModel model(&store, &durations);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(waitFor([&] { return durations.totalText() == "Треков: 4"; }));
    EXPECT_EQ(model.data(model.index(0), PlaylistRowModel::LengthRole).toString(), QString()) << "no tags";

    TagCache cache(root.filePath("cache"), TagCache::Reader{});
    durations.setTagCache(&cache);
    // Not known yet: an empty length, filled in when the tags arrive.
    EXPECT_EQ(model.data(model.index(1), PlaylistRowModel::LengthRole).toString(), QString());
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(waitFor(
        [&] { return model.data(model.index(1), PlaylistRowModel::LengthRole).toString() == "0:02"; }));
    EXPECT_GE(changes.count(), 1);
    EXPECT_EQ(changes.first().at(2).value<QList<int>>(), QList<int>{PlaylistRowModel::LengthRole});
    // Each file is read on its own: the first row's length may come a moment after the second's.
    EXPECT_TRUE(waitFor(
        [&] { return model.data(model.index(0), PlaylistRowModel::LengthRole).toString() == "0:02"; }));
    // Three tracks of two seconds; the missing file adds nothing.
    ASSERT_TRUE(waitFor([&] { return durations.totalText() == "Треков: 4, 0:06"; }))
        << durations.totalText().toStdString();
    EXPECT_EQ(durations.unknown(), 1);

    // Entries coming and going count by themselves, without a new sum of the whole list.
    store.removeEntry(0);
    EXPECT_EQ(durations.totalText(), "Треков: 3, 0:04");
    store.append(PlaylistEntry{"Band - Untagged.mp3", false});
    EXPECT_EQ(durations.totalText(), "Треков: 4, 0:06");
    store.removeEntry(2); // the missing file's
    EXPECT_EQ(durations.totalText(), "Треков: 3, 0:06");
    EXPECT_EQ(durations.unknown(), 0);
}

} // namespace
