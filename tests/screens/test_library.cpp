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
#include <QStandardPaths>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct Alert
{
    QString title;
    QString message;
    QStringList buttons;
    int tag = 0;
};

// Keeps the library store's worker from starting anything while it lives (or until released).
struct WorkerHeld
{
    WorkerHeld() { LibraryStore::holdWorker(true); }
    ~WorkerHeld() { release(); }
    void release() { LibraryStore::holdWorker(false); }
};

// What the library showed when it asked Qt for everything: QDir's sorted listing and QFileInfo for the rows,
// QDirIterator walks for the size below a folder and for the menus' count. The one-pass listing and the
// store's sums must come to the same.
struct QtReference
{
    QStringList names;
    QList<bool> folders;
    QStringList details;
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
                folders << true;
                details << QString();
            } else if (LibraryScan::pathExtension(name).toLower() == extension) {
                files << name;
            }
        }
        for (const QString &name : files) {
            const QFileInfo info(folder + QLatin1Char('/') + name);
            names << name;
            folders << false;
            details << QStringLiteral("Размер: %1 Мб")
                           .arg(double(LibraryBrowser::megabytes(info.exists() ? info.size() : 0)), 0, 'f',
                                2);
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
        settings = std::make_unique<Settings>(root.filePath(QStringLiteral("settings.conf")));
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

    static void writeFile(const QString &path, qint64 bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(bytes));
    }
    static void writeMp3(const QString &path, double seconds = 1.0)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        ASSERT_TRUE(Mp3Fixture::write(path, seconds));
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
        return (top ? QStringLiteral("Всего: %1 Мб") : QStringLiteral("Папка: %1 Мб"))
            .arg(double(LibraryBrowser::megabytes(bytes)), 0, 'f', 1);
    }
    // Files, folders, links and a pipe of every kind the listing must judge as Qt did, in `folder`.
    static void writeMessyTree(const QString &folder, const QString &outside)
    {
        const qint64 mb = 1048576;
        writeFile(folder + QStringLiteral("/b song.mp3"), mb + mb / 2);
        writeFile(folder + QStringLiteral("/A Song.MP3"), 2 * mb);
        writeFile(folder + QStringLiteral("/.mp3"), 3 * mb); // hidden: counted by the menus, not listed
        writeFile(folder + QStringLiteral("/..mp3"), 1024);
        writeFile(folder + QStringLiteral("/x.tar.mp3"), 7 * mb / 3);
        writeFile(folder + QStringLiteral("/a."), 10);
        writeFile(folder + QStringLiteral("/cover.jpg"), 10);
        writeFile(folder + QStringLiteral("/README"), 10);
        writeFile(folder + QStringLiteral("/song.mp3.12.temp"), 10);
        // Sorted as QDir sorts ignoring case: lower-cased, then code unit by code unit.
        for (const char *name : {"Ёлка.mp3", "ель.mp3", "Ежи.mp3", "ς.mp3", "σ.mp3", "Σb.mp3", "_x.mp3",
                                 "Zed.mp3", "ßa.mp3", "ssb.mp3", "İd.mp3", "ie.mp3"})
            writeFile(folder + QLatin1Char('/') + QString::fromUtf8(name), 100000);
        writeFile(folder + QStringLiteral("/Rock/inner.mp3"), mb);
        writeFile(folder + QStringLiteral("/Rock/Metal/deep.MP3"), 2 * mb);
        writeFile(folder + QStringLiteral("/Rock/Metal/.cover.mp3"), 5000);
        writeFile(folder + QStringLiteral("/.hidden/h.mp3"), mb / 2);
        writeFile(folder + QStringLiteral("/Album.mp3/in.mp3"), mb / 4);
        QDir().mkpath(folder + QStringLiteral("/Vol. 2"));
        QDir().mkpath(folder + QStringLiteral("/empty"));
        writeFile(outside + QStringLiteral("/x.mp3"), 5 * mb);
        writeFile(outside + QStringLiteral("/sub/y.mp3"), 6 * mb);
        ASSERT_TRUE(QFile::link(outside, folder + QStringLiteral("/Linked")));
        ASSERT_TRUE(QFile::link(outside, folder + QStringLiteral("/LinkedDir.mp3")));
        ASSERT_TRUE(QFile::link(outside + QStringLiteral("/x.mp3"), folder + QStringLiteral("/linked.mp3")));
        ASSERT_TRUE(QFile::link(folder + QStringLiteral("/nowhere"), folder + QStringLiteral("/broken.mp3")));
        ASSERT_TRUE(QFile::link(folder, folder + QStringLiteral("/Rock/up"))); // a loop, never walked
        ASSERT_EQ(::mkfifo(QFile::encodeName(folder + QStringLiteral("/pipe.mp3")).constData(), 0600), 0);
    }
    // The library screen, the export screen and the menu over the messy tree, each against QtReference: in
    // the audio folder, in a sub-folder, in a folder reached through a link.
    void expectWhatQtSaid()
    {
        QTemporaryDir outside;
        writeMessyTree(audioDir, outside.path());
        const QtReference top(audioDir, QStringLiteral("mp3"));
        // The reference itself, in brief: folders of every kind first, hidden and link ones included.
        ASSERT_EQ(top.names.mid(0, 8), (QStringList{QStringLiteral(".hidden"), QStringLiteral("Album.mp3"),
                                                    QStringLiteral("empty"), QStringLiteral("Linked"),
                                                    QStringLiteral("LinkedDir.mp3"), QStringLiteral("Rock"),
                                                    QStringLiteral("Vol. 2"), QStringLiteral("..mp3")}));

        Audio_Library screen(settings.get());
        AudioMenu menu(settings.get());
        screen.viewWillAppear();
        EXPECT_EQ(global->audioLibraryArray, top.names);
        ASSERT_EQ(screen.entries()->rows().size(), top.names.size());
        for (int i = 0; i < top.names.size(); ++i) {
            const LibraryEntries::Row &row = screen.entries()->rows().at(i);
            EXPECT_EQ(row.name, top.names.at(i));
            EXPECT_EQ(row.folder, top.folders.at(i)) << row.name.toStdString();
            EXPECT_EQ(row.detail, top.details.at(i)) << row.name.toStdString();
        }
        EXPECT_TRUE(titleBecomes(screen, totalTitle(top.bytesBelow, true)));
        menu.viewWillAppear();
        EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == top.entriesBelow; }))
            << menu.counter(5) << " counted, " << top.entriesBelow << " expected";

        for (const QString &folder : {QStringLiteral("Rock"), QStringLiteral("Linked")}) {
            screen.toParentFolder();
            screen.rowSelected(int(global->audioLibraryArray.indexOf(folder)));
            ASSERT_EQ(screen.pathToDir(), QStringList{folder});
            const QtReference inside(audioDir + QLatin1Char('/') + folder, QStringLiteral("mp3"));
            EXPECT_EQ(global->audioLibraryArray, inside.names) << folder.toStdString();
            QStringList details;
            for (const LibraryEntries::Row &row : screen.entries()->rows())
                details << row.detail;
            EXPECT_EQ(details, inside.details) << folder.toStdString();
            EXPECT_TRUE(titleBecomes(screen, totalTitle(inside.bytesBelow, false))) << folder.toStdString();
        }

        Audio_Export exporter(settings.get());
        exporter.viewWillAppear();
        EXPECT_EQ(global->audioLibraryArray, top.names);
        EXPECT_TRUE(titleBecomes(exporter, totalTitle(top.bytesBelow, true)));
    }
    static void captureAlerts(LibraryBrowser &screen, QList<Alert> &alerts)
    {
        QObject::connect(
            &screen, &LibraryBrowser::alertRequested,
            [&alerts](const QString &title, const QString &message, const QStringList &buttons, int tag) {
                alerts.append(Alert{title, message, buttons, tag});
            });
    }
    static QStringList files(const QList<PlaylistEntry> &playlist)
    {
        QStringList names;
        for (const PlaylistEntry &entry : playlist)
            names << entry.file + (entry.current ? QStringLiteral("|1") : QStringLiteral("|0"));
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

TEST_F(LibraryTest, ListsFoldersFirstThenTheMediaFilesOfTheCurrentFolderOnly)
{
    writeMp3(audioDir + QStringLiteral("/b song.mp3"));
    writeMp3(audioDir + QStringLiteral("/A Song.MP3"));
    writeFile(audioDir + QStringLiteral("/cover.jpg"), 10);
    writeFile(audioDir + QStringLiteral("/README"), 10);
    writeFile(audioDir + QStringLiteral("/clip.mp4"), 10);
    writeFile(audioDir + QStringLiteral("/song.mp3.12.temp"), 10);
    QDir(audioDir).mkpath(QStringLiteral("Rock"));
    QDir(audioDir).mkpath(QStringLiteral("Live.2020"));
    QDir(audioDir).mkpath(QStringLiteral("Album.mp3"));
    writeMp3(audioDir + QStringLiteral("/Rock/inner.mp3"));

    Audio_Library screen(settings.get());
    screen.viewWillAppear();

    EXPECT_EQ(global->audioLibraryArray,
              (QStringList{QStringLiteral("Album.mp3"), QStringLiteral("Live.2020"), QStringLiteral("Rock"),
                           QStringLiteral("A Song.MP3"), QStringLiteral("b song.mp3")}));
    const QList<LibraryEntries::Row> &rows = screen.entries()->rows();
    ASSERT_EQ(rows.size(), 5);
    // Folders whatever their names: with a dot, or named like a media file.
    for (int i : {0, 1, 2}) {
        EXPECT_TRUE(rows[i].folder) << i;
        EXPECT_FALSE(rows[i].accessory) << i;
        EXPECT_EQ(rows[i].deleteTitle, QStringLiteral("Удалить папку")) << i;
    }
    EXPECT_EQ(rows[3].deleteTitle, QStringLiteral("Удалить файл"));
    EXPECT_TRUE(rows[2].detail.isEmpty());
    EXPECT_EQ(rows[2].icon, QStringLiteral("icon_folder.png"));
    EXPECT_EQ(rows[3].icon, QStringLiteral("icon_audio.png"));
    EXPECT_TRUE(rows[3].accessory);
}

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

TEST_F(LibraryTest, TheRowsComeAtOnceAndTheTitleWhenTheWorkerHasSummedTheFoldersBelow)
{
    writeFile(audioDir + QStringLiteral("/one.mp3"), 1048576);
    writeFile(audioDir + QStringLiteral("/Sub/two.mp3"), 2 * 1048576);
    writeFile(audioDir + QStringLiteral("/Sub/Deeper/three.mp3"), 3 * 1048576);
    Audio_Library screen(settings.get());
    QSignalSpy titles(&screen, &LibraryBrowser::titleChanged);
    WorkerHeld held;
    screen.viewWillAppear();
    EXPECT_EQ(global->audioLibraryArray, (QStringList{QStringLiteral("Sub"), QStringLiteral("one.mp3")}));
    EXPECT_EQ(screen.entries()->rowCount(), 2);
    // Nothing below Sub is known yet, and nothing walks it here: no title.
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen.title().isEmpty()) << screen.title().toStdString();
    held.release();
    EXPECT_TRUE(titleBecomes(screen, QStringLiteral("Всего: 6.0 Мб")));
    EXPECT_GE(titles.size(), 1);

    // Known now: a sub-folder's title comes with its rows.
    screen.rowSelected(0);
    EXPECT_EQ(screen.title(), QStringLiteral("Папка: 5.0 Мб"));

    // A folder new below the one shown is walked on the worker; the title shown stays until then.
    writeFile(audioDir + QStringLiteral("/Sub/New/four.mp3"), 4 * 1048576);
    LibraryStore::holdWorker(true);
    screen.reloadLibrary();
    EXPECT_EQ(global->audioLibraryArray,
              (QStringList{QStringLiteral("Deeper"), QStringLiteral("New"), QStringLiteral("two.mp3")}));
    QCoreApplication::processEvents();
    EXPECT_EQ(screen.title(), QStringLiteral("Папка: 5.0 Мб"));
    held.release();
    EXPECT_TRUE(titleBecomes(screen, QStringLiteral("Папка: 9.0 Мб")));
}

