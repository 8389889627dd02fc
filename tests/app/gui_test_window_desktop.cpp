// The window as a desktop user meets it: wide and narrow layouts, keyboard shortcuts, context menus and the
// confirmations, driven with real key presses and clicks at the items' places.
#include "../library/TagFixtures.h"
#include "../support/MainWindowTest.h"
#include "../support/Mp3Fixture.h"
#include "../support/TestSupport.h"
#include "../support/WindowSettle.h"

#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "app/Translations.h"
#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "desktop/ColorScheme.h"
#include "downloads/DownloadQueue.h"
#include "library/TagCache.h"
#include "playback/AudioPlayer.h"
#include "playback/LibraryPlayer.h"
#include "playback/MusicPlayer.h"
#include "sandbox/Sandbox.h"
#include "screens/Audio_Playlist.h"
#include "service/ServiceEndpoints.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

using TestSupport::waitFor;

class DesktopWindowTest : public MainWindowTest
{
protected:
    void openAudioLibrary()
    {
        key(Qt::Key_2, Qt::ControlModifier);
        settle();
        click(waitForItem(QStringLiteral("menuRow5"))); // Медиатека
        settle();
    }
    // The player screen over a playlist of one file.
    void openPlayer()
    {
        ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/A - B.mp3"), 5));
        Stores::playlist().append(PlaylistEntry{QStringLiteral("A - B.mp3"), false});
        key(Qt::Key_2, Qt::ControlModifier);
        settle();
        click(waitForItem(QStringLiteral("menuRow6"))); // Аудиоплеер
    }
    // The player menu's "save as" choice; the dialog's name field, once it has the keys.
    QQuickItem *openSaveDialog()
    {
        if (!press(QStringLiteral("additionButton")) || !press(QStringLiteral("alertButton1")))
            return nullptr;
        QQuickItem *field = waitForItem(QStringLiteral("playlistNameField"));
        if (!field || !waitFor([&] { return field->hasActiveFocus(); }, 3000))
            return nullptr;
        settle();
        return field;
    }
};

TEST_F(DesktopWindowTest, WideWindowsGetTheSidebarAndTheBarNarrowOnesTheTabs)
{
    settle();
    EXPECT_NE(find(QStringLiteral("sidebar")), nullptr);
    EXPECT_NE(find(QStringLiteral("nowPlayingBar")), nullptr);
    EXPECT_EQ(find(QStringLiteral("tabBar")), nullptr);

    // The sidebar's sections switch pages.
    click(find(QStringLiteral("sidebarSection3")));
    EXPECT_EQ(window->property("section").toInt(), 3);

    window->resize(420, 740);
    settle();
    EXPECT_EQ(find(QStringLiteral("sidebar")), nullptr);
    EXPECT_EQ(find(QStringLiteral("nowPlayingBar")), nullptr);
    ASSERT_NE(find(QStringLiteral("tabBar")), nullptr);
    click(find(QStringLiteral("tab1")));
    EXPECT_EQ(window->property("section").toInt(), 1);
    EXPECT_NE(find(QStringLiteral("menuRow0")), nullptr);

    // With something to play, the narrow window has the compact bar: the track and the transport, above
    // the tabs and inside the window.
    Stores::playlist().append(PlaylistEntry{QStringLiteral("Song.mp3"), false});
    settle();
    QQuickItem *bar = find(QStringLiteral("nowPlayingBar"));
    ASSERT_NE(bar, nullptr);
    QQuickItem *playPause = find(QStringLiteral("nowPlayingPlayPause"));
    ASSERT_NE(playPause, nullptr);
    const QRectF drawn = playPause->mapRectToScene(QRectF(0, 0, playPause->width(), playPause->height()));
    EXPECT_TRUE(QRectF(0, 0, window->width(), window->height()).contains(drawn));
    EXPECT_LT(bar->mapToScene(QPointF()).y(), find(QStringLiteral("tabBar"))->mapToScene(QPointF()).y());
    EXPECT_EQ(find(QStringLiteral("nowPlayingSeek")), nullptr) << "no room for the position slider";
    EXPECT_EQ(find(QStringLiteral("nowPlayingVolume")), nullptr);

    // The bar opens the player screen, which has the same controls: there the bar makes room, and it is back
    // once the player screen is left.
    click(find(QStringLiteral("nowPlayingTrack")));
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("nowPlayingBar")) == nullptr; }, 3000));
    EXPECT_NE(find(QStringLiteral("randomButton")), nullptr);
    settle(); // the push has ended
    key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("nowPlayingBar")) != nullptr; }, 3000));
    Stores::playlist().clear();
}

