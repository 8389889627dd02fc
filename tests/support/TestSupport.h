#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <mutex>

// Shared helpers of the test executables.
namespace TestSupport {

// Path of a file under tests/data.
QString dataPath(const QString &name);
QByteArray readData(const QString &name);

// Collects the log lines written while it lives.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    QStringList lines() const;
    int count(const QString &line) const;

private:
    mutable std::mutex m_mutex;
    QStringList m_lines;
    std::function<void(const QString &)> m_previous;
};

// One run of the command-line client (MELODROP_CLI) with `args` and `input` on its standard input.
struct CliRun
{
    int exitCode = -1; // -1 when it did not start or crashed
    QString out;
    QString err;
};
CliRun runCli(const QStringList &args, const QByteArray &input = QByteArray());

// Signs in with these credentials (the log lines it writes are swallowed); true when a session came back.
bool signIn(const QString &email, const QString &password);

// Runs the program's deliberate pauses at `scale` while it lives (the suite's default is 0: no pauses).
class PacingScope
{
public:
    explicit PacingScope(double scale);
    ~PacingScope();
    PacingScope(const PacingScope &) = delete;
    PacingScope &operator=(const PacingScope &) = delete;

private:
    double m_previous;
};

// Keeps the test off the session bus of whoever runs it (a real keyring above all): the bus address points
// nowhere, unless the test runs on a bus of its own (tests/support/with-secret-service.sh says so through
// MELODROP_TEST_OWN_BUS). Tests that need a bus start one.
void isolateSessionBus();

// Spins the event loop until `done` holds or `timeoutMs` passes; returns whether it held.
bool waitFor(const std::function<bool()> &done, int timeoutMs = 10000);

} // namespace TestSupport
