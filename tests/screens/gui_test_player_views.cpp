#include "../library/TagFixtures.h"
#include "../support/Mp3Fixture.h"
#include "../support/Tap.h"
#include "../support/TestSupport.h"
#include "../support/WindowSettle.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "library/PlaylistFile.h"
#include "library/TagCache.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "screens/Audio_Playlist.h"
#include "screens/NowPlaying.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using TestSupport::waitFor;

namespace {

// The player screen as the audio tab shows it: pushed onto a navigation stack.
const QByteArray shellQml = R"(
import QtQuick
import QtQuick.Controls
import QtQuick.Controls.Material
ApplicationWindow {
    Material.theme: Material.Light
    Material.accent: "#4a76a8"
    Material.primary: "#4a76a8"
    width: 400
    height: 700
    visible: true
    property alias stack: stack
    StackView { id: stack; anchors.fill: parent; initialItem: Item {} }
    function openPlayer(controller, track) {
        stack.push("qrc:/qml/Melodrop/PlaylistView.qml", { controller: controller, stack: stack, track: track })
    }
}
)";

class PlayerViewTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { QQuickStyle::setStyle(QStringLiteral("Material")); }

    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
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
        QQmlComponent component(&engine);
        component.setData(shellQml, QUrl());
        window.reset(qobject_cast<QQuickWindow *>(component.create()));
        ASSERT_TRUE(window) << qPrintable(component.errorString());
        ASSERT_TRUE(waitFor([&] { return window->isExposed(); }, 5000));
        QMetaObject::invokeMethod(window.get(), "openPlayer",
                                  Q_ARG(QVariant, QVariant::fromValue<QObject *>(&screen)),
                                  Q_ARG(QVariant, QVariant::fromValue<QObject *>(track.get())));
        ASSERT_TRUE(waitFor([&] { return screen.shown(); }, 5000)) << "the screen never appeared";
    }
    void TearDown() override
    {
        window.reset();
        track.reset();
        tags.reset();
        reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }
    void reset()
    {
        AudioPlayer::dropShared();
        Stores::playlist().clear();
        global->pendingTrackStep = GlobalData::TrackStep::None;
        Stores::playlist().setJustLoaded(false);
    }

    // Searches the drawn items: pages on a StackView and dialogs in the overlay are not QObject children.
    static QQuickItem *findItem(QQuickItem *item, const QString &name)
    {
        if (item->objectName() == name)
            return item;
        for (QQuickItem *child : item->childItems()) {
            if (QQuickItem *found = findItem(child, name))
                return found;
        }
        return nullptr;
    }
    QQuickItem *find(const QString &name) const { return findItem(window->contentItem(), name); }
    QQuickItem *findInOverlay(const QString &name) const { return find(name); }
    // The window as drawn, kept for a look (as the other view tests keep theirs).
    QImage grab(const QString &name) const
    {
        TestSupport::settle(window.get(), 400); // transitions end first
        const QImage image = window->grabWindow();
        QDir().mkpath(QStringLiteral("/tmp/melodrop-shots"));
        image.save(QStringLiteral("/tmp/melodrop-shots/") + name);
        return image;
    }
    // Clicks a control where it is drawn.
    bool press(QQuickItem *control) const { return TestSupport::tap(window.get(), control); }
    int depth() const { return window->property("stack").value<QObject *>()->property("depth").toInt(); }
    QString playingFile() const
    {
        auto *player = qobject_cast<LibraryPlayer *>(global->audioPlayer);
        return player ? QDir(StorageLayout::getAudioDir()).relativeFilePath(player->path()) : QString();
    }

    QTemporaryDir root;
    GlobalData *global = nullptr;
    Audio_Playlist screen;
    std::unique_ptr<TagCache> tags;
    std::unique_ptr<NowPlaying> track;
    QQmlEngine engine;
    std::unique_ptr<QQuickWindow> window;
};

