#pragma once

#include "core/Records.h"

#include <QAbstractListModel>

// The album table over the shared album list. The list itself is the data; the model only tells the view when
// it changed. Main thread only.
class AlbumRecordModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role { NameRole = Qt::UserRole + 1, ArtistRole, AlbumIdRole };

    explicit AlbumRecordModel(QList<AlbumRecord> *albums, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // The list changed as a whole.
    void reload();

private:
    QList<AlbumRecord> *m_albums;
};
