// Listing a library folder and the recursive MP3 count and size sum, each against find/du over the same tree
// in the same run. Both sides are timed alternately inside one loop so that a busy machine weighs on them
// alike.
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "library/LibraryBrowser.h"
#include "screens/AudioMenu.h"
#include "screens/VideoMenu.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
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
    void enter(const QString &name) { enterFolder(name); }
};

void writeFile(const QString &path, int bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(bytes, 'x'));
}

// The trees: audio/flat holds 2,000 files (1,500 MP3, 400 other, 100 folders); audio/deep holds 10,000 MP3
// files in 100 folders of 100.
struct Trees
{
    QTemporaryDir root;
    std::unique_ptr<Settings> settings;
    QString flat;
    QString deep;

    Trees()
    {
        StorageLayout::setRootDir(root.path());
        settings = std::make_unique<Settings>(root.filePath("Melodrop.conf"));
        flat = root.filePath("audio/flat");
        deep = root.filePath("audio/deep");
        QDir().mkpath(flat);
        for (int i = 0; i < 1500; ++i)
            writeFile(QStringLiteral("%1/Исполнитель %2 - Песня %2.mp3").arg(flat).arg(i), 512);
        for (int i = 0; i < 400; ++i)
            writeFile(QStringLiteral("%1/cover %2.jpg").arg(flat).arg(i), 64);
        for (int i = 0; i < 100; ++i)
            QDir().mkpath(QStringLiteral("%1/Папка %2").arg(flat).arg(i));
        for (int d = 0; d < 100; ++d) {
            const QString folder = QStringLiteral("%1/Альбом %2").arg(deep).arg(d);
            QDir().mkpath(folder);
            for (int i = 0; i < 100; ++i)
                writeFile(QStringLiteral("%1/%2.mp3").arg(folder).arg(i), 1000 + i);
        }
    }
};

Trees &trees()
{
    static Trees instance;
    return instance;
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

void BM_ListFolderVsFind(benchmark::State &state)
{
    Trees &t = trees();
    BenchBrowser browser(t.settings.get());
    t.settings->setBool(QStringLiteral("count_audio"), false); // listing only; the sum is measured below
    browser.enter(QStringLiteral("flat"));
    qint64 ours = 0;
    qint64 theirs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        browser.reloadLibrary(); // 100 folders first, then the 1,500 MP3 files; other files left out
        benchmark::DoNotOptimize(browser.list().size());
        ours += timer.nsecsElapsed();
        theirs += runCommand(QStringLiteral("find '%1' -maxdepth 1").arg(t.flat));
    }
    state.counters["ratio_to_find"] = double(ours) / double(std::max<qint64>(theirs, 1));
    state.counters["listed"] = double(browser.list().size());
}

void BM_RecursiveCountAndSumVsFindDu(benchmark::State &state)
{
    Trees &t = trees();
    qint64 ours = 0;
    qint64 theirs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const int count = CatalogueMenu::countFiles(t.deep, QStringLiteral("mp3"));
        const qint64 bytes = LibraryBrowser::mediaBytesBelow(t.deep, QStringLiteral("mp3"));
        benchmark::DoNotOptimize(count);
        benchmark::DoNotOptimize(bytes);
        ours += timer.nsecsElapsed();
        theirs += runCommand(QStringLiteral("find '%1' -iname '*.mp3' | wc -l; du -sb '%1'").arg(t.deep));
    }
    state.counters["ratio_to_find_du"] = double(ours) / double(std::max<qint64>(theirs, 1));
}

} // namespace

BENCHMARK(BM_ListFolderVsFind)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RecursiveCountAndSumVsFindDu)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
