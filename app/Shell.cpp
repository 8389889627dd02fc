#include "app/Shell.h"

#include "desktop/Badges.h"
#include "desktop/ColorScheme.h"
#include "desktop/DesktopNotifier.h"
#include "desktop/TrackNotice.h"
#include "downloads/DownloadQueue.h"
#include "library/TagCache.h"
#include "screens/DownloadsFinished.h"
#include "screens/LibraryBrowser.h"
#include "screens/NowPlaying.h"
#include "screens/PlaylistDurations.h"
#include "screens/PlaylistExport.h"
#include "screens/Queue.h"

Shell::Shell(QObject *parent)
    : QObject(parent), m_queue(new Queue(this)), m_colorScheme(new ColorScheme(this)),
      m_tagCache(new TagCache(this)), m_nowPlaying(new NowPlaying(m_tagCache, this)),
      m_notifier(new DesktopNotifier(this)), m_trackNotice(new TrackNotice(m_tagCache, m_notifier, this)),
      m_downloadsFinished(new DownloadsFinished(&DownloadQueue::shared(), this))
{
    LibraryBrowser::setTagCache(m_tagCache);
    // The badges follow the queue; the queue knows nothing of them.
    connect(&DownloadQueue::shared(), &DownloadQueue::countChanged, &Badges::shared(),
            &Badges::setApplicationBadge);
    connect(&Badges::shared(), &Badges::queueCountChanged, this, &Shell::queueBadgeChanged);
    connect(m_downloadsFinished, &DownloadsFinished::noticeRequested, m_notifier,
            [this](const QString &summary, const QString &body) { m_notifier->notify(summary, body); });
    // Exported playlists name their tracks from the same tag cache the player shows.
    PlaylistExport::setTagSource([cache = m_tagCache](const QString &path) { return cache->tags(path); });
    // The player screen's lengths and total, too.
    PlaylistDurations::shared().setTagCache(m_tagCache);
}

Shell::~Shell() = default;

bool Shell::requestQuit()
{
    if (m_quitConfirmed || !downloadsRunning()) {
        m_quitConfirmed = true;
        Q_EMIT quitConfirmedChanged();
        Q_EMIT quitRequested();
        return true;
    }
    Q_EMIT alertRequested(QString(), tr("Загрузки ещё идут. Выйти?"), {tr("Отмена"), tr("Выйти")}, QuitAlert);
    return false;
}

void Shell::alertAnswered(int tag, int index)
{
    if (tag != QuitAlert || index != 1)
        return;
    m_quitConfirmed = true;
    Q_EMIT quitConfirmedChanged();
    Q_EMIT quitRequested();
}

int Shell::queueBadge() const
{
    return Badges::shared().queueCount();
}

QString Shell::windowTitle() const
{
    return queueBadge() > 0 ? QStringLiteral("Melodrop (%1)").arg(queueBadge()) : QStringLiteral("Melodrop");
}
