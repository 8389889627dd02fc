#pragma once

#include "screens/CatalogueMenu.h"

// The video tab's menu (`Video`): seven rows.
class Video : public CatalogueMenu
{
    Q_OBJECT
public:
    static constexpr int rowCountTotal = 7;
    explicit Video(QObject *parent = nullptr);
    explicit Video(Settings *settings, QObject *parent = nullptr);

protected:
    QList<int> counters(Settings &settings) const override;
};
