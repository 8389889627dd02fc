#include "screens/AudioMenu.h"

#include "app/GlobalData.h"
#include "app/Settings.h"
#include "decoding/Text.h"
#include "service/VKontakteWorks.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>

using Text::localized;

namespace {

const QList<CatalogueMenu::Row> audioRows = {
    {"Поиск", "все аудиозаписи ресурса", "icon_search.png", "Audio_Search", true, true},
    {"Частные", "аудиозаписи пользователя", "icon_user.png", "Audio_Personal", true, true},
    {"Общие", "аудиозаписи группы", "icon_group.png", "Audio_Group", true, true},
    {"Рекомендуемые", "рекомендуемые аудиозаписи", "icon_recommended.png", "Audio_Recommended", true, true},
    {"Альбомы", "поиск музыкальных альбомов", "icon_albums.png", "Audio_Albums", true, false},
    {"Медиатека", "хранилище записей", "icon_base.png", "Audio_Library", false, true},
    {"Аудиоплеер", "проигрываемые записи", "icon_playlist.png", "Audio_Playlist", true, true},
    {"Экспорт", "отправка в другие приложения", "icon_export.png", "Audio_Export", false, true},
    {"Друзья и группы", "список ваших друзей и групп", "icon_friends_groups.png", "Friends_and_Groups", false,
     false},
};

const QList<CatalogueMenu::Row> videoRows = {
    {"Поиск", "все видеозаписи ресурса", "icon_search.png", "Video_Search", true, false},
    {"Частные", "видеозаписи пользователя", "icon_user.png", "Video_Personal", true, false},
    {"Общие", "видеозаписи группы", "icon_group.png", "Video_Group", true, false},
    {"Рекомендуемые", "рекомендуемые видеозаписи", "icon_recommended.png", "Video_Recommended", true, false},
    {"Медиатека", "хранилище записей", "icon_base.png", "Video_Library", false, true},
    {"Экспорт", "отправка в другие приложения", "icon_export.png", "Video_Export", false, true},
    {"Друзья и группы", "список ваших друзей и групп", "icon_friends_groups.png", "Friends_and_Groups", false,
     false},
};

} // namespace

CatalogueMenu::CatalogueMenu(const QList<Row> &rows, Settings *settings, QObject *parent)
    : QAbstractListModel(parent), m_rows(rows), m_settings(settings), m_counters(rows.size(), 0)
{}

int CatalogueMenu::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant CatalogueMenu::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case NameRole:
        return localized(row.name);
    case DescriptionRole:
        return localized(row.description);
    case IconRole:
        return QString::fromLatin1(row.icon);
    case CounterRole:
        return m_counters.at(index.row());
    case ScreenRole:
        return QString::fromLatin1(row.screen);
    case TitleRole:
        return row.titled ? localized(row.name) : QString();
    case AvailableRole:
        return row.available;
    default:
        return {};
    }
}

QHash<int, QByteArray> CatalogueMenu::roleNames() const
{
    return {{NameRole, "name"},          {DescriptionRole, "description"}, {IconRole, "icon"},
            {CounterRole, "counter"},    {ScreenRole, "screen"},           {TitleRole, "title"},
            {AvailableRole, "available"}};
}

int CatalogueMenu::countFiles(const QString &folder, const QString &extension)
{
    int count = 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileInfo().suffix().toLower() == extension)
            ++count;
    }
    return count;
}

int CatalogueMenu::counter(int row) const
{
    return row >= 0 && row < m_counters.size() ? m_counters.at(row) : 0;
}

void CatalogueMenu::viewWillAppear()
{
    const QList<int> fresh = counters(m_settings ? *m_settings : Settings::shared());
    for (int i = 0; i < m_counters.size() && i < fresh.size(); ++i)
        m_counters[i] = std::max(0, fresh.at(i));
    Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1), {CounterRole});
}

void CatalogueMenu::rowSelected(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    const Row &r = m_rows.at(row);
    Q_EMIT openScreen(row, QString::fromLatin1(r.screen), r.titled ? localized(r.name) : QString());
}

Audio::Audio(QObject *parent) : CatalogueMenu(audioRows, nullptr, parent) {}

Audio::Audio(Settings *settings, QObject *parent) : CatalogueMenu(audioRows, settings, parent) {}

QList<int> Audio::counters(Settings &settings) const
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    const int files = settings.boolValue(QStringLiteral("count_audio"), true)
                          ? countFiles(VKontakteWorks::getAudioDir(), QStringLiteral("mp3"))
                          : 0;
    return {int(global->audioFoundArray.size()),    int(global->audioPersonalArray.size()),
            int(global->audioGroupArray.size()),    int(global->audioRecommendedArray.size()),
            int(global->audioAlbumsArray.size()),   files,
            int(global->audioPlaylistArray.size()), files,
            int(global->friendsGroupsArray.size())};
}

Video::Video(QObject *parent) : CatalogueMenu(videoRows, nullptr, parent) {}

Video::Video(Settings *settings, QObject *parent) : CatalogueMenu(videoRows, settings, parent) {}

QList<int> Video::counters(Settings &settings) const
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    const int files = settings.boolValue(QStringLiteral("count_video"), true)
                          ? countFiles(VKontakteWorks::getVideoDir(), QStringLiteral("mp4"))
                          : 0;
    return {int(global->videoFoundArray.size()),
            int(global->videoPersonalArray.size()),
            int(global->videoGroupArray.size()),
            int(global->videoRecommendedArray.size()),
            files,
            files,
            int(global->friendsGroupsArray.size())};
}
