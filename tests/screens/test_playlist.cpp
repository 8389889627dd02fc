#include "../support/Mp3Fixture.h"
#include "../support/PlayerTest.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/PropertyList.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "library/PlaylistExchange.h"
#include "library/PlaylistFile.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"
#include "screens/Audio_Playlist.h"
#include "screens/PlaylistExport.h"
#include "screens/SavedPlaylists.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <cmath>
#include <deque>

#include <gtest/gtest.h>

using TestSupport::waitFor;

namespace {

// Lets the event loop run for `ms` milliseconds.
void pump(int ms)
{
    waitFor([] { return false; }, ms);
}

// Whether `object` has been deleted once the deletions the event loop would carry out are done.
template <typename T> bool released(const QPointer<T> &object)
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return object.isNull();
}

class PlaylistTest : public PlayerTest
{
protected:
    // Files of `seconds` each under the audio folder, and the playlist naming them in order.
    void makePlaylist(const QStringList &files, double seconds = 60)
    {
        ASSERT_TRUE(Mp3Fixture::appendToPlaylist(files, seconds));
    }
    QStringList marks() const
    {
        QStringList marks;
        for (const PlaylistEntry &entry : Stores::playlist().records())
            marks << (entry.current ? "1" : "0");
        return marks;
    }
    QStringList rowTitles() const
    {
        QStringList titles;
        for (int row = 0; row < screen.rows()->rowCount(); ++row)
            titles << screen.rows()->index(row).data(PlaylistRowModel::TitleRole).toString();
        return titles;
    }
    // The screen's display: "title elapsed/total".
    QString display() const
    {
        return screen.title() + QLatin1Char(' ') + screen.audioTimeLabelCurrent() + QLatin1Char('/') +
               screen.audioTimeLabel();
    }

    Audio_Playlist screen;
};

TEST_F(PlaylistTest, StartingAnEntryPlaysItsFileAndMarksOnlyIt)
{
    makePlaylist({"A.mp3", "Folder/Artist - Song.mp3", "C.mp3"});
    Stores::playlist().setCurrentIndex(2);
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    QSignalSpy titles(&screen, &Audio_Playlist::titleChanged);

    screen.playSound(1);
    ASSERT_NE(player(), nullptr);
    EXPECT_EQ(playingFile(), "Folder/Artist - Song.mp3");
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(marks(), (QStringList{"0", "1", "0"}));
    EXPECT_EQ(display(), "Artist - Song 0:00/0:00");
    EXPECT_EQ(titles.count(), 1);
    EXPECT_EQ(screen.sliderValue(), 0);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
    // The length is known once the file is open, a moment later.
    ASSERT_TRUE(waitFor([&] { return std::abs(screen.sliderMaximum() - 60) < 0.1; }, 5000));
    // It really runs: the position moves on.
    EXPECT_TRUE(waitFor([&] { return player()->currentTime() > 0.2; }, 5000));

    // Starting another entry replaces the player.
    const QPointer<AudioPlayer> first = global->audioPlayer;
    screen.playSound(0);
    EXPECT_EQ(playingFile(), "A.mp3");
    EXPECT_EQ(marks(), (QStringList{"1", "0", "0"}));
    EXPECT_TRUE(released(first)) << "the replaced player is released";
}

TEST_F(PlaylistTest, NextAndPreviousWrapAroundAndPreviousPastThreeSecondsRestarts)
{
    makePlaylist({"A.mp3", "B.mp3", "C.mp3"});
    screen.forwardButtonPressed(); // no current track yet: nothing
    screen.backwardButtonPressed();
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_EQ(marks(), (QStringList{"0", "0", "0"}));

    screen.playSound(1);
    QStringList order;
    for (const bool forward : {true, true, false, false}) {
        forward ? screen.forwardButtonPressed() : screen.backwardButtonPressed();
        order << playingFile();
    }
    // Next on the last entry wraps to the first, previous on the first to the last.
    EXPECT_EQ(order, (QStringList{"C.mp3", "A.mp3", "C.mp3", "B.mp3"}));
    EXPECT_EQ(marks(), (QStringList{"0", "1", "0"}));

    // Past three seconds, previous starts the track again with a new player; within them, the entry before.
    player()->setCurrentTime(10);
    const QPointer<AudioPlayer> before = global->audioPlayer;
    screen.backwardButtonPressed();
    EXPECT_EQ(playingFile(), "B.mp3");
    EXPECT_NE(global->audioPlayer, before.data());
    EXPECT_LT(player()->currentTime(), 3.0);
    screen.backwardButtonPressed();
    EXPECT_EQ(playingFile(), "A.mp3");
}

