// The window as a desktop user meets it: wide and narrow layouts, keyboard shortcuts, context menus and the
// confirmations, driven with real key presses and clicks at the items' places.
#include "../library/TagFixtures.h"
#include "../support/Files.h"
#include "../support/MainWindowTest.h"
#include "../support/Mp3Fixture.h"

#include "app/Translations.h"
#include "library/TagCache.h"
#include "playback/MusicPlayer.h"
#include "screens/Audio_Playlist.h"

#include <QSignalSpy>

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
    // The service where the program looks for it, signed out.
    void useSandbox()
    {
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox.baseUrl())));
    }
    QString text(const QString &name) const { return find(name)->property("text").toString(); }
    static QString text(QQuickItem *row, const char *name)
    {
        return findItem(row, QLatin1String(name))->property("text").toString();
    }
    // An MP3 in the audio folder with these tags, read afresh (a file of an earlier case's root may be
    // cached).
    void writeTagged(const QString &name, const TagFixtures::Tags &tags, double seconds = 2,
                     const QString &picture = QString())
    {
        const QString path = StorageLayout::getAudioDir() + QLatin1Char('/') + name;
        ASSERT_EQ(TagFixtures::mp3(path, tags, seconds, 4, picture), QString());
        shell->tagCache()->forget(path);
    }
    // The title of each library row, top to bottom.
    QStringList libraryTitles() const
    {
        QStringList shown;
        for (int i = 0; QQuickItem *row = find(QStringLiteral("libraryRow%1").arg(i)); ++i)
            shown << text(row, "rowTitle");
        return shown;
    }
    bool libraryShows(const QStringList &titles, int timeoutMs = 2000) const
    {
        return waitFor([&] { return libraryTitles() == titles; }, timeoutMs);
    }

    Sandbox sandbox;
};

TEST_F(DesktopWindowTest, WideWindowsGetTheSidebarAndTheBarNarrowOnesTheTabs)
{
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
    ASSERT_NE(find(QStringLiteral("nowPlayingPlayPause")), nullptr);
    EXPECT_TRUE(inside(find(QStringLiteral("nowPlayingPlayPause"))));
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
}

TEST_F(DesktopWindowTest, TypingStartsInTheEmailFieldEnterSignsInAndAFailureSaysWhyOnThePage)
{
    ASSERT_NO_FATAL_FAILURE(useSandbox());
    // No click first: the page opens with the e-mail field taking the keys, and Tab leads to the password.
    const Sandbox::Account account = Sandbox::defaultAccount();
    type(QString::fromStdString(account.email));
    EXPECT_EQ(text(QStringLiteral("loginInput")), QString::fromStdString(account.email));
    key(Qt::Key_Tab);
    type(QStringLiteral("wrong"));
    EXPECT_EQ(text(QStringLiteral("passwordInput")), QStringLiteral("wrong"));
    auto *form = window->findChild<QObject *>(QStringLiteral("loginForm"));
    ASSERT_NE(form, nullptr);
    const auto noNotice = [&] { return form->property("hud").value<QObject *>() == nullptr; };
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return form->property("signInProblem").toString().size() > 0; }, 15000));
    ASSERT_TRUE(waitFor(noNotice, 15000));
    settle();
    // The notice has gone; the page still says why.
    QQuickItem *problem = find(QStringLiteral("signInProblem"));
    ASSERT_NE(problem, nullptr);
    EXPECT_TRUE(
        problem->property("text").toString().startsWith(QStringLiteral("Не удалось выполнить вход: ")));
    EXPECT_TRUE(global->vksid().isEmpty());

    // The right password and Enter sign in; the button now signs out, and the window has moved on to the
    // music.
    click(find(QStringLiteral("passwordInput")));
    key(Qt::Key_A, Qt::ControlModifier);
    type(QString::fromStdString(account.password));
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return !global->vksid().isEmpty(); }, 15000));
    ASSERT_TRUE(waitFor(noNotice, 15000));
    EXPECT_EQ(form->property("loginButtonImage").toString(), QStringLiteral("Logout_button.png"));
    EXPECT_TRUE(waitFor([&] { return window->property("section").toInt() == 1; }, 5000));
    // Control and a number switch sections.
    for (int index : {2, 4, 3, 1}) {
        key(Qt::Key_0 + index, Qt::ControlModifier);
        EXPECT_EQ(window->property("section").toInt(), index - 1);
    }
    settle();
    click(find(QStringLiteral("loginButton")));
    EXPECT_TRUE(waitFor([&] { return global->vksid().isEmpty(); }, 15000));
    waitFor(noNotice, 15000);
    // Signed out: the page stays, and typing goes to the e-mail field again.
    settle();
    EXPECT_EQ(window->property("section").toInt(), 0);
    EXPECT_TRUE(find(QStringLiteral("loginInput"))->hasActiveFocus());
}