TEST_F(DesktopWindowTest, ControlNumbersSwitchSectionsAndEnterSignsIn)
{
    settle();
    for (int index : {2, 4, 3, 1}) {
        key(Qt::Key_0 + index, Qt::ControlModifier);
        EXPECT_EQ(window->property("section").toInt(), index - 1);
    }
    Sandbox sandbox;
    ASSERT_TRUE(sandbox.start());
    ASSERT_TRUE(ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox.baseUrl())));
    QQuickItem *password = find(QStringLiteral("passwordInput"));
    ASSERT_NE(password, nullptr);
    click(find(QStringLiteral("loginInput")));
    type(QString::fromStdString(Sandbox::defaultAccount().email));
    click(password);
    type(QString::fromStdString(Sandbox::defaultAccount().password));
    auto *form = window->findChild<QObject *>(QStringLiteral("loginForm"));
    ASSERT_NE(form, nullptr);
    key(Qt::Key_Return);
    // Signed in, the button now signs out, and the window has moved on to the music.
    ASSERT_TRUE(waitFor([&] { return !global->vksid().isEmpty(); }, 15000));
    ASSERT_TRUE(waitFor([&] { return form->property("hud").value<QObject *>() == nullptr; }, 15000));
    EXPECT_EQ(form->property("loginButtonImage").toString(), QStringLiteral("Logout_button.png"));
    EXPECT_TRUE(waitFor([&] { return window->property("section").toInt() == 1; }, 5000));
    key(Qt::Key_1, Qt::ControlModifier);
    settle();
    // Enter again never signs out.
    click(password);
    key(Qt::Key_Return);
    settle();
    EXPECT_FALSE(global->vksid().isEmpty());
    click(find(QStringLiteral("loginButton")));
    EXPECT_TRUE(waitFor([&] { return global->vksid().isEmpty(); }, 15000));
    waitFor([&] { return form->property("hud").value<QObject *>() == nullptr; }, 15000);
    // Signed out: the page stays, and typing goes to the e-mail field again.
    settle();
    EXPECT_EQ(window->property("section").toInt(), 0);
    EXPECT_TRUE(find(QStringLiteral("loginInput"))->hasActiveFocus());
}

TEST_F(DesktopWindowTest, TypingStartsInTheEmailFieldAndAFailedSignInSaysWhyOnThePage)
{
    settle();
    Sandbox sandbox;
    ASSERT_TRUE(sandbox.start());
    ASSERT_TRUE(ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox.baseUrl())));
    // No click first: the page opens with the e-mail field taking the keys, and Tab leads to the password.
    const QString email = QString::fromStdString(Sandbox::defaultAccount().email);
    type(email);
    EXPECT_EQ(find(QStringLiteral("loginInput"))->property("text").toString(), email);
    key(Qt::Key_Tab);
    type(QStringLiteral("wrong"));
    EXPECT_EQ(find(QStringLiteral("passwordInput"))->property("text").toString(), QStringLiteral("wrong"));
    auto *form = window->findChild<QObject *>(QStringLiteral("loginForm"));
    ASSERT_NE(form, nullptr);
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return form->property("signInProblem").toString().size() > 0; }, 15000));
    ASSERT_TRUE(waitFor([&] { return form->property("hud").value<QObject *>() == nullptr; }, 15000));
    settle();
    // The notice has gone; the page still says why.
    QQuickItem *problem = find(QStringLiteral("signInProblem"));
    ASSERT_NE(problem, nullptr);
    EXPECT_TRUE(problem->isVisible());
    EXPECT_TRUE(
        problem->property("text").toString().startsWith(QStringLiteral("Не удалось выполнить вход: ")));
    EXPECT_TRUE(global->vksid().isEmpty());
}

TEST_F(DesktopWindowTest, EscapeAnswersADialogWithItsCancel)
{
    settle();
    QSignalSpy quits(shell, &Shell::quitRequested);
    DownloadQueue::shared().append(DownloadQueue::Audio, QueueItem{QStringLiteral("A - B"),
                                                                   QStringLiteral("http://127.0.0.1:9/a.mp3"),
                                                                   5, QueueItem::State::Started});
    // Ctrl+Q while a download runs asks first; Escape is the cancel.
    key(Qt::Key_Q, Qt::ControlModifier);
    ASSERT_NE(waitForItem(QStringLiteral("alertButton1")), nullptr);
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("alertButton1")) == nullptr; }, 3000));
    EXPECT_EQ(quits.count(), 0);
    EXPECT_TRUE(window->isVisible());

    // Asked again, "Выйти" quits.
    key(Qt::Key_Q, Qt::ControlModifier);
    QQuickItem *quit = waitForItem(QStringLiteral("alertButton1"));
    ASSERT_NE(quit, nullptr);
    EXPECT_EQ(quit->property("text").toString(), QStringLiteral("Выйти"));
    settle();
    click(quit);
    EXPECT_TRUE(waitFor([&] { return quits.count() == 1; }, 3000));

    // The data-reset choice of the login page closes with Escape too, deleting nothing.
    settle(); // the question's closing transition
    key(Qt::Key_1, Qt::ControlModifier);
    QDir(StorageLayout::getAudioDir()).mkpath(QStringLiteral("."));
    QFile keep(StorageLayout::getAudioDir() + QStringLiteral("/keep.mp3"));
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.close();
    click(find(QStringLiteral("prefsButton")));
    ASSERT_NE(waitForItem(QStringLiteral("alertButton2")), nullptr);
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("alertButton2")) == nullptr; }, 3000));
    EXPECT_TRUE(QFileInfo::exists(keep.fileName()));
}

