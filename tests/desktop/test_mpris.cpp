#include "../library/TagFixtures.h"
#include "../support/Mp3Fixture.h"
#include "../support/PlayerTest.h"
#include "../support/PrivateBus.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "desktop/Mpris.h"
#include "desktop/RemoteControl.h"
#include "library/TagCache.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using TestSupport::waitFor;

// Collects the signals the service sends, as a desktop shell would receive them.
class BusListener : public QObject
{
    Q_OBJECT
public:
    QList<QVariantMap> changes;
    QList<qlonglong> jumps;

    // The last announced value of `property`, or an invalid variant.
    QVariant lastValue(const QString &property) const
    {
        for (qsizetype i = changes.size() - 1; i >= 0; --i) {
            if (changes.at(i).contains(property))
                return changes.at(i).value(property);
        }
        return {};
    }

public Q_SLOTS:
    void propertiesChanged(const QString &interface, const QVariantMap &changed,
                           const QStringList &invalidated)
    {
        Q_UNUSED(invalidated);
        if (interface == QLatin1String("org.mpris.MediaPlayer2.Player"))
            changes << changed;
    }
    void seeked(qlonglong position) { jumps << position; }
};

namespace {

struct Result
{
    int code = -1;
    QString out;
};

// The test's own session bus, and bus clients run against it.
class PrivateBus : public TestSupport::PrivateBus
{
public:
    // Runs a bus client against this bus, the event loop turning meanwhile so that the service can answer.
    Result run(const QString &program, const QStringList &arguments) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", address);
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        if (!process.waitForStarted(5000))
            return {};
        if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 10000)) {
            process.kill();
            process.waitForFinished();
            return {};
        }
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()).trimmed()};
    }
};

class MprisTest : public PlayerTest
{
protected:
    static void SetUpTestSuite()
    {
        bus = new PrivateBus;
        ASSERT_TRUE(bus->start()) << "dbus-daemon could not start a private bus";
    }
    static void TearDownTestSuite()
    {
        delete bus;
        bus = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(bus, nullptr);
        PlayerTest::SetUp();
        static int serial = 0;
        connectionName = QStringLiteral("mpris-test-%1").arg(++serial);
        connection =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus->address, connectionName));
        ASSERT_TRUE(connection->isConnected());
        mpris = std::make_unique<Mpris>(&remote, *connection);
        ASSERT_TRUE(mpris->start());
    }
    void TearDown() override
    {
        if (watcher) {
            watcher.reset();
            QDBusConnection::disconnectFromBus(connectionName + QStringLiteral("-watcher"));
        }
        mpris.reset();
        connection.reset();
        QDBusConnection::disconnectFromBus(connectionName);
        PlayerTest::TearDown();
    }
    void makePlaylist(const QStringList &files, double seconds = 60)
    {
        ASSERT_TRUE(Mp3Fixture::appendToPlaylist(files, seconds));
    }
    // Plays the playlist's first entry until its length is known.
    void playFirst()
    {
        music.playSound(0);
        ASSERT_TRUE(
            waitFor([&] { return global->audioPlayer && global->audioPlayer->duration() > 0; }, 5000));
    }
    Result send(const QString &method, const QStringList &arguments = {})
    {
        return bus->run("dbus-send",
                        QStringList{"--session", "--print-reply", "--dest=" + mpris->serviceName(),
                                    Mpris::objectPath, method} +
                            arguments);
    }
    Result call(const QString &method) { return send("org.mpris.MediaPlayer2.Player." + method); }
    Result get(const QString &interface, const QString &property)
    {
        return send("org.freedesktop.DBus.Properties.Get", {"string:" + interface, "string:" + property});
    }
    Result playerctl(const QStringList &arguments)
    {
        return bus->run("playerctl", QStringList{"--player=melodrop"} + arguments);
    }
    Result playerProperty(const QString &property) { return get("org.mpris.MediaPlayer2.Player", property); }
    // A desktop shell's connection, hearing the service's PropertiesChanged and Seeked in `listener`.
    void listen()
    {
        watcher = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus->address, connectionName + QStringLiteral("-watcher")));
        ASSERT_TRUE(watcher->connect(mpris->serviceName(), Mpris::objectPath,
                                     "org.freedesktop.DBus.Properties", "PropertiesChanged", &listener,
                                     SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        ASSERT_TRUE(watcher->connect(mpris->serviceName(), Mpris::objectPath, "org.mpris.MediaPlayer2.Player",
                                     "Seeked", &listener, SLOT(seeked(qlonglong))));
    }

    static PrivateBus *bus;
    RemoteControl remote;
    QString connectionName;
    std::unique_ptr<QDBusConnection> connection;
    std::unique_ptr<Mpris> mpris;
    BusListener listener;
    std::unique_ptr<QDBusConnection> watcher;
};