TEST_F(DesktopWindowTest, EscapeAnswersADialogWithItsCancel)
{
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
    const QString keep = StorageLayout::getAudioDir() + QStringLiteral("/keep.mp3");
    TestSupport::writeFile(keep, "x");
    click(find(QStringLiteral("prefsButton")));
    ASSERT_NE(waitForItem(QStringLiteral("alertButton2")), nullptr);
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("alertButton2")) == nullptr; }, 3000));
    EXPECT_TRUE(QFileInfo::exists(keep));
}

TEST_F(DesktopWindowTest, EscapeClosesThePlayersMenusAndEachOpeningStartsWithoutEditModeOrSaveName)
{
    openPlayer();
    // The row menu closes with Escape and runs nothing.
    QQuickItem *row = waitForItem(QStringLiteral("playlistRow0"));
    ASSERT_NE(row, nullptr);
    settle();
    click(row, Qt::RightButton);
    ASSERT_NE(waitForItem(QStringLiteral("menuItem_remove")), nullptr);
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("menuItem_remove")) == nullptr; }, 3000));
    EXPECT_EQ(Stores::playlist().size(), 1);

    // In edit mode, a name saved with Return; the dialog again, left with Escape, saves nothing.
    ASSERT_TRUE(press(QStringLiteral("actionButton")));
    settle();
    ASSERT_NE(waitForItem(QStringLiteral("deleteBadge")), nullptr); // editing
    ASSERT_NE(openSaveDialog(), nullptr);
    type(QStringLiteral("Mix"));
    key(Qt::Key_Return);
    const QDir playlists(StorageLayout::getPlaylistsDir());
    ASSERT_TRUE(waitFor([&] { return playlists.exists(QStringLiteral("Mix.tuneplaylist")); }, 5000));
    settle();
    ASSERT_NE(openSaveDialog(), nullptr);
    type(QStringLiteral("Other"));
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("playlistNameField")) == nullptr; }, 3000));
    settle();
    EXPECT_EQ(playlists.entryList(QDir::Files), QStringList{QStringLiteral("Mix.tuneplaylist")});
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

TEST_F(DesktopWindowTest, TheBarShowsTheTrackAndItsCoverAndSpaceTogglesPlayback)
{
    const QString picture = root.filePath(QStringLiteral("cover.png"));
    ASSERT_EQ(TagFixtures::picture(picture, QStringLiteral("0xff8000"), 64), QString());
    writeTagged(QStringLiteral("cover.mp3"), {"Оранжевая", "Группа", "Альбом", "2", QString()}, 30, picture);
    ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/Singer - Song.mp3"), 60));
    Stores::playlist().append(PlaylistEntry{QStringLiteral("cover.mp3"), false});
    Stores::playlist().append(PlaylistEntry{QStringLiteral("Singer - Song.mp3"), false});
    Audio_Playlist::shared()->playSound(0);
    QQuickItem *cover = waitForPicture(QStringLiteral("nowPlayingCover"));
    ASSERT_NE(cover, nullptr) << "the cover never showed";
    EXPECT_EQ(text(QStringLiteral("nowPlayingTitle")), QStringLiteral("Оранжевая"));
    const QColor drawn = colourAtMiddle(grab(QStringLiteral("now-playing-cover.png")), cover);
    EXPECT_NEAR(drawn.red(), 255, 12);
    EXPECT_NEAR(drawn.green(), 128, 12);
    EXPECT_NEAR(drawn.blue(), 0, 12);

    // A file without tags: its name split into title and artist, and the placeholder for a cover.
    Audio_Playlist::shared()->playSound(1);
    ASSERT_TRUE(waitFor([&] { return find(QStringLiteral("nowPlayingCover")) == nullptr; }, 5000))
        << "the cover of the track before stays";
    ASSERT_NE(waitForItem([&] { return withText(QStringLiteral("Song")); }, 3000), nullptr);
    EXPECT_EQ(text(QStringLiteral("nowPlayingTitle")) + '|' + text(QStringLiteral("nowPlayingArtist")),
              QStringLiteral("Song|Singer"));
    ASSERT_NE(global->audioPlayer, nullptr);
    const auto playing = [&](bool is) {
        return waitFor([&] { return global->audioPlayer->isPlaying() == is; }, 3000);
    };
    ASSERT_TRUE(playing(true));

    // Away from the e-mail field, which has the keys when the page opens.
    find(QStringLiteral("loginInput"))->setFocus(false);
    window->contentItem()->forceActiveFocus();
    key(Qt::Key_Space);
    EXPECT_TRUE(playing(false));
    key(Qt::Key_Space);
    EXPECT_TRUE(playing(true));

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
    EXPECT_TRUE(playing(false));
}

