#pragma once

#include "screens/CatalogueMenu.h"

// The audio tab's menu: nine rows.
class AudioMenu : public CatalogueMenu
{
    Q_OBJECT
public:
    static constexpr int rowCountTotal = 9;
    explicit AudioMenu(QObject *parent = nullptr);
    // Reads the counting switch from `settings` instead of the program's store (tests).
    explicit AudioMenu(Settings *settings, QObject *parent = nullptr);

protected:
    QList<int> counters(Settings &settings) const override;
};