TEST_F(DesktopWindowTest, EscapeClosesTheSaveDialogAndTheRowMenu)
{
    openPlayer();
    ASSERT_NE(openSaveDialog(), nullptr);
    type(QStringLiteral("Mix"));
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("playlistNameField")) == nullptr; }, 3000));
    settle();
    EXPECT_TRUE(QDir(StorageLayout::getPlaylistsDir()).entryList(QDir::Files).isEmpty()) << "nothing saved";

    // The row menu closes with Escape and runs nothing.
    QQuickItem *row = waitForItem(QStringLiteral("playlistRow0"));
    ASSERT_NE(row, nullptr);
    click(row, Qt::RightButton);
    ASSERT_NE(waitForItem(QStringLiteral("menuItem_remove")), nullptr);
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("menuItem_remove")) == nullptr; }, 3000));
    EXPECT_EQ(Stores::playlist().size(), 1);
    click(find(QStringLiteral("backButton")));
}

TEST_F(DesktopWindowTest, EachOpeningOfThePlayerStartsWithoutEditModeOrSaveName)
{
    openPlayer();
    ASSERT_TRUE(press(QStringLiteral("actionButton")));
    settle();
    ASSERT_NE(waitForItem(QStringLiteral("deleteBadge")), nullptr); // editing
    ASSERT_NE(openSaveDialog(), nullptr);
    type(QStringLiteral("Mix"));
    key(Qt::Key_Return);
    ASSERT_TRUE(
        waitFor([&] { return QFile::exists(StorageLayout::getPlaylistsDir() + "/Mix.tuneplaylist"); }, 5000));
    settle();
    click(find(QStringLiteral("backButton")));
    settle();

    // Opened again from the menu: a new screen, not the old one's edit mode and save name.
    click(waitForItem(QStringLiteral("menuRow6")));
    ASSERT_NE(waitForItem(QStringLiteral("additionButton")), nullptr);
    settle();
    EXPECT_EQ(find(QStringLiteral("deleteBadge")), nullptr);
    QQuickItem *field = openSaveDialog();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->property("text").toString(), QString());
    key(Qt::Key_Escape);
    settle();
    click(find(QStringLiteral("backButton")));
}

TEST_F(DesktopWindowTest, SpaceTogglesPlaybackAndTheBarShowsTheTrack)
{
    ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/Singer - Song.mp3"), 60));
    Stores::playlist().append(PlaylistEntry{QStringLiteral("Singer - Song.mp3"), false});
    Audio_Playlist::shared()->playSound(0);
    ASSERT_NE(global->audioPlayer, nullptr);
    ASSERT_TRUE(waitFor([&] { return global->audioPlayer->isPlaying(); }, 5000));
    QQuickItem *title = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            title = find(QStringLiteral("nowPlayingTitle"));
            return title && title->property("text").toString() == QStringLiteral("Song");
        },
        3000));
    EXPECT_EQ(find(QStringLiteral("nowPlayingArtist"))->property("text").toString(),
              QStringLiteral("Singer"));

    // Away from the e-mail field, which has the keys when the page opens.
    find(QStringLiteral("loginInput"))->setFocus(false);
    window->contentItem()->forceActiveFocus();
    key(Qt::Key_Space);
    EXPECT_TRUE(waitFor([&] { return !global->audioPlayer->isPlaying(); }, 3000));
    key(Qt::Key_Space);
    EXPECT_TRUE(waitFor([&] { return global->audioPlayer->isPlaying(); }, 3000));

    // In a text field Space is a space.
    click(find(QStringLiteral("loginInput")));
    key(Qt::Key_Space);
    settle();
    EXPECT_TRUE(global->audioPlayer->isPlaying());

    // A focused button presses itself with Space, as keyboard and screen reader users press buttons: "О
    // программе" opens its dialog, and the player goes on.
    find(QStringLiteral("infoButton"))->forceActiveFocus(Qt::TabFocusReason);
    key(Qt::Key_Space);
    EXPECT_NE(waitForItem(QStringLiteral("alertButton0")), nullptr);
    EXPECT_TRUE(global->audioPlayer->isPlaying());
    key(Qt::Key_Escape);
    settle();

    // The bar's own button pauses the same player.
    click(find(QStringLiteral("nowPlayingPlayPause")));
    EXPECT_TRUE(waitFor([&] { return !global->audioPlayer->isPlaying(); }, 3000));
}

