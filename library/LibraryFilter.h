#pragma once

#include <QSortFilterProxyModel>
#include <QString>

// The library's rows as the table shows them: narrowed to those whose name or tags hold the filter text
// (ignoring case), and sorted by a column the user picked. With no column picked the rows keep the
// listing's order (folders first, then files by name). Folders stay above files in every order.
class LibraryFilter : public QSortFilterProxyModel
{
    Q_OBJECT
    Q_PROPERTY(QString filterText READ filterText WRITE setFilterText NOTIFY filterTextChanged)
    Q_PROPERTY(int sortColumn READ sortColumn NOTIFY sortChanged)
    Q_PROPERTY(bool descending READ descending NOTIFY sortChanged)

public:
    // The columns a click on the header sorts by.
    enum Column { NoColumn = -1, TitleColumn = 0, ArtistColumn, AlbumColumn, DurationColumn };
    Q_ENUM(Column)

    explicit LibraryFilter(QObject *parent = nullptr);

    QString filterText() const { return m_text; }
    void setFilterText(const QString &text);
    int sortColumn() const { return m_column; }
    bool descending() const { return m_descending; }

    // A header click: a new column sorts ascending, the same column again turns the order round.
    Q_INVOKABLE void sortBy(int column);
    // Back to the listing's order.
    Q_INVOKABLE void clearSort();
    // The row of the source model shown at `row`; -1 when none.
    Q_INVOKABLE int sourceRow(int row) const;
    // Where the source model's row `sourceRow` is shown; -1 when filtered out.
    Q_INVOKABLE int rowOf(int sourceRow) const;

Q_SIGNALS:
    void filterTextChanged();
    void sortChanged();

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    QString m_text;
    int m_column = NoColumn;
    bool m_descending = false;
};
