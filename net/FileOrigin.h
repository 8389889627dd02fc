#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Where a partial download came from, kept with the file itself so that a later run (or another process
// that uses the same temporary name) never continues a file that holds someone else's bytes.
//
// The address goes into the `user.xdg.origin.url` extended attribute, the freedesktop convention that
// browsers and wget follow; the answer's validator (a strong ETag, else Last-Modified) and the whole file's
// size into attributes of our own. The size is what is left to check a server by that sends no validator: a
// file of another size behind the address is another file. On a file system without extended attributes
// only the files this process created are known.
namespace FileOrigin {

constexpr const char *urlAttribute = "user.xdg.origin.url";
constexpr const char *validatorAttribute = "user.melodrop.validator";
constexpr const char *sizeAttribute = "user.melodrop.size";

struct Recorded
{
    bool attributesSupported = true;
    QString url;          // empty when none is recorded
    QByteArray validator; // as the server sent it; empty when none
    quint64 size = 0;     // the whole file's size as the server gave it; 0 when unknown
};

// What the open file `fd` says about its origin.
Recorded read(int fd);

// Records the origin on the open file `fd`; an empty validator or a size of 0 removes an older one. Also
// notes the file as one of this process's own. False when the file system keeps no attributes (not an error).
bool write(int fd, const QString &url, const QByteArray &validator, quint64 size);

// Drops our own attributes (the address stays, as a browser leaves it on a finished download) and stops
// counting the file as a partial download of this process: once it is a finished file, its inode may later
// serve someone else's temporary file.
void markFinished(int fd);

// Whether the open file `fd` is one this process created and recorded.
bool createdHere(int fd);

// Lets the tests run the path of a file system without extended attributes.
void setAttributesDisabledForTesting(bool disabled);

} // namespace FileOrigin