TEST_F(DesktopWindowTest, TheBarShowsTheCoverOfTheTrackAndThePlaceholderWithoutOne)
{
    const QString picture = root.filePath(QStringLiteral("cover.png"));
    ASSERT_EQ(TagFixtures::picture(picture, QStringLiteral("0xff8000"), 64), QString());
    const QString audio = StorageLayout::getAudioDir();
    ASSERT_EQ(TagFixtures::mp3(audio + QStringLiteral("/cover.mp3"),
                               {QStringLiteral("Оранжевая"), QStringLiteral("Группа"),
                                QStringLiteral("Альбом"), QStringLiteral("2"), QString()},
                               30, 4, picture),
              QString());
    ASSERT_TRUE(Mp3Fixture::write(audio + QStringLiteral("/Singer - Plain.mp3"), 30));
    shell->tagCache()->forget(audio + QStringLiteral("/cover.mp3")); // a file of an earlier case's root
    Stores::playlist().append(PlaylistEntry{QStringLiteral("cover.mp3"), false});
    Stores::playlist().append(PlaylistEntry{QStringLiteral("Singer - Plain.mp3"), false});
    Audio_Playlist::shared()->playSound(0);

    QQuickItem *cover = nullptr;
    ASSERT_TRUE(waitFor(
        [&] {
            cover = find(QStringLiteral("nowPlayingCover"));
            return cover && cover->property("status").toInt() == 1; // Image.Ready
        },
        10000))
        << "the cover never showed";
    EXPECT_EQ(find(QStringLiteral("nowPlayingTitle"))->property("text").toString(),
              QStringLiteral("Оранжевая"));
    settle();
    QImage shot = window->grabWindow();
    QDir().mkpath(QStringLiteral("/tmp/melodrop-shots"));
    shot.save(QStringLiteral("/tmp/melodrop-shots/now-playing-cover.png"));
    const QPointF middle = cover->mapToScene(QPointF(cover->width() / 2, cover->height() / 2));
    const QColor drawn = shot.pixelColor((middle * shot.devicePixelRatio()).toPoint());
    EXPECT_NEAR(drawn.red(), 255, 12);
    EXPECT_NEAR(drawn.green(), 128, 12);
    EXPECT_NEAR(drawn.blue(), 0, 12);

    // A file without a cover: the placeholder.
    Audio_Playlist::shared()->playSound(1);
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("nowPlayingCover")) == nullptr; }, 5000))
        << "the cover of the track before stays";
    EXPECT_EQ(find(QStringLiteral("nowPlayingTitle"))->property("text").toString(), QStringLiteral("Plain"));
    settle();
    window->grabWindow().save(QStringLiteral("/tmp/melodrop-shots/now-playing-placeholder.png"));
}

TEST_F(DesktopWindowTest, TheLibraryAsksBeforeDeletingFromTheMenuOrTheDeleteKeyOnAClickedRow)
{
    for (const QString &name : {QStringLiteral("First.mp3"), QStringLiteral("Second.mp3")})
        ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QLatin1Char('/') + name, 5));
    const auto files = [] { return QDir(StorageLayout::getAudioDir()).entryList({"*.mp3"}); };
    openAudioLibrary();
    QQuickItem *row = waitForItem(QStringLiteral("libraryRow1"));
    ASSERT_NE(row, nullptr);
    settle();
    click(row, Qt::RightButton, QPointF(40, row->height() / 2));
    ASSERT_TRUE(press(QStringLiteral("menuItem_delete")));
    // One question naming the file; until it is answered the file stays.
    QQuickItem *title = waitForItem(QStringLiteral("alertTitle"));
    ASSERT_NE(title, nullptr);
    settle();
    EXPECT_EQ(find(QStringLiteral("alertMessage"))->property("text").toString(),
              QStringLiteral("Удалить «Second.mp3»?"));
    EXPECT_EQ(files().size(), 2);
    click(waitForItem(QStringLiteral("alertButton1"))); // Удалить
    ASSERT_TRUE(waitFor([&] { return files() == QStringList{QStringLiteral("First.mp3")}; }, 3000));
    settle();

    // A left click selects the row (and previews it); once the preview is closed, Delete asks about that row.
    QQuickItem *first = waitForItem(QStringLiteral("libraryRow0"));
    ASSERT_NE(first, nullptr);
    click(first);
    ASSERT_TRUE(press(QStringLiteral("alertButton0"))); // Закрыть
    settle();
    key(Qt::Key_Delete);
    ASSERT_NE(waitForItem(QStringLiteral("alertTitle")), nullptr) << "Delete did nothing on the clicked row";
    settle();
    EXPECT_EQ(find(QStringLiteral("alertMessage"))->property("text").toString(),
              QStringLiteral("Удалить «First.mp3»?"));
    click(find(QStringLiteral("alertButton0"))); // Отмена
    settle();
    EXPECT_EQ(files().size(), 1) << "deleted without being confirmed";
    key(Qt::Key_Delete);
    ASSERT_TRUE(press(QStringLiteral("alertButton1")));
    EXPECT_TRUE(waitFor([&] { return files().isEmpty(); }, 3000));
}

