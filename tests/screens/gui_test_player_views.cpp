// The player screen as drawn, pressed with the mouse: the controller's state on the screen, and each control
// reaching it.
#include "../library/TagFixtures.h"
#include "../support/GuiHost.h"
#include "../support/Mp3Fixture.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/Stores.h"
#include "library/TagCache.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "screens/Audio_Playlist.h"
#include "screens/NowPlaying.h"

#include <QFile>

using TestSupport::waitFor;

namespace {

class PlayerViewTest : public GuiHostTest
{
protected:
    void SetUp() override
    {
        StorageLayout::setRootDir(root.path());
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        global = GlobalData::sharedGlobalData();
        reset();
        for (const QString &file :
             {QStringLiteral("Artist - One.mp3"), QStringLiteral("Two.mp3"), QStringLiteral("Three.mp3")}) {
            ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QLatin1Char('/') + file, 60));
            Stores::playlist().append(PlaylistEntry{file, false});
        }
        tags = std::make_unique<TagCache>(root.filePath(QStringLiteral("cache")), TagCache::Reader{});
        track = std::make_unique<NowPlaying>(tags.get());
        hostStack();
        ASSERT_FALSE(HasFatalFailure());
        push("PlaylistView.qml", &screen,
             {{QStringLiteral("track"), QVariant::fromValue<QObject *>(track.get())}});
        ASSERT_TRUE(waitFor([&] { return screen.shown(); }, 5000)) << "the screen never appeared";
    }
    void TearDown() override
    {
        closeWindow();
        track.reset();
        tags.reset();
        reset();
        GuiHostTest::TearDown();
        Settings::setSharedPath(QString());
    }
    void reset()
    {
        AudioPlayer::dropShared();
        Stores::playlist().clear();
        global->pendingTrackStep = GlobalData::TrackStep::None;
        Stores::playlist().setJustLoaded(false);
    }

    QString playingFile() const
    {
        auto *player = qobject_cast<LibraryPlayer *>(global->audioPlayer);
        return player ? QDir(StorageLayout::getAudioDir()).relativeFilePath(player->path()) : QString();
    }
    QString text(const QString &name) const { return find(name)->property("text").toString(); }

    GlobalData *global = nullptr;
    Audio_Playlist screen;
    std::unique_ptr<TagCache> tags;
    std::unique_ptr<NowPlaying> track;
};

TEST_F(PlayerViewTest, DrawsTheControllerAndSendsItTheTaps)
{
    EXPECT_NE(global->playbackTimer, nullptr) << "loading the view starts the tick";
    QQuickItem *row = waitForItem(QStringLiteral("playlistRow1"));
    ASSERT_TRUE(press(row));
    EXPECT_EQ(playingFile(), QStringLiteral("Two.mp3"));
    EXPECT_EQ(text(QStringLiteral("audioTimeLabel")), QStringLiteral("0:00"));
    ASSERT_TRUE(waitFor([&] { return text(QStringLiteral("audioTimeLabel")) == "1:00"; }, 3000))
        << "the tick reaches the label";
    const QImage shot = grab(QStringLiteral("player-screen.png"));
    const QPointF inRow = row->mapToScene(QPointF(row->width() - 4, row->height() / 2));
    EXPECT_EQ(QColor(shot.pixel(inRow.toPoint())), QColor(228, 234, 240)) << "the current row's colour";

    ASSERT_TRUE(press(find(QStringLiteral("forwardButton"))));
    EXPECT_EQ(playingFile(), QStringLiteral("Three.mp3"));
    ASSERT_TRUE(press(find(QStringLiteral("pauseButton"))));
    EXPECT_FALSE(global->audioPlayer->isPlaying());
    ASSERT_TRUE(press(find(QStringLiteral("playButton"))));
    EXPECT_TRUE(global->audioPlayer->isPlaying());
    ASSERT_TRUE(press(find(QStringLiteral("randomButton"))));
    EXPECT_TRUE(global->playRandomMusic);
    EXPECT_DOUBLE_EQ(find(QStringLiteral("randomButton"))->opacity(), 1.0);
    ASSERT_TRUE(press(find(QStringLiteral("randomButton"))));

    // Edit mode: the playing entry's badge uncovers its delete button, which deletes it.
    ASSERT_TRUE(press(find(QStringLiteral("actionButton"))));
    EXPECT_TRUE(screen.editing());
    QQuickItem *last = find(QStringLiteral("playlistRow2"));
    ASSERT_NE(last, nullptr);
    ASSERT_TRUE(press(findItem(last, QStringLiteral("deleteBadge"))));
    QQuickItem *confirm = findItem(last, QStringLiteral("deleteButton"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_EQ(confirm->property("text").toString(), QStringLiteral("Удалить"));
    ASSERT_TRUE(press(confirm));
    EXPECT_EQ(Stores::playlist().size(), 2);
    EXPECT_EQ(text(QStringLiteral("audioTimeLabelCurrent")), QStringLiteral("0:00"));
}

TEST_F(PlayerViewTest, MenuSavesThroughTheDialogAndLoadsFromTheSavedPlaylists)
{
    ASSERT_TRUE(press(find(QStringLiteral("additionButton"))));
    QQuickItem *saveChoice = waitForItem(QStringLiteral("alertButton1"));
    ASSERT_NE(saveChoice, nullptr);
    EXPECT_EQ(saveChoice->property("text").toString(), QStringLiteral("Сохранить плейлист как..."));
    ASSERT_TRUE(press(saveChoice));
    QQuickItem *field = waitForItem([&] {
        QQuickItem *found = find(QStringLiteral("playlistNameField"));
        return found && found->hasActiveFocus() ? found : nullptr;
    });
    ASSERT_NE(field, nullptr) << "the field takes the focus when the dialog opens";
    type(QStringLiteral("Evening"));
    EXPECT_EQ(screen.playlistNameToSave(), QStringLiteral("Evening"));
    ASSERT_TRUE(press(find(QStringLiteral("saveButton"))));
    ASSERT_TRUE(waitFor(
        [&] {
            return QFile::exists(StorageLayout::getPlaylistsDir() + QStringLiteral("/Evening.tuneplaylist"));
        },
        3000));

    // Loaded back through the saved playlists screen, once the dialog has gone from the window.
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("playlistNameField")) == nullptr; }, 3000));
    Stores::playlist().removeEntry(Stores::playlist().size() - 1);
    ASSERT_TRUE(press(find(QStringLiteral("additionButton"))));
    ASSERT_TRUE(press(waitForItem(QStringLiteral("alertButton2"))));
    ASSERT_TRUE(waitFor([&] { return depth() == 3 && !screen.shown(); }, 3000));
    QQuickItem *row = waitForItem(QStringLiteral("playlistsRow0"));
    ASSERT_TRUE(press(row));
    ASSERT_TRUE(waitFor([&] { return depth() == 2 && screen.shown(); }, 3000));
    EXPECT_EQ(Stores::playlist().size(), 3);
}