TEST_F(LibraryTest, AChangeInTheShownFolderListsItAgainInPlaceAndTheCountersFollow)
{
    writeMp3(audioDir + QStringLiteral("/a.mp3"));
    writeMp3(audioDir + QStringLiteral("/c.mp3"));
    writeFile(audioDir + QStringLiteral("/gone.mp3"), 1048576);
    Audio_Library screen(settings.get());
    AudioMenu menu(settings.get());
    screen.viewWillAppear();
    menu.viewWillAppear();
    ASSERT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 3; }));
    const QString before = screen.title();
    QAbstractItemModelTester tester(screen.entries(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(screen.entries(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(screen.entries(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy resets(screen.entries(), &QAbstractItemModel::modelReset);
    QSignalSpy scrolls(&screen, &LibraryBrowser::scrollToRow);

    // Another program puts a file in and takes one away; nobody tells the screen.
    writeFile(audioDir + QStringLiteral("/b.mp3"), 3 * 1048576);
    ASSERT_TRUE(QFile::remove(audioDir + QStringLiteral("/gone.mp3")));
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return global->audioLibraryArray.size() == 3 && removed.size() == 1; }));
    EXPECT_EQ(global->audioLibraryArray,
              (QStringList{QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3")}));
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 2);
    EXPECT_TRUE(resets.isEmpty());
    EXPECT_TRUE(scrolls.isEmpty());
    const QtReference now(audioDir, QStringLiteral("mp3"));
    EXPECT_TRUE(titleBecomes(screen, totalTitle(now.bytesBelow, true)));
    EXPECT_NE(screen.title(), before);

    // A folder appears with files in it: its row at once, its files in the title and, without the menu being
    // shown again, in its counters.
    QDir(audioDir).mkpath(QStringLiteral("Live"));
    writeFile(audioDir + QStringLiteral("/Live/x.mp3"), 2 * 1048576);
    writeFile(audioDir + QStringLiteral("/Live/y.mp3"), 2 * 1048576);
    EXPECT_TRUE(
        TestSupport::waitFor([&] { return global->audioLibraryArray.startsWith(QStringLiteral("Live")); }));
    EXPECT_TRUE(
        titleBecomes(screen, totalTitle(QtReference(audioDir, QStringLiteral("mp3")).bytesBelow, true)));
    EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 5 && menu.counter(7) == 5; }))
        << menu.counter(5);

    // And one goes.
    ASSERT_TRUE(QFile::remove(audioDir + QStringLiteral("/c.mp3")));
    EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 4; })) << menu.counter(5);
    EXPECT_FALSE(global->audioLibraryArray.contains(QStringLiteral("c.mp3")));
    EXPECT_TRUE(resets.isEmpty());
}

