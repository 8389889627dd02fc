#include "screens/OverlayHost.h"

OverlayHost::OverlayHost(QObject *screen, std::function<void()> released)
    : QObject(screen), m_screen(screen), m_released(std::move(released))
{}

void OverlayHost::run(const QString &label, const QString &details, float minShowTime, bool textOnly,
                      std::function<void(ProgressOverlay *)> operation)
{
    auto *hud = ProgressOverlay::withTexts(m_screen, label, details, minShowTime, textOnly);
    draw(hud);
    hud->showWhileExecuting([hud, operation = std::move(operation)] { operation(hud); }, true);
}

void OverlayHost::notice(const QString &label, const QString &details, float seconds)
{
    draw(ProgressOverlay::notice(m_screen, label, details, seconds));
}

void OverlayHost::draw(ProgressOverlay *hud)
{
    connect(hud, &ProgressOverlay::hudWasHidden, this, &OverlayHost::hidden);
    connect(hud, &ProgressOverlay::passiveChanged, this, [this, hud] {
        if (hud == m_current && m_released)
            m_released();
    });
    m_current = hud;
    Q_EMIT currentChanged();
}

void OverlayHost::hidden(ProgressOverlay *hud)
{
    if (hud == m_current) {
        m_current = nullptr;
        Q_EMIT currentChanged();
        if (m_released)
            m_released();
    }
    hud->deleteLater();
}
