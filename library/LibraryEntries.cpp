#include "library/LibraryEntries.h"

int LibraryEntries::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant LibraryEntries::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case NameRole:
        return row.name;
    case FolderRole:
        return row.folder;
    case DetailRole:
        return row.detail;
    case IconRole:
        return row.icon;
    case AccessoryRole:
        return row.accessory;
    case DeleteTitleRole:
        return row.deleteTitle;
    default:
        return {};
    }
}

QHash<int, QByteArray> LibraryEntries::roleNames() const
{
    return {{NameRole, "name"}, {FolderRole, "folder"},       {DetailRole, "detail"},
            {IconRole, "icon"}, {AccessoryRole, "accessory"}, {DeleteTitleRole, "deleteTitle"}};
}

void LibraryEntries::setRows(QList<Row> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}
