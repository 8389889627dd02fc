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

    // An item queued after each change of the window, and the rows the list shows then (two are headers).
    const std::pair<std::function<void()>, int> steps[] = {
        {[] {}, 3},
        {[] {}, 4},
        {[&] {
             other.hide();
             window.showMinimized();
             TestSupport::waitFor([&] { return window.windowStates() & Qt::WindowMinimized; });
         },
         4}, // frozen while minimised
        {[&] { window.showNormal(); }, 6},
        {[&] { window.hide(); }, 6},
    };
    int tag = 0;
    for (const auto &[change, rows] : steps) {
        change();
        downloads.append(
            DownloadQueue::Audio,
            QueueItem{QStringLiteral("Song"), QStringLiteral("http://127.0.0.1:1/song.mp3"), ++tag});
        queue.updateQueue();
        EXPECT_EQ(queue.rows()->rowCount(), rows) << tag;
    }
}

} // namespace
