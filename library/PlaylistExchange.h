#pragma once

#include "core/Records.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Playlists other programs read and write: M3U/M3U8 and XSPF out, M3U/M3U8, PLS and XSPF in. Writing knows
// the tracks' absolute paths and tags; reading gives the entries of a list as the other program wrote them
// (paths or URIs), and mapping keeps those that name a file inside the audio folder, as relative paths the
// playlist holds. Nothing outside the audio folder ever becomes an entry, whatever the list says.
namespace PlaylistExchange {

enum class Format { Unknown, M3u, Pls, Xspf };

// Lists larger than this are refused unread: a playlist of that size is no playlist.
constexpr qint64 maxListSize = 16 * 1024 * 1024;

struct Track
{
    QString path;     // absolute
    QString title;    // empty: the file name without extension stands for it
    QString artist;   // empty: the title alone
    int seconds = -1; // -1: unknown, as M3U writes it
};

// By the file's extension (m3u, m3u8, pls, xspf; any case).
Format formatOf(const QString &path);

// "#EXTM3U", then per track "#EXTINF:<seconds>,<Artist - Title>" and its path relative to `listFolder`,
// UTF-8.
QByteArray m3u(const QList<Track> &tracks, const QString &listFolder);
// XSPF 1: per track a <location> (a file URI relative to `listFolder`), <title>, <creator> and <duration> in
// milliseconds where known.
QByteArray xspf(const QList<Track> &tracks, const QString &listFolder);
// Writes the list at `path` in the format its extension names (.xspf, else M3U), atomically.
bool write(const QString &path, const QList<Track> &tracks);

// The entries of a list in `format`, as written: paths, file URIs, or anything else a list may hold.
// Comments, titles and lengths are skipped. M3U that is not UTF-8 is read as Windows-1251.
QStringList parse(const QByteArray &data, Format format);

// The file an entry names, as an absolute cleaned path: relative paths are taken from `listFolder`, file
// URIs are decoded; empty for anything that is no local file (a web address, another host, a NUL).
// `uriOnly` is XSPF's rule, where every location is a URI reference.
QString localPath(const QString &entry, const QString &listFolder, bool uriOnly);

struct Mapped
{
    QList<PlaylistEntry> entries; // in list order, marks "0"
    int missing = 0;              // entries naming no file inside the audio folder
};

// The entries that name an existing file inside `audioDir` (by its real path, so neither ".." nor a link
// leads out), as paths relative to it.
Mapped map(const QStringList &items, const QString &listFolder, const QString &audioDir, bool uriOnly);

struct Imported
{
    enum Outcome { Done, Unreadable, NotWritten };
    Outcome outcome = Unreadable;
    QString savedPath; // the .tuneplaylist written
    QString name;      // its name, without extension
    int found = 0;
    int missing = 0;
    QString error; // a short reason (English, for the log) when not Done
};

// Reads the list at `listPath` and saves its entries found in `audioDir` as "NAME.tuneplaylist" in
// `playlistsDir` (created when missing): NAME from the list's file name, " (2)", " (3)" … when taken. When
// no entry is found nothing is written (Done, with `found` 0), as an empty playlist is never saved.
Imported importList(const QString &listPath, const QString &audioDir, const QString &playlistsDir);

} // namespace PlaylistExchange
