#include "screens/PlaylistRowModel.h"

#include "playback/MusicPlayer.h"
#include "screens/PlaylistDurations.h"

PlaylistRowModel::PlaylistRowModel(PlaylistStore *playlist, PlaylistDurations *durations, QObject *parent)
    : StoreListModel(playlist, parent), m_playlist(playlist), m_durations(durations)
{
    if (!durations)
        return;
    // Only the rows drawn asked for lengths: a view redraws just those of the range.
    connect(durations, &PlaylistDurations::lengthsArrived, this, [this] {
        if (rowCount() > 0)
            Q_EMIT dataChanged(index(0), index(rowCount() - 1), {LengthRole});
    });
}

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
    case LengthRole:
        return m_durations ? m_durations->lengthText(entry.file) : QString();
    default:
        return {};
    }
}

QHash<int, QByteArray> PlaylistRowModel::roleNames() const
{
    return {{TitleRole, "title"},           {IconRole, "icon"},         {CurrentRole, "current"},
            {BackgroundRole, "background"}, {PlayableRole, "playable"}, {LengthRole, "length"}};
}

void PlaylistRowModel::refreshFiles()
{
    if (m_playable.isEmpty() || rowCount() == 0)
        return;
    m_playable.clear();
    Q_EMIT dataChanged(index(0), index(rowCount() - 1), {PlayableRole});
}
