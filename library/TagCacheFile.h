#pragma once

#include "library/TagReader.h"

#include <QByteArray>
#include <QHash>
#include <QString>

// The tag cache's file: one binary record per media file (its absolute path, size, modification time, tags
// and cover file name) behind a header naming the format. Anything that is not exactly such a file (damaged,
// cut, another version, larger than maxFileSize) reads as an empty cache: the tags are read again, nothing
// more is lost.
namespace TagCacheFile {

// Raised whenever what the reader takes from a file changes, so old answers are read again.
constexpr quint32 formatVersion = 1;
constexpr qint64 maxFileSize = 64 << 20;

struct Entry
{
    qint64 size = -1;
    qint64 modifiedNs = 0; // nanoseconds since the epoch
    TrackTags tags;
    QString coverFile; // a name in the cover folder (see isCoverFileName); empty while not written
};
using Entries = QHash<QString, Entry>;

// Empty on any damage.
Entries parse(const QByteArray &bytes);
QByteArray serialize(const Entries &entries);

// Empty when missing or unreadable.
Entries load(const QString &path);
// Atomically (a temporary file, then a rename); false when it could not be written.
bool save(const QString &path, const Entries &entries);

// A cover file's name: 40 hexadecimal digits (SHA-1 of the picture), a dot and an image suffix. A name read
// from the file is only ever used when it has this form, so a damaged cache never points outside the folder.
bool isCoverFileName(const QString &name);
QString coverFileName(const TagReader::Cover &cover);

} // namespace TagCacheFile