TEST_F(PlayerViewTest, DrawsTheControllerAndSendsItTheTaps)
{
    EXPECT_NE(global->playbackTimer, nullptr) << "loading the view starts the tick";
    QQuickItem *row = nullptr;
    ASSERT_TRUE(waitFor([&] { return (row = find(QStringLiteral("playlistRow1"))) != nullptr; }, 3000));

    ASSERT_TRUE(press(row));
    EXPECT_EQ(playingFile(), QStringLiteral("Two.mp3"));
    EXPECT_EQ(find(QStringLiteral("audioTimeLabel"))->property("text").toString(), QStringLiteral("0:00"));
    ASSERT_TRUE(
        waitFor([&] { return find(QStringLiteral("audioTimeLabel"))->property("text") == "1:00"; }, 3000))
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

    // Edit mode: delete the playing entry after confirming.
    ASSERT_TRUE(press(find(QStringLiteral("actionButton"))));
    EXPECT_TRUE(screen.editing());
    QQuickItem *last = find(QStringLiteral("playlistRow2"));
    ASSERT_NE(last, nullptr);
    ASSERT_TRUE(press(findItem(last, QStringLiteral("deleteBadge"))));
    grab(QStringLiteral("player-screen-editing.png"));
    QQuickItem *confirm = findItem(last, QStringLiteral("deleteButton"));
    ASSERT_NE(confirm, nullptr);
    EXPECT_TRUE(confirm->isVisible());
    EXPECT_EQ(confirm->property("text").toString(), QStringLiteral("Удалить"));
    ASSERT_TRUE(press(confirm));
    EXPECT_EQ(Stores::playlist().size(), 2);
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_EQ(find(QStringLiteral("audioTimeLabelCurrent"))->property("text").toString(),
              QStringLiteral("0:00"));
}

TEST_F(PlayerViewTest, MenuSavesThroughTheDialogAndLoadsFromTheSavedPlaylists)
{
    ASSERT_TRUE(press(find(QStringLiteral("additionButton"))));
    QQuickItem *saveChoice = nullptr;
    ASSERT_TRUE(waitFor(
        [&] { return (saveChoice = findInOverlay(QStringLiteral("alertButton1"))) != nullptr; }, 3000));
    EXPECT_EQ(saveChoice->property("text").toString(), QStringLiteral("Сохранить плейлист как..."));
    grab(QStringLiteral("player-menu.png"));
    ASSERT_TRUE(press(saveChoice));

    QQuickItem *field = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            field = findInOverlay(QStringLiteral("playlistNameField"));
            return field && field->isVisible() && field->hasActiveFocus();
        },
        3000))
        << "the field takes the focus when the dialog opens";
    for (char c : QByteArray("Evening"))
        QTest::keyClick(window.get(), c);
    grab(QStringLiteral("player-save-dialog.png"));
    EXPECT_EQ(screen.playlistNameToSave(), QStringLiteral("Evening"));
    ASSERT_TRUE(press(findInOverlay(QStringLiteral("saveButton"))));
    const QString saved = StorageLayout::getPlaylistsDir() + QStringLiteral("/Evening.tuneplaylist");
    ASSERT_TRUE(waitFor([&] { return QFile::exists(saved); }, 3000));
    EXPECT_EQ(PlaylistFile::read(saved).value_or(QList<PlaylistEntry>{}).size(), 3);

    // Load it back through the saved playlists screen, once the dialog has gone from the window.
    ASSERT_TRUE(waitFor([&] { return findInOverlay(QStringLiteral("playlistNameField")) == nullptr; }, 3000));
    screen.playSound(0);
    Stores::playlist().removeEntry(Stores::playlist().size() - 1);
    ASSERT_TRUE(press(find(QStringLiteral("additionButton"))));
    QQuickItem *loadChoice = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            loadChoice = findInOverlay(QStringLiteral("alertButton2"));
            return loadChoice && loadChoice->isVisible();
        },
        3000));
    ASSERT_TRUE(press(loadChoice));
    ASSERT_TRUE(waitFor([&] { return depth() == 3 && !screen.shown(); }, 3000));
    QQuickItem *row = nullptr;
    ASSERT_TRUE(waitFor([&] { return (row = find(QStringLiteral("playlistsRow0"))) != nullptr; }, 3000));
    grab(QStringLiteral("saved-playlists-screen.png"));
    ASSERT_TRUE(press(row));
    ASSERT_TRUE(waitFor([&] { return depth() == 2 && screen.shown(); }, 3000));
    EXPECT_EQ(Stores::playlist().size(), 3);
    EXPECT_EQ(global->audioPlayer, nullptr);
    EXPECT_EQ(screen.title(), QStringLiteral("Аудиоплеер"));
}

