#include "../support/Files.h"
#include "../support/TestSupport.h"

#include "app/Lifecycle.h"
#include "app/Shell.h"
#include "core/PropertyList.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "desktop/Badges.h"
#include "downloads/DownloadQueue.h"
#include "library/PlaylistFile.h"
#include "net/DownloadEngine.h"
#include "net/Http.h"
#include "sandbox/Sandbox.h"
#include "screens/AudioMenu.h"
#include "screens/NowPlaying.h"

#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QWindow>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

using TestSupport::readFile;
using TestSupport::writeFile;

struct Notice
{
    QString title;
    QString message;
    QStringList buttons;
};

class LifecycleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        settings = std::make_unique<Settings>(root.filePath(QStringLiteral("settings.conf")));
        lifecycle = std::make_unique<Lifecycle>(settings.get());
        watch(*lifecycle);
        Stores::playlist().clear();
        DownloadQueue::shared().clear();
        inbox = StorageLayout::getInboxDir();
        ASSERT_TRUE(QDir().mkpath(inbox));
    }
    void TearDown() override
    {
        lifecycle.reset();
        Stores::playlist().clear();
        DownloadQueue::shared().clear();
        Badges::shared().setApplicationBadge(0);
        StorageLayout::setRootDir(QString());
    }

    // The notices `which` shows land in `notices`, each answered with "Готово" at once as a reader would,
    // unless the case keeps it on show.
    void watch(Lifecycle &which)
    {
        QObject::connect(&which, &Lifecycle::alertRequested,
                         [this, &which](const QString &title, const QString &message,
                                        const QStringList &buttons, int tag) {
                             notices.append(Notice{title, message, buttons});
                             if (answerNotices)
                                 which.alertAnswered(tag, 0);
                         });
    }
    // A file handed over from the Inbox.
    void receive(const QString &name, const QByteArray &content = "x")
    {
        writeFile(inbox + QLatin1Char('/') + name, content);
        lifecycle->handleOpenURL(QUrl::fromLocalFile(inbox + QLatin1Char('/') + name));
    }
    // The messages of the notices shown so far.
    QStringList messages() const
    {
        QStringList shown;
        for (const Notice &notice : notices)
            shown << notice.message;
        return shown;
    }
    // The playlist in memory: each entry's file and mark, joined by "|".
    static QStringList playlist()
    {
        QStringList entries;
        for (const PlaylistEntry &entry : Stores::playlist().records())
            entries << entry.file + (entry.current ? QStringLiteral("|1") : QStringLiteral("|0"));
        return entries;
    }
    // The autosaved playlist of these files, as an earlier run left it.
    void saveAutosaved(const QStringList &files) const
    {
        QList<PlaylistEntry> entries;
        for (const QString &file : files)
            entries.append({file, false});
        ASSERT_EQ(PlaylistFile::write(autosaved(), entries), PropertyList::WriteResult::Written);
    }
    QString audioImport() const { return StorageLayout::getAudioDir() + QStringLiteral("/Импортированные"); }
    QString videoImport() const { return StorageLayout::getVideoDir() + QStringLiteral("/Импортированные"); }
    QString autosaved() const { return root.filePath(QStringLiteral("AudioAutosavedPlaylist.tune")); }

    // A playlist file (the autosaved one unless named) as written: each entry's two texts, joined by "|".
    QStringList savedEntries(const QString &path = QString()) const
    {
        QStringList entries;
        const std::optional<QVariant> saved = PropertyList::read(path.isEmpty() ? autosaved() : path);
        if (!saved)
            return {QStringLiteral("<unreadable>")};
        for (const QVariant &entry : saved->toList()) {
            QStringList texts;
            for (const QVariant &text : entry.toList())
                texts << text.toString();
            entries << texts.join(QLatin1Char('|'));
        }
        return entries;
    }
    // A start that leaves the desktop's screen saver alone, until the saved playlist has been dealt with.
    static void launch(Lifecycle &which)
    {
        Lifecycle::LaunchSteps steps;
        steps.disableIdleTimer = [] {};
        which.didFinishLaunching(steps);
        which.autosave().wait();
    }
    // The window shown so, or the program sent to the background, and the save that starts then done.
    void showWindow(QWindow::Visibility visibility)
    {
        lifecycle->windowVisibilityChanged(visibility);
        lifecycle->autosave().wait();
    }
    void toBackground()
    {
        lifecycle->applicationDidEnterBackground();
        lifecycle->autosave().wait();
    }
    void playlistOfThreeWithTheSecondPlaying()
    {
        Stores::playlist().assignEntries({{QStringLiteral("a.mp3"), false},
                                          {QStringLiteral("Rock/b.mp3"), true},
                                          {QStringLiteral("c.mp3"), false}});
    }

    QTemporaryDir root;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<Lifecycle> lifecycle;
    QString inbox;
    QList<Notice> notices;
    bool answerNotices = true;
};

