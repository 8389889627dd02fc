#pragma once

#include "core/Records.h"

#include <QAbstractListModel>

// The table of a result screen over one record list of the shared state. The list itself is the data; the
// model only tells the view when it changed. Main thread only.
class AudioRecordModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { TitleRole = Qt::UserRole + 1, ArtistRole, DurationRole, TagRole };

    explicit AudioRecordModel(QList<AudioRecord> *records, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The list changed. When it only grew at its end (a further page), the new rows are inserted and the view
    // keeps its place; any other change redraws the table.
    void reload();
    // Row `row` leaves the list and the table.
    void removeRecord(int row);

private:
    QList<AudioRecord> *m_records;
    // The tags of the rows the view was last given, to tell growth from replacement.
    QStringList m_shownTags;
};
