// The desktop's light or dark preference as the Settings portal gives it, read from a stand-in portal on a
// private bus.
#include "../support/PrivateBus.h"
#include "../support/TestSupport.h"

#include "desktop/ColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <gtest/gtest.h>

namespace {

using TestSupport::waitFor;

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

TEST(ColorSchemePortal, TheAnswerAndEveryLaterChangeAreFollowed)
{
    qunsetenv("MELODROP_COLOR_SCHEME");
    TestSupport::PrivateBus bus;
    ASSERT_TRUE(bus.start());
    const QString address = bus.address;
    {
        QDBusConnection services = QDBusConnection::connectToBus(address, "portal");
        ASSERT_TRUE(services.registerService("org.freedesktop.portal.Desktop"));
        SettingsPortal portal;
        ASSERT_TRUE(services.registerObject("/org/freedesktop/portal/desktop", &portal,
                                            QDBusConnection::ExportAllSlots));
        QDBusConnection client = QDBusConnection::connectToBus(address, "client");
        ASSERT_TRUE(client.isConnected());

        ColorScheme scheme;
        ASSERT_FALSE(scheme.dark()); // no GUI palette here: light until the portal says otherwise
        scheme.start(client);
        ASSERT_TRUE(waitFor([&] { return scheme.dark(); }, 5000));
        EXPECT_EQ(portal.reads, QStringList({"org.freedesktop.appearance color-scheme"}));

        QDBusMessage changed = QDBusMessage::createSignal(
            "/org/freedesktop/portal/desktop", "org.freedesktop.portal.Settings", "SettingChanged");
        changed << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
                << QVariant::fromValue(QDBusVariant(uint(ColorScheme::PreferLight)));
        ASSERT_TRUE(services.send(changed));
        EXPECT_TRUE(waitFor([&] { return !scheme.dark(); }, 5000));
    }
    QDBusConnection::disconnectFromBus("client");
    QDBusConnection::disconnectFromBus("portal");
}

} // namespace

#include "test_color_scheme.moc"
