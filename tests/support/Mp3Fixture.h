#pragma once

#include "core/GlobalData.h"
#include "playback/AudioPlayer.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// Silent MP3 files for the player tests: MPEG-1 Layer III frames at 128 kbit/s and 44.1 kHz whose side
// information and main data are all zero. Each frame holds 1152 samples; padding bytes are spread as an
// encoder spreads them, so the stream keeps exactly 128 kbit/s and its length is what was asked for.
namespace Mp3Fixture {

inline QByteArray silence(double seconds)
{
    constexpr int sampleRate = 44100;
    constexpr int bitRate = 128000;
    constexpr int samplesPerFrame = 1152;
    const int frames = int(seconds * sampleRate / samplesPerFrame + 0.5);
    QByteArray data;
    data.reserve(qsizetype(frames) * 418);
    int remainder = 0;
    for (int i = 0; i < frames; ++i) {
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

// Writes `seconds` of silence to `path`, creating its folder.
inline bool write(const QString &path, double seconds)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(silence(seconds)) >= 0;
}

// Writes something named like an MP3 that is none.
inline bool writeBroken(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write("<html><body>404 Not Found</body></html>\n") >= 0;
}

// Puts the shared player state back as a fresh start has it: no player, an empty playlist, no flags.
inline void resetPlayerState()
{
    AudioPlayer::dropShared();
    GlobalData *global = GlobalData::sharedGlobalData();
    global->audioPlaylistArray.clear();
    global->audioChangingFlag = 0;
    global->playRandomMusic = false;
    global->playRepeatMusic = false;
    global->nowYouMayUpdatePlayer = false;
    global->iJustSelectedPlaylist = false;
}

} // namespace Mp3Fixture
