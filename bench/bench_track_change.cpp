// How long the GUI thread is kept from running while tracks change: ten tracks started one after another,
// each until libmpv has opened it, with a 2 ms heartbeat timer on the main thread. The longest gap between
// two beats is the stall (counter longest_stall_ms; the window should never stall 50 ms). The first track is
// started before the heartbeat, so loading libmpv itself is not counted.
#include "../tests/support/Mp3Fixture.h"

#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/MusicPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <clocale>
#include <functional>

namespace {

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

void BM_TrackChangeStall(benchmark::State &state)
{
    QTemporaryDir root;
    StorageLayout::setRootDir(root.path());
    Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
    QStringList files;
    for (int i = 0; i < 11; ++i)
        files << QStringLiteral("Track %1.mp3").arg(i);
    if (!Mp3Fixture::appendToPlaylist(files, 30)) {
        state.SkipWithError("the tracks could not be written");
        return;
    }
    MusicPlayer &music = MusicPlayer::shared();
    const auto opened = [] {
        auto *player = qobject_cast<LibraryPlayer *>(GlobalData::sharedGlobalData()->audioPlayer);
        return player && player->isLoaded() && player->duration() > 0;
    };
    music.playSound(0);
    if (!waitUntil(opened, 5000)) {
        state.SkipWithError("the first track did not open");
        return;
    }
    qint64 worst = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        qint64 last = 0;
        qint64 longest = 0;
        QTimer heartbeat;
        heartbeat.setTimerType(Qt::PreciseTimer);
        heartbeat.setInterval(2);
        QObject::connect(&heartbeat, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            longest = std::max(longest, now - last);
            last = now;
        });
        heartbeat.start();
        last = clock.elapsed();
        for (int i = 0; i < 10; ++i) {
            music.next();
            if (!waitUntil(opened, 5000)) {
                state.SkipWithError("a track did not open");
                return;
            }
        }
        heartbeat.stop();
        worst = std::max(worst, longest);
        state.SetIterationTime(double(longest) / 1000.0);
    }
    state.counters["longest_stall_ms"] = benchmark::Counter(double(worst));
    Mp3Fixture::resetPlayerState();
    StorageLayout::setRootDir(QString());
    Settings::setSharedPath(QString());
}

} // namespace

BENCHMARK(BM_TrackChangeStall)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("MELODROP_MPV_AO", "null");
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C"); // for libmpv, after the application object set the locale
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