TEST_F(DesktopWindowTest, WideLibrariesShowTagColumnsSortByAHeaderClickAndFilterAsYouType)
{
    const QString picture = root.filePath(QStringLiteral("cover.png"));
    ASSERT_EQ(TagFixtures::picture(picture, QStringLiteral("0x3080ff"), 64), QString());
    writeTagged(QStringLiteral("a.mp3"), {"Яблоко", "Кино", "Звезда", QString(), QString()}, 2, picture);
    writeTagged(QStringLiteral("b.mp3"), {"Берег", "Аквариум", "Радио", QString(), QString()});
    ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/c plain.mp3"), 3));
    shell->tagCache()->forget(StorageLayout::getAudioDir() + QStringLiteral("/c plain.mp3"));
    writeTagged(QStringLiteral("Deep/d.mp3"), {"Глубина", "Кино", QString(), QString(), QString()});
    openAudioLibrary();
    ASSERT_TRUE(libraryShows({"Deep", "Яблоко", "Берег", "c plain.mp3"}, 5000))
        << libraryTitles().join(',').toStdString();
    ASSERT_TRUE(waitFor(
        [&] {
            QQuickItem *cover = findItem(find(QStringLiteral("libraryRow1")), QStringLiteral("rowCover"));
            return cover && cover->property("status").toInt() == 1; // Image.Ready
        },
        5000))
        << "no cover in the row";
    QQuickItem *row = find(QStringLiteral("libraryRow1"));
    EXPECT_EQ(QStringList({text(row, "rowArtist"), text(row, "rowAlbum"), text(row, "rowDuration")}),
              QStringList({"Кино", "Звезда", "0:02"}));
    EXPECT_NE(find(QStringLiteral("columnArtist")), nullptr);
    // Narrow windows keep one column.
    window->resize(420, 740);
    settle();
    EXPECT_EQ(find(QStringLiteral("columnArtist")), nullptr);
    ASSERT_NE(row = find(QStringLiteral("libraryRow1")), nullptr);
    EXPECT_EQ(findItem(row, QStringLiteral("rowArtist")), nullptr);
    EXPECT_EQ(text(row, "rowTitle"), QStringLiteral("Яблоко"));
    window->resize(1280, 800);
    settle();

    // A header click sorts by its column.
    click(find(QStringLiteral("columnTitle")));
    EXPECT_TRUE(libraryShows({"Deep", "c plain.mp3", "Берег", "Яблоко"}))
        << libraryTitles().join(',').toStdString();

    // Ctrl+F and typing narrow the folder by any tag; the switch searches the whole library.
    key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_NE(find(QStringLiteral("libraryFilter")), nullptr);
    EXPECT_TRUE(find(QStringLiteral("libraryFilter"))->hasActiveFocus());
    for (const QChar c : QStringLiteral("кино"))
        QTest::sendKeyEvent(QTest::Click, window, Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_TRUE(libraryShows({"Яблоко"})) << libraryTitles().join(',').toStdString();
    click(find(QStringLiteral("wholeLibrarySwitch")));
    EXPECT_TRUE(libraryShows({"Глубина", "Яблоко"}, 5000)) << libraryTitles().join(',').toStdString();
}

TEST_F(DesktopWindowTest, LibraryRowsPlayOnADoubleClickOrFromTheirMenuAndAskBeforeDeleting)
{
    for (const char *name : {"/First.mp3", "/Second.mp3", "/Third.mp3"})
        ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QLatin1String(name), 30));
    const auto files = [] { return QDir(StorageLayout::getAudioDir()).entryList({"*.mp3"}); };
    Stores::playlist().append(PlaylistEntry{QStringLiteral("First.mp3"), false});
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
    settle();
    EXPECT_EQ(find(QStringLiteral("alertTitle")), nullptr) << "a double click is no preview";
    EXPECT_NE(findItem(row, QStringLiteral("inPlaylistMark")), nullptr);

    // The row's menu plays a file from there too.
    QQuickItem *first = find(QStringLiteral("libraryRow0"));
    ASSERT_NE(first, nullptr);
    click(first, Qt::RightButton, QPointF(40, first->height() / 2));
    ASSERT_TRUE(press(QStringLiteral("menuItem_playInPlayer")));
    ASSERT_TRUE(waitFor([&] { return MusicPlayer::currentIndex() == 0; }, 3000));
    settle();

    // The delete button, uncovered, goes again on Escape, and on a click elsewhere.
    auto *swipe = row->property("swipe").value<QObject *>();
    ASSERT_NE(swipe, nullptr);
    for (const bool byKey : {true, false}) {
        click(findItem(row, QStringLiteral("deleteToggle")));
        ASSERT_TRUE(waitFor([&] { return swipe->property("complete").toBool(); }, 2000))
            << "the button was not uncovered";
        settle();
        if (byKey)
            key(Qt::Key_Escape);
        else
            click(find(QStringLiteral("libraryFilter")));
        EXPECT_TRUE(waitFor([&] { return swipe->property("position").toDouble() == 0.0; }, 2000)) << byKey;
    }
    EXPECT_EQ(files().size(), 3);

    // The menu's "delete" asks once, naming the file; its "Удалить" deletes it.
    QQuickItem *third = find(QStringLiteral("libraryRow2"));
    ASSERT_NE(third, nullptr);
    click(third, Qt::RightButton, QPointF(40, third->height() / 2));
    ASSERT_TRUE(press(QStringLiteral("menuItem_delete")));
    ASSERT_NE(waitForItem(QStringLiteral("alertTitle")), nullptr);
    settle();
    EXPECT_EQ(text(QStringLiteral("alertMessage")), QStringLiteral("Удалить «Third.mp3»?"));
    click(waitForItem(QStringLiteral("alertButton1")));
    ASSERT_TRUE(waitFor([&] { return files() == QStringList({"First.mp3", "Second.mp3"}); }, 3000));
    settle();

    // A left click selects the row (and previews it); once the preview is closed, Delete asks about that row,
    // and "Отмена" keeps it.
    click(waitForItem(QStringLiteral("libraryRow0")));
    ASSERT_TRUE(press(QStringLiteral("alertButton0"))); // Закрыть
    settle();
    key(Qt::Key_Delete);
    ASSERT_NE(waitForItem(QStringLiteral("alertTitle")), nullptr) << "Delete did nothing on the clicked row";
    settle();
    EXPECT_EQ(text(QStringLiteral("alertMessage")), QStringLiteral("Удалить «First.mp3»?"));
    click(find(QStringLiteral("alertButton0")));
    settle();
    EXPECT_EQ(files().size(), 2) << "deleted without being confirmed";
}

