// The download engine against curl(1), both fetching generated files from the sandbox on loopback, one after
// the other in each round so that load from other processes hits them alike: one file, then three files at
// once (three curl processes against one engine). For each: throughput (target: at least curl's rate) and
// CPU time per GB (target: at most 0.7 of curl's); the engine's figures include the sync of each file before
// it is renamed into place, which curl does not do (a reference line gives curl's rate with its files flushed
// afterwards). Also the resident memory growth while the three transfers run (target: under 50 MB). The
// sandbox runs as a separate process, so its work is in neither figure. Files go to MELODROP_BENCH_DIR
// (default: a fresh folder under /tmp) and are deleted after each transfer. MELODROP_BENCH_MB sets the size
// (default 500). bench/download.sh builds, checks free space and runs this.

#include "net/DownloadEngine.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char **environ;

namespace {

constexpr double RateTarget = 1.0;
constexpr double CpuTarget = 0.7;
constexpr double MemoryTargetMb = 50;

struct Setup
{
    QString base;
    QString dir;
    qint64 size = 500LL * 1024 * 1024;
    QString curl;
    QProcess *sandbox = nullptr;
};

Setup &setup()
{
    static Setup instance;
    return instance;
}

QString fileUrl(int index)
{
    return QStringLiteral("%1/storage/bytes/%2/bench%3.bin").arg(setup().base).arg(setup().size).arg(index);
}

double cpuSeconds(const rusage &usage)
{
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double selfCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

// A field of /proc/self/status in kB ("VmRSS", "VmHWM").
long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    }
    return -1;
}

struct Measured
{
    double seconds = 0;
    double cpu = 0;
    // curl only: flushing its files to the disk afterwards, as the engine does before a file is done.
    double syncSeconds = 0;
    bool ok = false;
};

// Runs `urls` at once through one engine into the bench folder; deletes the files afterwards.
Measured engineRun(const std::vector<QString> &urls)
{
    DownloadEngine engine;
    QObject context;
    QEventLoop loop;
    int left = int(urls.size());
    bool ok = true;
    std::vector<QString> paths;
    const double cpuBefore = selfCpuSeconds();
    const auto started = std::chrono::steady_clock::now();
    for (size_t i = 0; i < urls.size(); ++i) {
        DownloadRequest::Options options;
        options.url = urls[i];
        options.destinationPath = QDir(setup().dir).filePath(QStringLiteral("engine%1.bin").arg(i));
        options.temporaryPath = options.destinationPath + ".temp";
        options.tag = int(i);
        options.allowResume = false;
        paths.push_back(options.destinationPath);
        DownloadRequest::Callbacks callbacks;
        callbacks.context = &context;
        callbacks.receivedBytes = [](DownloadRequest &, quint64) {};
        callbacks.finished = [&](DownloadRequest &) {
            if (--left == 0)
                loop.quit();
        };
        callbacks.failed = [&](DownloadRequest &request) {
            std::cerr << "engine: " << request.errorDescription().toStdString() << "\n";
            ok = false;
            if (--left == 0)
                loop.quit();
        };
        engine.addOperation(DownloadRequest::create(options, callbacks));
    }
    loop.exec();
    Measured measured;
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    measured.cpu = selfCpuSeconds() - cpuBefore;
    for (const QString &path : paths) {
        ok = ok && QFileInfo(path).size() == setup().size;
        QFile::remove(path);
        QFile::remove(path + ".temp");
    }
    measured.ok = ok;
    return measured;
}

// `curl -s -o FILE URL` for each address, all at once as child processes; their own CPU time comes from
// wait4.
Measured curlRun(const std::vector<QString> &urls)
{
    Measured measured;
    const std::string program = setup().curl.toStdString();
    std::vector<std::string> paths;
    std::vector<pid_t> children;
    const auto started = std::chrono::steady_clock::now();
    bool ok = true;
    for (size_t i = 0; i < urls.size(); ++i) {
        paths.push_back(QDir(setup().dir).filePath(QStringLiteral("curl%1.bin").arg(i)).toStdString());
        const std::string address = urls[i].toStdString();
        std::vector<char *> argv{const_cast<char *>(program.c_str()),
                                 const_cast<char *>("-s"),
                                 const_cast<char *>("-o"),
                                 const_cast<char *>(paths.back().c_str()),
                                 const_cast<char *>(address.c_str()),
                                 nullptr};
        pid_t pid = 0;
        if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
            ok = false;
            break;
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        measured.cpu += cpuSeconds(usage);
        ok = ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const auto syncStarted = std::chrono::steady_clock::now();
    for (const std::string &path : paths) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ok = ok && fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0)
            ::close(fd);
    }
    measured.syncSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - syncStarted).count();
    for (const std::string &path : paths) {
        ok = ok && QFileInfo(QString::fromStdString(path)).size() == setup().size;
        std::remove(path.c_str());
    }
    measured.ok = ok;
    return measured;
}

