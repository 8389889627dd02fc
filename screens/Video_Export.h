#pragma once

#include "screens/MediaExport.h"

// The video export screen: the video folder, MP4 files, otherwise as the audio one.
class Video_Export : public MediaExport
{
    Q_OBJECT
public:
    explicit Video_Export(QObject *parent = nullptr) : MediaExport(VideoMedia, nullptr, parent) {}
    // `settings` replaces the program's store (tests).
    explicit Video_Export(Settings *settings, QObject *parent = nullptr)
        : MediaExport(VideoMedia, settings, parent)
    {}
};
