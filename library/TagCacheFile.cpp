#include "library/TagCacheFile.h"

#include "core/Storage.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

constexpr quint32 magic = 0x4D445443; // "MDTC"

bool plausible(const QString &path, const TagCacheFile::Entry &entry)
{
    const TrackTags &tags = entry.tags;
    return path.startsWith(QLatin1Char('/')) && entry.size >= 0 && tags.trackNumber >= 0 && tags.year >= 0 &&
           tags.durationMs >= 0 &&
           (entry.coverFile.isEmpty() || TagCacheFile::isCoverFileName(entry.coverFile));
}

} // namespace

TagCacheFile::Entries TagCacheFile::parse(const QByteArray &bytes)
{
    QDataStream stream(bytes);
    stream.setVersion(QDataStream::Qt_6_0);
    quint32 fileMagic = 0;
    quint32 version = 0;
    quint32 count = 0;
    stream >> fileMagic >> version >> count;
    if (stream.status() != QDataStream::Ok || fileMagic != magic || version != formatVersion)
        return {};
    Entries entries;
    // A record takes at least 60 bytes: a count larger than the file can hold is damage, not a reason to
    // allocate.
    entries.reserve(std::min<qsizetype>(count, bytes.size() / 60));
    for (quint32 i = 0; i < count; ++i) {
        QString path;
        Entry entry;
        qint32 track = 0;
        qint32 year = 0;
        stream >> path >> entry.size >> entry.modifiedNs >> entry.tags.title >> entry.tags.artist >>
            entry.tags.album >> track >> year >> entry.tags.durationMs >> entry.tags.hasCover >>
            entry.coverFile;
        entry.tags.trackNumber = track;
        entry.tags.year = year;
        if (stream.status() != QDataStream::Ok || !plausible(path, entry))
            return {};
        entries.insert(path, std::move(entry));
    }
    if (!stream.atEnd())
        return {};
    return entries;
}

QByteArray TagCacheFile::serialize(const Entries &entries)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_6_0);
    stream << magic << formatVersion << quint32(entries.size());
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        const Entry &entry = it.value();
        stream << it.key() << entry.size << entry.modifiedNs << entry.tags.title << entry.tags.artist
               << entry.tags.album << qint32(entry.tags.trackNumber) << qint32(entry.tags.year)
               << entry.tags.durationMs << entry.tags.hasCover << entry.coverFile;
    }
    return bytes;
}

TagCacheFile::Entries TagCacheFile::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxFileSize)
        return {};
    return parse(file.read(maxFileSize));
}

bool TagCacheFile::save(const QString &path, const Entries &entries)
{
    const QByteArray bytes = serialize(entries);
    if (bytes.size() > maxFileSize)
        return false;
    return QDir().mkpath(QFileInfo(path).absolutePath()) && Storage::writeAtomically(path, bytes);
}

bool TagCacheFile::isCoverFileName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[0-9a-f]{40}\\.(jpg|png|gif|bmp|webp)$"));
    return pattern.match(name).hasMatch();
}

QString TagCacheFile::coverFileName(const TagReader::Cover &cover)
{
    return QString::fromLatin1(QCryptographicHash::hash(cover.data, QCryptographicHash::Sha1).toHex()) +
           QLatin1Char('.') + cover.suffix;
}
