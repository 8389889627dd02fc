#include "media/Video_Player.h"

#include "app/GlobalData.h"
#include "decoding/Text.h"
#include "media/AudioPlayer.h"
#include "service/VKontakteWorks.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QMetaObject>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QQuickOpenGLUtils>
#include <QQuickWindow>
#include <QScreen>
#include <QTimer>
#include <QUrl>

#include <clocale>
#include <mutex>

#include <mpv/client.h>
#include <mpv/render_gl.h>

using Text::localized;

namespace {

enum Observed : uint64_t { TimePos = 1, Duration, Pause, CacheTime };

void onWakeup(void *context)
{
    // Called on an mpv thread: hand the event reading to the engine's own thread.
    QMetaObject::invokeMethod(static_cast<VideoEngine *>(context), "handleEvents", Qt::QueuedConnection);
}

} // namespace

VideoEngine::VideoEngine(bool withPicture, QObject *parent) : QObject(parent), m_withPicture(withPicture)
{
    std::setlocale(LC_NUMERIC, "C"); // libmpv refuses to start under a locale with a decimal comma
    mpv_handle *mpv = mpv_create();
    if (!mpv)
        return;
    // "libmpv" draws through the render context VideoSurface makes; should a file open before there is one,
    // mpv falls back to "null" and plays on instead of ending the file with an error.
    mpv_set_option_string(mpv, "vo", withPicture ? "libmpv,null" : "null");
    mpv_set_option_string(mpv, "terminal", "no");
    mpv_set_option_string(mpv, "ytdl", "no");
    mpv_set_option_string(mpv, "idle", "yes");
    mpv_set_option_string(mpv, "input-default-bindings", "no");
    mpv_set_option_string(mpv, "osc", "no");
    mpv_set_option_string(mpv, "gpu-hwdec-interop",
                          "no"); // decoding is in software: no probing of GPU drivers
    const QByteArray ao = qgetenv("MELODROP_MPV_AO");
    if (!ao.isEmpty())
        mpv_set_option_string(mpv, "ao", ao.constData());
    if (mpv_initialize(mpv) < 0) {
        mpv_terminate_destroy(mpv);
        return;
    }
    m_mpv = std::shared_ptr<mpv_handle>(mpv, mpv_terminate_destroy);
    mpv_observe_property(mpv, TimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, Duration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, Pause, "pause", MPV_FORMAT_FLAG);
    mpv_observe_property(mpv, CacheTime, "demuxer-cache-time", MPV_FORMAT_DOUBLE);
    mpv_set_wakeup_callback(mpv, onWakeup, this);
}

VideoEngine::~VideoEngine()
{
    if (!m_mpv)
        return;
    mpv_set_wakeup_callback(m_mpv.get(), nullptr, nullptr);
    // The picture's renderer may hold the handle a little longer: make sure nothing plays on meanwhile.
    const char *command[] = {"stop", nullptr};
    mpv_command(m_mpv.get(), command);
}

double VideoEngine::playableDuration() const
{
    return m_cacheEnd > 0 ? std::min(m_cacheEnd, m_duration > 0 ? m_duration : m_cacheEnd) : m_duration;
}

void VideoEngine::load(const QString &address, bool loop)
{
    if (!m_mpv)
        return;
    mpv_set_property_string(m_mpv.get(), "loop-file", loop ? "inf" : "no");
    mpv_set_property_string(m_mpv.get(), "pause", "no");
    const QByteArray target = address.toUtf8();
    const char *command[] = {"loadfile", target.constData(), "replace", nullptr};
    mpv_command(m_mpv.get(), command);
}

void VideoEngine::play()
{
    if (m_mpv)
        mpv_set_property_string(m_mpv.get(), "pause", "no");
}

void VideoEngine::pause()
{
    if (m_mpv)
        mpv_set_property_string(m_mpv.get(), "pause", "yes");
}

void VideoEngine::togglePause()
{
    if (m_playing)
        pause();
    else
        play();
}

void VideoEngine::seek(double seconds)
{
    if (!m_mpv)
        return;
    const QByteArray target = QByteArray::number(seconds, 'f', 3);
    const char *command[] = {"seek", target.constData(), "absolute", nullptr};
    mpv_command(m_mpv.get(), command);
}

void VideoEngine::stop()
{
    if (!m_mpv)
        return;
    const char *command[] = {"stop", nullptr};
    mpv_command(m_mpv.get(), command);
    setPlaying(false);
}

