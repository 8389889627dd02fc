// The queue names what it saves so that the file system takes it, keeps apart items of one name, and tells in
// the row why an item failed without losing what it already has.
#include "../support/Files.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "downloads/DownloadQueue.h"
#include "net/Http.h"
#include "sandbox/Sandbox.h"
#include "screens/Queue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using TestSupport::readFile;

class QueueFailureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        base = QString::fromStdString(sandbox.baseUrl());
        global = GlobalData::sharedGlobalData();
        DownloadQueue::shared().clear();
    }
    void TearDown() override
    {
        DownloadQueue::shared().clear();
        DownloadQueue::shared().setRetriesOnBreak(DownloadQueue::retriesOnBreak);
        StorageLayout::setRootDir(QString());
    }

    static QString audio(const QString &name = {}) { return StorageLayout::getAudioDir() + "/" + name; }
    QString bytesUrl(qint64 size, const QString &name) const
    {
        return base + "/storage/bytes/" + QString::number(size) + QLatin1Char('/') + name + ".bin";
    }
    QByteArray reference(const QString &url)
    {
        const long long served = sandbox.storageFaults().bytesServed.load();
        const QByteArray body = Http::get(url, {}, 10).body;
        sandbox.storageFaults().bytesServed.store(served);
        return body;
    }
    int add(const QString &name, const QString &url)
    {
        QueueItem item;
        item.name = name;
        item.url = url;
        item.tag = global->nextFileTag();
        DownloadQueue::shared().append(DownloadQueue::Audio, item);
        return item.tag;
    }
    // The row of the item with `tag`; a default row when there is none.
    QueueRowModel::Row row(Queue &queue, int tag)
    {
        queue.reloadTable();
        for (const QueueRowModel::Row &row : queue.rows()->rows())
            if (!row.header && row.tag == tag)
                return row;
        return {};
    }
    bool queueEmpty() const { return DownloadQueue::shared().items(DownloadQueue::Audio).isEmpty(); }
    bool failed(int tag) const
    {
        for (const QueueItem &item : DownloadQueue::shared().items(DownloadQueue::Audio))
            if (item.tag == tag)
                return item.state == QueueItem::State::Failed;
        return false;
    }

    Sandbox sandbox;
    QTemporaryDir root;
    QString base;
    GlobalData *global = nullptr;
};

TEST_F(QueueFailureTest, TitlesWithFormatMarksAndLongCyrillicTitlesAreSavedUnderTheirOwnNames)
{
    const QString cyrillic = QString(125, QChar(0x0416)); // "ЖЖЖ…", 250 bytes in UTF-8
    const QString emoji = QString::fromUtf8("😀").repeated(70);
    const QStringList titles = {"Top 100%1 hits", "A %2 B", "%L1 live", "100%% pure", cyrillic, emoji};
    Queue queue;
    QList<int> tags;
    QStringList urls;
    for (int i = 0; i < titles.size(); ++i) {
        urls << bytesUrl(5000 + i, QStringLiteral("title%1").arg(i));
        tags << add(titles.at(i), urls.last());
    }
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }, 20000));

    const QStringList saved = QDir(audio()).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(saved.size(), titles.size()) << saved.join(" | ").toStdString();
    for (int i = 0; i < titles.size(); ++i) {
        SCOPED_TRACE(titles.at(i).left(20).toStdString());
        QString found;
        for (const QString &name : saved)
            if (name.startsWith(titles.at(i).left(10)))
                found = name;
        ASSERT_TRUE(found.endsWith(".mp3")) << found.toStdString();
        EXPECT_EQ(readFile(audio(found)), reference(urls.at(i)));
        const QString stem = found.chopped(4);
        if (i < 4) {
            EXPECT_EQ(stem, titles.at(i));
            continue;
        }
        // Cut to whole characters so that "name.mp3.TAG.temp" fits 255 bytes.
        EXPECT_TRUE(titles.at(i).startsWith(stem));
        EXPECT_FALSE(stem.toUtf8().contains("\xEF\xBF\xBD")); // no replacement mark from a split character
        const int temporaryBytes = int((found + "." + QString::number(tags.at(i)) + ".temp").toUtf8().size());
        EXPECT_LE(temporaryBytes, 255);
        EXPECT_GT(temporaryBytes, 245); // as much of the title as fits, not far less
    }
}

