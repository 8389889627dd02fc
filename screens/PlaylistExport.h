#pragma once

#include "core/Records.h"
#include "library/PlaylistExchange.h"
#include "library/TagReader.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// Export of a playlist for other programs: "NAME.m3u" or "NAME.xspf" in the playlists folder, beside the
// saved playlists (there is no save dialog in the program), replacing an earlier export of that name. Titles,
// artists and lengths are those the tag cache already knows; a file it does not know yet is written with the
// M3U defaults (its name, length -1), and the cache reads it for the next time.
namespace PlaylistExport {

// The tags known for an absolute path, or none. Tests replace the program's tag cache.
using TagSource = std::function<std::optional<TrackTags>(const QString &path)>;
void setTagSource(TagSource source);

// `format` is M3u or Xspf; `name` is cleaned as a saved playlist's name is. The path written; empty when the
// file could not be written.
QString write(const QList<PlaylistEntry> &entries, const QString &name, PlaylistExchange::Format format);

} // namespace PlaylistExport
