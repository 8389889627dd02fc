#pragma once

#include <QStringList>
#include <QVariantMap>

class Settings;

// The audio-route rule: when the output device in use goes away (headphones unplugged), the shared player
// pauses, if "settings_autopause" allows it (true unless set otherwise; written as true when absent).
namespace AudioRoute {

// Identifier of the route-change property ('roch').
constexpr quint32 routeChangeProperty = 0x726F6368;
// Reasons of a route change.
constexpr int newDeviceAvailable = 1;
constexpr int oldDeviceUnavailable = 2;
constexpr const char *reasonKey = "OutputDeviceDidChange_Reason";

// The listener: `value` carries the reason under reasonKey. Only reason 2 of the route-change property acts.
// `settings` defaults to the program's store.
void audioRouteChangeListener(quint32 property, const QVariantMap &value, Settings *settings = nullptr);

// The reason for going from the output devices `before` to `after` while `inUse` plays ("auto": whichever the
// sound server picked); 0 when the route did not change. Under "auto" the device actually used is unknown, so
// losing any device counts as losing it.
int reasonForChange(const QStringList &before, const QStringList &after, const QString &inUse);

} // namespace AudioRoute