TEST_F(LifecycleTest, LaunchRunsItsStepsInOrderAndRestoresThePlaylistForThePlayer)
{
    saveAutosaved({"a.mp3", "Rock/b.mp3", "c.mp3"});
    NowPlaying bar(nullptr);
    DownloadQueue::shared().append(DownloadQueue::Audio, QueueItem{});
    DownloadQueue::shared().append(DownloadQueue::Video, QueueItem{});
    Badges::shared().setApplicationBadge(9);
    QStringList steps;
    Lifecycle::LaunchSteps launch;
    launch.disableIdleTimer = [&] { steps << QStringLiteral("idle"); };
    // The badge is set after the window is shown.
    launch.showWindow = [&] {
        steps << QStringLiteral("window") + QString::number(Badges::shared().queueCount());
    };
    launch.audioSession = [&] {
        steps << QStringLiteral("session") + QString::number(Stores::playlist().size());
    };
    launch.remoteControl = [&] { steps << QStringLiteral("remote"); };
    // The playlist is read once the window has drawn: the test draws its "first frame" below.
    std::function<void()> firstFrame;
    launch.afterFirstFrame = [&](std::function<void()> then) {
        steps << QStringLiteral("frame");
        firstFrame = std::move(then);
    };

    EXPECT_FALSE(settings->contains(QStringLiteral("auto_sleep")));
    EXPECT_FALSE(settings->contains(QStringLiteral("settings_rotation")));
    EXPECT_TRUE(lifecycle->didFinishLaunching(launch));
    lifecycle->autosave().wait();
    // The defaults are written on first use.
    EXPECT_TRUE(settings->contains(QStringLiteral("auto_sleep")));
    EXPECT_TRUE(settings->contains(QStringLiteral("settings_rotation")));
    EXPECT_TRUE(settings->boolValue(QStringLiteral("settings_rotation"), false));
    EXPECT_EQ(steps, QStringList({"idle", "window9", "frame", "session0", "remote"}));
    EXPECT_EQ(Badges::shared().queueCount(), 2);
    lifecycle->autosave().wait();
    EXPECT_TRUE(Stores::playlist().isEmpty()) << "nothing is read before the window has drawn";
    EXPECT_FALSE(bar.canPlay());
    QSignalSpy restored(&lifecycle->autosave(), &PlaylistAutosave::restored);
    ASSERT_TRUE(firstFrame);
    firstFrame();
    EXPECT_TRUE(lifecycle->autosave().loading());
    ASSERT_TRUE(restored.wait(5000));
    EXPECT_EQ(restored.first().at(1).toInt(), 3);
    EXPECT_EQ(playlist(), QStringList({"a.mp3|0", "Rock/b.mp3|0", "c.mp3|0"}));
    EXPECT_TRUE(bar.canPlay()) << "play starts the first entry once the playlist is there";

    // With "auto_sleep" off the idle timer is left alone; a stored "settings_rotation" is only read.
    settings->setBool(QStringLiteral("auto_sleep"), false);
    settings->setBool(QStringLiteral("settings_rotation"), false);
    steps.clear();
    Lifecycle second(settings.get());
    second.didFinishLaunching(launch);
    second.autosave().wait();
    EXPECT_EQ(steps.first(), QStringLiteral("window2"));
    EXPECT_FALSE(settings->boolValue(QStringLiteral("settings_rotation"), true));
    // What came in was what the file holds: nothing to write back.
    lifecycle->applicationWillTerminate();
    EXPECT_FALSE(QFileInfo::exists(autosaved() + QStringLiteral(".unreadable")));
}