TEST_F(PlaylistTest, ShuffleRestartsOneEntryAlternatesTwoDrawsAgainUntilTheEntryDiffersAndRepeatGoesFirst)
{
    global->playRandomMusic = true;
    makePlaylist({"Only.mp3"});
    screen.playSound(0);
    AudioPlayer *before = global->audioPlayer;
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), "Only.mp3");
    EXPECT_NE(global->audioPlayer, before);
    screen.backwardButtonPressed();
    EXPECT_EQ(playingFile(), "Only.mp3");

    makePlaylist({"Second.mp3"});
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        screen.forwardButtonPressed();
        order << playingFile();
    }
    EXPECT_EQ(order,
              (QStringList{"Second.mp3", "Only.mp3", "Second.mp3", "Only.mp3", "Second.mp3", "Only.mp3"}));
    screen.backwardButtonPressed(); // near the start, shuffled: the other entry
    EXPECT_EQ(playingFile(), "Second.mp3");

    // Repeat takes precedence: both buttons start the entry again. (The end of a track is the music
    // player's.)
    global->playRepeatMusic = true;
    for (const bool forward : {true, false}) {
        AudioPlayer *before = global->audioPlayer;
        forward ? screen.forwardButtonPressed() : screen.backwardButtonPressed();
        EXPECT_EQ(playingFile(), "Second.mp3");
        EXPECT_NE(global->audioPlayer, before);
    }

    // Shuffle draws again until the entry differs: 6, 10 and 4002 are all 2 modulo 4, the current entry; 9
    // is 1.
    global->playRepeatMusic = false;
    makePlaylist({"C.mp3", "D.mp3"});
    std::deque<quint32> draws{6, 10, 2 + 4 * 1000, 9};
    screen.setRandomSource([&] {
        const quint32 value = draws.front();
        draws.pop_front();
        return value;
    });
    screen.playSound(2);
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), "Second.mp3");
    EXPECT_TRUE(draws.empty());
}

// Only a successful end of the current player advances. That a file which cannot be opened leaves nothing
// playing is the music player's; the screen shows the entry with nothing to time, and every row, the gone one
// dimmed.
TEST_F(PlaylistTest, OnlyASuccessfulEndAdvancesAndAFileThatCannotBeOpenedShowsNoTime)
{
    ASSERT_TRUE(Mp3Fixture::writeBroken(audio + "/Broken.mp3"));
    Stores::playlist().append(PlaylistEntry{"Broken.mp3", false});
    Stores::playlist().append(PlaylistEntry{"Missing.mp3", false});
    makePlaylist({"A.mp3", "B.mp3", "C.mp3"});
    screen.viewDidAppear();
    screen.playSound(2);
    Q_EMIT player()->didFinishPlaying(false); // could not be decoded to its end
    pump(100);
    EXPECT_EQ(playingFile(), "A.mp3");
    QPointer<AudioPlayer> old = global->audioPlayer;
    screen.playSound(3);
    Q_EMIT old->didFinishPlaying(true); // the replaced player's report comes late
    pump(100);
    EXPECT_EQ(playingFile(), "B.mp3");
    Q_EMIT player()->didFinishPlaying(true); // once: the entry after, not the one after that
    ASSERT_TRUE(waitFor([&] { return playingFile() == "C.mp3"; }, 1000));

    screen.playSound(0);
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer == nullptr; }, 5000));
    screen.updateTime();
    EXPECT_EQ(display(), "Broken 0:00/0:00");
    EXPECT_EQ(screen.sliderMaximum(), 0);
    EXPECT_EQ(rowTitles(), (QStringList{"Broken", "Missing", "A", "B", "C"}));
    EXPECT_FALSE(screen.rows()->index(1).data(PlaylistRowModel::PlayableRole).toBool());
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), "A.mp3");
}