TEST_F(DesktopWindowTest, TheLibraryShowsTagColumnsSortsByAHeaderClickAndFiltersAsYouType)
{
    const QString audio = StorageLayout::getAudioDir();
    ASSERT_EQ(
        TagFixtures::mp3(audio + QStringLiteral("/a.mp3"), {QStringLiteral("Яблоко"), QStringLiteral("Кино"),
                                                            QStringLiteral("Звезда"), QString(), QString()}),
        QString());
    ASSERT_EQ(TagFixtures::mp3(audio + QStringLiteral("/b.mp3"),
                               {QStringLiteral("Берег"), QStringLiteral("Аквариум"), QStringLiteral("Радио"),
                                QString(), QString()}),
              QString());
    ASSERT_TRUE(Mp3Fixture::write(audio + QStringLiteral("/c plain.mp3"), 3));
    ASSERT_EQ(TagFixtures::mp3(
                  audio + QStringLiteral("/Deep/d.mp3"),
                  {QStringLiteral("Глубина"), QStringLiteral("Кино"), QString(), QString(), QString()}),
              QString());
    for (const char *name : {"a.mp3", "b.mp3", "c plain.mp3", "Deep/d.mp3"})
        shell->tagCache()->forget(audio + QLatin1Char('/') +
                                  QLatin1String(name)); // files of an earlier case's root
    openAudioLibrary();
    const auto titles = [&] {
        QStringList shown;
        for (int i = 0; QQuickItem *row = find(QStringLiteral("libraryRow%1").arg(i)); ++i)
            shown << findItem(row, QStringLiteral("rowTitle"))->property("text").toString();
        return shown;
    };
    ASSERT_TRUE(waitFor(
        [&] {
            return titles() == QStringList({"Deep", "Яблоко", "Берег", "c plain.mp3"});
        },
        5000))
        << titles().join(',').toStdString();
    QQuickItem *row = find(QStringLiteral("libraryRow1"));
    EXPECT_EQ(findItem(row, QStringLiteral("rowArtist"))->property("text").toString(),
              QStringLiteral("Кино"));
    EXPECT_EQ(findItem(row, QStringLiteral("rowAlbum"))->property("text").toString(),
              QStringLiteral("Звезда"));
    EXPECT_EQ(findItem(row, QStringLiteral("rowDuration"))->property("text").toString(),
              QStringLiteral("0:02"));
    settle();
    window->grabWindow().save(QStringLiteral("/tmp/melodrop-shots/library-columns.png"));

    click(find(QStringLiteral("columnTitle")));
    EXPECT_TRUE(waitFor(
        [&] {
            return titles() == QStringList({"Deep", "c plain.mp3", "Берег", "Яблоко"});
        },
        2000))
        << titles().join(',').toStdString();
    click(find(QStringLiteral("columnArtist")));
    EXPECT_TRUE(waitFor(
        [&] {
            return titles() == QStringList({"Deep", "c plain.mp3", "Берег", "Яблоко"});
        },
        2000));
    click(find(QStringLiteral("columnArtist"))); // the other way round
    EXPECT_TRUE(waitFor(
        [&] {
            return titles() == QStringList({"Deep", "Яблоко", "Берег", "c plain.mp3"});
        },
        2000))
        << titles().join(',').toStdString();

    // Ctrl+F and typing narrow the folder by any tag; the switch searches the whole library.
    key(Qt::Key_F, Qt::ControlModifier);
    QQuickItem *field = find(QStringLiteral("libraryFilter"));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(field->hasActiveFocus());
    for (const QChar c : QStringLiteral("кино"))
        QTest::sendKeyEvent(QTest::Click, window, Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_TRUE(waitFor([&] { return titles() == QStringList({"Яблоко"}); }, 2000))
        << titles().join(',').toStdString();
    click(find(QStringLiteral("wholeLibrarySwitch")));
    EXPECT_TRUE(waitFor(
        [&] {
            return titles() == QStringList({"Глубина", "Яблоко"});
        },
        5000))
        << titles().join(',').toStdString();
    settle();
    window->grabWindow().save(QStringLiteral("/tmp/melodrop-shots/library-filter.png"));
}

TEST_F(DesktopWindowTest, WideLibrariesGetTagColumnsAndNarrowOnesKeepOneColumnInBothSchemes)
{
    const QString audio = StorageLayout::getAudioDir();
    const QString picture = root.filePath(QStringLiteral("cover.png"));
    ASSERT_EQ(TagFixtures::picture(picture, QStringLiteral("0x3080ff"), 64), QString());
    ASSERT_EQ(TagFixtures::mp3(audio + QStringLiteral("/Kino - Gruppa krovi.mp3"),
                               {QStringLiteral("Группа крови"), QStringLiteral("Кино"),
                                QStringLiteral("Группа крови"), QStringLiteral("1"), QStringLiteral("1988")},
                               4, 4, picture),
              QString());
    ASSERT_EQ(TagFixtures::mp3(audio + QStringLiteral("/Other/Splin - Orbit.mp3"),
                               {QStringLiteral("Орбит без сахара"), QStringLiteral("Сплин"),
                                QStringLiteral("Гранатовый альбом"), QString(), QString()}),
              QString());
    ASSERT_TRUE(Mp3Fixture::write(audio + QStringLiteral("/untagged recording.mp3"), 3));
    for (const char *name : {"Kino - Gruppa krovi.mp3", "untagged recording.mp3"})
        shell->tagCache()->forget(audio + QLatin1Char('/') + QLatin1String(name));
    Stores::playlist().append(PlaylistEntry{QStringLiteral("untagged recording.mp3"), false});
    openAudioLibrary();
    ASSERT_TRUE(waitFor(
        [&] {
            QQuickItem *row = find(QStringLiteral("libraryRow1"));
            QQuickItem *cover = row ? findItem(row, QStringLiteral("rowCover")) : nullptr;
            return cover && cover->property("status").toInt() == 1; // Image.Ready
        },
        5000))
        << "no cover in the row";
    QDir().mkpath(QStringLiteral("/tmp/melodrop-shots"));
    for (const bool dark : {false, true}) {
        shell->colorScheme()->applyPortalValue(dark ? ColorScheme::PreferDark : ColorScheme::PreferLight);
        const QString scheme = dark ? QStringLiteral("dark") : QStringLiteral("light");
        window->resize(1280, 800);
        settle();
        EXPECT_NE(find(QStringLiteral("columnArtist")), nullptr);
        QQuickItem *row = find(QStringLiteral("libraryRow1"));
        ASSERT_NE(row, nullptr);
        EXPECT_NE(findItem(row, QStringLiteral("rowArtist")), nullptr);
        window->grabWindow().save(QStringLiteral("/tmp/melodrop-shots/library-wide-%1.png").arg(scheme));
        window->resize(420, 740);
        settle();
        EXPECT_EQ(find(QStringLiteral("columnArtist")), nullptr) << "narrow windows keep one column";
        row = find(QStringLiteral("libraryRow1"));
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(findItem(row, QStringLiteral("rowArtist")), nullptr);
        EXPECT_EQ(findItem(row, QStringLiteral("rowTitle"))->property("text").toString(),
                  QStringLiteral("Группа крови"));
        window->grabWindow().save(QStringLiteral("/tmp/melodrop-shots/library-narrow-%1.png").arg(scheme));
    }
    shell->colorScheme()->applyPortalValue(ColorScheme::NoPreference);
    window->resize(1280, 800);
    settle();
}

TEST_F(DesktopWindowTest, ADoubleClickPlaysTheFileAndEscapeCoversTheDeleteButtonAgain)
{
    const QString audio = StorageLayout::getAudioDir();
    for (const QString &name : {QStringLiteral("In playlist.mp3"), QStringLiteral("Song.mp3")})
        ASSERT_TRUE(Mp3Fixture::write(audio + QLatin1Char('/') + name, 30));
    Stores::playlist().append(PlaylistEntry{QStringLiteral("In playlist.mp3"), false});
    openAudioLibrary();
    QQuickItem *row = waitForItem(QStringLiteral("libraryRow1"));
    ASSERT_NE(row, nullptr);
    settle();
    EXPECT_NE(findItem(find(QStringLiteral("libraryRow0")), QStringLiteral("inPlaylistMark")), nullptr);
    EXPECT_EQ(findItem(row, QStringLiteral("inPlaylistMark")), nullptr);

    QTest::mouseDClick(window, Qt::LeftButton, Qt::NoModifier,
                       row->mapToScene(QPointF(60, row->height() / 2)).toPoint());
    ASSERT_TRUE(
        waitFor([&] { return Stores::playlist().size() == 2 && MusicPlayer::currentIndex() == 1; }, 3000));
    EXPECT_EQ(Stores::playlist().at(1).file, QStringLiteral("Song.mp3"));
    auto *player = qobject_cast<LibraryPlayer *>(global->audioPlayer);
    ASSERT_NE(player, nullptr);
    EXPECT_EQ(QFileInfo(player->path()).fileName(), QStringLiteral("Song.mp3"));
    settle();
    EXPECT_EQ(find(QStringLiteral("alertTitle")), nullptr) << "a double click is no preview";
    EXPECT_NE(findItem(row, QStringLiteral("inPlaylistMark")), nullptr);

    // The row's menu offers the same: a file already in the playlist plays from there, not appended again.
    QQuickItem *first = find(QStringLiteral("libraryRow0"));
    ASSERT_NE(first, nullptr);
    click(first, Qt::RightButton, QPointF(40, first->height() / 2));
    ASSERT_TRUE(press(QStringLiteral("menuItem_playInPlayer")));
    ASSERT_TRUE(waitFor([&] { return MusicPlayer::currentIndex() == 0; }, 3000));
    EXPECT_EQ(Stores::playlist().size(), 2);
    settle();

    // The delete button, uncovered, goes again on Escape.
    auto *swipe = row->property("swipe").value<QObject *>();
    ASSERT_NE(swipe, nullptr);
    click(findItem(row, QStringLiteral("deleteToggle")));
    ASSERT_TRUE(waitFor([&] { return swipe->property("complete").toBool(); }, 2000))
        << "the button was not uncovered";
    settle();
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return swipe->property("position").toDouble() == 0.0; }, 2000));
    // And on a click elsewhere.
    click(findItem(row, QStringLiteral("deleteToggle")));
    ASSERT_TRUE(waitFor([&] { return swipe->property("complete").toBool(); }, 2000));
    settle();
    click(find(QStringLiteral("libraryFilter")));
    EXPECT_TRUE(waitFor([&] { return swipe->property("position").toDouble() == 0.0; }, 2000));
    EXPECT_TRUE(QFile::exists(audio + QStringLiteral("/Song.mp3")));
}

