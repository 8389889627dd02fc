// The desktop's side of the program: the remote control (media keys and their events), the services it uses
// over D-Bus on a private session bus of the tests' own (the MPRIS interface a desktop shell drives, the
// notices it shows by its notification service or through the portal inside a sandbox, the file chooser and
// Settings portals, the file manager that shows the queue's files; stand-ins answer for the desktop's side),
// and the single running instance that later starts hand their files to.
#include "../library/TagFixtures.h"
#include "../support/FakeFileManager.h"
#include "../support/Mp3Fixture.h"
#include "../support/PlayerTest.h"
#include "../support/PrivateBus.h"
#include "../support/TestSupport.h"

#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "desktop/ColorScheme.h"
#include "desktop/DesktopNotifier.h"
#include "desktop/Mpris.h"
#include "desktop/Portals.h"
#include "desktop/RemoteControl.h"
#include "desktop/SingleInstance.h"
#include "desktop/TrackNotice.h"
#include "library/TagCache.h"
#include "playback/PlayerEvents.h"

#include <QDataStream>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <future>
#include <limits>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
    void propertiesChanged(const QString &interface, const QVariantMap &changed, const QStringList &)
    {
        if (interface == QLatin1String("org.mpris.MediaPlayer2.Player"))
            changes << changed;
    }
    void seeked(qlonglong position) { jumps << position; }
};

namespace {

using enum RemoteControl::EventType;
using enum RemoteControl::Subtype;

void pump(int ms)
{
    waitFor([] { return false; }, ms);
}

// A player whose clock the test sets, recording what is done to it.
class FakePlayer : public AudioPlayer
{
public:
    void play() override
    {
        playing = true;
        calls << QStringLiteral("play");
    }
    void pause() override
    {
        playing = false;
        calls << QStringLiteral("pause");
    }
    void stop() override { playing = false; }
    bool isPlaying() const override { return playing; }
    void prepareToPlay() override { calls << QStringLiteral("prepare"); }
    double currentTime() const override { return position; }
    void setCurrentTime(double seconds) override
    {
        positions << (position = seconds);
        calls << QStringLiteral("set");
    }
    double duration() const override { return length; }

    bool playing = false;
    double position = 0;
    double length = 0;
    QList<double> positions;
    QStringList calls;
};

// The player fixture with the playlist's files made as they are named.
class DesktopTest : public PlayerTest
{
protected:
    void makePlaylist(const QStringList &files, double seconds = 60)
    {
        ASSERT_TRUE(Mp3Fixture::appendToPlaylist(files, seconds));
    }
};

class RemoteControlTest : public DesktopTest
{
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        remote.setSeekInterval(20);
    }
    void TearDown() override
    {
        remote.sendEvent(2, RemoteControlEndSeekingForward);
        remote.sendEvent(2, RemoteControlEndSeekingBackward);
        waitFor([&] { return remote.runningSeekLoops() == 0; }, 2000);
        if (global->audioPlayer == &fake)
            global->audioPlayer = nullptr;
        DesktopTest::TearDown();
    }
    // The fake as the shared player: `length` seconds long, at `position`.
    void useFake(double length, double position, bool playing)
    {
        fake.length = length;
        fake.position = position;
        fake.playing = playing;
        global->audioPlayer = &fake;
    }
    bool send(int subtype) { return remote.sendEvent(RemoteControlEventType, subtype); }
    // Holds a seek key until `done` holds (or two seconds pass), then releases it and waits for its loop.
    bool hold(bool forward, const std::function<bool()> &done)
    {
        send(forward ? RemoteControlBeginSeekingForward : RemoteControlBeginSeekingBackward);
        const bool reached = waitFor(done, 10000); // generous: a loaded machine seeks slowly
        send(forward ? RemoteControlEndSeekingForward : RemoteControlEndSeekingBackward);
        return waitFor([&] { return remote.runningSeekLoops() == 0; }, 10000) && reached;
    }

    RemoteControl remote;
    FakePlayer fake;
};