TEST_F(PlaylistTest, TheTickShowsTimesAndCarriesOutRequestsAndTheSliderJumps)
{
    makePlaylist({"A.mp3", "B.mp3", "C.mp3"}, 75);
    screen.playSound(0);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    screen.updateTime();
    EXPECT_EQ(playingFile(), "B.mp3");
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
    global->pendingTrackStep = GlobalData::TrackStep::Previous;
    screen.updateTime();
    EXPECT_EQ(playingFile(), "A.mp3");

    // Hidden, the display stays; visible, it follows the player.
    ASSERT_TRUE(waitFor([&] { return std::abs(player()->duration() - 75) < 0.1; }, 5000));
    player()->setCurrentTime(42.6);
    screen.updateTime();
    EXPECT_EQ(screen.audioTimeLabel(), "0:00");
    screen.viewDidAppear();
    screen.updateTime();
    EXPECT_EQ(display(), "A 0:43/1:15");
    EXPECT_NEAR(screen.sliderValue(), 42.6, 0.01);
    EXPECT_TRUE(screen.sliderAnimated());

    // The slider jumps and keeps the playing state.
    screen.audioSliderMoved(30);
    EXPECT_NEAR(player()->currentTime(), 30, 0.5);
    EXPECT_TRUE(player()->isPlaying());
    Audio_Playlist::pause();
    screen.audioSliderMoved(12);
    EXPECT_NEAR(player()->currentTime(), 12, 0.5);
    EXPECT_FALSE(player()->isPlaying());
    Audio_Playlist::play();
    EXPECT_TRUE(player()->isPlaying());
    // The platform's end of an interruption resumes only when it says so.
    Audio_Playlist::pause();
    Q_EMIT player()->endInterruption(0);
    EXPECT_FALSE(player()->isPlaying());
    Q_EMIT player()->endInterruption(1);
    EXPECT_TRUE(player()->isPlaying());

    // The real timer, one per program: a second load replaces the first. (That it ticks is the music
    // player's.)
    screen.viewDidLoad();
    QPointer<QTimer> first = global->playbackTimer;
    Audio_Playlist other;
    other.viewDidLoad();
    EXPECT_NE(global->playbackTimer, first.data());
    EXPECT_TRUE(released(first));
}

// Repeat goes round its three modes from the playlist's (as it always started): the track, none, the
// playlist.
TEST_F(PlaylistTest, ShuffleTogglesAndRepeatGoesRoundItsThreeModes)
{
    QSignalSpy modes(&screen, &Audio_Playlist::modesChanged);
    // "shuffle image, shuffle; repeat image, mode, track"
    const auto state = [&] {
        return QStringLiteral("%1 %2; %3 %4 %5")
            .arg(screen.randomButtonImage())
            .arg(int(global->playRandomMusic))
            .arg(screen.repeatButtonImage())
            .arg(screen.repeatMode())
            .arg(int(global->playRepeatMusic))
            .toStdString();
    };
    EXPECT_EQ(state(), "playlist_shuffle.png 0; playlist_repeat_active.png 1 0");
    screen.randomButtonPressed();
    EXPECT_EQ(state(), "playlist_shuffle_active.png 1; playlist_repeat_active.png 1 0");
    screen.repeatButtonPressed();
    EXPECT_EQ(state(), "playlist_shuffle_active.png 1; playlist_repeat_active.png 2 1");
    screen.repeatButtonPressed();
    EXPECT_EQ(state(), "playlist_shuffle_active.png 1; playlist_repeat.png 0 0");
    EXPECT_FALSE(global->repeatPlaylist);
    screen.repeatButtonPressed();
    EXPECT_TRUE(global->repeatPlaylist);
    screen.randomButtonPressed();
    EXPECT_EQ(state(), "playlist_shuffle.png 0; playlist_repeat_active.png 1 0");
    EXPECT_EQ(modes.count(), 5);
}

