#include "screens/PlaylistExport.h"

#include "core/Storage.h"
#include "core/StorageLayout.h"
#include "library/TagCache.h"

#include <QCoreApplication>

namespace PlaylistExport {

namespace {

TagSource &tagSource()
{
    static TagSource source = [](const QString &path) -> std::optional<TrackTags> {
        // One cache for the program, made on the first export; it answers from memory and its file.
        static TagCache *cache = new TagCache(QCoreApplication::instance());
        return cache->tags(path);
    };
    return source;
}

} // namespace

void setTagSource(TagSource source)
{
    tagSource() = std::move(source);
}

QString write(const QList<PlaylistEntry> &entries, const QString &name, PlaylistExchange::Format format)
{
    const QString folder = StorageLayout::getPlaylistsDir();
    Storage::ensureFolder(folder);
    const QString audio = StorageLayout::getAudioDir();
    QList<PlaylistExchange::Track> tracks;
    tracks.reserve(entries.size());
    for (const PlaylistEntry &entry : entries) {
        PlaylistExchange::Track track;
        track.path = audio + QLatin1Char('/') + entry.file;
        if (const std::optional<TrackTags> tags = tagSource()(track.path)) {
            track.title = tags->title;
            track.artist = tags->artist;
            if (tags->durationMs > 0)
                track.seconds = int((tags->durationMs + 500) / 1000);
        }
        tracks << track;
    }
    const QString extension =
        format == PlaylistExchange::Format::Xspf ? QStringLiteral(".xspf") : QStringLiteral(".m3u");
    const QString path = folder + QLatin1Char('/') + Storage::clearPlaylistFileName(name) + extension;
    return PlaylistExchange::write(path, tracks) ? path : QString();
}

} // namespace PlaylistExport
