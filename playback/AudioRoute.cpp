#include "playback/AudioRoute.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "playback/AudioPlayer.h"

namespace AudioRoute {

void audioRouteChangeListener(quint32 property, const QVariantMap &value, Settings *settings)
{
    if (property != routeChangeProperty)
        return;
    if (value.value(QLatin1String(reasonKey)).toInt() != oldDeviceUnavailable)
        return;
    Settings &store = settings ? *settings : Settings::shared();
    if (!store.boolValue(QStringLiteral("settings_autopause"), true))
        return;
    // The player itself, not the player screen: nothing else is to change.
    if (AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer)
        player->pause();
}

int reasonForChange(const QStringList &before, const QStringList &after, const QString &inUse)
{
    bool lost = false;
    for (const QString &device : before) {
        if (!after.contains(device) && (inUse == QLatin1String("auto") || device == inUse))
            lost = true;
    }
    if (lost)
        return oldDeviceUnavailable;
    for (const QString &device : after) {
        if (!before.contains(device))
            return newDeviceAvailable;
    }
    return 0;
}

} // namespace AudioRoute
