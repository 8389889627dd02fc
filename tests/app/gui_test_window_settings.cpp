// The settings page in the window, pressed as a user presses it: each change is written under the key the
// program reads and acted on at once (the palette, the menu counter, the player's ReplayGain).
#include "../support/MainWindowTest.h"
#include "../support/Mp3Fixture.h"

#include "desktop/ColorScheme.h"
#include "library/LibraryStore.h"
#include "playback/MusicDeck.h"
#include "playback/MusicPlayer.h"

#include <QColor>

namespace {

using TestSupport::waitFor;

class SettingsWindowTest : public MainWindowTest
{
protected:
    SettingsWindowTest() { settleMs = 400; }

    // A real click in the middle of the item, scrolled into view first when the page is longer than the
    // window.
    void click(QQuickItem *item)
    {
        ASSERT_NE(item, nullptr);
        ensureVisible(item);
        const QPoint at = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
        ASSERT_TRUE(QRect(QPoint(0, 0), window->size()).contains(at)) << item->objectName().toStdString();
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, at);
        settle();
    }
    // Scrolls the nearest Flickable so that `item` is inside the window.
    void ensureVisible(QQuickItem *item)
    {
        for (QQuickItem *parent = item->parentItem(); parent; parent = parent->parentItem()) {
            if (!parent->inherits("QQuickFlickable"))
                continue;
            const QPointF inFlickable = item->mapToItem(parent, QPointF(0, item->height() / 2));
            if (inFlickable.y() < 0 || inFlickable.y() > parent->height()) {
                const qreal y =
                    parent->property("contentY").toReal() + inFlickable.y() - parent->height() / 2;
                parent->setProperty("contentY", std::max<qreal>(0, y));
                settle();
            }
            return;
        }
    }
    // Each key press is followed by the window settling.
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        MainWindowTest::key(key, modifiers);
        settle();
    }
    // The window's own background, sampled where no control is drawn (the right edge, halfway down).
    int backgroundLightness()
    {
        const QImage image = window->grabWindow();
        return QColor(image.pixel(image.width() - 4, image.height() / 2)).lightness();
    }
};

TEST_F(SettingsWindowTest, ControlCommaOpensThePageAndTheColourSchemeSwitchesThePaletteAtOnce)
{
    ASSERT_EQ(find(QStringLiteral("settingsView")), nullptr);
    key(Qt::Key_Comma, Qt::ControlModifier);
    EXPECT_EQ(window->property("section").toInt(), 4);
    ASSERT_NE(waitForItem(QStringLiteral("settingsView")), nullptr);
    // And the sidebar has the page as its fifth entry.
    click(find(QStringLiteral("sidebarSection0")));
    click(find(QStringLiteral("sidebarSection4")));
    EXPECT_EQ(window->property("section").toInt(), 4);

    ColorScheme *scheme = shell->colorScheme();
    const auto written = [] {
        return Settings::shared().stringValue(QStringLiteral("appearance/color_scheme"));
    };
    click(find(QStringLiteral("colorScheme2")));
    EXPECT_EQ(written(), QStringLiteral("dark"));
    EXPECT_TRUE(scheme->dark());
    EXPECT_LT(backgroundLightness(), 80);

    click(find(QStringLiteral("colorScheme1")));
    EXPECT_EQ(written(), QStringLiteral("light"));
    EXPECT_FALSE(scheme->dark());
    EXPECT_GT(backgroundLightness(), 180);

    // "system" hands the choice back to the desktop: with no portal here, a dark palette's answer counts.
    click(find(QStringLiteral("colorScheme2")));
    ASSERT_TRUE(scheme->dark());
    scheme->applyPortalValue(ColorScheme::PreferLight);
    EXPECT_TRUE(scheme->dark()); // the user's choice stands over the desktop's
    click(find(QStringLiteral("colorScheme0")));
    EXPECT_EQ(written(), QStringLiteral("system"));
    EXPECT_FALSE(scheme->dark());
    scheme->applyPortalValue(ColorScheme::PreferDark);
    EXPECT_TRUE(scheme->dark());
    scheme->applyPortalValue(ColorScheme::PreferLight);
}

