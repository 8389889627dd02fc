#include "playback/MusicPlayer.h"

#include "core/GlobalData.h"
#include "playback/AudioPlayer.h"

void MusicPlayer::play()
{
    if (AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer)
        player->play();
}

void MusicPlayer::pause()
{
    if (AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer)
        player->pause();
}

QString MusicPlayer::displayName(const QString &file)
{
    QString name = file.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) // a leading dot names a hidden file, it is no extension
        name.truncate(dot);
    return name;
}

int MusicPlayer::currentIndex()
{
    const QList<PlaylistEntry> &list = GlobalData::sharedGlobalData()->audioPlaylistArray;
    for (qsizetype i = list.size() - 1; i >= 0; --i) {
        if (list.at(i).current == QLatin1String("1"))
            return int(i);
    }
    return -1;
}
