#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <optional>

// Desktop notifications: org.freedesktop.Notifications on the session bus, or the Notification portal when
// the program runs inside a sandbox (Flatpak, Snap), where the portal is the way out. Fire and forget: a
// desktop without a notification service simply shows nothing.
class DesktopNotifier : public QObject
{
    Q_OBJECT
public:
    explicit DesktopNotifier(QObject *parent = nullptr);

    // Shows `summary` with `body` under the program's name and icon, with the picture at `image` (a local
    // file; empty for none); false when no session bus is there. Both texts are plain text, whatever they
    // hold.
    bool notify(const QString &summary, const QString &body, const QString &image = QString());

    // Whether this process runs inside a Flatpak or Snap sandbox.
    static bool sandboxed();

    void setUsePortal(bool usePortal) { m_usePortal = usePortal; }
    // The bus to talk to; the session bus unless set (tests use a private one).
    void setConnection(const QDBusConnection &connection) { m_connection = connection; }

Q_SIGNALS:
    // Every notification handed to the bus, for whoever logs or tests it.
    void notified(const QString &summary, const QString &body);

private:
    bool m_usePortal;
    std::optional<QDBusConnection> m_connection;
};
