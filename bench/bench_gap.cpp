// The silence at a change of tracks. One 440 Hz tone is cut into two MP3 files; the music player plays them
// one after the other into a null sink of a PulseAudio server of the benchmark's own, and parec records that
// sink's monitor. The longest quiet stretch between the first and the last sound is the gap (counter gap_ms).
// "queued" is the player as it is: the next track waits in libmpv, which opens it ahead and plays on.
// "one_at_a_time" takes the queue away, so each track is loaded once the previous one has ended, as a player
// without gapless playback does. Needs ffmpeg (libmp3lame), pulseaudio and parec.
#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicDeck.h"
#include "playback/MusicPlayer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <clocale>
#include <cstdlib>

namespace {

constexpr int rate = 44100;

bool run(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

// The longest run of quiet samples (mono, 16 bit) between the first and the last loud one, in milliseconds.
double longestSilenceMs(const QByteArray &pcm)
{
    const auto *samples = reinterpret_cast<const qint16 *>(pcm.constData());
    const qsizetype count = pcm.size() / 2;
    constexpr int quiet = 300; // the tone peaks near 16,000; a zero crossing is one or two samples under this
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < count; ++i) {
        if (std::abs(samples[i]) >= quiet) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    qsizetype longest = 0;
    qsizetype run = 0;
    for (qsizetype i = first; i >= 0 && i <= last; ++i) {
        run = std::abs(samples[i]) < quiet ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return first < 0 ? -1 : 1000.0 * double(longest) / rate;
}

class PulseSink
{
public:
    bool start(const QString &folder)
    {
        m_socket = folder + QStringLiteral("/native");
        m_daemon.start(QStringLiteral("pulseaudio"),
                       {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                        "--use-pid-file=no", "-L",
                        "module-native-protocol-unix auth-anonymous=1 socket=" + m_socket, "-L",
                        "module-null-sink sink_name=gap rate=44100"});
        if (!m_daemon.waitForStarted(5000))
            return false;
        qputenv("PULSE_SERVER", address().toUtf8());
        return waitUntil([&] { return run(QStringLiteral("pactl"), {"info"}); }, 10000) &&
               run(QStringLiteral("pactl"), {"set-default-sink", "gap"});
    }
    ~PulseSink()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
    }
    QString address() const { return QStringLiteral("unix:") + m_socket; }

private:
    QString m_socket;
    QProcess m_daemon;
};

struct Setup
{
    QTemporaryDir folder;
    PulseSink sink;
    bool ready = false;
    QString error;

    Setup()
    {
        StorageLayout::setRootDir(folder.path());
        const QString audio = StorageLayout::getAudioDir();
        QDir().mkpath(audio);
        const QString tone = folder.filePath(QStringLiteral("tone.wav"));
        // One tone, cut in two at a point that is no frame boundary of the encoder.
        if (!run(QStringLiteral("ffmpeg"),
                 {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100:duration=3",
                  "-ac", "1", tone}) ||
            !run(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", tone, "-t", "1.4917", "-c:a",
                                            "libmp3lame", "-b:a", "192k", audio + "/01 first.mp3"}) ||
            !run(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-ss", "1.4917", "-i", tone, "-c:a",
                                            "libmp3lame", "-b:a", "192k", audio + "/02 second.mp3"})) {
            error = QStringLiteral("ffmpeg could not make the tracks");
            return;
        }
        if (!sink.start(folder.path())) {
            error = QStringLiteral("pulseaudio did not start");
            return;
        }
        ready = true;
    }
};

void BM_GapAtTrackChange(benchmark::State &state)
{
    static Setup setup;
    if (!setup.ready) {
        state.SkipWithError(setup.error.toUtf8().constData());
        return;
    }
    const bool queued = state.range(0) == 1;
    MusicPlayer &music = MusicPlayer::shared();
    QMetaObject::Connection unqueue;
    if (!queued) {
        // Queued: the player queues the next track right after it announces the start, and this takes it away
        // again after that.
        unqueue = QObject::connect(
            &music, &MusicPlayer::trackStarted, &music, [&music] { music.deck()->setNext({}); },
            Qt::QueuedConnection);
    }
    double worst = 0;
    for (auto _ : state) {
        Stores::playlist().assignEntries({PlaylistEntry{QStringLiteral("01 first.mp3"), false},
                                          PlaylistEntry{QStringLiteral("02 second.mp3"), false}});
        const QString recording = setup.folder.filePath(QStringLiteral("recording.raw"));
        QProcess parec;
        parec.setStandardOutputFile(recording);
        parec.start(QStringLiteral("parec"), {"--device=gap.monitor", "--raw", "--format=s16le",
                                              "--rate=44100", "--channels=1", "--latency-msec=10"});
        parec.waitForStarted(5000);
        QThread::msleep(300);
        music.playSound(0);
        // Until the second track has played to its end (the playlist then wraps around to the first).
        const bool finished = waitUntil([] { return MusicPlayer::currentIndex() == 1; }, 10000) &&
                              waitUntil([] { return MusicPlayer::currentIndex() == 0; }, 10000);
        AudioPlayer::dropShared();
        QThread::msleep(300);
        parec.terminate();
        parec.waitForFinished(3000);
        if (!finished) {
            state.SkipWithError("the tracks did not play to their end");
            break;
        }
        QFile file(recording);
        file.open(QIODevice::ReadOnly);
        // Both changes count: first to second, and second back to the first as the playlist wraps around.
        const QByteArray pcm = file.readAll();
        const double gap = longestSilenceMs(pcm);
        worst = std::max(worst, gap);
        state.SetIterationTime(gap / 1000.0);
    }
    if (unqueue)
        QObject::disconnect(unqueue);
    state.counters["gap_ms"] = benchmark::Counter(worst);
}

} // namespace

BENCHMARK(BM_GapAtTrackChange)
    ->ArgName("queued")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    qputenv("MELODROP_MPV_AO", "pulse");
    QCoreApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
