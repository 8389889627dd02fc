// The video result screens in the program's own window, reached through the video tab and driven with the
// mouse and the keyboard against the sandbox.
#include "../support/TestSupport.h"

#include "app/ImageCache.h"
#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "net/Http.h"
#include "sandbox/SandboxVideo.h"
#include "screens/VideoResults.h"
#include "service/ServiceEndpoints.h"

#include <QDir>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using TestSupport::waitFor;

namespace {

QStringList qmlWarnings;

void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && message.contains(QLatin1String("qrc:/qml/")))
        qmlWarnings << message;
}

class VideoViewTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (shell)
            return;
        QQuickStyle::setStyle(QStringLiteral("Material"));
        shell = new Shell;
        lifecycle = new Lifecycle;
        Shell::registerQmlTypes(shell);
        qmlRegisterSingletonInstance("Melodrop", 1, 0, "Lifecycle", lifecycle);
    }

    // One engine for the whole program: the singletons belong to the first engine that uses them.
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox.baseUrl())));
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        global = GlobalData::sharedGlobalData();
        global->domain = ServiceEndpoints::current().webHost;
        for (VideoRecordStore *store : {&Stores::videoFound(), &Stores::videoPersonal(),
                                        &Stores::videoGroup(), &Stores::videoRecommended()})
            store->clear();
        DownloadQueue::shared().clear();
        global->videoSearchOffset = 0;
        const Sandbox::Account account = Sandbox::defaultAccount();
        ASSERT_TRUE(TestSupport::signIn(QString::fromStdString(account.email),
                                        QString::fromStdString(account.password)));

        qmlWarnings.clear();
        previousHandler = qInstallMessageHandler(collectWarnings);
        if (!engine) {
            engine = new QQmlApplicationEngine;
            static QTemporaryDir cacheFolder;
            static ImageCache imageCache(cacheFolder.path());
            engine->setNetworkAccessManagerFactory(&imageCache);
            engine->load(QUrl(QStringLiteral("qrc:/qml/Main.qml")));
            ASSERT_FALSE(engine->rootObjects().isEmpty()) << qmlWarnings.join('\n').toStdString();
        }
        window = qobject_cast<QQuickWindow *>(engine->rootObjects().first());
        ASSERT_NE(window, nullptr);
        window->resize(1280, 800);
        window->show();
        ASSERT_TRUE(waitFor([&] { return window->isExposed(); }, 5000));
        QTest::keyClick(window, Qt::Key_3, Qt::ControlModifier); // the video tab
        settle();
    }
    void TearDown() override
    {
        QTest::keyClick(window, Qt::Key_Escape); // whatever dialog a failed test left open
        settle();
        if (window->property("videoPlayer").value<QObject *>())
            QMetaObject::invokeMethod(window, "closeVideoPlayer");
        // Back to the menu, for the next test.
        QObject *stack = videoStack();
        for (int tries = 0; tries < 5 && stack->property("depth").toInt() > 1; ++tries) {
            auto *page = stack->property("currentItem").value<QQuickItem *>();
            if (QObject *back = page ? page->findChild<QObject *>(QStringLiteral("backButton")) : nullptr)
                QMetaObject::invokeMethod(back, "clicked");
            waitFor([&] { return !stack->property("busy").toBool(); }, 3000);
        }
        settle();
        qInstallMessageHandler(previousHandler);
        EXPECT_TRUE(qmlWarnings.isEmpty()) << qmlWarnings.join('\n').toStdString();
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }

    // Items on stack pages and in popups are not QObject children: walk the drawn tree.
    static QQuickItem *findItem(QQuickItem *item, const QString &name)
    {
        if (!item)
            return nullptr;
        if (item->objectName() == name && item->isVisible())
            return item;
        for (QQuickItem *child : item->childItems()) {
            if (QQuickItem *found = findItem(child, name))
                return found;
        }
        return nullptr;
    }
    QQuickItem *find(const QString &name) const
    {
        return findItem(window->contentItem()->parentItem() ? window->contentItem()->parentItem()
                                                            : window->contentItem(),
                        name);
    }
    QQuickItem *waitForItem(const QString &name) const
    {
        QQuickItem *item = nullptr;
        waitFor([&] { return (item = find(name)) != nullptr; }, 5000);
        return item;
    }
    QObject *videoStack() const { return window->findChild<QObject *>(QStringLiteral("videoStack")); }
    int depth() const { return videoStack()->property("depth").toInt(); }
    bool stackBusy() const { return videoStack()->property("busy").toBool(); }
    QQuickItem *row(int index) const { return find(QStringLiteral("videoRow%1").arg(index)); }
    QQuickItem *waitForRow(int index) const
    {
        QQuickItem *item = nullptr;
        waitFor([&] { return (item = row(index)) != nullptr; }, 5000);
        return item;
    }

    // A real click in the middle of `item` (or at `at` inside it).
    void click(QQuickItem *item, Qt::MouseButton button = Qt::LeftButton, QPointF at = QPointF(-1, -1))
    {
        ASSERT_NE(item, nullptr);
        if (at.x() < 0)
            at = QPointF(item->width() / 2, item->height() / 2);
        QTest::mouseClick(window, button, Qt::NoModifier, item->mapToScene(at).toPoint());
    }
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(window, Qt::Key(key), modifiers);
    }
    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(window, c.toLatin1());
    }
    static void settle()
    {
        waitFor([] { return false; }, 400);
    }

    // Opens the video menu's `menuRow` and returns the screen it shows.
    VideoResults *open(int menuRow)
    {
        click(waitForItem(QStringLiteral("menuRow%1").arg(menuRow)));
        if (!waitFor([&] { return depth() == 2 && !stackBusy(); }, 5000))
            return nullptr;
        QObject *page = videoStack()->property("currentItem").value<QObject *>();
        return page ? qobject_cast<VideoResults *>(page->property("controller").value<QObject *>()) : nullptr;
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
    QImage grab(const QString &name) const
    {
        settle(); // animations end first
        const QImage image = window->grabWindow();
        QDir().mkpath(QStringLiteral("/tmp/melodrop-shots/video"));
        image.save(QStringLiteral("/tmp/melodrop-shots/video/") + name);
        return image;
    }
    // The player's screen while the window shows one.
    QObject *playerController() const
    {
        QObject *player = window->property("videoPlayer").value<QObject *>();
        return player ? player->property("controller").value<QObject *>() : nullptr;
    }

    static inline Shell *shell = nullptr;
    static inline Lifecycle *lifecycle = nullptr;
    static inline QQmlApplicationEngine *engine = nullptr;
    Sandbox sandbox;
    QTemporaryDir root;
    GlobalData *global = nullptr;
    QtMessageHandler previousHandler = nullptr;
    QQuickWindow *window = nullptr;
};

