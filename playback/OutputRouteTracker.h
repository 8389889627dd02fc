#pragma once

#include <QHash>
#include <QString>

#include <functional>
#include <limits>

// One output of the sound server (a PulseAudio or PipeWire sink) as the route watch sees it: its ports
// (headphones, speakers, line out …) and which of them is in use.
struct OutputSink
{
    enum class Availability { Unknown, No, Yes };

    quint32 index = 0;
    QString name;
    QString activePort; // empty when the sink has no ports
    QHash<QString, Availability> ports;
};

// Decides, from what the sound server reports, when the output the music plays through goes away: the port
// in use becomes unavailable (headphones unplugged from the same card, whether or not the server then
// switches to the speakers), or the sink in use leaves (a USB or Bluetooth headset gone). Each report gives
// the route-change reason: 2 for that, 1 when an output became available, 0 for anything else. The sink in
// use is the one the music's stream plays to, or, while there is none, the server's default sink.
class OutputRouteTracker
{
public:
    static constexpr quint32 noSink = std::numeric_limits<quint32>::max();
    // How long a sink the stream has just left still counts as the one in use, should it be reported gone.
    static constexpr qint64 leaveWindowMs = 3000;

    // `clock` gives monotonic milliseconds (tests set it); by default the system's.
    explicit OutputRouteTracker(std::function<qint64()> clock = {});

    // A sink appeared or changed.
    int sinkChanged(const OutputSink &sink);
    int sinkRemoved(quint32 index);
    // The music's stream now plays to `index` (noSink: there is no such stream).
    int streamSinkChanged(quint32 index);
    int defaultSinkChanged(const QString &name);

    quint32 sinkInUse() const;
    bool knows(quint32 index) const { return m_sinks.contains(index); }

private:
    QHash<quint32, OutputSink> m_sinks;
    quint32 m_streamSink = noSink;
    QString m_defaultSink;
    // The sink the stream left by the latest move, and when: a server moves the streams off a sink that is
    // going away before it reports the sink gone.
    quint32 m_leftSink = noSink;
    qint64 m_leftAt = 0;
    std::function<qint64()> m_clock;
};
