#pragma once

#include <QString>

#include <mpv/client.h>
#include <mpv/render.h>

// libmpv, loaded when something first plays rather than linked: the program does not link it, so a window
// that plays nothing never maps the library and the ~160 libraries it pulls in. Only its headers are used,
// for the types and constants; the functions the program calls are looked up once, when the library is
// loaded. Any thread may ask (the video picture's renderer asks from the render thread).
struct MpvLibrary
{
    decltype(&::mpv_create) create;
    decltype(&::mpv_initialize) initialize;
    decltype(&::mpv_terminate_destroy) terminate_destroy;
    decltype(&::mpv_set_option_string) set_option_string;
    decltype(&::mpv_set_wakeup_callback) set_wakeup_callback;
    decltype(&::mpv_command_async) command_async;
    decltype(&::mpv_set_property_async) set_property_async;
    decltype(&::mpv_get_property_async) get_property_async;
    decltype(&::mpv_get_property_string) get_property_string;
    decltype(&::mpv_observe_property) observe_property;
    decltype(&::mpv_wait_event) wait_event;
    decltype(&::mpv_free) free;
    decltype(&::mpv_render_context_create) render_context_create;
    decltype(&::mpv_render_context_set_update_callback) render_context_set_update_callback;
    decltype(&::mpv_render_context_render) render_context_render;
    decltype(&::mpv_render_context_free) render_context_free;

    // The library's functions, loading it on the first call. nullptr when it cannot be loaded: the reason
    // goes to the log, and the next call tries again (nothing plays meanwhile). The file is "libmpv.so.2"
    // unless MELODROP_LIBMPV names another.
    static const MpvLibrary *get();
    // Whether get() has loaded it, without loading it.
    static bool isLoaded();
    // The library's file name as get() loads it.
    static QString fileName();
};