PrivateBus *MprisTest::bus = nullptr;

TEST_F(MprisTest, TakesTheNameOrFallsBackToAnInstanceName)
{
    EXPECT_EQ(mpris->serviceName(), "org.mpris.MediaPlayer2.melodrop");
    QDBusConnection other = QDBusConnection::connectToBus(bus->address, "mpris-second");
    {
        Mpris second(&remote, other);
        ASSERT_TRUE(second.start());
        EXPECT_EQ(second.serviceName(), QStringLiteral("org.mpris.MediaPlayer2.melodrop.instance%1")
                                            .arg(QCoreApplication::applicationPid()));
        const Result names =
            bus->run("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                   "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"});
        EXPECT_TRUE(names.out.contains("\"org.mpris.MediaPlayer2.melodrop\""));
        EXPECT_TRUE(names.out.contains(second.serviceName()));
    }
    QDBusConnection::disconnectFromBus("mpris-second");

    const Result identity = get("org.mpris.MediaPlayer2", "Identity");
    EXPECT_EQ(identity.code, 0);
    EXPECT_TRUE(identity.out.contains("\"Melodrop\"")) << identity.out.toStdString();
    const Result status = playerProperty("PlaybackStatus");
    EXPECT_TRUE(status.out.contains("\"Stopped\"")) << status.out.toStdString();
}

// Each method is its remote control event (whose rules the remote control's own tests check): Pause and Play
// set the state (twice is no toggle), PlayPause toggles, Stop pauses, Next and Previous ask for a change.
TEST_F(MprisTest, MethodsReachThePlayerAsRemoteControlEvents)
{
    makePlaylist({"Artist - First.mp3", "Second.mp3"});
    EXPECT_EQ(playerctl({"status"}).out, "Stopped");
    EXPECT_TRUE(playerProperty("CanPlay").out.contains("boolean true"));
    EXPECT_EQ(call("Next").code, 0);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next)
        << "the request is made even while nothing plays";
    global->pendingTrackStep = GlobalData::TrackStep::None;

    ASSERT_NO_FATAL_FAILURE(playFirst());
    AudioPlayer *player = global->audioPlayer;
    EXPECT_EQ(playerctl({"status"}).out, "Playing");
    EXPECT_EQ(playerctl({"metadata", "--format", "{{artist}}|{{title}}|{{mpris:length}}"}).out,
              QStringLiteral("Artist|First|%1").arg(qlonglong(player->duration() * 1e6)));
    const std::pair<const char *, bool> presses[] = {
        {"Pause", false},     {"Pause", false},    {"Play", true}, {"Play", true},
        {"PlayPause", false}, {"PlayPause", true}, {"Stop", false}};
    for (const auto &[method, playing] : presses) {
        EXPECT_EQ(call(method).code, 0);
        EXPECT_EQ(player->isPlaying(), playing) << method;
    }
    EXPECT_EQ(playerctl({"status"}).out, "Paused");
    EXPECT_EQ(global->audioPlayer, player);

    // Microseconds; a paused output reports its position less what it holds buffered, hence the margin.
    player->setCurrentTime(12);
    const Result position = playerProperty("Position");
    const qsizetype number = position.out.indexOf("int64 ");
    ASSERT_GE(number, 0) << position.out.toStdString();
    EXPECT_NEAR(position.out.mid(number + 6).toDouble(), 12e6, 0.3e6);

    EXPECT_EQ(playerctl({"next"}).code, 0);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next);
    music.updateTime();
    EXPECT_EQ(playerctl({"metadata", "title"}).out, "Second");
    EXPECT_EQ(call("Previous").code, 0);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Previous);
}