TEST_F(PlaylistTest, AppearingShowsTheCurrentTrackAndVisibilityGatesEditing)
{
    makePlaylist({"A.mp3", "Sub/B.mp3", "C.mp3"});
    screen.playSound(1);
    ASSERT_TRUE(waitFor([&] { return std::abs(player()->duration() - 60) < 0.1; }, 5000));
    player()->setCurrentTime(20);
    QSignalSpy scroll(&screen, &Audio_Playlist::scrollToRow);

    screen.viewWillAppear();
    EXPECT_EQ(display(), "B 0:20/1:00");
    EXPECT_EQ(rowTitles(), (QStringList{"A", "B", "C"}));
    const QModelIndex row = screen.rows()->index(1);
    EXPECT_TRUE(row.data(PlaylistRowModel::CurrentRole).toBool());
    EXPECT_EQ(row.data(PlaylistRowModel::IconRole).toString(), "icon_audio_active.png");
    EXPECT_EQ(row.data(PlaylistRowModel::BackgroundRole).value<QColor>(), QColor(228, 234, 240));
    EXPECT_EQ(screen.rows()->index(0).data(PlaylistRowModel::IconRole).toString(), "icon_audio.png");
    EXPECT_NEAR(screen.sliderValue(), 20, 0.01);
    EXPECT_FALSE(screen.sliderAnimated());

    screen.editPlaylist(); // not visible yet
    EXPECT_FALSE(screen.editing());
    screen.viewDidAppear();
    EXPECT_TRUE(screen.shown());
    ASSERT_EQ(scroll.count(), 1);
    EXPECT_EQ(scroll.at(0).at(0).toInt(), 1);
    screen.editPlaylist();
    EXPECT_TRUE(screen.editing());
    screen.editPlaylist();
    EXPECT_FALSE(screen.editing());

    const auto current = [&](int row) {
        return screen.rows()->index(row).data(PlaylistRowModel::CurrentRole);
    };
    screen.playSound(2); // visible: the table follows at once
    EXPECT_TRUE(current(2).toBool());
    EXPECT_FALSE(current(1).toBool());
    EXPECT_EQ(scroll.last().at(0).toInt(), 2);

    screen.viewWillDisappear();
    EXPECT_FALSE(screen.shown());
    screen.playSound(0); // hidden, the table follows the playlist all the same: it is the playlist's
    EXPECT_TRUE(current(0).toBool());
}

// How the store moves an entry and its mark is the store's; the screen's table and the playback follow.
// Deleting the playing entry stops it and resets the screen.
TEST_F(PlaylistTest, MovingAndDeletingRowsKeepTheTableInStepAndDeletingThePlayingEntryStops)
{
    makePlaylist({"A.mp3", "B.mp3", "C.mp3", "D.mp3"});
    screen.playSound(1);
    screen.viewWillAppear();
    screen.viewDidAppear();
    screen.moveRow(1, 3);
    EXPECT_EQ(rowTitles(), (QStringList{"A", "C", "D", "B"}));
    screen.moveRow(2, 10);
    EXPECT_EQ(rowTitles(), (QStringList{"A", "C", "B", "D"}));
    EXPECT_EQ(marks(), (QStringList{"0", "0", "1", "0"}));
    EXPECT_EQ(playingFile(), "B.mp3") << "reordering leaves playback alone";
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), "D.mp3");

    player()->setCurrentTime(20);
    screen.updateTime();
    ASSERT_EQ(screen.audioTimeLabelCurrent(), "0:20");
    screen.deleteRow(0); // another entry: playback goes on
    EXPECT_EQ(playingFile(), "D.mp3");
    EXPECT_EQ(rowTitles(), (QStringList{"C", "B", "D"}));

    QPointer<AudioPlayer> playing = global->audioPlayer;
    screen.deleteRow(2);
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_FALSE(playing && playing->isPlaying());
    EXPECT_EQ(display(), "Аудиоплеер 0:00/0:00");
    EXPECT_EQ(screen.sliderValue(), 0);
    EXPECT_EQ(screen.sliderMaximum(), 0);
    EXPECT_EQ(rowTitles(), (QStringList{"C", "B"}));
    EXPECT_EQ(marks(), (QStringList{"0", "0"}));
}

