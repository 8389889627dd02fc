#pragma once

// The C++ types of the QML module "Melodrop", declared for Qt's type registrar. The classes live in the
// layers below and know nothing of QML; each is named here under its own name. The singletons stand for the
// objects handed over with ViewSingletons::provide. Main thread only.

#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "app/ViewSingletons.h"
#include "desktop/ColorScheme.h"
#include "library/LibraryEntries.h"
#include "playback/MpvPlayer.h"
#include "playback/MusicPlayer.h"
#include "playback/VideoEngine.h"
#include "playback/VideoPictureSource.h"
#include "playback/VideoSurface.h"
#include "screens/AlbumRecordModel.h"
#include "screens/Audio_Albums.h"
#include "screens/Audio_Export.h"
#include "screens/Audio_Group.h"
#include "screens/Audio_Library.h"
#include "screens/Audio_Personal.h"
#include "screens/Audio_Playlist.h"
#include "screens/Audio_Recommended.h"
#include "screens/Audio_Search.h"
#include "screens/AudioMenu.h"
#include "screens/AudioRecordModel.h"
#include "screens/AudioResults.h"
#include "screens/CatalogueMenu.h"
#include "screens/Friends_and_Groups.h"
#include "screens/FriendsGroupsModel.h"
#include "screens/LibraryBrowser.h"
#include "screens/LoginForm.h"
#include "screens/MediaExport.h"
#include "screens/NowPlaying.h"
#include "screens/PlaylistRowModel.h"
#include "screens/ProgressOverlay.h"
#include "screens/Queue.h"
#include "screens/ResultsScreen.h"
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
#include "screens/VideoRecordModel.h"
#include "screens/VideoResults.h"

#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

struct LoginFormType
{
    Q_GADGET
    QML_FOREIGN(LoginForm)
    QML_NAMED_ELEMENT(LoginForm)
};

struct CatalogueMenuType
{
    Q_GADGET
    QML_FOREIGN(CatalogueMenu)
    QML_NAMED_ELEMENT(CatalogueMenu)
    QML_UNCREATABLE("Use AudioMenu or VideoMenu")
};

struct AudioMenuType
{
    Q_GADGET
    QML_FOREIGN(AudioMenu)
    QML_NAMED_ELEMENT(AudioMenu)
};

struct VideoMenuType
{
    Q_GADGET
    QML_FOREIGN(VideoMenu)
    QML_NAMED_ELEMENT(VideoMenu)
};

struct ResultsScreenType
{
    Q_GADGET
    QML_FOREIGN(ResultsScreen)
    QML_NAMED_ELEMENT(ResultsScreen)
    QML_UNCREATABLE("Use one of the screens")
};

struct RecordResultsScreenType
{
    Q_GADGET
    QML_FOREIGN(RecordResultsScreen)
    QML_NAMED_ELEMENT(RecordResultsScreen)
    QML_UNCREATABLE("Use one of the screens")
};

struct AudioResultsType
{
    Q_GADGET
    QML_FOREIGN(AudioResults)
    QML_NAMED_ELEMENT(AudioResults)
    QML_UNCREATABLE("Use one of the screens")
};

struct Audio_SearchType
{
    Q_GADGET
    QML_FOREIGN(Audio_Search)
    QML_NAMED_ELEMENT(Audio_Search)
};

struct Audio_PersonalType
{
    Q_GADGET
    QML_FOREIGN(Audio_Personal)
    QML_NAMED_ELEMENT(Audio_Personal)
};

struct Audio_GroupType
{
    Q_GADGET
    QML_FOREIGN(Audio_Group)
    QML_NAMED_ELEMENT(Audio_Group)
};

struct Audio_RecommendedType
{
    Q_GADGET
    QML_FOREIGN(Audio_Recommended)
    QML_NAMED_ELEMENT(Audio_Recommended)
};

struct AudioRecordModelType
{
    Q_GADGET
    QML_FOREIGN(AudioRecordModel)
    QML_NAMED_ELEMENT(AudioRecordModel)
    QML_UNCREATABLE("Owned by a screen")
};

// Only its enums: the repeat modes the player screen's controls show.
struct MusicPlayerType
{
    Q_GADGET
    QML_FOREIGN(MusicPlayer)
    QML_NAMED_ELEMENT(MusicPlayer)
    QML_UNCREATABLE("The program has one player")
};

struct MpvPlayerType
{
    Q_GADGET
    QML_FOREIGN(MpvPlayer)
    QML_NAMED_ELEMENT(MpvPlayer)
    QML_UNCREATABLE("Owned by a screen")
};

struct LibraryBrowserType
{
    Q_GADGET
    QML_FOREIGN(LibraryBrowser)
    QML_NAMED_ELEMENT(LibraryBrowser)
    QML_UNCREATABLE("Use one of the screens")
};

struct LibraryEntriesType
{
    Q_GADGET
    QML_FOREIGN(LibraryEntries)
    QML_NAMED_ELEMENT(LibraryEntries)
    QML_UNCREATABLE("Owned by a screen")
};

struct MediaExportType
{
    Q_GADGET
    QML_FOREIGN(MediaExport)
    QML_NAMED_ELEMENT(MediaExport)
    QML_UNCREATABLE("Use one of the screens")
};

struct Audio_LibraryType
{
    Q_GADGET
    QML_FOREIGN(Audio_Library)
    QML_NAMED_ELEMENT(Audio_Library)
};

struct Video_LibraryType
{
    Q_GADGET
    QML_FOREIGN(Video_Library)
    QML_NAMED_ELEMENT(Video_Library)
};

