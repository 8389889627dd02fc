#include "../support/Mp3Fixture.h"
#include "../support/PlayerTest.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/AudioRouteMonitor.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"

#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using TestSupport::waitFor;

namespace {

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
