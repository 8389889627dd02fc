#pragma once

#include "playback/OutputRouteTracker.h"

#include <QObject>
#include <QString>
#include <QStringList>

class MpvHandle;
class PulseOutputWatch;
struct mpv_event;

// Watches the output the music plays through and feeds each route change to the route listener
// (AudioRoute::audioRouteChangeListener). With a PulseAudio or PipeWire server it follows the sink in use and
// its active port through libpulse (OutputRouteTracker decides); without one it falls back to libmpv's list
// of output devices, which only shows devices coming and going, watched from the first track on (libmpv is
// not loaded before). Main thread.
class AudioRouteMonitor : public QObject
{
    Q_OBJECT
public:
    explicit AudioRouteMonitor(QObject *parent = nullptr);
    ~AudioRouteMonitor() override;

    // Starts watching; false when neither the sound server nor libmpv could be asked. Without a server and
    // before the music has a player, the device list is watched once it has one.
    bool start();
    // Whether the sound server is being followed (rather than libmpv's device list).
    bool followsSoundServer() const { return m_serverConnected; }

    // The sound server's reports.
    void sinkChanged(const OutputSink &sink);
    void sinkRemoved(quint32 index);
    void streamSinkChanged(quint32 index);
    void defaultSinkChanged(const QString &name);

    // libmpv's device list: the first one is taken as it stands, later ones are compared with it.
    void devicesChanged(const QStringList &devices);
    QStringList devices() const { return m_devices; }
    // The device the players use ("auto" unless configured otherwise).
    QString deviceInUse() const { return m_inUse; }
    void setDeviceInUse(const QString &device) { m_inUse = device; }

Q_SIGNALS:
    // A route change was passed to the listener.
    void routeChanged(int reason);

private:
    void report(int reason);
    bool watchDeviceList();
    void handleEvent(const mpv_event &event);

    OutputRouteTracker m_tracker;
    PulseOutputWatch *m_pulse = nullptr;
    bool m_serverConnected = false;
    MpvHandle *m_mpv = nullptr;
    // Set while the device list waits for the music's first player.
    QMetaObject::Connection m_waitForMusic;
    QStringList m_devices;
    bool m_known = false;
    QString m_inUse = QStringLiteral("auto");
};
