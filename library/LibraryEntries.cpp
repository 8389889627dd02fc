#include "library/LibraryEntries.h"

#include <QSet>

int LibraryEntries::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant LibraryEntries::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return row.name;
    case FolderRole:
        return row.folder;
    case DetailRole:
        return row.detail;
    case IconRole:
        return row.icon;
    case AccessoryRole:
        return row.accessory;
    case DeleteTitleRole:
        return row.deleteTitle;
    case PathRole:
        return row.path;
    case TitleRole:
        return row.title;
    case ArtistRole:
        return row.artist;
    case AlbumRole:
        return row.album;
    case DurationRole:
        return formatDuration(row.durationMs);
    case CoverRole:
        return row.cover;
    case InPlaylistRole:
        return row.inPlaylist;
    case SourceRowRole:
        return index.row();
    default:
        return {};
    }
}

QHash<int, QByteArray> LibraryEntries::roleNames() const
{
    return {{NameRole, "name"},
            {FolderRole, "folder"},
            {DetailRole, "detail"},
            {IconRole, "icon"},
            {AccessoryRole, "accessory"},
            {DeleteTitleRole, "deleteTitle"},
            {PathRole, "path"},
            {TitleRole, "title"},
            {ArtistRole, "artist"},
            {AlbumRole, "album"},
            {DurationRole, "duration"},
            {CoverRole, "cover"},
            {InPlaylistRole, "inPlaylist"},
            {SourceRowRole, "sourceRow"}};
}

void LibraryEntries::replaceRow(int row, const Row &value)
{
    if (row < 0 || row >= m_rows.size() || m_rows.at(row) == value)
        return;
    m_rows[row] = value;
    const QModelIndex at = index(row);
    Q_EMIT dataChanged(at, at);
}

QString LibraryEntries::formatDuration(qint64 ms)
{
    if (ms <= 0)
        return {};
    const qint64 seconds = (ms + 500) / 1000;
    const QLatin1Char zero('0');
    if (seconds >= 3600)
        return QStringLiteral("%1:%2:%3")
            .arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, zero)
            .arg(seconds % 60, 2, 10, zero);
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, zero);
}

void LibraryEntries::setRows(QList<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void LibraryEntries::updateRows(QList<Row> rows)
{
    QSet<QString> kept;
    kept.reserve(rows.size());
    for (const Row &row : std::as_const(rows))
        kept.insert(row.name);
    // Removals from the end, a run of neighbours at a time, so that earlier row numbers stay valid.
    for (qsizetype last = m_rows.size() - 1; last >= 0;) {
        if (kept.contains(m_rows.at(last).name)) {
            --last;
            continue;
        }
        qsizetype first = last;
        while (first > 0 && !kept.contains(m_rows.at(first - 1).name))
            --first;
        beginRemoveRows({}, int(first), int(last));
        m_rows.remove(first, last - first + 1);
        endRemoveRows();
        last = first - 1;
    }
    // What is left keeps its relative order in the new listing: the new names go in at their places, and a
    // row still there whose text changed (a file's size) is announced.
    QSet<QString> had;
    had.reserve(m_rows.size());
    for (const Row &row : std::as_const(m_rows))
        had.insert(row.name);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (!had.contains(rows.at(i).name)) {
            beginInsertRows({}, int(i), int(i));
            m_rows.insert(i, rows.at(i));
            endInsertRows();
        } else if (!(m_rows.at(i) == rows.at(i))) {
            m_rows[i] = rows.at(i);
            const QModelIndex at = index(int(i));
            Q_EMIT dataChanged(at, at);
        }
    }
}
