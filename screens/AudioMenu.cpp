#include "screens/AudioMenu.h"

#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "library/LibraryStore.h"

#include <QCoreApplication>

namespace {

const QList<CatalogueMenu::Row> audioRows = {
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Поиск"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "все аудиозаписи ресурса"), "icon_search.png", "Audio_Search", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Частные"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "аудиозаписи пользователя"), "icon_user.png", "Audio_Personal", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Общие"), QT_TRANSLATE_NOOP("CatalogueMenu", "аудиозаписи группы"),
     "icon_group.png", "Audio_Group", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Рекомендуемые"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "рекомендуемые аудиозаписи"), "icon_recommended.png",
     "Audio_Recommended", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Альбомы"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "поиск музыкальных альбомов"), "icon_albums.png", "Audio_Albums",
     true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Медиатека"), QT_TRANSLATE_NOOP("CatalogueMenu", "хранилище записей"),
     "icon_base.png", "Audio_Library", false, true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Аудиоплеер"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "проигрываемые записи"), "icon_playlist.png", "Audio_Playlist", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Экспорт"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "отправка в другие приложения"), "icon_export.png", "Audio_Export",
     false, true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Друзья и группы"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "список ваших друзей и групп"), "icon_friends_groups.png",
     "Friends_and_Groups", false},
};

} // namespace

AudioMenu::AudioMenu(QObject *parent) : CatalogueMenu(audioRows, LibraryStore::audio(), nullptr, parent) {}

AudioMenu::AudioMenu(Settings *settings, QObject *parent)
    : CatalogueMenu(audioRows, LibraryStore::audio(), settings, parent)
{}

QList<int> AudioMenu::counters(Settings &settings) const
{
    const int files =
        settings.boolValue(QStringLiteral("count_audio"), true) ? mediaFiles(LibraryStore::audio()) : 0;
    return {Stores::audioFound().size(),   Stores::audioPersonal().size(),
            Stores::audioGroup().size(),   Stores::audioRecommended().size(),
            Stores::albums().size(),       files,
            Stores::playlist().size(),     files,
            Stores::friendsGroups().size()};
}
