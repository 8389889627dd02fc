#pragma once

#include "screens/CatalogueMenu.h"

// The audio tab's menu (`Audio`): nine rows.
class Audio : public CatalogueMenu
{
    Q_OBJECT
public:
    static constexpr int rowCountTotal = 9;
    explicit Audio(QObject *parent = nullptr);
    // Reads the counting switch from `settings` instead of the program's store (tests).
    explicit Audio(Settings *settings, QObject *parent = nullptr);

protected:
    QList<int> counters(Settings &settings) const override;
};