struct Audio_ExportType
{
    Q_GADGET
    QML_FOREIGN(Audio_Export)
    QML_NAMED_ELEMENT(Audio_Export)
};

struct Video_ExportType
{
    Q_GADGET
    QML_FOREIGN(Video_Export)
    QML_NAMED_ELEMENT(Video_Export)
};

struct Video_PlayerType
{
    Q_GADGET
    QML_FOREIGN(Video_Player)
    QML_NAMED_ELEMENT(Video_Player)
};

struct Audio_AlbumsType
{
    Q_GADGET
    QML_FOREIGN(Audio_Albums)
    QML_NAMED_ELEMENT(Audio_Albums)
};

struct AlbumRecordModelType
{
    Q_GADGET
    QML_FOREIGN(AlbumRecordModel)
    QML_NAMED_ELEMENT(AlbumRecordModel)
    QML_UNCREATABLE("Owned by the album screen")
};

struct Friends_and_GroupsType
{
    Q_GADGET
    QML_FOREIGN(Friends_and_Groups)
    QML_NAMED_ELEMENT(Friends_and_Groups)
};

struct FriendsGroupsModelType
{
    Q_GADGET
    QML_FOREIGN(FriendsGroupsModel)
    QML_NAMED_ELEMENT(FriendsGroupsModel)
    QML_UNCREATABLE("Owned by the friends screen")
};

struct VideoResultsType
{
    Q_GADGET
    QML_FOREIGN(VideoResults)
    QML_NAMED_ELEMENT(VideoResults)
    QML_UNCREATABLE("Use one of the screens")
};

struct Video_SearchType
{
    Q_GADGET
    QML_FOREIGN(Video_Search)
    QML_NAMED_ELEMENT(Video_Search)
};

struct Video_PersonalType
{
    Q_GADGET
    QML_FOREIGN(Video_Personal)
    QML_NAMED_ELEMENT(Video_Personal)
};

struct Video_GroupType
{
    Q_GADGET
    QML_FOREIGN(Video_Group)
    QML_NAMED_ELEMENT(Video_Group)
};

struct Video_RecommendedType
{
    Q_GADGET
    QML_FOREIGN(Video_Recommended)
    QML_NAMED_ELEMENT(Video_Recommended)
};

struct VideoRecordModelType
{
    Q_GADGET
    QML_FOREIGN(VideoRecordModel)
    QML_NAMED_ELEMENT(VideoRecordModel)
    QML_UNCREATABLE("Owned by a screen")
};

struct VideoEngineType
{
    Q_GADGET
    QML_FOREIGN(VideoEngine)
    QML_NAMED_ELEMENT(VideoEngine)
    QML_UNCREATABLE("Owned by the video player")
};

struct VideoPictureSourceType
{
    Q_GADGET
    QML_FOREIGN(VideoPictureSource)
    QML_NAMED_ELEMENT(VideoPictureSource)
    QML_UNCREATABLE("Use Video_Player")
};

struct VideoSurfaceType
{
    Q_GADGET
    QML_FOREIGN(VideoSurface)
    QML_NAMED_ELEMENT(VideoSurface)
};

struct PlaylistRowModelType
{
    Q_GADGET
    QML_FOREIGN(PlaylistRowModel)
    QML_NAMED_ELEMENT(PlaylistRowModel)
    QML_UNCREATABLE("Owned by the player screen")
};

struct SavedPlaylistsType
{
    Q_GADGET
    QML_FOREIGN(SavedPlaylists)
    QML_NAMED_ELEMENT(SavedPlaylists)
    QML_UNCREATABLE("Made by the player screen")
};

struct QueueType
{
    Q_GADGET
    QML_FOREIGN(Queue)
    QML_NAMED_ELEMENT(Queue)
    QML_UNCREATABLE("The shell owns the queue")
};

struct SettingsPageType
{
    Q_GADGET
    QML_FOREIGN(SettingsPage)
    QML_NAMED_ELEMENT(SettingsPage)
};

struct ProgressOverlayType
{
    Q_GADGET
    QML_FOREIGN(ProgressOverlay)
    QML_NAMED_ELEMENT(ProgressOverlay)
    QML_UNCREATABLE("An overlay belongs to its screen")
};

struct ShellType
{
    Q_GADGET
    QML_FOREIGN(Shell)
    QML_NAMED_ELEMENT(Shell)
    QML_SINGLETON

public:
    static Shell *create(QQmlEngine *, QJSEngine *);
};

struct ColorSchemeType
{
    Q_GADGET
    QML_FOREIGN(ColorScheme)
    QML_NAMED_ELEMENT(ColorScheme)
    QML_SINGLETON

public:
    static ColorScheme *create(QQmlEngine *, QJSEngine *);
};

struct NowPlayingType
{
    Q_GADGET
    QML_FOREIGN(NowPlaying)
    QML_NAMED_ELEMENT(NowPlaying)
    QML_SINGLETON

public:
    static NowPlaying *create(QQmlEngine *, QJSEngine *);
};

struct LifecycleType
{
    Q_GADGET
    QML_FOREIGN(Lifecycle)
    QML_NAMED_ELEMENT(Lifecycle)
    QML_SINGLETON

public:
    static Lifecycle *create(QQmlEngine *, QJSEngine *);
};

struct Audio_PlaylistType
{
    Q_GADGET
    QML_FOREIGN(Audio_Playlist)
    QML_NAMED_ELEMENT(Audio_Playlist)
    QML_SINGLETON

public:
    static Audio_Playlist *create(QQmlEngine *, QJSEngine *);
};
