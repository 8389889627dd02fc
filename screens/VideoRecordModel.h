#pragma once

#include "core/Stores.h"
#include "screens/StoreListModel.h"

// The table of a video result screen: the rows of its store, as they come and go, and which row was watched
// last. Main thread only.
class VideoRecordModel : public StoreListModel
{
    Q_OBJECT
public:
    enum Role {
        TitleRole = Qt::UserRole + 1,
        DurationRole,
        QualityRole,
        ThumbnailRole,
        TagRole,
        WatchedRole
    };

    explicit VideoRecordModel(VideoRecordStore *records, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The row drawn highlighted (-1: none). It stays on its row number, as the table draws it, whatever
    // record comes to stand there.
    void setWatchedRow(int row);
    int watchedRow() const { return m_watchedRow; }

private:
    VideoRecordStore *m_records;
    int m_watchedRow = -1;
};