TEST_F(RemoteControlTest, TrackEventsDriveThePlayerOnlyWhileNoChangeIsPending)
{
    makePlaylist({"A.mp3", "B.mp3", "C.mp3"});
    // Nothing current yet (as after a restart): play, or the play/pause toggle, starts the playlist's first
    // entry.
    EXPECT_TRUE(send(RemoteControlTogglePlayPause));
    EXPECT_EQ(playingFile(), "A.mp3");
    AudioPlayer *player = global->audioPlayer;
    ASSERT_NE(player, nullptr);

    const std::pair<int, bool> events[] = {{RemoteControlPause, false},
                                           {RemoteControlPlay, true},
                                           {RemoteControlTogglePlayPause, false},
                                           {RemoteControlTogglePlayPause, true}};
    for (const auto &[event, playing] : events) {
        send(event);
        EXPECT_EQ(player->isPlaying(), playing) << event;
    }
    player->setCurrentTime(25);
    send(RemoteControlStop);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_NEAR(player->currentTime(), 25, 0.5) << "stop pauses where it is";
    EXPECT_EQ(global->audioPlayer, player);

    // Two next events before the player's tick: one track further, not two.
    send(RemoteControlNextTrack);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next);
    send(RemoteControlNextTrack);
    send(RemoteControlPreviousTrack);
    send(RemoteControlPlay);
    send(RemoteControlTogglePlayPause);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next);
    EXPECT_FALSE(player->isPlaying()) << "play waits while a change is pending";
    music.updateTime();
    music.updateTime();
    EXPECT_EQ(playingFile(), "B.mp3");
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);

    send(RemoteControlPreviousTrack);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Previous);
    music.updateTime();
    EXPECT_EQ(playingFile(), "A.mp3");
}

TEST_F(RemoteControlTest, OtherEventsPassOnAndUnknownSubtypesAreSwallowed)
{
    useFake(100, 0, false);
    EXPECT_FALSE(remote.sendEvent(1, RemoteControlPlay)) << "not ours: passed on";
    EXPECT_FALSE(remote.sendEvent(0, RemoteControlNextTrack));
    for (int subtype : {0, 99, 110, 200, -5}) {
        EXPECT_TRUE(remote.sendEvent(2, subtype)) << subtype;
    }
    EXPECT_TRUE(fake.calls.isEmpty());
    EXPECT_FALSE(remote.seekingForward());
    EXPECT_FALSE(remote.seekingBackward());
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
}

TEST_F(RemoteControlTest, SeekingForwardStepsAThirtiethAndStopsShortOfTheEnd)
{
    useFake(300, 250, true);
    ASSERT_TRUE(hold(true, [&] { return fake.calls.count("pause") >= 8; }));
    EXPECT_EQ(fake.positions, (QList<double>{260, 270, 280, 290})) << "300 itself is never reached";
    EXPECT_EQ(fake.position, 290);
    EXPECT_TRUE(fake.playing) << "a playing track plays on";
    // Every step: pause, jump, prepare, play again.
    EXPECT_EQ(fake.calls.mid(0, 4), (QStringList{"pause", "set", "prepare", "play"}));
    EXPECT_EQ(fake.calls.mid(16, 3), (QStringList{"pause", "prepare", "play"}));
    EXPECT_FALSE(remote.seekingForward());

    // A track whose length is not a whole multiple of 30: the steps stay in single precision.
    useFake(7, 0, true);
    fake.positions.clear();
    ASSERT_TRUE(hold(true, [&] { return fake.positions.size() >= 3; }));
    EXPECT_EQ(float(fake.positions.at(0)), 7.0f / 30.0f);
    EXPECT_EQ(float(fake.positions.at(2)), 7.0f / 30.0f + 7.0f / 30.0f + 7.0f / 30.0f);
}

TEST_F(RemoteControlTest, SeekingBackwardStopsAtZeroAndKeepsAPausedTrackPaused)
{
    useFake(300, 15, false);
    ASSERT_TRUE(hold(false, [&] { return fake.positions.size() >= 3; }));
    EXPECT_EQ(fake.positions.mid(0, 3), (QList<double>{5, 0, 0}));
    EXPECT_FALSE(fake.calls.contains("play"));

    fake.position = std::numeric_limits<double>::quiet_NaN();
    fake.positions.clear();
    ASSERT_TRUE(hold(false, [&] { return !fake.positions.isEmpty(); }));
    EXPECT_EQ(fake.positions.at(0), 0) << "a position that is not a number goes to the start";
}

TEST_F(RemoteControlTest, SeekingWithoutATrackLengthChangesNothingUntilReleased)
{
    send(RemoteControlBeginSeekingForward);
    EXPECT_TRUE(remote.seekingForward());
    pump(100);
    EXPECT_EQ(remote.runningSeekLoops(), 1) << "no player: the loop keeps waiting";
    for (double length : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
        fake.length = length;
        global->audioPlayer = &fake;
        pump(80);
        EXPECT_TRUE(fake.calls.isEmpty()) << length;
    }
    EXPECT_EQ(remote.runningSeekLoops(), 1);
    send(RemoteControlEndSeekingForward);
    EXPECT_TRUE(waitFor([&] { return remote.runningSeekLoops() == 0; }, 1000));

    // Two presses without a release run two loops; one release ends both.
    fake.length = 300;
    send(RemoteControlBeginSeekingBackward);
    send(RemoteControlBeginSeekingBackward);
    EXPECT_EQ(remote.runningSeekLoops(), 2);
    send(RemoteControlEndSeekingBackward);
    EXPECT_TRUE(waitFor([&] { return remote.runningSeekLoops() == 0; }, 1000));
}

