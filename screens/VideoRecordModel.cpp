#include "screens/VideoRecordModel.h"

VideoRecordModel::VideoRecordModel(VideoRecordStore *records, QObject *parent)
    : StoreListModel(records, parent), m_records(records)
{
    // A row gone from under the highlight puts another record there, drawn highlighted in its turn.
    connect(records, &ListStoreSignals::removed, this, [this] {
        if (m_watchedRow >= 0 && m_watchedRow < m_records->size())
            Q_EMIT dataChanged(index(m_watchedRow), index(m_watchedRow), {WatchedRole});
    });
}

int VideoRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_records->size();
}

QVariant VideoRecordModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
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