TEST_F(DesktopWindowTest, WithTheTrashSettingTheNoticeUndoesADeletion)
{
    const QString audio = StorageLayout::getAudioDir();
    // A name of this run's own: the trash is the machine's and may hold files of earlier runs.
    const QString name = QStringLiteral("Keep me %1.mp3").arg(QFileInfo(root.path()).fileName());
    const QString file = audio + QLatin1Char('/') + name;
    ASSERT_TRUE(Mp3Fixture::write(file, 5));
    // Where this machine's trash for the library is, from a probe (none: nothing to test here).
    const QString probe = audio + QStringLiteral("/probe.bin");
    ASSERT_TRUE(Mp3Fixture::write(probe, 1));
    QString probeInTrash;
    if (!QFile::moveToTrash(probe, &probeInTrash))
        GTEST_SKIP() << "no trash on the library's file system here";
    QFile::remove(probeInTrash);
    const QString trash = QFileInfo(probeInTrash).absolutePath();
    QFile::remove(trash + QStringLiteral("/../info/") + QFileInfo(probeInTrash).fileName() + ".trashinfo");
    Settings::shared().setBool(QStringLiteral("library/move_to_trash"), true);
    TestSupport::PacingScope pace(1); // the notice stays its few seconds
    openAudioLibrary();
    QQuickItem *row = waitForItem(QStringLiteral("libraryRow0"));
    ASSERT_NE(row, nullptr);
    settle();
    click(row, Qt::RightButton, QPointF(40, row->height() / 2));
    ASSERT_TRUE(press(QStringLiteral("menuItem_delete")));
    ASSERT_TRUE(press(QStringLiteral("alertButton1")));
    ASSERT_TRUE(waitFor([&] { return !QFile::exists(file); }, 3000));
    EXPECT_EQ(QDir(trash).entryList({name + QLatin1Char('*')}).size(), 1);
    QQuickItem *undo = waitForItem(QStringLiteral("undoButton"));
    ASSERT_NE(undo, nullptr);
    EXPECT_EQ(undo->property("text").toString(), QStringLiteral("Отменить"));
    settle();
    window->grabWindow().save(QStringLiteral("/tmp/melodrop-shots/library-undo.png"));
    click(undo);
    EXPECT_TRUE(waitFor([&] { return QFile::exists(file); }, 3000));
    EXPECT_TRUE(QDir(trash).entryList({name + QLatin1Char('*')}).isEmpty());
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("undoButton")) == nullptr; }, 2000));
}

