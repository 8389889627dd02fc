#pragma once

#include "playback/OutputRouteTracker.h"

#include <QObject>
#include <QString>

#include <memory>

// Follows the outputs of a PulseAudio or PipeWire sound server through libpulse: the sinks with their ports
// and port availability, the default sink, and the sink the program's music stream plays to. libpulse runs on
// a thread of its own; every report is delivered on the thread that owns this object.
class PulseOutputWatch : public QObject
{
    Q_OBJECT
public:
    // `clientName` is the application name of the stream to follow (the music's libmpv instance).
    explicit PulseOutputWatch(const QString &clientName, QObject *parent = nullptr);
    ~PulseOutputWatch() override;

    // Connects in the background; connected() or failed() tells how it went. False when libpulse could not
    // even begin.
    bool start();

Q_SIGNALS:
    void connected();
    // No server answers, or the connection was lost.
    void failed();
    void sinkChanged(const OutputSink &sink);
    void sinkRemoved(quint32 index);
    void streamSinkChanged(quint32 index);
    void defaultSinkChanged(const QString &name);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
