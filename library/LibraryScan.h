#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Reading the media folders in one pass per folder: an entry's type comes from the directory read itself
// (d_type), and one statx gives a file's size, and the type too where the file system tells none. What a
// folder holds is judged as Qt's QFileInfo judges it, so that the listing and the sums stay what they were:
// a link to a folder is a folder in the rows but is never walked into (a link back up the tree would be
// counted without end), a link's size is that of what it leads to, and a link leading nowhere counts 0.
// Any thread.
namespace LibraryScan {

// What one folder holds itself, its sub-folders not included.
struct Folder
{
    // Entries of any kind (folders and links too) whose suffix, the text after the last dot, is the media
    // extension in any case: what the menus count.
    int mediaEntries = 0;
    // Sizes of the entries that are no folders and whose extension (a leading dot opens a name, it starts no
    // extension) is the media extension in any case: what the titles sum.
    qint64 mediaBytes = 0;
    // The folders a walk goes into: real ones (hidden ones too), no links. In the order read.
    QStringList subfolders;
    // The names of the entries counted in mediaBytes, in the order read: what a search of the whole library
    // goes through without walking the disk.
    QStringList mediaFiles;

    bool operator==(const Folder &) const = default;
};

// One row of a listing.
struct Entry
{
    QString name;
    bool folder = false; // a folder, or a link to one
    qint64 bytes = 0;    // files: the size (0 when nothing can be read there)
};

struct Listing
{
    Folder folder;
    // The folders, then the entries whose extension is the media extension, each part sorted by name
    // ignoring case (as QDir sorts with QDir::IgnoreCase). Other files are not listed.
    QList<Entry> entries;
};

// One folder's rows and what it holds; an unreadable folder lists as empty. `extension` is in lower case.
Listing list(const QString &path, const QString &extension);
// What `path` holds itself, without the rows.
Folder read(const QString &path, const QString &extension);
// Every folder below `path`, itself included, each keyed by `key` joined with its path below `path`.
QHash<QString, Folder> walk(const QString &path, const QString &key, const QString &extension);

// The text after the last dot of a file name; none for a name without a dot or a hidden name (".mp3").
QString pathExtension(const QString &name);

// `key` and a name below it: "" stands for the media folder itself.
QString childKey(const QString &key, const QString &name);

// Tests: read every entry as if the file system gave no type (some network and FUSE file systems do not),
// so that the fallback is exercised on any disk.
void setEntryTypesIgnored(bool ignored);

} // namespace LibraryScan
