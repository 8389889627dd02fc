// Reading a 100,000-entry playlist, as XML (what the program writes) and as binary (what other programs may
// leave), against Python's plistlib on the same files in the same run (bench/plistlib_read.py), and the peak
// memory a read takes beyond what the process held before, against the file's size. Saving it: the time the
// calling (GUI) thread spends in the autosave, against writing the file there as a whole.
#include "core/Stores.h"
#include "library/PlaylistAutosave.h"
#include "library/PlaylistFile.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr int Entries = 100000;

struct Files
{
    QTemporaryDir dir;
    QString xml;
    QString binary;

    Files()
    {
        // The entries as the library names them: a folder, an artist and a title, Cyrillic and Latin.
        plist_t root = plist_new_array();
        for (int i = 0; i < Entries; ++i) {
            plist_t entry = plist_new_array();
            const QString file =
                QStringLiteral("Альбом %1/Исполнитель %2 - Song %2 (live).mp3").arg(i % 20).arg(i);
            plist_array_append_item(entry, plist_new_string(file.toUtf8().constData()));
            plist_array_append_item(entry, plist_new_string("0"));
            plist_array_append_item(root, entry);
        }
        xml = dir.filePath(QStringLiteral("playlist.tune"));
        binary = dir.filePath(QStringLiteral("playlist.bplist"));
        char *text = nullptr;
        uint32_t length = 0;
        plist_to_xml(root, &text, &length); // the program's own writer
        write(xml, text, length);
        plist_to_xml_free(text);
        text = nullptr; // libplist writes nothing into a pointer that is not empty
        plist_to_bin(root, &text, &length);
        write(binary, text, length);
        plist_to_bin_free(text);
        plist_free(root);
        for (const QString &path : {xml, binary}) {
            // A benchmark of a reader that fails would measure nothing.
            if (PlaylistFile::read(path).value_or(QList<PlaylistEntry>{}).size() != Entries) {
                std::fprintf(stderr, "%s does not read back\n", qPrintable(path));
                std::abort();
            }
        }
    }

    static void write(const QString &path, const char *data, uint32_t length)
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(data, length) != qint64(length))
            std::abort();
    }
};

Files &files()
{
    static Files instance;
    return instance;
}

const QString &fileOf(const benchmark::State &state)
{
    return state.range(0) == 0 ? files().xml : files().binary;
}

// Milliseconds plistlib takes to load `path`, the best of `rounds`, timed inside Python (no start-up).
double plistlibMs(const QString &path, int rounds)
{
    const std::string command = "python3 '" MELODROP_BENCH_DIR "/plistlib_read.py' --rounds " +
                                std::to_string(rounds) + " '" + path.toStdString() + "'";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe)
        return -1;
    char line[256] = {};
    double ms = -1;
    if (std::fgets(line, sizeof line, pipe))
        std::sscanf(line, "%*s %lf", &ms);
    pclose(pipe);
    return ms;
}

void BM_ReadAgainstPlistlib(benchmark::State &state)
{
    const QString &path = fileOf(state);
    double ours = 0, python = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const std::optional<QList<PlaylistEntry>> entries = PlaylistFile::read(path);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!entries || entries->size() != Entries) {
            state.SkipWithError("the playlist did not read");
            return;
        }
        const double theirs = plistlibMs(path, 1);
        if (theirs <= 0) {
            state.SkipWithError("python3 with plistlib did not run");
            return;
        }
        ours += ms;
        python += theirs;
        state.SetIterationTime(ms / 1000.0);
    }
    const double n = double(state.iterations());
    state.counters["ours_ms"] = ours / n;
    state.counters["plistlib_ms"] = python / n;
    state.counters["ratio"] = ours / python; // target: at most 1
    state.counters["file_MB"] = double(QFileInfo(path).size()) / double(1 << 20);
}
BENCHMARK(BM_ReadAgainstPlistlib)
    ->ArgName("binary")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

long statusKb(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(key, 0) == 0)
            return std::strtol(line.c_str() + key.size(), nullptr, 10);
    }
    return -1;
}

// The peak resident memory one read adds, measured in a child process that first gives its free heap back, so
// that memory freed by earlier work neither hides nor inflates the figure.
double peakExtraMb(const QString &path)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        malloc_trim(0);
        std::ofstream("/proc/self/clear_refs") << "5"; // VmHWM starts again from here
        const long before = statusKb("VmRSS");
        const std::optional<QList<PlaylistEntry>> entries = PlaylistFile::read(path);
        double extra = double(statusKb("VmHWM") - before) / 1024.0;
        if (!entries || entries->size() != Entries)
            extra = -1;
        [[maybe_unused]] const ssize_t written = ::write(fds[1], &extra, sizeof extra);
        _exit(0);
    }
    close(fds[1]);
    double extra = -1;
    if (read(fds[0], &extra, sizeof extra) != ssize_t(sizeof extra))
        extra = -1;
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return extra;
}

void BM_ReadPeakMemory(benchmark::State &state)
{
    const QString &path = fileOf(state);
    const double fileMb = double(QFileInfo(path).size()) / double(1 << 20);
    double peak = 0;
    for (auto _ : state) {
        const double extra = peakExtraMb(path);
        if (extra < 0) {
            state.SkipWithError("the measuring child failed");
            return;
        }
        peak = std::max(peak, extra);
    }
    state.counters["peak_extra_MB"] = peak;
    state.counters["file_MB"] = fileMb;
    state.counters["times_file"] = peak / fileMb; // target: at most 3
}
BENCHMARK(BM_ReadPeakMemory)->ArgName("binary")->Arg(0)->Arg(1)->Iterations(3)->Unit(benchmark::kMillisecond);

// Per iteration: the whole write on the calling thread (what a minimise used to cost the window), the
// autosave's share of the calling thread after a change (the hand-over to its worker), and after none.
void BM_AutosaveOnCallingThread(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("AudioAutosavedPlaylist.tune"));
    PlaylistStore playlist;
    QList<PlaylistEntry> entries;
    for (int i = 0; i < Entries; ++i)
        entries.append(
            {QStringLiteral("Альбом %1/Исполнитель %2 - Song %2 (live).mp3").arg(i % 20).arg(i), false});
    playlist.assignEntries(entries);
    PlaylistAutosave autosave(&playlist, path);
    double whole = 0, changed = 0, unchanged = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (PlaylistFile::write(path, playlist.records()) != PropertyList::WriteResult::Written) {
            state.SkipWithError("the playlist was not written");
            return;
        }
        whole += double(timer.nsecsElapsed()) / 1e6;
        playlist.moveEntry(0, Entries - 1);
        timer.restart();
        autosave.save();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        changed += ms;
        autosave.wait();
        timer.restart();
        autosave.save();
        unchanged += double(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(ms / 1000.0);
    }
    const double n = double(state.iterations());
    state.counters["write_on_gui_ms"] = whole / n;
    state.counters["autosave_changed_gui_ms"] = changed / n;
    state.counters["autosave_unchanged_gui_ms"] = unchanged / n;
}
BENCHMARK(BM_AutosaveOnCallingThread)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    // The autosave answers through the event loop of the thread that made it.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
