#pragma once

#include "TestSupport.h"

#include <QProcess>
#include <QString>

namespace TestSupport {

// A session bus of the test's own (a dbus-daemon living as long as this object), so that nothing on the
// machine's bus is touched or needed.
class PrivateBus
{
public:
    PrivateBus() = default;
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;
    ~PrivateBus()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(3000))
            m_daemon.kill();
    }

    // Starts the daemon; true once it has told its address.
    bool start()
    {
        m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted(5000) || !waitFor([&] { return m_daemon.canReadLine(); }, 5000))
            return false;
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        return !address.isEmpty();
    }

    QString address;

private:
    QProcess m_daemon;
};

} // namespace TestSupport