TEST_F(LifecycleTest, LaunchKeepsThePlaylistWhenTheSavedOneIsMissingEmptyOrDamaged)
{
    Stores::playlist().assignEntries({{QStringLiteral("kept.mp3"), false}});
    launch(*lifecycle); // no file: a fresh start, nothing said, nothing made
    EXPECT_EQ(playlist(), QStringList{"kept.mp3|0"});
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_EQ(QDir(root.path()).entryList({QStringLiteral("AudioAutosaved*")}, QDir::Files), QStringList());

    saveAutosaved({});
    launch(*lifecycle);
    EXPECT_EQ(playlist(), QStringList{"kept.mp3|0"});
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_TRUE(QFile::exists(autosaved()));

    // Cut short, not XML at all, and (as crashed every start inside libplist) 200,000 nested <array>.
    const QByteArray damaged[] = {
        QByteArray("<?xml version=\"1.0\"?><plist><array><array><string>x"), QByteArray(4096, '\xff'),
        QByteArray("<?xml version=\"1.0\"?><plist>") + QByteArray("<array>").repeated(200000)};
    int count = 0;
    for (const QByteArray &content : damaged) {
        writeFile(autosaved(), content);
        launch(*lifecycle);
        EXPECT_EQ(playlist(), QStringList{"kept.mp3|0"});
        ++count;
        // Kept aside under a name of its own, the earlier ones untouched.
        const QString kept = count == 1 ? autosaved() + QStringLiteral(".unreadable")
                                        : autosaved() + QStringLiteral(".%1.unreadable").arg(count);
        EXPECT_EQ(readFile(kept), content);
        ASSERT_EQ(notices.size(), count);
        EXPECT_EQ(notices.last().title, QStringLiteral("Ошибка"));
        EXPECT_TRUE(notices.last().message.contains(kept)) << notices.last().message.toStdString();
    }
}

// The reproduction: a three-entry playlist cut to 95 %, a start, an exit. The damaged file used to become an
// empty <array/>.
TEST_F(LifecycleTest, AnUnreadableAutosavedPlaylistIsKeptAndNeverOverwritten)
{
    TestSupport::LogCapture log;
    playlistOfThreeWithTheSecondPlaying();
    lifecycle->applicationWillTerminate();
    const QByteArray whole = readFile(autosaved());
    const QByteArray cut = whole.left(whole.size() * 95 / 100);
    writeFile(autosaved(), cut);
    Stores::playlist().clear();

    Lifecycle next(settings.get());
    watch(next);
    launch(next);
    EXPECT_TRUE(Stores::playlist().isEmpty()) << "the program starts with an empty playlist";
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].buttons, QStringList{QStringLiteral("Готово")});
    EXPECT_TRUE(notices[0].message.contains(autosaved() + QStringLiteral(".unreadable")));
    EXPECT_EQ(log.lines().filter(QStringLiteral("could not be read")).size(), 1);

    next.applicationWillTerminate();
    EXPECT_EQ(readFile(autosaved() + QStringLiteral(".unreadable")), cut);
    EXPECT_FALSE(QFile::exists(autosaved())) << "the empty playlist did not change: nothing to write";
    Stores::playlist().assignEntries({{QStringLiteral("new.mp3"), false}});
    next.applicationWillTerminate();
    EXPECT_EQ(savedEntries(), QStringList{QStringLiteral("new.mp3|0")}) << "a changed one is saved beside it";
    Stores::playlist().clear();

    // When the damaged file cannot even be moved aside, nothing is written over it this run.
    writeFile(autosaved(), cut);
    for (int i = 2; i <= 100; ++i)
        writeFile(autosaved() + QStringLiteral(".%1.unreadable").arg(i), "taken");
    Lifecycle stuck(settings.get());
    launch(stuck);
    Stores::playlist().append(PlaylistEntry{QStringLiteral("new.mp3"), false});
    stuck.applicationDidEnterBackground();
    stuck.autosave().wait();
    stuck.applicationWillTerminate();
    EXPECT_EQ(readFile(autosaved()), cut);
}

// The reader refuses a file over 64 MB, so the writer does not make one: the last good file stays.
TEST_F(LifecycleTest, APlaylistTooLargeToReadBackIsNotSavedAndTheUserIsTold)
{
    TestSupport::LogCapture log;
    playlistOfThreeWithTheSecondPlaying();
    toBackground();
    const QByteArray good = readFile(autosaved());
    Stores::playlist().append(
        PlaylistEntry{QString(qsizetype(PropertyList::maxFileSize), QLatin1Char('x')), false});
    showWindow(QWindow::Minimized);
    EXPECT_EQ(readFile(autosaved()), good);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].title, QStringLiteral("Ошибка"));
    EXPECT_TRUE(notices[0].message.contains(QStringLiteral("64 МБ")));
    EXPECT_EQ(log.lines().filter(QStringLiteral("larger than 64 MB")).size(), 1);
    showWindow(QWindow::Minimized);
    EXPECT_EQ(notices.size(), 1) << "told once, not at every minimise";
}

