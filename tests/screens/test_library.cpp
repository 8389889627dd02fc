#include "../support/FakeMusic.h"
#include "../support/Mp3Fixture.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "library/LibraryFilter.h"
#include "library/LibraryScan.h"
#include "library/LibraryStore.h"
#include "library/TagCache.h"
#include "playback/AudioPlayer.h"
#include "playback/MusicPlayer.h"
#include "sandbox/Sandbox.h"
#include "screens/Audio_Export.h"
#include "screens/Audio_Library.h"
#include "screens/AudioMenu.h"
#include "screens/Video_Library.h"

#include <QAbstractItemModelTester>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

constexpr qint64 MB = 1048576;

// What the screen asked the user: "title|message|buttons|tag".
struct Alerts : QList<QString>
{
    explicit Alerts(LibraryBrowser &screen)
    {
        QObject::connect(
            &screen, &LibraryBrowser::alertRequested, &guard,
            [this](const QString &title, const QString &message, const QStringList &buttons, int tag) {
                append(QStringList{title, message, buttons.join(','), QString::number(tag)}.join('|'));
            });
    }
    QObject guard;
};

// Keeps the library store's worker from starting anything while it lives (or until released).
struct WorkerHeld
{
    WorkerHeld() { LibraryStore::holdWorker(true); }
    ~WorkerHeld() { release(); }
    void release() { LibraryStore::holdWorker(false); }
};

QString sizeDetail(qint64 bytes)
{
    return QStringLiteral("Размер: %1 Мб").arg(double(LibraryBrowser::megabytes(bytes)), 0, 'f', 2);
}

// What the library showed when it asked Qt for everything: QDir's sorted listing and QFileInfo for the rows
// ("name|folder|" or "name|file|size"), QDirIterator walks for the size below a folder and for the menus'
// count. The one-pass listing and the store's sums must come to the same.
struct QtReference
{
    QStringList names;
    QStringList rows;
    qint64 bytesBelow = 0;
    int entriesBelow = 0;

    QtReference(const QString &folder, const QString &extension)
    {
        const QStringList all =
            QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                   QDir::Name | QDir::IgnoreCase);
        QStringList files;
        for (const QString &name : all) {
            if (QFileInfo(folder + QLatin1Char('/') + name).isDir()) {
                names << name;
                rows << name + "|folder|";
            } else if (LibraryScan::pathExtension(name).toLower() == extension) {
                files << name;
            }
        }
        for (const QString &name : files) {
            const QFileInfo info(folder + QLatin1Char('/') + name);
            names << name;
            rows << name + "|file|" + sizeDetail(info.exists() ? info.size() : 0);
        }
        QDirIterator sizes(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDirIterator::Subdirectories);
        while (sizes.hasNext()) {
            sizes.next();
            if (LibraryScan::pathExtension(sizes.fileName()).toLower() == extension)
                bytesBelow += std::max<qint64>(0, sizes.fileInfo().size());
        }
        QDirIterator entries(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                             QDirIterator::Subdirectories);
        while (entries.hasNext()) {
            entries.next();
            if (entries.fileInfo().suffix().toLower() == extension)
                ++entriesBelow;
        }
    }
};

class LibraryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        settings = std::make_unique<Settings>(root.filePath("settings.conf"));
        global = GlobalData::sharedGlobalData();
        global->audioLibraryArray.clear();
        global->videoLibraryArray.clear();
        Stores::playlist().clear();
        global->audioPlayer = nullptr;
        audioDir = StorageLayout::getAudioDir();
        videoDir = StorageLayout::getVideoDir();
        ASSERT_TRUE(QDir().mkpath(audioDir));
        ASSERT_TRUE(QDir().mkpath(videoDir));
    }
    void TearDown() override
    {
        Stores::playlist().clear();
        global->audioPlayer = nullptr;
        for (const QPointer<FakeMusic> &music : musics)
            delete music.data();
        LibraryScan::setEntryTypesIgnored(false);
        DownloadQueue::shared().clear();
        StorageLayout::setRootDir(QString());
    }

    QString inAudio(const QString &name) const { return audioDir + QLatin1Char('/') + name; }
    QStringList &listing() const { return global->audioLibraryArray; }
    // Where the screen is and what it lists: "Rock/Metal: deep.mp3".
    QString place(const LibraryBrowser &screen) const
    {
        return screen.pathToDir().join('/') + ": " + listing().join(", ");
    }
    static void writeFile(const QString &path, qint64 bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(bytes));
    }
    void writeMp3(const QString &name, double seconds = 1.0)
    {
        QDir().mkpath(QFileInfo(inAudio(name)).absolutePath());
        ASSERT_TRUE(Mp3Fixture::write(inAudio(name), seconds));
    }
    // Lets the store's worker hand its sums over until the title is `expected`.
    static ::testing::AssertionResult titleBecomes(const LibraryBrowser &screen, const QString &expected)
    {
        if (TestSupport::waitFor([&] { return screen.title() == expected; }))
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "the title is \"" << screen.title().toStdString()
                                             << "\", not \"" << expected.toStdString() << "\"";
    }
    static QString totalTitle(qint64 bytes, bool top)
    {
        return QString::fromUtf8(top ? "Всего: %1 Мб" : "Папка: %1 Мб")
            .arg(double(LibraryBrowser::megabytes(bytes)), 0, 'f', 1);
    }
    // The screen's rows as "name|folder|" or "name|file|size", with "|icon|accessory|delete title" for
    // `looks`.
    static QStringList rowLines(const LibraryBrowser &screen, bool looks = false)
    {
        QStringList lines;
        for (const LibraryEntries::Row &row : screen.entries()->rows()) {
            QStringList fields{row.name, row.folder ? "folder" : "file", row.detail};
            if (looks)
                fields << row.icon << (row.accessory ? "+" : "-") << row.deleteTitle;
            lines << fields.join('|');
        }
        return lines;
    }
    // Files, folders, links and a pipe of every kind the listing must judge as Qt did, in `folder`.
    static void writeMessyTree(const QString &folder, const QString &outside)
    {
        const auto write = [&](const char *name, qint64 bytes) {
            writeFile(folder + QLatin1Char('/') + QString::fromUtf8(name), bytes);
        };
        write("b song.mp3", MB + MB / 2);
        write("A Song.MP3", 2 * MB);
        write(".mp3", 3 * MB); // hidden: counted by the menus, not listed
        write("..mp3", 1024);
        write("x.tar.mp3", 7 * MB / 3);
        write("Rock/inner.mp3", MB);
        write("Rock/Metal/deep.MP3", 2 * MB);
        write("Rock/Metal/.cover.mp3", 5000);
        write(".hidden/h.mp3", MB / 2);
        write("Album.mp3/in.mp3", MB / 4);
        for (const char *name : {"a.", "cover.jpg", "README", "song.mp3.12.temp", "clip.mp4"})
            write(name, 10);
        // Sorted as QDir sorts ignoring case: lower-cased, then code unit by code unit.
        for (const char *name : {"Ёлка.mp3", "ель.mp3", "Ежи.mp3", "ς.mp3", "σ.mp3", "Σb.mp3", "_x.mp3",
                                 "Zed.mp3", "ßa.mp3", "ssb.mp3", "İd.mp3", "ie.mp3"})
            write(name, 100000);
        QDir().mkpath(folder + "/Vol. 2");
        QDir().mkpath(folder + "/empty");
        writeFile(outside + "/x.mp3", 5 * MB);
        writeFile(outside + "/sub/y.mp3", 6 * MB);
        ASSERT_TRUE(QFile::link(outside, folder + "/Linked"));
        ASSERT_TRUE(QFile::link(outside, folder + "/LinkedDir.mp3"));
        ASSERT_TRUE(QFile::link(outside + "/x.mp3", folder + "/linked.mp3"));
        ASSERT_TRUE(QFile::link(folder + "/nowhere", folder + "/broken.mp3"));
        ASSERT_TRUE(QFile::link(folder, folder + "/Rock/up")); // a loop, never walked
        ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "/pipe.mp3").constData(), 0600), 0);
    }
    // The library screen, the export screen and the menu over the messy tree, each against QtReference: in
    // the audio folder, in a sub-folder, in a folder reached through a link.
    void expectWhatQtSaid()
    {
        QTemporaryDir outside;
        writeMessyTree(audioDir, outside.path());
        const QtReference top(audioDir, "mp3");
        // The reference itself, in brief: folders of every kind first, hidden and link ones included.
        ASSERT_EQ(top.names.mid(0, 8), (QStringList{".hidden", "Album.mp3", "empty", "Linked",
                                                    "LinkedDir.mp3", "Rock", "Vol. 2", "..mp3"}));

        Audio_Library screen(settings.get());
        AudioMenu menu(settings.get());
        screen.viewWillAppear();
        EXPECT_EQ(listing(), top.names);
        EXPECT_EQ(rowLines(screen), top.rows);
        EXPECT_TRUE(titleBecomes(screen, totalTitle(top.bytesBelow, true)));
        menu.viewWillAppear();
        EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == top.entriesBelow; }))
            << menu.counter(5) << " counted, " << top.entriesBelow << " expected";

        for (const QString folder : {"Rock", "Linked"}) {
            SCOPED_TRACE(folder.toStdString());
            screen.toParentFolder();
            screen.rowSelected(int(listing().indexOf(folder)));
            ASSERT_EQ(screen.pathToDir(), QStringList{folder});
            const QtReference inside(inAudio(folder), "mp3");
            EXPECT_EQ(listing(), inside.names);
            EXPECT_EQ(rowLines(screen), inside.rows);
            EXPECT_TRUE(titleBecomes(screen, totalTitle(inside.bytesBelow, false)));
        }

        Audio_Export exporter(settings.get());
        exporter.viewWillAppear();
        EXPECT_EQ(listing(), top.names);
        EXPECT_TRUE(titleBecomes(exporter, totalTitle(top.bytesBelow, true)));
    }
    static QStringList files(const QList<PlaylistEntry> &playlist)
    {
        QStringList names;
        for (const PlaylistEntry &entry : playlist)
            names << entry.file + (entry.current ? "|1" : "|0");
        return names;
    }
    // A player the shared state holds, as the playlist screen would set it.
    FakeMusic *installMusic()
    {
        auto *music = new FakeMusic;
        global->audioPlayer = music;
        musics << music;
        return music;
    }

    QTemporaryDir root;
    std::unique_ptr<Settings> settings;
    GlobalData *global = nullptr;
    QString audioDir;
    QString videoDir;
    QList<QPointer<FakeMusic>> musics;
};

