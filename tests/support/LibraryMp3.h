#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cmath>

// Silent MP3 files for the library tests: MPEG-1 Layer III frames, 32 kbit/s, 44.1 kHz, mono, no CRC. Each
// frame is 104 bytes and 1152 samples long; its side information and main data are zero, which decodes as
// silence.
namespace LibraryMp3 {

constexpr int frameBytes = 104;
constexpr int samplesPerFrame = 1152;
constexpr int sampleRate = 44100;

inline int framesFor(double seconds)
{
    return std::max(1, int(std::ceil(seconds * sampleRate / samplesPerFrame)));
}

inline QByteArray frames(int count)
{
    QByteArray frame(frameBytes, '\0');
    frame[0] = char(0xFF); // sync
    frame[1] = char(0xFB); // sync, MPEG-1, Layer III, no CRC
    frame[2] = char(0x10); // 32 kbit/s, 44100 Hz, no padding
    frame[3] = char(0xC4); // mono, original
    QByteArray data;
    data.reserve(qsizetype(count) * frameBytes);
    for (int i = 0; i < count; ++i)
        data += frame;
    return data;
}

inline QByteArray make(double seconds)
{
    return frames(framesFor(seconds));
}

// Writes a file of about `seconds` of silence; false when it cannot be written.
inline bool write(const QString &path, double seconds)
{
    QFile file(path);
    const QByteArray data = make(seconds);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

// Writes a file of exactly `bytes` bytes: whole frames, then zero padding (players skip it).
inline bool writeBytes(const QString &path, qint64 bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray data = frames(int(bytes / frameBytes));
    QByteArray padding(int(bytes - data.size()), '\0');
    return file.write(data) == data.size() && file.write(padding) == padding.size();
}

} // namespace LibraryMp3
