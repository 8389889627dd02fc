#pragma once

#include <QString>

// The two resets of stored data offered on the login screen. Neither touches what is in memory; failures to
// delete an item are skipped.
namespace DataReset {

// Deletes every file (or link) below `root` (recursively) whose extension is exactly "tune" or "tuneplaylist":
// the autosaved playlist, the request-state files and every saved playlist. A folder of such a name goes, with
// all it holds, only directly in `root` or in its "playlists" folder; one among the media stays. Other media
// and folders stay. Returns the number of items deleted.
int deletePlaylistsAndRequests(const QString &root);

// Empties the audio, video and Inbox folders (sub-folders included); the three folders themselves remain.
void deleteAllContent(const QString &audioDir, const QString &videoDir, const QString &inboxDir);

} // namespace DataReset