TEST_F(LibraryTest, RowsTitlesAndCountersAreWhatQtSaysOfLinksPipesHiddenAndOddNames)
{
    expectWhatQtSaid();
}

TEST_F(LibraryTest, WhereTheFileSystemGivesNoEntryTypesOneStatTellsThemAndNothingChanges)
{
    // As on file systems whose directory entries carry no type (DT_UNKNOWN).
    LibraryScan::setEntryTypesIgnored(true);
    expectWhatQtSaid();
}

// Whether another program changes the shown folder (nobody tells the screen) or a download lands in it (the
// queue tells it, and the rows follow at once), a row goes in at its place and one out, the view stays where
// it is, and the title and, without the menu being shown again, its counters follow.
TEST_F(LibraryTest, AChangeInTheShownFolderIsListedInPlaceAndTheCountersFollow)
{
    for (const bool download : {false, true}) {
        SCOPED_TRACE(download ? "a download lands" : "another program writes");
        const QString folder = download ? "Rock/" : "Pop/";
        writeMp3(folder + "a.mp3");
        writeMp3(folder + "c.mp3");
        writeFile(inAudio(folder + "gone.mp3"), MB);
        Audio_Library screen(settings.get());
        AudioMenu menu(settings.get());
        screen.viewWillAppear();
        menu.viewWillAppear();
        screen.rowSelected(int(listing().indexOf(folder.chopped(1))));
        const auto counted = [&] {
            const int expected = QtReference(audioDir, "mp3").entriesBelow;
            return menu.counter(5) == expected && menu.counter(7) == expected;
        };
        const auto titled = [&] { return totalTitle(QtReference(inAudio(folder), "mp3").bytesBelow, false); };
        ASSERT_TRUE(TestSupport::waitFor(counted));
        ASSERT_TRUE(titleBecomes(screen, titled()));
        const QString before = screen.title();
        QAbstractItemModelTester tester(screen.entries(),
                                        QAbstractItemModelTester::FailureReportingMode::Fatal);
        QSignalSpy inserted(screen.entries(), &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(screen.entries(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy resets(screen.entries(), &QAbstractItemModel::modelReset);
        QSignalSpy scrolls(&screen, &LibraryBrowser::scrollToRow);
        const auto arrived = [&](const QString &file, const std::function<bool()> &listed) {
            if (!download)
                return TestSupport::waitFor(listed);
            Q_EMIT DownloadQueue::shared().itemFinished(1, inAudio(file));
            return listed();
        };
        if (download) { // one finished elsewhere changes nothing here
            writeMp3("elsewhere.mp3");
            Q_EMIT DownloadQueue::shared().itemFinished(1, inAudio("elsewhere.mp3"));
            EXPECT_TRUE(inserted.isEmpty());
        }

        ASSERT_TRUE(QFile::remove(inAudio(folder + "gone.mp3")));
        ASSERT_TRUE(Mp3Fixture::writeBytes(inAudio(folder + "b.mp3"), 3 * MB));
        ASSERT_TRUE(arrived(folder + "b.mp3", [&] { return listing().size() == 3 && removed.size() == 1; }));
        EXPECT_EQ(listing(), (QStringList{"a.mp3", "b.mp3", "c.mp3"}));
        ASSERT_EQ(inserted.size(), 1);
        EXPECT_EQ(inserted.at(0).at(1).toInt(), 1);
        EXPECT_EQ(removed.at(0).at(1).toInt(), 2);
        EXPECT_TRUE(resets.isEmpty() && scrolls.isEmpty());
        EXPECT_TRUE(titleBecomes(screen, titled()));
        EXPECT_NE(screen.title(), before);
        EXPECT_TRUE(TestSupport::waitFor(counted));

        // A new folder with files in it: its row at once, its files in the title and the counters.
        inserted.clear();
        writeMp3(folder + "Live/x.mp3");
        writeMp3(folder + "Live/y.mp3");
        ASSERT_TRUE(arrived(folder + "Live/x.mp3", [&] { return listing().startsWith("Live"); }));
        ASSERT_FALSE(inserted.isEmpty());
        EXPECT_EQ(inserted.at(0).at(1).toInt(), 0);
        EXPECT_TRUE(titleBecomes(screen, titled()));
        EXPECT_TRUE(TestSupport::waitFor(counted)) << menu.counter(5);

        // And one goes.
        ASSERT_TRUE(QFile::remove(inAudio(folder + "c.mp3")));
        EXPECT_TRUE(TestSupport::waitFor([&] { return !listing().contains("c.mp3") && counted(); }));
        EXPECT_TRUE(resets.isEmpty());
    }
}

TEST_F(LibraryTest, AFolderWithADotInItsNameOpensOnEveryScreenAndAFileInItPreviews)
{
    writeMp3("Vol. 2/inside.mp3", 3.0);
    writeMp3("Live.mp3/track.mp3");
    writeMp3("song.mp3");
    writeFile(videoDir + "/Season 1.5/episode.mp4", 100);
    writeFile(videoDir + "/Season 1.5/second.MP4", 100);
    FakeMusic *music = installMusic();

    Audio_Library screen(settings.get());
    Alerts alerts(screen);
    screen.viewWillAppear();
    ASSERT_EQ(listing(), (QStringList{"Live.mp3", "Vol. 2", "song.mp3"}));

    // Neither appended one by one nor with the folder's files, and no notice for trying.
    screen.accessoryButtonTapped(0);
    screen.accessoryButtonTapped(1);
    EXPECT_FALSE(screen.tableBusy());
    screen.addAllRecordsToPlaylist();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen.tableBusy(); }));
    EXPECT_EQ(files(Stores::playlist().records()), QStringList{"song.mp3|0"});

    // A tap opens it: no preview, the music keeps playing.
    screen.rowSelected(1);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(screen.miniPlayer(), nullptr);
    EXPECT_EQ(music->pauses, 0);
    EXPECT_EQ(place(screen), "Vol. 2: inside.mp3");

    // A tap on a file previews it in an alert, the music paused and the row in the middle of the view.
    QSignalSpy scrolls(&screen, &LibraryBrowser::scrollToRow);
    screen.rowSelected(0);
    EXPECT_EQ(music->pauses, 1);
    EXPECT_EQ(alerts,
              QStringList{QStringLiteral("\n\ninside.mp3||Закрыть|%1").arg(Audio_Library::PreviewAlert)});
    ASSERT_EQ(scrolls.size(), 1);
    EXPECT_EQ(scrolls.at(0).at(1).toInt(), int(LibraryBrowser::Middle));
    QPointer<MpvPlayer> preview = screen.miniPlayer();
    ASSERT_TRUE(preview && preview->isValid());
    EXPECT_TRUE(TestSupport::waitFor([&] { return preview->playing() && preview->position() > 0.2; }));
    EXPECT_NEAR(preview->duration(), 3.0, 0.2);
    screen.alertAnswered(Audio_Library::PreviewAlert, 0);
    EXPECT_EQ(screen.miniPlayer(), nullptr);
    EXPECT_TRUE(TestSupport::waitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return preview.isNull();
    }));
    EXPECT_EQ(music->plays, 0); // the music stays paused

    screen.toParentFolder();
    screen.rowSelected(0);
    EXPECT_EQ(place(screen), "Live.mp3: track.mp3");

    Audio_Export exporter(settings.get());
    QSignalSpy sheets(&exporter, &MediaExport::actionSheetRequested);
    exporter.viewWillAppear();
    exporter.rowSelected(1);
    EXPECT_TRUE(sheets.isEmpty());
    EXPECT_EQ(place(exporter), "Vol. 2: inside.mp3");
    screen.viewWillAppear(); // the listing is shared: shown again, the library lists its own folder
    EXPECT_EQ(place(screen), "Live.mp3: track.mp3");

    Video_Library videos(settings.get());
    QSignalSpy players(&videos, &Video_Library::videoPlayerRequested);
    videos.viewWillAppear();
    ASSERT_EQ(rowLines(videos, true), QStringList{"Season 1.5|folder||icon_folder.png|-|Удалить папку"});
    videos.rowSelected(0);
    EXPECT_TRUE(players.isEmpty());
    EXPECT_EQ(global->videoLibraryArray, (QStringList{"episode.mp4", "second.MP4"}));
    // A video file opens the player with its path; deleting one leaves the playlist alone, gone files and
    // all.
    videos.rowSelected(0);
    ASSERT_EQ(players.size(), 1);
    EXPECT_EQ(players.at(0), (QVariantList{videoDir + "/Season 1.5/episode.mp4", "library"}));
    Stores::playlist().append(PlaylistEntry{"gone.mp3", false});
    videos.deleteRow(1);
    EXPECT_EQ(global->videoLibraryArray, QStringList{"episode.mp4"});
    EXPECT_EQ(Stores::playlist().size(), 2);
}

