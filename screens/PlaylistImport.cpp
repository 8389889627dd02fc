#include "screens/PlaylistImport.h"

#include "core/StorageLayout.h"
#include "decoding/Log.h"
#include "library/PlaylistExchange.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace PlaylistImport {

Notice importFile(const QString &path)
{
    const PlaylistExchange::Imported imported =
        PlaylistExchange::importList(path, StorageLayout::getAudioDir(), StorageLayout::getPlaylistsDir());
    const QString file = QFileInfo(path).fileName();
    if (imported.outcome != PlaylistExchange::Imported::Done) {
        Log::line(QStringLiteral("Import of the playlist %1 failed: %2").arg(path, imported.error));
        return {QCoreApplication::translate("PlaylistImport", "Ошибка"),
                imported.outcome == PlaylistExchange::Imported::Unreadable
                    ? QCoreApplication::translate("PlaylistImport",
                                                  "Плейлист %1 не импортирован: файл не удалось прочитать")
                          .arg(file)
                    : QCoreApplication::translate("PlaylistImport",
                                                  "Плейлист %1 не импортирован: файл не удалось записать")
                          .arg(file),
                false};
    }
    if (imported.found == 0)
        return {QCoreApplication::translate("PlaylistImport", "Уведомление"),
                QCoreApplication::translate(
                    "PlaylistImport",
                    "Плейлист %1 не импортирован: ни одного его файла нет в медиатеке (не найдено: %2)")
                    .arg(file)
                    .arg(imported.missing),
                false};
    return {QCoreApplication::translate("PlaylistImport", "Уведомление"),
            QCoreApplication::translate("PlaylistImport",
                                        "Плейлист «%1» сохранён. Импортировано: %2, не найдено: %3")
                .arg(imported.name)
                .arg(imported.found)
                .arg(imported.missing),
            true};
}

} // namespace PlaylistImport
