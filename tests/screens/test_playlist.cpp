#include "../support/Mp3Fixture.h"
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

class PlaylistTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        global = GlobalData::sharedGlobalData();
        resetShared();
        audio = StorageLayout::getAudioDir();
    }
    void TearDown() override
    {
        resetShared();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }
    void resetShared() { Mp3Fixture::resetPlayerState(); }

    // Files of `seconds` each under the audio folder, and the playlist naming them in order.
    void makePlaylist(const QStringList &files, double seconds = 60)
    {
        ASSERT_TRUE(Mp3Fixture::appendToPlaylist(files, seconds));
    }
    LibraryPlayer *player() const { return qobject_cast<LibraryPlayer *>(global->audioPlayer); }
    static QString playingFile() { return Mp3Fixture::playingFile(); }
    QStringList marks() const
    {
        QStringList marks;
        for (const PlaylistEntry &entry : Stores::playlist().records())
            marks << (entry.current ? QStringLiteral("1") : QStringLiteral("0"));
        return marks;
    }
    QStringList rowTitles() const
    {
        QStringList titles;
        for (int row = 0; row < screen.rows()->rowCount(); ++row)
            titles << screen.rows()->index(row).data(PlaylistRowModel::TitleRole).toString();
        return titles;
    }

    QTemporaryDir root;
    GlobalData *global = nullptr;
    QString audio;
    Audio_Playlist screen;
};

TEST_F(PlaylistTest, StartingAnEntryPlaysItsFileAndMarksOnlyIt)
{
    makePlaylist(
        {QStringLiteral("A.mp3"), QStringLiteral("Folder/Artist - Song.mp3"), QStringLiteral("C.mp3")});
    Stores::playlist().setCurrentIndex(2);
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    QSignalSpy titles(&screen, &Audio_Playlist::titleChanged);

    screen.playSound(1);

    ASSERT_NE(player(), nullptr);
    EXPECT_EQ(playingFile(), QStringLiteral("Folder/Artist - Song.mp3"));
    EXPECT_TRUE(player()->isPlaying());
    EXPECT_EQ(marks(), (QStringList{"0", "1", "0"}));
    EXPECT_EQ(screen.title(), QStringLiteral("Artist - Song"));
    EXPECT_EQ(titles.count(), 1);
    EXPECT_EQ(screen.audioTimeLabelCurrent(), QStringLiteral("0:00"));
    EXPECT_EQ(screen.audioTimeLabel(), QStringLiteral("0:00"));
    EXPECT_EQ(screen.sliderValue(), 0);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
    // The length is known once the file is open, a moment later.
    ASSERT_TRUE(waitFor([&] { return std::abs(screen.sliderMaximum() - 60) < 0.1; }, 5000));
    // It really runs: the position moves on.
    EXPECT_TRUE(waitFor([&] { return player()->currentTime() > 0.2; }, 5000));

    // Starting another entry replaces the player.
    const QPointer<AudioPlayer> first = global->audioPlayer;
    screen.playSound(0);
    EXPECT_EQ(playingFile(), QStringLiteral("A.mp3"));
    EXPECT_EQ(marks(), (QStringList{"1", "0", "0"}));
    EXPECT_TRUE(released(first)) << "the replaced player is released";
}

TEST_F(PlaylistTest, NextAndPreviousWrapAroundWithoutShuffle)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("B.mp3"), QStringLiteral("C.mp3")});
    screen.forwardButtonPressed(); // no current track yet: nothing
    screen.backwardButtonPressed();
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_EQ(marks(), (QStringList{"0", "0", "0"}));

    screen.playSound(1);
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("C.mp3"));
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("A.mp3")) << "next on the last entry wraps to the first";
    screen.backwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("C.mp3")) << "previous on the first entry wraps to the last";
    screen.backwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3"));
    EXPECT_EQ(marks(), (QStringList{"0", "1", "0"}));
}

TEST_F(PlaylistTest, PreviousPastThreeSecondsRestartsTheTrack)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("B.mp3"), QStringLiteral("C.mp3")});
    screen.playSound(2);
    player()->setCurrentTime(10);
    const QPointer<AudioPlayer> before = global->audioPlayer;

    screen.backwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("C.mp3"));
    EXPECT_NE(global->audioPlayer, before.data()) << "a new player from the start";
    EXPECT_LT(player()->currentTime(), 3.0);

    screen.backwardButtonPressed(); // within the first three seconds: the entry before
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3"));
}

TEST_F(PlaylistTest, RepeatRestartsTheSameEntryForNextPreviousAndTheEnd)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("B.mp3")});
    makePlaylist({QStringLiteral("Short.mp3")}, 0.5);
    global->playRepeatMusic = true;
    global->playRandomMusic = true; // repeat takes precedence
    screen.playSound(1);
    AudioPlayer *before = global->audioPlayer;
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3"));
    EXPECT_NE(global->audioPlayer, before);
    before = global->audioPlayer;
    screen.backwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3"));
    EXPECT_NE(global->audioPlayer, before);

    screen.playSound(2);
    QPointer<AudioPlayer> ending = global->audioPlayer;
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer && global->audioPlayer != ending.data(); }, 5000))
        << "the end of the track starts it again";
    EXPECT_EQ(playingFile(), QStringLiteral("Short.mp3"));
    EXPECT_EQ(marks(), (QStringList{"0", "0", "1"}));
}