TEST_F(DesktopWindowTest, WithTheTrashSettingTheNoticeUndoesADeletion)
{
    // A name of this run's own: the trash is the machine's and may hold files of earlier runs.
    const QString file = StorageLayout::getAudioDir() +
                         QStringLiteral("/Keep me %1.mp3").arg(QFileInfo(root.path()).fileName());
    ASSERT_TRUE(Mp3Fixture::write(file, 5));
    // Whether this machine has a trash for the library, from a probe (none: nothing to test here).
    const QString probe = StorageLayout::getAudioDir() + QStringLiteral("/probe.bin");
    ASSERT_TRUE(Mp3Fixture::write(probe, 1));
    QString probeInTrash;
    if (!QFile::moveToTrash(probe, &probeInTrash))
        GTEST_SKIP() << "no trash on the library's file system here";
    QFile::remove(probeInTrash);
    QFile::remove(QFileInfo(probeInTrash).absolutePath() + QStringLiteral("/../info/") +
                  QFileInfo(probeInTrash).fileName() + ".trashinfo");
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
    QQuickItem *undo = waitForItem(QStringLiteral("undoButton"));
    ASSERT_NE(undo, nullptr);
    EXPECT_EQ(undo->property("text").toString(), QStringLiteral("Отменить"));
    settle(); // the notice has slid in
    click(undo);
    EXPECT_TRUE(waitFor([&] { return QFile::exists(file); }, 3000));
    EXPECT_TRUE(waitFor([&] { return find(QStringLiteral("undoButton")) == nullptr; }, 2000));
}

