#pragma once

// The window as main() loads it, for GUI tests: the shell and the lifecycle handed to the views (once
// per test program), then Main.qml in the Material style.
#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "app/ViewSingletons.h"

#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QQuickWindow>

namespace TestSupport {

inline void registerForQml(Shell *shell, Lifecycle *lifecycle)
{
    QQuickStyle::setStyle(QStringLiteral("Material"));
    ViewSingletons::provide(shell, lifecycle);
}

// Loads the window into `engine`; null when it did not load.
inline QQuickWindow *loadMainWindow(QQmlApplicationEngine &engine)
{
    engine.load(QUrl(QStringLiteral("qrc:/qml/Melodrop/Main.qml")));
    return engine.rootObjects().isEmpty() ? nullptr
                                          : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
}

} // namespace TestSupport
