#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// The Audio_Playlists screen: the saved playlists, opened from the player screen's menu. Lists the
// ".tuneplaylist" files of the playlists folder, loads one into the current playlist or deletes one.
class SavedPlaylists : public QObject
{
    Q_OBJECT
    // The file names found (with extension), in listing order.
    Q_PROPERTY(QStringList playlistsArray READ playlistsArray NOTIFY playlistsChanged)
    // The names as the rows show them, without extension.
    Q_PROPERTY(QStringList names READ names NOTIFY playlistsChanged)

public:
    explicit SavedPlaylists(QObject *parent = nullptr);

    QStringList playlistsArray() const { return m_playlistsArray; }
    QStringList names() const;

    // Lists the folder anew.
    Q_INVOKABLE void viewWillAppear();
    // Loads the playlist of `row` in place of the current one; no track starts. A file that cannot be read
    // leaves the current playlist and its playback alone, is renamed to "….unreadable" (so that saving
    // under its name cannot replace it), leaves the list and asks for an error alert.
    Q_INVOKABLE void rowSelected(int row);
    // Deletes the file of `row`.
    Q_INVOKABLE void deleteRow(int row);
    // The row's playlist for other programs: "NAME.m3u" or "NAME.xspf" beside it; a notice says where.
    Q_INVOKABLE void exportM3u(int row);
    Q_INVOKABLE void exportXspf(int row);
    // Asks for a playlist of another program (M3U, M3U8, PLS, XSPF) through the desktop's file chooser and
    // imports it as a saved playlist of the files found in the library; an alert tells how many were
    // imported and how many not found, and the list shows the new playlist.
    Q_INVOKABLE void importPlaylistPressed();
    // Imports the playlist at `path` as importPlaylistPressed does once the file is chosen.
    void importFile(const QString &path);

    // How a file is chosen: Portals::chooseFile by default; tests answer in its place. `done` gets the path,
    // empty when nothing was chosen, and whether a chooser answered at all.
    using FileChooser =
        std::function<void(QObject *context, std::function<void(bool answered, QString path)> done)>;
    static void setFileChooser(FileChooser chooser);

Q_SIGNALS:
    void playlistsChanged();
    // Go back to the player screen.
    void returnRequested();
    // An alert for the view; its answer changes nothing.
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    // A playlist was exported to `path`.
    void playlistExported(const QString &path);
    // A playlist was imported (whatever the result; the alert says it).
    void playlistImported();

private:
    void exportRow(int row, int format);

    QStringList m_playlistsArray;
};
