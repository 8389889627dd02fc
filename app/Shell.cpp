#include "app/Shell.h"
#include "app/PasswordAccessible.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "desktop/Badges.h"
#include "desktop/ColorScheme.h"
#include "desktop/DesktopNotifier.h"
#include "desktop/TrackNotice.h"
#include "library/TagCache.h"
#include "playback/VideoSurface.h"
#include "screens/Audio_Albums.h"
#include "screens/Audio_Export.h"
#include "screens/Audio_Group.h"
#include "screens/Audio_Library.h"
#include "screens/Audio_Personal.h"
#include "screens/Audio_Playlist.h"
#include "screens/Audio_Recommended.h"
#include "screens/Audio_Search.h"
#include "screens/AudioMenu.h"
#include "screens/DownloadsFinished.h"
#include "screens/Friends_and_Groups.h"
#include "screens/LoginForm.h"
#include "screens/NowPlaying.h"
#include "screens/PlaylistDurations.h"
#include "screens/PlaylistExport.h"
#include "screens/ProgressOverlay.h"
#include "screens/SavedPlaylists.h"
#include "screens/SettingsPage.h"
#include "screens/Video_Export.h"
#include "screens/Video_Group.h"
#include "screens/Video_Library.h"
#include "screens/Video_Personal.h"
#include "screens/Video_Player.h"
#include "screens/Video_Recommended.h"
#include "screens/Video_Search.h"
#include "screens/VideoMenu.h"

#include <QQmlEngine>
#include <QUrl>

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

void Shell::registerQmlTypes(Shell *shell)
{
    PasswordAccessible::install(); // before any view: password fields are created with their own accessible
    qmlRegisterSingletonInstance("Melodrop", 1, 0, "Shell", shell);
    qmlRegisterSingletonInstance("Melodrop", 1, 0, "ColorScheme", shell->colorScheme());
    qmlRegisterSingletonInstance("Melodrop", 1, 0, "NowPlaying", shell->nowPlaying());
    qmlRegisterType<LoginForm>("Melodrop", 1, 0, "LoginForm");
    qmlRegisterUncreatableType<CatalogueMenu>("Melodrop", 1, 0, "CatalogueMenu",
                                              QStringLiteral("Use AudioMenu or VideoMenu"));
    qmlRegisterType<AudioMenu>("Melodrop", 1, 0, "AudioMenu");
    qmlRegisterType<VideoMenu>("Melodrop", 1, 0, "VideoMenu");
    qmlRegisterUncreatableType<AudioResults>("Melodrop", 1, 0, "AudioResults",
                                             QStringLiteral("Use one of the screens"));
    qmlRegisterType<Audio_Search>("Melodrop", 1, 0, "Audio_Search");
    qmlRegisterType<Audio_Personal>("Melodrop", 1, 0, "Audio_Personal");
    qmlRegisterType<Audio_Group>("Melodrop", 1, 0, "Audio_Group");
    qmlRegisterType<Audio_Recommended>("Melodrop", 1, 0, "Audio_Recommended");
    qmlRegisterUncreatableType<AudioRecordModel>("Melodrop", 1, 0, "AudioRecordModel",
                                                 QStringLiteral("Owned by a screen"));
    qmlRegisterUncreatableType<MpvPlayer>("Melodrop", 1, 0, "MpvPlayer", QStringLiteral("Owned by a screen"));
    qmlRegisterUncreatableType<LibraryBrowser>("Melodrop", 1, 0, "LibraryBrowser",
                                               QStringLiteral("Use one of the screens"));
    qmlRegisterUncreatableType<LibraryEntries>("Melodrop", 1, 0, "LibraryEntries",
                                               QStringLiteral("Owned by a screen"));
    qmlRegisterUncreatableType<MediaExport>("Melodrop", 1, 0, "MediaExport",
                                            QStringLiteral("Use one of the screens"));
    qmlRegisterType<Audio_Library>("Melodrop", 1, 0, "Audio_Library");
    qmlRegisterType<Video_Library>("Melodrop", 1, 0, "Video_Library");
    qmlRegisterType<Audio_Export>("Melodrop", 1, 0, "Audio_Export");
    qmlRegisterType<Video_Export>("Melodrop", 1, 0, "Video_Export");
    qmlRegisterType<Video_Player>("Melodrop", 1, 0, "Video_Player");
    qmlRegisterType<Audio_Albums>("Melodrop", 1, 0, "Audio_Albums");
    qmlRegisterUncreatableType<AlbumRecordModel>("Melodrop", 1, 0, "AlbumRecordModel",
                                                 QStringLiteral("Owned by the album screen"));
    qmlRegisterType<Friends_and_Groups>("Melodrop", 1, 0, "Friends_and_Groups");
    qmlRegisterUncreatableType<FriendsGroupsModel>("Melodrop", 1, 0, "FriendsGroupsModel",
                                                   QStringLiteral("Owned by the friends screen"));
    qmlRegisterUncreatableType<VideoResults>("Melodrop", 1, 0, "VideoResults",
                                             QStringLiteral("Use one of the screens"));
    qmlRegisterType<Video_Search>("Melodrop", 1, 0, "Video_Search");
    qmlRegisterType<Video_Personal>("Melodrop", 1, 0, "Video_Personal");
    qmlRegisterType<Video_Group>("Melodrop", 1, 0, "Video_Group");
    qmlRegisterType<Video_Recommended>("Melodrop", 1, 0, "Video_Recommended");
    qmlRegisterUncreatableType<VideoRecordModel>("Melodrop", 1, 0, "VideoRecordModel",
                                                 QStringLiteral("Owned by a screen"));
    qmlRegisterUncreatableType<VideoEngine>("Melodrop", 1, 0, "VideoEngine",
                                            QStringLiteral("Owned by the video player"));
    qmlRegisterUncreatableType<VideoPictureSource>("Melodrop", 1, 0, "VideoPictureSource",
                                                   QStringLiteral("Use Video_Player"));
    qmlRegisterType<VideoSurface>("Melodrop", 1, 0, "VideoSurface");
    qmlRegisterSingletonInstance("Melodrop", 1, 0, "Audio_Playlist", Audio_Playlist::shared());
    qmlRegisterUncreatableType<PlaylistRowModel>("Melodrop", 1, 0, "PlaylistRowModel",
                                                 QStringLiteral("Owned by the player screen"));
    qmlRegisterUncreatableType<SavedPlaylists>("Melodrop", 1, 0, "SavedPlaylists",
                                               QStringLiteral("Made by the player screen"));
    qmlRegisterUncreatableType<Queue>("Melodrop", 1, 0, "Queue", QStringLiteral("The shell owns the queue"));
    qmlRegisterType<SettingsPage>("Melodrop", 1, 0, "SettingsPage");
    qmlRegisterUncreatableType<ProgressOverlay>("Melodrop", 1, 0, "ProgressOverlay",
                                                QStringLiteral("An overlay belongs to its screen"));
}

QString Shell::windowTitle() const
{
    return queueBadge() > 0 ? QStringLiteral("Melodrop (%1)").arg(queueBadge()) : QStringLiteral("Melodrop");
}