// Hiding the window, the program suspended or in the background, and the exit save a changed playlist, never
// on the main thread, with every mark cleared; the next launch reads it back.
TEST_F(LifecycleTest, HidingOrLeavingTheWindowSavesAChangedPlaylistOffTheMainThread)
{
    QList<QThread *> writers;
    lifecycle->autosave().setWriter([&](const QString &path, const QList<PlaylistEntry> &entries) {
        writers << QThread::currentThread();
        return PlaylistFile::write(path, entries);
    });
    showWindow(QWindow::Minimized);
    EXPECT_TRUE(writers.isEmpty()) << "nothing changed since the start";

    playlistOfThreeWithTheSecondPlaying();
    showWindow(QWindow::Windowed);
    showWindow(QWindow::Maximized);
    EXPECT_FALSE(QFile::exists(autosaved()));
    showWindow(QWindow::Minimized);
    ASSERT_EQ(writers.size(), 1);
    EXPECT_NE(writers[0], QThread::currentThread());
    EXPECT_EQ(savedEntries(), QStringList({"a.mp3|0", "Rock/b.mp3|0", "c.mp3|0"}));

    lifecycle->windowVisibilityChanged(QWindow::Minimized);
    Stores::playlist().setCurrentIndex(0); // another track: the file holds no marks
    toBackground();
    EXPECT_EQ(writers.size(), 1);

    Stores::playlist().moveEntry(0, 2);
    lifecycle->applicationStateChanged(Qt::ApplicationSuspended);
    lifecycle->autosave().wait();
    EXPECT_EQ(savedEntries(), QStringList({"Rock/b.mp3|0", "c.mp3|0", "a.mp3|0"}));
    Stores::playlist().removeEntry(0);
    showWindow(QWindow::Hidden);
    EXPECT_EQ(savedEntries(), QStringList({"c.mp3|0", "a.mp3|0"}));

    // The exit waits for its write, which runs on the worker as well.
    Stores::playlist().removeEntry(0);
    lifecycle->applicationWillTerminate();
    ASSERT_EQ(writers.size(), 4);
    EXPECT_NE(writers[3], QThread::currentThread());
    EXPECT_EQ(savedEntries(), QStringList{"a.mp3|0"});
    lifecycle->applicationWillTerminate();
    EXPECT_EQ(writers.size(), 4);
    Stores::playlist().clear();
    toBackground();
    EXPECT_TRUE(savedEntries().isEmpty());

    // What the next launch reads back.
    playlistOfThreeWithTheSecondPlaying();
    toBackground();
    Stores::playlist().clear();
    Lifecycle next(settings.get());
    launch(next);
    EXPECT_EQ(playlist(), QStringList({"a.mp3|0", "Rock/b.mp3|0", "c.mp3|0"}));

    // A write that failed is tried again at the next save, though nothing changed since.
    lifecycle->autosave().setWriter([&](const QString &, const QList<PlaylistEntry> &) {
        writers << QThread::currentThread();
        return PropertyList::WriteResult::Failed;
    });
    writers.clear();
    Stores::playlist().removeEntry(0);
    toBackground();
    toBackground();
    EXPECT_EQ(writers.size(), 2);
}

TEST_F(LifecycleTest, EntriesAddedBeforeTheSavedPlaylistArrivesStayAndTheExitWaitsForIt)
{
    saveAutosaved({"a.mp3", "b.mp3"});
    Lifecycle::LaunchSteps launch;
    launch.disableIdleTimer = [] {};
    lifecycle->didFinishLaunching(launch); // the read starts at once, on the worker
    Stores::playlist().append(PlaylistEntry{QStringLiteral("added.mp3"), false});
    // An exit before the read came back: the file must not lose what it held.
    lifecycle->applicationWillTerminate();
    EXPECT_EQ(savedEntries(), QStringList({"a.mp3|0", "b.mp3|0", "added.mp3|0"}));
    EXPECT_EQ(playlist(), savedEntries());
}