TEST_F(LibraryTest, AFolderWithADotInItsNameIsAFolderOnEveryScreen)
{
    writeMp3(audioDir + QStringLiteral("/Vol. 2/inside.mp3"));
    writeMp3(audioDir + QStringLiteral("/Live.mp3/track.mp3"));
    writeMp3(audioDir + QStringLiteral("/song.mp3"));
    writeFile(videoDir + QStringLiteral("/Season 1.5/episode.mp4"), 100);
    FakeMusic *music = installMusic();

    Audio_Library screen(settings.get());
    QList<Alert> alerts;
    captureAlerts(screen, alerts);
    screen.viewWillAppear();
    ASSERT_EQ(global->audioLibraryArray, (QStringList{QStringLiteral("Live.mp3"), QStringLiteral("Vol. 2"),
                                                      QStringLiteral("song.mp3")}));
    EXPECT_EQ(screen.entries()->rows().at(1).icon, QStringLiteral("icon_folder.png"));
    EXPECT_TRUE(screen.entries()->rows().at(1).detail.isEmpty());

    // Neither appended one by one nor with the folder's files, and no notice for trying.
    screen.accessoryButtonTapped(0);
    screen.accessoryButtonTapped(1);
    EXPECT_FALSE(screen.tableBusy());
    screen.addAllRecordsToPlaylist();
    ASSERT_TRUE(TestSupport::waitFor([&] { return !screen.tableBusy(); }));
    EXPECT_EQ(files(Stores::playlist().records()), QStringList{QStringLiteral("song.mp3|0")});

    // A tap opens it: no preview, the music keeps playing.
    screen.rowSelected(1);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(screen.miniPlayer(), nullptr);
    EXPECT_EQ(music->pauses, 0);
    EXPECT_EQ(screen.pathToDir(), QStringList{QStringLiteral("Vol. 2")});
    EXPECT_EQ(global->audioLibraryArray, QStringList{QStringLiteral("inside.mp3")});
    screen.toParentFolder();
    screen.rowSelected(0);
    EXPECT_EQ(screen.pathToDir(), QStringList{QStringLiteral("Live.mp3")});

    Audio_Export exporter(settings.get());
    QSignalSpy sheets(&exporter, &MediaExport::actionSheetRequested);
    exporter.viewWillAppear();
    exporter.rowSelected(1);
    EXPECT_TRUE(sheets.isEmpty());
    EXPECT_EQ(exporter.pathToDir(), QStringList{QStringLiteral("Vol. 2")});

    Video_Library videos(settings.get());
    QSignalSpy players(&videos, &Video_Library::videoPlayerRequested);
    videos.viewWillAppear();
    ASSERT_EQ(global->videoLibraryArray, QStringList{QStringLiteral("Season 1.5")});
    EXPECT_EQ(videos.entries()->rows().at(0).deleteTitle, QStringLiteral("Удалить папку"));
    videos.rowSelected(0);
    EXPECT_TRUE(players.isEmpty());
    EXPECT_EQ(global->videoLibraryArray, QStringList{QStringLiteral("episode.mp4")});
}