TEST_F(QueueFailureTest, AFailedItemSaysWhyAndKeepsTheProgressOfWhatItHas)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    Queue queue;
    DownloadQueue::shared().setRetriesOnBreak(0); // each break is a failure here

    // A part answer where the whole file was asked for (that the part stays for the rest is the engine's).
    faults.partialAnswerBytes = 100000;
    const int part = add("Part", bytesUrl(400000, "part"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed(part); }));
    EXPECT_EQ(row(queue, part).status, "неполный ответ сервера, нажмите для запуска");
    EXPECT_DOUBLE_EQ(row(queue, part).progress, 0.25);
    EXPECT_FALSE(QFile::exists(audio("Part.mp3")));
    faults.partialAnswerBytes = -1;

    faults.dropAfterBytes = 50000;
    const int dropped = add("Dropped", bytesUrl(200000, "dropped"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed(dropped); }));
    const QueueRowModel::Row broken = row(queue, dropped);
    EXPECT_EQ(broken.status, "обрыв связи, нажмите для запуска");
    EXPECT_DOUBLE_EQ(broken.progress, 0.25);

    faults.dropAfterBytes = -1;
    faults.errorStatus = 503;
    const int refused = add("Refused", bytesUrl(1000, "refused"));
    TestSupport::LogCapture log;
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed(refused) && failed(dropped); }));
    EXPECT_EQ(row(queue, refused).status, "ошибка сервера 503, нажмите для запуска");
    EXPECT_FALSE(QFile::exists(audio("Refused.mp3")));
    ASSERT_FALSE(log.lines().isEmpty());
    EXPECT_TRUE(log.lines().first().contains("503")) << log.lines().first().toStdString();
    // The resume of the dropped one met the error too: its part is still shown.
    EXPECT_DOUBLE_EQ(row(queue, dropped).progress, 0.25);
    faults.errorStatus = 0;

    // A full disk: the process may write no file past 100 kB.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int big = add("Big", bytesUrl(300000, "big"));
    queue.startAll();
    // The other two were started again with it and may meet the limit too: every transfer ends first.
    const bool ended = TestSupport::waitFor(
        [&] { return failed(big) && queue.queue().transferPool()->operations().isEmpty(); });
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ASSERT_TRUE(ended);
    EXPECT_EQ(row(queue, big).status, "нет места на диске, нажмите для запуска");
    EXPECT_FALSE(QFile::exists(audio("Big.mp3")));

    // Every one of them still completes to the right bytes afterwards.
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    EXPECT_EQ(readFile(audio("Dropped.mp3")), reference(bytesUrl(200000, "dropped")));
    EXPECT_EQ(readFile(audio("Big.mp3")), reference(bytesUrl(300000, "big")));
}

// A connection cut off mid-file starts again by itself from where the file stopped, a few times, with growing
// pauses; the item fails only when the retries are used up, with the transfer's own text.
TEST_F(QueueFailureTest, ABrokenTransferIsRetriedFromItsPartUntilTheRetriesRunOut)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    Queue queue;
    TestSupport::LogCapture log;

    // Every answer breaks after 60,000 bytes: four answers bring the whole file.
    faults.dropAfterBytes = 60000;
    const QString url = bytesUrl(200000, "mended");
    const int mended = add("Mended", url);
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    faults.dropAfterBytes = -1;
    EXPECT_EQ(readFile(audio("Mended.mp3")), reference(url));
    EXPECT_EQ(faults.bytesServed.load(), 200000); // each retry asked only for the rest
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
    (void)mended;

    // Two retries: three answers of 50,000 bytes, then the item fails with the text of the last break.
    DownloadQueue::shared().setRetriesOnBreak(2);
    faults.dropAfterBytes = 50000;
    faults.bytesServed = 0;
    const QString longUrl = bytesUrl(400000, "broken");
    const int broken = add("Broken", longUrl);
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed(broken); }));
    EXPECT_EQ(faults.bytesServed.load(), 150000);
    const QString temporary = audio(QStringLiteral("Broken.mp3.%1.temp").arg(broken));
    faults.dropAfterBytes = -1;
    EXPECT_EQ(readFile(temporary), reference(longUrl).left(150000));
    const QueueRowModel::Row row = this->row(queue, broken);
    EXPECT_EQ(row.status, "обрыв связи, нажмите для запуска");
    const QString text = DownloadQueue::shared().failureText(broken);
    EXPECT_EQ(text, "Передача оборвалась: получено 50000 из 300000 байт");
    EXPECT_EQ(row.detail, row.status + "\n" + text);
    ASSERT_EQ(log.lines().size(), 1); // the final failure only, in its own words
    EXPECT_EQ(log.lines().first(), text);

    // With the program's pauses, the row says which retry it waits for, and removing it ends the wait.
    TestSupport::PacingScope pacing(0.5);
    DownloadQueue::shared().setRetriesOnBreak(DownloadQueue::retriesOnBreak);
    faults.dropAfterBytes = 1000;
    const int waiting = add("Waiting", bytesUrl(5000, "waiting"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return this->row(queue, waiting).status == "обрыв связи, повтор 1 из 4"; }));
    queue.removeButton(waiting);
    EXPECT_EQ(DownloadQueue::shared().breakRetryPending(waiting), 0);
    EXPECT_TRUE(DownloadQueue::shared().transferPool()->operations().isEmpty());
}

