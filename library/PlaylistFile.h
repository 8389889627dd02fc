#pragma once

#include "core/Records.h"

#include <QList>
#include <QString>

#include <optional>

// Saved playlists (".tuneplaylist") and the autosaved playlist ("AudioAutosavedPlaylist.tune"): an XML
// property list whose root array holds, per entry, an array of the relative path and "0". Marks are never
// saved.
namespace PlaylistFile {

// Writes atomically; an empty list writes an empty array.
bool write(const QString &path, const QList<PlaylistEntry> &entries);
// The entries as they stand (XML or binary); nothing when the file is missing or no such array.
std::optional<QList<PlaylistEntry>> read(const QString &path);

} // namespace PlaylistFile
