// The queue's progress keeps moving while its window can be seen, focused or not, and stops while the window
// is minimised or hidden.
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "downloads/Queue.h"

#include <QGuiApplication>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

QString shownStatus(Queue &queue)
{
    for (const QueueRowModel::Row &row : queue.rows()->rows())
        if (!row.header)
            return row.status;
    return {};
}

TEST(QueueRedraw, FollowsWhetherTheWindowIsShownNotWhetherItHasTheFocus)
{
    GlobalData *global = GlobalData::sharedGlobalData();
    global->audioQueueArray.clear();
    QueueItem item;
    item.name = QStringLiteral("Song");
    item.url = QStringLiteral("http://127.0.0.1:1/song.mp3");
    item.tag = QString::number(global->nextFileTag());
    item.state = QStringLiteral("-1");
    item.received = QStringLiteral("-1");
    global->audioQueueArray.append(item);

    QWindow window;
    window.resize(200, 200);
    window.show();
    ASSERT_TRUE(TestSupport::waitFor([&] { return window.isExposed() || window.isVisible(); }));
    QWindow other; // another window of the desktop has the focus
    other.show();
    other.requestActivate();

    Queue queue;
    queue.viewDidLoad();
    queue.viewWillAppear();
    queue.viewDidAppear();
    ASSERT_EQ(shownStatus(queue), QStringLiteral("нажмите для запуска"));

    GlobalData::replace(global->audioQueueArray[0].state, QStringLiteral("0"));
    queue.updateQueue();
    EXPECT_EQ(shownStatus(queue), QStringLiteral("сохранение запущено"));

    other.hide();
    window.showMinimized();
    ASSERT_TRUE(TestSupport::waitFor([&] { return window.windowStates() & Qt::WindowMinimized; }));
    GlobalData::replace(global->audioQueueArray[0].state, QStringLiteral("-2"));
    queue.updateQueue();
    EXPECT_EQ(shownStatus(queue), QStringLiteral("сохранение запущено")); // frozen while minimised

    window.showNormal();
    queue.updateQueue();
    EXPECT_EQ(shownStatus(queue), QStringLiteral("обрыв связи, нажмите для запуска"));

    window.hide();
    GlobalData::replace(global->audioQueueArray[0].state, QStringLiteral("-1"));
    queue.updateQueue();
    EXPECT_EQ(shownStatus(queue), QStringLiteral("обрыв связи, нажмите для запуска"));
    global->audioQueueArray.clear();
    global->nowYouMayUpdateQueue = false;
}

} // namespace
