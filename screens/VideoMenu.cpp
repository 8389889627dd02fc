#include "screens/VideoMenu.h"

#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "library/LibraryStore.h"

#include <QCoreApplication>

namespace {

const QList<CatalogueMenu::Row> videoRows = {
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Поиск"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "все видеозаписи ресурса"), "icon_search.png", "Video_Search", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Частные"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "видеозаписи пользователя"), "icon_user.png", "Video_Personal", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Общие"), QT_TRANSLATE_NOOP("CatalogueMenu", "видеозаписи группы"),
     "icon_group.png", "Video_Group", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Рекомендуемые"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "рекомендуемые видеозаписи"), "icon_recommended.png",
     "Video_Recommended", true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Медиатека"), QT_TRANSLATE_NOOP("CatalogueMenu", "хранилище записей"),
     "icon_base.png", "Video_Library", false, true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Экспорт"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "отправка в другие приложения"), "icon_export.png", "Video_Export",
     false, true},
    {QT_TRANSLATE_NOOP("CatalogueMenu", "Друзья и группы"),
     QT_TRANSLATE_NOOP("CatalogueMenu", "список ваших друзей и групп"), "icon_friends_groups.png",
     "Friends_and_Groups", false},
};

} // namespace

VideoMenu::VideoMenu(QObject *parent) : CatalogueMenu(videoRows, LibraryStore::video(), nullptr, parent) {}

VideoMenu::VideoMenu(Settings *settings, QObject *parent)
    : CatalogueMenu(videoRows, LibraryStore::video(), settings, parent)
{}

QList<int> VideoMenu::counters(Settings &settings) const
{
    const int files =
        settings.boolValue(QStringLiteral("count_video"), true) ? mediaFiles(LibraryStore::video()) : 0;
    return {Stores::videoFound().size(),
            Stores::videoPersonal().size(),
            Stores::videoGroup().size(),
            Stores::videoRecommended().size(),
            files,
            files,
            Stores::friendsGroups().size()};
}
