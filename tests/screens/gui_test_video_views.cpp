// The video result screens in the program's own window, reached through the video tab and driven with the
// mouse and the keyboard against the sandbox.
#include "../library/TagFixtures.h"
#include "../support/MainWindowTest.h"

#include "sandbox/SandboxVideo.h"
#include "screens/Video_Player.h"
#include "screens/VideoResults.h"

#include <QQmlEngine>
#include <QWheelEvent>

using TestSupport::waitFor;

namespace {

class VideoViewTest : public SignedInWindowTest
{
protected:
    VideoViewTest() { settleMs = 400; }

    void beforeWindow() override
    {
        SignedInWindowTest::beforeWindow();
        global->domain = ServiceEndpoints::current().webHost;
        for (VideoRecordStore *store : {&Stores::videoFound(), &Stores::videoPersonal(),
                                        &Stores::videoGroup(), &Stores::videoRecommended()})
            store->clear();
        global->videoSearchOffset = 0;
    }
    void SetUp() override
    {
        SignedInWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        key(Qt::Key_3, Qt::ControlModifier); // the video tab
        settle();
    }
    void TearDown() override
    {
        if (window && window->property("videoPlayer").value<QObject *>()) {
            key(Qt::Key_Escape); // out of full screen, if a failed case left it there
            if (QQuickItem *close = find(QStringLiteral("closeButton")))
                click(close);
            waitFor([&] { return playerController() == nullptr; }, 5000);
        }
        SignedInWindowTest::TearDown();
    }

    QQuickItem *waitForRow(int index) const { return waitForItem(QStringLiteral("videoRow%1").arg(index)); }
    // Opens the video menu's `menuRow` and returns the screen it shows.
    VideoResults *open(int menuRow)
    {
        click(waitForItem(QStringLiteral("menuRow%1").arg(menuRow)));
        if (!waitFor([&] { return settledAt(stack("videoStack"), 2); }, 5000))
            return nullptr;
        return qobject_cast<VideoResults *>(controllerOnTop(stack("videoStack")));
    }
    static bool idle(const VideoResults *screen)
    {
        return !screen->hud() && !screen->searchBusy() && !screen->tableBusy() && !screen->addingRecords();
    }
    // Types a query into the field and presses Enter.
    void searchFor(VideoResults *screen, const QString &query)
    {
        click(find(QStringLiteral("searchBar")));
        ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("searchBar"))->hasActiveFocus(); }, 2000));
        key(Qt::Key_A, Qt::ControlModifier);
        key(Qt::Key_Delete);
        type(query);
        key(Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] { return screen->searchBusy(); }, 2000)) << "Enter starts the search";
        ASSERT_TRUE(waitFor([&] { return idle(screen); }, 20000));
        settle();
    }
    static QList<QueueItem> queued() { return DownloadQueue::shared().items(DownloadQueue::Video); }
    static QString text(QQuickItem *row, const char *name)
    {
        return findItem(row, QLatin1String(name))->property("text").toString();
    }
    // The player's screen while the window shows one.
    QObject *playerController() const
    {
        QObject *player = window->property("videoPlayer").value<QObject *>();
        return player ? player->property("controller").value<QObject *>() : nullptr;
    }
};