// The rows come at once; the title sums the media below the folder when the store's worker has walked it.
TEST_F(LibraryTest, TitleSumsTheMediaBelowTheFolderOnceWalkedAndFollowsTheCountingSetting)
{
    writeFile(inAudio("one.mp3"), MB + MB / 2);
    writeFile(inAudio("Sub/two.MP3"), 2 * MB);
    writeFile(inAudio("Sub/Deeper/three.mp3"), MB);
    writeFile(inAudio("Sub/big.wav"), 8 * MB); // not counted
    writeFile(inAudio("small.mp3"), 5243);     // 0.005 MB

    Audio_Library screen(settings.get());
    QSignalSpy titles(&screen, &LibraryBrowser::titleChanged);
    EXPECT_FALSE(settings->contains("count_audio"));
    WorkerHeld held;
    screen.viewWillAppear();
    EXPECT_TRUE(settings->contains("count_audio")); // the default is written on first use
    // Folders first, whatever their names; then the media files, MP3 only.
    EXPECT_EQ(rowLines(screen, true),
              (QStringList{"Sub|folder||icon_folder.png|-|Удалить папку",
                           "one.mp3|file|Размер: 1.50 Мб|icon_audio.png|+|Удалить файл",
                           "small.mp3|file|Размер: 0.01 Мб|icon_audio.png|+|Удалить файл"}));
    QCoreApplication::processEvents(); // nothing below Sub is known yet, and nothing walks it here
    EXPECT_TRUE(screen.title().isEmpty()) << screen.title().toStdString();
    held.release();
    EXPECT_TRUE(titleBecomes(screen, "Всего: 4.5 Мб"));
    EXPECT_GE(titles.size(), 1);
    EXPECT_FALSE(screen.backButtonVisible());

    // Known now: a sub-folder's title comes with its rows.
    screen.rowSelected(0);
    EXPECT_EQ(screen.title(), "Папка: 3.0 Мб");
    EXPECT_TRUE(screen.backButtonVisible());

    // A folder new below the one shown is walked on the worker; the title shown stays until then.
    writeFile(inAudio("Sub/New/four.mp3"), 4 * MB);
    LibraryStore::holdWorker(true);
    screen.reloadLibrary();
    EXPECT_EQ(listing(), (QStringList{"Deeper", "New", "two.MP3"}));
    QCoreApplication::processEvents();
    EXPECT_EQ(screen.title(), "Папка: 3.0 Мб");
    held.release();
    EXPECT_TRUE(titleBecomes(screen, "Папка: 7.0 Мб"));

    settings->setBool("count_audio", false);
    screen.reloadLibrary();
    EXPECT_EQ(screen.title(), "..\\Sub");
    screen.toParentFolder();
    EXPECT_EQ(screen.title(), "Медиатека");

    Video_Library videos(settings.get());
    writeFile(videoDir + "/clip.mp4", 3 * MB);
    writeFile(videoDir + "/song.mp3", MB);
    videos.viewWillAppear();
    EXPECT_TRUE(titleBecomes(videos, "Всего: 3.0 Мб"));
    EXPECT_EQ(rowLines(videos, true),
              QStringList{"clip.mp4|file|Размер: 3.00 Мб|icon_video.png|-|Удалить файл"});
}

