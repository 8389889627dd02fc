#pragma once

#include "core/Stores.h"
#include "screens/StoreListModel.h"

#include <QColor>
#include <QHash>
#include <QString>

class PlaylistDurations;

// The rows of the player screen's table over the playlist store. Whether an entry's file is still there is
// asked of the file system only for the rows a view draws, once, and kept until the screen is shown again
// (refreshFiles): a long playlist is not stat-ed entry by entry when the screen opens.
class PlaylistRowModel : public StoreListModel
{
    Q_OBJECT

public:
    enum Role {
        TitleRole = Qt::UserRole + 1, // the file name without folder and extension
        IconRole,                     // "icon_audio_active.png" for the current track, else "icon_audio.png"
        CurrentRole,                  // the entry marked as the track now playing
        BackgroundRole,               // rgb(228, 234, 240) for the current track, else transparent
        PlayableRole,                 // the entry's file is there; rows without one are drawn dimmed
        LengthRole,                   // "3:07" from the file's tags; empty while they are not known
    };

    static QColor currentRowColor() { return QColor(228, 234, 240); }

    // `durations` (may be none: no lengths) outlives the model.
    explicit PlaylistRowModel(PlaylistStore *playlist, PlaylistDurations *durations = nullptr,
                              QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    // Forgets what is known of the files, so that rows drawn from now on look again (files may have come or
    // gone while the screen was away).
    void refreshFiles();
    // How many files were looked at so far (for the benchmark and the tests of the lazy look).
    int filesChecked() const { return m_filesChecked; }

private:
    PlaylistStore *m_playlist;
    PlaylistDurations *m_durations;
    mutable QHash<QString, bool> m_playable; // relative path → the file is there
    mutable int m_filesChecked = 0;
};
