#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <functional>

// How a background operation reaches the screen that started it. The screen may be closed, and destroyed,
// while the operation still runs; so the operation never holds the screen itself, only this link, and every
// step it hands over runs on the main thread after checking there (where screens are destroyed) that the
// screen still exists. Everything else the operation needs it takes by value when it starts.
template <class Screen> class ScreenLink
{
public:
    explicit ScreenLink(Screen *screen) : m_screen(screen) {}

    // Runs `step` with the screen on the main thread and waits for it. Returns false, without running it,
    // when the screen is gone.
    bool run(const std::function<void(Screen &)> &step) const
    {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app || QThread::currentThread() == app->thread())
            return runHere(step);
        bool ran = false;
        // The application object outlives every screen, so the call always has a live receiver; should it be
        // torn down first, Qt drops the call and releases the wait.
        QMetaObject::invokeMethod(
            app, [&] { ran = runHere(step); }, Qt::BlockingQueuedConnection);
        return ran;
    }

    // The same without waiting: the step runs later, if the screen still exists then.
    void post(std::function<void(Screen &)> step) const
    {
        QCoreApplication *app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(
            app,
            [screen = m_screen, step = std::move(step)] {
                if (Screen *s = screen.data())
                    step(*s);
            },
            Qt::QueuedConnection);
    }

private:
    bool runHere(const std::function<void(Screen &)> &step) const
    {
        Screen *screen = m_screen.data();
        if (!screen)
            return false;
        step(*screen);
        return true;
    }

    // Only ever read on the main thread.
    QPointer<Screen> m_screen;
};
