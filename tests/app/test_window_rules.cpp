// The rules behind the desktop window: where it opens, when quitting asks, the colour scheme, the queue's
// completion notice and the now-playing bar's track split.
#include "../support/TestSupport.h"

#include "app/Shell.h"
#include "app/WindowState.h"
#include "core/GlobalData.h"
#include "desktop/ColorScheme.h"
#include "downloads/DownloadQueue.h"
#include "screens/DownloadsFinished.h"
#include "screens/NowPlaying.h"

#include <QSettings>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

TEST(WindowState, OpensWhereItWasUnlessThatNoLongerFitsTheScreen)
{
    const QRect laptop(0, 0, 1366, 768);
    const QRect small(0, 0, 800, 600);
    const QRect panelled(0, 32, 1280, 768); // a top panel takes 32 pixels
    struct Case
    {
        const char *what;
        std::optional<QRect> saved;
        QRect available;
        QRect expected;
    } cases[] = {
        {"first start: default size centred", std::nullopt, laptop, QRect(133, 24, 1100, 720)},
        {"first start on a small screen: never larger", std::nullopt, small, QRect(0, 0, 800, 600)},
        {"remembered place kept", QRect(40, 50, 900, 600), laptop, QRect(40, 50, 900, 600)},
        {"too large for this screen: shrunk", QRect(0, 0, 1900, 1000), laptop, QRect(0, 0, 1366, 768)},
        {"hanging off the right edge: pulled in", QRect(1000, 100, 900, 600), laptop,
         QRect(466, 100, 900, 600)},
        {"on a screen that is gone: centred default", QRect(3000, 100, 900, 600), laptop,
         QRect(133, 24, 1100, 720)},
        {"under a panel: moved below it", QRect(10, 0, 900, 600), panelled, QRect(10, 32, 900, 600)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(WindowState::initialRect(c.saved, c.available), c.expected) << c.what;
}

TEST(WindowState, KeepsItsKeysInItsOwnGroup)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Melodrop.conf"));
    QSettings settings(path, QSettings::NativeFormat);
    const std::pair<const char *, QVariant> values[] = {{"auto_login", true},   {"window/x", 12},
                                                        {"window/y", 34},       {"window/width", 1000},
                                                        {"window/height", 700}, {"window/maximized", true}};
    for (const auto &[key, value] : values)
        settings.setValue(QLatin1String(key), value);
    settings.sync();
    WindowState state(path);
    EXPECT_EQ(state.savedRect(), QRect(12, 34, 1000, 700));
    EXPECT_TRUE(state.savedMaximized());

    settings.setValue(QStringLiteral("window/width"), 0);
    settings.sync();
    EXPECT_EQ(state.savedRect(), std::nullopt) << "an empty rectangle is no place to open";
    EXPECT_EQ(settings.value(QStringLiteral("auto_login")).toBool(), true);
}

class QueueStateTest : public ::testing::Test
{
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() { DownloadQueue::shared().clear(); }
    static void queue(QueueItem::State state, qint64 size, qint64 received, bool video = false)
    {
        const QueueItem item{
            QStringLiteral("A - B"), QStringLiteral("http://x/a.mp3"), 7, state, size, received};
        DownloadQueue::shared().append(video ? DownloadQueue::Video : DownloadQueue::Audio, item);
    }
};

TEST_F(QueueStateTest, QuittingAsksOnlyWhileATransferRuns)
{
    using State = QueueItem::State;
    struct Case
    {
        State state;
        qint64 size;
        qint64 received;
        bool video;
        bool running;
    } cases[] = {
        {State::Waiting, 0, 0, false, false},       {State::Failed, 1000, 10, false, false},
        {State::Started, 0, 0, false, true},        // started, nothing yet
        {State::Started, 1000, 10, true, true},     // receiving, in the video queue
        {State::Started, 1000, 1000, false, false}, // complete: leaving the queue
    };
    for (const Case &c : cases) {
        clear();
        queue(c.state, c.size, c.received, c.video);
        EXPECT_EQ(Shell::downloadsRunning(), c.running) << int(c.state) << " " << c.received;
    }

    clear();
    Shell shell;
    QSignalSpy alerts(&shell, &Shell::alertRequested);
    QSignalSpy quits(&shell, &Shell::quitRequested);
    queue(State::Started, 0, 0);
    EXPECT_FALSE(shell.requestQuit());
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(), QStringLiteral("Загрузки ещё идут. Выйти?"));
    EXPECT_EQ(alerts.at(0).at(2).toStringList(), (QStringList{"Отмена", "Выйти"}));
    shell.alertAnswered(Shell::QuitAlert, 0);
    EXPECT_EQ(quits.count(), 0) << "cancel stays";
    EXPECT_FALSE(shell.requestQuit());
    shell.alertAnswered(Shell::QuitAlert, 1);
    EXPECT_EQ(quits.count(), 1);
    EXPECT_TRUE(shell.requestQuit()) << "once confirmed, the close goes through";

    Shell idle;
    clear();
    QSignalSpy idleQuits(&idle, &Shell::quitRequested);
    EXPECT_TRUE(idle.requestQuit());
    EXPECT_EQ(idleQuits.count(), 1);
}

