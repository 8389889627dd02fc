#include "screens/SavedPlaylists.h"

#include "core/GlobalData.h"
#include "library/PlaylistFile.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"
#include "service/VKontakteWorks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

SavedPlaylists::SavedPlaylists(QObject *parent) : QObject(parent) {}

QStringList SavedPlaylists::names() const
{
    QStringList names;
    names.reserve(m_playlistsArray.size());
    for (const QString &file : m_playlistsArray)
        names << MusicPlayer::displayName(file);
    return names;
}

void SavedPlaylists::viewWillAppear()
{
    const QStringList entries =
        QDir(VKontakteWorks::getPlaylistsDir())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Unsorted);
    m_playlistsArray.clear();
    for (const QString &entry : entries) {
        // The extension is compared exactly: "Party.TUNEPLAYLIST" is not a playlist of ours.
        if (QFileInfo(entry).suffix() == QLatin1String("tuneplaylist"))
            m_playlistsArray << entry;
    }
    Q_EMIT playlistsChanged();
}

void SavedPlaylists::rowSelected(int row)
{
    if (row < 0 || row >= m_playlistsArray.size())
        return;
    GlobalData *global = GlobalData::sharedGlobalData();
    const std::optional<QList<PlaylistEntry>> entries =
        PlaylistFile::read(VKontakteWorks::getPlaylistsDir() + QLatin1Char('/') + m_playlistsArray.at(row));
    if (!entries) {
        // Emptying the playlist for a file that cannot be read would lose it for nothing.
        Q_EMIT alertRequested(tr("Ошибка"), tr("Плейлист не загружен: файл не удалось прочитать"),
                              {tr("Готово")}, 0);
        return;
    }
    AudioPlayer::dropShared();
    global->audioPlaylistArray.clear();
    global->audioPlaylistArray.append(*entries);
    global->iJustSelectedPlaylist = true;
    Q_EMIT PlayerEvents::shared().playlistChanged();
    Q_EMIT returnRequested();
}

void SavedPlaylists::deleteRow(int row)
{
    if (row < 0 || row >= m_playlistsArray.size())
        return;
    const QString path = VKontakteWorks::getPlaylistsDir() + QLatin1Char('/') + m_playlistsArray.at(row);
    if (QFileInfo::exists(path))
        QFile::remove(path);
    m_playlistsArray.removeAt(row);
    Q_EMIT playlistsChanged();
}
