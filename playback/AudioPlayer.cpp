#include "playback/AudioPlayer.h"

#include "core/GlobalData.h"
#include "playback/PlayerEvents.h"

void AudioPlayer::dropShared()
{
    GlobalData *global = GlobalData::sharedGlobalData();
    AudioPlayer *player = global->audioPlayer;
    if (!player)
        return;
    global->audioPlayer = nullptr;
    player->stop();
    // Later, not now: the caller may be inside one of the player's own signals.
    player->deleteLater();
    Q_EMIT PlayerEvents::shared().sharedPlayerChanged();
}