TEST_F(PlaylistTest, ShuffleWithOneEntryRestartsItAndWithTwoAlternates)
{
    global->playRandomMusic = true;
    makePlaylist({QStringLiteral("Only.mp3")});
    screen.playSound(0);
    AudioPlayer *before = global->audioPlayer;
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("Only.mp3"));
    EXPECT_NE(global->audioPlayer, before);
    screen.backwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("Only.mp3"));

    makePlaylist({QStringLiteral("Second.mp3")});
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        screen.forwardButtonPressed();
        order << playingFile();
    }
    EXPECT_EQ(order,
              (QStringList{"Second.mp3", "Only.mp3", "Second.mp3", "Only.mp3", "Second.mp3", "Only.mp3"}));
    screen.backwardButtonPressed(); // near the start, shuffled: the other entry
    EXPECT_EQ(playingFile(), QStringLiteral("Second.mp3"));
}

TEST_F(PlaylistTest, ShuffleDrawsAgainUntilTheIndexDiffers)
{
    global->playRandomMusic = true;
    makePlaylist(
        {QStringLiteral("A.mp3"), QStringLiteral("B.mp3"), QStringLiteral("C.mp3"), QStringLiteral("D.mp3")});
    std::deque<quint32> draws{6, 10, 2 + 4 * 1000, 9};
    int drawn = 0;
    screen.setRandomSource([&] {
        ++drawn;
        const quint32 value = draws.front();
        draws.pop_front();
        return value;
    });
    screen.playSound(2);
    screen.forwardButtonPressed(); // 6 % 4 = 2 and 10 % 4 = 2 are the current entry, 4002 % 4 = 2 too; 9 % 4
                                   // = 1
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3"));
    EXPECT_EQ(drawn, 4);
}

TEST_F(PlaylistTest, EndOfTrackAdvancesAndWrapsAround)
{
    makePlaylist({QStringLiteral("One.mp3"), QStringLiteral("Two.mp3")}, 0.5);
    screen.playSound(0);
    ASSERT_TRUE(waitFor([&] { return playingFile() == QStringLiteral("Two.mp3"); }, 5000));
    EXPECT_EQ(marks(), (QStringList{"0", "1"}));
    ASSERT_TRUE(waitFor([&] { return playingFile() == QStringLiteral("One.mp3"); }, 5000));
}

TEST_F(PlaylistTest, OnlyASuccessfulEndOfTheCurrentPlayerAdvances)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("B.mp3"), QStringLiteral("C.mp3")});
    screen.playSound(0);
    Q_EMIT player()->didFinishPlaying(false); // could not be decoded to its end
    pump(100);
    EXPECT_EQ(playingFile(), QStringLiteral("A.mp3"));

    QPointer<AudioPlayer> old = global->audioPlayer;
    screen.playSound(1);
    Q_EMIT old->didFinishPlaying(true); // the replaced player's report comes late
    pump(100);
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3"));

    Q_EMIT player()->didFinishPlaying(true);
    ASSERT_TRUE(waitFor([&] { return playingFile() == QStringLiteral("C.mp3"); }, 1000));
}

TEST_F(PlaylistTest, AFileThatCannotBeOpenedGivesNoPlayerAndAGoneOneIsPassedOver)
{
    ASSERT_TRUE(Mp3Fixture::writeBroken(audio + QStringLiteral("/Broken.mp3")));
    Stores::playlist().append(PlaylistEntry{QStringLiteral("Broken.mp3"), false});
    Stores::playlist().append(PlaylistEntry{QStringLiteral("Missing.mp3"), false});
    makePlaylist({QStringLiteral("Good.mp3")});
    screen.viewDidAppear();

    screen.playSound(0);
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer == nullptr; }, 5000));
    EXPECT_EQ(marks(), (QStringList{"1", "0", "0"}));
    EXPECT_EQ(screen.title(), QStringLiteral("Broken"));
    EXPECT_EQ(screen.sliderMaximum(), 0);
    screen.updateTime();
    EXPECT_EQ(screen.audioTimeLabelCurrent(), QStringLiteral("0:00"));
    EXPECT_EQ(screen.audioTimeLabel(), QStringLiteral("0:00"));
    pump(1500);
    EXPECT_EQ(marks(), (QStringList{"1", "0", "0"})) << "nothing ends, so nothing advances";

    // The next button still works; the entry whose file is gone is passed over, dimmed but kept.
    const QModelIndex missing = screen.rows()->index(1);
    EXPECT_FALSE(missing.data(PlaylistRowModel::PlayableRole).toBool());
    EXPECT_TRUE(screen.rows()->index(0).data(PlaylistRowModel::PlayableRole).toBool());
    screen.forwardButtonPressed();
    EXPECT_EQ(playingFile(), QStringLiteral("Good.mp3"));
    EXPECT_EQ(marks(), (QStringList{"0", "0", "1"}));
    EXPECT_EQ(rowTitles(), (QStringList{"Broken", "Missing", "Good"}));
}

