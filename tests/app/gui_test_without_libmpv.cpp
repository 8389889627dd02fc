// The window on a system where libmpv cannot be loaded: nothing plays, the log says why, and the window goes
// on working; once the library can be loaded, the next track plays. (One case: libmpv, once loaded, stays.)
#include "../support/MainWindow.h"
#include "../support/Mp3Fixture.h"
#include "../support/TestSupport.h"
#include "../support/WindowSettle.h"

#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"

#include <QFile>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using TestSupport::waitFor;

QQuickItem *findItem(QQuickItem *item, const QString &name)
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

// Whether libmpv is mapped into this process.
bool libmpvLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libmpv.so");
}

int failures(const TestSupport::LogCapture &log)
{
    int count = 0;
    for (const QString &line : log.lines())
        count += line.startsWith(QLatin1String("libmpv could not be loaded (")) &&
                 line.endsWith(QLatin1String("): audio and video cannot play"));
    return count;
}

TEST(WithoutLibmpv, NothingPlaysTheLogSaysWhyAndTheWindowGoesOn)
{
    ASSERT_FALSE(libmpvLoaded()) << "the program loads libmpv when something plays, not before";
    qputenv("MELODROP_LIBMPV", "/nonexistent/libmpv.so.2");
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    StorageLayout::setRootDir(root.path());
    Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
    GlobalData *global = GlobalData::sharedGlobalData();
    ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/Singer - Song.mp3"), 30));
    Stores::playlist().append(PlaylistEntry{QStringLiteral("Singer - Song.mp3"), false});

    Shell shell;
    Lifecycle lifecycle;
    TestSupport::registerForQml(&shell, &lifecycle);
    QQmlApplicationEngine engine;
    QQuickWindow *window = TestSupport::loadMainWindow(engine);
    ASSERT_NE(window, nullptr);
    window->resize(1280, 800);
    window->show();
    ASSERT_TRUE(waitFor([&] { return window->isExposed(); }, 5000));
    TestSupport::settle(window, 300);
    QQuickItem *top = window->contentItem(); // the footer and the popups too
    const auto click = [&](QQuickItem *item) {
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier,
                          item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint());
        TestSupport::settle(window, 300);
    };

    TestSupport::LogCapture log;
    // Play on the bar: no player, and the reason in the log.
    click(findItem(top, QStringLiteral("nowPlayingPlayPause")));
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_FALSE(libmpvLoaded());
    EXPECT_EQ(failures(log), 1) << log.lines().join('\n').toStdString();

    // The window still answers: the audio section, the library, a file's preview (which cannot play either).
    QTest::keyClick(window, Qt::Key_2, Qt::ControlModifier);
    TestSupport::settle(window, 300);
    QQuickItem *library = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (library = findItem(top, QStringLiteral("menuRow5"))) != nullptr; }, 5000));
    click(library); // Медиатека
    QQuickItem *row = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (row = findItem(top, QStringLiteral("libraryRow0"))) != nullptr; }, 5000));
    click(row);
    QQuickItem *close = nullptr;
    ASSERT_TRUE(
        waitFor([&] { return (close = findItem(top, QStringLiteral("alertButton0"))) != nullptr; }, 5000))
        << "the preview's dialog";
    EXPECT_EQ(failures(log), 2) << log.lines().join('\n').toStdString();
    click(close);
    EXPECT_TRUE(waitFor([&] { return !findItem(top, QStringLiteral("alertButton0")); }, 5000));

    // With the library there again, the next track plays: a failed load is not remembered.
    qunsetenv("MELODROP_LIBMPV");
    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier,
                       row->mapToScene(QPointF(60, row->height() / 2)).toPoint());
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer && global->audioPlayer->isPlaying(); }, 5000));
    EXPECT_TRUE(libmpvLoaded());
    EXPECT_EQ(failures(log), 2);

    AudioPlayer::dropShared();
    Stores::playlist().clear();
    StorageLayout::setRootDir(QString());
    Settings::setSharedPath(QString());
}

} // namespace
