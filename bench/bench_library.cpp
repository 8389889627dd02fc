// Listing a library folder of 1,000, 10,000 and 50,000 files against `find -maxdepth 1 -printf '%s'` over the
// same folder, the menu's file counter on the GUI thread, and the recursive MP3 count and size sum against
// find/du, each in the same run. Both sides are timed alternately inside one loop so that a busy machine
// weighs on them alike. The size is the benchmark's argument: ./build/bench/bench_library
// --benchmark_filter='ListFolder.*/50000'.
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "library/LibraryScan.h"
#include "screens/AudioMenu.h"
#include "screens/LibraryBrowser.h"
#include "screens/VideoMenu.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

namespace {

class BenchBrowser : public LibraryBrowser
{
public:
    BenchBrowser(Settings *settings) : LibraryBrowser(AudioMedia, LibraryScreen, settings, nullptr) {}
    void rowSelected(int) override {}
};

// Sparse: the sizes are those of songs, the disk holds nothing.
void writeFile(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.resize(bytes);
}

// A library whose audio folder holds `entries` entries: 1 % folders of two MP3 files each, 1 % covers, the
// rest MP3 files; named as downloads name them.
struct Library
{
    QTemporaryDir root;
    std::unique_ptr<Settings> settings;
    QString audio;
    int mp3Files = 0; // below the audio folder, sub-folders included

    explicit Library(int entries)
    {
        settings = std::make_unique<Settings>(root.filePath(QStringLiteral("Melodrop.conf")));
        audio = root.filePath(QStringLiteral("audio"));
        QDir().mkpath(audio);
        const int folders = entries / 100;
        const int covers = entries / 100;
        for (int i = 0; i < folders; ++i) {
            const QString folder = QStringLiteral("%1/Альбом %2").arg(audio).arg(i);
            QDir().mkpath(folder);
            writeFile(folder + QStringLiteral("/01.mp3"), 4000000 + i);
            writeFile(folder + QStringLiteral("/02.mp3"), 5000000 + i);
            mp3Files += 2;
        }
        for (int i = 0; i < covers; ++i)
            writeFile(QStringLiteral("%1/cover %2.jpg").arg(audio).arg(i), 64000);
        for (int i = 0; i < entries - folders - covers; ++i) {
            writeFile(QStringLiteral("%1/Исполнитель %2 - Песня %2.mp3").arg(audio).arg(i), 3000000 + i);
            ++mp3Files;
        }
    }
};

// One library per size, made on first use; the program's folders point at it while it is measured.
Library &library(int entries)
{
    static QMap<int, std::shared_ptr<Library>> made;
    std::shared_ptr<Library> &one = made[entries];
    if (!one)
        one = std::make_shared<Library>(entries);
    StorageLayout::setRootDir(one->root.path());
    return *one;
}

qint64 runCommand(const QString &command)
{
    QElapsedTimer timer;
    timer.start();
    FILE *pipe = popen(command.toUtf8().constData(), "r");
    if (!pipe)
        return 0;
    char buffer[65536];
    while (fread(buffer, 1, sizeof buffer, pipe) > 0) {
    }
    pclose(pipe);
    return timer.nsecsElapsed();
}

// Lets what a worker thread hands back arrive, until `done` holds (a minute at most).
template <class Done> bool settle(Done done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return done();
}

void report(benchmark::State &state, qint64 ours, qint64 theirs, const char *ratioName)
{
    const double iterations = double(std::max<benchmark::IterationCount>(state.iterations(), 1));
    state.counters[ratioName] = double(ours) / double(std::max<qint64>(theirs, 1));
    state.counters["ours_ms"] = double(ours) / iterations / 1e6;
    state.counters["theirs_ms"] = double(theirs) / iterations / 1e6;
}

// What the refresh button costs on the GUI thread: the rows (folders first, then the MP3 files, sorted) and
// the title with the size of everything below, the counting setting on as it is by default.
void BM_ListFolderVsFind(benchmark::State &state)
{
    Library &lib = library(int(state.range(0)));
    BenchBrowser browser(lib.settings.get());
    browser.reloadLibrary();
    // The first listing of a library may leave the title to a worker; the measured ones are the steady state.
    if (!settle([&] { return browser.title().startsWith(QStringLiteral("Всего")); }))
        state.SkipWithError("no title");
    qint64 ours = 0;
    qint64 theirs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        browser.reloadLibrary();
        benchmark::DoNotOptimize(browser.list().size());
        benchmark::DoNotOptimize(browser.title().size());
        ours += timer.nsecsElapsed();
        theirs += runCommand(QStringLiteral("find '%1' -maxdepth 1 -printf '%s\\n'").arg(lib.audio));
    }
    report(state, ours, theirs, "ratio_to_find");
    state.counters["rows"] = double(browser.list().size());
    state.SetLabel(browser.title().toStdString());
}

// What the audio menu costs on the GUI thread each time it appears: the library and export rows count the MP3
// files below the audio folder. Against find counting them.
void BM_MenuCountersVsFind(benchmark::State &state)
{
    Library &lib = library(int(state.range(0)));
    AudioMenu menu(lib.settings.get());
    menu.viewWillAppear();
    if (!settle([&] { return menu.counter(5) == lib.mp3Files; }))
        state.SkipWithError("the counter never showed the files");
    qint64 ours = 0;
    qint64 theirs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        menu.viewWillAppear();
        benchmark::DoNotOptimize(menu.counter(5));
        ours += timer.nsecsElapsed();
        theirs += runCommand(QStringLiteral("find '%1' -iname '*.mp3' | wc -l").arg(lib.audio));
    }
    report(state, ours, theirs, "ratio_to_find");
    state.counters["counted"] = double(menu.counter(5));
}

// The walk behind the counters and the sizes (on the library store's worker thread): every MP3 file below the
// audio folder counted and summed.
void BM_RecursiveCountAndSumVsFindDu(benchmark::State &state)
{
    Library &lib = library(int(state.range(0)));
    qint64 ours = 0;
    qint64 theirs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        int count = 0;
        qint64 bytes = 0;
        const QHash<QString, LibraryScan::Folder> folders =
            LibraryScan::walk(lib.audio, QString(), QStringLiteral("mp3"));
        for (const LibraryScan::Folder &folder : folders) {
            count += folder.mediaEntries;
            bytes += folder.mediaBytes;
        }
        benchmark::DoNotOptimize(count);
        benchmark::DoNotOptimize(bytes);
        ours += timer.nsecsElapsed();
        theirs += runCommand(QStringLiteral("find '%1' -iname '*.mp3' | wc -l; du -sb '%1'").arg(lib.audio));
    }
    report(state, ours, theirs, "ratio_to_find_du");
}

} // namespace

BENCHMARK(BM_ListFolderVsFind)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_MenuCountersVsFind)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_RecursiveCountAndSumVsFindDu)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
