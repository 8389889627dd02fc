// The tag scan of a library: N tagged MP3 files (--files=N, 1,000 unless given; bench/tags.sh runs 1,000 and
// 10,000) read through the tag cache with an empty cache (the first scan: TagLib reads every file, the cache
// file is written) and with the cache file of an earlier run (the second scan: every file is only checked),
// TagLib alone without the cache, and ffprobe over the first 1,000 of the same files (one process per file,
// as a script would).
// The files are copies of a few ffmpeg-made tagged MP3s (with and without a cover) under other names, made in
// a temporary folder before the runs; "cold" means the tag cache's, not the page cache: every file is in
// memory, as it is right after a download or a first listing.
#include "library/TagCache.h"
#include "library/TagReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

int fileCount = 1000;

bool ffmpeg(const QStringList &args)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-loglevel", "error", "-y"} + args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

struct Library
{
    QTemporaryDir root;
    QStringList files;

    Library()
    {
        const QString seeds = root.filePath("seeds");
        QDir().mkpath(seeds);
        ffmpeg({"-f", "lavfi", "-i", "color=c=orange:s=300x300", "-frames:v", "1", seeds + "/cover.jpg"});
        QStringList originals;
        for (int i = 0; i < 8; ++i) {
            const QString path = QStringLiteral("%1/seed%2.mp3").arg(seeds).arg(i);
            QStringList args{"-f", "lavfi", "-i",
                             QStringLiteral("sine=frequency=%1:duration=%2").arg(300 + 50 * i).arg(20 + i)};
            if (i % 2 == 0)
                args << "-i" << seeds + "/cover.jpg"
                     << "-map"
                     << "0"
                     << "-map"
                     << "1"
                     << "-c:v"
                     << "copy";
            args << "-c:a"
                 << "libmp3lame"
                 << "-b:a"
                 << "64k"
                 << "-id3v2_version" << (i % 4 < 2 ? "3" : "4") << "-metadata"
                 << QStringLiteral("title=Песня %1").arg(i) << "-metadata"
                 << QStringLiteral("artist=Исполнитель %1").arg(i % 3) << "-metadata"
                 << QStringLiteral("album=Альбом %1").arg(i % 2) << "-metadata"
                 << QStringLiteral("track=%1").arg(i + 1) << "-metadata"
                 << "date=2004" << path;
            if (!ffmpeg(args)) {
                std::fprintf(stderr, "ffmpeg could not make %s\n", qPrintable(path));
                std::exit(1);
            }
            originals << path;
        }
        // 100 files a folder, as albums lie on disk.
        for (int i = 0; i < fileCount; ++i) {
            const QString folder = QStringLiteral("%1/library/Альбом %2").arg(root.path()).arg(i / 100);
            if (i % 100 == 0)
                QDir().mkpath(folder);
            const QString path =
                QStringLiteral("%1/%2 Исполнитель - Песня %3.mp3").arg(folder).arg(i % 100).arg(i);
            QFile::copy(originals[i % originals.size()], path);
            files << path;
        }
    }
};

Library &library()
{
    static Library instance;
    return instance;
}

// One scan: every file asked for, then the answers waited for; the cache (and its file's writing) ends
// with it.
void scan(const QString &cacheFolder)
{
    TagCache cache(cacheFolder, TagCache::Reader());
    QEventLoop loop;
    QObject::connect(&cache, &TagCache::idle, &loop, &QEventLoop::quit);
    for (const QString &file : library().files)
        cache.tags(file);
    if (cache.pending() > 0)
        loop.exec();
}

void BM_TagScanFirst(benchmark::State &state)
{
    Library &lib = library();
    int run = 0;
    for (auto _ : state) {
        scan(lib.root.filePath(QStringLiteral("cache-first-%1").arg(run++)));
    }
    state.counters["files_per_s"] =
        benchmark::Counter(double(lib.files.size()), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_TagScanCached(benchmark::State &state)
{
    Library &lib = library();
    const QString folder = lib.root.filePath("cache-second");
    scan(folder);
    for (auto _ : state)
        scan(folder);
    state.counters["files_per_s"] =
        benchmark::Counter(double(lib.files.size()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["cache_file_kb"] = double(QFileInfo(folder + "/tags.cache").size()) / 1024.0;
}

void BM_TagLibAloneNoCache(benchmark::State &state)
{
    Library &lib = library();
    for (auto _ : state)
        for (const QString &file : lib.files)
            benchmark::DoNotOptimize(TagReader::read(file));
    state.counters["files_per_s"] =
        benchmark::Counter(double(lib.files.size()), benchmark::Counter::kIsIterationInvariantRate);
}

// One process per file costs the same for every file, and on a busy machine well over 100 ms: the first
// 1,000 files of the library give its rate, which is what compares.
constexpr int ffprobeSample = 1000;

void BM_FfprobeEachFile(benchmark::State &state)
{
    Library &lib = library();
    const QStringList sample = lib.files.mid(0, ffprobeSample);
    const QString list = lib.root.filePath("files.txt");
    QFile out(list);
    if (out.open(QIODevice::WriteOnly))
        out.write(sample.join(QLatin1Char('\0')).toUtf8() + '\0');
    out.close();
    const QByteArray command =
        QStringLiteral("xargs -0 -n 1 ffprobe -v quiet -show_format < '%1' > /dev/null").arg(list).toUtf8();
    for (auto _ : state) {
        if (std::system(command.constData()) != 0)
            state.SkipWithError("ffprobe failed");
    }
    state.counters["files"] = double(sample.size());
    state.counters["files_per_s"] =
        benchmark::Counter(double(sample.size()), benchmark::Counter::kIsIterationInvariantRate);
}

} // namespace

BENCHMARK(BM_TagScanFirst)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_TagScanCached)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_TagLibAloneNoCache)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_FfprobeEachFile)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--files=", 8) == 0) {
            fileCount = std::max(1, std::atoi(argv[i] + 8));
            for (int j = i; j < argc; ++j)
                argv[j] = argv[j + 1];
            --argc;
            --i;
        }
    }
    benchmark::Initialize(&argc, argv);
    std::fprintf(stderr, "Making %d tagged MP3 files...\n", fileCount);
    library();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
