#pragma once

#include "screens/ProgressOverlay.h"

#include <QObject>
#include <QPointer>

#include <functional>

// The overlay a screen draws, and who gives the screen its input back. A screen runs its operations under a
// modal overlay and shows its notices without one; either way only the overlay drawn last is the screen's, so
// an older one fading out later (a notice replaced by a search) neither hides the new one nor releases the
// busy flags the new one set.
class OverlayHost : public QObject
{
    Q_OBJECT

public:
    // `released` runs on the main thread when the drawn overlay stops holding the screen: it has faded, or
    // what is left of it only reports a result.
    OverlayHost(QObject *screen, std::function<void()> released);

    ProgressOverlay *current() const { return m_current; }

    // Shows an overlay saying `label`/`details` while `operation` runs on a background thread.
    void run(const QString &label, const QString &details, float minShowTime, bool textOnly,
             std::function<void(ProgressOverlay *)> operation);
    // Shows a notice for `seconds`; the screen stays usable under it, so a second notice simply replaces it.
    void notice(const QString &label, const QString &details, float seconds);

Q_SIGNALS:
    void currentChanged();

private:
    void draw(ProgressOverlay *hud);
    void hidden(ProgressOverlay *hud);

    QObject *m_screen;
    std::function<void()> m_released;
    QPointer<ProgressOverlay> m_current;
};
