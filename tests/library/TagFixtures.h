#pragma once

#include "../support/Files.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>

// Real tagged media files for the tag reader's and cache's tests, made by ffmpeg at test time: a tone with
// the tags asked for, an embedded picture where one is given.
namespace TagFixtures {

struct Tags
{
    QString title, artist, album, track, date; // as ffmpeg's -metadata takes them ("3/12", "1988")
};

inline constexpr auto readAll = TestSupport::readFile;

// Runs ffmpeg; the error text when it failed, empty when it succeeded.
inline QString ffmpeg(QStringList args, const Tags &tags = {})
{
    const QString path = args.takeLast();
    for (const QString &field : {"title=" + tags.title, "artist=" + tags.artist, "album=" + tags.album,
                                 "track=" + tags.track, "date=" + tags.date}) {
        if (!field.endsWith(QLatin1Char('=')))
            args << QStringLiteral("-metadata") << field;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    args << path;
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-loglevel", "error", "-y"} + args);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return QStringLiteral("ffmpeg %1 failed: %2")
            .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(process.readAllStandardError()));
    return {};
}

// A one-colour picture, PNG or JPEG after the suffix of `path`.
inline QString picture(const QString &path, const QString &colour, int side = 16)
{
    return ffmpeg({"-f", "lavfi", "-i", QStringLiteral("color=c=%1:s=%2x%2").arg(colour).arg(side),
                   "-frames:v", "1", path});
}

inline QString tone(double seconds)
{
    return QStringLiteral("sine=frequency=440:duration=%1").arg(seconds);
}

// An MP3 of `seconds` of tone: ID3v2 of `id3v2Version` (3 or 4; 0 for none) with `tags`, the picture at
// `cover` as its front cover, ID3v1 as well when `id3v1`.
inline QString mp3(const QString &path, const Tags &tags, double seconds = 2, int id3v2Version = 4,
                   const QString &cover = QString(), bool id3v1 = false)
{
    QStringList args{"-f", "lavfi", "-i", tone(seconds)};
    if (!cover.isEmpty())
        args +=
            {"-i", cover, "-map", "0", "-map", "1", "-c:v", "copy", "-metadata:s:v", "comment=Cover (front)"};
    args += QStringLiteral("-c:a libmp3lame -b:a 32k -map_metadata -1 -fflags +bitexact -id3v2_version %1")
                .arg(id3v2Version)
                .split(QLatin1Char(' '));
    if (id3v1)
        args += {"-write_id3v1", "1"};
    return ffmpeg(args << path, tags);
}

// An MP4 of `seconds` of AAC tone (with a small H.264 picture when `video`), `tags` in its metadata atoms
// and the picture at `cover` as its cover art; the index at the front (faststart).
inline QString mp4(const QString &path, const Tags &tags, double seconds = 2,
                   const QString &cover = QString(), bool video = false)
{
    QStringList args{"-f", "lavfi", "-i", tone(seconds)};
    if (video)
        args += {"-f", "lavfi", "-i", QStringLiteral("testsrc2=size=64x48:rate=10:duration=%1").arg(seconds)};
    if (!cover.isEmpty())
        args += {"-i", cover};
    args += {"-map", "0"};
    if (video)
        args += {"-map", "1", "-c:v:0", "libx264", "-preset", "ultrafast"};
    const QString stream = video ? QStringLiteral("1") : QStringLiteral("0"); // the cover's picture stream
    if (!cover.isEmpty())
        args +=
            {"-map", video ? "2" : "1", "-c:v:" + stream, "copy", "-disposition:v:" + stream, "attached_pic"};
    args += {"-c:a", "aac", "-b:a", "32k", "-map_metadata", "-1", "-movflags", "+faststart"};
    return ffmpeg(args << path, tags);
}

// The size of the ID3v2 tag at the start of `bytes` (its header included); 0 when there is none.
inline qsizetype id3v2Size(const QByteArray &bytes)
{
    if (!bytes.startsWith("ID3") || bytes.size() < 10)
        return 0;
    qsizetype size = 0;
    for (int i = 6; i < 10; ++i)
        size = (size << 7) | (uchar(bytes[i]) & 0x7f);
    return size + 10;
}

} // namespace TagFixtures
