#pragma once

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <utility>

// Silent MP3 files: MPEG-1 Layer III frames at 128 kbit/s and 44.1 kHz whose side information and main data
// are all zero. Each frame holds 1152 samples; padding bytes are spread as an encoder spreads them, so the
// stream keeps exactly 128 kbit/s and its length is what was asked for.
namespace Mp3Fixture {

constexpr int sampleRate = 44100;
constexpr int bitRate = 128000;
constexpr int samplesPerFrame = 1152;
constexpr int maxFrameBytes = 144 * bitRate / sampleRate + 1;

inline QByteArray frames(int count)
{
    QByteArray data;
    data.reserve(qsizetype(count) * maxFrameBytes);
    int remainder = 0;
    for (int i = 0; i < count; ++i) {
        // 144 * 128000 / 44100 = 417.96… bytes: 417 plus a padding byte whenever the fraction adds up to one.
        remainder += (144 * bitRate) % sampleRate;
        const bool padding = remainder >= sampleRate;
        if (padding)
            remainder -= sampleRate;
        QByteArray frame(144 * bitRate / sampleRate + (padding ? 1 : 0), '\0');
        frame[0] = char(0xFF);
        frame[1] = char(0xFB);                     // MPEG-1, Layer III, no CRC
        frame[2] = char(0x90 | (padding ? 2 : 0)); // 128 kbit/s, 44.1 kHz
        frame[3] = char(0x00);                     // stereo
        data += frame;
    }
    return data;
}

inline QByteArray silence(double seconds)
{
    return frames(int(seconds * sampleRate / samplesPerFrame + 0.5));
}

// Writes `bytes` to `path`, creating its folder.
inline bool save(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline bool write(const QString &path, double seconds)
{
    return save(path, silence(seconds));
}

// A file of exactly `bytes` bytes: whole frames, then zero padding (players skip it).
inline bool writeBytes(const QString &path, qint64 bytes)
{
    QByteArray data = frames(int(bytes / maxFrameBytes));
    data.resize(bytes, '\0');
    return save(path, data);
}

inline QByteArray syncsafe(qsizetype size)
{
    QByteArray bytes(4, '\0');
    for (int i = 3; i >= 0; --i, size >>= 7)
        bytes[i] = char(size & 0x7f);
    return bytes;
}

// An ID3v2 frame (v2.3 and v2.4 alike) and a tag of version `version` holding `frames`.
inline QByteArray id3Frame(const char *id, const QByteArray &content)
{
    return QByteArray(id) + syncsafe(content.size()) + QByteArray(2, '\0') + content;
}
inline QByteArray id3Tag(const QByteArray &frames, char version = 4)
{
    return QByteArray("ID3") + version + QByteArray(2, '\0') + syncsafe(frames.size()) + frames;
}

// An ID3v2.4 tag with the texts given (UTF-8); empty texts are left out.
inline QByteArray id3Tag(const QString &title, const QString &artist, const QString &album)
{
    QByteArray frames;
    const std::pair<const char *, QString> texts[] = {{"TIT2", title}, {"TPE1", artist}, {"TALB", album}};
    for (const auto &[id, text] : texts) {
        if (!text.isEmpty())
            frames += id3Frame(id, '\x03' + text.toUtf8()); // encoding 3: UTF-8
    }
    return id3Tag(frames);
}

// Writes `seconds` of silence after a tag naming title, artist and album.
inline bool writeTagged(const QString &path, double seconds, const QString &title, const QString &artist,
                        const QString &album)
{
    return save(path, id3Tag(title, artist, album) + silence(seconds));
}

// Writes something named like an MP3 that is none.
inline bool writeBroken(const QString &path)
{
    return save(path, "<html><body>404 Not Found</body></html>\n");
}

// Puts the shared player state back as a fresh start has it: no player, an empty playlist, no flags.
inline void resetPlayerState()
{
    AudioPlayer::dropShared();
    GlobalData *global = GlobalData::sharedGlobalData();
    Stores::playlist().assignEntries({});
    Stores::playlist().setJustLoaded(false);
    global->pendingTrackStep = GlobalData::TrackStep::None;
    global->playRandomMusic = false;
    global->playRepeatMusic = false;
    global->repeatPlaylist = true;
    MusicPlayer::shared().setRandomSource({});
    if (MusicPlayer::shared().volume() != 1.0)
        MusicPlayer::shared().setVolume(1.0);
}

// Files of `seconds` each under the audio folder (a file already there is kept), appended to the playlist in
// order; false when one could not be written.
inline bool appendToPlaylist(const QStringList &files, double seconds = 60)
{
    for (const QString &file : files) {
        const QString path = StorageLayout::getAudioDir() + QLatin1Char('/') + file;
        if (!QFileInfo::exists(path) && !write(path, seconds))
            return false;
        Stores::playlist().append(PlaylistEntry{file, false});
    }
    return true;
}

// The file the shared player plays, relative to the audio folder; empty without a player of library files.
inline QString playingFile()
{
    auto *player = qobject_cast<LibraryPlayer *>(GlobalData::sharedGlobalData()->audioPlayer);
    return player ? QDir(StorageLayout::getAudioDir()).relativeFilePath(player->path()) : QString();
}

} // namespace Mp3Fixture