TEST_F(MprisTest, JumpsAreMadeWithinTheTrackAndReported)
{
    ASSERT_NO_FATAL_FAILURE(listen());
    EXPECT_TRUE(playerProperty("CanSeek").out.contains("boolean false")) << "nothing to seek in";
    makePlaylist({"One.mp3", "Two.mp3"});
    ASSERT_NO_FATAL_FAILURE(playFirst());
    AudioPlayer *player = global->audioPlayer;
    MusicPlayer::pause();
    EXPECT_TRUE(playerProperty("CanSeek").out.contains("boolean true"));

    EXPECT_EQ(playerctl({"position", "30"}).code, 0);
    EXPECT_NEAR(player->currentTime(), 30, 0.3);
    ASSERT_TRUE(waitFor([&] { return !listener.jumps.isEmpty(); }, 5000));
    EXPECT_NEAR(double(listener.jumps.last()), 30e6, 0.3e6);
    EXPECT_NEAR(playerctl({"position"}).out.toDouble(), 30, 0.3);

    EXPECT_EQ(playerctl({"position", "5-"}).code, 0); // Seek by -5 s
    EXPECT_NEAR(player->currentTime(), 25, 0.3);
    EXPECT_EQ(playerctl({"position", "100-"}).code, 0);
    EXPECT_NEAR(player->currentTime(), 0, 0.3) << "before the start is the start";
    EXPECT_FALSE(player->isPlaying()) << "a jump keeps the paused state";

    // SetPosition names the track: another one's identity, or a place past the end, changes nothing.
    EXPECT_EQ(send("org.mpris.MediaPlayer2.Player.SetPosition",
                   {"objpath:/org/melodrop/Track/999999", "int64:40000000"})
                  .code,
              0);
    EXPECT_NEAR(player->currentTime(), 0, 0.3);
    EXPECT_EQ(playerctl({"position", "61"}).code, 0);
    EXPECT_NEAR(player->currentTime(), 0, 0.3);

    // Seeking past the end goes on to the next track.
    EXPECT_EQ(playerctl({"position", "70+"}).code, 0);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next);
    music.updateTime();
    EXPECT_EQ(playingFile(), "Two.mp3");
}

TEST_F(MprisTest, VolumeLoopAndShuffleFollowThePlayerBothWays)
{
    ASSERT_NO_FATAL_FAILURE(listen());
    QSignalSpy modes(&PlayerEvents::shared(), &PlayerEvents::modesChanged);

    EXPECT_EQ(playerctl({"volume", "0.5"}).code, 0);
    EXPECT_DOUBLE_EQ(music.volume(), 0.5);
    EXPECT_EQ(playerctl({"volume"}).out.toDouble(), 0.5);
    ASSERT_TRUE(waitFor([&] { return listener.lastValue("Volume") == 0.5; }, 3000));
    music.setVolume(0.8);
    ASSERT_TRUE(waitFor([&] { return listener.lastValue("Volume") == 0.8; }, 3000));

    // The three repeat modes each way: the playlist starts again after its end, the track repeats itself
    // (that is what Track asks), and the repeat button follows each change.
    EXPECT_EQ(playerctl({"loop"}).out, "Playlist");
    const std::pair<const char *, MusicPlayer::Repeat> loops[] = {{"None", MusicPlayer::Repeat::Off},
                                                                  {"Track", MusicPlayer::Repeat::Track},
                                                                  {"Playlist", MusicPlayer::Repeat::Playlist},
                                                                  {"None", MusicPlayer::Repeat::Off}};
    for (const auto &[loop, repeat] : loops) {
        const qsizetype changes = modes.count();
        EXPECT_EQ(playerctl({"loop", loop}).code, 0);
        EXPECT_EQ(MusicPlayer::repeat(), repeat) << loop;
        EXPECT_EQ(modes.count(), changes + 1) << loop;
        EXPECT_EQ(playerctl({"loop"}).out, QString::fromLatin1(loop));
    }

    EXPECT_EQ(playerctl({"shuffle"}).out, "Off");
    EXPECT_EQ(playerctl({"shuffle", "On"}).code, 0);
    EXPECT_TRUE(global->playRandomMusic);
    EXPECT_EQ(playerctl({"shuffle"}).out, "On");

    // The screen's buttons go through the player: the bus hears of them.
    music.setShuffle(false);
    music.setRepeat(MusicPlayer::Repeat::Playlist);
    ASSERT_TRUE(waitFor(
        [&] {
            return listener.lastValue("Shuffle") == false &&
                   listener.lastValue("LoopStatus") == QStringLiteral("Playlist");
        },
        3000));
    EXPECT_EQ(playerctl({"shuffle"}).out, "Off");
}