TEST_F(VideoViewTest, TheSelectorsOpenWhileTheFieldIsEditedAndEnterSearches)
{
    VideoResults *screen = open(0);
    ASSERT_NE(screen, nullptr);
    QQuickItem *panel = find(QStringLiteral("selectorsView"));
    ASSERT_NE(panel, nullptr);
    // The page opens with the keyboard in the search field, so the selectors open at once.
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("searchBar"))->hasActiveFocus(); }, 3000));
    click(find(QStringLiteral("searchBar")));
    ASSERT_TRUE(waitFor([&] { return panel->height() == 81; }, 3000)) << "the panel opens";
    EXPECT_TRUE(screen->selectorsVisible());
    key(Qt::Key_A, Qt::ControlModifier);
    key(Qt::Key_Delete);
    type(QStringLiteral("live"));

    // A segment is chosen without taking the field's focus: the panel stays open.
    click(find(QStringLiteral("quality2")));
    EXPECT_EQ(screen->qualityIndex(), 2);
    click(find(QStringLiteral("sort1")));
    EXPECT_EQ(screen->sortIndex(), 1);
    EXPECT_TRUE(find(QStringLiteral("searchBar"))->hasActiveFocus());
    EXPECT_TRUE(screen->selectorsVisible());

    // Escape closes the selectors.
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return panel->height() == 0; }, 3000));
    EXPECT_FALSE(screen->selectorsVisible());
    EXPECT_EQ(screen->searchText(), QStringLiteral("live"));

    // Enter searches with the chosen quality and sort.
    click(find(QStringLiteral("searchBar")));
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return idle(screen) && !Stores::videoFound().isEmpty(); }, 20000));
    EXPECT_FALSE(screen->selectorsVisible()) << "searching ends the editing";

    // The rows show the records, and the preview pictures arrive through the cache.
    QQuickItem *first = waitForRow(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(text(first, "videoName") + '|' + text(first, "videoQuality"),
              Stores::videoFound().records().first().title + QStringLiteral("|480+"));
    QQuickItem *preview = findItem(first, QStringLiteral("videoPreview"));
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(waitFor([&] { return preview->property("ready").toBool(); }, 10000));

    // Searching took the focus from the field; Ctrl+F gives it back.
    EXPECT_FALSE(find(QStringLiteral("searchBar"))->hasActiveFocus());
    key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("searchBar"))->hasActiveFocus(); }, 2000));

    // A narrow window keeps the rows readable: the title has room for words, the queue button stays inside
    // the window, and the field is not squeezed by its buttons.
    window->resize(420, 740);
    settle();
    QQuickItem *queue = findItem(first, QStringLiteral("queueButton"));
    ASSERT_NE(queue, nullptr);
    EXPECT_GE(findItem(first, QStringLiteral("videoName"))->width(), 150);
    EXPECT_LE(queue->mapToScene(QPointF(queue->width(), 0)).x(), window->width());
    EXPECT_GE(find(QStringLiteral("searchBar"))->width(), 200);
}

// The list holds its place: moved down to its last row by the keyboard, it reads the next page below the rows
// shown, and the rows stay where they were when the page arrives and after a visit to another section.
TEST_F(VideoViewTest, TheListKeepsItsPlaceAcrossAFurtherPageAndASectionSwitch)
{
    VideoResults *screen = open(0);
    ASSERT_NE(screen, nullptr);
    searchFor(screen, QStringLiteral("часть")); // 42 videos: a full page, then two more
    QQuickItem *table = find(QStringLiteral("videoTable"));
    ASSERT_NE(table, nullptr);
    const qsizetype firstPage = Stores::videoFound().size();
    ASSERT_EQ(firstPage, 40);
    auto topRow = [&] {
        int row = -1;
        QMetaObject::invokeMethod(table, "indexAt", Q_RETURN_ARG(int, row), Q_ARG(qreal, 10),
                                  Q_ARG(qreal, table->property("contentY").toReal() + 10));
        return row;
    };

    // Into the list, then down row by row until the last one is drawn and asks for the next page.
    for (int press = 0; press < 40 && !focusIn(QStringLiteral("videoTable")); ++press)
        key(Qt::Key_Tab);
    ASSERT_TRUE(focusIn(QStringLiteral("videoTable")));
    for (int row = 0; row < 60 && !screen->addingRecords() && Stores::videoFound().size() == firstPage; ++row)
        key(Qt::Key_Down);
    const int current = table->property("currentIndex").toInt();
    ASSERT_TRUE(waitFor([&] { return Stores::videoFound().size() > firstPage && idle(screen); }, 20000))
        << "the last row asks for the next page";
    settle();
    const qreal scrolled = table->property("contentY").toReal();
    const int top = topRow();
    EXPECT_GT(scrolled, 0);
    EXPECT_GT(top, 0);
    EXPECT_EQ(table->property("count").toInt(), Stores::videoFound().size());
    EXPECT_GT(current, 0);
    EXPECT_EQ(table->property("currentIndex").toInt(), current) << "the row under the keyboard stays";

    // Away to the downloads and back: the list appears where it was left, drawn at the same place (no selector
    // opens above it), with the keyboard on the row it left.
    const qreal drawnAt = table->mapToScene(QPointF(0, 0)).y();
    key(Qt::Key_4, Qt::ControlModifier);
    settle();
    key(Qt::Key_3, Qt::ControlModifier);
    settle();
    EXPECT_EQ(controllerOnTop(stack("videoStack")), screen);
    EXPECT_TRUE(focusIn(QStringLiteral("videoTable")));
    EXPECT_EQ(table->mapToScene(QPointF(0, 0)).y(), drawnAt);
    EXPECT_EQ(table->property("contentY").toReal(), scrolled);
    EXPECT_EQ(topRow(), top);
    EXPECT_EQ(table->property("currentIndex").toInt(), current);
}

