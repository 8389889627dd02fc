#include "screens/AudioRecordModel.h"

AudioRecordModel::AudioRecordModel(QList<AudioRecord> *records, QObject *parent)
    : QAbstractListModel(parent), m_records(records)
{}

int AudioRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records->size());
}

QVariant AudioRecordModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_records->size())
        return {};
    const AudioRecord &record = m_records->at(index.row());
    switch (role) {
    case TitleRole:
        return record.title;
    case ArtistRole:
        return record.artist;
    case DurationRole:
        return record.duration;
    case TagRole:
        return record.tag;
    default:
        return {};
    }
}

QHash<int, QByteArray> AudioRecordModel::roleNames() const
{
    return {{TitleRole, "title"}, {ArtistRole, "artist"}, {DurationRole, "duration"}, {TagRole, "tag"}};
}

void AudioRecordModel::reload()
{
    QStringList tags;
    tags.reserve(m_records->size());
    for (const AudioRecord &record : *m_records)
        tags.append(record.tag);
    const qsizetype shown = m_shownTags.size();
    if (shown > 0 && tags.size() > shown && tags.mid(0, shown) == m_shownTags) {
        beginInsertRows(QModelIndex(), int(shown), int(tags.size() - 1));
        m_shownTags = tags;
        endInsertRows();
        return;
    }
    beginResetModel();
    m_shownTags = tags;
    endResetModel();
}

void AudioRecordModel::removeRecord(int row)
{
    if (row < 0 || row >= m_records->size())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_records->removeAt(row);
    if (row < m_shownTags.size())
        m_shownTags.removeAt(row);
    endRemoveRows();
}
