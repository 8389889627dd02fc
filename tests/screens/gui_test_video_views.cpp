// The video result screen as the video tab shows it, driven with the mouse and the keyboard against the
// sandbox.
#include "../support/TestSupport.h"

#include "app/ImageCache.h"
#include "app/Shell.h"
#include "core/GlobalData.h"
#include "net/Http.h"
#include "sandbox/SandboxVideo.h"
#include "screens/Video_Search.h"
#include "service/ServiceEndpoints.h"
#include "service/VKontakteWorks.h"

#include <QDir>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using TestSupport::waitFor;

namespace {

const QByteArray shellQml = R"(
import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
ApplicationWindow {
    Material.theme: Material.Light
    Material.accent: "#4a76a8"
    Material.primary: "#4a76a8"
    width: 420
    height: 720
    visible: true
    property alias stack: stack
    StackView { id: stack; anchors.fill: parent; initialItem: Item {} }
    function openResults(controller) {
        stack.push("qrc:/qml/VideoResultsView.qml", { controller: controller, stack: stack })
    }
}
)";

class VideoViewTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        QQuickStyle::setStyle(QStringLiteral("Material"));
        static Shell shell;
        Shell::registerQmlTypes(&shell);
    }

    void SetUp() override
    {
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox.baseUrl())));
        VKontakteWorks::setRootDir(root.path());
        global = GlobalData::sharedGlobalData();
        global->videoFoundArray.clear();
        global->videoQueueArray.clear();
        global->videoSearchOffset = 0;
        const Sandbox::Account account = Sandbox::defaultAccount();
        ASSERT_TRUE(TestSupport::signIn(QString::fromStdString(account.email),
                                        QString::fromStdString(account.password)));

        engine.setNetworkAccessManagerFactory(&imageCache);
        QQmlComponent component(&engine);
        component.setData(shellQml, QUrl());
        window.reset(qobject_cast<QQuickWindow *>(component.create()));
        ASSERT_TRUE(window) << qPrintable(component.errorString());
        ASSERT_TRUE(waitFor([&] { return window->isExposed(); }, 5000));
        screen = new Video_Search;
        screen->setTitle(QStringLiteral("Поиск"));
        QMetaObject::invokeMethod(window.get(), "openResults",
                                  Q_ARG(QVariant, QVariant::fromValue<QObject *>(screen)));
        ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("searchBar")) != nullptr; }, 5000));
        waitFor([] { return false; }, 400); // the push transition ends
    }
    void TearDown() override
    {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        VKontakteWorks::setRootDir(QString());
    }

    static QQuickItem *findItem(QQuickItem *item, const QString &name)
    {
        if (item->objectName() == name && item->isVisible())
            return item;
        for (QQuickItem *child : item->childItems()) {
            if (QQuickItem *found = findItem(child, name))
                return found;
        }
        return nullptr;
    }
    QQuickItem *find(const QString &name) const { return findItem(window->contentItem(), name); }
    int depth() const { return window->property("stack").value<QObject *>()->property("depth").toInt(); }
    bool stackBusy() const { return window->property("stack").value<QObject *>()->property("busy").toBool(); }
    QQuickItem *row(int index) const { return find(QStringLiteral("videoRow%1").arg(index)); }

    // A real click in the middle of `item`.
    void click(QQuickItem *item)
    {
        ASSERT_NE(item, nullptr);
        const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
        QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier, centre.toPoint());
    }
    void type(const QString &text)
    {
        for (const QChar c : text)
            QTest::keyClick(window.get(), c.toLatin1());
    }
    bool idle() const { return !screen->hud() && !screen->searchBusy() && !screen->tableBusy(); }
    QImage grab(const QString &name) const
    {
        waitFor([] { return false; }, 600); // animations end first
        const QImage image = window->grabWindow();
        QDir().mkpath(QStringLiteral("/tmp/melodrop-shots"));
        image.save(QStringLiteral("/tmp/melodrop-shots/") + name);
        return image;
    }
    // Types a query into the field and presses Enter.
    void searchFor(const QString &query)
    {
        click(find(QStringLiteral("searchBar")));
        ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("searchBar"))->hasActiveFocus(); }, 2000));
        QTest::keyClick(window.get(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(window.get(), Qt::Key_Delete);
        type(query);
        QTest::keyClick(window.get(), Qt::Key_Return);
        ASSERT_TRUE(waitFor([&] { return screen->searchBusy(); }, 2000)) << "Enter starts the search";
        ASSERT_TRUE(waitFor([&] { return idle(); }, 20000));
    }

    Sandbox sandbox;
    QTemporaryDir root;
    QTemporaryDir cacheFolder;
    ImageCache imageCache{cacheFolder.path()};
    GlobalData *global = nullptr;
    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;
    Video_Search *screen = nullptr; // the view destroys it when it is popped
};

