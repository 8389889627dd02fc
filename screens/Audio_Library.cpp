#include "screens/Audio_Library.h"

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "decoding/Text.h"
#include "downloads/DownloadQueue.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"
#include "screens/LibraryFollowsDownloads.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>
#include <QPointer>

Audio_Library::Audio_Library(Settings *settings, QObject *parent)
    : LibraryBrowser(AudioMedia, LibraryScreen, settings, parent),
      m_overlays(new OverlayHost(this, [this] { setTableBusy(false); }))
{
    connect(m_overlays, &OverlayHost::currentChanged, this, &Audio_Library::hudChanged);
    followFinishedDownloads(this);
    PlaylistStore &playlist = Stores::playlist();
    for (auto signal : {&PlaylistStore::inserted, &PlaylistStore::removed, &PlaylistStore::changed})
        connect(&playlist, signal, this, &Audio_Library::playlistChanged);
    connect(&playlist, &PlaylistStore::reset, this, &Audio_Library::playlistChanged);
    playlistChanged();
}

void Audio_Library::playlistChanged()
{
    QSet<QString> files;
    for (const PlaylistEntry &entry : Stores::playlist().records())
        files.insert(entry.file);
    if (files == m_playlistFiles)
        return;
    m_playlistFiles = std::move(files);
    refreshMarks();
}

Audio_Library::~Audio_Library()
{
    closePreview();
}

void Audio_Library::setTableBusy(bool busy)
{
    if (busy == m_tableBusy)
        return;
    m_tableBusy = busy;
    Q_EMIT tableBusyChanged();
}

void Audio_Library::rowSelected(int row)
{
    const QString name = entryName(row);
    if (name.isEmpty())
        return;
    if (isFolder(name)) {
        enterFolder(name);
        return;
    }
    Q_EMIT scrollToRow(row, Middle, true);
    openFile(relativePath(name));
}

void Audio_Library::openFile(const QString &path)
{
    if (AudioPlayer *player = GlobalData::sharedGlobalData()->audioPlayer)
        player->pause();
    closePreview();
    m_miniPlayer = new MpvPlayer(this);
    m_miniPlayer->load(mediaDir() + QLatin1Char('/') + path, true);
    Q_EMIT miniPlayerChanged();
    Q_EMIT alertRequested(QStringLiteral("\n\n%1").arg(path.section(QLatin1Char('/'), -1)), QString(),
                          {tr("Закрыть")}, PreviewAlert);
}

void Audio_Library::playPath(const QString &path)
{
    if (LibraryScan::pathExtension(path).toLower() != mediaExtension() ||
        !QFileInfo(mediaDir() + QLatin1Char('/') + path).isFile())
        return;
    closePreview();
    PlaylistStore &playlist = Stores::playlist();
    int index = -1;
    for (int i = 0; i < playlist.size() && index < 0; ++i) {
        if (playlist.at(i).file == path)
            index = i;
    }
    if (index < 0) {
        playlist.append(PlaylistEntry{path, false});
        index = playlist.size() - 1;
        Q_EMIT PlayerEvents::shared().playlistChanged();
    }
    MusicPlayer::shared().playSound(index);
}

void Audio_Library::closePreview()
{
    if (MpvPlayer::release(m_miniPlayer))
        Q_EMIT miniPlayerChanged();
}

void Audio_Library::showNotice(const QString &details, float minShowTime)
{
    m_overlays->notice(tr("Уведомление"), details, minShowTime);
}

void Audio_Library::accessoryButtonTapped(int row)
{
    const QString name = entryName(row);
    // A folder has no accessory: it never joins the playlist.
    if (m_tableBusy || name.isEmpty() || isFolder(name))
        return;
    Q_EMIT scrollToRow(row, Middle, true);
    appendPath(relativePath(name));
}

void Audio_Library::appendPath(const QString &path)
{
    if (m_tableBusy || path.isEmpty() || QFileInfo(mediaDir() + QLatin1Char('/') + path).isDir())
        return;
    showNotice(tr("Запись добавлена в плейлист"), 0.5f);
    Stores::playlist().append(PlaylistEntry{path, false});
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

void Audio_Library::addAllRecordsToPlaylist()
{
    if (m_tableBusy)
        return;
    showNotice(tr("Все записи добавлены в плейлист"), 1.0f);
    QList<PlaylistEntry> entries;
    for (const QString &name : std::as_const(list())) {
        if (LibraryScan::pathExtension(name).toLower() == mediaExtension() && !isFolder(name))
            entries.append(PlaylistEntry{relativePath(name), false});
    }
    Stores::playlist().append(entries);
    Q_EMIT PlayerEvents::shared().playlistChanged();
}

void Audio_Library::deleteRow(int row)
{
    const QString name = entryName(row);
    if (name.isEmpty())
        return;
    deletePaths({relativePath(name)});
}

void Audio_Library::prunePlaylist()
{
    PlaylistStore &playlist = Stores::playlist();
    const QString audioDir = StorageLayout::getAudioDir();
    const int before = playlist.size();
    // Each file is looked at once, however often it stands in the playlist.
    QHash<QString, bool> gone;
    const bool currentGone = playlist.removeEntriesIf([&](const PlaylistEntry &entry) {
        auto known = gone.constFind(entry.file);
        if (known == gone.constEnd())
            known = gone.insert(entry.file, !QFileInfo::exists(audioDir + QLatin1Char('/') + entry.file));
        return known.value();
    });
    if (currentGone)
        AudioPlayer::dropShared();
    if (playlist.size() != before)
        Q_EMIT PlayerEvents::shared().playlistChanged();
}

void Audio_Library::clearMedia()
{
    Q_EMIT alertRequested(
        tr("Предупреждение"),
        tr("Вы уверены, что хотите удалить все файлы из медиатеки? Учтите, они также будут удалены "
           "из памяти устройства."),
        {tr("Отмена"), tr("Очистить")}, ClearAlert);
}

void Audio_Library::alertAnswered(int tag, int index)
{
    if (tag == PreviewAlert) {
        closePreview();
        return;
    }
    if (tag == ClearAlert && index == 1) {
        // The transfers end first: one still running would otherwise find its folder gone when it moves its
        // finished file into place.
        DownloadQueue::whenTransfersStopped([screen = QPointer<Audio_Library>(this)] {
            if (screen)
                screen->removeAllMedia();
        });
    }
}
