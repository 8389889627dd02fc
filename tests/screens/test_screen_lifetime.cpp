// Screens that go away while the operation of their overlay still runs: the operation must not reach into
// them, and the overlay must not outlive the operation.
#include "../support/SandboxSignIn.h"

#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxVideo.h"
#include "screens/Audio_Albums.h"
#include "screens/Audio_Group.h"
#include "screens/Audio_Library.h"
#include "screens/Audio_Personal.h"
#include "screens/Audio_Recommended.h"
#include "screens/Audio_Search.h"
#include "screens/Friends_and_Groups.h"
#include "screens/LoginForm.h"
#include "screens/Video_Group.h"
#include "screens/Video_Personal.h"
#include "screens/Video_Recommended.h"
#include "screens/Video_Search.h"

#include <QDir>
#include <QFile>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

class ScreenLifetimeTest : public TestSupport::ServiceSandboxTest
{
protected:
    ScreenLifetimeTest() : ServiceSandboxTest(false) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        StorageLayout::setRootDir(root.path());
        Stores::audioFound().clear();
        Stores::audioPersonal().clear();
        Stores::audioGroup().clear();
        Stores::audioRecommended().clear();
        Stores::albums().clear();
        Stores::friendsGroups().clear();
        for (VideoRecordStore *store : {&Stores::videoFound(), &Stores::videoPersonal(),
                                        &Stores::videoGroup(), &Stores::videoRecommended()})
            store->clear();
        DownloadQueue::shared().clear();
        global->videoSearchOffset = 0;
    }

    // The overlay of a screen that is gone is released once its operation has returned.
    static void expectReleased(const QPointer<ProgressOverlay> &hud)
    {
        // Deferred deletions run as the program's event loop would run them.
        EXPECT_TRUE(TestSupport::waitFor(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return hud.isNull();
            },
            30000))
            << "the overlay of a destroyed screen was never released";
    }

    QTemporaryDir root;
};

const AudioRecord sentinel{"1:00", "http://x/1.mp3", "Before", "Artist", "1", "1", "2"};

TEST_F(ScreenLifetimeTest, ResultScreenClosedWhileItsLoaderRuns)
{
    signIn();
    struct Case
    {
        const char *title;
        std::function<AudioResults *()> make;
        QString input;
    };
    const QList<Case> cases = {
        {"Поиск", [] { return new Audio_Search; }, "a"},
        {"Частные", [] { return new Audio_Personal; }, "1000001"},
        {"Общие", [] { return new Audio_Group; }, "1"},
        {"Рекомендуемые", [] { return new Audio_Recommended; }, "1000001"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        std::unique_ptr<AudioResults> screen(c.make());
        screen->store().assign({sentinel});
        screen->setTitle(QString::fromUtf8(c.title));
        screen->viewDidLoad();
        screen->viewWillAppear();
        screen->setSearchText(c.input);
        screen->searchBarSearchButtonClicked();
        const QPointer<ProgressOverlay> hud = screen->hud();
        ASSERT_FALSE(hud.isNull());
        AudioRecordStore &list = screen->store();
        const QList<AudioRecord> atStart =
            list.records(); // the community and recommendation screens empty it here
        // The loader hands its first step to the main thread and waits for it; the screen goes first.
        screen.reset();
        expectReleased(hud);
        // Nothing the loader meant for the screen ran: the list it shows is as it was.
        ASSERT_EQ(list.size(), atStart.size());
        if (!list.isEmpty()) {
            EXPECT_EQ(list.at(0).title, sentinel.title);
        }
    }
}

TEST_F(ScreenLifetimeTest, SearchScreenClosedWhileAFurtherPageLoads)
{
    signIn();
    auto screen = std::make_unique<Audio_Search>();
    screen->setTitle("Поиск");
    screen->viewWillAppear();
    screen->setSearchText("a");
    screen->searchBarSearchButtonClicked();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen->hud() && !screen->searchBusy(); }, 30000));
    ASSERT_EQ(Stores::audioFound().size(), 100);

    screen->cellShown(99);
    const QPointer<ProgressOverlay> hud = screen->hud();
    ASSERT_FALSE(hud.isNull());
    screen.reset();
    expectReleased(hud);
    EXPECT_EQ(Stores::audioFound().size(), 100);
}

const VideoRecord videoSentinel{"Before", "1_1", "240", "1", "-1", "1:00", "http://x/1.jpg"};

TEST_F(ScreenLifetimeTest, VideoScreenClosedWhileItsLoaderRuns)
{
    signIn();
    struct Case
    {
        const char *title;
        std::function<VideoResults *()> make;
        QString input;
    };
    const QList<Case> cases = {
        {"Поиск", [] { return new Video_Search; }, "a"},
        {"Частные", [] { return new Video_Personal; }, "1000001"},
        {"Общие", [] { return new Video_Group; }, "42"},
        {"Рекомендуемые", [] { return new Video_Recommended; }, "1000001"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        std::unique_ptr<VideoResults> screen(c.make());
        screen->store().assign({videoSentinel});
        screen->viewDidLoad();
        screen->viewWillAppear();
        screen->setSearchText(c.input);
        screen->searchBarSearchButtonClicked();
        const QPointer<ProgressOverlay> hud = screen->hud();
        ASSERT_FALSE(hud.isNull());
        VideoRecordStore &list = screen->store();
        // The loader hands its first step to the main thread and waits for it; the screen goes first.
        screen.reset();
        expectReleased(hud);
        ASSERT_EQ(list.size(), 1);
        EXPECT_EQ(list.at(0).title, videoSentinel.title);
    }
}

TEST_F(ScreenLifetimeTest, VideoSearchClosedWhileAFurtherPageLoads)
{
    signIn();
    auto screen = std::make_unique<Video_Search>();
    screen->viewWillAppear();
    screen->searchBarSearchButtonClicked(); // the whole catalogue
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen->hud() && !screen->searchBusy(); }, 30000));
    ASSERT_EQ(Stores::videoFound().size(), 40);

    screen->cellShown(39);
    const QPointer<ProgressOverlay> hud = screen->hud();
    ASSERT_FALSE(hud.isNull());
    screen.reset();
    expectReleased(hud);
    EXPECT_EQ(Stores::videoFound().size(), 40);
}

