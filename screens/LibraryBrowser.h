#pragma once

#include "library/LibraryEntries.h"
#include "library/LibraryFilter.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class LibraryStore;
class QFileSystemWatcher;
class QTimer;
class Settings;
class TagCache;

// What the library and export screens share: the current folder below the audio or video folder, its listing
// into the shared library list, the title with the sizes, walking into sub-folders and back, and deleting
// entries. The listing goes into GlobalData's audioLibraryArray / videoLibraryArray, which the library and
// export screens share: whichever listed last owns their content, and row numbers refer to it.
//
// A listing reads the folder once (LibraryScan) and hands what it read to the media folder's LibraryStore;
// the title's size is the store's sum below the folder. When a part of that sum is still being walked on the
// store's worker, the rows are shown at once and the title follows. A watcher on the folder shown lists it
// again in place when something in it changes.
class LibraryBrowser : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(bool backButtonVisible READ backButtonVisible NOTIFY titleChanged)
    Q_PROPERTY(int dirLevel READ dirLevel NOTIFY folderChanged)
    Q_PROPERTY(QStringList pathToDir READ pathToDir NOTIFY folderChanged)
    Q_PROPERTY(LibraryEntries *entries READ entries CONSTANT)
    Q_PROPERTY(bool audio READ isAudio CONSTANT)
    // What the library view draws: the current folder's rows, or every file of the library while
    // wholeLibrary is on, narrowed by its filter text and sorted by its column.
    Q_PROPERTY(LibraryFilter *rows READ rows CONSTANT)
    Q_PROPERTY(bool wholeLibrary READ wholeLibrary WRITE setWholeLibrary NOTIFY wholeLibraryChanged)
    // Set while the last deletion can be undone (it went to the trash): the notice's text.
    Q_PROPERTY(QString undoNotice READ undoNotice NOTIFY undoNoticeChanged)

public:
    enum Media { AudioMedia, VideoMedia };
    enum Screen { LibraryScreen, ExportScreen };
    Q_ENUM(Media)
    // Where the table slides in from after a folder change (the view animates 50 points over slideDuration).
    enum Slide { FromLeft = -1, FromRight = 1 };
    Q_ENUM(Slide)
    enum ScrollPosition { Top = 0, Middle = 1 };
    Q_ENUM(ScrollPosition)
    // The tag of the question before a deletion (alertRequested); its answer goes to deleteAnswered. Apart
    // from the screens' own tags.
    enum LibraryAlert { DeleteAlert = 100 };
    Q_ENUM(LibraryAlert)
    static constexpr int slideDuration = 500; // milliseconds
    static constexpr int slideDistance = 50;

    // Deletions from the library and export screens go to the desktop's trash when this setting is true
    // (false when absent: deleting stays the default).
    static constexpr const char *trashSettingKey = "library/move_to_trash";
    // How long the notice of a deletion to the trash offers to undo it.
    static constexpr double undoSeconds = 6;

    // The program's tag cache, which the rows take titles, artists, albums, durations and covers from; none
    // leaves the rows without tags. It must outlive the screens.
    static void setTagCache(TagCache *cache);

    // `settings` replaces the program's store (tests); it must outlive the screen.
    LibraryBrowser(Media media, Screen screen, Settings *settings, QObject *parent);

    QString title() const { return m_title; }
    bool backButtonVisible() const { return !m_pathToDir.isEmpty(); }
    int dirLevel() const { return int(m_pathToDir.size()); }
    QStringList pathToDir() const { return m_pathToDir; }
    LibraryEntries *entries() const { return m_entries; }
    bool isAudio() const { return m_media == AudioMedia; }
    LibraryFilter *rows() const { return m_filter; }
    bool wholeLibrary() const { return m_wholeLibrary; }
    void setWholeLibrary(bool whole);
    // Every media file below the media folder, as the whole-library search shows them.
    LibraryEntries *libraryEntries() const { return m_libraryEntries; }
    QString undoNotice() const { return m_undoNotice; }

    // The audio or video folder, and the folder now shown below it.
    QString mediaDir() const;
    QString currentFolder() const;
    // The shared listing this screen fills.
    QStringList &list() const;
    // "mp3" or "mp4": the files shown and counted.
    QString mediaExtension() const;

    // Size as the rows and titles show it: bytes × 2^-20 in single precision.
    static float megabytes(qint64 bytes);
    // How long after the watcher's first report the folder is listed again: a file being copied in reports
    // several times.
    static constexpr double relistDelaySeconds = 0.25;

    // Lists the current folder again without moving the view. The folder itself is kept while the screen is
    // left and entered again: a new screen object starts at the top.
    Q_INVOKABLE void viewWillAppear();
    // Lists the current folder; the library screen then goes back to its first row (the refresh button, a
    // deletion, another folder).
    Q_INVOKABLE void reloadLibrary();
    // A file was saved, removed or brought in at `path`: the listing and the title follow when the path is in
    // or below the folder shown, and the view stays where it is.
    void fileChanged(const QString &path);
    Q_INVOKABLE void toParentFolder();
    // A row tap; what a file does is the screen's own.
    Q_INVOKABLE virtual void rowSelected(int row) = 0;
    // A row of the view by its path below the media folder: a row of the current folder is selected as
    // rowSelected selects it, a file found elsewhere in the library is opened.
    Q_INVOKABLE void activatePath(const QString &path);

    // Asks once before deleting `paths` (below the media folder), naming the file or the count.
    Q_INVOKABLE void askToDelete(const QStringList &paths);
    Q_INVOKABLE void deleteAnswered(int index);
    // Deletes `paths` now (to the trash with trashSettingKey on, then undoNotice offers them back) and lists
    // the folder again.
    Q_INVOKABLE void deletePaths(const QStringList &paths);
    // Brings back what the last deletion put in the trash.
    Q_INVOKABLE void undoDelete();