TEST_F(VideoViewTest, TheAccessoryButtonAsksForTheQualityAndQueuesTheChoice)
{
    VideoResults *screen = open(0);
    ASSERT_NE(screen, nullptr);
    searchFor(screen, QString());
    ASSERT_EQ(Stores::videoFound().size(), 40);
    // The catalogue's third video exists up to 480 lines.
    const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
    ASSERT_EQ(catalogue.at(2).hd, 2);
    QQuickItem *third = waitForRow(2);
    ASSERT_NE(third, nullptr);
    click(findItem(third, QStringLiteral("queueButton")));

    QQuickItem *choice = nullptr;
    ASSERT_TRUE(waitFor([&] { return (choice = find(QStringLiteral("alertButton2"))) != nullptr; }, 10000));
    EXPECT_EQ(choice->property("text").toString(), QStringLiteral("Качество 360"));
    ASSERT_TRUE(waitFor([&] { return idle(screen); }, 5000));
    settle();
    click(choice);
    ASSERT_EQ(queued().size(), 1);
    EXPECT_TRUE(queued().first().url.endsWith(QStringLiteral(".360.mp4")));
    ASSERT_TRUE(waitFor([&] { return screen->records()->rowCount() == 39 && idle(screen); }, 5000));
    // The choice is remembered: a 720 video later is queued in 360 lines without the question.
    EXPECT_EQ(Settings::shared().stringValue(QStringLiteral("video/quality")), QStringLiteral("360"));
    const auto rowOfQuality = [&](int hd) {
        const QList<VideoRecord> &rows = Stores::videoFound().records();
        for (qsizetype row = 0; row < rows.size(); ++row) {
            for (const SandboxVideoItem &item : catalogue) {
                if (item.hd == hd && item.mp4 && item.variables &&
                    QString::fromStdString(item.key()) == rows.at(row).key)
                    return int(row);
            }
        }
        return -1;
    };
    const int hd720 = rowOfQuality(3);
    ASSERT_GE(hd720, 0);
    const QString title720 = Stores::videoFound().at(hd720).title;
    screen->scrollToRow(hd720, 1, false);
    settle(); // the row queued before has left
    QQuickItem *row720 = waitForRow(hd720);
    ASSERT_NE(row720, nullptr);
    EXPECT_EQ(text(row720, "videoName"), title720);
    click(findItem(row720, QStringLiteral("queueButton")));
    ASSERT_TRUE(waitFor([&] { return queued().size() == 2; }, 10000));
    EXPECT_EQ(find(QStringLiteral("alertButton1")), nullptr) << "no question this time";
    EXPECT_EQ(queued().last().name, title720);
    EXPECT_TRUE(queued().last().url.endsWith(QStringLiteral(".360.mp4")));
    ASSERT_TRUE(waitFor([&] { return idle(screen); }, 5000));

    // Asked every time when the settings say so.
    Settings::shared().setBool(QStringLiteral("video/ask_quality"), true);
    const int hd480 = rowOfQuality(2);
    ASSERT_GE(hd480, 0);
    screen->scrollToRow(hd480, 1, false);
    settle();
    QQuickItem *row480 = waitForRow(hd480);
    ASSERT_NE(row480, nullptr);
    click(findItem(row480, QStringLiteral("queueButton")));
    QQuickItem *question = nullptr;
    ASSERT_TRUE(waitFor([&] { return (question = find(QStringLiteral("alertMessage"))) != nullptr; }, 10000));
    EXPECT_EQ(question->property("text").toString(), QStringLiteral("Выберите качество"));
    ASSERT_TRUE(waitFor([&] { return idle(screen); }, 5000));
    click(find(QStringLiteral("alertButton0")));
    EXPECT_EQ(queued().size(), 2);
}