TEST_F(PlaylistTest, ClearingDropsThePlayerAndEmptiesThePlaylist)
{
    makePlaylist({"A.mp3", "B.mp3"});
    screen.playSound(0);
    screen.viewWillAppear();
    QSignalSpy alerts(&screen, &Audio_Playlist::alertRequested);
    screen.additionButtonPressed();
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(0).toString(), QString());
    EXPECT_EQ(alerts.at(0).at(2).toStringList(),
              (QStringList{"Отмена", "Сохранить плейлист как...", "Загрузить плейлист", "Очистить плейлист",
                           "Экспорт в M3U", "Экспорт в XSPF"}));

    screen.alertAnswered(Audio_Playlist::MenuAlert, 3);
    EXPECT_EQ(Stores::playlist().size(), 2) << "the action waits until the alert is gone";
    // Two entries: the clear is asked once more, and a cancel keeps everything.
    ASSERT_TRUE(waitFor([&] { return alerts.count() == 2; }, 2000));
    EXPECT_EQ(alerts.at(1).at(3).toInt(), int(Audio_Playlist::ClearAlert));
    EXPECT_EQ(alerts.at(1).at(2).toStringList(), (QStringList{"Отмена", "Очистить"}));
    screen.alertAnswered(Audio_Playlist::ClearAlert, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(Stores::playlist().size(), 2);
    EXPECT_NE(global->audioPlayer, nullptr);
    screen.alertAnswered(Audio_Playlist::ClearAlert, 1);
    ASSERT_TRUE(waitFor([&] { return Stores::playlist().isEmpty(); }, 2000));
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_EQ(screen.title(), "Аудиоплеер");
    EXPECT_EQ(screen.rows()->rowCount(), 0);

    QSignalSpy open(&screen, &Audio_Playlist::openPlaylistsRequested);
    screen.alertAnswered(Audio_Playlist::MenuAlert, 2);
    EXPECT_TRUE(waitFor([&] { return open.count() == 1; }, 2000));
    screen.alertAnswered(Audio_Playlist::MenuAlert, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(alerts.count(), 2) << "cancel does nothing";

    // A single entry is cleared without asking.
    makePlaylist({"A.mp3"});
    screen.alertAnswered(Audio_Playlist::MenuAlert, 3);
    ASSERT_TRUE(waitFor([&] { return Stores::playlist().isEmpty(); }, 2000));
    EXPECT_EQ(alerts.count(), 2);
}

class SavedPlaylistTest : public PlaylistTest
{
protected:
    QString playlists() const { return StorageLayout::getPlaylistsDir(); }
    // Goes through the menu and the save dialog as the user does; the path written, or empty.
    QString saveThroughDialog(const QString &name)
    {
        QSignalSpy alerts(&screen, &Audio_Playlist::alertRequested);
        QSignalSpy saved(&screen, &Audio_Playlist::playlistSaved);
        screen.alertAnswered(Audio_Playlist::MenuAlert, 1);
        if (!waitFor([&] { return alerts.count() == 1; }, 2000))
            return "no dialog";
        EXPECT_EQ(alerts.at(0).at(0).toString(), "Сохранить плейлист как...");
        EXPECT_EQ(alerts.at(0).at(1).toString(), " \n ");
        EXPECT_EQ(alerts.at(0).at(2).toStringList(), (QStringList{"Отмена", "Сохранить"}));
        EXPECT_EQ(screen.playlistNameToSave(), screen.playlistName())
            << "the field starts with the last name";
        screen.setPlaylistNameToSave(name);
        screen.alertAnswered(Audio_Playlist::SaveAlert, 1);
        waitFor([&] { return saved.count() == 1; }, 1000);
        return saved.isEmpty() ? QString() : saved.at(0).at(0).toString();
    }
    // The saved playlist's entries as "file|mark".
    QStringList readSaved(const QString &name) const
    {
        QStringList lines;
        for (const PlaylistEntry &entry :
             PlaylistFile::read(playlists() + QLatin1Char('/') + name).value_or(QList<PlaylistEntry>{}))
            lines << entry.file + (entry.current ? "|1" : "|0");
        return lines;
    }
};

TEST_F(SavedPlaylistTest, SavingCleansTheNameWritesZeroMarksAndReplacesAFileOfTheSameName)
{
    // Empty: the folder is made, no file.
    screen.setPlaylistNameToSave("Пусто");
    screen.alertAnswered(Audio_Playlist::SaveAlert, 1);
    waitFor([&] { return screen.playlistName() == "Пусто"; }, 1000);
    QCoreApplication::processEvents();
    EXPECT_TRUE(QFileInfo(playlists()).isDir());
    EXPECT_TRUE(QDir(playlists()).isEmpty());

    makePlaylist({"A.mp3", "Sub/B.mp3", "C.mp3", "D.mp3"});
    QSignalSpy dismissed(&screen, &Audio_Playlist::keyboardDismissed);
    screen.setPlaylistNameToSave("Отменённый");
    screen.alertAnswered(Audio_Playlist::SaveAlert, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_TRUE(QDir(playlists()).isEmpty());
    EXPECT_EQ(screen.playlistName(), "Пусто") << "cancel keeps the last name";

    screen.playSound(3);
    EXPECT_EQ(saveThroughDialog("  Вечер  "), playlists() + "/Вечер.tuneplaylist");
    EXPECT_EQ(screen.playlistName(), "Вечер");
    EXPECT_EQ(readSaved("Вечер.tuneplaylist"), (QStringList{"A.mp3|0", "Sub/B.mp3|0", "C.mp3|0", "D.mp3|0"}));
    Stores::playlist().removeEntry(1);
    Stores::playlist().removeEntry(1);
    EXPECT_FALSE(saveThroughDialog("Вечер").isEmpty());
    EXPECT_EQ(readSaved("Вечер.tuneplaylist"), (QStringList{"A.mp3|0", "D.mp3|0"}));
    EXPECT_EQ(QDir(playlists()).entryList(QDir::Files).size(), 1);

    EXPECT_EQ(saveThroughDialog("/:*?\"<>|"), playlists() + "/Без названия.tuneplaylist");
    EXPECT_EQ(screen.playlistName(), "Без названия");
    EXPECT_EQ(saveThroughDialog("AC/DC: live?"), playlists() + "/ACDC live.tuneplaylist");
}

// How a file that cannot be read is set aside is the playlist file's; the screens keep the playlist and the
// playback, say so, and drop the file from the list.
TEST_F(SavedPlaylistTest, TheListTakesTheExactExtensionAndLoadingReplacesThePlaylistWithoutStartingATrack)
{
    makePlaylist({"A.mp3", "B.mp3", "C.mp3"});
    screen.playSound(2);
    ASSERT_FALSE(saveThroughDialog("Три").isEmpty());
    Stores::playlist().removeEntry(0);
    ASSERT_FALSE(saveThroughDialog("Два").isEmpty());
    QFile broken(playlists() + "/Битый.tuneplaylist");
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<?xml version=\"1.0\"?><plist><array><str");
    broken.close();
    for (const char *name : {"Party.TUNEPLAYLIST", "Notes.txt", "Old.tuneplaylist.bak"})
        ASSERT_TRUE(QFile::copy(playlists() + "/Два.tuneplaylist", playlists() + '/' + QLatin1String(name)));
    screen.viewWillAppear();
    screen.viewDidAppear();
    screen.viewWillDisappear(); // the saved playlists screen covers it

    // The list takes only the exact extension; a deleted one goes from the folder and the list.
    SavedPlaylists list;
    QSignalSpy back(&list, &SavedPlaylists::returnRequested);
    list.viewWillAppear();
    QStringList names = list.names();
    names.sort();
    EXPECT_EQ(names, (QStringList{"Битый", "Два", "Три"}));
    list.deleteRow(int(list.playlistsArray().indexOf("Два.tuneplaylist")));
    EXPECT_FALSE(QFileInfo::exists(playlists() + "/Два.tuneplaylist"));
    EXPECT_FALSE(list.playlistsArray().contains("Два.tuneplaylist"));
    list.viewWillAppear();
    QStringList found = list.playlistsArray();
    found.sort();
    EXPECT_EQ(found, (QStringList{"Битый.tuneplaylist", "Три.tuneplaylist"}));

    list.rowSelected(int(list.playlistsArray().indexOf("Три.tuneplaylist")));
    EXPECT_EQ(back.count(), 1);
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_TRUE(Stores::playlist().justLoaded());
    EXPECT_EQ(Stores::playlist().at(0).file, "A.mp3");
    EXPECT_EQ(marks(), (QStringList{"0", "0", "0"}));
    pump(300);
    EXPECT_EQ(global->audioPlayer, nullptr) << "no track starts";

    screen.viewWillAppear();
    EXPECT_EQ(display(), "Аудиоплеер 0:00/0:00");
    EXPECT_EQ(screen.sliderMaximum(), 0);
    EXPECT_FALSE(Stores::playlist().justLoaded());
    EXPECT_EQ(rowTitles(), (QStringList{"A", "B", "C"}));
    screen.forwardButtonPressed(); // no current track after loading
    EXPECT_EQ(global->audioPlayer, nullptr);

    screen.playSound(1);
    QPointer<AudioPlayer> playing = global->audioPlayer;
    QSignalSpy alerts(&list, &SavedPlaylists::alertRequested);
    QSignalSpy listed(&list, &SavedPlaylists::playlistsChanged);
    list.rowSelected(int(list.playlistsArray().indexOf("Битый.tuneplaylist")));
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(0).toString(), "Ошибка");
    EXPECT_EQ(alerts.at(0).at(1).toString(), "Плейлист «Битый» не загружен: файл не удалось прочитать. Он "
                                             "сохранён как Битый.tuneplaylist.unreadable.");
    EXPECT_EQ(Stores::playlist().size(), 3);
    EXPECT_EQ(global->audioPlayer, playing.data());
    EXPECT_TRUE(playing && playing->isPlaying());
    EXPECT_FALSE(Stores::playlist().justLoaded());
    EXPECT_EQ(back.count(), 1) << "stays on the saved playlists";
    EXPECT_EQ(listed.count(), 1);
    EXPECT_FALSE(list.playlistsArray().contains("Битый.tuneplaylist"));
}