// Sums over the rounds of one comparison.
struct Totals
{
    double engineSeconds = 0, engineCpu = 0, curlSeconds = 0, curlCpu = 0, curlSyncSeconds = 0;
    int rounds = 0;
    int files = 1;
};
Totals single, three;
double memoryMb = -1, peakMb = -1;

// One round: the engine and curl fetch `urls` at once each, who goes first alternating between rounds so
// that neither always meets a warm or a cold server.
bool compareRound(const std::vector<QString> &urls, bool curlFirst, Measured &engine, Measured &curl)
{
    if (curlFirst) {
        curl = curlRun(urls);
        engine = engineRun(urls);
    } else {
        engine = engineRun(urls);
        curl = curlRun(urls);
    }
    return engine.ok && curl.ok;
}

void addCounters(benchmark::State &state, const Totals &sums)
{
    const double bytes = double(setup().size) * sums.files * sums.rounds;
    const double gb = bytes / double(1LL << 30);
    const double mb = bytes / double(1 << 20);
    state.counters["engine_MBps"] = mb / sums.engineSeconds;
    state.counters["curl_MBps"] = mb / sums.curlSeconds;
    state.counters["rate_ratio"] = sums.curlSeconds / sums.engineSeconds;
    state.counters["rate_ratio_curl_synced"] = (sums.curlSeconds + sums.curlSyncSeconds) / sums.engineSeconds;
    state.counters["engine_cpu_s_per_GB"] = sums.engineCpu / gb;
    state.counters["curl_cpu_s_per_GB"] = sums.curlCpu / gb;
    state.counters["cpu_ratio"] = sums.engineCpu / sums.curlCpu;
}

void BM_EngineAgainstCurl(benchmark::State &state)
{
    bool curlFirst = false;
    for (auto _ : state) {
        Measured engine, curl;
        if (!compareRound({fileUrl(0)}, curlFirst, engine, curl)) {
            state.SkipWithError("a transfer failed");
            return;
        }
        curlFirst = !curlFirst;
        single.engineSeconds += engine.seconds;
        single.engineCpu += engine.cpu;
        single.curlSeconds += curl.seconds;
        single.curlSyncSeconds += curl.syncSeconds;
        single.curlCpu += curl.cpu;
        ++single.rounds;
        state.SetIterationTime(engine.seconds);
    }
    addCounters(state, single);
    state.SetBytesProcessed(int64_t(setup().size) * int64_t(state.iterations()));
}
BENCHMARK(BM_EngineAgainstCurl)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

