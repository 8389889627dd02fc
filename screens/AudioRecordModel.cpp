#include "screens/AudioRecordModel.h"

AudioRecordModel::AudioRecordModel(AudioRecordStore *records, QObject *parent)
    : StoreListModel(records, parent), m_records(records)
{}

int AudioRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_records->size();
}

QVariant AudioRecordModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
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
