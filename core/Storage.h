#pragma once

#include <QString>

// File naming of downloads and saved playlists, and the folder operations the shell needs.
namespace Storage {

constexpr int downloadNameLimit = 128;
constexpr int playlistNameLimit = 64;

// Cuts `name` to `limit` UTF-16 code units (one less when the cut would split a surrogate pair), removes \ /
// : * ? " < > |, trims; empty gives `fallback`.
QString clearFileName(const QString &name, int limit, const QString &fallback);
// The longest prefix of `name` whose UTF-8 form takes at most `maxBytes`, cut between characters (never
// inside a surrogate pair), with white space trimmed from its end.
QString cutToUtf8Bytes(const QString &name, int maxBytes);
// The download queue's variant: fallback "Неизвестно".
QString clearDownloadFileName(const QString &name);
// The playlist screen's variant: fallback "Без названия".
QString clearPlaylistFileName(const QString &name);

// Creates `path` (not its parents) when it does not exist yet; true when it exists afterwards.
bool ensureFolder(const QString &path);

// Writes `data` to `path` through a temporary file and a rename, so a reader never sees half a file.
bool writeAtomically(const QString &path, const QByteArray &data);

} // namespace Storage
