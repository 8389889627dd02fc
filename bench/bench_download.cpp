// The download engine against curl(1), both fetching the same generated file from the sandbox on loopback,
// one after the other in each round so that load from other processes hits them alike:
//   throughput (target: at least 0.9 of curl's rate) and CPU time per GB (target: at most 1.2 of curl's);
// and the resident memory growth while three transfers of the file run at once (target: under 50 MB).
// The sandbox runs as a separate process, so its work is in neither figure. Files go to MELODROP_BENCH_DIR
// (default: a fresh folder under /tmp) and are deleted after each transfer. MELODROP_BENCH_MB sets the size
// (default 500). bench/download.sh builds, checks free space and runs this.

#include "net/DownloadEngine.h"

#include <benchmark/benchmark.h>

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

constexpr double RateTarget = 0.9;
constexpr double CpuTarget = 1.2;
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

// curl -s -o FILE URL as a child process; its own CPU time comes from wait4.
Measured curlRun(const QString &url)
{
    const std::string path = QDir(setup().dir).filePath("curl.bin").toStdString();
    const std::string program = setup().curl.toStdString();
    const std::string address = url.toStdString();
    std::vector<char *> argv{const_cast<char *>(program.c_str()),
                             const_cast<char *>("-s"),
                             const_cast<char *>("-o"),
                             const_cast<char *>(path.c_str()),
                             const_cast<char *>(address.c_str()),
                             nullptr};
    Measured measured;
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        return measured;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    measured.cpu = cpuSeconds(usage);
    measured.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                  QFileInfo(QString::fromStdString(path)).size() == setup().size;
    std::remove(path.c_str());
    return measured;
}

struct Totals
{
    double engineSeconds = 0, engineCpu = 0, curlSeconds = 0, curlCpu = 0;
    int rounds = 0;
    double memoryMb = -1, peakMb = -1;
} totals;

void BM_EngineAgainstCurl(benchmark::State &state)
{
    double engineSeconds = 0, engineCpu = 0, curlSeconds = 0, curlCpu = 0;
    bool curlFirst = false;
    for (auto _ : state) {
        Measured engine, curl;
        // Alternate who goes first, so neither always meets a warm or a cold server.
        if (curlFirst) {
            curl = curlRun(fileUrl(0));
            engine = engineRun({fileUrl(0)});
        } else {
            engine = engineRun({fileUrl(0)});
            curl = curlRun(fileUrl(0));
        }
        curlFirst = !curlFirst;
        if (!engine.ok || !curl.ok) {
            state.SkipWithError("a transfer failed");
            return;
        }
        engineSeconds += engine.seconds;
        engineCpu += engine.cpu;
        curlSeconds += curl.seconds;
        curlCpu += curl.cpu;
        state.SetIterationTime(engine.seconds);
    }
    const double gb = double(setup().size) * double(state.iterations()) / double(1LL << 30);
    const double mb = double(setup().size) * double(state.iterations()) / double(1 << 20);
    state.counters["engine_MBps"] = mb / engineSeconds;
    state.counters["curl_MBps"] = mb / curlSeconds;
    state.counters["rate_ratio"] = curlSeconds / engineSeconds;
    state.counters["engine_cpu_s_per_GB"] = engineCpu / gb;
    state.counters["curl_cpu_s_per_GB"] = curlCpu / gb;
    state.counters["cpu_ratio"] = engineCpu / curlCpu;
    state.SetBytesProcessed(int64_t(setup().size) * int64_t(state.iterations()));
    totals.engineSeconds += engineSeconds;
    totals.engineCpu += engineCpu;
    totals.curlSeconds += curlSeconds;
    totals.curlCpu += curlCpu;
    totals.rounds += int(state.iterations());
}
BENCHMARK(BM_EngineAgainstCurl)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_ThreeTransfersMemory(benchmark::State &state)
{
    for (auto _ : state) {
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
        const Measured measured = engineRun({fileUrl(1), fileUrl(2), fileUrl(3)});
        running.store(false);
        sampler.join();
        if (!measured.ok) {
            state.SkipWithError("a transfer failed");
            return;
        }
        state.SetIterationTime(measured.seconds);
        const double growth = double(peak.load() - before) / 1024.0;
        const double hwm = double(statusKb("VmHWM") - before) / 1024.0;
        state.counters["rss_growth_MB"] = growth;
        state.counters["hwm_growth_MB"] = hwm;
        state.counters["MBps_all_three"] = 3.0 * double(setup().size) / double(1 << 20) / measured.seconds;
        totals.memoryMb = std::max(totals.memoryMb, growth);
        totals.peakMb = std::max(totals.peakMb, hwm);
    }
}
BENCHMARK(BM_ThreeTransfersMemory)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

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

    if (totals.rounds > 0) {
        const double gb = double(s.size) * totals.rounds / double(1LL << 30);
        const double rate = totals.curlSeconds / totals.engineSeconds;
        const double cpu = totals.engineCpu / totals.curlCpu;
        std::printf("\nsummary over %d rounds of %lld MB:\n", totals.rounds, (long long)(s.size >> 20));
        std::printf(
            "  throughput  engine %.0f MB/s, curl %.0f MB/s: %.2f of curl's rate (target >= %.1f) %s\n",
            double(s.size >> 20) * totals.rounds / totals.engineSeconds,
            double(s.size >> 20) * totals.rounds / totals.curlSeconds, rate, RateTarget,
            rate >= RateTarget ? "met" : "MISSED");
        std::printf("  CPU per GB  engine %.3f s, curl %.3f s: %.2f of curl's (target <= %.1f) %s\n",
                    totals.engineCpu / gb, totals.curlCpu / gb, cpu, CpuTarget,
                    cpu <= CpuTarget ? "met" : "MISSED");
    }
    if (totals.memoryMb >= 0)
        std::printf("  memory      three transfers at once: RSS grew %.1f MB, peak %.1f MB over the start "
                    "(target < %.0f MB) %s\n",
                    totals.memoryMb, totals.peakMb, MemoryTargetMb,
                    std::max(totals.memoryMb, totals.peakMb) < MemoryTargetMb ? "met" : "MISSED");

    if (s.sandbox) {
        s.sandbox->terminate();
        s.sandbox->waitForFinished(3000);
        delete s.sandbox;
    }
    if (givenDir.isEmpty())
        QDir(s.dir).removeRecursively();
    return 0;
}
