#pragma once

#include <QString>

// Import of a playlist of another program (M3U, M3U8, PLS, XSPF) into the saved playlists, wherever the file
// comes from (the file chooser, the command line, "open with"), and the notice that tells how it went.
namespace PlaylistImport {

struct Notice
{
    QString title;
    QString message;
    bool saved = false; // a saved playlist was written
};

// Reads the list where it lies (its relative paths start from its own folder) and saves the entries found in
// the audio folder as a playlist of the playlists folder.
Notice importFile(const QString &path);

} // namespace PlaylistImport
