#include "playback/PlayerEvents.h"

PlayerEvents &PlayerEvents::shared()
{
    static PlayerEvents *instance = new PlayerEvents;
    return *instance;
}
