#include "app/Shell.h"

#include "app/LoginForm.h"
#include "media/Badges.h"
#include "screens/ProgressOverlay.h"

#include <QQmlEngine>

Shell::Shell(QObject *parent) : QObject(parent)
{
    connect(&Badges::shared(), &Badges::queueCountChanged, this, &Shell::queueBadgeChanged);
}

int Shell::queueBadge() const
{
    return Badges::shared().queueCount();
}

void Shell::registerQmlTypes(Shell *shell)
{
    qmlRegisterSingletonInstance("Melodrop", 1, 0, "Shell", shell);
    qmlRegisterType<LoginForm>("Melodrop", 1, 0, "LoginForm");
    qmlRegisterUncreatableType<ProgressOverlay>("Melodrop", 1, 0, "ProgressOverlay",
                                                QStringLiteral("An overlay belongs to its screen"));
}

QString Shell::windowTitle() const
{
    return queueBadge() > 0 ? QStringLiteral("Melodrop (%1)").arg(queueBadge()) : QStringLiteral("Melodrop");
}