TEST_F(PlaylistTest, TimerTickShowsTimesAndCarriesOutRequestsFromOutside)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("B.mp3"), QStringLiteral("C.mp3")}, 75);
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    screen.updateTime();
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::Next) << "no current track: the request waits";
    EXPECT_EQ(global->audioPlayer, nullptr);

    screen.playSound(0);
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    screen.updateTime();
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3"));
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
    global->pendingTrackStep = GlobalData::TrackStep::Previous;
    screen.updateTime();
    EXPECT_EQ(playingFile(), QStringLiteral("A.mp3"));

    // Hidden, the display stays; visible, it follows the player.
    ASSERT_TRUE(waitFor([&] { return player()->duration() > 0; }, 5000));
    player()->setCurrentTime(42.6);
    screen.updateTime();
    EXPECT_EQ(screen.audioTimeLabel(), QStringLiteral("0:00"));
    screen.viewDidAppear();
    screen.updateTime();
    EXPECT_EQ(screen.audioTimeLabelCurrent(), QStringLiteral("0:43"));
    EXPECT_EQ(screen.audioTimeLabel(), QStringLiteral("1:15"));
    EXPECT_NEAR(screen.sliderValue(), 42.6, 0.01);
    EXPECT_TRUE(screen.sliderAnimated());

    // The real timer, one per program: a second load replaces the first.
    screen.viewDidLoad();
    QPointer<QTimer> first = global->playbackTimer;
    Audio_Playlist other;
    other.viewDidLoad();
    EXPECT_NE(global->playbackTimer, first.data());
    EXPECT_TRUE(released(first));
    global->pendingTrackStep = GlobalData::TrackStep::Next;
    EXPECT_TRUE(waitFor([&] { return playingFile() == QStringLiteral("B.mp3"); }, 3000));
    EXPECT_EQ(global->pendingTrackStep, GlobalData::TrackStep::None);
}

TEST_F(PlaylistTest, SliderSeeksAndKeepsThePlayingState)
{
    makePlaylist({QStringLiteral("A.mp3")});
    screen.playSound(0);
    screen.audioSliderMoved(30);
    EXPECT_NEAR(player()->currentTime(), 30, 0.5);
    EXPECT_TRUE(player()->isPlaying());
    ASSERT_TRUE(waitFor([&] { return player()->currentTime() > 30.1; }, 5000)) << "playing on from there";

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
}

// Shuffle toggles; repeat goes round its three modes from the playlist's (the playlist starting again, as
// it always did): the track, none, the playlist again.
TEST_F(PlaylistTest, ShuffleTogglesAndRepeatGoesRoundItsThreeModes)
{
    QSignalSpy modes(&screen, &Audio_Playlist::modesChanged);
    EXPECT_EQ(screen.randomButtonImage(), QStringLiteral("playlist_shuffle.png"));
    EXPECT_EQ(screen.repeatMode(), 1);
    EXPECT_EQ(screen.repeatButtonImage(), QStringLiteral("playlist_repeat_active.png"));
    screen.randomButtonPressed();
    EXPECT_TRUE(global->playRandomMusic);
    EXPECT_EQ(screen.randomButtonImage(), QStringLiteral("playlist_shuffle_active.png"));
    screen.repeatButtonPressed();
    EXPECT_EQ(screen.repeatMode(), 2);
    EXPECT_TRUE(global->playRepeatMusic);
    EXPECT_EQ(screen.repeatButtonImage(), QStringLiteral("playlist_repeat_active.png"));
    screen.repeatButtonPressed();
    EXPECT_EQ(screen.repeatMode(), 0);
    EXPECT_FALSE(global->playRepeatMusic);
    EXPECT_FALSE(global->repeatPlaylist);
    EXPECT_EQ(screen.repeatButtonImage(), QStringLiteral("playlist_repeat.png"));
    screen.repeatButtonPressed();
    EXPECT_EQ(screen.repeatMode(), 1);
    EXPECT_TRUE(global->repeatPlaylist);
    screen.randomButtonPressed();
    EXPECT_FALSE(global->playRandomMusic);
    EXPECT_EQ(modes.count(), 5);
}

