#pragma once

#include "screens/ProgressOverlay.h"

#include <QList>
#include <QObject>
#include <QStringList>

// Every label and details text the overlays of a screen showed, in order, with their minimum show times.
struct OverlayLog
{
    QStringList labels;
    QStringList details;
    QList<float> minShowTimes;

    // Follows each overlay `screen` (anything with hud() and hudChanged) puts up from now on.
    template <typename Screen> void watch(Screen &screen)
    {
        QObject::connect(&screen, &Screen::hudChanged, [this, &screen] {
            ProgressOverlay *hud = screen.hud();
            if (!hud)
                return;
            labels << hud->labelText();
            minShowTimes << hud->minShowTime();
            QObject::connect(hud, &ProgressOverlay::labelTextChanged,
                             [this, hud] { labels << hud->labelText(); });
            QObject::connect(hud, &ProgressOverlay::detailsLabelTextChanged, [this, hud] {
                if (!hud->detailsLabelText().isEmpty())
                    details << hud->detailsLabelText();
            });
            if (!hud->detailsLabelText().isEmpty())
                details << hud->detailsLabelText();
        });
    }
};
