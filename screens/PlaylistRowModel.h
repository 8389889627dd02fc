#pragma once

#include <QAbstractListModel>
#include <QColor>
#include <QString>

#include <vector>

// The rows of the player screen's table, a copy of the playlist taken when the table is reloaded: the view
// never reads the shared list while another screen changes it.
class PlaylistRowModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Role {
        TitleRole = Qt::UserRole + 1, // the file name without folder and extension
        IconRole,                     // "icon_audio_active.png" for the current track, else "icon_audio.png"
        CurrentRole,                  // the entry marked "1"
        BackgroundRole,               // rgb(228, 234, 240) for the current track, else transparent
        PlayableRole,                 // the entry's file is there; rows without one are drawn dimmed
    };

    struct Row
    {
        QString title;
        bool current = false;
        bool playable = true;
        bool operator==(const Row &) const = default;
    };

    static QColor currentRowColor() { return QColor(228, 234, 240); }

    using QAbstractListModel::QAbstractListModel;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const std::vector<Row> &rows() const { return m_rows; }
    void setRows(std::vector<Row> rows);
    void removeRowAt(int row);
    void moveRow(int from, int to);

private:
    std::vector<Row> m_rows;
};
