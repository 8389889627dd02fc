#include "desktop/Badges.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

Badges &Badges::shared()
{
    static Badges *instance = new Badges;
    return *instance;
}

void Badges::setApplicationBadge(int count)
{
    if (count != m_count) {
        m_count = count;
        Q_EMIT queueCountChanged();
    }
    // Docks and panels that follow the Unity launcher API show the count on the program's icon.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/melodrop/Melodrop"),
                                                     QStringLiteral("com.canonical.Unity.LauncherEntry"),
                                                     QStringLiteral("Update"));
    const QVariantMap properties{{QStringLiteral("count"), qint64(count)},
                                 {QStringLiteral("count-visible"), count > 0}};
    signal << QStringLiteral("application://melodrop.desktop") << properties;
    bus.send(signal);
}
