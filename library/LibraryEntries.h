#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

// The rows of a media folder as the table draws them: computed when the folder is listed.
class LibraryEntries : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        NameRole = Qt::UserRole + 1,
        FolderRole,
        DetailRole,
        IconRole,
        AccessoryRole,
        DeleteTitleRole
    };

    struct Row
    {
        QString name;
        bool folder = false; // a folder on disk: drawn and handled as one, whatever its name
        QString detail;      // "Размер: … Мб" for files, empty for folders
        QString icon;
        bool accessory = false;
        QString deleteTitle;

        bool operator==(const Row &) const = default;
    };

    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Another folder's rows: the view starts over.
    void setRows(QList<Row> rows);
    // The same folder listed again: rows that went are removed, new ones inserted and changed ones
    // announced, so a view keeps its place. Both lists must be in the listing's order.
    void updateRows(QList<Row> rows);
    const QList<Row> &rows() const { return m_rows; }

private:
    QList<Row> m_rows;
};