TEST_F(PlayerViewTest, AnEntryWhoseFileIsGoneIsDrawnDimmedAndPassedOver)
{
    Stores::playlist().insert(1, PlaylistEntry{QStringLiteral("Gone.mp3"), false});
    QQuickItem *first = nullptr;
    ASSERT_TRUE(waitFor([&] { return (first = find(QStringLiteral("playlistRow0"))) != nullptr; }, 3000));
    // A tap on the first row, as the user makes it: the table is drawn anew with the entry added meanwhile.
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier,
                      first->mapToScene(QPointF(first->width() / 2, first->height() / 2)).toPoint());
    ASSERT_EQ(playingFile(), QStringLiteral("Artist - One.mp3"));
    // The rows are made anew for the longer list.
    QQuickItem *gone = nullptr;
    ASSERT_TRUE(waitFor([&] { return (gone = find(QStringLiteral("playlistRow3"))) != nullptr; }, 3000));
    gone = find(QStringLiteral("playlistRow1"));
    ASSERT_NE(gone, nullptr);
    EXPECT_LT(gone->opacity(), 0.5);
    EXPECT_DOUBLE_EQ(find(QStringLiteral("playlistRow0"))->opacity(), 1.0);
    grab(QStringLiteral("player-screen-gone-entry.png"));

    QQuickItem *forward = find(QStringLiteral("forwardButton"));
    ASSERT_NE(forward, nullptr);
    QTest::mouseClick(window.get(), Qt::LeftButton, Qt::NoModifier,
                      forward->mapToScene(QPointF(forward->width() / 2, forward->height() / 2)).toPoint());
    EXPECT_EQ(playingFile(), QStringLiteral("Two.mp3")) << "the gone entry is passed over";
    EXPECT_EQ(Stores::playlist().size(), 4) << "and kept";
}

TEST_F(PlayerViewTest, TheCurrentTrackIsDrawnWithItsCoverAndAlbum)
{
    EXPECT_FALSE(find(QStringLiteral("playerTrack"))->isVisible()) << "nothing playing, nothing drawn";
    const QString picture = root.filePath(QStringLiteral("cover.png"));
    ASSERT_EQ(TagFixtures::picture(picture, QStringLiteral("0x0080ff"), 64), QString());
    ASSERT_EQ(TagFixtures::mp3(StorageLayout::getAudioDir() + QStringLiteral("/Two.mp3"),
                               {QStringLiteral("Вторая"), QStringLiteral("Группа"), QStringLiteral("Альбом"),
                                QStringLiteral("2"), QString()},
                               20, 4, picture),
              QString());
    screen.playSound(1);
    QQuickItem *cover = find(QStringLiteral("playerCover"));
    ASSERT_NE(cover, nullptr);
    ASSERT_TRUE(waitFor([&] { return cover->property("status").toInt() == 1; }, 10000)) << "no cover drawn";
    EXPECT_TRUE(find(QStringLiteral("playerTrack"))->isVisible());
    EXPECT_EQ(find(QStringLiteral("playerTrackTitle"))->property("text").toString(),
              QStringLiteral("Вторая"));
    EXPECT_EQ(find(QStringLiteral("playerTrackAlbum"))->property("text").toString(),
              QStringLiteral("Альбом"));
    const QImage image = grab(QStringLiteral("player-cover.png"));
    const QPointF middle = cover->mapToScene(QPointF(cover->width() / 2, cover->height() / 2));
    const QColor drawn = image.pixelColor((middle * image.devicePixelRatio()).toPoint());
    EXPECT_NEAR(drawn.red(), 0, 12);
    EXPECT_NEAR(drawn.green(), 128, 12);
    EXPECT_NEAR(drawn.blue(), 255, 12);

    // A track without tags: its name, no album, the placeholder.
    screen.playSound(0);
    track->refresh();
    EXPECT_EQ(find(QStringLiteral("playerTrackTitle"))->property("text").toString(), QStringLiteral("One"));
    EXPECT_FALSE(find(QStringLiteral("playerTrackAlbum"))->isVisible());
    ASSERT_TRUE(waitFor([&] { return !cover->isVisible(); }, 5000));
}

} // namespace
