#pragma once

#include "core/Records.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <stdexcept>

// The Last.fm client: album search and album track lists (names only, no audio), and the look-up of an
// album's tracks in the service's audio search. The request and the reading are apart, so that the album
// screen can pace itself between them and answers can be read without a server.
class LastFm
{
public:
    LastFm() = delete;

    static constexpr const char *apiKey = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

    // Anything in an answer that the reading rules cannot follow: not the expected JSON, a member missing or
    // no text, an undecodable per cent escape. The caller logs the error line and drops the whole list.
    struct Unreadable : std::runtime_error
    {
        using std::runtime_error::runtime_error;
    };

    // No answer came at all (refused, timed out, over the size limit). Not an empty result: the caller says
    // the service is unavailable and changes nothing.
    struct NoAnswer : std::runtime_error
    {
        using std::runtime_error::runtime_error;
    };

    // The most tracks of one album that are looked up: each costs a service search, and a list without end
    // must not keep the screen busy for ever.
    static constexpr int maxAlbumTracks = 200;

    // The answers as text (UTF-8, or code page 1251 where the bytes are no UTF-8); an empty answer is the
    // empty text. Throws NoAnswer when no answer came at all.
    static QString albumSearchAnswer(const QString &query);
    static QString trackListAnswer(const QString &albumId);

    // Album records (name, artist, album number) of a search answer; empty for an empty or error answer and
    // for zero results. Throws Unreadable.
    static QList<AlbumRecord> readAlbums(const QString &answer);
    // "creator - title" of each track of a track list answer, at most maxAlbumTracks of them; empty for an
    // empty or error answer and for an album without tracks. Throws Unreadable.
    static QStringList readTracks(const QString &answer);

    // The hit that stands for `track`: the last one whose "artist - title" is exactly `track`, else the first
    // hit; nothing when there are no hits.
    static std::optional<AudioRecord> pickRecord(const QString &track, const QList<AudioRecord> &hits);

    // Looks every track up with the service's audio search (offset 0, sort 2) and returns the records picked,
    // in track order. `searching(k, n)` runs before the k-th of n searches (k from 1), `found` after each
    // with its hits. Throws NoAnswer at the first search that got no answer at all: an album with tracks
    // silently missing would look complete.
    struct TrackSearchSteps
    {
        std::function<void(int k, int n)> searching;
        std::function<void(const QList<AudioRecord> &hits)> found;
    };
    static QList<AudioRecord> findTracks(const QStringList &tracks, const TrackSearchSteps &steps = {});

    // Request and reading in one; nothing after the error line in the log (also when no answer came: the
    // HTTP layer has counted that request, see net/Http.h).
    static std::optional<QList<AlbumRecord>> searchAlbums(const QString &query);
    static std::optional<QStringList> albumTracks(const QString &albumId);
};
