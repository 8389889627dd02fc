#pragma once

#include <QAbstractListModel>
#include <QString>

#include <vector>

// The rows of the queue screen: a header row for each of the two sections, each followed by the rows of its
// list. Filled by Queue::reloadTable from the download queue; the view only draws what the roles say.
class QueueRowModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        KindRole = Qt::UserRole + 1, // "header" or "item"
        TitleRole,                   // header text
        NameRole,
        StatusRole,
        ProgressRole, // 0 … 1
        IconRole,     // "icon_audio.png" / "icon_video.png"
        SectionRole,  // 0 audio, 1 video
        RowRole,      // index in the section's list
        TagRole,
        RemovableRole, // the remove button does something
        DetailRole,    // the whole text behind the status: a failure's own description
    };

    struct Row
    {
        bool header = false;
        QString title;
        QString name;
        QString status;
        double progress = 0;
        QString icon;
        int section = 0;
        int row = 0;
        int tag = 0;
        bool removable = false;
        QString detail;
        bool operator==(const Row &) const = default;
    };

    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const std::vector<Row> &rows() const { return m_rows; }
    // The model row of the item at `row` of `section`, or of the section's header for row -1; -1 if none.
    Q_INVOKABLE int indexOf(int section, int row) const;
    // Replaces the rows: changed values are announced row by row while the layout stays, else as a reset.
    void setRows(std::vector<Row> rows);

private:
    std::vector<Row> m_rows;
};