TEST_F(DesktopWindowTest, TheVideoPlayerCoversTheWindowAndEscapeLeavesFullScreenFirst)
{
    // The player opens whether or not it can play the file.
    TestSupport::writeFile(StorageLayout::getVideoDir() + QStringLiteral("/Clip.mp4"), "not really a film");
    key(Qt::Key_3, Qt::ControlModifier);
    settle();
    click(waitForItem(QStringLiteral("menuRow4"))); // Медиатека
    QQuickItem *row = waitForItem(QStringLiteral("libraryRow0"));
    settle(); // the page has slid in
    click(row);
    ASSERT_NE(waitForItem(QStringLiteral("closeButton")), nullptr);
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
    EXPECT_EQ(text(QStringLiteral("loginButton")), QStringLiteral("Sign in"));
    // Texts made by the controllers too (the audio section is built when first shown).
    key(Qt::Key_2, Qt::ControlModifier);
    settle();
    auto *menu =
        qobject_cast<QAbstractItemModel *>(window->findChild<QObject *>(QStringLiteral("audioMenu")));
    ASSERT_NE(menu, nullptr);
    const int nameRole = menu->roleNames().key("name");
    EXPECT_EQ(QStringList(
                  {menu->index(0, 0).data(nameRole).toString(), menu->index(5, 0).data(nameRole).toString()}),
              QStringList({"Search", "Library"}));
    EXPECT_EQ(QCoreApplication::translate("DownloadsFinished", "Сохранено файлов: %n", nullptr, 3),
              QStringLiteral("3 files saved"));
}

TEST(Translations, OnlyEnglishLocalesLeaveRussian)
{
    const std::pair<const char *, bool> locales[] = {
        {"de_DE", false}, {"ru_RU", false}, {"en_GB", true}, {"ru_UA", false}};
    for (const auto &[locale, english] : locales)
        EXPECT_EQ(Translations::install(QLocale(QLatin1String(locale))), english) << locale;
    EXPECT_EQ(QCoreApplication::translate("Shell", "Загрузки ещё идут. Выйти?"),
              QStringLiteral("Загрузки ещё идут. Выйти?"));
}

TEST_F(DesktopWindowTest, EscapeAltLeftBackspaceAndTheMouseBackButtonGoBackOneScreen)
{
    ASSERT_TRUE(Mp3Fixture::write(StorageLayout::getAudioDir() + QStringLiteral("/Folder/A - B.mp3"), 5));
    key(Qt::Key_2, Qt::ControlModifier); // the section is built when first shown
    settle();
    QQuickItem *audio = stack("audioStack");
    ASSERT_NE(audio, nullptr);
    const auto backAt = [&](int depth) { return waitFor([&] { return settledAt(audio, depth); }, 5000); };
    const auto openLibrary = [&] {
        click(waitForItem(QStringLiteral("menuRow5")));
        return backAt(2);
    };
    ASSERT_TRUE(backAt(1));

    // In the library, back goes up a folder first, as the back button does, then to the menu.
    ASSERT_TRUE(openLibrary());
    QObject *library = controllerOnTop(audio);
    ASSERT_NE(library, nullptr);
    QQuickItem *folder = waitForItem(QStringLiteral("libraryRow0"));
    ASSERT_NE(folder, nullptr);
    click(folder);
    ASSERT_TRUE(waitFor([&] { return library->property("backButtonVisible").toBool(); }, 5000));
    key(Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return !library->property("backButtonVisible").toBool(); }, 5000));
    EXPECT_EQ(audio->property("depth").toInt(), 2);
    key(Qt::Key_Escape);
    EXPECT_TRUE(backAt(1));

    // Each way back; a click on the section shown goes to its first screen.
    const std::pair<const char *, std::function<void()>> ways[] = {
        {"Alt+Left", [&] { key(Qt::Key_Left, Qt::AltModifier); }},
        {"Backspace", [&] { key(Qt::Key_Backspace); }},
        {"mouse back button",
         [&] {
             QTest::mouseClick(window, Qt::BackButton, Qt::NoModifier,
                               QPoint(window->width() / 2, window->height() / 2));
         }},
        {"section", [&] { click(find(QStringLiteral("sidebarSection1"))); }},
    };
    for (const auto &[way, goBack] : ways) {
        SCOPED_TRACE(way);
        ASSERT_TRUE(openLibrary());
        goBack();
        EXPECT_TRUE(backAt(1));
    }
    EXPECT_EQ(window->property("section").toInt(), 1);

    // Ctrl+F on the menu opens the search screen with its field taking the keys; there Backspace and Escape
    // belong to the field.
    key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(backAt(2));
    QQuickItem *field = waitForItem(QStringLiteral("searchBar"));
    ASSERT_NE(field, nullptr);
    EXPECT_TRUE(waitFor([&] { return field->hasActiveFocus(); }, 5000));
    type(QStringLiteral("ab"));
    key(Qt::Key_Backspace);
    EXPECT_EQ(field->property("text").toString(), QStringLiteral("a"));
    EXPECT_EQ(audio->property("depth").toInt(), 2);
    key(Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(backAt(1));
}

} // namespace
