#include "app/SandboxProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef __linux__
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {
constexpr int startTimeoutMs = 10000;
constexpr int stopTimeoutMs = 3000;
} // namespace

SandboxProcess::~SandboxProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(stopTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(stopTimeoutMs);
    }
}

QString SandboxProcess::programPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/melodrop-sandbox");
}

bool SandboxProcess::start(QString *error)
{
    const QString program = programPath();
    if (!QFileInfo(program).isExecutable()) {
        *error = QStringLiteral("%1 is missing").arg(program);
        return false;
    }
#ifdef __linux__
    // Should this program die without running its destructors, the stand-in goes with it.
    m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    m_process.start(program, {QStringLiteral("--port"), QStringLiteral("0")});
    if (!m_process.waitForStarted(startTimeoutMs)) {
        *error = m_process.errorString();
        return false;
    }
    // The first line on standard output is the base address; standard error announces the account.
    const QDeadlineTimer deadline(startTimeoutMs);
    QByteArray errors;
    while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
        if (m_baseUrl.isEmpty() && m_process.canReadLine())
            m_baseUrl = QString::fromUtf8(m_process.readLine()).trimmed();
        errors += m_process.readAllStandardError();
        if (!m_baseUrl.isEmpty() && errors.contains('\n'))
            break;
        m_process.waitForReadyRead(100);
    }
    if (m_baseUrl.isEmpty()) {
        *error = QStringLiteral("%1 printed no address").arg(program);
        return false;
    }
    static const QRegularExpression accountPattern(QStringLiteral("\\(account (.+)\\)"));
    const QRegularExpressionMatch match = accountPattern.match(QString::fromUtf8(errors));
    if (match.hasMatch())
        m_account = match.captured(1);
    // Later output of the stand-in is its own business, but its pipes must not fill up.
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process,
                     [this] { m_process.readAllStandardError(); });
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process,
                     [this] { m_process.readAllStandardOutput(); });
    return true;
}
