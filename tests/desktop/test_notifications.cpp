// The queue's "finished" notice as the desktop receives it: over org.freedesktop.Notifications, or through
// the Notification portal inside a sandbox, on a private bus with stand-ins for both services.
#include "../support/TestSupport.h"

#include "desktop/DesktopNotifier.h"

#include <QDBusConnection>
#include <QProcess>
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
    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int timeout)
    {
        Q_UNUSED(replacesId);
        Q_UNUSED(actions);
        Q_UNUSED(timeout);
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

public Q_SLOTS:
    void AddNotification(const QString &id, const QVariantMap &notification)
    {
        calls << QString::number(!id.isEmpty()) + '|' + notification.value("title").toString() + '|' +
                     notification.value("body").toString();
    }
};

class NotificationsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        ASSERT_TRUE(daemon.waitForStarted(5000));
        ASSERT_TRUE(waitFor([&] { return daemon.canReadLine(); }, 5000));
        address = QString::fromUtf8(daemon.readLine()).trimmed();
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
    }
    void TearDown() override
    {
        client.reset();
        QDBusConnection::disconnectFromBus("client");
        services.reset();
        QDBusConnection::disconnectFromBus("services");
        daemon.terminate();
        if (!daemon.waitForFinished(3000))
            daemon.kill();
    }

    QProcess daemon;
    QString address;
    NotificationService service;
    NotificationPortal portal;
    std::unique_ptr<QDBusConnection> services;
    std::unique_ptr<QDBusConnection> client;
};

TEST_F(NotificationsTest, TheDesktopServiceGetsTheNoticeWithTheProgramsNameAndIcon)
{
    DesktopNotifier notifier;
    notifier.setConnection(*client);
    notifier.setUsePortal(false);
    ASSERT_TRUE(notifier.notify(QStringLiteral("Загрузки завершены"), QStringLiteral("Сохранено файлов: 3")));
    ASSERT_TRUE(waitFor([&] { return service.calls.size() == 1; }, 5000));
    EXPECT_EQ(service.calls.first(),
              QStringLiteral("Melodrop|melodrop|Загрузки завершены|Сохранено файлов: 3"));
    EXPECT_EQ(service.hints.value("desktop-entry").toString(), QStringLiteral("melodrop"));
    EXPECT_TRUE(portal.calls.isEmpty());
}

TEST_F(NotificationsTest, InsideASandboxThePortalGetsIt)
{
    DesktopNotifier notifier;
    notifier.setConnection(*client);
    notifier.setUsePortal(true);
    ASSERT_TRUE(notifier.notify(QStringLiteral("Загрузки завершены"), QStringLiteral("Сохранено файлов: 1")));
    ASSERT_TRUE(waitFor([&] { return portal.calls.size() == 1; }, 5000));
    EXPECT_EQ(portal.calls.first(), QStringLiteral("1|Загрузки завершены|Сохранено файлов: 1"));
    EXPECT_TRUE(service.calls.isEmpty());
}

TEST(Notifications, WithoutABusNothingIsSentAndNothingBreaks)
{
    DesktopNotifier notifier;
    notifier.setConnection(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "none"));
    EXPECT_FALSE(notifier.notify(QStringLiteral("a"), QStringLiteral("b")));
}

} // namespace

#include "test_notifications.moc"
