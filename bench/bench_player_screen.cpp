// The player screen against the playlist's length. Opening: a new screen controller appears and a list view
// draws its rows, at 1,000 and at 100,000 entries in the same iteration (target: ratio at most 2). Idle: the
// process's CPU time over a few seconds with the now-playing bar, the player's tick and the screen shown,
// with an empty playlist and with 100,000 entries whose last is the current track (target: no higher).
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/MusicPlayer.h"
#include "screens/Audio_Playlist.h"
#include "screens/NowPlaying.h"

#include "InlineView.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <ctime>
#include <memory>

namespace {

void setPlaylist(int entries, bool lastIsCurrent)
{
    QList<PlaylistEntry> list;
    list.reserve(entries);
    for (int i = 0; i < entries; ++i)
        list.append({QStringLiteral("Альбом %1/Исполнитель %2 - Song %2.mp3").arg(i % 20).arg(i),
                     lastIsCurrent && i == entries - 1});
    Stores::playlist().assignEntries(std::move(list));
}

// The player screen's table as the view draws it: a list view over the controller's rows, the window's size.
struct Screen : InlineView
{
    Screen()
        : InlineView(
              QStringLiteral("import QtQuick\n"
                             "ListView { width: 420; height: 740; model: null\n"
                             "  delegate: Text { width: 420; height: 48; opacity: model.playable ? 1 : 0.4\n"
                             "    color: model.current ? 'red' : 'black'; text: model.title } }"),
              QSize(420, 740))
    {}
    // Opens a new controller over the playlist as the menu does, and draws its rows; milliseconds.
    double open(std::unique_ptr<Audio_Playlist> &controller)
    {
        QElapsedTimer timer;
        timer.start();
        controller.reset(new Audio_Playlist);
        controller->viewWillAppear();
        view.rootObject()->setProperty("model", QVariant::fromValue<QObject *>(controller->rows()));
        controller->viewDidAppear();
        QMetaObject::invokeMethod(view.rootObject(), "positionViewAtEnd");
        settle();
        return double(timer.nsecsElapsed()) / 1e6;
    }
    void close(std::unique_ptr<Audio_Playlist> &controller)
    {
        controller->viewWillDisappear();
        view.rootObject()->setProperty("model", QVariant());
        controller.reset();
        settle();
    }
};

void BM_OpenPlayerScreen(benchmark::State &state)
{
    Screen screen;
    std::unique_ptr<Audio_Playlist> controller;
    double small = 0, large = 0;
    for (auto _ : state) {
        setPlaylist(1000, true);
        small += screen.open(controller);
        screen.close(controller);
        setPlaylist(100000, true);
        const double ms = screen.open(controller);
        large += ms;
        screen.close(controller);
        state.SetIterationTime(ms / 1000.0);
    }
    const double n = double(state.iterations());
    state.counters["open_1k_ms"] = small / n;
    state.counters["open_100k_ms"] = large / n;
    state.counters["ratio"] = large / small; // target: at most 2
    Stores::playlist().clear();
}
BENCHMARK(BM_OpenPlayerScreen)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// CPU milliseconds per second of an idle window: the event loop runs `seconds` with nothing to do but the
// timers of the bar, the player and the open screen.
double idleCpuMsPerSecond(Screen &screen, int seconds)
{
    std::unique_ptr<Audio_Playlist> controller;
    screen.open(controller);
    const double before = cpuSeconds();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double used = cpuSeconds() - before;
    screen.close(controller);
    return used * 1000.0 / seconds;
}

void BM_IdleCpu(benchmark::State &state)
{
    Screen screen;
    NowPlaying bar(nullptr);
    MusicPlayer::shared().restartTimer(); // the player's one-second tick, as at launch
    double empty = 0, full = 0;
    for (auto _ : state) {
        setPlaylist(0, false);
        bar.refresh();
        empty += idleCpuMsPerSecond(screen, 3);
        setPlaylist(100000, true);
        bar.refresh();
        const double ms = idleCpuMsPerSecond(screen, 3);
        full += ms;
        state.SetIterationTime(ms / 1000.0);
    }
    const double n = double(state.iterations());
    state.counters["idle_empty_cpu_ms_per_s"] = empty / n;
    state.counters["idle_100k_cpu_ms_per_s"] = full / n; // target: no higher than with an empty playlist
    Stores::playlist().clear();
}
BENCHMARK(BM_IdleCpu)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir root; // no file of the playlist exists: each row drawn asks the file system once
    StorageLayout::setRootDir(root.path());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