TEST_F(VideoViewTest, TheVideoTabOpensTheFourScreens)
{
    const struct
    {
        int kind;
        const char *title;
        bool selfButton;
        bool selectors;
    } rows[] = {{VideoResults::Search, "Поиск", false, true},
                {VideoResults::Personal, "Частные", true, false},
                {VideoResults::Group, "Общие", false, false},
                {VideoResults::Recommended, "Рекомендуемые", true, false}};
    for (int menuRow = 0; menuRow < 4; ++menuRow) {
        SCOPED_TRACE(menuRow);
        VideoResults *screen = open(menuRow);
        ASSERT_NE(screen, nullptr);
        EXPECT_EQ(screen->kind(), rows[menuRow].kind);
        EXPECT_EQ(screen->title(), QString::fromUtf8(rows[menuRow].title));
        EXPECT_EQ(screen->hasSelfButton(), rows[menuRow].selfButton);
        QQuickItem *field = find(QStringLiteral("searchBar"));
        ASSERT_NE(field, nullptr);
        // Editing opens the selectors on the search screen only.
        click(field);
        settle();
        EXPECT_EQ(screen->selectorsVisible(), rows[menuRow].selectors);
        key(Qt::Key_Escape);
        click(waitForItem(QStringLiteral("backButton")));
        ASSERT_TRUE(waitFor([&] { return depth() == 1 && !stackBusy(); }, 5000));
    }
}

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
    grab(QStringLiteral("video-search-selectors.png"));

    // Escape closes the selectors.
    key(Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return panel->height() == 0; }, 3000));
    EXPECT_FALSE(screen->selectorsVisible());
    EXPECT_EQ(screen->searchText(), QStringLiteral("live"));

    // Enter searches with the chosen quality and sort.
    click(find(QStringLiteral("searchBar")));
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return idle(screen) && !Stores::videoFound().isEmpty(); }, 20000));
    const std::string target = SandboxVideo::lastRequest(sandbox, "search")->target;
    EXPECT_NE(target.find("c[q]=live&c[quality]=1&"), std::string::npos) << target;
    EXPECT_NE(target.find("&c[sort]=1"), std::string::npos) << target;
    EXPECT_FALSE(screen->selectorsVisible()) << "searching ends the editing";

    // The rows show the records, and the preview pictures arrive through the cache.
    QQuickItem *first = waitForRow(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(findItem(first, QStringLiteral("videoName"))->property("text").toString(),
              Stores::videoFound().records().first().title);
    EXPECT_EQ(findItem(first, QStringLiteral("videoQuality"))->property("text").toString(),
              QStringLiteral("480+"));
    QQuickItem *preview = findItem(first, QStringLiteral("videoPreview"));
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(waitFor([&] { return preview->property("ready").toBool(); }, 10000));

    // Searching took the focus from the field; Ctrl+F gives it back.
    EXPECT_FALSE(find(QStringLiteral("searchBar"))->hasActiveFocus());
    key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("searchBar"))->hasActiveFocus(); }, 2000));
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
    const VideoRecord record = Stores::videoFound().at(2);
    QQuickItem *third = waitForRow(2);
    ASSERT_NE(third, nullptr);
    click(findItem(third, QStringLiteral("queueButton")));

    QQuickItem *choice = nullptr;
    ASSERT_TRUE(waitFor([&] { return (choice = find(QStringLiteral("alertButton2"))) != nullptr; }, 10000));
    EXPECT_EQ(choice->property("text").toString(), QStringLiteral("Качество 360"));
    EXPECT_NE(find(QStringLiteral("alertButton3")), nullptr);
    EXPECT_EQ(find(QStringLiteral("alertButton4")), nullptr) << "no 720 for a 480 video";
    ASSERT_TRUE(waitFor([&] { return idle(screen); }, 5000));
    grab(QStringLiteral("video-quality-choice.png"));
    click(choice);
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Video).size(), 1);
    EXPECT_EQ(DownloadQueue::shared().items(DownloadQueue::Video).first().name, record.title);
    EXPECT_TRUE(
        DownloadQueue::shared().items(DownloadQueue::Video).first().url.endsWith(QStringLiteral(".360.mp4")));
    ASSERT_TRUE(waitFor([&] { return screen->records()->rowCount() == 39; }, 3000));
}

