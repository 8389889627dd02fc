// The now-playing bar's track as the window shows it: the file's tags and cover once the tag cache has read
// them, the file name before that and for a file without tags.
#include "../library/TagFixtures.h"
#include "../support/Mp3Fixture.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "library/TagCache.h"
#include "screens/NowPlaying.h"

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
        StorageLayout::setRootDir(root.filePath(QStringLiteral("documents")));
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        GlobalData::sharedGlobalData();
        Mp3Fixture::resetPlayerState();
        cover = root.filePath(QStringLiteral("cover.png"));
        ASSERT_EQ(TagFixtures::picture(cover, QStringLiteral("red"), 32), QString());
        ASSERT_EQ(TagFixtures::mp3(audio(QStringLiteral("01 track.mp3")),
                                   {QStringLiteral("Песня"), QStringLiteral("Исполнитель"),
                                    QStringLiteral("Альбом"), QStringLiteral("3/12"), QStringLiteral("1999")},
                                   2, 4, cover),
                  QString());
        ASSERT_EQ(TagFixtures::mp3(audio(QStringLiteral("Band - Untagged.mp3")), {}, 2, 0), QString());
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
    TagCache cache(root.filePath(QStringLiteral("cache")), {});
    NowPlaying bar(&cache);
    QSignalSpy changes(&bar, &NowPlaying::trackChanged);
    // What the bar says at the moment each answer is announced (it connected first, so it has taken it).
    QString albumAtTags;
    QUrl coverAtCover;
    QObject::connect(&cache, &TagCache::tagsReady, &bar, [&] { albumAtTags = bar.album(); });
    QObject::connect(&cache, &TagCache::coverReady, &bar, [&] { coverAtCover = bar.coverUrl(); });

    playlist({QStringLiteral("01 track.mp3"), QStringLiteral("Band - Untagged.mp3")}, 0);
    bar.refresh();
    // Before the tags are read, the file name, as without tags.
    EXPECT_EQ(bar.title(), QStringLiteral("01 track"));
    EXPECT_TRUE(bar.coverUrl().isEmpty());

    ASSERT_TRUE(waitFor([&] { return !coverAtCover.isEmpty(); }, 10000)) << "no cover announced";
    EXPECT_EQ(albumAtTags, QStringLiteral("Альбом")) << "the bar follows tagsReady at once";
    EXPECT_EQ(bar.title(), QStringLiteral("Песня"));
    EXPECT_EQ(bar.artist(), QStringLiteral("Исполнитель"));
    EXPECT_EQ(bar.album(), QStringLiteral("Альбом"));
    EXPECT_EQ(coverAtCover, bar.coverUrl());
    ASSERT_TRUE(bar.coverUrl().isLocalFile()) << bar.coverUrl().toString().toStdString();
    EXPECT_EQ(TagFixtures::readAll(bar.coverUrl().toLocalFile()), TagFixtures::readAll(cover))
        << "the picture of the file, as written to the cache";
    EXPECT_GE(changes.count(), 2);

    // The next track has no tags: its name again, and neither the album nor the cover of the one before.
    playlist({QStringLiteral("01 track.mp3"), QStringLiteral("Band - Untagged.mp3")}, 1);
    bar.refresh();
    ASSERT_TRUE(waitFor([&] { return cache.pending() == 0; }, 10000));
    bar.refresh();
    EXPECT_EQ(bar.title(), QStringLiteral("Untagged"));
    EXPECT_EQ(bar.artist(), QStringLiteral("Band"));
    EXPECT_EQ(bar.album(), QString());
    EXPECT_TRUE(bar.coverUrl().isEmpty());

    // Back to the first: answered from the cache at once, cover included.
    playlist({QStringLiteral("01 track.mp3"), QStringLiteral("Band - Untagged.mp3")}, 0);
    bar.refresh();
    EXPECT_EQ(bar.album(), QStringLiteral("Альбом"));
    EXPECT_FALSE(bar.coverUrl().isEmpty());

    // Nothing current: nothing shown.
    Stores::playlist().assignEntries({});
    bar.refresh();
    EXPECT_FALSE(bar.hasTrack());
    EXPECT_TRUE(bar.coverUrl().isEmpty());
    EXPECT_EQ(bar.album(), QString());
}

TEST_F(NowPlayingTest, WithoutATagCacheTheNameIsShown)
{
    NowPlaying bar(nullptr);
    playlist({QStringLiteral("01 track.mp3")}, 0);
    bar.refresh();
    EXPECT_EQ(bar.title(), QStringLiteral("01 track"));
    EXPECT_EQ(bar.album(), QString());
    EXPECT_TRUE(bar.coverUrl().isEmpty());
}

} // namespace
