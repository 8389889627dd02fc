#include "desktop/TrackNotice.h"

#include "core/Settings.h"
#include "core/Stores.h"
#include "desktop/DesktopNotifier.h"
#include "library/TagCache.h"
#include "playback/MusicPlayer.h"

#include <QUrl>

TrackNotice::TrackNotice(TagCache *tags, DesktopNotifier *notifier, QObject *parent)
    : QObject(parent), m_tags(tags), m_notifier(notifier)
{
    connect(&MusicPlayer::shared(), &MusicPlayer::trackStarted, this, &TrackNotice::trackStarted);
    if (!tags)
        return;
    const auto arrived = [this](const QString &key) {
        if (!m_path.isEmpty() && key == TagCache::key(m_path))
            trySend(false);
    };
    connect(tags, &TagCache::tagsReady, this, arrived);
    connect(tags, &TagCache::coverReady, this, arrived);
    // Everything asked has been answered: a cover that could not be written will not come.
    connect(tags, &TagCache::idle, this, [this] { trySend(true); });
}

void TrackNotice::trackStarted(int index)
{
    m_path.clear();
    if (!Settings::shared().boolValue(QLatin1String(settingKey), false))
        return;
    const PlaylistStore &playlist = Stores::playlist();
    if (index < 0 || index >= playlist.size())
        return;
    m_file = playlist.at(index).file;
    m_path = MusicPlayer::filePath(m_file);
    trySend(false);
}

void TrackNotice::trySend(bool anyway)
{
    if (m_path.isEmpty() || !m_notifier)
        return;
    std::optional<TrackTags> tags;
    QString cover;
    if (m_tags) {
        tags = m_tags->tags(m_path);
        if (tags && tags->hasCover)
            cover = m_tags->coverPath(m_path);
        const bool complete = tags && (!tags->hasCover || !cover.isEmpty());
        if (!complete && !anyway)
            return;
    }
    // Downloads are named "Artist - Title": the name stands in for what the tags do not say.
    const QString name = MusicPlayer::displayName(m_file);
    const qsizetype dash = name.indexOf(QLatin1String(" - "));
    QString title = dash > 0 ? name.mid(dash + 3).trimmed() : name;
    QString artist = dash > 0 ? name.left(dash).trimmed() : QString();
    QString album;
    if (tags) {
        if (!tags->title.trimmed().isEmpty())
            title = tags->title.trimmed();
        if (!tags->artist.trimmed().isEmpty())
            artist = tags->artist.trimmed();
        album = tags->album.trimmed();
    }
    QStringList body;
    if (!artist.isEmpty())
        body << artist;
    if (!album.isEmpty())
        body << album;
    m_path.clear();
    m_notifier->notify(title, body.join(QStringLiteral(" — ")), cover);
}