TEST_F(LibraryTest, TitleSumsTheMediaBelowTheFolderAndFollowsTheCountingSetting)
{
    writeFile(audioDir + QStringLiteral("/one.mp3"), 1048576 + 524288); // 1.5 MB
    writeFile(audioDir + QStringLiteral("/Sub/two.MP3"), 2 * 1048576);
    writeFile(audioDir + QStringLiteral("/Sub/Deeper/three.mp3"), 1048576);
    writeFile(audioDir + QStringLiteral("/Sub/big.wav"), 8 * 1048576); // not counted
    writeFile(audioDir + QStringLiteral("/small.mp3"), 5243);          // 0.005 MB

    Audio_Library screen(settings.get());
    EXPECT_FALSE(settings->contains(QStringLiteral("count_audio")));
    screen.viewWillAppear();
    EXPECT_TRUE(settings->contains(QStringLiteral("count_audio"))); // the default is written on first use
    EXPECT_TRUE(titleBecomes(screen, QStringLiteral("Всего: 4.5 Мб")));
    EXPECT_FALSE(screen.backButtonVisible());
    const int oneRow = int(global->audioLibraryArray.indexOf(QStringLiteral("one.mp3")));
    EXPECT_EQ(screen.entries()->rows().at(oneRow).detail, QStringLiteral("Размер: 1.50 Мб"));
    const int smallRow = int(global->audioLibraryArray.indexOf(QStringLiteral("small.mp3")));
    EXPECT_EQ(screen.entries()->rows().at(smallRow).detail, QStringLiteral("Размер: 0.01 Мб"));

    // Everything below is known now: the title comes with the rows.
    screen.rowSelected(int(global->audioLibraryArray.indexOf(QStringLiteral("Sub"))));
    EXPECT_EQ(screen.title(), QStringLiteral("Папка: 3.0 Мб"));
    EXPECT_TRUE(screen.backButtonVisible());

    settings->setBool(QStringLiteral("count_audio"), false);
    screen.reloadLibrary();
    EXPECT_EQ(screen.title(), QStringLiteral("..\\Sub"));
    screen.toParentFolder();
    EXPECT_EQ(screen.title(), QStringLiteral("Медиатека"));

    Video_Library videos(settings.get());
    writeFile(videoDir + QStringLiteral("/clip.mp4"), 3 * 1048576);
    writeFile(videoDir + QStringLiteral("/song.mp3"), 1048576);
    videos.viewWillAppear();
    EXPECT_TRUE(titleBecomes(videos, QStringLiteral("Всего: 3.0 Мб")));
    EXPECT_EQ(global->videoLibraryArray, QStringList{QStringLiteral("clip.mp4")});
    EXPECT_EQ(videos.entries()->rows().at(0).icon, QStringLiteral("icon_video.png"));
    EXPECT_FALSE(videos.entries()->rows().at(0).accessory);
}

TEST_F(LibraryTest, WalksIntoFoldersAndBackWithTheSlideAndListsAgain)
{
    writeMp3(audioDir + QStringLiteral("/top.mp3"));
    writeMp3(audioDir + QStringLiteral("/Rock/Metal/deep.mp3"));
    writeMp3(audioDir + QStringLiteral("/Rock/rock.mp3"));

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
    EXPECT_EQ(screen.pathToDir(), QStringList{QStringLiteral("Rock")});
    EXPECT_EQ(screen.dirLevel(), 1);
    EXPECT_EQ(global->audioLibraryArray, (QStringList{QStringLiteral("Metal"), QStringLiteral("rock.mp3")}));
    screen.rowSelected(0); // Metal
    EXPECT_EQ(screen.currentFolder(), audioDir + QStringLiteral("/Rock/Metal"));
    EXPECT_EQ(global->audioLibraryArray, QStringList{QStringLiteral("deep.mp3")});
    ASSERT_EQ(slides.size(), 2);
    EXPECT_EQ(slides.at(1).at(0).toInt(), int(LibraryBrowser::FromRight));

    screen.toParentFolder();
    EXPECT_EQ(screen.pathToDir(), QStringList{QStringLiteral("Rock")});
    EXPECT_EQ(slides.last().at(0).toInt(), int(LibraryBrowser::FromLeft));
    screen.viewWillAppear(); // left and entered again: still in the same folder
    EXPECT_EQ(screen.pathToDir(), QStringList{QStringLiteral("Rock")});
    EXPECT_EQ(global->audioLibraryArray, (QStringList{QStringLiteral("Metal"), QStringLiteral("rock.mp3")}));
    screen.toParentFolder();
    EXPECT_EQ(global->audioLibraryArray, (QStringList{QStringLiteral("Rock"), QStringLiteral("top.mp3")}));
    const qsizetype slidesAtTop = slides.size();
    screen.toParentFolder(); // already at the top: nothing happens
    EXPECT_EQ(slides.size(), slidesAtTop);
    EXPECT_EQ(screen.dirLevel(), 0);

    // An empty folder is not scrolled; a folder that vanished lists as empty.
    QDir(audioDir).mkpath(QStringLiteral("Empty"));
    screen.reloadLibrary();
    scrolls.clear();
    screen.rowSelected(int(global->audioLibraryArray.indexOf(QStringLiteral("Empty"))));
    EXPECT_TRUE(global->audioLibraryArray.isEmpty());
    EXPECT_TRUE(scrolls.isEmpty());
    QDir(audioDir + QStringLiteral("/Empty")).removeRecursively();
    screen.reloadLibrary();
    EXPECT_TRUE(global->audioLibraryArray.isEmpty());
    EXPECT_EQ(screen.title(), QStringLiteral("Папка: 0.0 Мб"));
}

