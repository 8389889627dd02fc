#pragma once

#include "screens/MediaExport.h"

// The audio export screen.
class Audio_Export : public MediaExport
{
    Q_OBJECT
public:
    explicit Audio_Export(QObject *parent = nullptr) : MediaExport(AudioMedia, nullptr, parent) {}
    // `settings` replaces the program's store (tests).
    explicit Audio_Export(Settings *settings, QObject *parent = nullptr)
        : MediaExport(AudioMedia, settings, parent)
    {}
};
