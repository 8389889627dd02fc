// A user's whole road with a video: search, choose a quality to download, let the queue save the file from
// the storage host, find it in the video library and play it.
#include "../support/ResultsScreens.h"

#include "sandbox/SandboxVideo.h"
#include "screens/Video_Library.h"
#include "screens/Video_Player.h"

#include <QFile>
#include <QSignalSpy>

namespace {

using VideoEndToEnd = TestSupport::ResultsScreenTest;

TEST_F(VideoEndToEnd, SearchQueueDownloadFindAndPlay)
{
    signIn();
    // Search for a video that exists up to 480 lines.
    Video_Search screen;
    open(screen, "Поиск");
    search(screen, QStringLiteral("о"));
    const int row = rowWhere([](const SandboxVideoItem &v) { return v.hd == 2 && v.mp4; });
    ASSERT_GE(row, 0);

    // Download it in 360 lines.
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    screen.accessoryButtonTapped(row);
    ASSERT_TRUE(alerts.wait(20000));
    screen.alertAnswered(VideoResults::QueueAlert, 2);

    DownloadQueue &queue = DownloadQueue::shared();
    QSignalSpy finished(&queue, &DownloadQueue::itemFinished);
    QSignalSpy failed(&queue, &DownloadQueue::itemFailed);
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !finished.isEmpty() || !failed.isEmpty(); }, 60000));
    ASSERT_TRUE(failed.isEmpty()) << failed.first().at(1).toString().toStdString();
    const QString path = finished.first().at(1).toString();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(StorageLayout::getVideoDir()).absoluteFilePath());
    EXPECT_TRUE(queue.items(DownloadQueue::Video).isEmpty());
    EXPECT_TRUE(TestSupport::waitFor([] { return DownloadQueue::shared().count() == 0; }, 2000));
    // The file is the 360-line clip the storage host serves.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), SandboxVideo::clip(360));

    // The video library lists it, and a tap asks for the player with its path.
    Settings settings(root.filePath(QStringLiteral("Melodrop.conf")));
    Video_Library library(&settings);
    library.viewWillAppear();
    const QStringList &listing = global->videoLibraryArray;
    const qsizetype entry = listing.indexOf(QFileInfo(path).fileName());
    ASSERT_GE(entry, 0) << listing.join(QLatin1Char('|')).toStdString();
    QSignalSpy played(&library, &Video_Library::videoPlayerRequested);
    library.rowSelected(int(entry));
    ASSERT_EQ(played.count(), 1);
    EXPECT_EQ(QFileInfo(played.first().at(0).toString()).canonicalFilePath(),
              QFileInfo(path).canonicalFilePath());

    // And it plays: the player learns the clip's six seconds.
    Video_Player player;
    player.setFileName(played.first().at(0).toString());
    player.setRefererType(played.first().at(1).toString());
    player.viewDidLoad();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !player.loading(); }, 20000));
    EXPECT_TRUE(player.errorText().isEmpty()) << player.errorText().toStdString();
    ASSERT_NE(player.player(), nullptr);
    EXPECT_NEAR(player.player()->duration(), 6.0, 0.2);
    player.closeWindow();
}

} // namespace