TEST_F(VideoViewTest, ATappedRowIsHighlightedAndOpensThePlayer)
{
    VideoResults *screen = open(0);
    ASSERT_NE(screen, nullptr);
    searchFor(screen, QString());
    QQuickItem *first = waitForRow(0);
    ASSERT_NE(first, nullptr);
    ASSERT_EQ(SandboxVideo::catalogueOf(sandbox).at(0).hd, 0);
    // A click on the row's text, away from the accessory button.
    click(findItem(first, QStringLiteral("videoName")));
    ASSERT_TRUE(waitFor([&] { return playerController() != nullptr; }, 10000))
        << "the player opens over the window";
    QObject *controller = playerController();
    EXPECT_TRUE(controller->property("fileName").toString().endsWith(QStringLiteral(".240.mp4")));
    EXPECT_EQ(controller->property("refererType").toString(), QStringLiteral("search"));
    EXPECT_EQ(screen->lastWatchedVideoNumber(), 0);
    EXPECT_TRUE(DownloadQueue::shared().items(DownloadQueue::Video).isEmpty());
    QQuickItem *pointer = waitForItem(QStringLiteral("videoPointerArea"));
    ASSERT_NE(pointer, nullptr);
    EXPECT_EQ(pointer->width(), window->width()) << "it covers the sidebar too";

    // Back on the results, the watched row is drawn in its colour.
    click(waitForItem(QStringLiteral("closeButton")));
    ASSERT_TRUE(waitFor([&] { return playerController() == nullptr; }, 5000));
    ASSERT_NE(first = waitForRow(0), nullptr);
    const QImage shot = grab(QStringLiteral("video-watched-row.png"));
    const QPointF inRow = first->mapToScene(QPointF(first->width() * 0.6, 6));
    const qreal ratio = shot.devicePixelRatio();
    EXPECT_EQ(QColor(shot.pixel((inRow * ratio).toPoint())), QColor(228, 234, 240));
}

