#include "../support/Mp3Fixture.h"
#include "../support/PlayerTest.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/AudioPlayer.h"
#include "playback/AudioRoute.h"
#include "playback/AudioRouteMonitor.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/OutputRouteTracker.h"
#include "playback/PlayerEvents.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using TestSupport::waitFor;

namespace {

class PlayingPlayer : public AudioPlayer
{
public:
    void play() override { playing = true; }
    void pause() override { playing = false; }
    void stop() override { playing = false; }
    bool isPlaying() const override { return playing; }
    bool playing = true;
};

using Availability = OutputSink::Availability;

bool libmpvLoaded()
{
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libmpv.so");
}

// A card with headphones and speakers on one sink, as PulseAudio and PipeWire show a laptop's analog output.
OutputSink analog(quint32 index, const QString &active, Availability headphones)
{
    return {index,
            "alsa_output.analog-stereo",
            active,
            {{"analog-output-headphones", headphones}, {"analog-output-speaker", Availability::Unknown}}};
}

OutputSink usbHeadset(quint32 index)
{
    return {index, "alsa_output.usb-headset", QString(), {}};
}

const QString headphones = QStringLiteral("analog-output-headphones");
const QString speaker = QStringLiteral("analog-output-speaker");

class AudioRouteTest : public PlayerTest
{
protected:
    void SetUp() override
    {
        PlayerTest::SetUp();
        global->audioPlayer = &player;
    }
    void TearDown() override
    {
        global->audioPlayer = nullptr;
        PlayerTest::TearDown();
        if (pulseServer.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", pulseServer);
    }
    static QVariantMap reason(int value) { return {{QLatin1String(AudioRoute::reasonKey), value}}; }

    PlayingPlayer player;
    const QByteArray pulseServer = qgetenv("PULSE_SERVER"); // a case may point it elsewhere
};

TEST_F(AudioRouteTest, ADeviceGoneAwayPausesUnlessAutopauseIsOff)
{
    AudioRoute::audioRouteChangeListener(0x12345678, reason(2));
    EXPECT_TRUE(player.playing) << "another property";
    AudioRoute::audioRouteChangeListener(AudioRoute::routeChangeProperty, reason(1));
    EXPECT_TRUE(player.playing) << "plugging in never pauses";
    EXPECT_FALSE(Settings::shared().contains("settings_autopause"));

    AudioRoute::audioRouteChangeListener(AudioRoute::routeChangeProperty, reason(2));
    EXPECT_FALSE(player.playing);
    EXPECT_TRUE(Settings::shared().boolValue("settings_autopause", false)) << "written as true";

    Settings::shared().setBool("settings_autopause", false);
    player.playing = true;
    AudioRoute::audioRouteChangeListener(AudioRoute::routeChangeProperty, reason(2));
    EXPECT_TRUE(player.playing);

    global->audioPlayer = nullptr;
    Settings::shared().setBool("settings_autopause", true);
    AudioRoute::audioRouteChangeListener(AudioRoute::routeChangeProperty, reason(2)); // no player: nothing
}

// Each case: what the sound server reported, in order, and the reason of the last report.
struct RouteCase
{
    const char *name;
    std::function<void(OutputRouteTracker &)> before;
    std::function<int(OutputRouteTracker &)> last;
    int reason;
};

TEST(OutputRouteTracker, ReportsTheOutputInUseGoingAwayAndNothingElse)
{
    qint64 now = 0;
    const auto laptopWithHeadphones = [](OutputRouteTracker &tracker) {
        tracker.defaultSinkChanged("alsa_output.analog-stereo");
        tracker.sinkChanged(analog(1, headphones, Availability::Yes));
        tracker.sinkChanged(usbHeadset(2));
    };
    const auto playingOnHeadset = [&](OutputRouteTracker &tracker) {
        laptopWithHeadphones(tracker);
        tracker.streamSinkChanged(2);
    };
    // The headphones unplugged, the server switching to the speakers; the headset unplugged.
    const auto toSpeakers = [](OutputRouteTracker &t) {
        return t.sinkChanged(analog(1, speaker, Availability::No));
    };
    const auto headsetGone = [](OutputRouteTracker &t) { return t.sinkRemoved(2); };
    const RouteCase cases[] = {
        {"headphones unplugged, the server switches to the speakers", laptopWithHeadphones, toSpeakers, 2},
        {"headphones unplugged, the port stays selected", laptopWithHeadphones,
         [](OutputRouteTracker &t) { return t.sinkChanged(analog(1, headphones, Availability::No)); }, 2},
        {"the same report again is no second loss",
         [&](OutputRouteTracker &t) {
             laptopWithHeadphones(t);
             t.sinkChanged(analog(1, speaker, Availability::No));
         },
         toSpeakers, 0},
        {"headphones plugged in",
         [](OutputRouteTracker &t) {
             t.defaultSinkChanged("alsa_output.analog-stereo");
             t.sinkChanged(analog(1, speaker, Availability::No));
         },
         [](OutputRouteTracker &t) { return t.sinkChanged(analog(1, headphones, Availability::Yes)); }, 1},
        {"the user picks the speakers while the headphones stay in", laptopWithHeadphones,
         [](OutputRouteTracker &t) { return t.sinkChanged(analog(1, speaker, Availability::Yes)); }, 0},
        {"headphones unplugged from a card the music does not play to", playingOnHeadset, toSpeakers, 0},
        {"the headset the music plays to is unplugged", playingOnHeadset, headsetGone, 2},
        {"another sink leaves", laptopWithHeadphones, headsetGone, 0},
        {"the server moves the stream off the headset before saying the headset is gone",
         [&](OutputRouteTracker &t) {
             playingOnHeadset(t);
             t.streamSinkChanged(1);
             t.sinkChanged(analog(1, headphones, Availability::Yes)); // the laptop's sink wakes up
         },
         headsetGone, 2},
        {"a headset left long ago by the user's own choice is unplugged",
         [&](OutputRouteTracker &t) {
             playingOnHeadset(t);
             t.streamSinkChanged(1);
             now += OutputRouteTracker::leaveWindowMs + 1000;
         },
         headsetGone, 0},
        {"the stream ended (nothing plays): the default sink counts",
         [&](OutputRouteTracker &t) {
             playingOnHeadset(t);
             t.streamSinkChanged(OutputRouteTracker::noSink);
             now += OutputRouteTracker::leaveWindowMs + 1000;
         },
         toSpeakers, 2},
        {"a new sink appears", laptopWithHeadphones,
         [](OutputRouteTracker &t) { return t.sinkChanged(usbHeadset(7)); }, 1},
    };
    for (const RouteCase &routeCase : cases) {
        now = 1'000'000;
        OutputRouteTracker tracker([&] { return now; });
        routeCase.before(tracker);
        EXPECT_EQ(routeCase.last(tracker), routeCase.reason) << routeCase.name;
    }
}

TEST_F(AudioRouteTest, TheMonitorPausesWhenTheSoundServerLosesTheOutputInUse)
{
    AudioRouteMonitor monitor;
    QSignalSpy changes(&monitor, &AudioRouteMonitor::routeChanged);
    monitor.defaultSinkChanged("alsa_output.analog-stereo");
    monitor.sinkChanged(analog(1, headphones, Availability::Yes));
    monitor.streamSinkChanged(1);
    ASSERT_EQ(changes.count(), 1); // the sink, first seen
    EXPECT_EQ(changes.at(0).at(0).toInt(), 1);
    EXPECT_TRUE(player.playing);

    monitor.sinkChanged(analog(1, speaker, Availability::No));
    ASSERT_EQ(changes.count(), 2);
    EXPECT_EQ(changes.at(1).at(0).toInt(), 2);
    EXPECT_FALSE(player.playing);

    player.playing = true;
    monitor.sinkChanged(analog(1, headphones, Availability::Yes));
    EXPECT_EQ(changes.last().at(0).toInt(), 1);
    EXPECT_TRUE(player.playing) << "plugging in never pauses";
}

TEST_F(AudioRouteTest, WithoutASoundServerTheDeviceListIsWatched)
{
    const QStringList speakers{"auto", "pulse/speakers"};
    const QStringList both{"auto", "pulse/speakers", "pulse/headset"};
    EXPECT_EQ(AudioRoute::reasonForChange(both, speakers, "auto"), 2);
    EXPECT_EQ(AudioRoute::reasonForChange(speakers, both, "auto"), 1);
    EXPECT_EQ(AudioRoute::reasonForChange(both, both, "auto"), 0);
    EXPECT_EQ(AudioRoute::reasonForChange(both, speakers, "pulse/headset"), 2);
    EXPECT_EQ(AudioRoute::reasonForChange(both, speakers, "pulse/speakers"), 0) << "a device not in use";
    EXPECT_EQ(AudioRoute::reasonForChange(both, {"auto", "pulse/headset", "pulse/hdmi"}, "auto"), 2)
        << "one gone and one new at once: the loss counts";

    AudioRouteMonitor monitor;
    QSignalSpy changes(&monitor, &AudioRouteMonitor::routeChanged);
    monitor.devicesChanged(both); // the first list is only taken note of
    EXPECT_TRUE(changes.isEmpty());
    monitor.devicesChanged(speakers);
    ASSERT_EQ(changes.count(), 1);
    EXPECT_FALSE(player.playing);

    // No sound server answers: the monitor falls back to libmpv and learns its list.
    qputenv("PULSE_SERVER", "unix:/nonexistent/melodrop-test-socket");
    // Until the music has a player there is nothing to pause: libmpv is not loaded for the list yet.
    global->audioPlayer = nullptr;
    AudioRouteMonitor live;
    ASSERT_TRUE(live.start());
    EXPECT_FALSE(waitFor([&] { return !live.devices().isEmpty(); }, 500));
    EXPECT_FALSE(libmpvLoaded());
    global->audioPlayer = &player;
    Q_EMIT PlayerEvents::shared().sharedPlayerChanged();
    EXPECT_TRUE(waitFor([&] { return live.devices().contains("auto"); }, 5000));
    EXPECT_FALSE(live.followsSoundServer());
}

// A PulseAudio server of the test's own on a private socket, with two outputs that stand for the speakers and
// a headset: the music really plays to one of them, and unloading it is the headset being unplugged.
class PulseServer
{
public:
    bool start(const QString &folder)
    {
        m_socket = folder + QStringLiteral("/native");
        m_daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_daemon.start("pulseaudio",
                       {"-n", "--daemonize=no", "--exit-idle-time=-1", "--disable-shm=yes",
                        "--use-pid-file=no", "-L",
                        "module-native-protocol-unix auth-anonymous=1 socket=" + m_socket, "-L",
                        "module-null-sink sink_name=speakers", "-L", "module-null-sink sink_name=headset"});
        if (!m_daemon.waitForStarted(5000))
            return false;
        return waitFor([&] { return pactl({"info"}).exitCode == 0; }, 10000) &&
               pactl({"set-default-sink", "headset"}).exitCode == 0;
    }
    ~PulseServer()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
    }
    QString address() const { return QStringLiteral("unix:") + m_socket; }

