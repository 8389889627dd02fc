#include "screens/AlbumRecordModel.h"

AlbumRecordModel::AlbumRecordModel(QList<AlbumRecord> *albums, QObject *parent)
    : QAbstractListModel(parent), m_albums(albums)
{}

int AlbumRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_albums->size());
}

QVariant AlbumRecordModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_albums->size())
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

void AlbumRecordModel::reload()
{
    beginResetModel();
    endResetModel();
}
