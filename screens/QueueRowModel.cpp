#include "screens/QueueRowModel.h"

int QueueRowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant QueueRowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || index.row() >= int(m_rows.size()))
        return {};
    const Row &row = m_rows[size_t(index.row())];
    switch (role) {
    case KindRole:
        return row.header ? QStringLiteral("header") : QStringLiteral("item");
    case TitleRole:
        return row.title;
    case Qt::DisplayRole:
    case NameRole:
        return row.name;
    case StatusRole:
        return row.status;
    case ProgressRole:
        return row.progress;
    case IconRole:
        return row.icon;
    case SectionRole:
        return row.section;
    case RowRole:
        return row.row;
    case TagRole:
        return row.tag;
    case RemovableRole:
        return row.removable;
    case DetailRole:
        return row.detail;
    default:
        return {};
    }
}

QHash<int, QByteArray> QueueRowModel::roleNames() const
{
    return {{KindRole, "kind"},           {TitleRole, "title"},       {NameRole, "name"},
            {StatusRole, "status"},       {ProgressRole, "progress"}, {IconRole, "icon"},
            {SectionRole, "section"},     {RowRole, "row"},           {TagRole, "tag"},
            {RemovableRole, "removable"}, {DetailRole, "detail"}};
}

int QueueRowModel::indexOf(int section, int row) const
{
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const Row &candidate = m_rows[i];
        if (candidate.section == section && (candidate.header ? row == -1 : candidate.row == row))
            return int(i);
    }
    return -1;
}

void QueueRowModel::setRows(std::vector<Row> rows)
{
    bool sameLayout = rows.size() == m_rows.size();
    for (size_t i = 0; sameLayout && i < rows.size(); ++i) {
        sameLayout = rows[i].header == m_rows[i].header && rows[i].section == m_rows[i].section &&
                     rows[i].tag == m_rows[i].tag;
    }
    if (!sameLayout) {
        // Rows came or went: the view keeps no state of its own worth saving, so redraw it all.
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        return;
    }
    // Only texts and bars changed: update those rows in place, so the list keeps its scroll position.
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i] == m_rows[i])
            continue;
        m_rows[i] = std::move(rows[i]);
        const QModelIndex changed = index(int(i));
        Q_EMIT dataChanged(changed, changed);
    }
}
