#include "ProgressOverlay.h"

#include "core/Pacing.h"

#include <QMutexLocker>
#include <QPointer>
#include <QtGlobal>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <exception>

namespace {

QObject *requireView(QObject *view)
{
    if (!view)
        throw ProgressOverlayViewIsNilException();
    return view;
}

// Precise timers never fire early; the minimum show time is a promise to the screens.
QTimer *makeOneShot(QObject *parent)
{
    auto *timer = new QTimer(parent);
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    return timer;
}

int secondsToMs(float seconds)
{
    return Pacing::milliseconds(double(seconds));
}

} // namespace

ProgressOverlay::ProgressOverlay(QObject *view)
    : QObject(nullptr), m_view(requireView(view)), m_graceTimer(makeOneShot(this)),
      m_minShowTimer(makeOneShot(this)), m_fadeTimer(makeOneShot(this))
{
    m_fadeTimer->setInterval(fadeDuration);
    connect(m_graceTimer, &QTimer::timeout, this, [this] {
        // A task that has already returned must not flash the overlay.
        if (m_taskInProgress)
            appear(m_useAnimation);
    });
    connect(m_minShowTimer, &QTimer::timeout, this, [this] { fadeOut(m_useAnimation); });
    connect(m_fadeTimer, &QTimer::timeout, this, &ProgressOverlay::fadeEnded);
    connect(m_view, &QObject::destroyed, this, &ProgressOverlay::viewDestroyed);
}

// A still running operation keeps its own reference to the work and its thread deletes itself when done;
// the queued clean-up aimed at this object is dropped by Qt together with the object.
ProgressOverlay *ProgressOverlay::withTexts(QObject *view, const QString &label, const QString &details,
                                            float minShowTime, bool textOnly)
{
    auto *hud = new ProgressOverlay(view);
    hud->setMinShowTime(minShowTime);
    if (textOnly)
        hud->setMode(CustomView);
    hud->setLabelText(label);
    if (!details.isEmpty())
        hud->setDetailsLabelText(details);
    return hud;
}

ProgressOverlay *ProgressOverlay::notice(QObject *view, const QString &label, const QString &details,
                                         float seconds)
{
    auto *hud = withTexts(view, label, details, seconds, true);
    hud->m_passive = true;
    hud->show(true);
    // The minimum show time keeps it up; then it fades as any overlay does.
    hud->hide(true);
    return hud;
}

void ProgressOverlay::becomeNotice()
{
    applyOnOwnerThread([this] {
        if (m_passive)
            return;
        m_passive = true;
        Q_EMIT passiveChanged();
    });
}

ProgressOverlay::~ProgressOverlay() = default;

void ProgressOverlay::reportServiceUnavailable()
{
    Pacing::pause(1);
    setMode(CustomView);
    setLabelText(tr("Ошибка"));
    setDetailsLabelText(tr("Сервис недоступен"));
    Pacing::pause(1);
}

int ProgressOverlay::mode() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_mode;
}

void ProgressOverlay::setMode(int mode)
{
    applyOnOwnerThread([this, mode] { applyMode(mode); });
}

QString ProgressOverlay::labelText() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_labelText;
}

void ProgressOverlay::setLabelText(const QString &text)
{
    applyOnOwnerThread([this, text] { applyLabelText(text); });
}

QString ProgressOverlay::detailsLabelText() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_detailsLabelText;
}

void ProgressOverlay::setDetailsLabelText(const QString &text)
{
    applyOnOwnerThread([this, text] { applyDetailsLabelText(text); });
}

float ProgressOverlay::progress() const
{
    QMutexLocker lock(&m_stateMutex);
    return m_progress;
}

void ProgressOverlay::setProgress(float progress)
{
    applyOnOwnerThread([this, progress] { applyProgress(progress); });
}

void ProgressOverlay::applyOnOwnerThread(std::function<void()> apply)
{
    if (QThread::currentThread() == thread())
        apply();
    else
        QMetaObject::invokeMethod(this, std::move(apply), Qt::QueuedConnection);
}

void ProgressOverlay::applyMode(int mode)
{
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_mode == mode)
            return;
        m_mode = mode;
    }
    Q_EMIT modeChanged();
}

void ProgressOverlay::applyLabelText(const QString &text)
{
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_labelText == text)
            return;
        m_labelText = text;
    }
    Q_EMIT labelTextChanged();
}

void ProgressOverlay::applyDetailsLabelText(const QString &text)
{
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_detailsLabelText == text)
            return;
        m_detailsLabelText = text;
    }
    Q_EMIT detailsLabelTextChanged();
}

void ProgressOverlay::applyProgress(float progress)
{
    // The view draws the value as a fraction of a full turn.
    const float clamped = std::isnan(progress) ? 0.0f : qBound(0.0f, progress, 1.0f);
    {
        QMutexLocker lock(&m_stateMutex);
        if (m_progress == clamped)
            return;
        m_progress = clamped;
    }
    Q_EMIT progressChanged();
}

void ProgressOverlay::setOpacity(float v)
{
    if (m_opacity == v)
        return;
    m_opacity = v;
    Q_EMIT appearanceChanged();
}

