#include "screens/PlaylistRowModel.h"

#include "playback/MusicPlayer.h"

PlaylistRowModel::PlaylistRowModel(PlaylistStore *playlist, QObject *parent)
    : StoreListModel(playlist, parent), m_playlist(playlist)
{}

int PlaylistRowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_playlist->size();
}

QVariant PlaylistRowModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const PlaylistEntry &entry = m_playlist->at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
        return MusicPlayer::displayName(entry.file);
    case IconRole:
        return entry.current ? QStringLiteral("icon_audio_active.png") : QStringLiteral("icon_audio.png");
    case CurrentRole:
        return entry.current;
    case BackgroundRole:
        return entry.current ? currentRowColor() : QColor(Qt::transparent);
    case PlayableRole: {
        auto known = m_playable.constFind(entry.file);
        if (known == m_playable.constEnd()) {
            ++m_filesChecked;
            known = m_playable.insert(entry.file, MusicPlayer::isPlayable(entry.file));
        }
        return known.value();
    }
    default:
        return {};
    }
}

QHash<int, QByteArray> PlaylistRowModel::roleNames() const
{
    return {{TitleRole, "title"},
            {IconRole, "icon"},
            {CurrentRole, "current"},
            {BackgroundRole, "background"},
            {PlayableRole, "playable"}};
}

void PlaylistRowModel::refreshFiles()
{
    if (m_playable.isEmpty() || rowCount() == 0)
        return;
    m_playable.clear();
    Q_EMIT dataChanged(index(0), index(rowCount() - 1), {PlayableRole});
}