TEST_F(SettingsWindowTest, TheCounterSwitchHidesAndShowsTheMenuCounterWithoutARestart)
{
    for (const char *name : {"/a.mp3", "/b.mp3"})
        ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QLatin1String(name), 0.1));
    // As the folder watcher would report them.
    LibraryStore::audio().pathChanged(StorageLayout::getAudioDir());
    key(Qt::Key_2, Qt::ControlModifier);
    const auto counterShown = [&] {
        return findItem(find(QStringLiteral("menuRow5")), QStringLiteral("menuCounter")) != nullptr;
    };
    ASSERT_TRUE(waitFor(counterShown, 5000));

    // Off, then on again.
    for (const bool on : {false, true}) {
        key(Qt::Key_Comma, Qt::ControlModifier);
        QQuickItem *count = waitForItem(QStringLiteral("countAudio"));
        ASSERT_NE(count, nullptr);
        EXPECT_EQ(count->property("checked").toBool(), !on);
        click(count);
        EXPECT_EQ(Settings::shared().boolValue(QStringLiteral("count_audio"), !on), on);
        key(Qt::Key_2, Qt::ControlModifier);
        EXPECT_TRUE(waitFor([&] { return counterShown() == on; }, 2000)) << on;
    }
}

TEST_F(SettingsWindowTest, EachControlWritesTheKeyTheProgramReadsAndReplayGainReachesThePlayer)
{
    key(Qt::Key_Comma, Qt::ControlModifier);
    ASSERT_NE(waitForItem(QStringLiteral("settingsView")), nullptr);
    Settings &settings = Settings::shared();
    MusicDeck *deck = MusicPlayer::shared().deck();
    ASSERT_TRUE(deck->isValid());
    EXPECT_TRUE(find(QStringLiteral("replayGain1"))->property("checked").toBool()); // the default
    click(find(QStringLiteral("replayGain2")));
    EXPECT_EQ(settings.stringValue(QStringLiteral("player/replaygain")), QStringLiteral("album"));
    EXPECT_TRUE(waitFor([&] { return deck->propertyNow("replaygain") == "album"; }, 3000));
    click(find(QStringLiteral("replayGain0")));
    EXPECT_EQ(settings.stringValue(QStringLiteral("player/replaygain")), QStringLiteral("off"));
    EXPECT_TRUE(waitFor([&] { return deck->propertyNow("replaygain") == "no"; }, 3000));

    const QList<std::tuple<const char *, const char *, bool>> switches = {
        {"autopause", "settings_autopause", true},       {"autoLogin", "auto_login", false},
        {"moveToTrash", "library/move_to_trash", false}, {"notifyTrackChange", "notify_track_change", false},
        {"askQuality", "video/ask_quality", false},      {"countVideo", "count_video", true}};
    for (const auto &[name, settingKey, initially] : switches) {
        QQuickItem *control = find(QLatin1String(name));
        ASSERT_NE(control, nullptr) << name;
        EXPECT_EQ(control->property("checked").toBool(), initially) << name;
        click(control);
        ASSERT_TRUE(settings.contains(QLatin1String(settingKey))) << name;
        EXPECT_EQ(settings.boolValue(QLatin1String(settingKey), initially), !initially) << name;
        EXPECT_EQ(control->property("checked").toBool(), !initially) << name;
    }
    // The quality list, from the keyboard: the entry after "none chosen" is 240.
    click(find(QStringLiteral("videoQuality")));
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    EXPECT_EQ(settings.stringValue(QStringLiteral("video/quality")), QStringLiteral("240"));
    // Written elsewhere, the page shows it.
    settings.setBool(QStringLiteral("auto_login"), false);
    EXPECT_FALSE(find(QStringLiteral("autoLogin"))->property("checked").toBool());
}

} // namespace
