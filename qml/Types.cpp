#include "qml/Types.h"

#include <QJSEngine>

namespace {
// The engine would delete a singleton handed to it without an owner; these belong to the program.
template <typename T> T *keptByProgram(T *object)
{
    if (object)
        QJSEngine::setObjectOwnership(object, QJSEngine::CppOwnership);
    return object;
}
} // namespace

Shell *ShellType::create(QQmlEngine *, QJSEngine *)
{
    return keptByProgram(ViewSingletons::shell());
}

ColorScheme *ColorSchemeType::create(QQmlEngine *, QJSEngine *)
{
    Shell *shell = ViewSingletons::shell();
    return keptByProgram(shell ? shell->colorScheme() : nullptr);
}

NowPlaying *NowPlayingType::create(QQmlEngine *, QJSEngine *)
{
    Shell *shell = ViewSingletons::shell();
    return keptByProgram(shell ? shell->nowPlaying() : nullptr);
}

Lifecycle *LifecycleType::create(QQmlEngine *, QJSEngine *)
{
    return keptByProgram(ViewSingletons::lifecycle());
}

Audio_Playlist *Audio_PlaylistType::create(QQmlEngine *, QJSEngine *)
{
    return keptByProgram(Audio_Playlist::shared());
}
