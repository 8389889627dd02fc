// Screens that go away while the operation of their overlay still runs: the operation must not reach into
// them, and the overlay must not outlive the operation.
#include "../support/ResultsScreens.h"

#include "sandbox/SandboxVideo.h"
#include "screens/Audio_Albums.h"
#include "screens/Audio_Library.h"
#include "screens/Friends_and_Groups.h"
#include "screens/LoginForm.h"

#include <QDir>
#include <QFile>
#include <QPointer>

namespace {

using namespace TestSupport;

class ScreenLifetimeTest : public ResultsScreenTest
{
protected:
    // The overlay of a screen that is gone is released once its operation has returned.
    static void expectReleased(const QPointer<ProgressOverlay> &hud)
    {
        // Deferred deletions run as the program's event loop would run them.
        EXPECT_TRUE(waitFor(
            [&] {
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
                return hud.isNull();
            },
            30000))
            << "the overlay of a destroyed screen was never released";
    }
    // Destroys `screen` while the operation under its overlay runs.
    template <typename Screen> static void closeWhileBusy(std::unique_ptr<Screen> &screen)
    {
        const QPointer<ProgressOverlay> hud = screen->hud();
        ASSERT_FALSE(hud.isNull());
        screen.reset();
        expectReleased(hud);
    }

    // The loader hands its first step to the main thread and waits for it; the screen goes first. Nothing the
    // loader meant for the screen runs: its list stays as the loader found it.
    template <typename Results, typename Record>
    void closeEachWhileItsLoaderRuns(const QList<ResultsKind<Results>> &kinds, const Record &before)
    {
        signIn();
        for (const ResultsKind<Results> &kind : kinds) {
            SCOPED_TRACE(kind.title);
            std::unique_ptr<Results> screen(kind.make());
            screen->store().assign({before});
            open(*screen, QString::fromUtf8(kind.title));
            screen->setSearchText(kind.input);
            screen->searchBarSearchButtonClicked();
            auto &list = screen->store();
            // The audio community and recommendation screens empty it here.
            const QStringList atStart = column(list.records(), &Record::title);
            closeWhileBusy(screen);
            EXPECT_EQ(column(list.records(), &Record::title), atStart);
        }
    }

    // A search screen showing the first page of `query` goes while the next page loads.
    template <typename Search, typename Store>
    void closeWhileAFurtherPageLoads(const QString &query, Store &store, int pageSize)
    {
        signIn();
        auto screen = std::make_unique<Search>();
        open(*screen, QStringLiteral("Поиск"));
        search(*screen, query);
        ASSERT_EQ(store.size(), pageSize);
        screen->cellShown(pageSize - 1);
        closeWhileBusy(screen);
        EXPECT_EQ(store.size(), pageSize);
    }
};

TEST_F(ScreenLifetimeTest, AudioAndVideoScreensClosedWhileTheirLoadersRunOrAFurtherPageLoads)
{
    closeEachWhileItsLoaderRuns(audioKinds(), audioBefore);
    closeEachWhileItsLoaderRuns(videoKinds(), videoBefore);
    closeWhileAFurtherPageLoads<Audio_Search>("a", Stores::audioFound(), 100);
    closeWhileAFurtherPageLoads<Video_Search>(QString(), Stores::videoFound(), 40); // the whole catalogue
}

TEST_F(ScreenLifetimeTest, VideoScreenClosedWhileALinkIsResolved)
{
    signIn();
    // A video whose page has no player: resolving it would take the record out of the list.
    VideoRecord record = videoBefore;
    for (const SandboxVideoItem &item : SandboxVideo::catalogueOf(sandbox)) {
        if (!item.variables)
            record.key = QString::fromStdString(item.key());
    }
    ASSERT_NE(record.key, videoBefore.key);
    for (bool watching : {true, false}) {
        SCOPED_TRACE(watching);
        Stores::videoFound().assign({record});
        auto screen = std::make_unique<Video_Search>();
        screen->viewWillAppear();
        watching ? screen->rowSelected(0) : screen->accessoryButtonTapped(0);
        closeWhileBusy(screen);
        EXPECT_EQ(Stores::videoFound().size(), 1);
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
    closeWhileBusy(form);
    // The sign-in itself is not the screen's: it still completes.
    EXPECT_FALSE(global->vksid().isEmpty());
}

TEST_F(ScreenLifetimeTest, LibraryClosedWhileItsNoticeShows)
{
    QDir().mkpath(StorageLayout::getAudioDir());
    ASSERT_TRUE(QFile(StorageLayout::getAudioDir() + "/A - B.mp3").open(QIODevice::WriteOnly));
    Settings settings(root.filePath("config/Melodrop.conf"));
    auto library = std::make_unique<Audio_Library>(&settings);
    library->viewWillAppear();
    library->accessoryButtonTapped(0);
    closeWhileBusy(library);
    Stores::playlist().clear();
}

TEST_F(ScreenLifetimeTest, AlbumScreenClosedWhileItsSearchesRun)
{
    signIn();
    auto screen = std::make_unique<Audio_Albums>();
    open(*screen, QStringLiteral("Альбомы"));
    screen->setSearchText("Greatest");
    screen->searchBarSearchButtonClicked();
    closeWhileBusy(screen);
    EXPECT_TRUE(Stores::albums().isEmpty());

    // The track look-up of an album: the searches for its tracks stop with the screen.
    screen = std::make_unique<Audio_Albums>();
    open(*screen, QStringLiteral("Альбомы"));
    search(*screen, "Greatest");
    ASSERT_FALSE(Stores::albums().isEmpty());
    Stores::audioFound().assign({audioBefore});
    screen->rowSelected(0);
    closeWhileBusy(screen);
    EXPECT_EQ(column(Stores::audioFound().records(), &AudioRecord::title), QStringList({audioBefore.title}));
}

TEST_F(ScreenLifetimeTest, FriendsScreenClosedWhileItsListLoads)
{
    signIn();
    Stores::friendsGroups().assign({QStringLiteral("Before\n1\nhttp://x/1.jpg")});
    auto screen = std::make_unique<Friends_and_Groups>();
    screen->viewWillAppear();
    screen->getFriends();
    closeWhileBusy(screen);
    EXPECT_EQ(Stores::friendsGroups().size(), 1);
}

} // namespace
