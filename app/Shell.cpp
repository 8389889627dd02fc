#include "app/Shell.h"

#include "app/LoginForm.h"
#include "screens/ProgressOverlay.h"

#include <QQmlEngine>

Shell::Shell(QObject *parent) : QObject(parent) {}

void Shell::registerQmlTypes(Shell *shell)
{
    qmlRegisterSingletonInstance("Melodrop", 1, 0, "Shell", shell);
    qmlRegisterType<LoginForm>("Melodrop", 1, 0, "LoginForm");
    qmlRegisterUncreatableType<ProgressOverlay>("Melodrop", 1, 0, "ProgressOverlay",
                                                QStringLiteral("An overlay belongs to its screen"));
}

void Shell::setQueueBadge(int count)
{
    if (count == m_queueBadge)
        return;
    m_queueBadge = count;
    Q_EMIT queueBadgeChanged();
}

QString Shell::windowTitle() const
{
    return m_queueBadge > 0 ? QStringLiteral("Melodrop (%1)").arg(m_queueBadge) : QStringLiteral("Melodrop");
}