TEST_F(VideoViewTest, RowsAnswerTheKeyboardTheMouseAndTheirContextMenu)
{
    VideoResults *screen = open(0);
    ASSERT_NE(screen, nullptr);
    searchFor(screen, QString());
    ASSERT_EQ(SandboxVideo::catalogueOf(sandbox).at(0).hd, 0);
    const auto watchAndClose = [&](const std::function<void()> &watch) {
        watch();
        ASSERT_TRUE(waitFor([&] { return playerController() != nullptr; }, 10000)) << "no player";
        EXPECT_EQ(screen->lastWatchedVideoNumber(), 0);
        click(waitForItem(QStringLiteral("closeButton")));
        ASSERT_TRUE(waitFor([&] { return playerController() == nullptr && idle(screen); }, 5000));
        settle(); // the player's layer has faded out and takes no more clicks
    };

    // Tab reaches the table; Down picks a row and Enter watches it.
    QQuickItem *table = find(QStringLiteral("videoTable"));
    ASSERT_NE(table, nullptr);
    watchAndClose([&] {
        table->forceActiveFocus();
        key(Qt::Key_Down);
        EXPECT_EQ(table->property("currentIndex").toInt(), 0);
        key(Qt::Key_Return);
    });
    // Back on the results, the watched row is drawn in its colour.
    QQuickItem *first = waitForRow(0);
    ASSERT_NE(first, nullptr);
    const QImage shot = grab(QStringLiteral("video-watched-row.png"));
    const QPointF inRow = first->mapToScene(QPointF(first->width() * 0.6, 6));
    EXPECT_EQ(QColor(shot.pixel((inRow * shot.devicePixelRatio()).toPoint())), QColor(228, 234, 240));
    // A click on the row's text, away from the accessory button, watches it too.
    watchAndClose([&] { click(findItem(first, QStringLiteral("videoName"))); });

    // The right button opens the row's menu; its queue action queues that row's video (one quality: at once).
    const VideoRecord record = Stores::videoFound().at(0);
    ASSERT_NE(first = waitForRow(0), nullptr);
    click(first, Qt::RightButton);
    QQuickItem *queue = waitForItem(QStringLiteral("menuItem_queue"));
    ASSERT_NE(queue, nullptr);
    EXPECT_NE(find(QStringLiteral("menuItem_watch")), nullptr);
    EXPECT_TRUE(playerController() == nullptr) << "the right button does not watch";
    settle();
    click(queue);
    ASSERT_TRUE(waitFor([&] { return queued().size() == 1; }, 10000));
    EXPECT_EQ(queued().first().tag, record.tag.toInt());
    ASSERT_TRUE(waitFor([&] { return idle(screen); }, 5000));

    // The menu key opens the same menu for the keyboard's row.
    table->forceActiveFocus();
    key(Qt::Key_Down);
    key(Qt::Key_Menu);
    EXPECT_NE(waitForItem(QStringLiteral("menuItem_watch")), nullptr);
    key(Qt::Key_Escape);
    settle();
    EXPECT_EQ(find(QStringLiteral("menuItem_watch")), nullptr);
}