    struct Run
    {
        int exitCode = -1;
        QString out;
    };
    Run pactl(const QStringList &arguments) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PULSE_SERVER", address());
        process.setProcessEnvironment(environment);
        process.start("pactl", arguments);
        if (!process.waitForFinished(5000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput())};
    }
    // Unloads the null sink named `sink`, as if its device had been unplugged.
    bool unplug(const QString &sink) const
    {
        for (const QString &line : pactl({"list", "short", "modules"}).out.split(QLatin1Char('\n'))) {
            if (line.contains(QStringLiteral("sink_name=") + sink))
                return pactl({"unload-module", line.section(QLatin1Char('\t'), 0, 0)}).exitCode == 0;
        }
        return false;
    }
    bool hasStream() const { return !pactl({"list", "short", "sink-inputs"}).out.trimmed().isEmpty(); }

private:
    QString m_socket;
    QProcess m_daemon;
};

class PulseRouteTest : public PlayerTest
{
protected:
    static void SetUpTestSuite()
    {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty() ||
            QStandardPaths::findExecutable("pactl").isEmpty())
            return; // each test says it was skipped
        folder = new QTemporaryDir;
        server = new PulseServer;
        ASSERT_TRUE(server->start(folder->path())) << "pulseaudio did not start";
        // This program's libmpv instances and route watch talk to that server, not to the machine's.
        qputenv("PULSE_SERVER", server->address().toUtf8());
        qputenv("MELODROP_MPV_AO", "pulse");
    }
    static void TearDownTestSuite()
    {
        Mp3Fixture::resetPlayerState();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete server;
        delete folder;
        server = nullptr;
        folder = nullptr;
    }
    void SetUp() override
    {
        if (!server)
            GTEST_SKIP() << "pulseaudio is not installed";
        PlayerTest::SetUp();
        ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/Song.mp3"), 120));
        Stores::playlist().append(PlaylistEntry{"Song.mp3", false});
    }
    static PulseServer *server;
    static QTemporaryDir *folder;
};