TEST_F(LibraryTest, ADownloadLandingInTheShownFolderIsInsertedWhereItBelongsWithoutMovingTheView)
{
    writeMp3(audioDir + QStringLiteral("/Rock/a.mp3"));
    writeMp3(audioDir + QStringLiteral("/Rock/c.mp3"));
    writeMp3(audioDir + QStringLiteral("/Rock/gone.mp3"));
    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    screen.rowSelected(0); // Rock
    const QString before = screen.title();
    QAbstractItemModelTester tester(screen.entries(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy inserted(screen.entries(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(screen.entries(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy resets(screen.entries(), &QAbstractItemModel::modelReset);
    QSignalSpy scrolls(&screen, &LibraryBrowser::scrollToRow);

    // A download finished elsewhere changes nothing here.
    writeMp3(audioDir + QStringLiteral("/elsewhere.mp3"));
    Q_EMIT DownloadQueue::shared().itemFinished(1, audioDir + QStringLiteral("/elsewhere.mp3"));
    EXPECT_TRUE(inserted.isEmpty());

    // One landing here while another file went: one row in at its place, one out, the title follows.
    ASSERT_TRUE(QFile::remove(audioDir + QStringLiteral("/Rock/gone.mp3")));
    ASSERT_TRUE(Mp3Fixture::writeBytes(audioDir + QStringLiteral("/Rock/b.mp3"), 300000));
    Q_EMIT DownloadQueue::shared().itemFinished(2, audioDir + QStringLiteral("/Rock/b.mp3"));
    EXPECT_EQ(global->audioLibraryArray,
              (QStringList{QStringLiteral("a.mp3"), QStringLiteral("b.mp3"), QStringLiteral("c.mp3")}));
    ASSERT_EQ(inserted.size(), 1);
    EXPECT_EQ(inserted.at(0).at(1).toInt(), 1);
    ASSERT_EQ(removed.size(), 1);
    EXPECT_EQ(removed.at(0).at(1).toInt(), 2);
    EXPECT_EQ(screen.entries()->rows().at(1).name, QStringLiteral("b.mp3"));
    EXPECT_EQ(screen.entries()->rows().size(), 3);
    EXPECT_TRUE(resets.isEmpty());
    EXPECT_TRUE(scrolls.isEmpty());
    EXPECT_NE(screen.title(), before);

    // A file landing in a new sub-folder brings the folder in.
    writeMp3(audioDir + QStringLiteral("/Rock/Live/x.mp3"));
    inserted.clear();
    Q_EMIT DownloadQueue::shared().itemFinished(3, audioDir + QStringLiteral("/Rock/Live/x.mp3"));
    ASSERT_EQ(inserted.size(), 1); // the new folder
    EXPECT_EQ(screen.entries()->rows().at(0).name, QStringLiteral("Live"));
    EXPECT_TRUE(resets.isEmpty());
}

TEST_F(LibraryTest, PreviewPausesTheMusicAndPlaysTheFileInTheAlertUntilItIsClosed)
{
    writeMp3(audioDir + QStringLiteral("/Sub/Preview me.mp3"), 3.0);
    FakeMusic *music = installMusic();
    Audio_Library screen(settings.get());
    QList<Alert> alerts;
    captureAlerts(screen, alerts);
    QSignalSpy scrolls(&screen, &LibraryBrowser::scrollToRow);
    screen.viewWillAppear();
    screen.rowSelected(0);
    scrolls.clear();
    screen.rowSelected(0);

    EXPECT_EQ(music->pauses, 1);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, QStringLiteral("\n\nPreview me.mp3"));
    EXPECT_TRUE(alerts[0].message.isEmpty());
    EXPECT_EQ(alerts[0].buttons, QStringList{QStringLiteral("Закрыть")});
    EXPECT_EQ(alerts[0].tag, int(Audio_Library::PreviewAlert));
    ASSERT_EQ(scrolls.size(), 1);
    EXPECT_EQ(scrolls.at(0).at(1).toInt(), int(LibraryBrowser::Middle));
    QPointer<MpvPlayer> preview = screen.miniPlayer();
    ASSERT_TRUE(preview);
    ASSERT_TRUE(preview->isValid());
    EXPECT_TRUE(TestSupport::waitFor([&] { return preview->playing() && preview->position() > 0.2; }));
    EXPECT_NEAR(preview->duration(), 3.0, 0.2);

    screen.alertAnswered(Audio_Library::PreviewAlert, 0);
    EXPECT_EQ(screen.miniPlayer(), nullptr);
    EXPECT_TRUE(TestSupport::waitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return preview.isNull();
    }));
    EXPECT_EQ(music->plays, 0); // the music stays paused
}

TEST_F(LibraryTest, AppendingAddsRelativePathsWithoutDuplicateCheckAlsoUnderItsNotice)
{
    writeMp3(audioDir + QStringLiteral("/Rock/a.mp3"));
    writeMp3(audioDir + QStringLiteral("/Rock/B.MP3"));
    writeMp3(audioDir + QStringLiteral("/Rock/Inner/c.mp3"));
    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    screen.rowSelected(0);
    ASSERT_EQ(global->audioLibraryArray,
              (QStringList{QStringLiteral("Inner"), QStringLiteral("a.mp3"), QStringLiteral("B.MP3")}));

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
              (QStringList{QStringLiteral("Rock/a.mp3|0"), QStringLiteral("Rock/B.MP3|0"),
                           QStringLiteral("Rock/a.mp3|0")}));
    EXPECT_EQ(labels.last(), QStringLiteral("Уведомление/Запись добавлена в плейлист/0.5"));
    screen.addAllRecordsToPlaylist();
    EXPECT_EQ(labels.last(), QStringLiteral("Уведомление/Все записи добавлены в плейлист/1"));
    // Only the folder's own MP3 entries, in list order; nothing from Inner.
    EXPECT_EQ(files(Stores::playlist().records()),
              (QStringList{QStringLiteral("Rock/a.mp3|0"), QStringLiteral("Rock/B.MP3|0"),
                           QStringLiteral("Rock/a.mp3|0"), QStringLiteral("Rock/a.mp3|0"),
                           QStringLiteral("Rock/B.MP3|0")}));
    ASSERT_TRUE(TestSupport::waitFor([&] { return screen.hud() == nullptr; }));

    // A folder without MP3 files: the notice, and no change.
    screen.rowSelected(0); // into Inner, then leave it without MP3 files
    QFile::remove(audioDir + QStringLiteral("/Rock/Inner/c.mp3"));
    screen.reloadLibrary();
    const qsizetype before = Stores::playlist().size();
    screen.addAllRecordsToPlaylist();
    EXPECT_EQ(Stores::playlist().size(), before);
}

TEST_F(LibraryTest, DeletingPrunesThePlaylistOfEveryEntryWhoseFileIsGone)
{
    writeMp3(audioDir + QStringLiteral("/playing.mp3"));
    writeMp3(audioDir + QStringLiteral("/other.mp3"));
    writeMp3(audioDir + QStringLiteral("/Album/one.mp3"));
    writeMp3(audioDir + QStringLiteral("/Album/Disc 2/two.mp3"));
    Stores::playlist().assignEntries({{QStringLiteral("playing.mp3"), false},
                                      {QStringLiteral("other.mp3"), false},
                                      {QStringLiteral("playing.mp3"), true},
                                      {QStringLiteral("Album/Disc 2/two.mp3"), false},
                                      {QStringLiteral("Album/one.mp3"), false}});
    QPointer<FakeMusic> music = installMusic();

    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    ASSERT_EQ(global->audioLibraryArray, (QStringList{QStringLiteral("Album"), QStringLiteral("other.mp3"),
                                                      QStringLiteral("playing.mp3")}));
    screen.deleteRow(2);

    EXPECT_FALSE(QFile::exists(audioDir + QStringLiteral("/playing.mp3")));
    EXPECT_EQ(global->audioPlayer, nullptr);
    ASSERT_TRUE(music);
    EXPECT_EQ(music->stops, 1);
    EXPECT_EQ(files(Stores::playlist().records()),
              (QStringList{QStringLiteral("other.mp3|0"), QStringLiteral("Album/Disc 2/two.mp3|0"),
                           QStringLiteral("Album/one.mp3|0")}));
    EXPECT_EQ(global->audioLibraryArray, (QStringList{QStringLiteral("Album"), QStringLiteral("other.mp3")}));

    // A folder goes with everything in it; the player is left alone when no current track went.
    QPointer<FakeMusic> second = installMusic();
    screen.deleteRow(0);
    EXPECT_FALSE(QFileInfo::exists(audioDir + QStringLiteral("/Album")));
    EXPECT_EQ(files(Stores::playlist().records()), QStringList{QStringLiteral("other.mp3|0")});
    EXPECT_EQ(global->audioPlayer, second.data());
    EXPECT_EQ(second->stops, 0);
    screen.deleteRow(7); // out of range: nothing
    EXPECT_EQ(global->audioLibraryArray, QStringList{QStringLiteral("other.mp3")});
}

TEST_F(LibraryTest, DeletingALinkRemovesTheLinkNotWhatItPointsTo)
{
    QTemporaryDir outside;
    writeMp3(outside.filePath(QStringLiteral("keep.mp3")));
    ASSERT_TRUE(QFile::link(outside.path(), audioDir + QStringLiteral("/Linked")));
    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    ASSERT_EQ(global->audioLibraryArray, QStringList{QStringLiteral("Linked")});
    screen.deleteRow(0);
    EXPECT_TRUE(global->audioLibraryArray.isEmpty());
    EXPECT_TRUE(QFile::exists(outside.filePath(QStringLiteral("keep.mp3"))));
}

TEST_F(LibraryTest, WithTheTrashSettingADeletedEntryGoesToTheTrashAndOtherwiseIsGone)
{
    // Learn where this machine's trash for the library's file system is (and whether it has one) from
    // a probe; Qt picks the home trash or the volume's own one.
    const QString probe = audioDir + QStringLiteral("/probe.bin");
    writeFile(probe, 1);
    QString probeInTrash;
    if (!QFile::moveToTrash(probe, &probeInTrash))
        GTEST_SKIP() << "no trash on the library's file system here";
    const QString trash = QFileInfo(probeInTrash).absolutePath();
    const auto removeFromTrash = [&](const QString &name) {
        QFile::remove(trash + QLatin1Char('/') + name);
        QFile::remove(trash + QStringLiteral("/../info/") + name + QStringLiteral(".trashinfo"));
    };
    removeFromTrash(QFileInfo(probeInTrash).fileName());
    writeMp3(audioDir + QStringLiteral("/Kept.mp3"));
    writeMp3(audioDir + QStringLiteral("/Gone.mp3"));
    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    ASSERT_EQ(global->audioLibraryArray,
              QStringList({QStringLiteral("Gone.mp3"), QStringLiteral("Kept.mp3")}));

    screen.deleteRow(0); // no setting: deleted, as always
    EXPECT_FALSE(QFile::exists(audioDir + QStringLiteral("/Gone.mp3")));
    EXPECT_TRUE(QDir(trash).entryList({QStringLiteral("Gone.mp3*")}).isEmpty());
    EXPECT_FALSE(settings->contains(QString::fromLatin1(LibraryBrowser::trashSettingKey)));

    settings->setBool(QString::fromLatin1(LibraryBrowser::trashSettingKey), true);
    screen.deleteRow(0);
    EXPECT_FALSE(QFile::exists(audioDir + QStringLiteral("/Kept.mp3")));
    const QStringList trashed = QDir(trash).entryList({QStringLiteral("Kept.mp3*")});
    EXPECT_EQ(trashed.size(), 1);
    EXPECT_EQ(screen.undoNotice(), QStringLiteral("«Kept.mp3» в корзине"));

    // The notice's undo brings it back, and the trash forgets it.
    screen.undoDelete();
    EXPECT_TRUE(QFile::exists(audioDir + QStringLiteral("/Kept.mp3")));
    EXPECT_TRUE(QDir(trash).entryList({QStringLiteral("Kept.mp3*")}).isEmpty());
    EXPECT_FALSE(QFile::exists(trash + QStringLiteral("/../info/Kept.mp3.trashinfo")));
    EXPECT_TRUE(screen.undoNotice().isEmpty());
    EXPECT_EQ(global->audioLibraryArray, QStringList{QStringLiteral("Kept.mp3")});
    for (const QString &name : QDir(trash).entryList({QStringLiteral("Kept.mp3*")}))
        removeFromTrash(name);
}

TEST_F(LibraryTest, DeletingAsksOnceNamingTheFileAndKeepsItUntilConfirmed)
{
    writeMp3(audioDir + QStringLiteral("/Song.mp3"));
    writeMp3(audioDir + QStringLiteral("/Other.mp3"));
    Audio_Library screen(settings.get());
    QList<Alert> alerts;
    captureAlerts(screen, alerts);
    screen.viewWillAppear();

    screen.askToDelete({QStringLiteral("Song.mp3")});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.at(0).tag, LibraryBrowser::DeleteAlert);
    EXPECT_TRUE(alerts.at(0).message.contains(QStringLiteral("Song.mp3")));
    EXPECT_EQ(alerts.at(0).buttons, QStringList({QStringLiteral("Отмена"), QStringLiteral("Удалить")}));
    screen.deleteAnswered(0);
    EXPECT_TRUE(QFile::exists(audioDir + QStringLiteral("/Song.mp3")));

    screen.askToDelete({QStringLiteral("Song.mp3"), QStringLiteral("Other.mp3")});
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_TRUE(alerts.at(1).message.contains(QStringLiteral("2")));
    screen.deleteAnswered(1);
    EXPECT_FALSE(QFile::exists(audioDir + QStringLiteral("/Song.mp3")));
    EXPECT_FALSE(QFile::exists(audioDir + QStringLiteral("/Other.mp3")));
    EXPECT_TRUE(global->audioLibraryArray.isEmpty());
}

// Tags made up per file name, read on the cache's worker as real ones are.
TrackTags madeUpTags(const QString &path)
{
    const QString name = QFileInfo(path).completeBaseName();
    TrackTags tags;
    if (name == QStringLiteral("plain"))
        return tags;
    tags.title = QStringLiteral("Title ") + name;
    tags.artist = name.startsWith(QLatin1Char('z')) ? QStringLiteral("Земфира") : QStringLiteral("Artist");
    tags.album = QStringLiteral("Album ") + name.left(1);
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
        writeMp3(audioDir + QLatin1Char('/') + QLatin1String(name));
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
    EXPECT_EQ(rows->index(3, 0).data(LibraryEntries::ArtistRole).toString(), QStringLiteral("Земфира"));
    EXPECT_EQ(rows->index(3, 0).data(LibraryEntries::DurationRole).toString(), QStringLiteral("1:02"));

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
    rows->setFilterText(QStringLiteral("зЕМ"));
    EXPECT_EQ(shown(), QStringList({"Title zz|zz.mp3"}));
    rows->setFilterText(QStringLiteral("album b"));
    EXPECT_EQ(shown(), QStringList({"Title b|b.mp3"}));

    // The whole library: every file below the audio folder, from the store and the cache.
    rows->setFilterText(QStringLiteral("deep"));
    EXPECT_TRUE(shown().isEmpty());
    screen.setWholeLibrary(true);
    // Both deep files are read by the cache's worker after the switch; wait for both tags.
    const QStringList deep({"Title adeep|adeep.mp3", "Title zdeep|zdeep.mp3"});
    ASSERT_TRUE(TestSupport::waitFor([&] { return shown() == deep; }, 5000))
        << shown().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(rows->index(0, 0).data(LibraryEntries::PathRole).toString(),
              QStringLiteral("Sub/More/adeep.mp3"));
    rows->setFilterText(QStringLiteral("земфира"));
    EXPECT_EQ(shown(), QStringList({"Title zdeep|zdeep.mp3", "Title zz|zz.mp3"}));
    screen.setWholeLibrary(false);
    EXPECT_EQ(shown(), QStringList({"Title zz|zz.mp3"}));
}

TEST_F(LibraryTest, PlayingAFileAppendsItWhenAbsentAndMarksTheRow)
{
    writeMp3(audioDir + QStringLiteral("/a.mp3"));
    writeMp3(audioDir + QStringLiteral("/b.mp3"));
    Stores::playlist().assignEntries({{QStringLiteral("a.mp3"), false}});
    Audio_Library screen(settings.get());
    screen.viewWillAppear();
    const auto marked = [&](int row) { return screen.entries()->rows().at(row).inPlaylist; };
    EXPECT_TRUE(marked(0));
    EXPECT_FALSE(marked(1));
    screen.playPath(QStringLiteral("b.mp3"));
    ASSERT_EQ(Stores::playlist().size(), 2);
    EXPECT_EQ(Stores::playlist().at(1).file, QStringLiteral("b.mp3"));
    EXPECT_EQ(MusicPlayer::currentIndex(), 1);
    EXPECT_TRUE(marked(1));
    screen.playPath(QStringLiteral("a.mp3")); // already there: played where it stands
    EXPECT_EQ(Stores::playlist().size(), 2);
    EXPECT_EQ(MusicPlayer::currentIndex(), 0);
}

TEST_F(LibraryTest, ClearingAsksFirstThenEmptiesTheMediaFolderAndReturnsToTheTop)
{
    writeMp3(audioDir + QStringLiteral("/a.mp3"));
    writeMp3(audioDir + QStringLiteral("/Sub/b.mp3"));
    writeFile(audioDir + QStringLiteral("/.hidden"), 5);
    writeFile(videoDir + QStringLiteral("/untouched.mp4"), 10);
    Stores::playlist().assignEntries({{QStringLiteral("a.mp3"), false}});

    Audio_Library screen(settings.get());
    QList<Alert> alerts;
    captureAlerts(screen, alerts);
    screen.viewWillAppear();
    screen.rowSelected(0); // into Sub
    screen.clearMedia();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].title, QStringLiteral("Предупреждение"));
    EXPECT_EQ(alerts[0].message,
              QStringLiteral("Вы уверены, что хотите удалить все файлы из медиатеки? Учтите, они "
                             "также будут удалены из памяти устройства."));
    EXPECT_EQ(alerts[0].buttons, (QStringList{QStringLiteral("Отмена"), QStringLiteral("Очистить")}));

    screen.alertAnswered(alerts[0].tag, 0);
    EXPECT_TRUE(QFile::exists(audioDir + QStringLiteral("/a.mp3")));
    EXPECT_EQ(screen.dirLevel(), 1);

    screen.alertAnswered(alerts[0].tag, 1);
    EXPECT_TRUE(QDir(audioDir).exists());
    EXPECT_TRUE(QDir(audioDir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty());
    EXPECT_EQ(screen.dirLevel(), 0);
    EXPECT_EQ(screen.title(), QStringLiteral("Всего: 0.0 Мб"));
    EXPECT_EQ(Stores::playlist().size(), 1); // left to the playlist
    EXPECT_TRUE(QFile::exists(videoDir + QStringLiteral("/untouched.mp4")));

    Video_Library videos(settings.get());
    QList<Alert> videoAlerts;
    captureAlerts(videos, videoAlerts);
    videos.viewWillAppear();
    videos.clearMedia();
    ASSERT_EQ(videoAlerts.size(), 1);
    EXPECT_EQ(videoAlerts[0].buttons, alerts[0].buttons);
    videos.alertAnswered(videoAlerts[0].tag, 1);
    EXPECT_FALSE(QFile::exists(videoDir + QStringLiteral("/untouched.mp4")));
}

