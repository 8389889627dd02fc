#include "screens/VideoRecordModel.h"

VideoRecordModel::VideoRecordModel(QList<VideoRecord> *records, QObject *parent)
    : QAbstractListModel(parent), m_records(records)
{}

int VideoRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records->size());
}

QVariant VideoRecordModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_records->size())
        return {};
    const VideoRecord &record = m_records->at(index.row());
    switch (role) {
    case TitleRole:
        return record.title;
    case DurationRole:
        return record.duration;
    case QualityRole:
        return record.quality;
    case ThumbnailRole:
        return record.thumbnail;
    case TagRole:
        return record.tag;
    case WatchedRole:
        return index.row() == m_watchedRow;
    default:
        return {};
    }
}

QHash<int, QByteArray> VideoRecordModel::roleNames() const
{
    return {{TitleRole, "title"},         {DurationRole, "duration"}, {QualityRole, "quality"},
            {ThumbnailRole, "thumbnail"}, {TagRole, "tag"},           {WatchedRole, "watched"}};
}

void VideoRecordModel::reload()
{
    beginResetModel();
    endResetModel();
}

void VideoRecordModel::appendRecords(const QList<VideoRecord> &records)
{
    if (records.isEmpty())
        return;
    const int first = int(m_records->size());
    beginInsertRows(QModelIndex(), first, first + int(records.size()) - 1);
    m_records->append(records);
    endInsertRows();
}

void VideoRecordModel::removeRecord(int row)
{
    if (row < 0 || row >= m_records->size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_records->removeAt(row);
    endRemoveRows();
    // The highlight stays on its row number, as the table draws it, whatever record now stands there.
    if (m_watchedRow >= 0 && m_watchedRow < m_records->size())
        Q_EMIT dataChanged(index(m_watchedRow), index(m_watchedRow), {WatchedRole});
}

void VideoRecordModel::setWatchedRow(int row)
{
    if (row == m_watchedRow)
        return;
    const int previous = m_watchedRow;
    m_watchedRow = row;
    for (const int changed : {previous, row}) {
        if (changed >= 0 && changed < m_records->size())
            Q_EMIT dataChanged(index(changed), index(changed), {WatchedRole});
    }
}
