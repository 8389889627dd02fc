#include "screens/AlbumRecordModel.h"

AlbumRecordModel::AlbumRecordModel(AlbumStore *albums, QObject *parent)
    : StoreListModel(albums, parent), m_albums(albums)
{}

int AlbumRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_albums->size();
}

QVariant AlbumRecordModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AlbumRecord &album = m_albums->at(index.row());
    switch (role) {
    case NameRole:
        return album.name;
    case ArtistRole:
        return album.artist;
    case AlbumIdRole:
        return album.albumId;
    default:
        return {};
    }
}

QHash<int, QByteArray> AlbumRecordModel::roleNames() const
{
    return {{NameRole, "name"}, {ArtistRole, "artist"}, {AlbumIdRole, "albumId"}};
}