TEST_F(LibraryTest, ClearingEndsTheRunningTransfersBeforeItDeletes)
{
    Sandbox sandbox;
    ASSERT_TRUE(sandbox.start());
    sandbox.storageFaults().throttleBytesPerSecond = 20000; // well under way for a long while
    DownloadQueue &queue = DownloadQueue::shared();
    QueueItem item;
    item.name = QStringLiteral("Slow - Song");
    item.url = QString::fromStdString(sandbox.baseUrl()) + QStringLiteral("/storage/bytes/4000000/slow.bin");
    item.tag = global->nextFileTag();
    queue.append(DownloadQueue::Audio, item);
    queue.startAll();
    const QString partial = DownloadQueue::temporaryPath(DownloadQueue::finalPath(item, false), item.tag);
    ASSERT_TRUE(TestSupport::waitFor([&] { return QFileInfo(partial).size() > 0; }, 20000));
    QSignalSpy failed(&queue, &DownloadQueue::itemFailed);
    TestSupport::LogCapture log;

    Audio_Library screen(settings.get());
    QList<Alert> alerts;
    captureAlerts(screen, alerts);
    screen.viewWillAppear();
    screen.clearMedia();
    ASSERT_EQ(alerts.size(), 1);
    screen.alertAnswered(alerts[0].tag, 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed.count() == 1; }, 20000));
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return QDir(audioDir).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); },
        20000));
    EXPECT_TRUE(queue.transferPool()->operations().isEmpty());
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).size(), 1);
    EXPECT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).first().state,
              QueueItem::State::Failed); // stopped, can be started again
    for (const QString &line : log.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("Не удалось переместить файл"))) << line.toStdString();
}