TEST_F(PlaylistTest, AppearingShowsTheCurrentTrackAndVisibilityGatesEditing)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("Sub/B.mp3"), QStringLiteral("C.mp3")});
    screen.playSound(1);
    ASSERT_TRUE(waitFor([&] { return player()->duration() > 0; }, 5000));
    player()->setCurrentTime(20);
    QSignalSpy scroll(&screen, &Audio_Playlist::scrollToRow);

    screen.viewWillAppear();
    EXPECT_EQ(screen.title(), QStringLiteral("B"));
    EXPECT_EQ(rowTitles(), (QStringList{"A", "B", "C"}));
    const QModelIndex row = screen.rows()->index(1);
    EXPECT_TRUE(row.data(PlaylistRowModel::CurrentRole).toBool());
    EXPECT_EQ(row.data(PlaylistRowModel::IconRole).toString(), QStringLiteral("icon_audio_active.png"));
    EXPECT_EQ(row.data(PlaylistRowModel::BackgroundRole).value<QColor>(), QColor(228, 234, 240));
    EXPECT_EQ(screen.rows()->index(0).data(PlaylistRowModel::IconRole).toString(),
              QStringLiteral("icon_audio.png"));
    EXPECT_EQ(screen.audioTimeLabelCurrent(), QStringLiteral("0:20"));
    EXPECT_EQ(screen.audioTimeLabel(), QStringLiteral("1:00"));
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

    screen.playSound(2); // visible: the table follows at once
    EXPECT_TRUE(screen.rows()->index(2).data(PlaylistRowModel::CurrentRole).toBool());
    EXPECT_FALSE(screen.rows()->index(1).data(PlaylistRowModel::CurrentRole).toBool());
    EXPECT_EQ(scroll.last().at(0).toInt(), 2);

    screen.viewWillDisappear();
    EXPECT_FALSE(screen.shown());
    screen.playSound(0); // hidden, the table follows the playlist all the same: it is the playlist's
    EXPECT_TRUE(screen.rows()->index(0).data(PlaylistRowModel::CurrentRole).toBool());
}

TEST_F(PlaylistTest, MovingRowsCarriesTheMarkAndKeepsTheTableInStep)
{
    makePlaylist(
        {QStringLiteral("A.mp3"), QStringLiteral("B.mp3"), QStringLiteral("C.mp3"), QStringLiteral("D.mp3")});
    screen.playSound(1);
    screen.viewWillAppear();
    screen.viewDidAppear();

    screen.moveRow(1, 3);
    EXPECT_EQ(rowTitles(), (QStringList{"A", "C", "D", "B"}));
    EXPECT_EQ(marks(), (QStringList{"0", "0", "0", "1"}));
    screen.moveRow(3, 0);
    EXPECT_EQ(rowTitles(), (QStringList{"B", "A", "C", "D"}));
    screen.moveRow(2, 10);
    EXPECT_EQ(rowTitles(), (QStringList{"B", "A", "D", "C"}));
    EXPECT_EQ(marks(), (QStringList{"1", "0", "0", "0"}));
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3")) << "reordering leaves playback alone";

    screen.forwardButtonPressed(); // next follows the new order
    EXPECT_EQ(playingFile(), QStringLiteral("A.mp3"));
}

TEST_F(PlaylistTest, DeletingThePlayingEntryStopsAndResetsTheScreen)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("B.mp3"), QStringLiteral("C.mp3")});
    screen.playSound(1);
    screen.viewWillAppear();
    screen.viewDidAppear();
    player()->setCurrentTime(20);
    screen.updateTime();
    ASSERT_EQ(screen.audioTimeLabelCurrent(), QStringLiteral("0:20"));

    screen.deleteRow(0); // another entry: playback goes on
    EXPECT_EQ(playingFile(), QStringLiteral("B.mp3"));
    EXPECT_EQ(rowTitles(), (QStringList{"B", "C"}));

    QPointer<AudioPlayer> playing = global->audioPlayer;
    screen.deleteRow(0);
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_FALSE(playing && playing->isPlaying());
    EXPECT_EQ(screen.title(), QStringLiteral("Аудиоплеер"));
    EXPECT_EQ(screen.audioTimeLabelCurrent(), QStringLiteral("0:00"));
    EXPECT_EQ(screen.audioTimeLabel(), QStringLiteral("0:00"));
    EXPECT_EQ(screen.sliderValue(), 0);
    EXPECT_EQ(screen.sliderMaximum(), 0);
    EXPECT_EQ(rowTitles(), (QStringList{"C"}));
    EXPECT_EQ(marks(), (QStringList{"0"}));
}

TEST_F(PlaylistTest, ClearingDropsThePlayerAndEmptiesThePlaylist)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("B.mp3")});
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
    EXPECT_EQ(screen.title(), QStringLiteral("Аудиоплеер"));
    EXPECT_EQ(screen.rows()->rowCount(), 0);

    QSignalSpy open(&screen, &Audio_Playlist::openPlaylistsRequested);
    screen.alertAnswered(Audio_Playlist::MenuAlert, 2);
    EXPECT_TRUE(waitFor([&] { return open.count() == 1; }, 2000));
    screen.alertAnswered(Audio_Playlist::MenuAlert, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(alerts.count(), 2) << "cancel does nothing";
}