TEST_F(LibraryTest, WalksIntoFoldersAndBackWithTheSlideAndListsAgain)
{
    writeMp3("top.mp3");
    writeMp3("Rock/Metal/deep.mp3");
    writeMp3("Rock/rock.mp3");

    Audio_Library screen(settings.get());
    QSignalSpy slides(&screen, &LibraryBrowser::slideRequested);
    QSignalSpy scrolls(&screen, &LibraryBrowser::scrollToRow);
    // Shown again, the screen keeps its place; the refresh button goes back to the first row.
    screen.viewWillAppear();
    EXPECT_TRUE(scrolls.isEmpty());
    screen.reloadLibrary();
    ASSERT_EQ(scrolls.size(), 1);
    EXPECT_EQ(scrolls.at(0).at(0).toInt(), 0);
    EXPECT_EQ(scrolls.at(0).at(1).toInt(), int(LibraryBrowser::Top));

    screen.rowSelected(0); // Rock
    EXPECT_EQ(place(screen), "Rock: Metal, rock.mp3");
    EXPECT_EQ(screen.dirLevel(), 1);
    screen.rowSelected(0); // Metal
    EXPECT_EQ(place(screen), "Rock/Metal: deep.mp3");
    EXPECT_EQ(screen.currentFolder(), inAudio("Rock/Metal"));
    screen.toParentFolder();
    EXPECT_EQ(place(screen), "Rock: Metal, rock.mp3");
    screen.viewWillAppear(); // left and entered again: still in the same folder
    EXPECT_EQ(place(screen), "Rock: Metal, rock.mp3");
    screen.toParentFolder();
    screen.toParentFolder(); // already at the top: nothing happens
    EXPECT_EQ(place(screen), ": Rock, top.mp3");
    EXPECT_EQ(screen.dirLevel(), 0);
    QList<int> directions;
    for (const QList<QVariant> &slide : slides)
        directions << slide.at(0).toInt();
    EXPECT_EQ(directions, QList<int>({LibraryBrowser::FromRight, LibraryBrowser::FromRight,
                                      LibraryBrowser::FromLeft, LibraryBrowser::FromLeft}));

    // An empty folder is not scrolled; a folder that vanished lists as empty.
    QDir(audioDir).mkpath("Empty");
    screen.reloadLibrary();
    scrolls.clear();
    screen.rowSelected(int(listing().indexOf("Empty")));
    EXPECT_TRUE(listing().isEmpty());
    EXPECT_TRUE(scrolls.isEmpty());
    QDir(inAudio("Empty")).removeRecursively();
    screen.reloadLibrary();
    EXPECT_TRUE(listing().isEmpty());
    EXPECT_EQ(screen.title(), "Папка: 0.0 Мб");
}

