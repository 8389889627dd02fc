#include "screens/Video_Player.h"

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "decoding/Text.h"
#include "playback/AudioPlayer.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>

#include <algorithm>

Video_Player::Video_Player(QObject *parent)
    : VideoPictureSource(parent), m_playbackTimer(new QTimer(this)), m_surfaceWait(new QTimer(this))
{
    m_playbackTimer->setInterval(timerInterval);
    connect(m_playbackTimer, &QTimer::timeout, this, &Video_Player::updateTime);
    m_surfaceWait->setSingleShot(true);
    m_surfaceWait->setInterval(surfaceWaitMs);
    connect(m_surfaceWait, &QTimer::timeout, this, &Video_Player::startLoad);
    connect(this, &Video_Player::playerChanged, this, &VideoPictureSource::engineChanged);
    connect(this, &Video_Player::externalDisplayChanged, this, &Video_Player::showExternalControls);
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::screenAdded, this, &Video_Player::externalDisplayChanged);
        connect(app, &QGuiApplication::screenRemoved, this, &Video_Player::externalDisplayChanged);
    }
}

Video_Player::~Video_Player() = default;

void Video_Player::setFileName(const QString &fileName)
{
    if (fileName == m_fileName)
        return;
    m_fileName = fileName;
    Q_EMIT fileNameChanged();
    Q_EMIT titleChanged();
}

void Video_Player::setRefererType(const QString &type)
{
    if (type == m_refererType)
        return;
    m_refererType = type;
    Q_EMIT refererTypeChanged();
    Q_EMIT titleChanged();
}

QString Video_Player::title() const
{
    if (!m_title.isEmpty() || m_refererType == QLatin1String("search"))
        return m_title;
    return QFileInfo(m_fileName).completeBaseName();
}

void Video_Player::setTitle(const QString &title)
{
    if (title == m_title)
        return;
    m_title = title;
    Q_EMIT titleChanged();
}

bool Video_Player::timerActive() const
{
    return m_playbackTimer->isActive();
}

QString Video_Player::contentAddress() const
{
    if (m_refererType == QLatin1String("search"))
        return QUrl(m_fileName).toString(QUrl::FullyEncoded);
    // A path is never parsed as an address: spaces, "#" and "%" in it stay part of the name.
    return QUrl::fromLocalFile(m_fileName).toString(QUrl::FullyEncoded);
}

QString Video_Player::clockText(double seconds)
{
    return StorageLayout::secondsToTime(QString::asprintf("%.0f", seconds));
}

int Video_Player::displayCount() const
{
    if (m_displayCount >= 0)
        return m_displayCount;
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return int(QGuiApplication::screens().size());
    return 1;
}

void Video_Player::setDisplayCount(int count)
{
    m_displayCount = count;
    Q_EMIT externalDisplayChanged();
}

void Video_Player::setScreenWidths(const QList<int> &widths)
{
    m_screenWidths = widths;
    Q_EMIT externalDisplayChanged();
}