TEST_F(PlaylistTest, ClearingASingleEntryAsksNothing)
{
    makePlaylist({QStringLiteral("A.mp3")});
    QSignalSpy alerts(&screen, &Audio_Playlist::alertRequested);
    screen.alertAnswered(Audio_Playlist::MenuAlert, 3);
    ASSERT_TRUE(waitFor([&] { return Stores::playlist().isEmpty(); }, 2000));
    EXPECT_EQ(alerts.count(), 0);
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
            return QStringLiteral("no dialog");
        EXPECT_EQ(alerts.at(0).at(0).toString(), QStringLiteral("Сохранить плейлист как..."));
        EXPECT_EQ(alerts.at(0).at(1).toString(), QStringLiteral(" \n "));
        EXPECT_EQ(alerts.at(0).at(2).toStringList(), (QStringList{"Отмена", "Сохранить"}));
        EXPECT_EQ(screen.playlistNameToSave(), screen.playlistName())
            << "the field starts with the last name";
        screen.setPlaylistNameToSave(name);
        screen.alertAnswered(Audio_Playlist::SaveAlert, 1);
        waitFor([&] { return saved.count() == 1; }, 1000);
        return saved.isEmpty() ? QString() : saved.at(0).at(0).toString();
    }
    QList<PlaylistEntry> readSaved(const QString &name) const
    {
        return PlaylistFile::read(playlists() + QLatin1Char('/') + name).value_or(QList<PlaylistEntry>{});
    }
};

TEST_F(SavedPlaylistTest, SavingWritesZeroMarksAndReplacesAFileOfTheSameName)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("Sub/B.mp3"), QStringLiteral("C.mp3"),
                  QStringLiteral("D.mp3")});
    screen.playSound(3);
    EXPECT_EQ(saveThroughDialog(QStringLiteral("  Вечер  ")),
              playlists() + QStringLiteral("/Вечер.tuneplaylist"));
    EXPECT_EQ(screen.playlistName(), QStringLiteral("Вечер"));
    const QList<PlaylistEntry> saved = readSaved(QStringLiteral("Вечер.tuneplaylist"));
    ASSERT_EQ(saved.size(), 4);
    QStringList files;
    for (const PlaylistEntry &entry : saved) {
        files << entry.file;
        EXPECT_FALSE(entry.current);
    }
    EXPECT_EQ(files, (QStringList{"A.mp3", "Sub/B.mp3", "C.mp3", "D.mp3"}));

    Stores::playlist().removeEntry(1);
    Stores::playlist().removeEntry(1);
    EXPECT_FALSE(saveThroughDialog(QStringLiteral("Вечер")).isEmpty());
    EXPECT_EQ(readSaved(QStringLiteral("Вечер.tuneplaylist")).size(), 2);
    EXPECT_EQ(QDir(playlists()).entryList(QDir::Files).size(), 1);
}

