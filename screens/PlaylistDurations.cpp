#include "screens/PlaylistDurations.h"

#include "core/Stores.h"
#include "library/TagCache.h"
#include "playback/MusicPlayer.h"

PlaylistDurations &PlaylistDurations::shared()
{
    static PlaylistDurations *instance = new PlaylistDurations(&Stores::playlist());
    return *instance;
}

PlaylistDurations::PlaylistDurations(PlaylistStore *playlist, QObject *parent)
    : QObject(parent), m_playlist(playlist)
{
    // Entries coming and going change the total by their own lengths; a new list is summed anew. Marks and
    // moves change nothing.
    connect(playlist, &ListStoreSignals::inserted, this, [this](int first, int last) {
        if (m_sumScheduled)
            return;
        for (int row = first; row <= last; ++row)
            count(m_playlist->at(row).file, 1);
        setTotalText();
    });
    connect(playlist, &ListStoreSignals::aboutToRemove, this, [this](int first, int last) {
        if (m_sumScheduled)
            return;
        for (int row = first; row <= last; ++row)
            count(m_playlist->at(row).file, -1);
    });
    connect(playlist, &ListStoreSignals::removed, this, &PlaylistDurations::setTotalText);
    connect(playlist, &ListStoreSignals::reset, this, &PlaylistDurations::scheduleSum);
    scheduleSum();
}

void PlaylistDurations::setTagCache(TagCache *tags)
{
    disconnect(m_tagsConnection);
    m_tags = tags;
    m_rowsWaiting.clear();
    if (tags)
        m_tagsConnection = connect(tags, &TagCache::tagsReady, this, &PlaylistDurations::tagsArrived);
    scheduleSum();
}

QString PlaylistDurations::clock(qint64 seconds)
{
    const qint64 hours = seconds / 3600;
    const QString minutesSeconds =
        QStringLiteral("%1:%2")
            .arg(hours > 0 ? QStringLiteral("%1").arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                           : QString::number(seconds / 60))
            .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return hours > 0 ? QString::number(hours) + QLatin1Char(':') + minutesSeconds : minutesSeconds;
}

QString PlaylistDurations::lengthText(const QString &file)
{
    if (!m_tags)
        return {};
    const QString path = MusicPlayer::filePath(file);
    const std::optional<TrackTags> tags = m_tags->tags(path);
    if (!tags) {
        m_rowsWaiting.insert(TagCache::key(path));
        return {};
    }
    return tags->durationMs > 0 ? clock((tags->durationMs + 500) / 1000) : QString();
}

void PlaylistDurations::tagsArrived(const QString &key)
{
    if (m_rowsWaiting.remove(key) && !m_arrivalScheduled) {
        // Tags arrive one file at a time: the rows are told once for those that came together.
        m_arrivalScheduled = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_arrivalScheduled = false;
                Q_EMIT lengthsArrived();
            },
            Qt::QueuedConnection);
    }
    const auto waiting = m_sumWaiting.constFind(key);
    if (waiting == m_sumWaiting.constEnd() || !m_tags || m_sumScheduled)
        return;
    const std::optional<TrackTags> tags = m_tags->tags(key);
    if (!tags)
        return;
    m_totalMs += qMax<qint64>(tags->durationMs, 0) * waiting.value();
    m_unknownCount -= waiting.value();
    m_sumWaiting.erase(waiting);
    setTotalText();
}

void PlaylistDurations::scheduleSum()
{
    if (m_sumScheduled)
        return;
    // Entries added one by one are summed once, after the last.
    m_sumScheduled = true;
    QMetaObject::invokeMethod(this, &PlaylistDurations::sum, Qt::QueuedConnection);
}

void PlaylistDurations::sum()
{
    m_sumScheduled = false;
    m_totalMs = 0;
    m_unknownCount = 0;
    m_sumWaiting.clear();
    for (const PlaylistEntry &entry : m_playlist->records())
        count(entry.file, 1);
    setTotalText();
}

void PlaylistDurations::count(const QString &file, int sign)
{
    if (!m_tags) {
        m_unknownCount += sign;
        return;
    }
    const QString path = MusicPlayer::filePath(file);
    const QString key = TagCache::key(path);
    const auto waiting = m_sumWaiting.find(key);
    if (waiting != m_sumWaiting.end()) {
        // Still unknown: the entry waits with the others of its file.
        waiting.value() += sign;
        if (waiting.value() <= 0)
            m_sumWaiting.erase(waiting);
        m_unknownCount += sign;
        return;
    }
    if (const std::optional<TrackTags> tags = m_tags->tags(path)) {
        m_totalMs += sign * qMax<qint64>(tags->durationMs, 0);
    } else if (sign > 0) {
        m_sumWaiting.insert(key, 1);
        ++m_unknownCount;
    }
}

void PlaylistDurations::setTotalText()
{
    const int count = m_playlist->size();
    const bool anyKnown = m_unknownCount < count;
    const QString text = anyKnown ? tr("Треков: %1, %2").arg(count).arg(clock((m_totalMs + 500) / 1000))
                                  : tr("Треков: %1").arg(count);
    if (text == m_totalText)
        return;
    m_totalText = text;
    Q_EMIT totalChanged();
}