QList<int> Video_Player::screenWidths() const
{
    if (!m_screenWidths.isEmpty() || !qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return m_screenWidths;
    QList<int> widths;
    for (const QScreen *screen : QGuiApplication::screens())
        widths.append(screen->size().width());
    return widths;
}

void Video_Player::setHostWindow(QWindow *window)
{
    if (window == m_hostWindow)
        return;
    if (m_hostWindow)
        disconnect(m_hostWindow, nullptr, this, nullptr);
    m_hostWindow = window;
    if (window)
        connect(window, &QWindow::screenChanged, this, &Video_Player::externalDisplayChanged);
    Q_EMIT externalDisplayChanged();
}

int Video_Player::windowScreenIndex() const
{
    if (m_windowScreenIndex >= 0)
        return m_windowScreenIndex;
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 0;
    QScreen *own = m_hostWindow ? m_hostWindow->screen() : QGuiApplication::primaryScreen();
    return std::max<int>(0, int(QGuiApplication::screens().indexOf(own)));
}

void Video_Player::setWindowScreenIndex(int index)
{
    m_windowScreenIndex = index;
    Q_EMIT externalDisplayChanged();
}

int Video_Player::externalScreenIndex() const
{
    const int count = displayCount();
    if (count < 2)
        return -1;
    // The widest screen but the window's own, the first of equals; a screen reporting no width still serves.
    const QList<int> widths = screenWidths();
    const int own = windowScreenIndex();
    int best = -1;
    int bestWidth = -1;
    for (int i = 0; i < count; ++i) {
        if (i == own)
            continue;
        const int width = widths.value(i, 0);
        if (width > bestWidth) {
            best = i;
            bestWidth = width;
        }
    }
    return best;
}

void Video_Player::setLoading(bool loading)
{
    if (loading == m_loading)
        return;
    m_loading = loading;
    Q_EMIT loadingChanged();
}

void Video_Player::setSliderValue(double value)
{
    m_sliderValue = value;
    Q_EMIT sliderChanged();
}

void Video_Player::viewDidLoad()
{
    if (AudioPlayer *music = GlobalData::sharedGlobalData()->audioPlayer)
        music->pause();
    m_playbackTimer->start();
    if (m_player)
        m_player->deleteLater();
    m_player = new VideoEngine(m_pictureExpected, this);
    connect(m_player, &VideoEngine::loaded, this, &Video_Player::moviePlayerLoadStateChanged);
    connect(m_player, &VideoEngine::failed, this, &Video_Player::moviePlayerFailed);
    Q_EMIT playerChanged();
    loadPlayer();
}

void Video_Player::loadPlayer()
{
    if (!m_player)
        return;
    m_player->stop();
    if (m_pictureExpected && !m_surfaceReady) {
        // A file opened before the render context exists plays without a picture until it is opened again.
        m_loadPending = true;
        m_surfaceWait->start();
        return;
    }
    startLoad();
}

void Video_Player::startLoad()
{
    m_surfaceWait->stop();
    m_loadPending = false;
    if (!m_player)
        return;
    m_loadedWithoutSurface = m_pictureExpected && !m_surfaceReady;
    // Played once: a desktop player stops at the end rather than starting again.
    m_player->load(contentAddress(), false);
    if (externalDisplay())
        setSliderValue(0);
}

void Video_Player::expectPictureSurface()
{
    m_pictureExpected = true;
}

void Video_Player::pictureSurfaceReady()
{
    if (m_surfaceReady)
        return;
    m_surfaceReady = true;
    if (m_loadPending)
        startLoad();
    else if (m_loadedWithoutSurface)
        loadPlayer(); // the picture came late: open the file again so that it is drawn
}

void Video_Player::viewWillAppear()
{
    Q_EMIT externalDisplayChanged();
}

void Video_Player::viewWillDisappear()
{
    m_playbackTimer->stop();
}

void Video_Player::moviePlayerLoadStateChanged()
{
    if (!m_errorText.isEmpty()) {
        m_errorText.clear();
        Q_EMIT errorTextChanged();
    }
    if (m_loadStateHandled)
        return;
    m_loadStateHandled = true;
    setLoading(false);
    showExternalControls();
}

void Video_Player::showExternalControls()
{
    // Once shown they stay: a display unplugged later brings the embedded controls back in the view.
    if (!m_loadStateHandled || m_externalControlsVisible || !externalDisplay())
        return;
    m_externalControlsVisible = true;
    Q_EMIT externalControlsVisibleChanged();
    m_sliderMaximum = m_player ? m_player->duration() : 0;
    Q_EMIT sliderChanged();
}

void Video_Player::moviePlayerFailed()
{
    // Said plainly instead of leaving the indicator turning for ever.
    setLoading(false);
    m_errorText = tr("Не удалось воспроизвести видео");
    Q_EMIT errorTextChanged();
}

void Video_Player::updateTime()
{
    if (!externalDisplay() || !m_player)
        return;
    m_videoTimeLabel = clockText(m_player->playableDuration());
    m_videoTimeLabelCurrent = clockText(m_player->position());
    Q_EMIT timeLabelsChanged();
    setSliderValue(m_player->position());
}

void Video_Player::playButtonPressed()
{
    if (m_player)
        m_player->play();
}

void Video_Player::pauseButtonPressed()
{
    if (m_player)
        m_player->pause();
}

void Video_Player::videoSliderMoved(double value)
{
    if (!m_player)
        return;
    m_player->pause();
    m_player->seek(value);
    m_player->play();
}

void Video_Player::refreshWindow()
{
    loadPlayer();
}

void Video_Player::closeWindow()
{
    m_playbackTimer->stop();
    m_surfaceWait->stop();
    if (m_player) {
        VideoEngine *player = m_player;
        m_player = nullptr;
        player->stop();
        Q_EMIT playerChanged();
        player->deleteLater();
    }
    Q_EMIT dismissRequested();
}