TEST_F(LifecycleTest, ExitSavesThePlaylistRemovesTopLevelTemporaryFilesAndClearsTheBadge)
{
    const QStringList files = QStringLiteral("audio/song.mp3.4.temp audio/song.mp3 audio/upper.TEMP "
                                             "audio/Sub/inner.mp3.5.temp audio/Folder.temp/kept.mp3 "
                                             "video/clip.mp4.6.temp video/clip.mp4")
                                  .split(' ');
    for (const QString &file : files)
        writeFile(root.filePath(file), "x");
    playlistOfThreeWithTheSecondPlaying();
    Badges::shared().setApplicationBadge(4);

    lifecycle->applicationWillTerminate();

    QStringList left;
    for (const QString &file : files) {
        if (QFile::exists(root.filePath(file)))
            left << file;
    }
    EXPECT_EQ(left, QStringList({"audio/song.mp3", "audio/upper.TEMP", "audio/Sub/inner.mp3.5.temp",
                                 "audio/Folder.temp/kept.mp3", "video/clip.mp4"}));
    EXPECT_EQ(savedEntries(), QStringList({"a.mp3|0", "Rock/b.mp3|0", "c.mp3|0"}));
    EXPECT_EQ(DownloadQueue::shared().count(), 0);

    // No media folders yet: nothing to delete, nothing created.
    QDir(root.filePath(QStringLiteral("audio"))).removeRecursively();
    QDir(root.filePath(QStringLiteral("video"))).removeRecursively();
    lifecycle->applicationWillTerminate();
    EXPECT_FALSE(QFileInfo::exists(StorageLayout::getAudioDir()));
}

// Quitting the window deletes the partial downloads it leaves behind, never the file of a transfer that
// another program (melodrop-cli, another instance) is running: that one holds the file's lock.
TEST_F(LifecycleTest, ExitKeepsTheTemporaryFilesThatAnotherProgramIsDownloadingInto)
{
    Sandbox sandbox;
    ASSERT_TRUE(sandbox.start());
    const QString base = QString::fromStdString(sandbox.baseUrl());
    const QString audio = StorageLayout::getAudioDir();
    const QString url = base + QStringLiteral("/storage/bytes/400000/busy.bin");
    const QByteArray expected = Http::get(url, {}, 10).body;
    ASSERT_EQ(expected.size(), 400000);

    // melodrop-cli downloading into the same folder.
    sandbox.storageFaults().throttleBytesPerSecond = 200000;
    QProcess cli;
    cli.start(qEnvironmentVariable("MELODROP_CLI"), {"--root", root.path(), "download", "Busy", url});
    const QString cliTemporary = audio + QStringLiteral("/Busy.mp3.1.temp");
    ASSERT_TRUE(TestSupport::waitFor([&] { return QFileInfo(cliTemporary).size() > 0; }, 20000));

    // Another program's lock, taken the way a transfer takes it; a file nobody holds; a link.
    writeFile(audio + QStringLiteral("/held.mp3.2.temp"), "part");
    const int held =
        ::open(QFile::encodeName(audio + QStringLiteral("/held.mp3.2.temp")).constData(), O_RDWR);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    writeFile(audio + QStringLiteral("/left.mp3.3.temp"), "part");
    writeFile(root.filePath(QStringLiteral("victim")), "the user's");
    ASSERT_TRUE(
        QFile::link(root.filePath(QStringLiteral("victim")), audio + QStringLiteral("/link.mp3.4.temp")));

    // This program's own transfer ends with it: its file goes as before.
    DownloadEngine engine;
    QObject context;
    DownloadRequest::Options options;
    options.url = base + QStringLiteral("/storage/bytes/400000/own.bin");
    options.temporaryPath = audio + QStringLiteral("/Own.mp3.5.temp");
    options.destinationPath = audio + QStringLiteral("/Own.mp3");
    options.allowResume = true;
    DownloadRequest::Callbacks callbacks;
    callbacks.context = &context;
    const DownloadRequestPtr own = DownloadRequest::create(options, callbacks);
    engine.addOperation(own);
    ASSERT_TRUE(TestSupport::waitFor([&] { return own->totalBytesRead() > 0; }));

    lifecycle->applicationWillTerminate();

    EXPECT_TRUE(QFileInfo::exists(cliTemporary));
    EXPECT_EQ(readFile(audio + QStringLiteral("/held.mp3.2.temp")), "part");
    EXPECT_FALSE(QFileInfo::exists(audio + QStringLiteral("/left.mp3.3.temp")));
    EXPECT_FALSE(QFileInfo(audio + QStringLiteral("/link.mp3.4.temp")).isSymLink());
    EXPECT_EQ(readFile(root.filePath(QStringLiteral("victim"))), "the user's");
    EXPECT_FALSE(QFileInfo::exists(options.temporaryPath));
    ::close(held);
    engine.cancelAllOperations();

    // The other program's download goes on to the end and is saved whole.
    ASSERT_TRUE(cli.waitForFinished(30000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    EXPECT_EQ(readFile(audio + QStringLiteral("/Busy.mp3")), expected);
}

TEST_F(LifecycleTest, ReceivedMp3AndMp4FilesGoToTheImportFoldersWithANotice)
{
    TestSupport::LogCapture log;
    writeFile(StorageLayout::getAudioDir() + QStringLiteral("/there.mp3"), "mp3 data");
    AudioMenu menu(settings.get());
    menu.viewWillAppear();
    ASSERT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 1; }));
    writeFile(inbox + QStringLiteral("/LOUD.MP3"), "mp3 data");
    EXPECT_TRUE(lifecycle->handleOpenURL(QUrl::fromLocalFile(inbox + QStringLiteral("/LOUD.MP3"))));
    EXPECT_EQ(readFile(audioImport() + QStringLiteral("/LOUD.MP3")), QByteArray("mp3 data"));
    // The audio menu counts the file brought in without being shown again.
    EXPECT_TRUE(TestSupport::waitFor([&] { return menu.counter(5) == 2; })) << menu.counter(5);
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].title, QStringLiteral("Уведомление"));
    EXPECT_EQ(notices[0].buttons, QStringList{QStringLiteral("Готово")});
    EXPECT_TRUE(QFile::exists(inbox + QStringLiteral("/LOUD.MP3"))); // the received file stays in the Inbox

    // A per cent escaped space and an HTML reference in the name are decoded.
    writeFile(inbox + QStringLiteral("/My Song.mp3"), "spaced");
    lifecycle->handleOpenURL(QUrl(QStringLiteral("file://") + inbox + QStringLiteral("/My%20Song.mp3")));
    receive(QStringLiteral("Rock &amp; Roll.mp3"), "amp");
    EXPECT_EQ(readFile(audioImport() + QStringLiteral("/My Song.mp3")), QByteArray("spaced"));
    EXPECT_EQ(readFile(audioImport() + QStringLiteral("/Rock & Roll.mp3")), QByteArray("amp"));

    // MP4: the video import folder, and the name goes to the log.
    receive(QStringLiteral("clip.mp4"), "mp4 data");
    EXPECT_EQ(readFile(videoImport() + QStringLiteral("/clip.mp4")), QByteArray("mp4 data"));
    EXPECT_EQ(log.count(QStringLiteral("clip.mp4")), 1);
    EXPECT_EQ(messages(), QStringList({"Файл LOUD.MP3 помещён в папку audio/Импортированные",
                                       "Файл My Song.mp3 помещён в папку audio/Импортированные",
                                       "Файл Rock & Roll.mp3 помещён в папку audio/Импортированные",
                                       "Файл clip.mp4 помещён в папку video/Импортированные"}));

    // An existing import keeps its content, and the notice is still shown.
    receive(QStringLiteral("clip.mp4"), "new");
    EXPECT_EQ(readFile(videoImport() + QStringLiteral("/clip.mp4")), QByteArray("mp4 data"));
    EXPECT_EQ(notices.size(), 5);
    EXPECT_EQ(QDir(videoImport()).entryList(QDir::Files | QDir::Hidden).size(), 1); // no stray temporary file
}