TEST_F(DesktopWindowTest, TheVideoPlayerCoversTheWindowAndEscapeLeavesFullScreenFirst)
{
    QDir().mkpath(StorageLayout::getVideoDir());
    QFile clip(StorageLayout::getVideoDir() + QStringLiteral("/Clip.mp4"));
    ASSERT_TRUE(clip.open(QIODevice::WriteOnly));
    clip.write("not really a film"); // the player opens whether or not it can play it
    clip.close();
    key(Qt::Key_3, Qt::ControlModifier);
    settle();
    click(waitForItem(QStringLiteral("menuRow4"))); // Медиатека
    QQuickItem *row = waitForItem(QStringLiteral("libraryRow0"));
    settle(); // the page has slid in
    click(row);
    QQuickItem *close = waitForItem(QStringLiteral("closeButton"));
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(find(QStringLiteral("videoPointerArea"))->width(), window->width())
        << "it covers the sidebar too";
    settle();
    key(Qt::Key_F);
    EXPECT_TRUE(waitFor([&] { return window->visibility() == QWindow::FullScreen; }, 3000));
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return window->visibility() != QWindow::FullScreen; }, 3000));
    EXPECT_NE(find(QStringLiteral("closeButton")), nullptr) << "the first Escape only leaves full screen";
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("closeButton")) == nullptr; }, 3000));
}

class EnglishWindowTest : public DesktopWindowTest
{
protected:
    void SetUp() override
    {
        DesktopWindowTest::SetUp();
        ASSERT_TRUE(Translations::install(QLocale(QStringLiteral("en_US"))));
        engine->retranslate();
        settle();
    }
    void TearDown() override
    {
        EXPECT_FALSE(Translations::install(QLocale(QStringLiteral("ru_RU"))));
        EXPECT_TRUE(Translations::installedLanguage().isEmpty());
        engine->retranslate();
        DesktopWindowTest::TearDown();
    }
};