TEST_F(MprisTest, MetadataComesFromTheTagsAndFallsBackToTheFileName)
{
    ASSERT_TRUE(Mp3Fixture::writeTagged(StorageLayout::getAudioDir() + QStringLiteral("/01 track.mp3"), 20,
                                        "Песня", "Исполнитель", "Альбом"));
    Stores::playlist().append(PlaylistEntry{"01 track.mp3", false});
    makePlaylist({"Band - Untagged.mp3"}, 15);
    ASSERT_NO_FATAL_FAILURE(playFirst());
    ASSERT_TRUE(waitFor([&] { return !global->audioPlayer->metadata().isEmpty(); }, 5000));
    EXPECT_EQ(
        playerctl({"metadata", "--format", "{{title}}|{{artist}}|{{album}}|{{mpris:length}}"}).out,
        QStringLiteral("Песня|Исполнитель|Альбом|%1").arg(qlonglong(global->audioPlayer->duration() * 1e6)));
    const QString firstId = playerctl({"metadata", "mpris:trackid"}).out;
    EXPECT_TRUE(firstId.contains("/org/melodrop/Track/")) << firstId.toStdString();

    music.next();
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer->duration() > 0; }, 5000));
    EXPECT_EQ(playerctl({"metadata", "--format", "{{title}}|{{artist}}|{{album}}"}).out, "Untagged|Band|");
    EXPECT_NE(playerctl({"metadata", "mpris:trackid"}).out, firstId);
}

