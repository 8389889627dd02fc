#pragma once

#include "playback/VideoPictureSource.h"

#include <QPointer>
#include <QQuickFramebufferObject>

#include <memory>

struct VideoUpdateRelay;
class VideoPictureSource;

// Draws a video's picture inside Qt Quick through mpv's render API (OpenGL). Under another scene graph
// backend (software, Vulkan) it draws nothing and the player goes on without a picture.
class VideoSurface : public QQuickFramebufferObject
{
    Q_OBJECT
    Q_PROPERTY(VideoPictureSource *player READ player WRITE setPlayer NOTIFY playerChanged)
    Q_PROPERTY(bool supported READ supported CONSTANT)

public:
    explicit VideoSurface(QQuickItem *parent = nullptr);
    ~VideoSurface() override;

    VideoPictureSource *player() const { return m_player; }
    void setPlayer(VideoPictureSource *player);
    // Whether the scene graph renders through OpenGL, which the render API needs.
    static bool renderingSupported();
    bool supported() const { return renderingSupported(); }

    Renderer *createRenderer() const override;

Q_SIGNALS:
    void playerChanged();

protected:
    QSGNode *updatePaintNode(QSGNode *node, UpdatePaintNodeData *data) override;

private:
    QPointer<VideoPictureSource> m_player;
    std::shared_ptr<VideoUpdateRelay> m_relay;
};