TEST_F(EnglishWindowTest, AnEnglishLocaleGetsTheEnglishTexts)
{
    EXPECT_EQ(Translations::installedLanguage(), QStringLiteral("en"));
    EXPECT_EQ(window->property("sectionNames").toStringList(),
              (QStringList{"Sign in", "Audio", "Video", "Downloads", "Settings"}));
    EXPECT_EQ(find(QStringLiteral("loginButton"))->property("text").toString(), QStringLiteral("Sign in"));
    // Texts made by the controllers too (the audio section is built when first shown).
    key(Qt::Key_2, Qt::ControlModifier);
    settle();
    auto *menu =
        qobject_cast<QAbstractItemModel *>(window->findChild<QObject *>(QStringLiteral("audioMenu")));
    ASSERT_NE(menu, nullptr);
    const int nameRole = menu->roleNames().key("name");
    EXPECT_EQ(menu->index(0, 0).data(nameRole).toString(), QStringLiteral("Search"));
    EXPECT_EQ(menu->index(5, 0).data(nameRole).toString(), QStringLiteral("Library"));
    EXPECT_EQ(QCoreApplication::translate("DownloadsFinished", "Сохранено файлов: %n", nullptr, 3),
              QStringLiteral("3 files saved"));
}

TEST(Translations, OnlyEnglishLocalesLeaveRussian)
{
    EXPECT_FALSE(Translations::install(QLocale(QStringLiteral("de_DE"))));
    EXPECT_FALSE(Translations::install(QLocale(QStringLiteral("ru_RU"))));
    EXPECT_TRUE(Translations::install(QLocale(QStringLiteral("en_GB"))));
    EXPECT_FALSE(Translations::install(QLocale(QStringLiteral("ru_UA"))));
    EXPECT_EQ(QCoreApplication::translate("Shell", "Загрузки ещё идут. Выйти?"),
              QStringLiteral("Загрузки ещё идут. Выйти?"));
}

TEST_F(DesktopWindowTest, EscapeAltLeftBackspaceAndTheMouseBackButtonGoBackOneScreen)
{
    QDir().mkpath(StorageLayout::getAudioDir() + QStringLiteral("/Folder"));
    ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/Folder/A - B.mp3"), 5));
    key(Qt::Key_2, Qt::ControlModifier); // the section is built when first shown
    settle();
    auto *audio = window->findChild<QQuickItem *>(QStringLiteral("audioStack"));
    ASSERT_NE(audio, nullptr);
    auto settledAt = [&](int depth) {
        return waitFor(
            [&] { return audio->property("depth").toInt() == depth && !audio->property("busy").toBool(); },
            5000);
    };
    auto openLibrary = [&] {
        click(waitForItem(QStringLiteral("menuRow5")));
        return settledAt(2);
    };
    ASSERT_TRUE(settledAt(1));

    // In the library, back goes up a folder first, as the back button does, then to the menu.
    ASSERT_TRUE(openLibrary());
    auto *library =
        audio->property("currentItem").value<QQuickItem *>()->property("controller").value<QObject *>();
    ASSERT_NE(library, nullptr);
    QQuickItem *folder = waitForItem(QStringLiteral("libraryRow0"));
    ASSERT_NE(folder, nullptr);
    click(folder);
    ASSERT_TRUE(waitFor([&] { return library->property("backButtonVisible").toBool(); }, 5000));
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !library->property("backButtonVisible").toBool(); }, 5000));
    EXPECT_EQ(audio->property("depth").toInt(), 2);

    key(Qt::Key_Escape);
    EXPECT_TRUE(settledAt(1));

    ASSERT_TRUE(openLibrary());
    key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(settledAt(1));

    ASSERT_TRUE(openLibrary());
    key(Qt::Key_Backspace);
    EXPECT_TRUE(settledAt(1));

    ASSERT_TRUE(openLibrary());
    QTest::mouseClick(window, Qt::BackButton, Qt::NoModifier,
                      QPoint(window->width() / 2, window->height() / 2));
    EXPECT_TRUE(settledAt(1));

    // A click on the section shown goes to its first screen.
    ASSERT_TRUE(openLibrary());
    click(find(QStringLiteral("sidebarSection1")));
    EXPECT_TRUE(settledAt(1));
    EXPECT_EQ(window->property("section").toInt(), 1);

    // Ctrl+F on the menu opens the search screen with its field taking the keys; there Backspace and Escape
    // belong to the field.
    key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(settledAt(2));
    QQuickItem *field = waitForItem(QStringLiteral("searchBar"));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(waitFor([&] { return field->hasActiveFocus(); }, 5000));
    type(QStringLiteral("ab"));
    key(Qt::Key_Backspace);
    EXPECT_EQ(field->property("text").toString(), QStringLiteral("a"));
    EXPECT_EQ(audio->property("depth").toInt(), 2);
    key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(settledAt(1));
}

} // namespace