TEST_F(LifecycleTest, FilesHandedOverTogetherGetOneNoticeEachOneAfterAnother)
{
    answerNotices = false;
    for (const char *name : {"one.mp3", "two.mp4", "three.mp3"})
        writeFile(inbox + QLatin1Char('/') + QString::fromUtf8(name), "x");
    lifecycle->openArguments({inbox + "/one.mp3", inbox + "/two.mp4", inbox + "/three.mp3"}, root.path());
    EXPECT_TRUE(QFile::exists(audioImport() + "/three.mp3")); // every file is imported at once
    EXPECT_EQ(notices.size(), 1);
    lifecycle->alertAnswered(0, 0); // another alert's answer: not this one's
    EXPECT_EQ(notices.size(), 1);
    for (int answer = 0; answer < 3; ++answer)
        lifecycle->alertAnswered(Lifecycle::noticeTag, 0);
    EXPECT_EQ(messages(), QStringList({"Файл one.mp3 помещён в папку audio/Импортированные",
                                       "Файл two.mp4 помещён в папку video/Импортированные",
                                       "Файл three.mp3 помещён в папку audio/Импортированные"}));

    // With nothing on show, the next file's notice comes at once.
    lifecycle->handleOpenURL(QUrl::fromLocalFile(inbox + "/one.mp3"));
    EXPECT_EQ(notices.size(), 4);
}

