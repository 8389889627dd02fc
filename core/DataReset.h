#pragma once

#include <QString>

// The two resets of stored data offered on the login screen. Neither touches what is in memory; failures to
// delete an item are skipped.
namespace DataReset {

// Deletes every item below `root` (recursively) whose extension is exactly "tune" or "tuneplaylist", folders
// with all they hold included: the autosaved playlist, the request-state files and every saved playlist.
// Other media and folders stay. Returns the number of items deleted.
int deletePlaylistsAndRequests(const QString &root);

// Empties the audio, video and Inbox folders (sub-folders included); the three folders themselves remain.
void deleteAllContent(const QString &audioDir, const QString &videoDir, const QString &inboxDir);

} // namespace DataReset