void VideoEngine::setPlaying(bool playing)
{
    if (playing == m_playing)
        return;
    m_playing = playing;
    Q_EMIT playingChanged();
}

void VideoEngine::handleEvents()
{
    while (m_mpv) {
        mpv_event *event = mpv_wait_event(m_mpv.get(), 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        switch (event->event_id) {
        case MPV_EVENT_PROPERTY_CHANGE: {
            auto *property = static_cast<mpv_event_property *>(event->data);
            if (property->format == MPV_FORMAT_FLAG && property->data && event->reply_userdata == Pause) {
                int idle = 0;
                mpv_get_property(m_mpv.get(), "idle-active", MPV_FORMAT_FLAG, &idle);
                setPlaying(!idle && !*static_cast<int *>(property->data));
                break;
            }
            const bool known = property->format == MPV_FORMAT_DOUBLE && property->data;
            const double value = known ? *static_cast<double *>(property->data) : 0;
            if (event->reply_userdata == TimePos && known) {
                m_position = value;
                Q_EMIT positionChanged();
            } else if (event->reply_userdata == Duration) {
                m_duration = value;
                Q_EMIT durationChanged();
            } else if (event->reply_userdata == CacheTime) {
                m_cacheEnd = known ? value : -1;
            }
            break;
        }
        case MPV_EVENT_FILE_LOADED: {
            double duration = 0;
            if (mpv_get_property(m_mpv.get(), "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 &&
                duration != m_duration) {
                m_duration = duration;
                Q_EMIT durationChanged();
            }
            int paused = 0;
            mpv_get_property(m_mpv.get(), "pause", MPV_FORMAT_FLAG, &paused);
            setPlaying(!paused);
            Q_EMIT loaded();
            break;
        }
        case MPV_EVENT_END_FILE: {
            auto *end = static_cast<mpv_event_end_file *>(event->data);
            setPlaying(false);
            if (end->reason == MPV_END_FILE_REASON_ERROR)
                Q_EMIT failed();
            break;
        }
        default:
            break;
        }
    }
}

Video_Player::Video_Player(QObject *parent)
    : QObject(parent), m_playbackTimer(new QTimer(this)), m_surfaceWait(new QTimer(this))
{
    m_playbackTimer->setInterval(timerInterval);
    connect(m_playbackTimer, &QTimer::timeout, this, &Video_Player::updateTime);
    m_surfaceWait->setSingleShot(true);
    m_surfaceWait->setInterval(surfaceWaitMs);
    connect(m_surfaceWait, &QTimer::timeout, this, &Video_Player::startLoad);
}

Video_Player::~Video_Player() = default;

void Video_Player::setFileName(const QString &fileName)
{
    if (fileName == m_fileName)
        return;
    m_fileName = fileName;
    Q_EMIT fileNameChanged();
}

void Video_Player::setRefererType(const QString &type)
{
    if (type == m_refererType)
        return;
    m_refererType = type;
    Q_EMIT refererTypeChanged();
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
    return VKontakteWorks::secondsToTime(QString::asprintf("%.0f", seconds));
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

int Video_Player::externalScreenIndex() const
{
    if (!externalDisplay())
        return -1;
    // The widest of the other screens, the first of equals; the second screen when none reports a width.
    const QList<int> widths = screenWidths();
    int best = 1;
    int bestWidth = 0;
    for (int i = 1; i < widths.size(); ++i) {
        if (widths.at(i) > bestWidth) {
            best = i;
            bestWidth = widths.at(i);
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
    m_player->load(contentAddress(), true);
    if (displayCount() > 1)
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
    if (displayCount() > 1) {
        m_externalControlsVisible = true;
        Q_EMIT externalControlsVisibleChanged();
        m_sliderMaximum = m_player ? m_player->duration() : 0;
        Q_EMIT sliderChanged();
    }
}

void Video_Player::moviePlayerFailed()
{
    // Said plainly instead of leaving the indicator turning for ever.
    setLoading(false);
    m_errorText = localized("Не удалось воспроизвести видео");
    Q_EMIT errorTextChanged();
}

void Video_Player::updateTime()
{
    if (displayCount() < 2 || !m_player)
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

// ---- The picture ----

// Lets mpv's render thread ask for a new frame without outliving the item it asks.
struct VideoUpdateRelay
{
    std::mutex mutex;
    QQuickItem *item = nullptr;
};

namespace {

void onRenderUpdate(void *context)
{
    auto *relay = static_cast<VideoUpdateRelay *>(context);
    std::lock_guard lock(relay->mutex);
    if (relay->item)
        QMetaObject::invokeMethod(relay->item, &QQuickItem::update, Qt::QueuedConnection);
}

void *glProcAddress(void *, const char *name)
{
    QOpenGLContext *context = QOpenGLContext::currentContext();
    return context ? reinterpret_cast<void *>(context->getProcAddress(name)) : nullptr;
}

// Lives on the scene graph's render thread, with the OpenGL context current in every call.
class VideoRenderer : public QQuickFramebufferObject::Renderer
{
public:
    explicit VideoRenderer(std::shared_ptr<VideoUpdateRelay> relay) : m_relay(std::move(relay)) {}
    ~VideoRenderer() override { release(); }

    void synchronize(QQuickFramebufferObject *item) override
    {
        auto *surface = static_cast<VideoSurface *>(item);
        Video_Player *player = surface->player();
        VideoEngine *engine = player ? player->player() : nullptr;
        const std::shared_ptr<mpv_handle> handle =
            engine && engine->withPicture() ? engine->handle() : std::shared_ptr<mpv_handle>();
        if (handle == m_mpv)
            return;
        release();
        if (!handle)
            return;
        mpv_opengl_init_params glInit{glProcAddress, nullptr};
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
            {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (mpv_render_context_create(&m_context, handle.get(), params) < 0) {
            m_context = nullptr;
            return;
        }
        m_mpv = handle;
        mpv_render_context_set_update_callback(m_context, onRenderUpdate, m_relay.get());
        QMetaObject::invokeMethod(player, "pictureSurfaceReady", Qt::QueuedConnection);
    }

    void render() override
    {
        if (!m_context)
            return;
        QOpenGLFramebufferObject *fbo = framebufferObject();
        mpv_opengl_fbo target{int(fbo->handle()), fbo->width(), fbo->height(), 0};
        // mpv writes the top row first; Qt presents the texture with OpenGL's bottom-left origin, which shows
        // it the right way up.
        int flipY = 0;
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_OPENGL_FBO, &target},
            {MPV_RENDER_PARAM_FLIP_Y, &flipY},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        mpv_render_context_render(m_context, params);
        QQuickOpenGLUtils::resetOpenGLState();
    }

private:
    void release()
    {
        // The render context goes before the handle it was made on.
        if (m_context)
            mpv_render_context_free(m_context);
        m_context = nullptr;
        m_mpv.reset();
    }

    std::shared_ptr<VideoUpdateRelay> m_relay;
    std::shared_ptr<mpv_handle> m_mpv;
    mpv_render_context *m_context = nullptr;
};

} // namespace

VideoSurface::VideoSurface(QQuickItem *parent)
    : QQuickFramebufferObject(parent), m_relay(std::make_shared<VideoUpdateRelay>())
{
    m_relay->item = this;
}

VideoSurface::~VideoSurface()
{
    std::lock_guard lock(m_relay->mutex);
    m_relay->item = nullptr;
}

bool VideoSurface::renderingSupported()
{
    // graphicsApi() names the hardware API even when QT_QUICK_BACKEND chose the software renderer.
    const QString backend = QQuickWindow::sceneGraphBackend();
    const QString requested = qEnvironmentVariable("QT_QUICK_BACKEND");
    if (backend == QLatin1String("software") || requested == QLatin1String("software"))
        return false;
    return QQuickWindow::graphicsApi() == QSGRendererInterface::OpenGL;
}

void VideoSurface::setPlayer(Video_Player *player)
{
    if (player == m_player)
        return;
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = player;
    if (m_player) {
        if (renderingSupported())
            m_player->expectPictureSurface();
        connect(m_player, &Video_Player::playerChanged, this, &QQuickItem::update);
    }
    Q_EMIT playerChanged();
    update();
}

QQuickFramebufferObject::Renderer *VideoSurface::createRenderer() const
{
    return new VideoRenderer(m_relay);
}

QSGNode *VideoSurface::updatePaintNode(QSGNode *node, UpdatePaintNodeData *data)
{
    if (!window() || window()->rendererInterface()->graphicsApi() != QSGRendererInterface::OpenGL) {
        delete node;
        return nullptr;
    }
    return QQuickFramebufferObject::updatePaintNode(node, data);
}
