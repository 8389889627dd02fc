// The window on a system where libmpv cannot be loaded: nothing plays, the log says why, and the window goes
// on working; once the library can be loaded, the next track plays. (One case: libmpv, once loaded, stays.)
#include "../support/MainWindowTest.h"
#include "../support/Mp3Fixture.h"

#include <QFile>
#include <QRegularExpression>

namespace {

using TestSupport::waitFor;

// Whether libmpv is mapped into this process.
bool libmpvLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libmpv.so");
}

qsizetype failures(const TestSupport::LogCapture &log)
{
    return log.lines()
        .filter(QRegularExpression(
            QStringLiteral("^libmpv could not be loaded \\(.*\\): audio and video cannot play$")))
        .size();
}

using WithoutLibmpv = MainWindowTest;

TEST_F(WithoutLibmpv, NothingPlaysTheLogSaysWhyAndTheWindowGoesOn)
{
    ASSERT_FALSE(libmpvLoaded()) << "the program loads libmpv when something plays, not before";
    qputenv("MELODROP_LIBMPV", "/nonexistent/libmpv.so.2");
    ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/Singer - Song.mp3"), 30));
    Stores::playlist().append(PlaylistEntry{QStringLiteral("Singer - Song.mp3"), false});
    settle();

    TestSupport::LogCapture log;
    // Play on the bar: no player, and the reason in the log.
    ASSERT_TRUE(press(QStringLiteral("nowPlayingPlayPause")));
    settle();
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_FALSE(libmpvLoaded());
    EXPECT_EQ(failures(log), 1) << log.lines().join('\n').toStdString();

    // The window still answers: the audio section, the library, a file's preview (which cannot play either).
    key(Qt::Key_2, Qt::ControlModifier);
    ASSERT_TRUE(press(QStringLiteral("menuRow5"))); // Медиатека
    QQuickItem *row = waitForItem(QStringLiteral("libraryRow0"));
    ASSERT_NE(row, nullptr);
    settle();
    click(row);
    ASSERT_NE(waitForItem(QStringLiteral("alertButton0")), nullptr) << "the preview's dialog";
    EXPECT_EQ(failures(log), 2) << log.lines().join('\n').toStdString();
    ASSERT_TRUE(press(QStringLiteral("alertButton0")));
    EXPECT_TRUE(waitFor([&] { return !find(QStringLiteral("alertButton0")); }, 5000));

    // With the library there again, the next track plays: a failed load is not remembered.
    qunsetenv("MELODROP_LIBMPV");
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier,
                       row->mapToScene(QPointF(60, row->height() / 2)).toPoint());
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer && global->audioPlayer->isPlaying(); }, 5000));
    EXPECT_TRUE(libmpvLoaded());
    EXPECT_EQ(failures(log), 2);
}

} // namespace
