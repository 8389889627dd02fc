#include "screens/AudioMenu.h"

#include "app/GlobalData.h"
#include "app/Settings.h"
#include "service/VKontakteWorks.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>

namespace {

struct Row
{
    const char *name;
    const char *description;
    const char *icon;
    const char *screen;
    bool titled;    // the opened screen takes the row's name as its title
    bool available; // the screen exists in this build
};

const Row rows[Audio::rowCountTotal] = {
    {"Поиск", "все аудиозаписи ресурса", "icon_search.png", "Audio_Search", true, true},
    {"Частные", "аудиозаписи пользователя", "icon_user.png", "Audio_Personal", true, true},
    {"Общие", "аудиозаписи группы", "icon_group.png", "Audio_Group", true, true},
    {"Рекомендуемые", "рекомендуемые аудиозаписи", "icon_recommended.png", "Audio_Recommended", true, true},
    {"Альбомы", "поиск музыкальных альбомов", "icon_albums.png", "Audio_Albums", true, false},
    {"Медиатека", "хранилище записей", "icon_base.png", "Audio_Library", false, false},
    {"Аудиоплеер", "проигрываемые записи", "icon_playlist.png", "Audio_Playlist", true, false},
    {"Экспорт", "отправка в другие приложения", "icon_export.png", "Audio_Export", false, false},
    {"Друзья и группы", "список ваших друзей и групп", "icon_friends_groups.png", "Friends_and_Groups", false, false},
};

QString tr(const char *text)
{
    return QCoreApplication::translate("Melodrop", text);
}

} // namespace

Audio::Audio(QObject *parent) : QAbstractListModel(parent) {}

Audio::Audio(Settings *settings, QObject *parent) : QAbstractListModel(parent), m_settings(settings) {}

int Audio::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rowCountTotal;
}

QVariant Audio::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= rowCountTotal)
        return {};
    const Row &row = rows[index.row()];
    switch (role) {
    case NameRole:
        return tr(row.name);
    case DescriptionRole:
        return tr(row.description);
    case IconRole:
        return QString::fromLatin1(row.icon);
    case CounterRole:
        return m_counters[index.row()];
    case ScreenRole:
        return QString::fromLatin1(row.screen);
    case TitleRole:
        return row.titled ? tr(row.name) : QString();
    case AvailableRole:
        return row.available;
    default:
        return {};
    }
}

QHash<int, QByteArray> Audio::roleNames() const
{
    return {{NameRole, "name"},     {DescriptionRole, "description"}, {IconRole, "icon"},
            {CounterRole, "counter"}, {ScreenRole, "screen"},         {TitleRole, "title"},
            {AvailableRole, "available"}};
}

int Audio::countFiles(const QString &folder, const QString &extension)
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

int Audio::counter(int row) const
{
    return row >= 0 && row < rowCountTotal ? m_counters[row] : 0;
}

void Audio::viewWillAppear()
{
    const GlobalData *global = GlobalData::sharedGlobalData();
    Settings &settings = m_settings ? *m_settings : Settings::shared();
    const int files = settings.boolValue(QStringLiteral("count_audio"), true)
                          ? countFiles(VKontakteWorks::getAudioDir(), QStringLiteral("mp3"))
                          : 0;
    const int counters[rowCountTotal] = {
        int(global->audioFoundArray.size()),       int(global->audioPersonalArray.size()),
        int(global->audioGroupArray.size()),       int(global->audioRecommendedArray.size()),
        int(global->audioAlbumsArray.size()),      files,
        int(global->audioPlaylistArray.size()),    files,
        int(global->friendsGroupsArray.size()),
    };
    std::copy(std::begin(counters), std::end(counters), std::begin(m_counters));
    Q_EMIT dataChanged(index(0), index(rowCountTotal - 1), {CounterRole});
}

void Audio::rowSelected(int row)
{
    if (row < 0 || row >= rowCountTotal)
        return;
    Q_EMIT openScreen(row, QString::fromLatin1(rows[row].screen), rows[row].titled ? tr(rows[row].name) : QString());
}