// A save that cannot be written, or that the reader would refuse (the playlist file's rule), writes nothing
// and says so; an earlier file of that name stays as it was.
TEST_F(SavedPlaylistTest, ASaveThatCannotBeWrittenOrIsTooLargeToLoadAgainSaysSo)
{
    makePlaylist({"A.mp3"});
    QSignalSpy alerts(&screen, &Audio_Playlist::alertRequested);
    QSignalSpy saved(&screen, &Audio_Playlist::playlistSaved);
    // A file where the playlists folder should be: neither the folder nor the playlist can be made.
    QFile blocker(playlists());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    screen.setPlaylistNameToSave("Большой");
    screen.alertAnswered(Audio_Playlist::SaveAlert, 1);
    ASSERT_TRUE(waitFor([&] { return alerts.count() == 1; }, 2000));
    EXPECT_EQ(alerts.at(0).at(0).toString(), "Ошибка");
    EXPECT_EQ(alerts.at(0).at(2).toStringList(), QStringList{"Готово"});
    EXPECT_EQ(alerts.at(0).at(3).toInt(), int(Audio_Playlist::ErrorAlert));
    screen.alertAnswered(Audio_Playlist::ErrorAlert, 0); // answered: nothing more happens
    QCoreApplication::processEvents();
    EXPECT_EQ(alerts.count(), 1);
    EXPECT_TRUE(saved.isEmpty());

    ASSERT_TRUE(QFile::remove(playlists()));
    ASSERT_FALSE(saveThroughDialog("Большой").isEmpty()); // its dialog is the second alert
    Stores::playlist().append(
        PlaylistEntry{QString(qsizetype(PropertyList::maxFileSize), QLatin1Char('x')), false});
    screen.setPlaylistNameToSave("Большой");
    screen.alertAnswered(Audio_Playlist::SaveAlert, 1);
    ASSERT_TRUE(waitFor([&] { return alerts.count() == 3; }, 10000));
    EXPECT_EQ(alerts.at(2).at(0).toString(), "Ошибка");
    EXPECT_EQ(alerts.at(2).at(1).toString(),
              "Плейлист не сохранён: он слишком велик (файл был бы больше 64 МБ)");
    EXPECT_EQ(alerts.at(2).at(3).toInt(), int(Audio_Playlist::ErrorAlert));
    EXPECT_EQ(saved.count(), 1);
    EXPECT_EQ(readSaved("Большой.tuneplaylist"), QStringList{"A.mp3|0"});
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lists' formats and their reading back are the exchange's; the screens name the files, take the tags
// from the cache and export a saved playlist as it was saved.
TEST_F(SavedPlaylistTest, ExportsTheCurrentAndASavedPlaylistForOtherPrograms)
{
    makePlaylist({"Кино/Группа крови.mp3", "with space.mp3"});
    // The tag cache knows the first file only; the second is written with M3U's defaults.
    const QString first = audio + "/Кино/Группа крови.mp3";
    PlaylistExport::setTagSource([first](const QString &path) -> std::optional<TrackTags> {
        if (path != first)
            return std::nullopt;
        TrackTags tags;
        tags.title = "Группа крови";
        tags.artist = "Кино";
        tags.durationMs = 285600;
        return tags;
    });
    const auto unset = qScopeGuard(
        [] { PlaylistExport::setTagSource([](const QString &) { return std::optional<TrackTags>(); }); });
    QSignalSpy alerts(&screen, &Audio_Playlist::alertRequested);
    QSignalSpy exported(&screen, &Audio_Playlist::playlistExported);
    screen.alertAnswered(Audio_Playlist::MenuAlert, 4);
    ASSERT_TRUE(waitFor([&] { return exported.count() == 1; }, 2000));
    const QString m3u = exported.at(0).at(0).toString();
    EXPECT_EQ(m3u, playlists() + "/Без названия.m3u");
    const QByteArray m3uBytes = fileBytes(m3u);
    EXPECT_EQ(m3uBytes, QByteArray("#EXTM3U\n"
                                   "#EXTINF:286,Кино - Группа крови\n"
                                   "../audio/Кино/Группа крови.mp3\n"
                                   "#EXTINF:-1,with space\n"
                                   "../audio/with space.mp3\n"));
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(), "Плейлист сохранён в файл " + m3u);

    ASSERT_FALSE(saveThroughDialog("Мой").isEmpty());
    screen.alertAnswered(Audio_Playlist::MenuAlert, 5);
    ASSERT_TRUE(waitFor([&] { return exported.count() == 2; }, 2000));
    const QString xspf = exported.at(1).at(0).toString();
    EXPECT_EQ(xspf, playlists() + "/Мой.xspf");
    const QByteArray xspfBytes = fileBytes(xspf);
    EXPECT_TRUE(xspfBytes.contains("<duration>286000</duration>"));

    // The saved playlist's own export: its entries, not the current ones, replacing a file of the same name.
    Stores::playlist().assignEntries({{"with space.mp3", false}});
    SavedPlaylists list;
    list.viewWillAppear();
    QSignalSpy listExported(&list, &SavedPlaylists::playlistExported);
    list.exportM3u(int(list.playlistsArray().indexOf("Мой.tuneplaylist")));
    list.exportXspf(int(list.playlistsArray().indexOf("Мой.tuneplaylist")));
    ASSERT_EQ(listExported.count(), 2);
    EXPECT_EQ(listExported.at(0).at(0).toString(), playlists() + "/Мой.m3u");
    EXPECT_EQ(listExported.at(1).at(0).toString(), xspf);
    EXPECT_EQ(fileBytes(playlists() + "/Мой.m3u"), m3uBytes);
    EXPECT_EQ(fileBytes(xspf), xspfBytes);

    // Export of an empty playlist writes nothing and says why.
    Stores::playlist().assignEntries({});
    screen.exportM3u();
    EXPECT_EQ(exported.count(), 2);
    EXPECT_EQ(alerts.last().at(1).toString(), "Плейлист пуст: экспортировать нечего");
}

