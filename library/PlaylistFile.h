#pragma once

#include "core/PropertyList.h"
#include "core/Records.h"

#include <QList>
#include <QString>

#include <optional>

// Saved playlists (".tuneplaylist") and the autosaved playlist ("AudioAutosavedPlaylist.tune"): an XML
// property list whose root array holds, per entry, an array of the relative path and "0". Marks are never
// saved.
namespace PlaylistFile {

struct Loaded
{
    // None: read. Missing: no file (a fresh start, nothing to keep). Anything else: the file is there but
    // holds no playlist this program can read, and must not be written over.
    PropertyList::Error error = PropertyList::Error::None;
    QList<PlaylistEntry> entries;

    bool unreadable() const
    {
        return error != PropertyList::Error::None && error != PropertyList::Error::Missing;
    }
};

// The entries as they stand (XML or binary), built while the file is parsed. A root that is not an array is
// Malformed; elements of the root that are not arrays starting with two texts are skipped.
Loaded load(const QString &path);
// The entries; nothing when the file is missing or unreadable.
std::optional<QList<PlaylistEntry>> read(const QString &path);

// Writes atomically; an empty list writes an empty array. A playlist whose file the reader would refuse
// (larger than PropertyList::maxFileSize) is not written: TooLarge, and the old file stays.
PropertyList::WriteResult write(const QString &path, const QList<PlaylistEntry> &entries);

// Moves a file that could not be read out of the way, so that nothing writes over it: to `path` +
// ".unreadable", or `path` + ".2.unreadable" and on when that name is taken. The new path; empty when the
// file could not be moved.
QString setAside(const QString &path);

} // namespace PlaylistFile