// The player driven as on a desktop: Space pauses and plays, Left/Right jump five seconds, Up/Down, M and the
// mouse wheel change the volume, and the controls stay while it is paused or has ended.
TEST_F(VideoViewTest, ThePlayerAnswersTheKeysAndTheWheel)
{
    const QString clip = root.filePath(QStringLiteral("Morning walk.mp4"));
    const QString made = TagFixtures::ffmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:rate=10", "-f",
                                              "lavfi", "-i", "sine=frequency=440", "-t", "12", "-c:v",
                                              "mpeg4", "-c:a", "aac", "-shortest", clip});
    ASSERT_TRUE(made.isEmpty()) << made.toStdString();
    auto *controller = new Video_Player;
    QQmlEngine::setObjectOwnership(controller, QQmlEngine::JavaScriptOwnership); // the view takes it over
    controller->setFileName(clip);
    controller->setRefererType(QStringLiteral("library"));
    QMetaObject::invokeMethod(window, "openVideoPlayer",
                              Q_ARG(QVariant, QVariant::fromValue<QObject *>(controller)));
    ASSERT_TRUE(waitFor([&] { return playerController() != nullptr && !controller->loading(); }, 10000));
    VideoEngine *engine = controller->player();
    ASSERT_NE(engine, nullptr);
    ASSERT_TRUE(waitFor([&] { return engine->duration() > 11; }, 5000));
    QQuickItem *title = waitForItem(QStringLiteral("videoTitle"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->property("text").toString(), QStringLiteral("Morning walk"));

    // Paused, the controls stay after the pointer rests.
    key(Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return !engine->playing(); }, 3000));
    waitFor([] { return false; }, 3500);
    QQuickItem *controls = find(QStringLiteral("embeddedControls"));
    ASSERT_NE(controls, nullptr) << "the controls hid while paused";
    EXPECT_EQ(controls->opacity(), 1.0);

    const double start = engine->position();
    const std::pair<Qt::Key, int> jumps[] = {{Qt::Key_Right, 5}, {Qt::Key_Right, 10}, {Qt::Key_Left, 5}};
    for (const auto &[pressed, to] : jumps) {
        key(pressed);
        ASSERT_TRUE(waitFor([&] { return std::abs(engine->position() - (start + to)) < 0.5; }, 3000))
            << engine->position();
    }
    EXPECT_FALSE(engine->playing()) << "a jump keeps it paused";

    EXPECT_EQ(engine->volume(), 100);
    QStringList heard;
    for (const Qt::Key pressed : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_M, Qt::Key_M}) {
        key(pressed);
        heard << QStringLiteral("%1%2").arg(engine->volume()).arg(engine->muted() ? " muted" : "");
    }
    EXPECT_EQ(heard, QStringList({"95", "90", "95", "95 muted", "95"}));
    // Two notches of the wheel down over the picture, one up.
    QQuickItem *picture = find(QStringLiteral("videoPointerArea"));
    ASSERT_NE(picture, nullptr);
    const QPointF at = picture->mapToScene(QPointF(picture->width() / 2, picture->height() / 2));
    for (const int delta : {-120, -120, 120}) {
        QWheelEvent wheel(at, window->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(window, &wheel);
    }
    EXPECT_EQ(engine->volume(), 90);
    QQuickItem *volume = find(QStringLiteral("videoVolume"));
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->property("value").toDouble(), 90.0) << "the slider shows it";

    // Space plays it on from near the end; at its end the controls stay.
    key(Qt::Key_Right);
    ASSERT_TRUE(waitFor([&] { return engine->position() > 9.5; }, 3000)) << engine->position();
    key(Qt::Key_Space);
    ASSERT_TRUE(waitFor([&] { return engine->ended(); }, 8000)) << engine->position();
    EXPECT_NE(find(QStringLiteral("embeddedControls")), nullptr);

    click(find(QStringLiteral("closeButton")));
    ASSERT_TRUE(waitFor([&] { return playerController() == nullptr; }, 5000));
}

} // namespace
