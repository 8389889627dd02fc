#include "core/StorageLayout.h"

#include <QDir>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <climits>

namespace {

QMutex rootMutex;
QString rootOverride;

QString appended(const QString &component)
{
    return StorageLayout::getRootDir() + QLatin1Char('/') + component;
}

} // namespace

QString StorageLayout::getRootDir()
{
    {
        QMutexLocker lock(&rootMutex);
        if (!rootOverride.isEmpty())
            return rootOverride;
    }
    const QString fromEnvironment = qEnvironmentVariable("MELODROP_ROOT");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(fromEnvironment);
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QStringLiteral("/Melodrop");
}

void StorageLayout::setRootDir(const QString &path)
{
    QMutexLocker lock(&rootMutex);
    rootOverride = path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath());
}

QString StorageLayout::getPlaylistsDir()
{
    return appended(QStringLiteral("playlists"));
}

QString StorageLayout::getAudioDir()
{
    return appended(QStringLiteral("audio"));
}

QString StorageLayout::getVideoDir()
{
    return appended(QStringLiteral("video"));
}

QString StorageLayout::getInboxDir()
{
    return appended(QStringLiteral("Inbox"));
}

QString StorageLayout::stringByRemovingCharactersInSet(CharacterRange set, const QString &text)
{
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        if (!set.contains(c.unicode()))
            kept.append(c);
    }
    return kept;
}

QString StorageLayout::secondsToTime(const QString &seconds)
{
    // Reads like C's atoi: leading blanks, an optional sign, then digits up to the first other character.
    qsizetype i = 0;
    const qsizetype n = seconds.size();
    while (i < n && (seconds.at(i) == QLatin1Char(' ') ||
                     (seconds.at(i).unicode() >= 9 && seconds.at(i).unicode() <= 13)))
        ++i;
    bool negative = false;
    if (i < n && (seconds.at(i) == QLatin1Char('+') || seconds.at(i) == QLatin1Char('-'))) {
        negative = seconds.at(i) == QLatin1Char('-');
        ++i;
    }
    qint64 value = 0;
    while (i < n && seconds.at(i).isDigit() && seconds.at(i).unicode() < 128) {
        // Saturates at the 32-bit range, as the service's own integer reading does.
        value = std::min<qint64>(value * 10 + (seconds.at(i).unicode() - '0'), qint64(INT_MAX) + 1);
        ++i;
    }
    const int total = negative ? int(-value) : int(std::min<qint64>(value, INT_MAX));
    const int minutes = total / 60;
    const int rest = total % 60;
    if (rest > 9)
        return QString::asprintf("%d:%d", minutes, rest);
    return QString::asprintf("%d:0%d", minutes, rest);
}
