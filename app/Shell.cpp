#include "app/Shell.h"

#include "app/LoginForm.h"
#include "app/Settings.h"
#include "media/Badges.h"
#include "screens/AudioMenu.h"
#include "screens/AudioResults.h"
#include "screens/ProgressOverlay.h"

#include <QQmlEngine>

Shell::Shell(QObject *parent) : QObject(parent), m_queue(new Queue(this))
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
    qmlRegisterUncreatableType<CatalogueMenu>("Melodrop", 1, 0, "CatalogueMenu", QStringLiteral("Use Audio or Video"));
    qmlRegisterType<Audio>("Melodrop", 1, 0, "Audio");
    qmlRegisterType<Video>("Melodrop", 1, 0, "Video");
    qmlRegisterUncreatableType<AudioResults>("Melodrop", 1, 0, "AudioResults", QStringLiteral("Use one of the screens"));
    qmlRegisterType<Audio_Search>("Melodrop", 1, 0, "Audio_Search");
    qmlRegisterType<Audio_Personal>("Melodrop", 1, 0, "Audio_Personal");
    qmlRegisterType<Audio_Group>("Melodrop", 1, 0, "Audio_Group");
    qmlRegisterType<Audio_Recommended>("Melodrop", 1, 0, "Audio_Recommended");
    qmlRegisterUncreatableType<AudioRecordModel>("Melodrop", 1, 0, "AudioRecordModel", QStringLiteral("Owned by a screen"));
    qmlRegisterUncreatableType<MpvPlayer>("Melodrop", 1, 0, "MpvPlayer", QStringLiteral("Owned by a screen"));
    qmlRegisterUncreatableType<Queue>("Melodrop", 1, 0, "Queue", QStringLiteral("The shell owns the queue"));
    qmlRegisterUncreatableType<ProgressOverlay>("Melodrop", 1, 0, "ProgressOverlay",
                                                QStringLiteral("An overlay belongs to its screen"));
}

bool Shell::shouldAutorotate() const
{
    return Settings::shared().boolValue(QStringLiteral("settings_rotation"), true);
}

QString Shell::windowTitle() const
{
    return queueBadge() > 0 ? QStringLiteral("Melodrop (%1)").arg(queueBadge()) : QStringLiteral("Melodrop");
}
