#include "playback/MpvLibrary.h"

#include "decoding/Log.h"

#include <atomic>
#include <mutex>

#include <dlfcn.h>

namespace {

std::mutex loadMutex;
MpvLibrary table;
std::atomic<const MpvLibrary *> loaded{nullptr};

// Fills `entry` with the address of `name`; false, with dlerror()'s text in `error`, when it is missing.
template <typename Function> bool resolve(void *library, const char *name, Function &entry, QString &error)
{
    dlerror();
    void *address = dlsym(library, name);
    if (!address) {
        const char *reason = dlerror();
        error = reason ? QString::fromLocal8Bit(reason)
                       : QStringLiteral("%1 is missing").arg(QLatin1String(name));
        return false;
    }
    entry = reinterpret_cast<Function>(address);
    return true;
}

bool resolveAll(void *library, MpvLibrary &mpv, QString &error)
{
    return resolve(library, "mpv_create", mpv.create, error) &&
           resolve(library, "mpv_initialize", mpv.initialize, error) &&
           resolve(library, "mpv_terminate_destroy", mpv.terminate_destroy, error) &&
           resolve(library, "mpv_set_option_string", mpv.set_option_string, error) &&
           resolve(library, "mpv_set_wakeup_callback", mpv.set_wakeup_callback, error) &&
           resolve(library, "mpv_command_async", mpv.command_async, error) &&
           resolve(library, "mpv_set_property_async", mpv.set_property_async, error) &&
           resolve(library, "mpv_get_property_async", mpv.get_property_async, error) &&
           resolve(library, "mpv_get_property_string", mpv.get_property_string, error) &&
           resolve(library, "mpv_observe_property", mpv.observe_property, error) &&
           resolve(library, "mpv_wait_event", mpv.wait_event, error) &&
           resolve(library, "mpv_free", mpv.free, error) &&
           resolve(library, "mpv_render_context_create", mpv.render_context_create, error) &&
           resolve(library, "mpv_render_context_set_update_callback", mpv.render_context_set_update_callback,
                   error) &&
           resolve(library, "mpv_render_context_render", mpv.render_context_render, error) &&
           resolve(library, "mpv_render_context_free", mpv.render_context_free, error);
}

} // namespace

QString MpvLibrary::fileName()
{
    const QString chosen = qEnvironmentVariable("MELODROP_LIBMPV");
    return chosen.isEmpty() ? QStringLiteral("libmpv.so.2") : chosen;
}

bool MpvLibrary::isLoaded()
{
    return loaded.load() != nullptr;
}

const MpvLibrary *MpvLibrary::get()
{
    if (const MpvLibrary *mpv = loaded.load())
        return mpv;
    std::lock_guard lock(loadMutex);
    if (const MpvLibrary *mpv = loaded.load())
        return mpv;
    const QString name = fileName();
    QString error;
    // Never closed: libmpv's threads and the handles made through it live until the program ends.
    void *library = dlopen(name.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *reason = dlerror();
        error = reason ? QString::fromLocal8Bit(reason) : QStringLiteral("not found");
    } else if (resolveAll(library, table, error)) {
        loaded.store(&table);
        return &table;
    } else {
        dlclose(library);
    }
    Log::line(QStringLiteral("libmpv could not be loaded (%1): audio and video cannot play").arg(error));
    return nullptr;
}
