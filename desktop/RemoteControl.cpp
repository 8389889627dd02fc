#include "desktop/RemoteControl.h"

#include "core/GlobalData.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"

#include <QKeyEvent>
#include <QThread>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

// Shared with the loops' threads, which may outlive a step of the main thread but never this object.
struct customMainAppClass::SeekState
{
    std::atomic<bool> forward{false};
    std::atomic<bool> backward{false};
    std::atomic<int> intervalMs{1000};
    std::atomic<int> running{0};
    std::mutex mutex;
    std::condition_variable wake;

    std::atomic<bool> &flag(bool isForward) { return isForward ? forward : backward; }
};

customMainAppClass::customMainAppClass(QObject *parent)
    : QObject(parent), m_state(std::make_shared<SeekState>()), m_stepper(new QObject(this))
{}

customMainAppClass::~customMainAppClass()
{
    setSeeking(true, false);
    setSeeking(false, false);
    // The loops only post to m_stepper, never wait for this thread, so waiting for them here cannot block.
    for (const QPointer<QThread> &thread : std::as_const(m_threads)) {
        if (!thread)
            continue;
        thread->wait();
        delete thread.data();
    }
}

bool customMainAppClass::sendEvent(int type, int subtype)
{
    if (type != RemoteControlEventType)
        return false;
    GlobalData *global = GlobalData::sharedGlobalData();
    // While a track change is pending, the track buttons wait for it; holding a seek key does not.
    const bool idle = global->audioChangingFlag == 0;
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
            global->audioChangingFlag = 1;
        break;
    case RemoteControlPreviousTrack:
        if (idle)
            global->audioChangingFlag = -1;
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

int customMainAppClass::subtypeForKey(const QKeyEvent &event)
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

bool customMainAppClass::eventFilter(QObject *watched, QEvent *event)
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

bool customMainAppClass::seekingForward() const
{
    return m_state->forward.load();
}

bool customMainAppClass::seekingBackward() const
{
    return m_state->backward.load();
}

int customMainAppClass::runningSeekLoops() const
{
    return m_state->running.load();
}

void customMainAppClass::setSeekInterval(int milliseconds)
{
    m_state->intervalMs.store(milliseconds);
}

int customMainAppClass::seekInterval() const
{
    return m_state->intervalMs.load();
}

void customMainAppClass::setSeeking(bool forward, bool on)
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->flag(forward).store(on);
    }
    // A released key ends its loop now rather than at the end of the loop's pause.
    m_state->wake.notify_all();
}

void customMainAppClass::startSeekingLoop(bool forward)
{
    m_threads.removeAll(nullptr);
    const std::shared_ptr<SeekState> state = m_state;
    QObject *stepper = m_stepper;
    state->running.fetch_add(1);
    QThread *thread = QThread::create([state, stepper, forward] {
        while (state->flag(forward).load()) {
            // The player belongs to the main thread: the step is carried out there.
            QMetaObject::invokeMethod(
                stepper, [forward] { seekStep(forward); }, Qt::QueuedConnection);
            std::unique_lock lock(state->mutex);
            state->wake.wait_for(lock, std::chrono::milliseconds(state->intervalMs.load()),
                                 [&] { return !state->flag(forward).load(); });
        }
        state->running.fetch_sub(1);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_threads << thread;
    thread->start();
}

void customMainAppClass::seekStep(bool forward)
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
