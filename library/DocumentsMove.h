#pragma once

#include <QString>

#include <functional>

// Moving the documents root (every file the program keeps) to another folder. Nothing is lost should the move
// fail halfway: every file is first copied into the new folder, each through a temporary file renamed into
// place, and the originals are removed only once all of them are there; a failed copy takes back the copies
// made so far and leaves the old folder as it was. Runs on any thread; touches no shared state.
namespace DocumentsMove {

// Why `to` cannot take the documents of `from` (inside or equal to it, not writable, not a folder); empty
// when it can. Both are absolute paths.
QString refusal(const QString &from, const QString &to);

struct Result
{
    bool ok = false;
    int files = 0; // files moved
    QString error; // what went wrong, for the user
};

// `progress` (may be empty) hears how many files of how many have been copied.
Result move(const QString &from, const QString &to, const std::function<void(int done, int total)> &progress);

} // namespace DocumentsMove
