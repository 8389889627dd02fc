#pragma once

#include <QObject>

// Tells watchers (the MPRIS service) that the shared player was replaced or dropped, or that the current
// playlist or its current track changed, so they need not wait for their next poll.
class PlayerEvents : public QObject
{
    Q_OBJECT
public:
    static PlayerEvents &shared();

Q_SIGNALS:
    void sharedPlayerChanged();
    void playlistChanged();
};