TEST_F(LibraryTest, AppendingAddsRelativePathsWithoutDuplicateCheckAlsoUnderItsNoticeAndPlayingMarksTheRow)
{
    for (const char *name : {"Rock/a.mp3", "Rock/B.MP3", "Rock/Inner/c.mp3"})
        writeMp3(QLatin1String(name));
    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    screen.rowSelected(0);
    ASSERT_EQ(listing(), (QStringList{"Inner", "a.mp3", "B.MP3"}));

    QStringList labels;
    QObject::connect(&screen, &Audio_Library::hudChanged, [&] {
        if (ProgressOverlay *hud = screen.hud())
            labels << hud->labelText() + QLatin1Char('/') + hud->detailsLabelText() + QLatin1Char('/') +
                          QString::number(hud->minShowTime());
    });
    // A notice takes no input away: clicks under it append as well.
    screen.accessoryButtonTapped(1);
    EXPECT_FALSE(screen.tableBusy());
    screen.accessoryButtonTapped(2);
    screen.accessoryButtonTapped(1); // the same file again
    EXPECT_EQ(files(Stores::playlist().records()),
              (QStringList{"Rock/a.mp3|0", "Rock/B.MP3|0", "Rock/a.mp3|0"}));
    EXPECT_EQ(labels.last(), "Уведомление/Запись добавлена в плейлист/0.5");
    screen.addAllRecordsToPlaylist();
    EXPECT_EQ(labels.last(), "Уведомление/Все записи добавлены в плейлист/1");
    // Only the folder's own MP3 entries, in list order; nothing from Inner.
    EXPECT_EQ(files(Stores::playlist().records()),
              (QStringList{"Rock/a.mp3|0", "Rock/B.MP3|0", "Rock/a.mp3|0", "Rock/a.mp3|0", "Rock/B.MP3|0"}));
    ASSERT_TRUE(TestSupport::waitFor([&] { return screen.hud() == nullptr; }));

    // Playing a file plays an entry of it where it stands, or appends it first; its row is marked.
    screen.playPath("Rock/B.MP3");
    EXPECT_EQ(Stores::playlist().size(), 5);
    EXPECT_EQ(Stores::playlist().at(MusicPlayer::currentIndex()).file, "Rock/B.MP3");
    screen.rowSelected(0); // into Inner
    EXPECT_FALSE(screen.entries()->rows().at(0).inPlaylist);
    screen.playPath("Rock/Inner/c.mp3");
    EXPECT_EQ(files(Stores::playlist().records()).last(), "Rock/Inner/c.mp3|1");
    EXPECT_EQ(MusicPlayer::currentIndex(), 5);
    EXPECT_TRUE(screen.entries()->rows().at(0).inPlaylist);

    // A folder without MP3 files: the notice, and no change.
    QFile::remove(inAudio("Rock/Inner/c.mp3"));
    screen.reloadLibrary();
    const qsizetype before = Stores::playlist().size();
    screen.addAllRecordsToPlaylist();
    EXPECT_EQ(Stores::playlist().size(), before);
}

TEST_F(LibraryTest, DeletingAsksFirstAndPrunesThePlaylistOfEveryEntryWhoseFileIsGone)
{
    for (const char *name : {"playing.mp3", "other.mp3", "Album/one.mp3", "Album/Disc 2/two.mp3"})
        writeMp3(QLatin1String(name));
    Stores::playlist().assignEntries({{"playing.mp3", false},
                                      {"other.mp3", false},
                                      {"playing.mp3", true},
                                      {"Album/Disc 2/two.mp3", false},
                                      {"Album/one.mp3", false}});
    QTemporaryDir outside;
    writeFile(outside.filePath("keep.mp3"), 10);
    ASSERT_TRUE(QFile::link(outside.path(), inAudio("Linked")));
    QPointer<FakeMusic> music = installMusic();

    Audio_Library screen(settings.get());
    Alerts alerts(screen);
    screen.viewWillAppear();
    ASSERT_EQ(listing(), (QStringList{"Album", "Linked", "other.mp3", "playing.mp3"}));
    // Asked once, naming the file, and kept until confirmed.
    screen.askToDelete({"playing.mp3"});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.at(0).endsWith(QStringLiteral("|Отмена,Удалить|%1").arg(LibraryBrowser::DeleteAlert)));
    EXPECT_TRUE(alerts.at(0).section('|', 1, 1).contains("playing.mp3"));
    screen.deleteAnswered(0);
    EXPECT_TRUE(QFile::exists(inAudio("playing.mp3")));
    screen.deleteRow(3);

    EXPECT_FALSE(QFile::exists(inAudio("playing.mp3")));
    EXPECT_EQ(global->audioPlayer, nullptr);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->stops, 1);
    EXPECT_EQ(files(Stores::playlist().records()),
              (QStringList{"other.mp3|0", "Album/Disc 2/two.mp3|0", "Album/one.mp3|0"}));
    EXPECT_EQ(listing(), (QStringList{"Album", "Linked", "other.mp3"}));

    // A folder goes with everything in it, a link without what it points to; the player is left alone when no
    // current track went.
    QPointer<FakeMusic> second = installMusic();
    screen.askToDelete({"Album", "Linked"});
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts.at(1).section('|', 1, 1).contains("2"));
    screen.deleteAnswered(1);
    EXPECT_FALSE(QFileInfo::exists(inAudio("Album")));
    EXPECT_TRUE(QFile::exists(outside.filePath("keep.mp3")));
    EXPECT_EQ(files(Stores::playlist().records()), QStringList{"other.mp3|0"});
    EXPECT_EQ(global->audioPlayer, second.data());
    EXPECT_EQ(second->stops, 0);
    screen.deleteRow(7); // out of range: nothing
    EXPECT_EQ(listing(), QStringList{"other.mp3"});
}

