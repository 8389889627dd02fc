#include "playback/AudioRoute.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "playback/AudioPlayer.h"

#include <QMetaObject>

#include <clocale>

#include <mpv/client.h>

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

namespace {

void onWakeup(void *context)
{
    QMetaObject::invokeMethod(static_cast<AudioRouteMonitor *>(context), "handleEvents",
                              Qt::QueuedConnection);
}

QStringList deviceNames(const mpv_node &list)
{
    QStringList names;
    if (list.format != MPV_FORMAT_NODE_ARRAY || !list.u.list)
        return names;
    for (int i = 0; i < list.u.list->num; ++i) {
        const mpv_node &device = list.u.list->values[i];
        if (device.format != MPV_FORMAT_NODE_MAP || !device.u.list)
            continue;
        for (int k = 0; k < device.u.list->num; ++k) {
            const mpv_node &field = device.u.list->values[k];
            if (qstrcmp(device.u.list->keys[k], "name") == 0 && field.format == MPV_FORMAT_STRING)
                names << QString::fromUtf8(field.u.string);
        }
    }
    return names;
}

} // namespace

AudioRouteMonitor::AudioRouteMonitor(QObject *parent) : QObject(parent) {}

AudioRouteMonitor::~AudioRouteMonitor()
{
    if (m_mpv) {
        mpv_set_wakeup_callback(m_mpv, nullptr, nullptr);
        mpv_terminate_destroy(m_mpv);
    }
}

bool AudioRouteMonitor::start()
{
    if (m_mpv)
        return true;
    std::setlocale(LC_NUMERIC, "C"); // libmpv refuses to start under a locale with a decimal comma
    m_mpv = mpv_create();
    if (!m_mpv)
        return false;
    mpv_set_option_string(m_mpv, "vo", "null");
    mpv_set_option_string(m_mpv, "terminal", "no");
    mpv_set_option_string(m_mpv, "idle", "yes");
    const QByteArray ao = qgetenv("MELODROP_MPV_AO");
    if (!ao.isEmpty())
        mpv_set_option_string(m_mpv, "ao", ao.constData());
    if (mpv_initialize(m_mpv) < 0) {
        mpv_terminate_destroy(m_mpv);
        m_mpv = nullptr;
        return false;
    }
    char *device = mpv_get_property_string(m_mpv, "audio-device");
    if (device) {
        m_inUse = QString::fromUtf8(device);
        mpv_free(device);
    }
    mpv_set_wakeup_callback(m_mpv, onWakeup, this);
    mpv_observe_property(m_mpv, 1, "audio-device-list", MPV_FORMAT_NODE);
    return true;
}

void AudioRouteMonitor::devicesChanged(const QStringList &devices)
{
    if (!m_known) {
        m_known = true;
        m_devices = devices;
        return;
    }
    const int reason = AudioRoute::reasonForChange(m_devices, devices, m_inUse);
    m_devices = devices;
    if (reason == 0)
        return;
    AudioRoute::audioRouteChangeListener(AudioRoute::routeChangeProperty,
                                         {{QLatin1String(AudioRoute::reasonKey), reason}});
    Q_EMIT routeChanged(reason);
}

void AudioRouteMonitor::handleEvents()
{
    while (m_mpv) {
        mpv_event *event = mpv_wait_event(m_mpv, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        if (event->event_id != MPV_EVENT_PROPERTY_CHANGE)
            continue;
        auto *property = static_cast<mpv_event_property *>(event->data);
        if (property->format == MPV_FORMAT_NODE && property->data)
            devicesChanged(deviceNames(*static_cast<mpv_node *>(property->data)));
    }
}
