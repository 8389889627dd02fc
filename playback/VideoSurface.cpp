#include "playback/VideoSurface.h"

#include "playback/MpvLibrary.h"
#include "playback/VideoEngine.h"

#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QQuickOpenGLUtils>
#include <QQuickWindow>

#include <mutex>

#include <mpv/render_gl.h>

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
        VideoPictureSource *player = surface->player();
        VideoEngine *engine = player ? player->engine() : nullptr;
        const std::shared_ptr<mpv_handle> handle =
            engine && engine->withPicture() ? engine->handle() : std::shared_ptr<mpv_handle>();
        if (handle == m_mpv)
            return;
        release();
        // A handle exists only once the library was loaded.
        const MpvLibrary *library = handle ? MpvLibrary::get() : nullptr;
        if (!library)
            return;
        mpv_opengl_init_params glInit{glProcAddress, nullptr};
        mpv_render_param params[] = {
            {MPV_RENDER_PARAM_API_TYPE, const_cast<char *>(MPV_RENDER_API_TYPE_OPENGL)},
            {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &glInit},
            {MPV_RENDER_PARAM_INVALID, nullptr},
        };
        if (library->render_context_create(&m_context, handle.get(), params) < 0) {
            m_context = nullptr;
            return;
        }
        m_library = library;
        m_mpv = handle;
        library->render_context_set_update_callback(m_context, onRenderUpdate, m_relay.get());
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
        m_library->render_context_render(m_context, params);
        QQuickOpenGLUtils::resetOpenGLState();
    }

private:
    void release()
    {
        // The render context goes before the handle it was made on.
        if (m_context)
            m_library->render_context_free(m_context);
        m_context = nullptr;
        m_mpv.reset();
    }

    std::shared_ptr<VideoUpdateRelay> m_relay;
    const MpvLibrary *m_library = nullptr;
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

void VideoSurface::setPlayer(VideoPictureSource *player)
{
    if (player == m_player)
        return;
    if (m_player)
        disconnect(m_player, nullptr, this, nullptr);
    m_player = player;
    if (m_player) {
        if (renderingSupported())
            m_player->expectPictureSurface();
        connect(m_player, &VideoPictureSource::engineChanged, this, &QQuickItem::update);
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