void ProgressOverlay::setMargin(float v)
{
    if (m_margin == v)
        return;
    m_margin = v;
    Q_EMIT appearanceChanged();
}

void ProgressOverlay::setXOffset(float v)
{
    if (m_xOffset == v)
        return;
    m_xOffset = v;
    Q_EMIT appearanceChanged();
}

void ProgressOverlay::setYOffset(float v)
{
    if (m_yOffset == v)
        return;
    m_yOffset = v;
    Q_EMIT appearanceChanged();
}

void ProgressOverlay::setDimBackground(bool v)
{
    if (m_dimBackground == v)
        return;
    m_dimBackground = v;
    Q_EMIT appearanceChanged();
}

qint64 ProgressOverlay::shownForMs() const
{
    return m_showStarted.isValid() ? m_showStarted.elapsed() : -1;
}

void ProgressOverlay::show(bool animated)
{
    m_useAnimation = animated;
    if (m_graceTime > 0.0f) {
        m_graceTimer->start(secondsToMs(m_graceTime));
        return;
    }
    appear(animated);
}

void ProgressOverlay::hide(bool animated)
{
    m_useAnimation = animated;
    m_graceTimer->stop();
    if (m_minShowTime > 0.0f && m_showStarted.isValid()) {
        const qint64 remaining = secondsToMs(m_minShowTime) - m_showStarted.elapsed();
        if (remaining > 0) {
            m_minShowTimer->start(int(remaining));
            return;
        }
    }
    fadeOut(animated);
}

void ProgressOverlay::showWhileExecuting(std::function<void()> operation, bool animated)
{
    if (m_taskInProgress) {
        qWarning("ProgressOverlay: an operation is already running; the new one is ignored");
        return;
    }
    m_operation = std::make_shared<std::function<void()>>(std::move(operation));
    m_taskAnimated = animated;
    setTaskInProgress(true);

    QThread *worker = QThread::create([operation = m_operation]() mutable {
        try {
            if (*operation)
                (*operation)();
        } catch (const std::exception &e) {
            // Still hide: a modal overlay left up would lock the screen for good.
            qWarning("ProgressOverlay: the operation threw: %s", e.what());
        } catch (...) {
            qWarning("ProgressOverlay: the operation threw an unknown exception");
        }
        // Dropped here rather than with the thread object, whenever that goes: the main thread then holds the
        // last reference and releases the work's captures in the clean-up.
        operation.reset();
    });
    // finished is emitted on the worker after the operation, so this queues the clean-up behind any changes
    // the operation posted, and Qt drops it if the overlay is gone by then.
    connect(worker, &QThread::finished, this, &ProgressOverlay::operationReturned, Qt::QueuedConnection);
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();

    show(animated);
}

void ProgressOverlay::viewDestroyed()
{
    m_view = nullptr;
    m_graceTimer->stop();
    m_minShowTimer->stop();
    m_fadeTimer->stop();
    // Nobody is left to be told that the overlay has hidden, nor to release it.
    if (m_taskInProgress)
        m_orphaned = true;
    else
        deleteLater();
}

void ProgressOverlay::operationReturned()
{
    if (m_orphaned) {
        deleteLater();
        return;
    }
    setTaskInProgress(false);
    m_operation.reset();
    hide(m_taskAnimated);
}

void ProgressOverlay::appear(bool animated)
{
    m_fadeTimer->stop();
    m_minShowTimer->stop();
    if (m_finished) {
        m_finished = false;
        Q_EMIT finishedChanged();
    }
    m_showStarted.start();
    setAlpha(1.0f, animated);
}

void ProgressOverlay::fadeOut(bool animated)
{
    // Nothing to fade when the overlay never appeared (grace time) or is already fading.
    const bool visible = m_showStarted.isValid();
    m_showStarted.invalidate();
    const bool fade = animated && visible;
    setAlpha(0.0f, fade);
    if (fade)
        m_fadeTimer->start();
    else if (!m_fadeTimer->isActive())
        fadeEnded();
}

void ProgressOverlay::fadeEnded()
{
    if (!m_finished) {
        m_finished = true;
        Q_EMIT finishedChanged();
    }
    setAlpha(0.0f, m_animated);
    // Receivers usually delete the overlay here.
    QPointer<ProgressOverlay> self(this);
    Q_EMIT hudWasHidden(this);
    if (self && m_removeFromSuperViewOnHide)
        Q_EMIT removeFromViewRequested(this);
}

void ProgressOverlay::setAlpha(float alpha, bool animated)
{
    // The view reads `animated` when alpha changes, so it must be current before the alpha notification.
    if (m_animated != animated) {
        m_animated = animated;
        Q_EMIT alphaChanged();
    }
    if (m_alpha != alpha) {
        m_alpha = alpha;
        Q_EMIT alphaChanged();
    }
}

void ProgressOverlay::setTaskInProgress(bool inProgress)
{
    if (m_taskInProgress == inProgress)
        return;
    m_taskInProgress = inProgress;
    Q_EMIT taskInProgressChanged();
}
