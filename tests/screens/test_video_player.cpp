#include "../support/FakeMusic.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "playback/AudioPlayer.h"
#include "screens/Video_Player.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// The player without a picture surface (as under the software scene graph): mpv draws to vo=null.
class VideoPlayerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        clip = folder.filePath(QStringLiteral("my videos/clip #1 100%.mp4"));
        ASSERT_TRUE(QDir().mkpath(folder.filePath(QStringLiteral("my videos"))));
        ASSERT_TRUE(QFile::copy(TestSupport::dataPath(QStringLiteral("media/tiny.mp4")), clip));
        GlobalData::sharedGlobalData()->audioPlayer = &music;
    }
    void TearDown() override { GlobalData::sharedGlobalData()->audioPlayer = nullptr; }

    static bool waitLoaded(const Video_Player &screen)
    {
        return TestSupport::waitFor([&] { return !screen.loading(); });
    }
    // Opens `file` from the video library.
    static void load(Video_Player &screen, const QString &file)
    {
        screen.setFileName(file);
        screen.setRefererType(QStringLiteral("library"));
        screen.viewDidLoad();
    }

    QTemporaryDir folder;
    QString clip;
    FakeMusic music;
};

TEST_F(VideoPlayerTest, ALibraryFileWithAnAwkwardPathPlaysAndTheMusicStaysPaused)
{
    Video_Player screen;
    screen.setFileName(clip);
    screen.setRefererType(QStringLiteral("library"));
    EXPECT_EQ(QUrl(screen.contentAddress()).toLocalFile(), clip);
    EXPECT_TRUE(screen.loading());

    screen.viewDidLoad();
    EXPECT_EQ(music.pauses, 1);
    EXPECT_TRUE(screen.timerActive());
    ASSERT_NE(screen.player(), nullptr);
    ASSERT_TRUE(screen.player()->isValid());
    ASSERT_TRUE(waitLoaded(screen));
    EXPECT_TRUE(screen.errorText().isEmpty());
    EXPECT_TRUE(screen.player()->playing());
    EXPECT_NEAR(screen.player()->duration(), 1.0, 0.15);

    screen.viewWillDisappear();
    EXPECT_FALSE(screen.timerActive());
    QSignalSpy dismissed(&screen, &Video_Player::dismissRequested);
    screen.closeWindow();
    EXPECT_EQ(dismissed.size(), 1);
    EXPECT_EQ(screen.player(), nullptr);
    EXPECT_EQ(music.plays, 0); // not resumed after the video
}

TEST_F(VideoPlayerTest, ASearchAddressIsPlayedAsTheAddressItIs)
{
    Video_Player screen;
    const QString address = QUrl::fromLocalFile(clip).toString(QUrl::FullyEncoded);
    screen.setFileName(address);
    screen.setRefererType(QStringLiteral("search"));
    EXPECT_EQ(screen.contentAddress(), address);
    screen.viewDidLoad();
    ASSERT_TRUE(waitLoaded(screen));
    EXPECT_TRUE(screen.errorText().isEmpty());
}

TEST_F(VideoPlayerTest, TheVideoStopsOnItsLastPictureAndPlayStartsItAgain)
{
    Video_Player screen;
    load(screen, clip);
    ASSERT_TRUE(waitLoaded(screen));
    double furthest = 0;
    bool wrapped = false;
    QObject::connect(screen.player(), &VideoEngine::positionChanged, [&] {
        const double position = screen.player()->position();
        if (furthest > 0.6 && position < furthest - 0.4)
            wrapped = true;
        furthest = std::max(furthest, position);
    });
    ASSERT_TRUE(TestSupport::waitFor([&] { return screen.player()->ended(); }, 8000));
    EXPECT_FALSE(screen.player()->playing());
    TestSupport::waitFor([] { return false; }, 1500);
    EXPECT_FALSE(wrapped) << "it started again";
    EXPECT_FALSE(screen.player()->playing());
    EXPECT_GT(screen.player()->position(), 0.6);
    EXPECT_TRUE(screen.errorText().isEmpty());

    screen.player()->play();
    EXPECT_TRUE(TestSupport::waitFor([&] { return wrapped && screen.player()->playing(); }, 3000))
        << "play at the end starts from the beginning";
}