Q_SIGNALS:
    void titleChanged();
    void folderChanged();
    void slideRequested(int from);
    void scrollToRow(int row, int position, bool animated);
    void alertRequested(const QString &title, const QString &message, const QStringList &buttons, int tag);
    // The listing has been rebuilt (tests and views wait for it).
    void listed();
    void wholeLibraryChanged();
    void undoNoticeChanged();

protected:
    // The listed name at `row`; empty when out of range.
    QString entryName(int row) const;
    // Whether the entry `name` of the current folder is a folder, as the file system says now (a name may
    // hold a dot, "Vol. 2", or look like a media file, "Album.mp3").
    bool isFolder(const QString &name) const;
    QString fullPath(const QString &name) const;
    // The path below the media folder: the names of pathToDir, then `name`.
    QString relativePath(const QString &name) const;
    // The current folder as the store names it: the names of pathToDir joined ("" at the top).
    QString folderKey() const { return m_pathToDir.join(QLatin1Char('/')); }
    LibraryStore &store() const;
    void enterFolder(const QString &name);
    void returnToTop();
    Settings &settings() const;
    // Removes `path`: a folder with everything in it, a link as a link. Errors are ignored. With the setting
    // trashSettingKey on, the entry goes to the desktop's trash instead, where there is one.
    // Returns where the entry went in the trash; empty when it was deleted.
    QString removeEntry(const QString &path);
    // Removes everything below `folder`, leaving the folder itself.
    void removeEverythingBelow(const QString &folder);
    // "Очистить": everything below the media folder goes, and the screen lists the top folder again.
    void removeAllMedia();

    virtual bool scrollsToTopAfterListing() const { return m_screen == LibraryScreen; }
    virtual bool rowsHaveAccessory() const { return false; }
    // A file outside the current folder (a whole-library result) was chosen; `path` is below the media
    // folder.
    virtual void openFile(const QString &path) { Q_UNUSED(path); }
    // Entries were deleted (the screen prunes what referred to them).
    virtual void entriesDeleted() {}
    // Files (below the media folder) to mark in the rows: those of the playlist.
    virtual bool isMarked(const QString &path) const
    {
        Q_UNUSED(path);
        return false;
    }
    // The marks are to be looked at again (the playlist changed).
    void refreshMarks();
    TagCache *tagCache() const;

    const Media m_media;
    const Screen m_screen;

private:
    enum class Listing { NewList, SameList };
    void listFolder(Listing how);
    void updateTitle();
    void setTitle(const QString &title);
    void watch(const QString &folder);
    // Puts what the tag cache knows of the file into `row` (asking it for what it does not know yet).
    void fillTags(LibraryEntries::Row &row) const;
    void tagsArrived(const QString &key);
    void fillWholeLibrary();
    void indexRows(const LibraryEntries *entries, QHash<QString, int> &index);
    void setUndoNotice(const QString &text);

    Settings *m_settings = nullptr;
    QStringList m_pathToDir;
    QString m_title;
    QString m_titleFolder; // the folder key the title is about
    bool m_listedOnce = false;
    LibraryEntries *m_entries = nullptr;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_relistTimer = nullptr;
    LibraryEntries *m_libraryEntries = nullptr;
    LibraryFilter *m_filter = nullptr;
    bool m_wholeLibrary = false;
    // Row numbers by path, for the tags arriving.
    QHash<QString, int> m_folderRows;
    QHash<QString, int> m_libraryRows;
    QStringList m_toDelete; // asked about, not answered yet
    // What the last deletion put in the trash: where each entry was, and where it is now.
    QList<QPair<QString, QString>> m_trashed;
    QString m_undoNotice;
    QTimer *m_undoTimer = nullptr;
};