TEST_F(LifecycleTest, OtherFilesAndWebAddressesAreIgnoredWithoutANoticeAndAFailedCopyIsAnError)
{
    for (const char *name : {"notes.txt", "song.ogg", "mp3"}) {
        writeFile(inbox + QLatin1Char('/') + QLatin1String(name), "x");
        EXPECT_TRUE(
            lifecycle->handleOpenURL(QUrl::fromLocalFile(inbox + QLatin1Char('/') + QLatin1String(name))));
    }
    EXPECT_TRUE(lifecycle->handleOpenURL(QUrl(QStringLiteral("https://example.org/song.mp3"))));
    EXPECT_TRUE(lifecycle->handleOpenURL(QUrl()));
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(StorageLayout::getAudioDir()));
    EXPECT_FALSE(QFileInfo::exists(StorageLayout::getVideoDir()));

    // A copy that fails (the handed-over file is gone before the import runs) is an error, and no file
    // appears.
    lifecycle->handleOpenURL(QUrl::fromLocalFile(inbox + QStringLiteral("/vanished.mp3")));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_EQ(notices[0].title, QStringLiteral("Ошибка"));
    EXPECT_TRUE(notices[0].message.contains(QStringLiteral("vanished.mp3")));
    EXPECT_FALSE(QFile::exists(audioImport() + QStringLiteral("/vanished.mp3")));
}

TEST_F(LifecycleTest, ANameThatTriesToLeaveTheImportFolderStaysInIt)
{
    // "%2F" in the address is a separator once decoded: the source resolves two folders up, the name must
    // not.
    writeFile(root.filePath(QStringLiteral("escape.mp3")), "outside");
    ASSERT_TRUE(QDir().mkpath(inbox + QStringLiteral("/x")));
    const QUrl climbing(QStringLiteral("file://") + inbox + QStringLiteral("/x/..%2F..%2Fescape.mp3"));
    ASSERT_TRUE(climbing.isLocalFile());
    EXPECT_EQ(Lifecycle::importedFileName(climbing), QStringLiteral("escape.mp3"));
    lifecycle->handleOpenURL(climbing);
    EXPECT_EQ(readFile(audioImport() + QStringLiteral("/escape.mp3")), QByteArray("outside"));
    EXPECT_FALSE(QFileInfo::exists(StorageLayout::getAudioDir() + QStringLiteral("/escape.mp3")));
    EXPECT_EQ(messages(), QStringList{"Файл escape.mp3 помещён в папку audio/Импортированные"});

    // A separator spelt as an HTML reference in a real file name.
    receive(QStringLiteral("a&#47;..&#47;..&#47;up.mp3"), "ref");
    EXPECT_EQ(readFile(audioImport() + QStringLiteral("/up.mp3")), QByteArray("ref"));
    EXPECT_FALSE(QFileInfo::exists(root.filePath(QStringLiteral("up.mp3"))));

    for (const char *url : {"file:///in/evil.mp3%2F..", "file:///in/%20%2E%20", "file:///in/a%00b.mp3"})
        EXPECT_EQ(Lifecycle::importedFileName(QUrl(QLatin1String(url))), QString()) << url;
}

TEST_F(LifecycleTest, CommandLineFilesAreStagedInTheInboxThenImported)
{
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath(QStringLiteral("Track one.mp3")), "first");
    writeFile(elsewhere.filePath(QStringLiteral("film.mp4")), "film");
    writeFile(elsewhere.filePath(QStringLiteral("readme.txt")), "text");

    lifecycle->openArguments({QStringLiteral("Track one.mp3"),
                              QUrl::fromLocalFile(elsewhere.filePath(QStringLiteral("film.mp4"))).toString(),
                              QStringLiteral("readme.txt"), QStringLiteral("missing.mp3"),
                              QStringLiteral("https://example.org/a.mp3")},
                             elsewhere.path());

    EXPECT_EQ(readFile(inbox + QStringLiteral("/Track one.mp3")), QByteArray("first"));
    EXPECT_EQ(readFile(audioImport() + QStringLiteral("/Track one.mp3")), QByteArray("first"));
    EXPECT_EQ(readFile(videoImport() + QStringLiteral("/film.mp4")), QByteArray("film"));
    EXPECT_FALSE(QFile::exists(inbox + QStringLiteral("/readme.txt")));
    EXPECT_EQ(notices.size(), 2);
    EXPECT_TRUE(QFile::exists(elsewhere.filePath(QStringLiteral("Track one.mp3")))); // copied, not moved

    // Handed over again with new content: the Inbox copy is replaced, the imported file is kept.
    writeFile(elsewhere.filePath(QStringLiteral("Track one.mp3")), "second");
    lifecycle->openArguments({elsewhere.filePath(QStringLiteral("Track one.mp3"))}, QString());
    EXPECT_EQ(readFile(inbox + QStringLiteral("/Track one.mp3")), QByteArray("second"));
    EXPECT_EQ(readFile(audioImport() + QStringLiteral("/Track one.mp3")), QByteArray("first"));
    EXPECT_EQ(notices.size(), 3);
    EXPECT_EQ(QDir(inbox).entryList(QDir::Files | QDir::Hidden).size(), 2); // no partial copies left
}