TEST_F(LibraryTest, WithTheTrashSettingADeletedEntryGoesToTheTrashAndOtherwiseIsGone)
{
    // Learn where this machine's trash for the library's file system is (and whether it has one) from
    // a probe; Qt picks the home trash or the volume's own one.
    writeFile(inAudio("probe.bin"), 1);
    QString probeInTrash;
    if (!QFile::moveToTrash(inAudio("probe.bin"), &probeInTrash))
        GTEST_SKIP() << "no trash on the library's file system here";
    const QString trash = QFileInfo(probeInTrash).absolutePath();
    const auto inTrash = [&](const QString &name) {
        return QDir(trash).entryList({name + QLatin1Char('*')});
    };
    const auto removeFromTrash = [&](const QString &name) {
        QFile::remove(trash + QLatin1Char('/') + name);
        QFile::remove(trash + "/../info/" + name + ".trashinfo");
    };
    removeFromTrash(QFileInfo(probeInTrash).fileName());
    writeMp3("Kept.mp3");
    writeMp3("Gone.mp3");
    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    ASSERT_EQ(listing(), QStringList({"Gone.mp3", "Kept.mp3"}));

    screen.deleteRow(0); // no setting: deleted, as always
    EXPECT_FALSE(QFile::exists(inAudio("Gone.mp3")));
    EXPECT_TRUE(inTrash("Gone.mp3").isEmpty());
    EXPECT_FALSE(settings->contains(QString::fromLatin1(LibraryBrowser::trashSettingKey)));

    settings->setBool(QString::fromLatin1(LibraryBrowser::trashSettingKey), true);
    screen.deleteRow(0);
    EXPECT_FALSE(QFile::exists(inAudio("Kept.mp3")));
    EXPECT_EQ(inTrash("Kept.mp3").size(), 1);
    EXPECT_EQ(screen.undoNotice(), "«Kept.mp3» в корзине");

    // The notice's undo brings it back, and the trash forgets it.
    screen.undoDelete();
    EXPECT_TRUE(QFile::exists(inAudio("Kept.mp3")));
    EXPECT_TRUE(inTrash("Kept.mp3").isEmpty());
    EXPECT_FALSE(QFile::exists(trash + "/../info/Kept.mp3.trashinfo"));
    EXPECT_TRUE(screen.undoNotice().isEmpty());
    EXPECT_EQ(listing(), QStringList{"Kept.mp3"});
    for (const QString &name : inTrash("Kept.mp3"))
        removeFromTrash(name);
}

// Tags made up per file name, read on the cache's worker as real ones are.
TrackTags madeUpTags(const QString &path)
{
    const QString name = QFileInfo(path).completeBaseName();
    TrackTags tags;
    if (name == "plain")
        return tags;
    tags.title = "Title " + name;
    tags.artist = name.startsWith(QLatin1Char('z')) ? "Земфира" : "Artist";
    tags.album = "Album " + name.left(1);
    tags.durationMs = 1000 * (name.size() + 60);
    return tags;
}

TEST_F(LibraryTest, RowsCarryTagsSortByAColumnAndTheFilterNarrowsTheFolderOrTheWholeLibrary)
{
    QTemporaryDir cacheDir;
    TagCache tags(cacheDir.path(),
                  TagCache::Reader{madeUpTags, [](const QString &) { return TagReader::Cover{}; }});
    LibraryBrowser::setTagCache(&tags);
    const auto unset = qScopeGuard([] { LibraryBrowser::setTagCache(nullptr); });
    for (const char *name : {"b.mp3", "plain.mp3", "zz.mp3", "Sub/zdeep.mp3", "Sub/More/adeep.mp3"})
        writeMp3(QLatin1String(name));
    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    LibraryEntries *entries = screen.entries();
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return tags.pending() == 0 && entries->rows().at(3).title.size() > 0; }, 5000));
    LibraryFilter *rows = screen.rows();
    const auto shown = [&] {
        QStringList names;
        for (int i = 0; i < rows->rowCount(); ++i)
            names << rows->index(i, 0).data(LibraryEntries::TitleRole).toString() + QLatin1Char('|') +
                         rows->index(i, 0).data(LibraryEntries::NameRole).toString();
        return names;
    };
    // The listing's order, the tags beside the names (none for a file without tags, or a folder).
    EXPECT_EQ(shown(), QStringList({"|Sub", "Title b|b.mp3", "|plain.mp3", "Title zz|zz.mp3"}));
    EXPECT_EQ(rows->index(3, 0).data(LibraryEntries::ArtistRole).toString(), "Земфира");
    EXPECT_EQ(rows->index(3, 0).data(LibraryEntries::DurationRole).toString(), "1:02");

    // By title (the name where there is none), then the other way round; folders stay on top.
    rows->sortBy(LibraryFilter::TitleColumn);
    EXPECT_EQ(shown(), QStringList({"|Sub", "|plain.mp3", "Title b|b.mp3", "Title zz|zz.mp3"}));
    rows->sortBy(LibraryFilter::TitleColumn);
    EXPECT_EQ(shown(), QStringList({"|Sub", "Title zz|zz.mp3", "Title b|b.mp3", "|plain.mp3"}));
    rows->sortBy(LibraryFilter::ArtistColumn);
    EXPECT_EQ(shown(), QStringList({"|Sub", "|plain.mp3", "Title b|b.mp3", "Title zz|zz.mp3"}));
    rows->clearSort();
    EXPECT_EQ(shown(), QStringList({"|Sub", "Title b|b.mp3", "|plain.mp3", "Title zz|zz.mp3"}));

    // Any tag field narrows, ignoring case.
    rows->setFilterText("зЕМ");
    EXPECT_EQ(shown(), QStringList({"Title zz|zz.mp3"}));
    rows->setFilterText("album b");
    EXPECT_EQ(shown(), QStringList({"Title b|b.mp3"}));

    // The whole library: every file below the audio folder, from the store and the cache.
    rows->setFilterText("deep");
    EXPECT_TRUE(shown().isEmpty());
    screen.setWholeLibrary(true);
    // Both deep files are read by the cache's worker after the switch; wait for both tags.
    const QStringList deep({"Title adeep|adeep.mp3", "Title zdeep|zdeep.mp3"});
    ASSERT_TRUE(TestSupport::waitFor([&] { return shown() == deep; }, 5000))
        << shown().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(rows->index(0, 0).data(LibraryEntries::PathRole).toString(), "Sub/More/adeep.mp3");
    rows->setFilterText("земфира");
    EXPECT_EQ(shown(), QStringList({"Title zdeep|zdeep.mp3", "Title zz|zz.mp3"}));
    screen.setWholeLibrary(false);
    EXPECT_EQ(shown(), QStringList({"Title zz|zz.mp3"}));
}

