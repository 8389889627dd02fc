#pragma once

#include "playback/VideoEngine.h"
#include "playback/VideoPictureSource.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QWindow>

class QTimer;

// The video player screen: plays one remote address ("search") or library file ("library") once, stopping on
// its last picture, pausing the music meanwhile. With a second display the picture goes there and the screen
// shows its own play, pause and position controls, which a one-second timer keeps up to date.
class Video_Player : public VideoPictureSource
{
    Q_OBJECT
    Q_PROPERTY(QString fileName READ fileName WRITE setFileName NOTIFY fileNameChanged)
    Q_PROPERTY(QString refererType READ refererType WRITE setRefererType NOTIFY refererTypeChanged)
    // The video's name for the controls: the one given, else the library file's name without extension.
    Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
    Q_PROPERTY(VideoEngine *player READ player NOTIFY playerChanged)
    Q_PROPERTY(bool loading READ loading NOTIFY loadingChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)
    Q_PROPERTY(QWindow *hostWindow READ hostWindow WRITE setHostWindow NOTIFY externalDisplayChanged)
    Q_PROPERTY(bool externalDisplay READ externalDisplay NOTIFY externalDisplayChanged)
    Q_PROPERTY(int externalScreenIndex READ externalScreenIndex NOTIFY externalDisplayChanged)
    Q_PROPERTY(
        bool externalControlsVisible READ externalControlsVisible NOTIFY externalControlsVisibleChanged)
    Q_PROPERTY(double sliderMaximum READ sliderMaximum NOTIFY sliderChanged)
    Q_PROPERTY(double sliderValue READ sliderValue NOTIFY sliderChanged)
    Q_PROPERTY(QString videoTimeLabel READ videoTimeLabel NOTIFY timeLabelsChanged)
    Q_PROPERTY(QString videoTimeLabelCurrent READ videoTimeLabelCurrent NOTIFY timeLabelsChanged)

public:
    static constexpr int timerInterval = 1000; // milliseconds
    static constexpr int surfaceWaitMs = 3000; // how long a load waits for the picture surface

    explicit Video_Player(QObject *parent = nullptr);
    ~Video_Player() override;

    QString fileName() const { return m_fileName; }
    void setFileName(const QString &fileName);
    QString refererType() const { return m_refererType; }
    void setRefererType(const QString &type);
    QString title() const;
    void setTitle(const QString &title);
    VideoEngine *player() const { return m_player; }
    bool loading() const { return m_loading; }
    QString errorText() const { return m_errorText; }
    // The picture goes to a second display: the widest screen other than the window's own, when there is one.
    bool externalDisplay() const { return externalScreenIndex() >= 0; }
    int externalScreenIndex() const;
    // The window the screen is shown in (the view sets it): its screen never takes the picture, so that the
    // window's own controls stay in sight.
    QWindow *hostWindow() const { return m_hostWindow; }
    void setHostWindow(QWindow *window);
    // Index of the window's screen among the connected ones: the host window's, else the primary screen's,
    // unless set (tests).
    int windowScreenIndex() const;
    void setWindowScreenIndex(int index);
    bool externalControlsVisible() const { return m_externalControlsVisible; }
    double sliderMaximum() const { return m_sliderMaximum; }
    double sliderValue() const { return m_sliderValue; }
    QString videoTimeLabel() const { return m_videoTimeLabel; }
    QString videoTimeLabelCurrent() const { return m_videoTimeLabelCurrent; }
    bool timerActive() const;

    // What the player is given: an address for "search", a file address made from the path otherwise.
    QString contentAddress() const;
    // Seconds rounded to whole ones as the time labels show them ("1:05").
    Q_INVOKABLE static QString clockText(double seconds);

    // Connected displays; the application's screens unless set (tests).
    int displayCount() const;
    void setDisplayCount(int count);
    // Screen widths by index; the application's screens unless set (tests).
    void setScreenWidths(const QList<int> &widths);

    Q_INVOKABLE void viewDidLoad();
    Q_INVOKABLE void viewWillAppear();
    Q_INVOKABLE void viewWillDisappear();
    Q_INVOKABLE void closeWindow();
    Q_INVOKABLE void refreshWindow();
    Q_INVOKABLE void playButtonPressed();
    Q_INVOKABLE void pauseButtonPressed();
    Q_INVOKABLE void videoSliderMoved(double value);

    // A picture surface will draw this player: loads wait for it (VideoSurface calls these).
    VideoEngine *engine() const override { return m_player; }
    void expectPictureSurface() override;
    void pictureSurfaceReady() override;

Q_SIGNALS:
    void fileNameChanged();
    void refererTypeChanged();
    void titleChanged();
    void playerChanged();
    void loadingChanged();
    void errorTextChanged();
    void externalDisplayChanged();
    void externalControlsVisibleChanged();
    void sliderChanged();
    void timeLabelsChanged();
    // The screen is to be dismissed.
    void dismissRequested();

private:
    void loadPlayer();
    void startLoad();
    void moviePlayerLoadStateChanged();
    void moviePlayerFailed();
    void updateTime();
    void setLoading(bool loading);
    void setSliderValue(double value);
    QList<int> screenWidths() const;
    // The displays changed: the controls for a second display follow, once the video has loaded.
    void showExternalControls();

    QString m_fileName;
    QString m_refererType;
    QString m_title;
    QPointer<VideoEngine> m_player;
    QTimer *m_playbackTimer = nullptr;
    QTimer *m_surfaceWait = nullptr;
    bool m_loading = true;
    bool m_loadStateHandled = false;
    bool m_pictureExpected = false;
    bool m_surfaceReady = false;
    bool m_loadPending = false;
    bool m_loadedWithoutSurface = false;
    QString m_errorText;
    bool m_externalControlsVisible = false;
    double m_sliderMaximum = 0;
    double m_sliderValue = 0;
    QString m_videoTimeLabel;
    QString m_videoTimeLabelCurrent;
    int m_displayCount = -1;
    QList<int> m_screenWidths;
    int m_windowScreenIndex = -1;
    QPointer<QWindow> m_hostWindow;
};