// The window keeps retrying a host that never answers (100 times), says which retry it is at, and the row's
// remove button stops it. The time-out is shortened here; the window waits 120 s.
TEST_F(QueueFailureTest, ASilentHostShowsTheRetryUnderWayAndTheRemoveButtonStopsIt)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    faults.silent = true;
    Queue queue;
    queue.queue().setTransferTimeout(0.1);
    const int tag = add("Silent", bytesUrl(1000, "silent"));
    queue.startAll();
    EXPECT_EQ(row(queue, tag).status, "сохранение запущено");
    ASSERT_TRUE(TestSupport::waitFor([&] { return row(queue, tag).status == "повтор 1 из 100"; }))
        << row(queue, tag).status.toStdString();
    ASSERT_TRUE(TestSupport::waitFor([&] { return row(queue, tag).status == "повтор 2 из 100"; }))
        << row(queue, tag).status.toStdString();
    EXPECT_TRUE(row(queue, tag).removable);
    // The row says "retry 2" as the retry is set off; its request reaches the host a moment later.
    EXPECT_TRUE(TestSupport::waitFor([&] { return faults.silentRequests.load() >= 3; }, 5000))
        << faults.silentRequests.load();

    queue.removeButton(tag);
    EXPECT_TRUE(queueEmpty());
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return queue.queue().transferPool()->operations().isEmpty(); }, 2000));

    // A host that answers again after a silent attempt: the row shows the progress once bytes come.
    faults.throttleBytesPerSecond = 200000;
    queue.queue().setTransferTimeout(0.3);
    const int later = add("Later", bytesUrl(300000, "later"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return row(queue, later).status == "повтор 1 из 100"; }));
    faults.silent = false;
    ASSERT_TRUE(TestSupport::waitFor([&] { return row(queue, later).status.startsWith("осталось"); }))
        << row(queue, later).status.toStdString();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    faults.throttleBytesPerSecond = 0;
    EXPECT_EQ(readFile(audio("Later.mp3")), reference(bytesUrl(300000, "later")));
}

TEST_F(QueueFailureTest, AFolderThatCannotBeWrittenIsNamedInTheRow)
{
    // Root ignores permission bits; an immutable folder stops even root.
    QDir().mkpath(audio());
    const int fd = ::open(QFile::encodeName(audio()).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    const bool immutable = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                           (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (!immutable) {
        ::close(fd);
        GTEST_SKIP() << "this file system or user cannot make a folder immutable";
    }
    Queue queue;
    const int tag = add("Locked", bytesUrl(1000, "locked"));
    queue.startAll();
    const bool ended = TestSupport::waitFor([&] { return failed(tag); });
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    ASSERT_TRUE(ended);
    EXPECT_EQ(row(queue, tag).status, "нет доступа к папке, нажмите для запуска");
}

TEST_F(QueueFailureTest, OnlyARealShortageOfMemoryCountsAsALowMemoryWarning)
{
    const struct
    {
        const char *meminfo;
        bool low;
    } cases[] = {
        {"MemTotal:       24000000 kB\nMemFree:  100000 kB\nMemAvailable:   20000000 kB\n", false},
        // A page cache that fills memory is still available memory.
        {"MemTotal:       24000000 kB\nMemFree:   50000 kB\nMemAvailable:    1000000 kB\n", false},
        {"MemTotal:       24000000 kB\nMemFree:   20000 kB\nMemAvailable:     700000 kB\n", true},
        {"MemTotal: 1000 kB\nMemAvailable: 0 kB\n", true},
        {"MemTotal: 1000 kB\n", false}, // no figure: no warning
        {"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DownloadQueue::isLowMemory(c.meminfo), c.low) << c.meminfo;
}

} // namespace