TEST_F(LibraryTest, VideoFileOpensThePlayerWithItsPathAndDeletesWithoutAPlaylist)
{
    writeFile(videoDir + QStringLiteral("/My Clips/first clip.mp4"), 100);
    writeFile(videoDir + QStringLiteral("/My Clips/second.MP4"), 100);
    Stores::playlist().assignEntries({{QStringLiteral("gone.mp3"), false}});
    Video_Library screen(settings.get());
    QSignalSpy requests(&screen, &Video_Library::videoPlayerRequested);
    screen.viewWillAppear();
    screen.rowSelected(0);
    EXPECT_TRUE(requests.isEmpty());
    screen.rowSelected(0);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests.at(0).at(0).toString(), videoDir + QStringLiteral("/My Clips/first clip.mp4"));
    EXPECT_EQ(requests.at(0).at(1).toString(), QStringLiteral("library"));

    screen.deleteRow(1);
    EXPECT_EQ(global->videoLibraryArray, QStringList{QStringLiteral("first clip.mp4")});
    EXPECT_EQ(Stores::playlist().size(), 1); // there is no video playlist to prune
}

TEST_F(LibraryTest, LibraryAndExportShareTheListingAndTheLibraryListsAgainWhenShown)
{
    writeMp3(audioDir + QStringLiteral("/top.mp3"));
    writeMp3(audioDir + QStringLiteral("/Sub/inner.mp3"));
    Audio_Library library(settings.get());
    Audio_Export exporter(settings.get());
    library.viewWillAppear();
    exporter.viewWillAppear();
    exporter.rowSelected(0);
    EXPECT_EQ(global->audioLibraryArray, QStringList{QStringLiteral("inner.mp3")});
    library.viewWillAppear();
    EXPECT_EQ(global->audioLibraryArray, (QStringList{QStringLiteral("Sub"), QStringLiteral("top.mp3")}));
}

} // namespace