TEST_F(VideoViewTest, TheSelectorsOpenWhileTheFieldIsEditedAndEnterSearches)
{
    QQuickItem *panel = find(QStringLiteral("selectorsView"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->height(), 0);
    click(find(QStringLiteral("searchBar")));
    ASSERT_TRUE(waitFor([&] { return panel->height() == 81; }, 3000)) << "the panel opens";
    EXPECT_TRUE(screen->selectorsVisible());
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
    QTest::keyClick(window.get(), Qt::Key_Escape);
    ASSERT_TRUE(waitFor([&] { return panel->height() == 0; }, 3000));
    EXPECT_FALSE(screen->selectorsVisible());
    EXPECT_EQ(screen->searchText(), QStringLiteral("live"));

    // Enter searches with the chosen quality and sort.
    click(find(QStringLiteral("searchBar")));
    QTest::keyClick(window.get(), Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return idle() && !global->videoFoundArray.isEmpty(); }, 20000));
    const std::string target = SandboxVideo::lastRequest(sandbox, "search")->target;
    EXPECT_NE(target.find("c[q]=live&c[quality]=1&"), std::string::npos) << target;
    EXPECT_NE(target.find("&c[sort]=1"), std::string::npos) << target;
    EXPECT_FALSE(screen->selectorsVisible()) << "searching ends the editing";

    // The rows show the records, and the preview pictures arrive through the cache.
    QQuickItem *first = nullptr;
    ASSERT_TRUE(waitFor([&] { return (first = row(0)) != nullptr; }, 3000));
    EXPECT_EQ(findItem(first, QStringLiteral("videoName"))->property("text").toString(),
              global->videoFoundArray.first().title);
    EXPECT_EQ(findItem(first, QStringLiteral("videoQuality"))->property("text").toString(),
              QStringLiteral("480+"));
    QQuickItem *preview = findItem(first, QStringLiteral("videoPreview"));
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(waitFor([&] { return preview->property("ready").toBool(); }, 10000));
    grab(QStringLiteral("video-search-results.png"));
}

TEST_F(VideoViewTest, TheAccessoryButtonAsksForTheQualityAndQueuesTheChoice)
{
    searchFor(QString());
    ASSERT_EQ(global->videoFoundArray.size(), 40);
    // The catalogue's third video exists up to 480 lines.
    const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
    ASSERT_EQ(catalogue.at(2).hd, 2);
    const VideoRecord record = global->videoFoundArray.at(2);
    QQuickItem *third = nullptr;
    ASSERT_TRUE(waitFor([&] { return (third = row(2)) != nullptr; }, 3000));
    click(findItem(third, QStringLiteral("queueButton")));

    QQuickItem *choice = nullptr;
    ASSERT_TRUE(waitFor([&] { return (choice = find(QStringLiteral("alertButton2"))) != nullptr; }, 10000));
    EXPECT_EQ(choice->property("text").toString(), QStringLiteral("Качество 360"));
    EXPECT_NE(find(QStringLiteral("alertButton3")), nullptr);
    EXPECT_EQ(find(QStringLiteral("alertButton4")), nullptr) << "no 720 for a 480 video";
    ASSERT_TRUE(waitFor([&] { return idle(); }, 5000));
    grab(QStringLiteral("video-quality-choice.png"));
    click(choice);
    ASSERT_EQ(global->videoQueueArray.size(), 1);
    EXPECT_EQ(global->videoQueueArray.first().name, record.title);
    EXPECT_TRUE(global->videoQueueArray.first().url.endsWith(QStringLiteral(".360.mp4")));
    ASSERT_TRUE(waitFor([&] { return screen->records()->rowCount() == 39; }, 3000));
}

TEST_F(VideoViewTest, ATappedRowIsHighlightedAndOpensThePlayer)
{
    searchFor(QString());
    QQuickItem *first = nullptr;
    ASSERT_TRUE(waitFor([&] { return (first = row(0)) != nullptr; }, 3000));
    ASSERT_EQ(SandboxVideo::catalogueOf(sandbox).at(0).hd, 0);
    // A click on the row's text, away from the accessory button.
    click(findItem(first, QStringLiteral("videoName")));
    ASSERT_TRUE(waitFor([&] { return depth() == 3 && !stackBusy(); }, 10000))
        << "the player is pushed over the results";
    QObject *player =
        window->property("stack").value<QObject *>()->property("currentItem").value<QObject *>();
    ASSERT_NE(player, nullptr);
    QObject *controller = player->property("controller").value<QObject *>();
    ASSERT_NE(controller, nullptr);
    EXPECT_TRUE(controller->property("fileName").toString().endsWith(QStringLiteral(".240.mp4")));
    EXPECT_EQ(controller->property("refererType").toString(), QStringLiteral("search"));
    EXPECT_EQ(screen->lastWatchedVideoNumber(), 0);
    EXPECT_TRUE(global->videoQueueArray.isEmpty());

    // Back on the results, the watched row is drawn in its colour.
    click(find(QStringLiteral("closeButton")));
    ASSERT_TRUE(waitFor([&] { return depth() == 2 && !stackBusy(); }, 5000));
    ASSERT_TRUE(waitFor([&] { return (first = row(0)) != nullptr; }, 3000));
    const QImage shot = grab(QStringLiteral("video-watched-row.png"));
    const QPointF inRow = first->mapToScene(QPointF(first->width() * 0.6, 6));
    EXPECT_EQ(QColor(shot.pixel(inRow.toPoint())), QColor(228, 234, 240));
}

} // namespace
