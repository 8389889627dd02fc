#pragma once

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

class QTimer;

// Thrown when an overlay is created without a view to cover.
class ProgressOverlayViewIsNilException : public std::invalid_argument
{
public:
    ProgressOverlayViewIsNilException()
        : std::invalid_argument("The view used in the ProgressOverlay initializer is nil.")
    {}
    static const char *name() { return "ProgressOverlayViewIsNilException"; }
};

// The modal progress overlay: runs one operation on a background thread while it is shown, hides when the
// operation has returned (not before its minimum show time), and emits hudWasHidden once the fade has ended.
// Text, mode and progress may be set from any thread; changes made off the main thread are applied on the
// main thread in the order they were made. Drawing is the QML view's job (qml/ProgressOverlayView.qml): it
// shows the box while `alpha` is 1 and animates alpha changes over fadeDuration when `animated` is set.
// When the view it covers is destroyed, the overlay goes too: at once when idle, otherwise as soon as its
// operation has returned, so that the operation can go on setting its texts until then.
class ProgressOverlay : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int mode READ mode WRITE setMode NOTIFY modeChanged)
    Q_PROPERTY(QString labelText READ labelText WRITE setLabelText NOTIFY labelTextChanged)
    Q_PROPERTY(QString detailsLabelText READ detailsLabelText WRITE setDetailsLabelText NOTIFY
                   detailsLabelTextChanged)
    Q_PROPERTY(float progress READ progress WRITE setProgress NOTIFY progressChanged)
    Q_PROPERTY(float opacity READ opacity WRITE setOpacity NOTIFY appearanceChanged)
    Q_PROPERTY(float margin READ margin WRITE setMargin NOTIFY appearanceChanged)
    Q_PROPERTY(float xOffset READ xOffset WRITE setXOffset NOTIFY appearanceChanged)
    Q_PROPERTY(float yOffset READ yOffset WRITE setYOffset NOTIFY appearanceChanged)
    Q_PROPERTY(bool dimBackground READ dimBackground WRITE setDimBackground NOTIFY appearanceChanged)
    Q_PROPERTY(bool taskInProgress READ taskInProgress NOTIFY taskInProgressChanged)
    Q_PROPERTY(float alpha READ alpha NOTIFY alphaChanged)
    Q_PROPERTY(bool animated READ animated NOTIFY alphaChanged)
    Q_PROPERTY(bool finished READ finished NOTIFY finishedChanged)
    Q_PROPERTY(bool passive READ passive NOTIFY passiveChanged)