// The saved playlists' import: a file chosen in the desktop's chooser becomes a playlist of the list.
TEST_F(SavedPlaylistTest, ImportsAChosenPlaylistAndTellsWhatWasFound)
{
    makePlaylist({"A.mp3", "Кино/B c.mp3"});
    QTemporaryDir elsewhere;
    const QString list = elsewhere.filePath("От друга.xspf");
    const auto location = [&](const QString &file) {
        return "file://" + QUrl::toPercentEncoding(audio + file, "/");
    };
    {
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
            "<track><location>" +
            location("/Кино/B c.mp3") +
            "</location></track><track><location>missing.mp3</location></track><track><location>" +
            location("/A.mp3") + "</location></track></trackList></playlist>");
    }
    QString offered;
    bool answered = true;
    int asked = 0;
    SavedPlaylists::setFileChooser([&](QObject *, std::function<void(bool, QString)> done) {
        ++asked;
        done(answered, offered);
    });
    const auto unset = qScopeGuard([] {
        SavedPlaylists::setFileChooser(
            [](QObject *, std::function<void(bool, QString)> done) { done(true, {}); });
    });
    SavedPlaylists screenList;
    screenList.viewWillAppear();
    QSignalSpy alerts(&screenList, &SavedPlaylists::alertRequested);

    offered = list;
    screenList.importPlaylistPressed();
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(), "Плейлист «От друга» сохранён. Импортировано: 2, не найдено: 1");
    EXPECT_EQ(screenList.names(), QStringList{"От друга"});
    screenList.rowSelected(0);
    EXPECT_EQ(marks(), (QStringList{"0", "0"}));
    EXPECT_EQ(Stores::playlist().at(0).file, "Кино/B c.mp3");
    EXPECT_EQ(Stores::playlist().at(1).file, "A.mp3");

    // Cancelled: nothing happens; no chooser at all: the user hears where else a list can come from.
    offered.clear();
    screenList.importPlaylistPressed();
    EXPECT_EQ(alerts.count(), 1);
    answered = false;
    screenList.importPlaylistPressed();
    ASSERT_EQ(alerts.count(), 2);
    EXPECT_TRUE(alerts.at(1).at(1).toString().startsWith("Выбор файла недоступен"));
    EXPECT_EQ(asked, 3);
}

} // namespace
