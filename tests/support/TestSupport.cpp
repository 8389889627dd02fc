#include "TestSupport.h"

#include "core/Pacing.h"
#include "decoding/Log.h"
#include "service/Session.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

namespace TestSupport {

QString dataPath(const QString &name)
{
    return QStringLiteral(MELODROP_TEST_DATA "/") + name;
}

QByteArray readData(const QString &name)
{
    QFile file(dataPath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

LogCapture::LogCapture()
{
    m_previous = Log::setSink([this](const QString &line) {
        std::lock_guard lock(m_mutex);
        m_lines << line;
    });
}

LogCapture::~LogCapture()
{
    Log::setSink(m_previous);
}

QStringList LogCapture::lines() const
{
    std::lock_guard lock(m_mutex);
    return m_lines;
}

int LogCapture::count(const QString &line) const
{
    std::lock_guard lock(m_mutex);
    return int(m_lines.count(line));
}

CliRun runCli(const QStringList &args, const QByteArray &input)
{
    QProcess process;
    process.start(qEnvironmentVariable("MELODROP_CLI"), args);
    if (!process.waitForStarted(10000))
        return {};
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

bool signIn(const QString &email, const QString &password)
{
    LogCapture quiet;
    return Session::signIn(email, password).outcome == Session::SignInResult::SignedIn;
}

void isolateSessionBus()
{
    if (qEnvironmentVariableIsEmpty("MELODROP_TEST_OWN_BUS"))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/melodrop-test-bus");
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

PacingScope::PacingScope(double scale) : m_previous(Pacing::scale())
{
    Pacing::setScale(scale);
}

PacingScope::~PacingScope()
{
    Pacing::setScale(m_previous);
}

} // namespace TestSupport
