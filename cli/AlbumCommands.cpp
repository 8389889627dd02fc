// Albums through Last.fm, and the service's records for an album's tracks.
#include "Cli.h"

#include "service/LastFm.h"

namespace {

int albums(const QStringList &args, const Cli::Options &)
{
    if (args.size() != 1)
        return Cli::usage(QStringLiteral("albums needs one QUERY"));
    // Nothing (an unreadable answer) prints like an empty list: the log line has told why.
    for (const AlbumRecord &album : LastFm::searchAlbums(args.first()).value_or(QList<AlbumRecord>()))
        Cli::printLine(Cli::jsonArray({album.name, album.artist, album.albumId}));
    return Cli::Ok;
}

int albumTracks(const QStringList &args, const Cli::Options &)
{
    if (args.size() != 1)
        return Cli::usage(QStringLiteral("album-tracks needs one ALBUM_ID"));
    const QStringList tracks = LastFm::albumTracks(args.first()).value_or(QStringList());
    QList<AudioRecord> records;
    try {
        records = LastFm::findTracks(tracks);
    } catch (const LastFm::NoAnswer &) {
        return Cli::IoFailure; // the dispatcher names the request that got no answer
    }
    for (const AudioRecord &r : std::as_const(records))
        Cli::printLine(Cli::jsonArray({r.duration, r.url, r.title, r.artist, r.tag, r.aid, r.oid}));
    return Cli::Ok;
}

} // namespace

QList<Cli::Command> Cli::albumCommands()
{
    return {
        {"albums", "QUERY", false, albums},
        {"album-tracks", "ALBUM_ID", true, albumTracks},
    };
}