TEST_F(MprisTest, MetadataCarriesTheAlbumTrackNumberLengthAndCoverOnceTheTagsArrive)
{
    const QString picture = root.filePath("front.png");
    ASSERT_EQ(TagFixtures::picture(picture, "blue", 24), QString());
    ASSERT_EQ(TagFixtures::mp3(StorageLayout::getAudioDir() + QStringLiteral("/05 song.mp3"),
                               {"Песня", "Исполнитель", "Альбом", "5/12", "2001"}, 3, 4, picture),
              QString());
    TagCache tags(root.filePath("cache"), {});
    mpris->setTagCache(&tags);
    ASSERT_NO_FATAL_FAILURE(listen());

    Stores::playlist().append(PlaylistEntry{"05 song.mp3", false});
    music.playSound(0);
    // The cover reaches the bus by PropertiesChanged, without anyone asking.
    const auto announced = [&] {
        const QVariant value = listener.lastValue("Metadata");
        return value.isValid() ? qdbus_cast<QVariantMap>(value.value<QDBusArgument>()) : QVariantMap();
    };
    ASSERT_TRUE(waitFor([&] { return announced().contains("mpris:artUrl"); }, 10000))
        << "no Metadata with a cover announced";
    EXPECT_EQ(announced().value("xesam:album").toString(), "Альбом");
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer && global->audioPlayer->duration() > 0; }, 5000));

    // Read back as a client reads it, with the types the interface names.
    QDBusMessage get = QDBusMessage::createMethodCall(mpris->serviceName(), Mpris::objectPath,
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("Metadata");
    QDBusPendingCall reply = watcher->asyncCall(get);
    ASSERT_TRUE(waitFor([&] { return reply.isFinished(); }, 5000));
    ASSERT_FALSE(reply.isError()) << reply.error().message().toStdString();
    const QVariantMap metadata = qdbus_cast<QVariantMap>(
        reply.reply().arguments().value(0).value<QDBusVariant>().variant().value<QDBusArgument>());
    EXPECT_EQ(metadata.value("xesam:title").toString(), "Песня");
    EXPECT_EQ(metadata.value("xesam:album").toString(), "Альбом");
    const QVariant track = metadata.value("xesam:trackNumber");
    EXPECT_EQ(track.metaType(), QMetaType::fromType<int>());
    EXPECT_EQ(track.toInt(), 5);
    const QVariant length = metadata.value("mpris:length");
    EXPECT_EQ(length.metaType(), QMetaType::fromType<qlonglong>()) << "int64, in microseconds";
    EXPECT_NEAR(double(length.toLongLong()), 3e6, 0.2e6);
    const QUrl art(metadata.value("mpris:artUrl").toString());
    ASSERT_TRUE(art.isLocalFile()) << art.toString().toStdString();
    EXPECT_EQ(art.scheme(), "file");
    EXPECT_TRUE(art.toLocalFile().startsWith(tags.coverFolder())) << art.toString().toStdString();
    EXPECT_EQ(TagFixtures::readAll(art.toLocalFile()), TagFixtures::readAll(picture));

    EXPECT_EQ(playerctl({"metadata", "--format", "{{album}}|{{xesam:trackNumber}}|{{mpris:artUrl}}"}).out,
              QStringLiteral("Альбом|5|") + art.toString());
}

TEST_F(MprisTest, ChangesAreAnnouncedAndJumpsReported)
{
    ASSERT_NO_FATAL_FAILURE(listen());
    makePlaylist({"One.mp3", "Two.mp3"});

    music.playSound(0);
    ASSERT_TRUE(waitFor([&] { return listener.lastValue("PlaybackStatus") == "Playing"; }, 5000));
    EXPECT_EQ(listener.lastValue("CanGoNext"), true);
    EXPECT_EQ(listener.lastValue("CanPlay"), true);
    const auto metadata = [&] {
        return qdbus_cast<QVariantMap>(listener.lastValue("Metadata").value<QDBusArgument>());
    };
    EXPECT_EQ(metadata().value("xesam:title").toString(), "One");
    // The length follows once the file has been opened.
    ASSERT_TRUE(waitFor([&] { return metadata().value("mpris:length").toLongLong() > 59'000'000; }, 5000));

    MusicPlayer::pause();
    ASSERT_TRUE(waitFor([&] { return listener.lastValue("PlaybackStatus") == "Paused"; }, 5000));

    global->audioPlayer->setCurrentTime(30);
    ASSERT_TRUE(waitFor([&] { return !listener.jumps.isEmpty(); }, 5000));
    EXPECT_NEAR(double(listener.jumps.last()), 30e6, 0.3e6);

    // Repeat starts the same track again: the jump back to the start is reported.
    global->playRepeatMusic = true;
    listener.jumps.clear();
    music.next();
    ASSERT_TRUE(waitFor([&] { return !listener.jumps.isEmpty(); }, 5000));
    EXPECT_LT(listener.jumps.last(), 1'000'000);

    AudioPlayer::dropShared();
    Stores::playlist().clear();
    ASSERT_TRUE(waitFor([&] { return listener.lastValue("PlaybackStatus") == "Stopped"; }, 5000));
    EXPECT_EQ(listener.lastValue("CanGoNext"), false);
    EXPECT_EQ(listener.lastValue("CanPlay"), false);
}

} // namespace

#include "test_mpris.moc"
