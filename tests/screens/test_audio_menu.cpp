#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "library/LibraryStore.h"
#include "screens/Audio_Library.h"
#include "screens/AudioMenu.h"
#include "screens/VideoMenu.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

void touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

class AudioMenuTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StorageLayout::setRootDir(root.path());
        settings = std::make_unique<Settings>(root.filePath("Melodrop.conf"));
        Stores::audioFound().clear();
        Stores::playlist().clear();
    }
    QTemporaryDir root;
    std::unique_ptr<Settings> settings;
};

TEST_F(AudioMenuTest, ListCountersFollowTheSharedListsEachTimeTheMenuShowsAndRowsOpenTheirScreens)
{
    AudioMenu menu(settings.get());
    ASSERT_EQ(menu.rowCount(), 9);
    menu.viewWillAppear();
    EXPECT_EQ(menu.counter(0), 0);

    Stores::audioFound().append(AudioRecord{});
    EXPECT_EQ(menu.counter(0), 0); // read only when the menu shows
    QSignalSpy changed(&menu, &QAbstractItemModel::dataChanged);
    menu.viewWillAppear();
    EXPECT_EQ(menu.counter(0), 1);
    EXPECT_EQ(menu.data(menu.index(0), AudioMenu::CounterRole).toInt(), 1);
    EXPECT_EQ(changed.count(), 1);
    Stores::playlist().append(PlaylistEntry{});
    Stores::playlist().append(PlaylistEntry{});
    menu.viewWillAppear();
    EXPECT_EQ(menu.counter(6), 2);

    // Rows open their screens with their titles; past the last row, nothing.
    QSignalSpy open(&menu, &AudioMenu::openScreen);
    menu.rowSelected(0);
    menu.rowSelected(5);
    menu.rowSelected(9);
    ASSERT_EQ(open.count(), 2);
    EXPECT_EQ(open.at(0).at(1).toString(), "Audio_Search");
    EXPECT_EQ(open.at(0).at(2).toString(), "Поиск");
    EXPECT_EQ(open.at(1).at(1).toString(), "Audio_Library");
    EXPECT_TRUE(open.at(1).at(2).toString().isEmpty());
}

// Each menu counts its own media (the video menu MP4 files, in sub-folders and whatever the case) under its
// own switch; a switch written while the menu stays on screen shows at once.
TEST_F(AudioMenuTest, EachMenuCountsItsMediaUnderItsOwnSwitchAndShowsTheSwitchAtOnce)
{
    touch(root.filePath("audio/a.mp3"));
    for (const char *name : {"video/a.mp4", "video/sub/B.MP4", "video/c.mp3"})
        touch(root.filePath(name));
    Stores::videoFound().append(VideoRecord{});
    AudioMenu audio(settings.get());
    VideoMenu video(settings.get());
    ASSERT_EQ(video.rowCount(), 7);
    EXPECT_FALSE(settings->contains("count_audio"));
    audio.viewWillAppear();
    video.viewWillAppear();
    EXPECT_EQ(video.counter(0), 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return audio.counter(5) == 1 && video.counter(4) == 2; }));
    EXPECT_EQ(video.counter(5), 2);
    EXPECT_TRUE(settings->contains("count_audio")); // the defaults were written on the first read
    EXPECT_TRUE(settings->contains("count_video"));
    // A video download landing is counted without the menu being shown again.
    touch(root.filePath("video/sub/new.mp4"));
    Q_EMIT DownloadQueue::shared().itemFinished(7, root.filePath("video/sub/new.mp4"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return video.counter(4) == 3; })) << video.counter(4);
    QSignalSpy changes(&audio, &QAbstractItemModel::dataChanged);

    // Written by the settings page while the menu stays on screen: no second viewWillAppear.
    settings->setBool("count_audio", false);
    EXPECT_TRUE(TestSupport::waitFor([&] { return audio.counter(5) == 0; }));
    EXPECT_EQ(audio.counter(7), 0);
    EXPECT_GE(changes.count(), 1);
    EXPECT_EQ(video.counter(4), 3); // the other menu's switch is its own
    settings->setBool("count_video", false);
    EXPECT_TRUE(TestSupport::waitFor([&] { return video.counter(4) == 0; }));
    settings->setBool("count_audio", true);
    EXPECT_TRUE(TestSupport::waitFor([&] { return audio.counter(5) == 1; }));
    Stores::videoFound().clear();
}

TEST_F(AudioMenuTest, FileCountersAreCountedOffTheGuiThreadAndFollowDownloadsAndDeletions)
{
    touch(root.filePath("audio/a.mp3"));
    touch(root.filePath("audio/Rock/b.mp3"));
    AudioMenu menu(settings.get());
    QSignalSpy changed(&menu, &QAbstractItemModel::dataChanged);
    LibraryStore::holdWorker(true);
    menu.viewWillAppear();
    // The menu is there at once; its file counters wait for the worker.
    QCoreApplication::processEvents();
    EXPECT_EQ(menu.counter(5), 0);
    LibraryStore::holdWorker(false);
    ASSERT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 2; })) << menu.counter(5);
    EXPECT_EQ(menu.counter(7), 2);
    EXPECT_FALSE(changed.isEmpty()); // announced to the view

    // Shown again, the counters are the store's: nothing to wait for.
    menu.viewWillAppear();
    EXPECT_EQ(menu.counter(5), 2);

    // A download lands; the menu follows without being shown again. One landing elsewhere changes nothing.
    touch(root.filePath("audio/c.mp3"));
    Q_EMIT DownloadQueue::shared().itemFinished(1, root.filePath("audio/c.mp3"));
    touch(root.filePath("audio/Rock/New/d.mp3"));
    Q_EMIT DownloadQueue::shared().itemFinished(2, root.filePath("audio/Rock/New/d.mp3"));
    Q_EMIT DownloadQueue::shared().itemFinished(3, root.filePath("video/e.mp3"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 4; })) << menu.counter(5);
    EXPECT_EQ(menu.counter(7), 4);

    // A file and a folder deleted from the library screen.
    Audio_Library library(settings.get());
    library.viewWillAppear();
    ASSERT_EQ(GlobalData::sharedGlobalData()->audioLibraryArray, (QStringList{"Rock", "a.mp3", "c.mp3"}));
    library.deleteRow(1);
    EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 3; })) << menu.counter(5);
    library.deleteRow(0);
    EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 1; })) << menu.counter(5);
}

} // namespace
