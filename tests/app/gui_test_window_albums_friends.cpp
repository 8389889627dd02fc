// The album and friends screens in the whole window, against the sandbox, with real clicks and key presses:
// an album found, opened, queued and downloaded into the library; the friends list walked by keyboard;
// notices that leave the window usable under them.
#include "../support/MainWindowTest.h"

#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxFriends.h"
#include "sandbox/SandboxLastfm.h"

#include <QClipboard>
#include <QGuiApplication>

namespace {

using TestSupport::waitFor;

class AlbumsFriendsWindowTest : public SignedInWindowTest
{
protected:
    void beforeWindow() override
    {
        clearStores();
        SignedInWindowTest::beforeWindow();
    }
    void TearDown() override
    {
        SignedInWindowTest::TearDown();
        clearStores();
    }
    static void clearStores()
    {
        Stores::audioFound().clear();
        Stores::albums().clear();
        Stores::friendsGroups().clear();
    }

    // Ctrl+N, then the section's page has laid its rows out.
    void section(int number)
    {
        key(Qt::Key_0 + number, Qt::ControlModifier);
        settle();
    }
    // The albums screen from the audio menu, as the audio stack shows it; the stack.
    QQuickItem *openAlbums()
    {
        section(2);
        QQuickItem *audio = stack("audioStack");
        if (audio) {
            click(waitForItem([&] { return withText(QStringLiteral("Альбомы")); }));
            waitFor([&] { return settledAt(audio, 2); }, 5000);
        }
        return audio && settledAt(audio, 2) ? audio : nullptr;
    }
};

TEST_F(AlbumsFriendsWindowTest, AnAlbumFoundOpenedQueuedAndDownloadedLandsInTheLibrary)
{
    // Notices stay up for half their time in the program: long enough for clicks to land under them.
    TestSupport::PacingScope pace(0.5);
    QQuickItem *audio = openAlbums();
    ASSERT_NE(audio, nullptr);
    EXPECT_STREQ(controllerOnTop(audio)->metaObject()->className(), "Audio_Albums");

    // Enter in the field searches; while the count of albums is up, the albums are listed and one opens with
    // a click, which looks its tracks up and opens them on the search screen, as an album.
    click(find(QStringLiteral("searchBar")));
    type(QStringLiteral("Greatest"));
    key(Qt::Key_Return);
    ASSERT_NE(waitForItem([&] { return withText(QStringLiteral("Найдено муз. альбомов: 3")); }, 20000),
              nullptr);
    QQuickItem *queen = withText(QStringLiteral("Queen"));
    ASSERT_NE(queen, nullptr);
    EXPECT_NE(withText(QStringLiteral("Scorpions")), nullptr);
    EXPECT_TRUE(inside(queen));
    const SandboxAlbum album = SandboxLastfm::albumsOf(sandbox).front();
    ASSERT_EQ(album.artist, "Queen");
    ASSERT_GE(album.tracks.size(), 3u);
    click(queen);
    ASSERT_TRUE(waitFor([&] { return settledAt(audio, 3); }, 30000));
    QObject *search = controllerOnTop(audio);
    ASSERT_NE(search, nullptr);
    EXPECT_STREQ(search->metaObject()->className(), "Audio_Search");
    EXPECT_EQ(search->property("title").toString(), QStringLiteral("Greatest Hits"));
    EXPECT_EQ(search->property("placeholder").toString(), QStringLiteral("Альбом: Greatest Hits"));
    ASSERT_TRUE(waitFor(
        [&] {
            return !search->property("hud").value<QObject *>() && !search->property("tableBusy").toBool();
        },
        10000));
    ASSERT_EQ(Stores::audioFound().size(), qsizetype(album.tracks.size()));
    ASSERT_NE(waitForItem([&] { return withText(QString::fromStdString(album.tracks.front().second)); }),
              nullptr);

    // Two queue arrows clicked 0.4 s apart queue two records, the second under the notice of the first.
    auto queueButtonOfFirstRow = [&] {
        return find([](QQuickItem *item) {
            if (item->objectName() != QStringLiteral("queueButton"))
                return false;
            for (QQuickItem *p = item->parentItem(); p; p = p->parentItem()) {
                if (p->objectName() == QStringLiteral("resultRow0"))
                    return true;
            }
            return false;
        });
    };
    click(waitForItem(queueButtonOfFirstRow));
    ASSERT_NE(waitForItem([&] { return withText(QStringLiteral("Запись добавлена в очередь")); }, 3000),
              nullptr);
    QTest::qWait(400);
    ASSERT_NE(withText(QStringLiteral("Запись добавлена в очередь")), nullptr) << "the notice went too soon";
    click(waitForItem(queueButtonOfFirstRow));
    const auto queued = [] { return DownloadQueue::shared().items(DownloadQueue::Audio).size(); };
    EXPECT_TRUE(waitFor([&] { return queued() == 2; }, 3000)) << queued();
    EXPECT_EQ(Stores::audioFound().size(), qsizetype(album.tracks.size()) - 2);

    // The rest queued at once, the downloads started, and the files are in the audio folder.
    ASSERT_TRUE(waitFor([&] { return !search->property("hud").value<QObject *>(); }, 10000));
    click(find(QStringLiteral("queueAllButton")));
    ASSERT_TRUE(waitFor([&] { return queued() == qsizetype(album.tracks.size()); }, 5000));
    ASSERT_TRUE(waitFor([&] { return !search->property("tableBusy").toBool(); }, 5000));
    section(4);
    click(waitForItem([&] { return find(QStringLiteral("startAllButton")); }));
    ASSERT_TRUE(waitFor([&] { return queued() == 0; }, 60000));
    const QStringList files = QDir(StorageLayout::getAudioDir()).entryList({QStringLiteral("*.mp3")});
    EXPECT_EQ(files.size(), qsizetype(album.tracks.size())) << files.join('|').toStdString();
}

TEST_F(AlbumsFriendsWindowTest, NarrowWindowByKeyboardAlbumTracksAndTheFriendsList)
{
    window->resize(420, 740);
    settle();
    QQuickItem *audio = openAlbums();
    ASSERT_NE(audio, nullptr);
    // Ctrl+F, the query, Return; then Down and Return open the first album.
    key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(focusIn(QStringLiteral("searchBar")));
    type(QStringLiteral("Live"));
    key(Qt::Key_Return);
    QObject *albums = controllerOnTop(audio);
    ASSERT_TRUE(waitFor(
        [&] { return Stores::albums().size() == 1 && !albums->property("searchBusy").toBool(); }, 20000));
    ASSERT_TRUE(waitFor([&] { return focusIn(QStringLiteral("albumTable")); }, 5000));
    QQuickItem *name = waitForItem([&] { return withText(QStringLiteral("Live & Loud")); });
    ASSERT_NE(name, nullptr);
    EXPECT_TRUE(inside(name));
    key(Qt::Key_Down);
    key(Qt::Key_Return);
    ASSERT_TRUE(waitFor([&] { return settledAt(audio, 3); }, 30000));
    EXPECT_EQ(controllerOnTop(audio)->property("placeholder").toString(),
              QStringLiteral("Альбом: Live & Loud"));
    settle(); // the rows are drawn: the album's last track loads no further page
    ASSERT_EQ(Stores::audioFound().size(), 1);
    // The field is closed on an album's tracks: the keyboard is on the track list, and the keypad's Enter
    // previews the track, as Return does.
    ASSERT_TRUE(waitFor([&] { return focusIn(QStringLiteral("audioTable")); }, 5000));
    key(Qt::Key_Down);
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_NE(waitForItem(QStringLiteral("alertButton0"), 10000), nullptr);
    key(Qt::Key_Escape);
    settle();

    // The friends from the video menu: the list in sections, an index letter typed on the list shows its
    // section, and Return copies the row's number.
    section(3);
    QQuickItem *video = stack("videoStack");
    ASSERT_NE(video, nullptr);
    click(waitForItem([&] { return withText(QStringLiteral("Друзья и группы")); }));
    ASSERT_TRUE(waitFor([&] { return settledAt(video, 2); }, 5000));
    QObject *friends = controllerOnTop(video);
    ASSERT_NE(friends, nullptr);
    const auto listed = [&](size_t count) {
        return waitFor(
            [&] {
                return friends->property("title").toString() == QStringLiteral("Всего: %1").arg(count) &&
                       !friends->property("busy").toBool();
            },
            20000);
    };
    click(find(QStringLiteral("friendsButton")));
    ASSERT_TRUE(listed(SandboxFriends::friendsOf(sandbox, Sandbox::defaultAccount().uid).size()));
    const QStringList alphabet = friends->property("alphabet").toStringList();
    ASSERT_GE(alphabet.size(), 3);
    QQuickItem *sideIndex = find(QStringLiteral("sideIndex"));
    ASSERT_NE(sideIndex, nullptr);
    EXPECT_TRUE(inside(sideIndex));

    // The last Latin section, far down the list.
    QString letter;
    for (const QString &l : alphabet) {
        if (l.size() == 1 && l.at(0) >= QLatin1Char('A') && l.at(0) <= QLatin1Char('Z'))
            letter = l;
    }
    ASSERT_FALSE(letter.isEmpty());
    for (int press = 0; press < 20 && !focusIn(QStringLiteral("friendsTable")); ++press)
        key(Qt::Key_Tab);
    ASSERT_TRUE(focusIn(QStringLiteral("friendsTable")));
    QTest::keyClick(window, letter.toLower().at(0).toLatin1());
    QQuickItem *table = find(QStringLiteral("friendsTable"));
    auto *currentRow = table->property("currentItem").value<QQuickItem *>();
    ASSERT_NE(currentRow, nullptr);
    QQuickItem *rowName = findItem(currentRow, QStringLiteral("friendName"));
    ASSERT_NE(rowName, nullptr);
    EXPECT_TRUE(rowName->property("text").toString().startsWith(letter, Qt::CaseInsensitive));
    EXPECT_TRUE(inside(rowName));

    QGuiApplication::clipboard()->clear();
    TestSupport::PacingScope pace(0.5);
    key(Qt::Key_Return);
    QQuickItem *description = findItem(currentRow, QStringLiteral("friendDescription"));
    ASSERT_NE(description, nullptr);
    EXPECT_EQ(QStringLiteral("id") + QGuiApplication::clipboard()->text(),
              description->property("text").toString());
    EXPECT_NE(waitForItem([&] { return withText(QStringLiteral("ID скопирован в буфер")); }, 3000), nullptr);
    ASSERT_TRUE(waitFor([&] { return !friends->property("busy").toBool(); }, 5000));

    // The row's menu (the Menu key on the list) opens that person's audio list in the audio section, asked
    // for with their number; the friends screen stays where it was in the video section.
    const QString number = QGuiApplication::clipboard()->text();
    ASSERT_FALSE(number.isEmpty());
    const int audioDepth = audio->property("depth").toInt();
    key(Qt::Key_Menu);
    QQuickItem *openAudio = waitForItem([&] { return find(QStringLiteral("menuItem_audio")); });
    ASSERT_NE(openAudio, nullptr);
    EXPECT_EQ(openAudio->property("text").toString(), QStringLiteral("Аудиозаписи пользователя"));
    click(openAudio);
    ASSERT_TRUE(waitFor([&] { return settledAt(audio, audioDepth + 1); }, 5000));
    QObject *personal = controllerOnTop(audio);
    ASSERT_NE(personal, nullptr);
    EXPECT_EQ(personal->property("kind").toInt(), 1) << "the personal audio screen";
    EXPECT_EQ(personal->property("title").toString(), rowName->property("text").toString());
    ASSERT_TRUE(waitFor([&] { return !personal->property("searchBusy").toBool(); }, 20000));
    const std::optional<SandboxRequest> list = SandboxAudio::lastRequest(sandbox, "list");
    ASSERT_TRUE(list.has_value());
    EXPECT_TRUE(QString::fromStdString(list->target).endsWith(QStringLiteral("&gid=0&id=") + number))
        << list->target;
    EXPECT_EQ(window->property("section").toInt(), 1);
    section(3);
    ASSERT_TRUE(settledAt(video, 2));

    // The communities replace them; every picture on the screen arrives through the cached loader.
    click(find(QStringLiteral("groupsButton")));
    ASSERT_TRUE(listed(SandboxFriends::groupsOf(sandbox, Sandbox::defaultAccount().uid).size()));
    auto avatarsOnScreen = [&](bool ready) {
        return findAll(window->contentItem(),
                       [&](QQuickItem *item) {
                           return item->objectName() == QStringLiteral("avatar") && inside(item) &&
                                  (!ready || item->property("ready").toBool());
                       })
            .size();
    };
    ASSERT_GE(avatarsOnScreen(false), 5);
    // The pictures come from the stand-in over the network cache: slow when the whole suite runs at once.
    EXPECT_TRUE(waitFor([&] { return avatarsOnScreen(true) == avatarsOnScreen(false); }, 30000))
        << avatarsOnScreen(true) << " of " << avatarsOnScreen(false);
    EXPECT_FALSE(QDir(imageFolder->path()).isEmpty()) << "the pictures were not kept on disk";
}

} // namespace
