#pragma once

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace TestSupport {

// A session bus of the test's own (a dbus-daemon living as long as this object), so that nothing on the
// machine's bus is touched or needed. It has no service folders: nothing is started on demand, so the
// desktop's real portals can never open a window or a mail program.
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
        const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!m_folder.isValid() || !file.open(QIODevice::WriteOnly))
            return false;
        file.write(QStringLiteral(
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                       "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                       "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                       .arg(m_folder.path())
                       .toUtf8());
        file.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config, "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted(5000) || !waitFor([&] { return m_daemon.canReadLine(); }, 5000))
            return false;
        address = QString::fromUtf8(m_daemon.readLine()).trimmed();
        return !address.isEmpty();
    }

    QString address;

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
};

// One private bus for a whole test program, made its session bus before any case connects (the program
// connects to its session bus once). Register it with ::testing::AddGlobalTestEnvironment.
class PrivateBusEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        bus = std::make_unique<PrivateBus>();
        ASSERT_TRUE(bus->start()) << "dbus-daemon could not start a private bus";
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address.toUtf8());
    }
    void TearDown() override { bus.reset(); }

    static inline std::unique_ptr<PrivateBus> bus;
};

} // namespace TestSupport
