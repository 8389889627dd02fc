#include "desktop/DesktopNotifier.h"

#include <QDBusMessage>
#include <QFile>
#include <QUuid>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent), m_usePortal(sandboxed()) {}

bool DesktopNotifier::sandboxed()
{
    return QFile::exists(QStringLiteral("/.flatpak-info")) || qEnvironmentVariableIsSet("SNAP");
}

bool DesktopNotifier::notify(const QString &summary, const QString &body)
{
    QDBusConnection bus = m_connection ? *m_connection : QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call;
    if (m_usePortal) {
        call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.portal.Desktop"),
                                              QStringLiteral("/org/freedesktop/portal/desktop"),
                                              QStringLiteral("org.freedesktop.portal.Notification"),
                                              QStringLiteral("AddNotification"));
        QVariantMap notification;
        notification.insert(QStringLiteral("title"), summary);
        notification.insert(QStringLiteral("body"), body);
        call << QUuid::createUuid().toString(QUuid::WithoutBraces) << notification;
    } else {
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        QVariantMap hints;
        hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("melodrop"));
        call << QStringLiteral("Melodrop") << quint32(0) << QStringLiteral("melodrop") << summary << body
             << QStringList() << hints << qint32(-1);
    }
    const bool sent = bus.send(call);
    if (sent)
        Q_EMIT notified(summary, body);
    return sent;
}