public:
    enum Mode { Indeterminate = 0, Determinate = 1, CustomView = 2 };
    Q_ENUM(Mode)
    static constexpr int fadeDuration = 300; // milliseconds

    // `view` is what the overlay covers; nullptr throws ProgressOverlayViewIsNilException.
    explicit ProgressOverlay(QObject *view);
    ~ProgressOverlay() override;
    // An overlay over `view` saying `label` (and `details`, when given) for at least `minShowTime` seconds;
    // `textOnly` draws the texts without the activity indicator.
    static ProgressOverlay *withTexts(QObject *view, const QString &label, const QString &details,
                                      float minShowTime, bool textOnly);

    // A notice that only reports something done: drawn like the overlay for `seconds`, then faded, while the
    // screen under it keeps taking clicks and keys. Nothing runs behind it.
    static ProgressOverlay *notice(QObject *view, const QString &label, const QString &details,
                                   float seconds);

    QObject *view() const { return m_view; }

    // Called from the operation (any thread) once what is left to show only reports its result: from then on
    // the overlay no longer holds the screen's input, and `passiveChanged` tells the screen to take it again.
    void becomeNotice();
    bool passive() const { return m_passive; }

    // Called from an operation whose request got no answer at all: after a second the overlay says
    // "Ошибка" / "Сервис недоступен" without its activity indicator, and keeps saying it for another second.
    // That is no empty result, and nothing of the screen's list changes.
    void reportServiceUnavailable();

    int mode() const;
    void setMode(int mode);
    QString labelText() const;
    void setLabelText(const QString &text);
    QString detailsLabelText() const;
    void setDetailsLabelText(const QString &text);
    float progress() const;
    void setProgress(float progress);

    float opacity() const { return m_opacity; }
    void setOpacity(float v);
    float margin() const { return m_margin; }
    void setMargin(float v);
    float xOffset() const { return m_xOffset; }
    void setXOffset(float v);
    float yOffset() const { return m_yOffset; }
    void setYOffset(float v);
    bool dimBackground() const { return m_dimBackground; }
    void setDimBackground(bool v);

    float graceTime() const { return m_graceTime; }
    void setGraceTime(float seconds) { m_graceTime = seconds; }
    float minShowTime() const { return m_minShowTime; }
    void setMinShowTime(float seconds) { m_minShowTime = seconds; }
    bool removeFromSuperViewOnHide() const { return m_removeFromSuperViewOnHide; }
    void setRemoveFromSuperViewOnHide(bool v) { m_removeFromSuperViewOnHide = v; }

    bool taskInProgress() const { return m_taskInProgress; }
    float alpha() const { return m_alpha; }
    bool animated() const { return m_animated; }
    bool finished() const { return m_finished; }
    // Milliseconds since the overlay appeared; -1 while it has not appeared.
    qint64 shownForMs() const;

    // Main thread only.
    void show(bool animated);
    void hide(bool animated);
    // Runs `operation` on a new background thread and shows the overlay meanwhile (main thread only).
    void showWhileExecuting(std::function<void()> operation, bool animated);

Q_SIGNALS:
    void modeChanged();
    void labelTextChanged();
    void detailsLabelTextChanged();
    void progressChanged();
    void appearanceChanged();
    void taskInProgressChanged();
    void alphaChanged();
    void finishedChanged();
    void passiveChanged();
    // The delegate callback: the overlay has faded out.
    void hudWasHidden(ProgressOverlay *hud);
    // Emitted after hudWasHidden when removeFromSuperViewOnHide is set: the view should drop the overlay.
    void removeFromViewRequested(ProgressOverlay *hud);

private:
    void applyMode(int mode);
    void applyLabelText(const QString &text);
    void applyDetailsLabelText(const QString &text);
    void applyProgress(float progress);
    // Runs `apply` now on the overlay's thread, otherwise queues it there (in call order, without waiting).
    void applyOnOwnerThread(std::function<void()> apply);

    void appear(bool animated);
    void fadeOut(bool animated);
    void fadeEnded();
    void operationReturned();
    void setAlpha(float alpha, bool animated);
    void setTaskInProgress(bool inProgress);
    void viewDestroyed();

    QObject *m_view = nullptr;
    // The view is gone: delete the overlay once its operation has returned.
    bool m_orphaned = false;

    // Written on the overlay's thread only; the lock lets the operation read them from its own thread.
    mutable QMutex m_stateMutex;
    int m_mode = Indeterminate;
    QString m_labelText;
    QString m_detailsLabelText;
    float m_progress = 0.0f;

    float m_opacity = 0.8f;
    float m_margin = 20.0f;
    float m_xOffset = 0.0f;
    float m_yOffset = 0.0f;
    bool m_dimBackground = false;
    float m_graceTime = 0.0f;
    float m_minShowTime = 0.0f;
    bool m_removeFromSuperViewOnHide = false;

    bool m_taskInProgress = false;
    float m_alpha = 0.0f;
    bool m_animated = false;
    bool m_finished = false;
    bool m_passive = false;
    // The animation flag of the last show/hide, used when a deferred step (grace, minimum show time) runs.
    bool m_useAnimation = false;
    // The animation flag given to showWhileExecuting; the hide after the operation uses it.
    bool m_taskAnimated = false;
    QElapsedTimer m_showStarted;

    QTimer *m_graceTimer = nullptr;
    QTimer *m_minShowTimer = nullptr;
    QTimer *m_fadeTimer = nullptr;
    std::shared_ptr<std::function<void()>> m_operation;
};