TEST_F(PlayerViewTest, AnEntryWhoseFileIsGoneIsDrawnDimmed)
{
    Stores::playlist().insert(1, PlaylistEntry{QStringLiteral("Gone.mp3"), false});
    // A tap on the first row, as the user makes it: the table is drawn anew with the entry added meanwhile.
    ASSERT_TRUE(press(waitForItem(QStringLiteral("playlistRow0"))));
    ASSERT_EQ(playingFile(), QStringLiteral("Artist - One.mp3"));
    ASSERT_NE(waitForItem(QStringLiteral("playlistRow3")), nullptr) << "the rows are made anew";
    EXPECT_LT(find(QStringLiteral("playlistRow1"))->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(find(QStringLiteral("playlistRow0"))->opacity(), 1.0);
}

TEST_F(PlayerViewTest, TheCurrentTrackIsDrawnWithItsCoverAndAlbum)
{
    EXPECT_EQ(find(QStringLiteral("playerTrack")), nullptr) << "nothing playing, nothing drawn";
    const QString picture = root.filePath(QStringLiteral("cover.png"));
    ASSERT_EQ(TagFixtures::picture(picture, QStringLiteral("0x0080ff"), 64), QString());
    ASSERT_EQ(TagFixtures::mp3(StorageLayout::getAudioDir() + QStringLiteral("/Two.mp3"),
                               {QStringLiteral("Вторая"), QStringLiteral("Группа"), QStringLiteral("Альбом"),
                                QStringLiteral("2"), QString()},
                               20, 4, picture),
              QString());
    screen.playSound(1);
    QQuickItem *cover = waitForPicture(QStringLiteral("playerCover"));
    ASSERT_NE(cover, nullptr) << "no cover drawn";
    EXPECT_NE(find(QStringLiteral("playerTrack")), nullptr);
    EXPECT_EQ(text(QStringLiteral("playerTrackTitle")) + '|' + text(QStringLiteral("playerTrackAlbum")),
              QStringLiteral("Вторая|Альбом"));
    const QColor drawn = colourAtMiddle(grab(QStringLiteral("player-cover.png")), cover);
    EXPECT_NEAR(drawn.red(), 0, 12);
    EXPECT_NEAR(drawn.green(), 128, 12);
    EXPECT_NEAR(drawn.blue(), 255, 12);

    // A track without tags: its name, no album, the placeholder.
    screen.playSound(0);
    track->refresh();
    EXPECT_EQ(text(QStringLiteral("playerTrackTitle")), QStringLiteral("One"));
    EXPECT_EQ(find(QStringLiteral("playerTrackAlbum")), nullptr);
    ASSERT_TRUE(waitFor([&] { return !cover->isVisible(); }, 5000));
}

} // namespace