TEST_F(VideoViewTest, RowsAnswerTheKeyboardAndTheirContextMenu)
{
    VideoResults *screen = open(0);
    ASSERT_NE(screen, nullptr);
    searchFor(screen, QString());
    const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
    ASSERT_EQ(catalogue.at(0).hd, 0);

    // Tab reaches the table; Down picks a row and Enter watches it.
    QQuickItem *table = find(QStringLiteral("videoTable"));
    ASSERT_NE(table, nullptr);
    table->forceActiveFocus();
    key(Qt::Key_Down);
    EXPECT_EQ(table->property("currentIndex").toInt(), 0);
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return playerController() != nullptr; }, 10000)) << "Enter watches the row";
    EXPECT_EQ(screen->lastWatchedVideoNumber(), 0);
    click(waitForItem(QStringLiteral("closeButton")));
    ASSERT_TRUE(waitFor([&] { return playerController() == nullptr; }, 5000));
    ASSERT_TRUE(waitFor([&] { return idle(screen); }, 5000));

    // The right button opens the row's menu; its queue action queues that row's video (one quality: at once).
    const VideoRecord record = Stores::videoFound().at(0);
    QQuickItem *first = waitForRow(0);
    ASSERT_NE(first, nullptr);
    click(first, Qt::RightButton, QPointF(first->width() / 2, first->height() / 2));
    QQuickItem *queue = waitForItem(QStringLiteral("menuItem_queue"));
    ASSERT_NE(queue, nullptr);
    EXPECT_NE(find(QStringLiteral("menuItem_watch")), nullptr);
    EXPECT_TRUE(playerController() == nullptr) << "the right button does not watch";
    settle();
    click(queue);
    ASSERT_TRUE(
        waitFor([&] { return DownloadQueue::shared().items(DownloadQueue::Video).size() == 1; }, 10000));
    EXPECT_EQ(DownloadQueue::shared().items(DownloadQueue::Video).first().tag, record.tag.toInt());
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

TEST_F(VideoViewTest, ANarrowWindowKeepsTheRowsReadable)
{
    window->resize(420, 740);
    settle();
    VideoResults *screen = open(0);
    ASSERT_NE(screen, nullptr);
    searchFor(screen, QStringLiteral("live"));
    QQuickItem *first = waitForRow(0);
    ASSERT_NE(first, nullptr);
    QQuickItem *name = findItem(first, QStringLiteral("videoName"));
    QQuickItem *queue = findItem(first, QStringLiteral("queueButton"));
    ASSERT_NE(name, nullptr);
    ASSERT_NE(queue, nullptr);
    // The title has room for words, and the queue button stays inside the window.
    EXPECT_GE(name->width(), 150);
    EXPECT_LE(queue->mapToScene(QPointF(queue->width(), 0)).x(), window->width());
    QQuickItem *field = find(QStringLiteral("searchBar"));
    EXPECT_GE(field->width(), 200) << "the field is not squeezed by its buttons";
    grab(QStringLiteral("video-search-narrow.png"));
}

} // namespace
