#pragma once

#include "core/Records.h"

#include <QAbstractListModel>

// The table of a video result screen over one record list of the shared state. The list itself is the data;
// the model only tells the view when it changed, and which row was watched last. Main thread only.
class VideoRecordModel : public QAbstractListModel
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

    explicit VideoRecordModel(QList<VideoRecord> *records, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The list changed as a whole.
    void reload();
    // `records` join the end of the list and the table.
    void appendRecords(const QList<VideoRecord> &records);
    // Row `row` leaves the list and the table.
    void removeRecord(int row);
    // The row drawn highlighted (-1: none).
    void setWatchedRow(int row);
    int watchedRow() const { return m_watchedRow; }

private:
    QList<VideoRecord> *m_records;
    int m_watchedRow = -1;
};
