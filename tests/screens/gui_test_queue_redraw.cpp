// The queue's progress keeps moving while its window can be seen, focused or not, and stops while the window
// is minimised or hidden.
#include "../support/TestSupport.h"

#include "downloads/DownloadQueue.h"
#include "screens/Queue.h"

#include <QGuiApplication>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

TEST(QueueRedraw, FollowsWhetherTheWindowIsShownNotWhetherItHasTheFocus)
{
    DownloadQueue downloads;
    int tag = 0;
    const auto queueOne = [&] {
        downloads.append(
            DownloadQueue::Audio,
            QueueItem{QStringLiteral("Song"), QStringLiteral("http://127.0.0.1:1/song.mp3"), ++tag});
    };
    queueOne();

    QWindow window;
    window.resize(200, 200);
    window.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return window.isExposed() || window.isVisible(); }));
    QWindow other; // another window of the desktop has the focus
    other.show();
    other.requestActivate();

    Queue queue(&downloads);
    queue.viewDidLoad();
    queue.viewWillAppear();
    queue.viewDidAppear();
    ASSERT_EQ(queue.rows()->rowCount(), 3); // two headers and the item

    queueOne();
    queue.updateQueue();
    EXPECT_EQ(queue.rows()->rowCount(), 4);

    other.hide();
    window.showMinimized();
    ASSERT_TRUE(TestSupport::waitFor([&] { return window.windowStates() & Qt::WindowMinimized; }));
    queueOne();
    queue.updateQueue();
    EXPECT_EQ(queue.rows()->rowCount(), 4); // frozen while minimised

    window.showNormal();
    queue.updateQueue();
    EXPECT_EQ(queue.rows()->rowCount(), 5);

    window.hide();
    queueOne();
    queue.updateQueue();
    EXPECT_EQ(queue.rows()->rowCount(), 5);
}

} // namespace
