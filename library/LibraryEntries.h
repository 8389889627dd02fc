#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>

// The rows of a media folder as the table draws them: computed when the folder is listed; the tags of the
// files follow as the tag cache finds them.
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
        DeleteTitleRole,
        PathRole,
        TitleRole,
        ArtistRole,
        AlbumRole,
        DurationRole,
        CoverRole,
        InPlaylistRole,
        SourceRowRole
    };

    struct Row
    {
        QString name;
        bool folder = false; // a folder on disk: drawn and handled as one, whatever its name
        QString detail;      // "Размер: … Мб" for files, empty for folders
        QString icon;
        bool accessory = false;
        QString deleteTitle;
        QString path; // below the media folder ("Rock/a.mp3")
        // What the file's tags say; empty when they say nothing or are not known yet.
        QString title;
        QString artist;
        QString album;
        qint64 durationMs = 0;
        QString cover; // the cover image file
        bool inPlaylist = false;

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
    // Changes row `row` in place (its tags, cover or mark) and announces it.
    void replaceRow(int row, const Row &value);

    // "3:07", "1:02:03"; empty for 0.
    static QString formatDuration(qint64 ms);

private:
    QList<Row> m_rows;
};