TEST_F(RemoteControlTest, HoldingSeekMovesARealTrack)
{
    makePlaylist({"Long.mp3"}, 300);
    music.playSound(0);
    AudioPlayer *player = global->audioPlayer;
    ASSERT_NE(player, nullptr);
    ASSERT_TRUE(waitFor([&] { return player->duration() > 0; }, 5000));
    EXPECT_NEAR(player->duration(), 300, 0.1);
    player->pause();
    remote.setSeekInterval(150);
    ASSERT_TRUE(hold(true, [&] { return player->currentTime() >= 29.9; }));
    pump(100);
    const double position = player->currentTime();
    // The reported time trails the seek target by the audio output's buffer (a fraction of a second).
    EXPECT_NEAR(position, 10 * std::round(position / 10), 1.0) << "whole steps of 10 s";
    EXPECT_GE(position, 29.9);
    EXPECT_LT(position, 100); // the release stops the loop within a step or two
    EXPECT_FALSE(player->isPlaying());

    ASSERT_TRUE(hold(false, [&] { return player->currentTime() < 0.5; }));
    EXPECT_NEAR(player->currentTime(), 0, 0.5);
}

TEST(RemoteControlKeys, MediaKeysMapToRemoteControlSubtypes)
{
    const auto subtype = [](QEvent::Type type, int key, bool repeat = false) {
        return RemoteControl::subtypeForKey(QKeyEvent(type, key, Qt::NoModifier, QString(), repeat));
    };
    // The keyboard's play key toggles. A held key repeats: only the first press and the last release count.
    const struct
    {
        int key;
        int press;
        int release;
    } keys[] = {{Qt::Key_MediaPlay, 103, 0},     {Qt::Key_MediaPause, 101, 0},
                {Qt::Key_MediaStop, 102, 0},     {Qt::Key_MediaTogglePlayPause, 103, 0},
                {Qt::Key_MediaNext, 104, 0},     {Qt::Key_MediaPrevious, 105, 0},
                {Qt::Key_AudioRewind, 106, 107}, {Qt::Key_AudioForward, 108, 109},
                {Qt::Key_Space, 0, 0},           {Qt::Key_Right, 0, 0}};
    for (const auto &k : keys) {
        EXPECT_EQ(subtype(QEvent::KeyPress, k.key), k.press) << k.key;
        EXPECT_EQ(subtype(QEvent::KeyRelease, k.key), k.release) << k.key;
        EXPECT_EQ(subtype(QEvent::KeyPress, k.key, true), 0) << k.key;
        EXPECT_EQ(subtype(QEvent::KeyRelease, k.key, true), 0) << k.key;
    }

    // Only events entering a window are taken; the same event handed on to an item is not taken twice.
    RemoteControl remote;
    QObject item;
    QKeyEvent next(QEvent::KeyPress, Qt::Key_MediaNext, Qt::NoModifier);
    GlobalData::sharedGlobalData()->pendingTrackStep = GlobalData::TrackStep::None;
    EXPECT_FALSE(remote.eventFilter(&item, &next));
    EXPECT_EQ(GlobalData::sharedGlobalData()->pendingTrackStep, GlobalData::TrackStep::None);
}

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

class FileChooserPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
public:
    uint responseCode = 0;
    QStringList uris;
    QString title;
    QString filterSignature;
    QString filterName;
    QList<QPair<uint, QString>> rules;

public Q_SLOTS:
    QDBusObjectPath OpenFile(const QString &, const QString &dialogTitle, const QVariantMap &options)
    {
        title = dialogTitle;
        const QDBusArgument filters = options.value("filters").value<QDBusArgument>();
        filterSignature = filters.currentSignature();
        filters.beginArray();
        while (!filters.atEnd()) {
            filters.beginStructure();
            filters >> filterName;
            filters.beginArray();
            while (!filters.atEnd()) {
                uint kind = 0;
                QString pattern;
                filters.beginStructure();
                filters >> kind >> pattern;
                filters.endStructure();
                rules.append({kind, pattern});
            }
            filters.endArray();
            filters.endStructure();
        }
        filters.endArray();
        // The request object is named after the caller and its token, as the real portal names it.
        QString sender = message().service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, options.value("handle_token").toString());
        QDBusConnection bus = connection();
        const uint code = responseCode;
        const QStringList answer = uris;
        QTimer::singleShot(0, this, [bus, path, code, answer]() mutable {
            QDBusMessage response =
                QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
            response << code << QVariantMap{{"uris", answer}};
            bus.send(response);
        });
        return QDBusObjectPath(path);
    }
};

class SettingsPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint value = ColorScheme::PreferDark;
    QStringList reads;

public Q_SLOTS:
    // As the portal answers: the value's variant inside the reply's variant.
    QDBusVariant Read(const QString &nameSpace, const QString &key)
    {
        reads << nameSpace + ' ' + key;
        return QDBusVariant(QVariant::fromValue(QDBusVariant(value)));
    }
};

// Records what the notification service and the portal were asked to show.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList calls;
    QVariantMap hints;

public Q_SLOTS:
    uint Notify(const QString &appName, uint, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &hints, int)
    {
        calls << appName + '|' + appIcon + '|' + summary + '|' + body;
        this->hints = hints;
        return 1;
    }
};

class NotificationPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Notification")
public:
    QStringList calls;
    QString icon; // the serialized icon's type and value

public Q_SLOTS:
    void AddNotification(const QString &id, const QVariantMap &notification)
    {
        if (notification.contains("icon")) {
            const QDBusArgument argument = notification.value("icon").value<QDBusArgument>();
            QString type;
            QDBusVariant value;
            argument.beginStructure();
            argument >> type >> value;
            argument.endStructure();
            icon = type + '|' + value.variant().toString();
        }
        calls << QString::number(!id.isEmpty()) + '|' + notification.value("title").toString() + '|' +
                     notification.value("body").toString();
    }
};

struct Result
{
    int code = -1;
    QString out;
};

// The portals speak on the session bus, which this program connects to once: a private one for the whole
// program.
using BusEnvironment = TestSupport::PrivateBusEnvironment;
[[maybe_unused]] const auto *const environment = ::testing::AddGlobalTestEnvironment(new BusEnvironment);

// A case's two connections to the bus: the program's own and the desktop's (its stand-ins and listeners), on
// the player fixture's documents folder and player state.
class BusTest : public DesktopTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(BusEnvironment::bus);
        DesktopTest::SetUp();
        static int serial = 0;
        name = QStringLiteral("case-%1").arg(++serial);
        own = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address(), name));
        desktop =
            std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address(), name + "-desktop"));
        ASSERT_TRUE(own->isConnected() && desktop->isConnected());
    }
    void TearDown() override
    {
        own.reset();
        desktop.reset();
        QDBusConnection::disconnectFromBus(name);
        QDBusConnection::disconnectFromBus(name + "-desktop");
        DesktopTest::TearDown();
    }
    static QString address() { return BusEnvironment::bus->address; }
    // Puts the desktop's stand-in `object` on the bus as `service`, at `path`.
    void serve(const QString &service, const QString &path, QObject *object)
    {
        ASSERT_TRUE(desktop->registerService(service));
        ASSERT_TRUE(desktop->registerObject(path, object, QDBusConnection::ExportAllSlots));
    }
    // Runs a bus client, the event loop turning meanwhile so that the service can answer.
    static Result run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
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

    QString name;
    std::unique_ptr<QDBusConnection> own;
    std::unique_ptr<QDBusConnection> desktop;
};

