#pragma once

#include <QObject>

// Tells watchers (the MPRIS service, the player screen) that the shared player was replaced or dropped, that
// the current playlist or its current track changed, or that shuffle or repeat was switched, so they need not
// wait for their next poll.
class PlayerEvents : public QObject
{
    Q_OBJECT
public:
    static PlayerEvents &shared();

Q_SIGNALS:
    void sharedPlayerChanged();
    void playlistChanged();
    void modesChanged();
};