PulseServer *PulseRouteTest::server = nullptr;
QTemporaryDir *PulseRouteTest::folder = nullptr;

TEST_F(PulseRouteTest, UnpluggingTheOutputInUsePausesAndOthersDoNot)
{
    AudioRouteMonitor monitor;
    QSignalSpy changes(&monitor, &AudioRouteMonitor::routeChanged);
    ASSERT_TRUE(monitor.start());
    ASSERT_TRUE(waitFor([&] { return monitor.followsSoundServer(); }, 5000));

    MusicPlayer::shared().playSound(0);
    ASSERT_TRUE(waitFor([&] { return server->hasStream(); }, 10000)) << "the music plays to the server";
    ASSERT_TRUE(player()->isPlaying());

    // A sink the music does not play to comes and goes: playback goes on.
    ASSERT_EQ(server->pactl({"load-module", "module-null-sink", "sink_name=usb"}).exitCode, 0);
    ASSERT_TRUE(waitFor([&] { return !changes.isEmpty() && changes.last().at(0).toInt() == 1; }, 5000));
    ASSERT_TRUE(server->unplug("usb"));
    ASSERT_TRUE(server->unplug("speakers"));
    waitFor([] { return false; }, 500);
    EXPECT_TRUE(player()->isPlaying());

    // The one in use goes: paused.
    ASSERT_TRUE(server->unplug("headset"));
    ASSERT_TRUE(waitFor([&] { return !player()->isPlaying(); }, 5000));
    EXPECT_EQ(changes.last().at(0).toInt(), 2);
}

} // namespace
