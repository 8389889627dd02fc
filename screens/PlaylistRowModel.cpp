#include "screens/PlaylistRowModel.h"

int PlaylistRowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant PlaylistRowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_rows.size()))
        return {};
    const Row &row = m_rows[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
        return row.title;
    case IconRole:
        return row.current ? QStringLiteral("icon_audio_active.png") : QStringLiteral("icon_audio.png");
    case CurrentRole:
        return row.current;
    case BackgroundRole:
        return row.current ? currentRowColor() : QColor(Qt::transparent);
    case PlayableRole:
        return row.playable;
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

void PlaylistRowModel::setRows(std::vector<Row> rows)
{
    if (rows.size() != m_rows.size()) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] == m_rows[i])
            continue;
        m_rows[i] = rows[i];
        Q_EMIT dataChanged(index(int(i)), index(int(i)));
    }
}

void PlaylistRowModel::removeRowAt(int row)
{
    if (row < 0 || row >= int(m_rows.size()))
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void PlaylistRowModel::moveRow(int from, int to)
{
    const int count = int(m_rows.size());
    if (from < 0 || from >= count || to < 0)
        return;
    const int final = std::min(to, count - 1); // where moveObjectFromIndex leaves the element
    if (final == from)
        return;
    // Qt names the destination as the row before which the moved one lands, counted before the move.
    beginMoveRows(QModelIndex(), from, from, QModelIndex(), final > from ? final + 1 : final);
    Row row = m_rows[size_t(from)];
    m_rows.erase(m_rows.begin() + from);
    m_rows.insert(m_rows.begin() + final, row);
    endMoveRows();
}
