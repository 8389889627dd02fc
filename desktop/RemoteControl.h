#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QKeyEvent;
class QTimer;

// Receives the remote-control events of the program (the MPRIS service's calls, media keys pressed in its
// windows) and drives the music player with them: play, pause, stop, toggle, next and previous through
// MusicPlayer and GlobalData::pendingTrackStep, and seeking while a seek key is held. Main thread only; each
// held seek key steps through a timer of its own on the main thread, where the player lives.
class RemoteControl : public QObject
{
    Q_OBJECT

public:
    enum EventType { RemoteControlEventType = 2 };
    enum Subtype {
        RemoteControlPlay = 100,
        RemoteControlPause = 101,
        RemoteControlStop = 102,
        RemoteControlTogglePlayPause = 103,
        RemoteControlNextTrack = 104,
        RemoteControlPreviousTrack = 105,
        RemoteControlBeginSeekingBackward = 106,
        RemoteControlEndSeekingBackward = 107,
        RemoteControlBeginSeekingForward = 108,
        RemoteControlEndSeekingForward = 109,
    };
    Q_ENUM(Subtype)

    explicit RemoteControl(QObject *parent = nullptr);
    ~RemoteControl() override;

    // Dispatches one event. Remote-control events (type 2) are consumed, known subtype or not: true. Any
    // other type is not ours: false, for the caller to pass it on.
    bool sendEvent(int type, int subtype);

    // Media keys pressed in the program's windows, as remote-control events. Install on the application.
    bool eventFilter(QObject *watched, QEvent *event) override;
    // The remote-control subtype of a media key press or release; 0 for any other key. Held seek keys repeat
    // their press: only the first press and the final release count.
    static int subtypeForKey(const QKeyEvent &event);

    bool seekingForward() const;
    bool seekingBackward() const;
    // Seeking loops still running: one per press of a seek key, until that key's release.
    int runningSeekLoops() const;

    // Pause between two seeking steps; one second unless a test wants it shorter.
    void setSeekInterval(int milliseconds);
    int seekInterval() const;

    // One step of a held seek key on the shared player: a thirtieth of its duration forward (never reaching
    // its end) or backward (not below 0). Nothing without a player or with a duration that is not positive.
    static void seekStep(bool forward);

private:
    void startSeekingLoop(bool forward);
    void setSeeking(bool forward, bool on);

    bool m_seekingForward = false;
    bool m_seekingBackward = false;
    int m_intervalMs = 1000;
    // The running loops of each direction.
    QList<QPointer<QTimer>> m_forwardLoops;
    QList<QPointer<QTimer>> m_backwardLoops;
};