// Clearing asks first; then it ends the running transfers (stopped, they can be started again), empties the
// media folder and goes back to the top. The playlist is left alone, and so is the other media.
TEST_F(LibraryTest, ClearingAsksFirstThenEndsTheTransfersAndEmptiesTheMediaFolder)
{
    writeMp3("a.mp3");
    writeMp3("Sub/b.mp3");
    writeFile(inAudio(".hidden"), 5);
    writeFile(videoDir + "/untouched.mp4", 10);
    Stores::playlist().assignEntries({{"a.mp3", false}});
    Sandbox sandbox;
    ASSERT_TRUE(sandbox.start());
    sandbox.storageFaults().throttleBytesPerSecond = 20000; // well under way for a long while
    DownloadQueue &queue = DownloadQueue::shared();
    const QueueItem item{"Slow - Song",
                         QString::fromStdString(sandbox.baseUrl()) + "/storage/bytes/4000000/slow.bin",
                         global->nextFileTag()};
    queue.append(DownloadQueue::Audio, item);
    queue.startAll();
    const QString partial = DownloadQueue::temporaryPath(DownloadQueue::finalPath(item, false), item.tag);
    ASSERT_TRUE(TestSupport::waitFor([&] { return QFileInfo(partial).size() > 0; }, 20000));
    QSignalSpy failed(&queue, &DownloadQueue::itemFailed);
    TestSupport::LogCapture log;

    Audio_Library screen(settings.get());
    Alerts alerts(screen);
    screen.viewWillAppear();
    screen.rowSelected(0); // into Sub
    screen.clearMedia();
    ASSERT_EQ(alerts, QStringList{QStringLiteral("Предупреждение|Вы уверены, что хотите удалить все файлы из "
                                                 "медиатеки? Учтите, они также будут удалены из памяти "
                                                 "устройства.|Отмена,Очистить|%1")
                                      .arg(Audio_Library::ClearAlert)});
    screen.alertAnswered(Audio_Library::ClearAlert, 0);
    EXPECT_TRUE(QFile::exists(inAudio("a.mp3")));
    EXPECT_EQ(screen.dirLevel(), 1);

    screen.alertAnswered(Audio_Library::ClearAlert, 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed.count() == 1; }, 20000));
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return QDir(audioDir).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); },
        20000));
    EXPECT_TRUE(queue.transferPool()->operations().isEmpty());
    ASSERT_EQ(queue.items(DownloadQueue::Audio).size(), 1);
    EXPECT_EQ(queue.items(DownloadQueue::Audio).first().state, QueueItem::State::Failed);
    for (const QString &line : log.lines())
        EXPECT_FALSE(line.contains("Не удалось переместить файл")) << line.toStdString();
    EXPECT_TRUE(QDir(audioDir).exists());
    EXPECT_EQ(screen.dirLevel(), 0);
    EXPECT_EQ(screen.title(), "Всего: 0.0 Мб");
    EXPECT_EQ(Stores::playlist().size(), 1);
    EXPECT_TRUE(QFile::exists(videoDir + "/untouched.mp4"));

    Video_Library videos(settings.get());
    Alerts videoAlerts(videos);
    videos.viewWillAppear();
    videos.clearMedia();
    ASSERT_EQ(videoAlerts.size(), 1);
    EXPECT_EQ(videoAlerts.at(0).section('|', 2, 2), "Отмена,Очистить");
    videos.alertAnswered(videoAlerts.at(0).section('|', 3).toInt(), 1);
    EXPECT_FALSE(QFile::exists(videoDir + "/untouched.mp4"));
}

} // namespace
