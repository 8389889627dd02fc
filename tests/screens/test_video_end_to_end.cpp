// A user's whole road with a video: search, choose a quality to download, let the queue save the file from
// the storage host, find it in the video library and play it.
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "desktop/Badges.h"
#include "downloads/DownloadQueue.h"
#include "net/Http.h"
#include "sandbox/SandboxVideo.h"
#include "screens/Video_Library.h"
#include "screens/Video_Player.h"
#include "screens/Video_Search.h"
#include "service/ServiceEndpoints.h"

#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(VideoEndToEnd, SearchQueueDownloadFindAndPlay)
{
    Sandbox sandbox;
    ASSERT_TRUE(sandbox.start());
    ASSERT_TRUE(ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox.baseUrl())));
    QTemporaryDir root;
    StorageLayout::setRootDir(root.path());
    Settings settings(root.filePath(QStringLiteral("Melodrop.conf")));
    // The quality chosen below is remembered: in this run's file, not the user's.
    Settings::setSharedPath(root.filePath(QStringLiteral("shared.conf")));
    GlobalData *global = GlobalData::sharedGlobalData();
    Stores::videoFound().clear();
    DownloadQueue::shared().clear();
    const Sandbox::Account account = Sandbox::defaultAccount();
    ASSERT_TRUE(
        TestSupport::signIn(QString::fromStdString(account.email), QString::fromStdString(account.password)));

    // Search for a video that exists up to 480 lines.
    Video_Search search;
    search.viewDidLoad();
    search.viewWillAppear();
    search.setSearchText(QStringLiteral("о"));
    search.searchBarSearchButtonClicked();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !search.searchBusy(); }, 20000));
    const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
    int row = -1;
    for (qsizetype i = 0; i < Stores::videoFound().size() && row < 0; ++i) {
        for (const SandboxVideoItem &item : catalogue) {
            if (QString::fromStdString(item.key()) == Stores::videoFound().at(i).key && item.hd == 2 &&
                item.mp4)
                row = int(i);
        }
    }
    ASSERT_GE(row, 0);
    const VideoRecord record = Stores::videoFound().at(row);

    // Download it in 360 lines.
    QSignalSpy alerts(&search, &VideoResults::alertRequested);
    search.accessoryButtonTapped(row);
    ASSERT_TRUE(alerts.wait(20000));
    search.alertAnswered(VideoResults::QueueAlert, 2);
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Video).size(), 1);
    EXPECT_EQ(DownloadQueue::shared().count(), 1);

    DownloadQueue &queue = DownloadQueue::shared();
    QSignalSpy finished(&queue, &DownloadQueue::itemFinished);
    QSignalSpy failed(&queue, &DownloadQueue::itemFailed);
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !finished.isEmpty() || !failed.isEmpty(); }, 60000));
    ASSERT_TRUE(failed.isEmpty()) << failed.first().at(1).toString().toStdString();
    const QString path = finished.first().at(1).toString();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(StorageLayout::getVideoDir()).absoluteFilePath());
    EXPECT_TRUE(path.endsWith(QStringLiteral(".mp4")));
    EXPECT_TRUE(DownloadQueue::shared().items(DownloadQueue::Video).isEmpty());
    TestSupport::waitFor([] { return DownloadQueue::shared().count() == 0; }, 2000);
    EXPECT_EQ(DownloadQueue::shared().count(), 0);
    // The file is the 360-line clip the storage host serves.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), SandboxVideo::clip(360));

    // The video library lists it, and a tap asks for the player with its path.
    Video_Library library(&settings);
    library.viewWillAppear();
    const QStringList &listing = global->videoLibraryArray;
    const qsizetype entry = listing.indexOf(QFileInfo(path).fileName());
    ASSERT_GE(entry, 0) << listing.join(QLatin1Char('|')).toStdString();
    QSignalSpy open(&library, &Video_Library::videoPlayerRequested);
    library.rowSelected(int(entry));
    ASSERT_EQ(open.count(), 1);
    EXPECT_EQ(QFileInfo(open.first().at(0).toString()).canonicalFilePath(),
              QFileInfo(path).canonicalFilePath());

    // And it plays: the player learns the clip's six seconds.
    Video_Player player;
    player.setFileName(open.first().at(0).toString());
    player.setRefererType(open.first().at(1).toString());
    player.viewDidLoad();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !player.loading(); }, 20000));
    EXPECT_TRUE(player.errorText().isEmpty()) << player.errorText().toStdString();
    ASSERT_NE(player.player(), nullptr);
    EXPECT_NEAR(player.player()->duration(), 6.0, 0.2);
    player.closeWindow();
    StorageLayout::setRootDir(QString());
    Settings::setSharedPath(QString());
}

} // namespace
