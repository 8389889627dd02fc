#include "desktop/DesktopNotifier.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QUrl>
#include <QUuid>
#include <QVariantMap>

DesktopNotifier::DesktopNotifier(QObject *parent) : QObject(parent), m_usePortal(sandboxed()) {}

bool DesktopNotifier::sandboxed()
{
    return QFile::exists(QStringLiteral("/.flatpak-info")) || qEnvironmentVariableIsSet("SNAP");
}

bool DesktopNotifier::notify(const QString &summary, const QString &body, const QString &image)
{
    const QString imageUrl =
        image.isEmpty() ? QString() : QUrl::fromLocalFile(image).toString(QUrl::FullyEncoded);
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
        if (!imageUrl.isEmpty()) {
            // A serialized GIcon of a file: ("file", <"file:///…">). URIs go out percent-encoded, as GIO
            // reads them.
            QDBusArgument icon;
            icon.beginStructure();
            icon << QStringLiteral("file") << QDBusVariant(imageUrl);
            icon.endStructure();
            notification.insert(QStringLiteral("icon"), QVariant::fromValue(icon));
        }
        call << QUuid::createUuid().toString(QUuid::WithoutBraces) << notification;
    } else {
        call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        QVariantMap hints;
        hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("melodrop"));
        if (!imageUrl.isEmpty())
            hints.insert(QStringLiteral("image-path"), imageUrl);
        // The body may be read as markup by the notification service: a tag's "<" or "&" must stay text.
        call << QStringLiteral("Melodrop") << quint32(0) << QStringLiteral("melodrop") << summary
             << body.toHtmlEscaped() << QStringList() << hints << qint32(-1);
    }
    const bool sent = bus.send(call);
    if (sent)
        Q_EMIT notified(summary, body);
    return sent;
}