TEST_F(SavedPlaylistTest, NamesAreCleanedAndEmptyPlaylistsOrCancelsWriteNothing)
{
    // Empty: the folder is made, no file.
    screen.setPlaylistNameToSave(QStringLiteral("Пусто"));
    screen.alertAnswered(Audio_Playlist::SaveAlert, 1);
    waitFor([&] { return screen.playlistName() == QStringLiteral("Пусто"); }, 1000);
    QCoreApplication::processEvents();
    EXPECT_TRUE(QFileInfo(playlists()).isDir());
    EXPECT_TRUE(QDir(playlists()).isEmpty());

    makePlaylist({QStringLiteral("A.mp3")});
    QSignalSpy dismissed(&screen, &Audio_Playlist::keyboardDismissed);
    screen.setPlaylistNameToSave(QStringLiteral("Отменённый"));
    screen.alertAnswered(Audio_Playlist::SaveAlert, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(dismissed.count(), 1);
    EXPECT_TRUE(QDir(playlists()).isEmpty());
    EXPECT_EQ(screen.playlistName(), QStringLiteral("Пусто")) << "cancel keeps the last name";

    EXPECT_EQ(saveThroughDialog(QStringLiteral("/:*?\"<>|")),
              playlists() + QStringLiteral("/Без названия.tuneplaylist"));
    EXPECT_EQ(screen.playlistName(), QStringLiteral("Без названия"));
    EXPECT_EQ(saveThroughDialog(QStringLiteral("AC/DC: live?")),
              playlists() + QStringLiteral("/ACDC live.tuneplaylist"));
}

TEST_F(SavedPlaylistTest, ListingTakesOnlyTheExactExtension)
{
    QDir().mkpath(playlists());
    const QList<PlaylistEntry> entries{{QStringLiteral("A.mp3"), false}};
    constexpr auto Written = PropertyList::WriteResult::Written;
    ASSERT_EQ(PlaylistFile::write(playlists() + QStringLiteral("/Rock.tuneplaylist"), entries), Written);
    ASSERT_EQ(PlaylistFile::write(playlists() + QStringLiteral("/Party.TUNEPLAYLIST"), entries), Written);
    ASSERT_EQ(PlaylistFile::write(playlists() + QStringLiteral("/Jazz.tuneplaylist"), entries), Written);
    ASSERT_EQ(PlaylistFile::write(playlists() + QStringLiteral("/Notes.txt"), entries), Written);
    ASSERT_EQ(PlaylistFile::write(playlists() + QStringLiteral("/Old.tuneplaylist.bak"), entries), Written);

    SavedPlaylists list;
    list.viewWillAppear();
    QStringList found = list.playlistsArray();
    found.sort();
    EXPECT_EQ(found, (QStringList{"Jazz.tuneplaylist", "Rock.tuneplaylist"}));
    QStringList names = list.names();
    names.sort();
    EXPECT_EQ(names, (QStringList{"Jazz", "Rock"}));

    const qsizetype rock = list.playlistsArray().indexOf(QStringLiteral("Rock.tuneplaylist"));
    list.deleteRow(int(rock));
    EXPECT_FALSE(QFileInfo::exists(playlists() + QStringLiteral("/Rock.tuneplaylist")));
    EXPECT_EQ(list.playlistsArray(), QStringList{QStringLiteral("Jazz.tuneplaylist")});
    list.viewWillAppear();
    EXPECT_EQ(list.playlistsArray(), QStringList{QStringLiteral("Jazz.tuneplaylist")});
}

TEST_F(SavedPlaylistTest, LoadingReplacesThePlaylistWithoutStartingATrack)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("B.mp3"), QStringLiteral("C.mp3")});
    screen.playSound(2);
    ASSERT_FALSE(saveThroughDialog(QStringLiteral("Три")).isEmpty());
    Stores::playlist().removeEntry(0);
    ASSERT_FALSE(saveThroughDialog(QStringLiteral("Два")).isEmpty());
    QFile broken(playlists() + QStringLiteral("/Битый.tuneplaylist"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("<?xml version=\"1.0\"?><plist><array><str");
    broken.close();
    screen.viewWillAppear();
    screen.viewDidAppear();
    screen.viewWillDisappear(); // the saved playlists screen covers it

    SavedPlaylists list;
    QSignalSpy back(&list, &SavedPlaylists::returnRequested);
    list.viewWillAppear();
    list.rowSelected(int(list.playlistsArray().indexOf(QStringLiteral("Три.tuneplaylist"))));
    EXPECT_EQ(back.count(), 1);
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_TRUE(Stores::playlist().justLoaded());
    ASSERT_EQ(Stores::playlist().size(), 3);
    EXPECT_EQ(Stores::playlist().at(0).file, QStringLiteral("A.mp3"));
    EXPECT_EQ(marks(), (QStringList{"0", "0", "0"}));
    pump(300);
    EXPECT_EQ(global->audioPlayer, nullptr) << "no track starts";

    screen.viewWillAppear();
    EXPECT_EQ(screen.title(), QStringLiteral("Аудиоплеер"));
    EXPECT_EQ(screen.audioTimeLabelCurrent(), QStringLiteral("0:00"));
    EXPECT_EQ(screen.audioTimeLabel(), QStringLiteral("0:00"));
    EXPECT_EQ(screen.sliderMaximum(), 0);
    EXPECT_FALSE(Stores::playlist().justLoaded());
    EXPECT_EQ(rowTitles(), (QStringList{"A", "B", "C"}));
    screen.forwardButtonPressed(); // no current track after loading
    EXPECT_EQ(global->audioPlayer, nullptr);

    // An unreadable file keeps the playlist and its playback, and says so. The file is moved aside, so that
    // saving under its name cannot replace it, and leaves the list.
    screen.playSound(1);
    QPointer<AudioPlayer> playing = global->audioPlayer;
    QSignalSpy alerts(&list, &SavedPlaylists::alertRequested);
    QSignalSpy listed(&list, &SavedPlaylists::playlistsChanged);
    list.rowSelected(int(list.playlistsArray().indexOf(QStringLiteral("Битый.tuneplaylist"))));
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(0).toString(), QStringLiteral("Ошибка"));
    EXPECT_EQ(alerts.at(0).at(1).toString(),
              QStringLiteral("Плейлист «Битый» не загружен: файл не удалось прочитать. Он сохранён как "
                             "Битый.tuneplaylist.unreadable."));
    EXPECT_EQ(Stores::playlist().size(), 3);
    EXPECT_EQ(global->audioPlayer, playing.data());
    EXPECT_TRUE(playing && playing->isPlaying());
    EXPECT_FALSE(Stores::playlist().justLoaded());
    EXPECT_EQ(back.count(), 1) << "stays on the saved playlists";
    EXPECT_EQ(listed.count(), 1);
    EXPECT_FALSE(list.playlistsArray().contains(QStringLiteral("Битый.tuneplaylist")));
    QFile kept(playlists() + QStringLiteral("/Битый.tuneplaylist.unreadable"));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("<?xml version=\"1.0\"?><plist><array><str"));
    EXPECT_FALSE(QFile::exists(playlists() + QStringLiteral("/Битый.tuneplaylist")));
}

