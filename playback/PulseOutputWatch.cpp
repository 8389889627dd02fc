#include "playback/PulseOutputWatch.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <pulse/pulseaudio.h>

namespace {

using Availability = OutputSink::Availability;

Availability availability(int available)
{
    switch (available) {
    case PA_PORT_AVAILABLE_NO:
        return Availability::No;
    case PA_PORT_AVAILABLE_YES:
        return Availability::Yes;
    default:
        return Availability::Unknown;
    }
}

OutputSink sinkOf(const pa_sink_info &info)
{
    OutputSink sink;
    sink.index = info.index;
    sink.name = QString::fromUtf8(info.name);
    if (info.active_port)
        sink.activePort = QString::fromUtf8(info.active_port->name);
    for (quint32 i = 0; i < info.n_ports; ++i)
        sink.ports.insert(QString::fromUtf8(info.ports[i]->name), availability(info.ports[i]->available));
    return sink;
}

void dropOperation(pa_operation *operation)
{
    if (operation)
        pa_operation_unref(operation);
}

} // namespace

struct PulseOutputWatch::Private
{
    PulseOutputWatch *owner = nullptr;
    QByteArray clientName;
    pa_threaded_mainloop *loop = nullptr;
    pa_context *context = nullptr;
    bool failedReported = false; // touched on libpulse's thread only

    // Runs `report` on the owner's thread. Called on libpulse's thread; the owner stops that thread before
    // it goes, and reports still on their way die with it.
    template <typename F> void post(F report)
    {
        QMetaObject::invokeMethod(owner, std::move(report), Qt::QueuedConnection);
    }

    void refreshServer();
    void refreshSinks();
    void refreshSink(quint32 index);
    void refreshStream();

    // libpulse's callbacks, on its thread.
    struct StreamSearch;
    static void onSinkInput(pa_context *, const pa_sink_input_info *info, int eol, void *userdata);
    static void onSink(pa_context *, const pa_sink_info *info, int eol, void *userdata);
    static void onServer(pa_context *, const pa_server_info *info, void *userdata);
    static void onEvent(pa_context *, pa_subscription_event_type_t type, uint32_t index, void *userdata);
    static void onState(pa_context *context, void *userdata);
};

// The music's streams are the program's own (its process) under the music's application name; any stream of
// the program counts when none carries that name.
struct PulseOutputWatch::Private::StreamSearch
{
    Private *d;
    quint32 named = OutputRouteTracker::noSink;
    quint32 any = OutputRouteTracker::noSink;
};

void PulseOutputWatch::Private::onSinkInput(pa_context *, const pa_sink_input_info *info, int eol,
                                            void *userdata)
{
    auto *search = static_cast<StreamSearch *>(userdata);
    if (eol != 0) {
        const quint32 sink = search->named != OutputRouteTracker::noSink ? search->named : search->any;
        PulseOutputWatch *owner = search->d->owner;
        search->d->post([owner, sink] { Q_EMIT owner->streamSinkChanged(sink); });
        delete search;
        return;
    }
    const char *pid = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_PROCESS_ID);
    if (!pid || QByteArray(pid).toLongLong() != QCoreApplication::applicationPid())
        return;
    if (search->any == OutputRouteTracker::noSink)
        search->any = info->sink;
    const char *name = pa_proplist_gets(info->proplist, PA_PROP_APPLICATION_NAME);
    if (name && search->d->clientName == name && search->named == OutputRouteTracker::noSink)
        search->named = info->sink;
}

void PulseOutputWatch::Private::onSink(pa_context *, const pa_sink_info *info, int eol, void *userdata)
{
    auto *d = static_cast<Private *>(userdata);
    if (eol != 0 || !info)
        return;
    PulseOutputWatch *owner = d->owner;
    d->post([owner, sink = sinkOf(*info)] { Q_EMIT owner->sinkChanged(sink); });
}

void PulseOutputWatch::Private::onServer(pa_context *, const pa_server_info *info, void *userdata)
{
    auto *d = static_cast<Private *>(userdata);
    if (!info)
        return;
    PulseOutputWatch *owner = d->owner;
    d->post([owner, name = QString::fromUtf8(info->default_sink_name)] {
        Q_EMIT owner->defaultSinkChanged(name);
    });
}

