#include "screens/SavedPlaylists.h"

#include "core/PropertyList.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "decoding/Log.h"
#include "desktop/Portals.h"
#include "library/PlaylistFile.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/PlayerEvents.h"
#include "screens/PlaylistExport.h"
#include "screens/PlaylistImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

SavedPlaylists::FileChooser &fileChooser()
{
    static SavedPlaylists::FileChooser chooser = [](QObject *context, auto done) {
        Portals::chooseFile(QCoreApplication::translate("SavedPlaylists", "Импорт плейлиста"),
                            {QCoreApplication::translate("SavedPlaylists", "Плейлисты (M3U, PLS, XSPF)"),
                             {QStringLiteral("*.m3u"), QStringLiteral("*.m3u8"), QStringLiteral("*.pls"),
                              QStringLiteral("*.xspf"), QStringLiteral("*.M3U"), QStringLiteral("*.M3U8"),
                              QStringLiteral("*.PLS"), QStringLiteral("*.XSPF")}},
                            context, [done](Portals::ChooseResult result, const QString &path) {
                                done(result != Portals::ChooseResult::Unavailable, path);
                            });
    };
    return chooser;
}

} // namespace

SavedPlaylists::SavedPlaylists(QObject *parent) : QObject(parent) {}

void SavedPlaylists::setFileChooser(FileChooser chooser)
{
    fileChooser() = std::move(chooser);
}

void SavedPlaylists::importPlaylistPressed()
{
    fileChooser()(this, [this](bool answered, const QString &path) {
        if (!answered) {
            Q_EMIT alertRequested(
                tr("Ошибка"),
                tr("Выбор файла недоступен: откройте плейлист в Melodrop из файлового менеджера "
                   "или укажите его в командной строке"),
                {tr("Готово")}, 0);
            return;
        }
        if (!path.isEmpty())
            importFile(path);
    });
}

void SavedPlaylists::importFile(const QString &path)
{
    const PlaylistImport::Notice notice = PlaylistImport::importFile(path);
    if (notice.saved)
        viewWillAppear();
    Q_EMIT playlistImported();
    Q_EMIT alertRequested(notice.title, notice.message, {tr("Готово")}, 0);
}

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
        QDir(StorageLayout::getPlaylistsDir())
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
    const QString path = StorageLayout::getPlaylistsDir() + QLatin1Char('/') + m_playlistsArray.at(row);
    PlaylistFile::Loaded loaded = PlaylistFile::load(path);
    // Emptying the playlist for a file that cannot be read would lose it for nothing: the current one stays.
    if (loaded.unreadable()) {
        // Saving under that name later would replace the file: it is moved aside and leaves the list.
        const QString keptAs = PlaylistFile::setAside(path);
        Log::line(QStringLiteral("The saved playlist %1 could not be read (%2); %3")
                      .arg(path, PropertyList::describe(loaded.error),
                           keptAs.isEmpty() ? QStringLiteral("it could not be moved aside")
                                            : QStringLiteral("kept as ") + keptAs));
        if (keptAs.isEmpty()) {
            Q_EMIT alertRequested(tr("Ошибка"), tr("Плейлист не загружен: файл не удалось прочитать"),
                                  {tr("Готово")}, 0);
            return;
        }
        const QString name = names().at(row);
        m_playlistsArray.removeAt(row);
        Q_EMIT playlistsChanged();
        Q_EMIT alertRequested(tr("Ошибка"),
                              tr("Плейлист «%1» не загружен: файл не удалось прочитать. Он сохранён как %2.")
                                  .arg(name, QFileInfo(keptAs).fileName()),
                              {tr("Готово")}, 0);
        return;
    }
    if (loaded.error != PropertyList::Error::None) {
        Q_EMIT alertRequested(tr("Ошибка"), tr("Плейлист не загружен: файл не удалось прочитать"),
                              {tr("Готово")}, 0);
        return;
    }
    AudioPlayer::dropShared();
    PlaylistStore &playlist = Stores::playlist();
    playlist.assignEntries(std::move(loaded.entries));
    playlist.setJustLoaded(true);
    Q_EMIT PlayerEvents::shared().playlistChanged();
    Q_EMIT returnRequested();
}

void SavedPlaylists::deleteRow(int row)
{
    if (row < 0 || row >= m_playlistsArray.size())
        return;
    const QString path = StorageLayout::getPlaylistsDir() + QLatin1Char('/') + m_playlistsArray.at(row);
    if (QFileInfo::exists(path))
        QFile::remove(path);
    m_playlistsArray.removeAt(row);
    Q_EMIT playlistsChanged();
}

void SavedPlaylists::exportM3u(int row)
{
    exportRow(row, int(PlaylistExchange::Format::M3u));
}

void SavedPlaylists::exportXspf(int row)
{
    exportRow(row, int(PlaylistExchange::Format::Xspf));
}

void SavedPlaylists::exportRow(int row, int format)
{
    if (row < 0 || row >= m_playlistsArray.size())
        return;
    const QString path = StorageLayout::getPlaylistsDir() + QLatin1Char('/') + m_playlistsArray.at(row);
    const PlaylistFile::Loaded loaded = PlaylistFile::load(path);
    if (loaded.error != PropertyList::Error::None) {
        Q_EMIT alertRequested(tr("Ошибка"), tr("Плейлист не экспортирован: файл не удалось прочитать"),
                              {tr("Готово")}, 0);
        return;
    }
    const QString written =
        PlaylistExport::write(loaded.entries, names().at(row), PlaylistExchange::Format(format));
    if (written.isEmpty()) {
        Q_EMIT alertRequested(tr("Ошибка"), tr("Плейлист не экспортирован: файл не удалось записать"),
                              {tr("Готово")}, 0);
        return;
    }
    Q_EMIT playlistExported(written);
    Q_EMIT alertRequested(tr("Экспорт"), tr("Плейлист сохранён в файл %1").arg(written), {tr("Готово")}, 0);
}
