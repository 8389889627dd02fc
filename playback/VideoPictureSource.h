#pragma once

#include <QObject>

class VideoEngine;

// What a VideoSurface draws: the owner of the engine that plays a video. The owner decides when to load, so
// it learns that a surface will draw its picture and when the surface's render context exists.
class VideoPictureSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The engine playing now; nullptr when none.
    virtual VideoEngine *engine() const = 0;
    // A picture surface will draw this source: loads wait for it.
    virtual void expectPictureSurface() = 0;
    // The surface's render context exists; called on the main thread.
    Q_INVOKABLE virtual void pictureSurfaceReady() = 0;

Q_SIGNALS:
    void engineChanged();
};
