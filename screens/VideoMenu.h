#pragma once

#include "screens/CatalogueMenu.h"

// The video tab's menu: seven rows.
class VideoMenu : public CatalogueMenu
{
    Q_OBJECT
public:
    static constexpr int rowCountTotal = 7;
    explicit VideoMenu(QObject *parent = nullptr);
    explicit VideoMenu(Settings *settings, QObject *parent = nullptr);

protected:
    QList<int> counters(Settings &settings) const override;
};