void PulseOutputWatch::Private::onEvent(pa_context *, pa_subscription_event_type_t type, uint32_t index,
                                        void *userdata)
{
    auto *d = static_cast<Private *>(userdata);
    const int facility = type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK;
    const int kind = type & PA_SUBSCRIPTION_EVENT_TYPE_MASK;
    switch (facility) {
    case PA_SUBSCRIPTION_EVENT_SINK:
        if (kind == PA_SUBSCRIPTION_EVENT_REMOVE) {
            PulseOutputWatch *owner = d->owner;
            d->post([owner, index] { Q_EMIT owner->sinkRemoved(index); });
        } else {
            d->refreshSink(index);
        }
        break;
    case PA_SUBSCRIPTION_EVENT_SINK_INPUT:
        d->refreshStream();
        break;
    case PA_SUBSCRIPTION_EVENT_SERVER:
        d->refreshServer();
        break;
    case PA_SUBSCRIPTION_EVENT_CARD:
        // A port's availability belongs to its card; the sinks on it may not report a change themselves.
        d->refreshSinks();
        break;
    default:
        break;
    }
}

void PulseOutputWatch::Private::onState(pa_context *context, void *userdata)
{
    auto *d = static_cast<Private *>(userdata);
    PulseOutputWatch *owner = d->owner;
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY: {
        pa_context_set_subscribe_callback(context, onEvent, d);
        const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SINK_INPUT |
                                                 PA_SUBSCRIPTION_MASK_SERVER | PA_SUBSCRIPTION_MASK_CARD);
        dropOperation(pa_context_subscribe(context, mask, nullptr, nullptr));
        d->refreshServer();
        d->refreshSinks();
        d->refreshStream();
        d->post([owner] { Q_EMIT owner->connected(); });
        break;
    }
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        if (!d->failedReported) {
            d->failedReported = true;
            d->post([owner] { Q_EMIT owner->failed(); });
        }
        break;
    default:
        break;
    }
}

void PulseOutputWatch::Private::refreshServer()
{
    dropOperation(pa_context_get_server_info(context, onServer, this));
}

void PulseOutputWatch::Private::refreshSinks()
{
    dropOperation(pa_context_get_sink_info_list(context, onSink, this));
}

void PulseOutputWatch::Private::refreshSink(quint32 index)
{
    dropOperation(pa_context_get_sink_info_by_index(context, index, onSink, this));
}

void PulseOutputWatch::Private::refreshStream()
{
    dropOperation(pa_context_get_sink_input_info_list(context, onSinkInput, new StreamSearch{this}));
}

PulseOutputWatch::PulseOutputWatch(const QString &clientName, QObject *parent)
    : QObject(parent), d(std::make_unique<Private>())
{
    d->owner = this;
    d->clientName = clientName.toUtf8();
}

PulseOutputWatch::~PulseOutputWatch()
{
    if (!d->loop)
        return;
    pa_threaded_mainloop_lock(d->loop);
    if (d->context) {
        pa_context_set_state_callback(d->context, nullptr, nullptr);
        pa_context_set_subscribe_callback(d->context, nullptr, nullptr);
        pa_context_disconnect(d->context);
        pa_context_unref(d->context);
    }
    pa_threaded_mainloop_unlock(d->loop);
    // Joins libpulse's thread: no callback runs after this.
    pa_threaded_mainloop_stop(d->loop);
    pa_threaded_mainloop_free(d->loop);
}

bool PulseOutputWatch::start()
{
    if (d->loop)
        return true;
    d->loop = pa_threaded_mainloop_new();
    if (!d->loop)
        return false;
    pa_proplist *properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Melodrop route watch");
    d->context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(d->loop), "Melodrop route watch",
                                              properties);
    pa_proplist_free(properties);
    if (!d->context)
        return false;
    pa_context_set_state_callback(d->context, Private::onState, d.get());
    // No server is started for this: without one, the program watches libmpv's device list instead.
    if (pa_context_connect(d->context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    return pa_threaded_mainloop_start(d->loop) >= 0;
}
