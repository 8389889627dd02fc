#pragma once

#include "playback/MpvPlayer.h"
#include "screens/LibraryBrowser.h"
#include "screens/OverlayHost.h"
#include "screens/ProgressOverlay.h"

#include <QPointer>
#include <QSet>

// The audio library screen: browses the audio folder, previews a file in a small player inside an alert,
// appends one file or the folder's MP3 files to the current playlist, and deletes entries, pruning the
// playlist of tracks whose files are gone.
class Audio_Library : public LibraryBrowser
{
    Q_OBJECT
    Q_PROPERTY(bool tableBusy READ tableBusy NOTIFY tableBusyChanged)
    Q_PROPERTY(ProgressOverlay *hud READ hud NOTIFY hudChanged)
    Q_PROPERTY(MpvPlayer *miniPlayer READ miniPlayer NOTIFY miniPlayerChanged)

public:
    enum AlertTag { PreviewAlert = 1, ClearAlert = 2 };
    Q_ENUM(AlertTag)

    explicit Audio_Library(QObject *parent = nullptr) : Audio_Library(nullptr, parent) {}
    // `settings` replaces the program's store (tests).
    explicit Audio_Library(Settings *settings, QObject *parent = nullptr);
    ~Audio_Library() override;

    bool tableBusy() const { return m_tableBusy; }
    ProgressOverlay *hud() const { return m_overlays->current(); }
    MpvPlayer *miniPlayer() const { return m_miniPlayer; }

    // Folder: enter it. File: pause the music and preview the file in the alert's player.
    Q_INVOKABLE void rowSelected(int row) override;
    // Appends the row's file to the end of the playlist (no duplicate check).
    Q_INVOKABLE void accessoryButtonTapped(int row);
    // The same for a file by its path below the audio folder (a row of the filtered or whole-library view).
    Q_INVOKABLE void appendPath(const QString &path);
    // Plays the file (below the audio folder) in the main player: its playlist entry, appended first when
    // the playlist has none.
    Q_INVOKABLE void playPath(const QString &path);
    // Appends the current folder's own MP3 entries, in list order.
    Q_INVOKABLE void addAllRecordsToPlaylist();
    Q_INVOKABLE void deleteRow(int row);
    // Asks before deleting everything in the audio folder.
    Q_INVOKABLE void clearMedia();
    Q_INVOKABLE void alertAnswered(int tag, int index);

Q_SIGNALS:
    void tableBusyChanged();
    void hudChanged();
    void miniPlayerChanged();

protected:
    bool rowsHaveAccessory() const override { return true; }
    void openFile(const QString &path) override;
    void entriesDeleted() override { prunePlaylist(); }
    bool isMarked(const QString &path) const override { return m_playlistFiles.contains(path); }

private:
    void showNotice(const QString &details, float minShowTime);
    void setTableBusy(bool busy);
    void closePreview();
    void playlistChanged();
    // Removes, from the last entry to the first, every playlist entry whose file is gone; the playing one
    // stops.
    static void prunePlaylist();

    bool m_tableBusy = false;
    OverlayHost *m_overlays;
    QPointer<MpvPlayer> m_miniPlayer;
    QSet<QString> m_playlistFiles; // what the rows mark
};
