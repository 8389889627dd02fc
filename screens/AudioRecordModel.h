#pragma once

#include "core/Stores.h"
#include "screens/StoreListModel.h"

// The table of an audio result screen: the rows of its store, as they come and go. Main thread only.
class AudioRecordModel : public StoreListModel
{
    Q_OBJECT
public:
    enum Role { TitleRole = Qt::UserRole + 1, ArtistRole, DurationRole, TagRole };

    explicit AudioRecordModel(AudioRecordStore *records, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    AudioRecordStore *m_records;
};
