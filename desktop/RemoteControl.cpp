#include "desktop/RemoteControl.h"

#include "core/GlobalData.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"

#include <QKeyEvent>
#include <QTimer>

RemoteControl::RemoteControl(QObject *parent) : QObject(parent) {}

RemoteControl::~RemoteControl() = default;

bool RemoteControl::sendEvent(int type, int subtype)
{
    if (type != RemoteControlEventType)
        return false;
    GlobalData *global = GlobalData::sharedGlobalData();
    // While a track change is pending, the track buttons wait for it; holding a seek key does not.
    const bool idle = global->pendingTrackStep == GlobalData::TrackStep::None;
    switch (subtype) {
    case RemoteControlPlay:
        if (idle)
            MusicPlayer::play();
        break;
    case RemoteControlPause:
    case RemoteControlStop: // stopping keeps the position: it pauses
        if (idle)
            MusicPlayer::pause();
        break;
    case RemoteControlTogglePlayPause:
        if (idle) {
            if (global->audioPlayer && global->audioPlayer->isPlaying())
                MusicPlayer::pause();
            else
                MusicPlayer::play();
        }
        break;
    case RemoteControlNextTrack:
        if (idle)
            global->pendingTrackStep = GlobalData::TrackStep::Next;
        break;
    case RemoteControlPreviousTrack:
        if (idle)
            global->pendingTrackStep = GlobalData::TrackStep::Previous;
        break;
    case RemoteControlBeginSeekingBackward:
        setSeeking(false, true);
        startSeekingLoop(false);
        break;
    case RemoteControlEndSeekingBackward:
        setSeeking(false, false);
        break;
    case RemoteControlBeginSeekingForward:
        setSeeking(true, true);
        startSeekingLoop(true);
        break;
    case RemoteControlEndSeekingForward:
        setSeeking(true, false);
        break;
    default:
        break; // an unknown remote-control event is swallowed all the same
    }
    return true;
}

int RemoteControl::subtypeForKey(const QKeyEvent &event)
{
    if (event.isAutoRepeat())
        return 0;
    if (event.type() == QEvent::KeyRelease) {
        if (event.key() == Qt::Key_AudioRewind)
            return RemoteControlEndSeekingBackward;
        if (event.key() == Qt::Key_AudioForward)
            return RemoteControlEndSeekingForward;
        return 0;
    }
    if (event.type() != QEvent::KeyPress)
        return 0;
    switch (event.key()) {
    case Qt::Key_MediaPlay:
        // Keyboards label their one play key "play/pause" but send XF86AudioPlay: it toggles.
        return RemoteControlTogglePlayPause;
    case Qt::Key_MediaPause:
        return RemoteControlPause;
    case Qt::Key_MediaStop:
        return RemoteControlStop;
    case Qt::Key_MediaTogglePlayPause:
        return RemoteControlTogglePlayPause;
    case Qt::Key_MediaNext:
        return RemoteControlNextTrack;
    case Qt::Key_MediaPrevious:
        return RemoteControlPreviousTrack;
    case Qt::Key_AudioRewind:
        return RemoteControlBeginSeekingBackward;
    case Qt::Key_AudioForward:
        return RemoteControlBeginSeekingForward;
    default:
        return 0;
    }
}

bool RemoteControl::eventFilter(QObject *watched, QEvent *event)
{
    // A key event travels from the window to its items; it is taken once, where it enters the window.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        watched->isWindowType()) {
        const int subtype = subtypeForKey(*static_cast<QKeyEvent *>(event));
        if (subtype != 0)
            return sendEvent(RemoteControlEventType, subtype);
    }
    return QObject::eventFilter(watched, event);
}

bool RemoteControl::seekingForward() const
{
    return m_seekingForward;
}

bool RemoteControl::seekingBackward() const
{
    return m_seekingBackward;
}

int RemoteControl::runningSeekLoops() const
{
    int running = 0;
    for (const QPointer<QTimer> &loop : m_forwardLoops + m_backwardLoops)
        running += loop ? 1 : 0;
    return running;
}

void RemoteControl::setSeekInterval(int milliseconds)
{
    m_intervalMs = milliseconds;
}

int RemoteControl::seekInterval() const
{
    return m_intervalMs;
}

void RemoteControl::setSeeking(bool forward, bool on)
{
    (forward ? m_seekingForward : m_seekingBackward) = on;
    if (on)
        return;
    // A released key ends its loops now rather than at their next step.
    QList<QPointer<QTimer>> &loops = forward ? m_forwardLoops : m_backwardLoops;
    for (const QPointer<QTimer> &loop : std::as_const(loops)) {
        if (loop) {
            loop->stop();
            loop->deleteLater();
        }
    }
    loops.clear();
}

void RemoteControl::startSeekingLoop(bool forward)
{
    // Each press steps on its own: two presses without a release step twice as fast, until the release.
    auto *loop = new QTimer(this);
    loop->setInterval(m_intervalMs);
    connect(loop, &QTimer::timeout, this, [forward] { seekStep(forward); });
    (forward ? m_forwardLoops : m_backwardLoops) << loop;
    seekStep(forward);
    loop->start();
}

void RemoteControl::seekStep(bool forward)
{
    AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer;
    if (!player)
        return;
    const double duration = player->duration();
    if (!(duration > 0)) // not a number fails this too
        return;
    const bool wasPlaying = player->isPlaying();
    player->pause();
    const float step = float(duration) / 30.0f;
    if (forward) {
        const float target = float(player->currentTime()) + step;
        if (target < duration) // never past the end
            player->setCurrentTime(target);
    } else {
        const float target = float(player->currentTime()) - step;
        player->setCurrentTime(target > 0 ? target : 0.0);
    }
    player->prepareToPlay();
    if (wasPlaying)
        player->play();
}
