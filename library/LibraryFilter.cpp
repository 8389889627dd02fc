#include "library/LibraryFilter.h"

#include "library/LibraryEntries.h"

LibraryFilter::LibraryFilter(QObject *parent) : QSortFilterProxyModel(parent)
{
    // Rows whose tags arrive later are placed and filtered again as they change.
    setDynamicSortFilter(true);
}

void LibraryFilter::setFilterText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed == m_text)
        return;
    m_text = trimmed;
    invalidateRowsFilter();
    Q_EMIT filterTextChanged();
}

void LibraryFilter::sortBy(int column)
{
    if (column < TitleColumn || column > DurationColumn)
        return;
    m_descending = column == m_column ? !m_descending : false;
    m_column = column;
    sort(0, m_descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    Q_EMIT sortChanged();
}

void LibraryFilter::clearSort()
{
    m_column = NoColumn;
    m_descending = false;
    sort(-1);
    Q_EMIT sortChanged();
}

int LibraryFilter::sourceRow(int row) const
{
    const QModelIndex source = mapToSource(index(row, 0));
    return source.isValid() ? source.row() : -1;
}

int LibraryFilter::rowOf(int sourceRow) const
{
    if (!sourceModel())
        return -1;
    const QModelIndex shown = mapFromSource(sourceModel()->index(sourceRow, 0));
    return shown.isValid() ? shown.row() : -1;
}

bool LibraryFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (m_text.isEmpty())
        return true;
    auto *entries = qobject_cast<const LibraryEntries *>(sourceModel());
    if (!entries || sourceRow >= entries->rows().size())
        return false;
    const LibraryEntries::Row &row = entries->rows().at(sourceRow);
    return row.name.contains(m_text, Qt::CaseInsensitive) ||
           row.title.contains(m_text, Qt::CaseInsensitive) ||
           row.artist.contains(m_text, Qt::CaseInsensitive) ||
           row.album.contains(m_text, Qt::CaseInsensitive);
}

bool LibraryFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    auto *entries = qobject_cast<const LibraryEntries *>(sourceModel());
    if (!entries)
        return left.row() < right.row();
    const LibraryEntries::Row &a = entries->rows().at(left.row());
    const LibraryEntries::Row &b = entries->rows().at(right.row());
    // Folders stay on top whichever way the files are turned.
    if (a.folder != b.folder)
        return m_descending ? !a.folder : a.folder;
    int order = 0;
    switch (m_column) {
    case TitleColumn:
        // A file without a title is sorted by the name it is shown under.
        order = QString::compare(a.title.isEmpty() ? a.name : a.title, b.title.isEmpty() ? b.name : b.title,
                                 Qt::CaseInsensitive);
        break;
    case ArtistColumn:
        order = QString::compare(a.artist, b.artist, Qt::CaseInsensitive);
        break;
    case AlbumColumn:
        order = QString::compare(a.album, b.album, Qt::CaseInsensitive);
        break;
    case DurationColumn:
        order = a.durationMs < b.durationMs ? -1 : (a.durationMs > b.durationMs ? 1 : 0);
        break;
    default:
        break;
    }
    // Equal keys keep the listing's order.
    return order != 0 ? order < 0 : left.row() < right.row();
}