TEST_F(QueueStateTest, TheNoticeComesWhenTheLastItemIsSavedAndCountsTheRun)
{
    DownloadsFinished finished(&DownloadQueue::shared());
    QSignalSpy notices(&finished, &DownloadsFinished::noticeRequested);
    queue(QueueItem::State::Started, 100, 50);
    finished.transferFinished(); // one saved, one still running
    EXPECT_EQ(notices.count(), 0);
    clear();
    finished.transferFinished();
    ASSERT_EQ(notices.count(), 1);
    EXPECT_EQ(notices.at(0).at(0).toString(), QStringLiteral("Загрузки завершены"));
    EXPECT_EQ(notices.at(0).at(1).toString(), QStringLiteral("Сохранено файлов: 2"));
    // The next run counts from zero.
    finished.transferFinished();
    ASSERT_EQ(notices.count(), 2);
    EXPECT_EQ(notices.at(1).at(1).toString(), QStringLiteral("Сохранено файлов: 1"));
}

TEST(ColorScheme, FollowsThePortalAndFallsBackToThePalette)
{
    for (bool palette : {false, true}) {
        EXPECT_TRUE(ColorScheme::darkFor(ColorScheme::PreferDark, palette));
        EXPECT_FALSE(ColorScheme::darkFor(ColorScheme::PreferLight, palette));
        EXPECT_EQ(ColorScheme::darkFor(ColorScheme::NoPreference, palette), palette);
        EXPECT_EQ(ColorScheme::darkFor(7, palette), palette) << "an unknown value states nothing";
    }
    EXPECT_EQ(ColorScheme::overrideFrom(QStringLiteral(" Dark ")), 1);
    EXPECT_EQ(ColorScheme::overrideFrom(QStringLiteral("light")), 0);
    EXPECT_EQ(ColorScheme::overrideFrom(QStringLiteral("auto")), -1);

    ColorScheme scheme;
    QSignalSpy changes(&scheme, &ColorScheme::darkChanged);
    const bool before = scheme.dark();
    scheme.applyPortalValue(before ? ColorScheme::PreferLight : ColorScheme::PreferDark);
    EXPECT_EQ(scheme.dark(), !before);
    EXPECT_EQ(changes.count(), 1);
    scheme.applyPortalValue(before ? ColorScheme::PreferLight : ColorScheme::PreferDark);
    EXPECT_EQ(changes.count(), 1) << "no change, no signal";
}

TEST(NowPlaying, SplitsTheFileNameIntoTitleAndArtist)
{
    using Pair = QPair<QString, QString>;
    EXPECT_EQ(NowPlaying::splitDisplayName(QStringLiteral("Artist - Title")), Pair("Title", "Artist"));
    EXPECT_EQ(NowPlaying::splitDisplayName(QStringLiteral("A - B - C")), Pair("B - C", "A"));
    EXPECT_EQ(NowPlaying::splitDisplayName(QStringLiteral("Just a title")), Pair("Just a title", QString()));
    EXPECT_EQ(NowPlaying::splitDisplayName(QStringLiteral(" - Leading")), Pair(" - Leading", QString()));
}

} // namespace
