#include "playback/AudioRouteMonitor.h"

#include "core/GlobalData.h"
#include "playback/AudioRoute.h"
#include "playback/MpvHandle.h"
#include "playback/PlayerEvents.h"
#include "playback/PulseOutputWatch.h"

namespace {

// The application name the music's libmpv instance gives its stream.
const QString musicClientName = QStringLiteral("Melodrop");

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

AudioRouteMonitor::~AudioRouteMonitor() = default;

bool AudioRouteMonitor::start()
{
    if (m_pulse || m_mpv)
        return true;
    m_pulse = new PulseOutputWatch(musicClientName, this);
    connect(m_pulse, &PulseOutputWatch::connected, this, [this] { m_serverConnected = true; });
    connect(m_pulse, &PulseOutputWatch::sinkChanged, this, &AudioRouteMonitor::sinkChanged);
    connect(m_pulse, &PulseOutputWatch::sinkRemoved, this, &AudioRouteMonitor::sinkRemoved);
    connect(m_pulse, &PulseOutputWatch::streamSinkChanged, this, &AudioRouteMonitor::streamSinkChanged);
    connect(m_pulse, &PulseOutputWatch::defaultSinkChanged, this, &AudioRouteMonitor::defaultSinkChanged);
    // No server, or it went away: libmpv's device list is what is left to watch.
    connect(m_pulse, &PulseOutputWatch::failed, this, [this] {
        m_serverConnected = false;
        m_pulse->deleteLater();
        m_pulse = nullptr;
        watchDeviceList();
    });
    if (m_pulse->start())
        return true;
    delete m_pulse;
    m_pulse = nullptr;
    return watchDeviceList();
}

void AudioRouteMonitor::report(int reason)
{
    if (reason == 0)
        return;
    AudioRoute::audioRouteChangeListener(AudioRoute::routeChangeProperty,
                                         {{QLatin1String(AudioRoute::reasonKey), reason}});
    Q_EMIT routeChanged(reason);
}

void AudioRouteMonitor::sinkChanged(const OutputSink &sink)
{
    report(m_tracker.sinkChanged(sink));
}

void AudioRouteMonitor::sinkRemoved(quint32 index)
{
    report(m_tracker.sinkRemoved(index));
}

void AudioRouteMonitor::streamSinkChanged(quint32 index)
{
    report(m_tracker.streamSinkChanged(index));
}

void AudioRouteMonitor::defaultSinkChanged(const QString &name)
{
    report(m_tracker.defaultSinkChanged(name));
}

bool AudioRouteMonitor::watchDeviceList()
{
    if (m_mpv)
        return true;
    // A route change pauses the music, and libmpv is loaded only once something plays: until the music has a
    // player, there is nothing to pause and no reason to load it.
    if (!GlobalData::sharedGlobalData()->audioPlayer) {
        if (!m_waitForMusic) {
            m_waitForMusic =
                connect(&PlayerEvents::shared(), &PlayerEvents::sharedPlayerChanged, this, [this] {
                    if (!GlobalData::sharedGlobalData()->audioPlayer)
                        return;
                    disconnect(m_waitForMusic);
                    m_waitForMusic = {};
                    watchDeviceList();
                });
        }
        return true;
    }
    m_mpv = new MpvHandle(MpvHandle::Purpose::DeviceWatch, this);
    if (!m_mpv->isValid()) {
        delete m_mpv;
        m_mpv = nullptr;
        return false;
    }
    // Nothing plays in this instance, so asking it directly waits for nothing.
    const QByteArray device = m_mpv->propertyNow("audio-device");
    if (!device.isEmpty())
        m_inUse = QString::fromUtf8(device);
    connect(m_mpv, &MpvHandle::eventsPending, this,
            [this] { m_mpv->drain([this](const mpv_event &event) { handleEvent(event); }); });
    m_mpv->observe(1, "audio-device-list", MPV_FORMAT_NODE);
    return true;
}

void AudioRouteMonitor::handleEvent(const mpv_event &event)
{
    if (event.event_id != MPV_EVENT_PROPERTY_CHANGE)
        return;
    const auto *property = static_cast<const mpv_event_property *>(event.data);
    if (property->format == MPV_FORMAT_NODE && property->data)
        devicesChanged(deviceNames(*static_cast<const mpv_node *>(property->data)));
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
    report(reason);
}
