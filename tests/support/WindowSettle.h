#pragma once

#include "TestSupport.h"

#include <QElapsedTimer>
#include <QQuickWindow>

namespace TestSupport {

// Lets the window's transitions run out: returns once it has drawn no frame for a tenth of a second, and
// after `limitMs` (the longest transition) whatever it still draws.
inline void settle(QQuickWindow *window, int limitMs)
{
    QElapsedTimer sinceFrame;
    sinceFrame.start();
    const QMetaObject::Connection frames =
        QObject::connect(window, &QQuickWindow::afterAnimating, window, [&] { sinceFrame.restart(); });
    waitFor([&] { return sinceFrame.elapsed() >= 100; }, limitMs);
    QObject::disconnect(frames);
}

} // namespace TestSupport