// A list is read where it lies (its relative paths start there), never staged in the Inbox.
TEST_F(LifecycleTest, PlaylistsHandedOverBecomeSavedPlaylistsOfTheFilesInTheLibrary)
{
    const QString audio = StorageLayout::getAudioDir();
    writeFile(audio + QStringLiteral("/Кино/Группа крови.mp3"), "one");
    writeFile(audio + QStringLiteral("/b c.mp3"), "two");
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath(QStringLiteral("Music/b c.mp3")), "not in the library");
    writeFile(elsewhere.filePath(QStringLiteral("Мой микс.m3u8")),
              "#EXTM3U\n" + (audio + QStringLiteral("/Кино/Группа крови.mp3")).toUtf8() +
                  "\nMusic/b c.mp3\ngone.mp3\n" +
                  QDir(elsewhere.path()).relativeFilePath(audio + QStringLiteral("/b c.mp3")).toUtf8() +
                  "\n");

    lifecycle->openArguments({QStringLiteral("Мой микс.m3u8")}, elsewhere.path());
    EXPECT_EQ(savedEntries(StorageLayout::getPlaylistsDir() + QStringLiteral("/Мой микс.tuneplaylist")),
              QStringList({"Кино/Группа крови.mp3|0", "b c.mp3|0"}));
    EXPECT_FALSE(QFile::exists(inbox + QStringLiteral("/Мой микс.m3u8")));

    // "Open with" a second time: a name of its own; a list of nothing known, or no list at all, says so.
    writeFile(elsewhere.filePath(QStringLiteral("radio.pls")), "[playlist]\nFile1=Music/b c.mp3\n");
    for (const char *name : {"Мой микс.m3u8", "radio.pls", "absent.xspf"})
        lifecycle->handleOpenURL(QUrl::fromLocalFile(elsewhere.filePath(QString::fromUtf8(name))));
    EXPECT_EQ(messages(),
              QStringList(
                  {"Плейлист «Мой микс» сохранён. Импортировано: 2, не найдено: 2",
                   "Плейлист «Мой микс (2)» сохранён. Импортировано: 2, не найдено: 2",
                   "Плейлист radio.pls не импортирован: ни одного его файла нет в медиатеке (не найдено: 1)",
                   "Плейлист absent.xspf не импортирован: файл не удалось прочитать"}));
    EXPECT_EQ(notices.first().title + '|' + notices.last().title, QStringLiteral("Уведомление|Ошибка"));
    EXPECT_FALSE(QFile::exists(StorageLayout::getPlaylistsDir() + QStringLiteral("/radio.tuneplaylist")));
}

TEST_F(LifecycleTest, TerminationSignalsBecomeAnOrderlyExitRequest)
{
    // SIGTERM goes the same way, and also past a window that would ask first: gui_test_main_window.
    QSignalSpy requests(lifecycle.get(), &Lifecycle::terminationRequested);
    lifecycle->watchTerminationSignals();
    std::raise(SIGINT);
    ASSERT_TRUE(requests.wait(2000));
    EXPECT_EQ(requests.size(), 1);

    lifecycle.reset();
    struct sigaction current = {};
    sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

TEST(ShellTest, TheBadgesFollowTheQueueWithoutTheQueueKnowingThem)
{
    Shell shell;
    DownloadQueue::shared().clear();
    QSignalSpy badge(&shell, &Shell::queueBadgeChanged);
    DownloadQueue::shared().append(DownloadQueue::Audio,
                                   QueueItem{QStringLiteral("A"), QStringLiteral("u"), 1});
    EXPECT_EQ(shell.queueBadge(), 1);
    EXPECT_EQ(shell.windowTitle(), QStringLiteral("Melodrop (1)"));
    DownloadQueue::shared().remove(1);
    EXPECT_EQ(shell.queueBadge(), 0);
    EXPECT_EQ(badge.count(), 2);
}

} // namespace