TEST_F(VideoPlayerTest, WithASecondDisplayTheScreenShowsAndDrivesItsOwnControls)
{
    Video_Player screen;
    screen.setDisplayCount(2);
    screen.setScreenWidths({1280, 1920});
    load(screen, clip);
    screen.viewWillAppear();
    EXPECT_TRUE(screen.externalDisplay());
    EXPECT_EQ(screen.externalScreenIndex(), 1);
    ASSERT_TRUE(waitLoaded(screen));
    EXPECT_TRUE(screen.externalControlsVisible());
    EXPECT_NEAR(screen.sliderMaximum(), 1.0, 0.15);

    QSignalSpy labels(&screen, &Video_Player::timeLabelsChanged);
    ASSERT_TRUE(labels.wait(2500));
    EXPECT_EQ(screen.videoTimeLabel(), QStringLiteral("0:01"));
    EXPECT_TRUE(screen.videoTimeLabelCurrent() == QStringLiteral("0:00") ||
                screen.videoTimeLabelCurrent() == QStringLiteral("0:01"));

    screen.pauseButtonPressed();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen.player()->playing(); }));
    screen.playButtonPressed();
    ASSERT_TRUE(TestSupport::waitFor([&] { return screen.player()->playing(); }));

    // Moving the slider jumps there and plays on.
    screen.pauseButtonPressed();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen.player()->playing(); }));
    screen.videoSliderMoved(0.8);
    ASSERT_TRUE(TestSupport::waitFor([&] { return screen.player()->playing(); }));
    EXPECT_TRUE(TestSupport::waitFor([&] { return screen.player()->position() >= 0.75; }, 2000));

    // Reloading starts from the beginning with the slider back at 0.
    screen.refreshWindow();
    EXPECT_EQ(screen.sliderValue(), 0);
    EXPECT_TRUE(TestSupport::waitFor([&] { return screen.player()->playing(); }));
}

TEST_F(VideoPlayerTest, ThePictureGoesToTheWidestScreenOtherThanTheWindowsOwn)
{
    const struct
    {
        QList<int> widths;
        int windowScreen;
        int picture; // -1: no second display, the window keeps the picture
    } cases[] = {
        {{1920, 1280}, 0, 1},
        {{1280, 1920}, 1, 0},       // the window on the second screen: the first takes the picture
        {{1920, 3840, 2560}, 1, 2}, // the widest is the window's own: the next widest
        {{3840, 1920, 2560}, 0, 2},
        {{1920, 1920, 1920}, 0, 1}, // equals: the first of them
        {{1920, 1920, 1920}, 1, 0},
        {{1920, 1280, 3840, 3840}, 0, 2},
        {{1920, 0}, 0, 1},
        {{1920}, 0, -1},
    };
    for (const auto &c : cases) {
        Video_Player screen;
        screen.setScreenWidths(c.widths);
        screen.setDisplayCount(int(c.widths.size()));
        screen.setWindowScreenIndex(c.windowScreen);
        EXPECT_EQ(screen.externalScreenIndex(), c.picture)
            << c.widths.size() << " screens, window on " << c.windowScreen;
        EXPECT_EQ(screen.externalDisplay(), c.picture >= 0);
    }

    // The window moving to another screen moves the picture off it.
    Video_Player screen;
    QSignalSpy changed(&screen, &Video_Player::externalDisplayChanged);
    screen.setScreenWidths({1920, 3840});
    screen.setDisplayCount(2);
    screen.setWindowScreenIndex(0);
    EXPECT_EQ(screen.externalScreenIndex(), 1);
    changed.clear();
    screen.setWindowScreenIndex(1);
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(screen.externalScreenIndex(), 0);
}

TEST_F(VideoPlayerTest, WithOneDisplayNoExternalControlsUntilASecondIsConnected)
{
    Video_Player screen;
    screen.setDisplayCount(1);
    load(screen, clip);
    screen.viewWillAppear();
    ASSERT_TRUE(waitLoaded(screen));
    EXPECT_FALSE(screen.externalDisplay());
    EXPECT_EQ(screen.externalScreenIndex(), -1);
    // Neither shown nor updated while the video plays.
    TestSupport::waitFor([] { return false; }, 1300);
    EXPECT_FALSE(screen.externalControlsVisible());
    EXPECT_TRUE(screen.videoTimeLabel().isEmpty());
    EXPECT_TRUE(screen.videoTimeLabelCurrent().isEmpty());
    EXPECT_EQ(screen.sliderMaximum(), 0);

    screen.setScreenWidths({1280, 1920});
    screen.setDisplayCount(2);
    EXPECT_TRUE(screen.externalDisplay());
    EXPECT_TRUE(screen.externalControlsVisible());
    EXPECT_NEAR(screen.sliderMaximum(), 1.0, 0.15);
}

TEST_F(VideoPlayerTest, AFileThatCannotBePlayedIsReportedInsteadOfLoadingForEver)
{
    QFile broken(folder.filePath(QStringLiteral("broken.mp4")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, 'x'));
    broken.close();
    for (const QString &file : {folder.filePath(QStringLiteral("missing.mp4")), broken.fileName()}) {
        SCOPED_TRACE(file.toStdString());
        Video_Player screen;
        load(screen, file);
        ASSERT_TRUE(waitLoaded(screen));
        EXPECT_EQ(screen.errorText(), QStringLiteral("Не удалось воспроизвести видео"));
    }
}

TEST_F(VideoPlayerTest, APictureSurfaceThatNeverComesDelaysTheLoadOnlyBriefly)
{
    Video_Player screen;
    screen.expectPictureSurface(); // as a VideoSurface does under OpenGL
    load(screen, clip);
    TestSupport::waitFor([] { return false; }, 500);
    EXPECT_TRUE(screen.loading()); // waiting for the render context
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen.loading(); }, Video_Player::surfaceWaitMs + 5000));
    EXPECT_TRUE(screen.errorText().isEmpty());
}

} // namespace