TEST_F(ScreenLifetimeTest, VideoScreenClosedWhileALinkIsResolved)
{
    signIn();
    // A video whose page has no player: resolving it would take the record out of the list.
    std::string unusable;
    for (const SandboxVideoItem &item : SandboxVideo::catalogueOf(sandbox)) {
        if (!item.variables)
            unusable = item.key();
    }
    ASSERT_FALSE(unusable.empty());
    for (bool watching : {true, false}) {
        SCOPED_TRACE(watching);
        VideoRecord record = videoSentinel;
        record.key = QString::fromStdString(unusable);
        Stores::videoFound().assign({record});
        auto screen = std::make_unique<Video_Search>();
        screen->viewWillAppear();
        if (watching)
            screen->rowSelected(0);
        else
            screen->accessoryButtonTapped(0);
        const QPointer<ProgressOverlay> hud = screen->hud();
        ASSERT_FALSE(hud.isNull());
        screen.reset();
        expectReleased(hud);
        ASSERT_EQ(Stores::videoFound().size(), 1);
        EXPECT_TRUE(DownloadQueue::shared().items(DownloadQueue::Video).isEmpty());
    }
}

TEST_F(ScreenLifetimeTest, LoginScreenClosedWhileSigningIn)
{
    Settings settings(root.filePath("config/Melodrop.conf"));
    auto form = std::make_unique<LoginForm>(&settings);
    form->setLoginInput(QString::fromStdString(Sandbox::defaultAccount().email));
    form->setPasswordInput(QString::fromStdString(Sandbox::defaultAccount().password));
    form->loginButtonPressed();
    const QPointer<ProgressOverlay> hud = form->hud();
    ASSERT_FALSE(hud.isNull());
    form.reset();
    expectReleased(hud);
    // The sign-in itself is not the screen's: it still completes.
    EXPECT_FALSE(global->vksid().isEmpty());
}

TEST_F(ScreenLifetimeTest, LibraryClosedWhileItsNoticeShows)
{
    QDir().mkpath(StorageLayout::getAudioDir());
    QFile file(StorageLayout::getAudioDir() + "/A - B.mp3");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    Settings settings(root.filePath("config/Melodrop.conf"));
    auto library = std::make_unique<Audio_Library>(&settings);
    library->viewWillAppear();
    library->accessoryButtonTapped(0);
    const QPointer<ProgressOverlay> hud = library->hud();
    ASSERT_FALSE(hud.isNull());
    library.reset();
    expectReleased(hud);
    Stores::playlist().clear();
}

TEST_F(ScreenLifetimeTest, AlbumScreenClosedWhileItsSearchesRun)
{
    signIn();
    auto screen = std::make_unique<Audio_Albums>();
    screen->setTitle("Альбомы");
    screen->viewWillAppear();
    screen->setSearchText("Greatest");
    screen->searchBarSearchButtonClicked();
    QPointer<ProgressOverlay> hud = screen->hud();
    ASSERT_FALSE(hud.isNull());
    screen.reset();
    expectReleased(hud);
    EXPECT_TRUE(Stores::albums().isEmpty());

    // The track look-up of an album: the searches for its tracks stop with the screen.
    screen = std::make_unique<Audio_Albums>();
    screen->setTitle("Альбомы");
    screen->viewWillAppear();
    screen->setSearchText("Greatest");
    screen->searchBarSearchButtonClicked();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen->hud() && !screen->searchBusy(); }, 30000));
    ASSERT_FALSE(Stores::albums().isEmpty());
    Stores::audioFound().assign({sentinel});
    QSignalSpy opened(screen.get(), &Audio_Albums::openFoundAlbum);
    screen->rowSelected(0);
    hud = screen->hud();
    ASSERT_FALSE(hud.isNull());
    screen.reset();
    expectReleased(hud);
    ASSERT_EQ(Stores::audioFound().size(), 1);
    EXPECT_EQ(Stores::audioFound().records().first().title, sentinel.title);
}

TEST_F(ScreenLifetimeTest, FriendsScreenClosedWhileItsListLoads)
{
    signIn();
    Stores::friendsGroups().assign({QStringLiteral("Before\n1\nhttp://x/1.jpg")});
    auto screen = std::make_unique<Friends_and_Groups>();
    screen->viewWillAppear();
    screen->getFriends();
    const QPointer<ProgressOverlay> hud = screen->hud();
    ASSERT_FALSE(hud.isNull());
    screen.reset();
    expectReleased(hud);
    EXPECT_EQ(Stores::friendsGroups().size(), 1);
}

} // namespace
