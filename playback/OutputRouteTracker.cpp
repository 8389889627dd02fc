#include "playback/OutputRouteTracker.h"

#include "playback/AudioRoute.h"

#include <QDeadlineTimer>

namespace {

using Availability = OutputSink::Availability;

bool becameAvailable(const OutputSink &before, const OutputSink &after)
{
    for (auto it = after.ports.cbegin(); it != after.ports.cend(); ++it) {
        if (it.value() == Availability::Yes &&
            before.ports.value(it.key(), Availability::No) == Availability::No)
            return true;
    }
    return false;
}

} // namespace

OutputRouteTracker::OutputRouteTracker(std::function<qint64()> clock) : m_clock(std::move(clock))
{
    if (!m_clock)
        m_clock = [] { return QDeadlineTimer::current().deadline(); };
}

quint32 OutputRouteTracker::sinkInUse() const
{
    if (m_streamSink != noSink)
        return m_streamSink;
    for (auto it = m_sinks.cbegin(); it != m_sinks.cend(); ++it) {
        if (!m_defaultSink.isEmpty() && it->name == m_defaultSink)
            return it.key();
    }
    return noSink;
}

int OutputRouteTracker::sinkChanged(const OutputSink &sink)
{
    const bool known = m_sinks.contains(sink.index);
    const OutputSink before = m_sinks.value(sink.index);
    m_sinks.insert(sink.index, sink);
    if (!known)
        return AudioRoute::newDeviceAvailable;
    if (sink.index != sinkInUse())
        return 0;
    // The port that was playing is unavailable now, still selected or not: the server may already have
    // switched to another port of the card.
    const QString &port = before.activePort;
    if (!port.isEmpty() && before.ports.value(port) != Availability::No &&
        sink.ports.value(port) == Availability::No)
        return AudioRoute::oldDeviceUnavailable;
    return becameAvailable(before, sink) ? AudioRoute::newDeviceAvailable : 0;
}

int OutputRouteTracker::sinkRemoved(quint32 index)
{
    const bool justLeft = index == m_leftSink && m_clock() - m_leftAt <= leaveWindowMs;
    const bool inUse = index == sinkInUse() || justLeft;
    m_sinks.remove(index);
    if (index == m_leftSink)
        m_leftSink = noSink;
    if (index == m_streamSink)
        m_streamSink = noSink;
    return inUse ? AudioRoute::oldDeviceUnavailable : 0;
}

int OutputRouteTracker::streamSinkChanged(quint32 index)
{
    const quint32 before = sinkInUse();
    m_streamSink = index;
    if (before != noSink && before != sinkInUse()) {
        m_leftSink = before;
        m_leftAt = m_clock();
    }
    return 0;
}

int OutputRouteTracker::defaultSinkChanged(const QString &name)
{
    m_defaultSink = name;
    return 0;
}
