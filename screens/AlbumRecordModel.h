#pragma once

#include "core/Stores.h"
#include "screens/StoreListModel.h"

// The album table over the album store. Main thread only.
class AlbumRecordModel : public StoreListModel
{
    Q_OBJECT
public:
    enum Role { NameRole = Qt::UserRole + 1, ArtistRole, AlbumIdRole };

    explicit AlbumRecordModel(AlbumStore *albums, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

private:
    AlbumStore *m_albums;
};