// A file the reader would refuse is not written: the user is told, a file of that name stays as it was.
TEST_F(SavedPlaylistTest, APlaylistTooLargeToLoadAgainIsNotSaved)
{
    makePlaylist({QStringLiteral("A.mp3")});
    ASSERT_FALSE(saveThroughDialog(QStringLiteral("Большой")).isEmpty());
    Stores::playlist().append(
        PlaylistEntry{QString(qsizetype(PropertyList::maxFileSize), QLatin1Char('x')), false});
    QSignalSpy alerts(&screen, &Audio_Playlist::alertRequested);
    QSignalSpy saved(&screen, &Audio_Playlist::playlistSaved);
    screen.setPlaylistNameToSave(QStringLiteral("Большой"));
    screen.alertAnswered(Audio_Playlist::SaveAlert, 1);
    ASSERT_TRUE(waitFor([&] { return alerts.count() == 1; }, 10000));
    EXPECT_EQ(alerts.at(0).at(0).toString(), QStringLiteral("Ошибка"));
    EXPECT_EQ(alerts.at(0).at(1).toString(),
              QStringLiteral("Плейлист не сохранён: он слишком велик (файл был бы больше 64 МБ)"));
    EXPECT_EQ(alerts.at(0).at(3).toInt(), int(Audio_Playlist::ErrorAlert));
    EXPECT_TRUE(saved.isEmpty());
    Stores::playlist().removeEntry(Stores::playlist().size() - 1);
    EXPECT_EQ(readSaved(QStringLiteral("Большой.tuneplaylist")).size(), 1) << "the earlier save stays";
}

TEST_F(SavedPlaylistTest, ASaveThatCannotBeWrittenSaysSo)
{
    makePlaylist({QStringLiteral("A.mp3")});
    // A file where the playlists folder should be: neither the folder nor the playlist can be made.
    QFile blocker(playlists());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QSignalSpy alerts(&screen, &Audio_Playlist::alertRequested);
    QSignalSpy saved(&screen, &Audio_Playlist::playlistSaved);
    screen.setPlaylistNameToSave(QStringLiteral("Вечер"));
    screen.alertAnswered(Audio_Playlist::SaveAlert, 1);
    ASSERT_TRUE(waitFor([&] { return alerts.count() == 1; }, 2000));
    EXPECT_EQ(alerts.at(0).at(0).toString(), QStringLiteral("Ошибка"));
    EXPECT_EQ(alerts.at(0).at(2).toStringList(), QStringList{QStringLiteral("Готово")});
    EXPECT_EQ(alerts.at(0).at(3).toInt(), int(Audio_Playlist::ErrorAlert));
    EXPECT_TRUE(saved.isEmpty());
    screen.alertAnswered(Audio_Playlist::ErrorAlert, 0); // answered: nothing more happens
    QCoreApplication::processEvents();
    EXPECT_EQ(alerts.count(), 1);
}

} // namespace

namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Exports through the menu and the saved list, read back by the import: the same entries, in order.
TEST_F(SavedPlaylistTest, ExportsTheCurrentAndASavedPlaylistForOtherPrograms)
{
    makePlaylist({QStringLiteral("Кино/Группа крови.mp3"), QStringLiteral("with space.mp3")});
    // The tag cache knows the first file only; the second is written with M3U's defaults.
    const QString first = audio + QStringLiteral("/Кино/Группа крови.mp3");
    PlaylistExport::setTagSource([first](const QString &path) -> std::optional<TrackTags> {
        if (path != first)
            return std::nullopt;
        TrackTags tags;
        tags.title = QStringLiteral("Группа крови");
        tags.artist = QStringLiteral("Кино");
        tags.durationMs = 285600;
        return tags;
    });
    QSignalSpy alerts(&screen, &Audio_Playlist::alertRequested);
    QSignalSpy exported(&screen, &Audio_Playlist::playlistExported);
    screen.alertAnswered(Audio_Playlist::MenuAlert, 4);
    ASSERT_TRUE(waitFor([&] { return exported.count() == 1; }, 2000));
    const QString m3u = exported.at(0).at(0).toString();
    EXPECT_EQ(m3u, playlists() + QStringLiteral("/Без названия.m3u"));
    EXPECT_EQ(fileBytes(m3u), QByteArray("#EXTM3U\n"
                                         "#EXTINF:286,Кино - Группа крови\n"
                                         "../audio/Кино/Группа крови.mp3\n"
                                         "#EXTINF:-1,with space\n"
                                         "../audio/with space.mp3\n"));
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(), QStringLiteral("Плейлист сохранён в файл ") + m3u);

    ASSERT_FALSE(saveThroughDialog(QStringLiteral("Мой")).isEmpty());
    screen.alertAnswered(Audio_Playlist::MenuAlert, 5);
    ASSERT_TRUE(waitFor([&] { return exported.count() == 2; }, 2000));
    const QString xspf = exported.at(1).at(0).toString();
    EXPECT_EQ(xspf, playlists() + QStringLiteral("/Мой.xspf"));
    EXPECT_TRUE(fileBytes(xspf).contains("<duration>286000</duration>"));

    // The saved playlist's own export: replaced by a new one of the same name.
    Stores::playlist().assignEntries({{QStringLiteral("with space.mp3"), false}});
    SavedPlaylists list;
    list.viewWillAppear();
    QSignalSpy listExported(&list, &SavedPlaylists::playlistExported);
    list.exportM3u(int(list.playlistsArray().indexOf(QStringLiteral("Мой.tuneplaylist"))));
    ASSERT_EQ(listExported.count(), 1);
    EXPECT_EQ(listExported.at(0).at(0).toString(), playlists() + QStringLiteral("/Мой.m3u"));
    list.exportXspf(int(list.playlistsArray().indexOf(QStringLiteral("Мой.tuneplaylist"))));
    ASSERT_EQ(listExported.count(), 2);
    EXPECT_EQ(listExported.at(1).at(0).toString(), xspf);
    for (const QString &path : {playlists() + QStringLiteral("/Мой.m3u"), xspf}) {
        const PlaylistExchange::Imported back =
            PlaylistExchange::importList(path, audio, root.filePath(QStringLiteral("back")));
        EXPECT_EQ(back.missing, 0) << path.toStdString();
        const std::optional<QList<PlaylistEntry>> entries = PlaylistFile::read(back.savedPath);
        ASSERT_TRUE(entries) << path.toStdString();
        ASSERT_EQ(entries->size(), 2);
        EXPECT_EQ(entries->at(0).file, QStringLiteral("Кино/Группа крови.mp3"));
        EXPECT_EQ(entries->at(1).file, QStringLiteral("with space.mp3"));
    }
    // Export of an empty playlist writes nothing and says why.
    Stores::playlist().assignEntries({});
    screen.exportM3u();
    EXPECT_EQ(exported.count(), 2);
    EXPECT_EQ(alerts.last().at(1).toString(), QStringLiteral("Плейлист пуст: экспортировать нечего"));
    PlaylistExport::setTagSource([](const QString &) { return std::optional<TrackTags>(); });
}

// The saved playlists' import: a file chosen in the desktop's chooser becomes a playlist of the list.
TEST_F(SavedPlaylistTest, ImportsAChosenPlaylistAndTellsWhatWasFound)
{
    makePlaylist({QStringLiteral("A.mp3"), QStringLiteral("Кино/B c.mp3")});
    QTemporaryDir elsewhere;
    const QString list = elsewhere.filePath(QStringLiteral("От друга.xspf"));
    {
        QFile file(list);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(
            "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><trackList>"
            "<track><location>file://" +
            QUrl::toPercentEncoding(audio + QStringLiteral("/Кино/B c.mp3"), "/") +
            "</location></track><track><location>missing.mp3</location></track>"
            "<track><location>file://" +
            QUrl::toPercentEncoding(audio + QStringLiteral("/A.mp3"), "/") +
            "</location></track>"
            "</trackList></playlist>");
    }
    QString offered;
    bool answered = true;
    int asked = 0;
    SavedPlaylists::setFileChooser([&](QObject *, std::function<void(bool, QString)> done) {
        ++asked;
        done(answered, offered);
    });
    SavedPlaylists screenList;
    screenList.viewWillAppear();
    QSignalSpy alerts(&screenList, &SavedPlaylists::alertRequested);

    offered = list;
    screenList.importPlaylistPressed();
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(1).toString(),
              QStringLiteral("Плейлист «От друга» сохранён. Импортировано: 2, не найдено: 1"));
    EXPECT_EQ(screenList.names(), QStringList{QStringLiteral("От друга")});
    screenList.rowSelected(0);
    ASSERT_EQ(Stores::playlist().size(), 2);
    EXPECT_EQ(Stores::playlist().at(0).file, QStringLiteral("Кино/B c.mp3"));
    EXPECT_EQ(Stores::playlist().at(1).file, QStringLiteral("A.mp3"));

    // Cancelled: nothing happens; no chooser at all: the user hears where else a list can come from.
    offered.clear();
    screenList.importPlaylistPressed();
    EXPECT_EQ(alerts.count(), 1);
    answered = false;
    screenList.importPlaylistPressed();
    ASSERT_EQ(alerts.count(), 2);
    EXPECT_TRUE(alerts.at(1).at(1).toString().startsWith(QStringLiteral("Выбор файла недоступен")));
    EXPECT_EQ(asked, 3);
    SavedPlaylists::setFileChooser(
        [](QObject *, std::function<void(bool, QString)> done) { done(true, {}); });
}

} // namespace
