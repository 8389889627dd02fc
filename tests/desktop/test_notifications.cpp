// The queue's "finished" notice as the desktop receives it: over org.freedesktop.Notifications, or through
// the Notification portal inside a sandbox, on a private bus with stand-ins for both services.
#include "../library/TagFixtures.h"
#include "../support/Mp3Fixture.h"
#include "../support/PrivateBus.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "desktop/DesktopNotifier.h"
#include "desktop/TrackNotice.h"
#include "library/TagCache.h"
#include "playback/MusicPlayer.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusVariant>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QVariantMap>

#include <gtest/gtest.h>

namespace {

using TestSupport::waitFor;

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

class NotificationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bus.start());
        address = bus.address;
        services = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "services"));
        ASSERT_TRUE(services->isConnected());
        ASSERT_TRUE(services->registerService("org.freedesktop.Notifications"));
        ASSERT_TRUE(services->registerObject("/org/freedesktop/Notifications", &service,
                                             QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(services->registerService("org.freedesktop.portal.Desktop"));
        ASSERT_TRUE(services->registerObject("/org/freedesktop/portal/desktop", &portal,
                                             QDBusConnection::ExportAllSlots));
        client = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(address, "client"));
        ASSERT_TRUE(client->isConnected());
        notifier.setConnection(*client);
    }
    void TearDown() override
    {
        client.reset();
        QDBusConnection::disconnectFromBus("client");
        services.reset();
        QDBusConnection::disconnectFromBus("services");
    }

    TestSupport::PrivateBus bus;
    QString address;
    NotificationService service;
    NotificationPortal portal;
    std::unique_ptr<QDBusConnection> services;
    std::unique_ptr<QDBusConnection> client;
    DesktopNotifier notifier;
};

TEST_F(NotificationsTest, TheDesktopServiceGetsTheNoticeWithTheProgramsNameAndIcon)
{
    notifier.setUsePortal(false);
    ASSERT_TRUE(notifier.notify("Загрузки завершены", "Сохранено файлов: 3"));
    ASSERT_TRUE(waitFor([&] { return service.calls.size() == 1; }, 5000));
    EXPECT_EQ(service.calls.first(), "Melodrop|melodrop|Загрузки завершены|Сохранено файлов: 3");
    EXPECT_EQ(service.hints.value("desktop-entry").toString(), "melodrop");
    EXPECT_TRUE(portal.calls.isEmpty());
}

// Inside a sandbox the portal gets it, a cover as a file icon.
TEST_F(NotificationsTest, InsideASandboxThePortalGetsIt)
{
    notifier.setUsePortal(true);
    ASSERT_TRUE(notifier.notify("Загрузки завершены", "Сохранено файлов: 1"));
    ASSERT_TRUE(waitFor([&] { return portal.calls.size() == 1; }, 5000));
    EXPECT_EQ(portal.calls.first(), "1|Загрузки завершены|Сохранено файлов: 1");
    EXPECT_TRUE(service.calls.isEmpty());

    ASSERT_TRUE(notifier.notify("Песня", "Исполнитель", "/tmp/cover file.png"));
    ASSERT_TRUE(waitFor([&] { return portal.calls.size() == 2; }, 5000));
    EXPECT_EQ(portal.icon, "file|file:///tmp/cover%20file.png");
}

// A track change told with the track's tags and cover, only when the user asked for it.
class TrackNoticeTest : public NotificationsTest
{
protected:
    void SetUp() override
    {
        NotificationsTest::SetUp();
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.filePath("documents"));
        Settings::setSharedPath(root.filePath("settings.conf"));
        GlobalData::sharedGlobalData();
        Mp3Fixture::resetPlayerState();
        picture = root.filePath("front.jpg");
        ASSERT_EQ(TagFixtures::picture(picture, "green", 20), QString());
        ASSERT_EQ(TagFixtures::mp3(StorageLayout::getAudioDir() + QStringLiteral("/a.mp3"),
                                   {"Песня", "AC<DC> & Co", "Альбом", "1", QString()}, 2, 3, picture),
                  QString());
        ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/Band - Plain.mp3"), 2));
        Stores::playlist().assignEntries(
            {PlaylistEntry{"a.mp3", false}, PlaylistEntry{"Band - Plain.mp3", false}});
    }
    void TearDown() override
    {
        Mp3Fixture::resetPlayerState();
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
        NotificationsTest::TearDown();
    }

    QTemporaryDir root;
    QString picture;
};

TEST_F(TrackNoticeTest, OffByDefaultThenSentAtEachTrackChangeWithTheCover)
{
    TagCache tags(root.filePath("cache"), {});
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

TEST(Notifications, WithoutABusNothingIsSentAndNothingBreaks)
{
    DesktopNotifier notifier;
    notifier.setConnection(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "none"));
    EXPECT_FALSE(notifier.notify("a", "b"));
}

} // namespace

#include "test_notifications.moc"
