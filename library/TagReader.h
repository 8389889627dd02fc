#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

// What a media file says about itself. Empty texts and zero numbers mean the file does not say; a view then
// shows what it shows without tags (the file name).
struct TrackTags
{
    QString title;
    QString artist;
    QString album;
    int trackNumber = 0;
    int year = 0;
    qint64 durationMs = 0;
    bool hasCover = false; // an embedded picture in a known image format (see TagReader::readCover)

    bool operator==(const TrackTags &) const = default;
};
Q_DECLARE_METATYPE(TrackTags)

// Reads tags with TagLib: MP3 (ID3v2, then ID3v1 for what ID3v2 lacks) and MP4 (its metadata atoms), the
// duration from the audio stream. ID3 text said to be Latin-1 that reads as Cyrillic in Windows-1251, as
// older Russian programs wrote it, is taken as such. Nothing here throws or keeps state: the functions may
// run on any thread at once. A damaged, cut or hostile file gives what could be read of it (often nothing),
// never a crash.
namespace TagReader {

enum class Format { Unknown, Mpeg, Mp4 };

struct Cover
{
    QByteArray data;
    QString
        mimeType;   // "image/jpeg", "image/png", "image/gif", "image/bmp" or "image/webp", as the bytes show
    QString suffix; // "jpg", "png", "gif", "bmp" or "webp": the extension a file of these bytes takes

    bool isNull() const { return data.isEmpty(); }
};

// The format of a file starting with `head` (its first 12 bytes are enough) and named `path`: an MP4 box
// "ftyp" wins over the name; otherwise the extension decides (mp3, mp4, m4a, m4b, m4v, mov), and an ID3v2
// header or an MPEG frame sync makes an unnamed file MPEG.
Format formatOf(const QString &path, const QByteArray &head);

// The tags of the regular file at `path`; empty for anything else (a folder, a pipe, a missing file).
TrackTags read(const QString &path);
// The embedded cover: ID3v2's front cover (else its first picture) or the first MP4 "covr" picture. Null when
// there is none, or when its bytes are of no image format we know (an ID3v2 link, junk).
Cover readCover(const QString &path);

// The same over bytes in memory (TagLib's ByteVectorStream), for fuzzing and tests.
TrackTags readBytes(const QByteArray &bytes, Format format);
Cover readCoverBytes(const QByteArray &bytes, Format format);

} // namespace TagReader