// Three files at once: the engine (one process, the memory sampled while it runs) against three curls.
void BM_ThreeTransfers(benchmark::State &state)
{
    three.files = 3;
    bool curlFirst = true;
    for (auto _ : state) {
        const std::vector<QString> urls{fileUrl(1), fileUrl(2), fileUrl(3)};
        Measured engine, curl;
        if (curlFirst)
            curl = curlRun(urls);
        // Forget the peak so far, so VmHWM covers this run only.
        std::ofstream("/proc/self/clear_refs") << "5";
        const long before = statusKb("VmRSS");
        std::atomic<bool> running{true};
        std::atomic<long> peak{before};
        std::thread sampler([&] {
            while (running.load()) {
                peak.store(std::max(peak.load(), statusKb("VmRSS")));
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        engine = engineRun(urls);
        running.store(false);
        sampler.join();
        if (!curlFirst)
            curl = curlRun(urls);
        curlFirst = !curlFirst;
        if (!engine.ok || !curl.ok) {
            state.SkipWithError("a transfer failed");
            return;
        }
        state.SetIterationTime(engine.seconds);
        const double growth = double(peak.load() - before) / 1024.0;
        const double hwm = double(statusKb("VmHWM") - before) / 1024.0;
        state.counters["rss_growth_MB"] = growth;
        state.counters["hwm_growth_MB"] = hwm;
        memoryMb = std::max(memoryMb, growth);
        peakMb = std::max(peakMb, hwm);
        three.engineSeconds += engine.seconds;
        three.engineCpu += engine.cpu;
        three.curlSeconds += curl.seconds;
        three.curlSyncSeconds += curl.syncSeconds;
        three.curlCpu += curl.cpu;
        ++three.rounds;
    }
    addCounters(state, three);
    state.SetBytesProcessed(3 * int64_t(setup().size) * int64_t(state.iterations()));
}
BENCHMARK(BM_ThreeTransfers)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

bool startSandbox()
{
    const QString base = qEnvironmentVariable("MELODROP_BENCH_BASE");
    if (!base.isEmpty()) {
        setup().base = base;
        return true;
    }
    QString program = qEnvironmentVariable("MELODROP_SANDBOX");
    if (program.isEmpty())
        program = QCoreApplication::applicationDirPath() + "/../bin/melodrop-sandbox";
    auto *sandbox = new QProcess;
    sandbox->start(program, {});
    if (!sandbox->waitForStarted(5000) || !sandbox->waitForReadyRead(5000)) {
        std::cerr << "bench_download: cannot start " << program.toStdString() << "\n";
        return false;
    }
    setup().base = QString::fromUtf8(sandbox->readLine()).trimmed();
    setup().sandbox = sandbox;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Setup &s = setup();
    if (const qint64 mb = qEnvironmentVariableIntValue("MELODROP_BENCH_MB"); mb > 0)
        s.size = mb * 1024 * 1024;
    s.curl = QStandardPaths::findExecutable("curl");
    if (s.curl.isEmpty()) {
        std::cerr << "bench_download: curl(1) is needed for the comparison\n";
        return 1;
    }
    const QString givenDir = qEnvironmentVariable("MELODROP_BENCH_DIR");
    s.dir =
        givenDir.isEmpty()
            ? QDir::tempPath() + QStringLiteral("/melodrop-bench-%1").arg(QCoreApplication::applicationPid())
            : givenDir;
    QDir().mkpath(s.dir);
    struct statvfs fs
    {
    };
    // Three files at once, and the curl copy never overlaps them.
    const unsigned long long needed = 3ULL * quint64(s.size) + (64ULL << 20);
    if (statvfs(QFile::encodeName(s.dir).constData(), &fs) != 0 ||
        quint64(fs.f_bavail) * fs.f_frsize < needed) {
        std::cerr << "bench_download: " << s.dir.toStdString() << " needs " << (needed >> 20) << " MB free\n";
        return 1;
    }
    if (!startSandbox())
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const auto summary = [&](const char *title, const Totals &sums) {
        if (sums.rounds == 0)
            return;
        const double mb = double(s.size >> 20) * sums.files * sums.rounds;
        const double gb = mb / 1024.0;
        const double rate = sums.curlSeconds / sums.engineSeconds;
        const double cpu = sums.engineCpu / sums.curlCpu;
        std::printf("\n%s, %d rounds of %lld MB each:\n", title, sums.rounds, (long long)(s.size >> 20));
        std::printf(
            "  throughput  engine %.0f MB/s, curl %.0f MB/s: %.2f of curl's rate (target >= %.1f) %s\n",
            mb / sums.engineSeconds, mb / sums.curlSeconds, rate, RateTarget,
            rate >= RateTarget ? "met" : "MISSED");
        // For reference only: curl's files flushed to the disk afterwards, so that both have the same
        // durability. The target stays against curl as it is.
        std::printf("  (curl with its files flushed to the disk too: %.0f MB/s, %.2f of its rate)\n",
                    mb / (sums.curlSeconds + sums.curlSyncSeconds),
                    (sums.curlSeconds + sums.curlSyncSeconds) / sums.engineSeconds);
        std::printf("  CPU per GB  engine %.3f s, curl %.3f s: %.2f of curl's (target <= %.1f) %s\n",
                    sums.engineCpu / gb, sums.curlCpu / gb, cpu, CpuTarget,
                    cpu <= CpuTarget ? "met" : "MISSED");
    };
    summary("one transfer", single);
    summary("three transfers at once", three);
    if (memoryMb >= 0)
        std::printf("  memory      three transfers at once: RSS grew %.1f MB, peak %.1f MB over the start "
                    "(target < %.0f MB) %s\n",
                    memoryMb, peakMb, MemoryTargetMb,
                    std::max(memoryMb, peakMb) < MemoryTargetMb ? "met" : "MISSED");

    if (s.sandbox) {
        s.sandbox->terminate();
        s.sandbox->waitForFinished(3000);
        delete s.sandbox;
    }
    if (givenDir.isEmpty())
        QDir(s.dir).removeRecursively();
    return 0;
}