class MprisTest : public BusTest
{
protected:
    void SetUp() override
    {
        BusTest::SetUp();
        mpris = std::make_unique<Mpris>(&remote, *own);
        ASSERT_TRUE(mpris->start());
    }
    void TearDown() override
    {
        mpris.reset();
        BusTest::TearDown();
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
        return run("dbus-send", QStringList{"--session", "--print-reply", "--dest=" + mpris->serviceName(),
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
        return run("playerctl", QStringList{"--player=melodrop"} + arguments);
    }
    Result playerProperty(const QString &property) { return get("org.mpris.MediaPlayer2.Player", property); }
    // The desktop shell hears the service's PropertiesChanged and Seeked in `listener`.
    void listen()
    {
        ASSERT_TRUE(desktop->connect(mpris->serviceName(), Mpris::objectPath,
                                     "org.freedesktop.DBus.Properties", "PropertiesChanged", &listener,
                                     SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        ASSERT_TRUE(desktop->connect(mpris->serviceName(), Mpris::objectPath, "org.mpris.MediaPlayer2.Player",
                                     "Seeked", &listener, SLOT(seeked(qlonglong))));
    }

    RemoteControl remote;
    std::unique_ptr<Mpris> mpris;
    BusListener listener;
};

TEST_F(MprisTest, TakesTheNameOrFallsBackToAnInstanceName)
{
    EXPECT_EQ(mpris->serviceName(), "org.mpris.MediaPlayer2.melodrop");
    QDBusConnection other = QDBusConnection::connectToBus(address(), "mpris-second");
    {
        Mpris second(&remote, other);
        ASSERT_TRUE(second.start());
        EXPECT_EQ(second.serviceName(), QStringLiteral("org.mpris.MediaPlayer2.melodrop.instance%1")
                                            .arg(QCoreApplication::applicationPid()));
        const Result names = run("dbus-send", {"--session", "--print-reply", "--dest=org.freedesktop.DBus",
                                               "/org/freedesktop/DBus", "org.freedesktop.DBus.ListNames"});
        EXPECT_TRUE(names.out.contains("\"org.mpris.MediaPlayer2.melodrop\""));
        EXPECT_TRUE(names.out.contains(second.serviceName()));
    }
    QDBusConnection::disconnectFromBus("mpris-second");

    const Result identity = get("org.mpris.MediaPlayer2", "Identity");
    EXPECT_EQ(identity.code, 0);
    EXPECT_TRUE(identity.out.contains("\"Melodrop\"")) << identity.out.toStdString();
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

// (Every jump is reported by the player's one signal: ChangesAreAnnouncedAndJumpsReported hears it.)
TEST_F(MprisTest, JumpsAreMadeWithinTheTrack)
{
    EXPECT_TRUE(playerProperty("CanSeek").out.contains("boolean false")) << "nothing to seek in";
    makePlaylist({"One.mp3", "Two.mp3"});
    ASSERT_NO_FATAL_FAILURE(playFirst());
    AudioPlayer *player = global->audioPlayer;
    MusicPlayer::pause();
    EXPECT_TRUE(playerProperty("CanSeek").out.contains("boolean true"));

    EXPECT_EQ(playerctl({"position", "30"}).code, 0);
    EXPECT_NEAR(player->currentTime(), 30, 0.3);
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
    QDBusPendingCall reply = desktop->asyncCall(get);
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

// The queue's "finished" notice: the desktop's notification service gets it with the program's name and icon.
TEST_F(BusTest, TheNotificationServiceGetsTheNoticeWithTheProgramsNameAndIcon)
{
    NotificationService service;
    ASSERT_NO_FATAL_FAILURE(
        serve("org.freedesktop.Notifications", "/org/freedesktop/Notifications", &service));
    DesktopNotifier notifier;
    notifier.setConnection(*own);
    notifier.setUsePortal(false);
    ASSERT_TRUE(notifier.notify("Загрузки завершены", "Сохранено файлов: 3"));
    ASSERT_TRUE(waitFor([&] { return service.calls.size() == 1; }, 5000));
    EXPECT_EQ(service.calls.first(), "Melodrop|melodrop|Загрузки завершены|Сохранено файлов: 3");
    EXPECT_EQ(service.hints.value("desktop-entry").toString(), "melodrop");
}

// Inside a sandbox the portal gets it (the notification service nothing), a cover as a file icon.
TEST_F(BusTest, InsideASandboxTheNotificationPortalGetsIt)
{
    NotificationService service;
    NotificationPortal portal;
    ASSERT_NO_FATAL_FAILURE(
        serve("org.freedesktop.Notifications", "/org/freedesktop/Notifications", &service));
    ASSERT_NO_FATAL_FAILURE(serve("org.freedesktop.portal.Desktop", portalPath, &portal));
    DesktopNotifier notifier;
    notifier.setConnection(*own);
    notifier.setUsePortal(true);
    ASSERT_TRUE(notifier.notify("Загрузки завершены", "Сохранено файлов: 1"));
    ASSERT_TRUE(waitFor([&] { return portal.calls.size() == 1; }, 5000));
    EXPECT_EQ(portal.calls.first(), "1|Загрузки завершены|Сохранено файлов: 1");
    EXPECT_TRUE(service.calls.isEmpty());

    ASSERT_TRUE(notifier.notify("Песня", "Исполнитель", "/tmp/cover file.png"));
    ASSERT_TRUE(waitFor([&] { return portal.calls.size() == 2; }, 5000));
    EXPECT_EQ(portal.icon, "file|file:///tmp/cover%20file.png");
}

TEST(Notifications, WithoutABusNothingIsSentAndNothingBreaks)
{
    DesktopNotifier notifier;
    notifier.setConnection(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none"));
    EXPECT_FALSE(notifier.notify("a", "b"));
}

// A track change told with the track's tags and cover, only when the user asked for it.
TEST_F(BusTest, TrackNoticesAreOffByDefaultThenSentAtEachTrackChangeWithTheCover)
{
    NotificationService service;
    ASSERT_NO_FATAL_FAILURE(
        serve("org.freedesktop.Notifications", "/org/freedesktop/Notifications", &service));
    const QString picture = root.filePath("front.jpg");
    ASSERT_EQ(TagFixtures::picture(picture, "green", 20), QString());
    ASSERT_EQ(
        TagFixtures::mp3(audio + "/a.mp3", {"Песня", "AC<DC> & Co", "Альбом", "1", QString()}, 2, 3, picture),
        QString());
    ASSERT_TRUE(Mp3Fixture::write(audio + "/Band - Plain.mp3", 2));
    Stores::playlist().assignEntries(
        {PlaylistEntry{"a.mp3", false}, PlaylistEntry{"Band - Plain.mp3", false}});
    TagCache tags(root.filePath("cache"), {});
    DesktopNotifier notifier;
    notifier.setConnection(*own);
    notifier.setUsePortal(false);
    TrackNotice notice(&tags, &notifier);
    QSignalSpy sent(&notifier, &DesktopNotifier::notified);
    MusicPlayer::shared().playSound(0);
    ASSERT_TRUE(waitFor(
        [&] {
            return tags.pending() == 0 &&
                   tags.coverPath(StorageLayout::getAudioDir() + QStringLiteral("/a.mp3")).size() > 0;
        },
        10000));
    QTest::qWait(50); // a notice on its way would arrive meanwhile
    EXPECT_EQ(sent.count(), 0) << "off unless turned on";
    EXPECT_TRUE(service.calls.isEmpty());
    EXPECT_FALSE(Settings::shared().boolValue(QLatin1String(TrackNotice::settingKey), true))
        << "the default is written as off";

    // Turned on: the next change is told, once the tags have come, with the file name where there are none.
    Settings::shared().setBool(QLatin1String(TrackNotice::settingKey), true);
    MusicPlayer::shared().playSound(1);
    ASSERT_TRUE(waitFor([&] { return service.calls.size() == 1; }, 10000));
    EXPECT_EQ(service.calls.at(0), "Melodrop|melodrop|Plain|Band");
    EXPECT_FALSE(service.hints.contains("image-path"));

    // A tagged track: title, artist and album (its markup characters kept as text), and the cover's file.
    MusicPlayer::shared().playSound(0);
    ASSERT_TRUE(waitFor([&] { return service.calls.size() == 2; }, 10000));
    EXPECT_EQ(service.calls.at(1), "Melodrop|melodrop|Песня|AC&lt;DC&gt; &amp; Co — Альбом");
    const QUrl image(service.hints.value("image-path").toString());
    ASSERT_TRUE(image.isLocalFile()) << image.toString().toStdString();
    EXPECT_EQ(TestSupport::readFile(image.toLocalFile()), TestSupport::readFile(picture));

    // Turned off again: nothing more.
    Settings::shared().setBool(QLatin1String(TrackNotice::settingKey), false);
    MusicPlayer::shared().playSound(1);
    QTest::qWait(100);
    EXPECT_EQ(service.calls.size(), 2);
}

// What is asked (title, one filter of globs) and what comes back (a local path, a cancel, no portal).
TEST_F(BusTest, TheFileChooserIsAskedWithTheFilterAndGivesTheChosenLocalFile)
{
    FileChooserPortal portal;
    ASSERT_NO_FATAL_FAILURE(serve("org.freedesktop.portal.Desktop", portalPath, &portal));
    QObject context;
    int answers = 0;
    Portals::ChooseResult result = Portals::ChooseResult::Unavailable;
    QString chosen;
    // Asks, and waits for the answer.
    const auto ask = [&] {
        const int before = answers;
        Portals::chooseFile("Импорт плейлиста", {"Плейлисты", {"*.m3u", "*.xspf"}}, &context,
                            [&](Portals::ChooseResult r, const QString &path) {
                                ++answers;
                                result = r;
                                chosen = path;
                            });
        return waitFor([&] { return answers == before + 1; }, 10000);
    };

    portal.uris = {"file:///home/u/%D0%9C%D0%BE%D0%B9%20%D0%BC%D0%B8%D0%BA%D1%81.m3u"};
    ASSERT_TRUE(ask());
    EXPECT_EQ(result, Portals::ChooseResult::Chosen);
    EXPECT_EQ(chosen, "/home/u/Мой микс.m3u");
    EXPECT_EQ(portal.title, "Импорт плейлиста");
    EXPECT_EQ(portal.filterSignature, "a(sa(us))");
    EXPECT_EQ(portal.filterName, "Плейлисты");
    EXPECT_EQ(portal.rules, (QList<QPair<uint, QString>>{{0, "*.m3u"}, {0, "*.xspf"}}));

    // Cancelled in the dialog; an address that is no local file is nothing this program can read.
    portal.responseCode = 1;
    ASSERT_TRUE(ask());
    EXPECT_EQ(result, Portals::ChooseResult::Cancelled);
    EXPECT_TRUE(chosen.isEmpty());
    portal.responseCode = 0;
    portal.uris = {"https://example.org/list.m3u"};
    ASSERT_TRUE(ask());
    EXPECT_EQ(result, Portals::ChooseResult::Cancelled);
    EXPECT_TRUE(chosen.isEmpty());

    // No portal on the bus: the caller hears that no chooser answers.
    desktop->unregisterService("org.freedesktop.portal.Desktop");
    ASSERT_TRUE(ask());
    EXPECT_EQ(result, Portals::ChooseResult::Unavailable);
}

TEST_F(BusTest, TheColorSchemeAnswerAndEveryLaterChangeAreFollowed)
{
    qunsetenv("MELODROP_COLOR_SCHEME");
    SettingsPortal portal;
    ASSERT_NO_FATAL_FAILURE(serve("org.freedesktop.portal.Desktop", portalPath, &portal));
    ColorScheme scheme;
    ASSERT_FALSE(scheme.dark()); // no GUI palette here: light until the portal says otherwise
    scheme.start(QDBusConnection::sessionBus());
    ASSERT_TRUE(waitFor([&] { return scheme.dark(); }, 5000));
    EXPECT_EQ(portal.reads, QStringList({"org.freedesktop.appearance color-scheme"}));

    QDBusMessage changed =
        QDBusMessage::createSignal(portalPath, "org.freedesktop.portal.Settings", "SettingChanged");
    changed << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
            << QVariant::fromValue(QDBusVariant(uint(ColorScheme::PreferLight)));
    ASSERT_TRUE(desktop->send(changed));
    EXPECT_TRUE(waitFor([&] { return !scheme.dark(); }, 5000));
}

// "Показать в папке" of the queue's rows: a file goes to ShowItems and a folder to ShowFolders, each as its
// percent-encoded file URI.
TEST_F(BusTest, TheFileManagerGetsTheFileOrTheFolderByItsUri)
{
    FakeFileManager manager;
    ASSERT_NO_FATAL_FAILURE(serve("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", &manager));
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.filePath("Моя музыка");
    const QString file = folder + QStringLiteral("/A & B #1.mp3.7.temp");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
    QObject context;
    int answers = 0;
    bool shown = false;
    const auto done = [&](bool ok) {
        ++answers;
        shown = ok;
    };

    Portals::showInFolder(file, &context, done);
    ASSERT_TRUE(waitFor([&] { return answers == 1; }, 5000));
    EXPECT_TRUE(shown);
    const QString folderUri = QStringLiteral("file://") + root.path() +
                              "/%D0%9C%D0%BE%D1%8F%20%D0%BC%D1%83%D0%B7%D1%8B%D0%BA%D0%B0";
    EXPECT_EQ(manager.items, QStringList{folderUri + QStringLiteral("/A%20&%20B%20%231.mp3.7.temp")});

    Portals::showInFolder(folder, &context, done);
    ASSERT_TRUE(waitFor([&] { return answers == 2; }, 5000));
    EXPECT_EQ(manager.folders, QStringList{folderUri});
    EXPECT_EQ(manager.items.size(), 1);
}

class SingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        name = folder.filePath("melodrop.socket");
    }

    // Waits for what another thread gives, the event loop turning meanwhile so that the running one can
    // answer.
    template <typename T> static T finish(std::future<T> result)
    {
        TestSupport::waitFor(
            [&] { return result.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        return result.get();
    }
    // A second start runs in a process of its own; here a thread plays it. Whether it handed its files over.
    bool secondStart(const QStringList &arguments, const QString &workingDirectory, int timeoutMs = 3000)
    {
        return finish(std::async(std::launch::async, [=, this] {
            SingleInstance other(name);
            return other.sendToRunningInstance(arguments, workingDirectory, timeoutMs);
        }));
    }
    // Sends raw bytes as a misbehaving client would, from another thread; returns what came back.
    QByteArray rawClient(const QByteArray &bytes)
    {
        return finish(std::async(std::launch::async, [=, this] {
            QLocalSocket socket;
            socket.connectToServer(name);
            if (!socket.waitForConnected(2000))
                return QByteArray("<no connection>");
            socket.write(bytes);
            socket.waitForBytesWritten(2000);
            socket.waitForReadyRead(1000);
            return socket.readAll();
        }));
    }

    QTemporaryDir folder;
    QString name;
};

TEST_F(SingleInstanceTest, ASecondStartHandsItsFilesToTheRunningProgram)
{
    SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::messageReceived);

    const QStringList files{"/music/one.mp3", "relative two.mp3",
                            "file:///video/%D0%BA%D0%BB%D0%B8%D0%BF.mp4"};
    EXPECT_TRUE(secondStart(files, "/home/user/Загрузки"));
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.at(0).at(0).toStringList(), files);
    EXPECT_EQ(received.at(0).at(1).toString(), "/home/user/Загрузки");

    // A start without files asks to bring the window forward.
    EXPECT_TRUE(secondStart({}, "/"));
    ASSERT_EQ(received.size(), 2);
    EXPECT_TRUE(received.at(1).at(0).toStringList().isEmpty());

    // While one runs, another cannot become the running program.
    SingleInstance rival(name);
    EXPECT_FALSE(rival.listen());
    EXPECT_TRUE(running.isListening());
}

TEST_F(SingleInstanceTest, WithoutARunningProgramNothingIsSentAndTheSocketIsOwnerOnly)
{
    SingleInstance first(name);
    EXPECT_FALSE(secondStart({"a.mp3"}, "/", 500));
    ASSERT_TRUE(first.listen());
    const QFileInfo socket(name);
    ASSERT_TRUE(socket.exists());
    EXPECT_FALSE(socket.permissions() & (QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                         QFileDevice::ReadOther | QFileDevice::WriteOther));
}

TEST_F(SingleInstanceTest, ASocketLeftBehindByACrashIsTakenOver)
{
    // A bound socket file whose program is gone.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const QByteArray path = name.toUtf8();
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFileInfo::exists(name));

    SingleInstance running(name);
    EXPECT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::messageReceived);
    EXPECT_TRUE(secondStart({"x.mp3"}, "/"));
    EXPECT_EQ(received.size(), 1);
}

TEST_F(SingleInstanceTest, MalformedMessagesAreDroppedAndTheProgramKeepsListening)
{
    SingleInstance running(name);
    ASSERT_TRUE(running.listen());
    QSignalSpy received(&running, &SingleInstance::messageReceived);

    auto header = [](quint32 magic, quint32 length) {
        QByteArray bytes;
        QDataStream out(&bytes, QIODevice::WriteOnly);
        out << magic << length;
        return bytes;
    };
    // A payload whose list claims far more items than it holds.
    QByteArray lying;
    {
        QDataStream out(&lying, QIODevice::WriteOnly);
        out.setVersion(QDataStream::Qt_6_4);
        out << QStringLiteral("/") << quint32(0x7fffffff) << QStringLiteral("only one");
    }
    const QList<QByteArray> attempts{
        QByteArray("GET / HTTP/1.0\r\n\r\n"), header(0x4d454c4f, 0xffffffff), // longer than allowed
        header(0x4d454c4f, quint32(lying.size())) + lying,                    // lying count
        header(0x4d454c4f, 6) + QByteArray("\x00\x00\x00\x08zz", 6),          // truncated text
    };
    for (const QByteArray &attempt : attempts)
        EXPECT_NE(rawClient(attempt), QByteArray("K"));
    EXPECT_TRUE(received.isEmpty());

    EXPECT_TRUE(secondStart({"fine.mp3"}, "/"));
    ASSERT_EQ(received.size(), 1);
    EXPECT_EQ(received.at(0).at(0).toStringList(), QStringList{"fine.mp3"});
}

TEST_F(SingleInstanceTest, EachDocumentsFolderHasItsOwnSocket)
{
    const QString a = SingleInstance::serverNameFor("/home/user/Documents/Melodrop");
    EXPECT_EQ(a, SingleInstance::serverNameFor("/home/user/Documents/Melodrop"));
    EXPECT_NE(a, SingleInstance::serverNameFor("/tmp/other root"));
    EXPECT_TRUE(QFileInfo(a).isAbsolute());
    EXPECT_LT(a.toUtf8().size(), 108); // the limit of a socket address
}

} // namespace

#include "test_desktop.moc"
