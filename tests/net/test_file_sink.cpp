// The temporary file's writer: a slow disk never blocks the receiving side, memory stays bounded, and what
// was appended reaches the file in order.
#include "../support/Files.h"

#include "net/FileSink.h"
#include "net/FileWriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <random>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using TestSupport::readFile;

// Closes `sink` into `destination`: the close's error (-2 when it never came) and the path it was saved at.
std::pair<int, QString> closeInto(FileSink &sink, const QString &destination)
{
    std::promise<std::pair<int, QString>> closed;
    FileSink::Placement place;
    place.destination = destination;
    sink.close(&place, [&](int error, const QString &, const QString &finalPath) {
        closed.set_value({error, finalPath});
    });
    auto result = closed.get_future();
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready)
        return {-2, QString()};
    return result.get();
}

// Appends `data` from `from` on in chunks of the sizes libcurl hands over, with a flush now and then as the
// transfer's progress reports do, and closes into `destination`; the close's error.
int writeFrom(FileSink &sink, const QByteArray &data, qint64 from, const QString &destination)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sizes(1, 600 * 1024);
    qint64 at = from;
    int chunks = 0;
    while (at < data.size()) {
        const size_t size = size_t(std::min<qint64>(sizes(random), data.size() - at));
        const FileSink::Append result = sink.append(data.constData() + at, size);
        if (result == FileSink::Append::Full) {
            std::this_thread::yield();
            continue;
        }
        if (result != FileSink::Append::Ok)
            return -1;
        at += qint64(size);
        if (++chunks % 5 == 0)
            sink.flush();
    }
    return closeInto(sink, destination).first;
}

TEST(FileSinkTest, AStalledDiskPausesTheSenderInsteadOfBlockingItAndLosesNothing)
{
    QTemporaryDir dir;
    std::atomic<int> roomFreed{0};
    FileWriter writer([&] { roomFreed.fetch_add(1); });

    // The disk thread is stuck until released.
    std::mutex mutex;
    std::condition_variable released;
    bool go = false;
    writer.post([&] {
        std::unique_lock lock(mutex);
        released.wait(lock, [&] { return go; });
    });

    auto sink = std::make_shared<FileSink>(writer, dir.filePath("file.temp"));
    ASSERT_TRUE(sink->open(true));
    sink->truncate(0);
    QByteArray expected;
    QByteArray chunk(300 * 1024, '\0');
    int accepted = 0;
    for (int i = 0; i < 100; ++i) {
        chunk.fill(char('a' + i % 26));
        const FileSink::Append result = sink->append(chunk.constData(), size_t(chunk.size()));
        if (result == FileSink::Append::Full)
            break;
        ASSERT_EQ(result, FileSink::Append::Ok);
        expected += chunk;
        ++accepted;
    }
    // Bounded: at most the block pool's worth was taken while the disk was stuck, and taking it never waited
    // for the disk (which has written nothing yet: the loop would hang otherwise).
    EXPECT_EQ(roomFreed.load(), 0);
    EXPECT_LE(qint64(expected.size()), qint64(FileSink::maxBlocks) * qint64(FileSink::blockSize));
    EXPECT_GE(qint64(expected.size()), qint64(FileSink::maxBlocks - 1) * qint64(FileSink::blockSize));
    EXPECT_FALSE(sink->hasRoom());

    {
        std::lock_guard lock(mutex);
        go = true;
    }
    released.notify_one();
    // Room comes back as blocks are written; the rest then goes through.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int i = accepted; i < 100;) {
        chunk.fill(char('a' + i % 26));
        const FileSink::Append result = sink->append(chunk.constData(), size_t(chunk.size()));
        if (result == FileSink::Append::Full) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline);
            std::this_thread::yield();
            continue;
        }
        expected += chunk;
        ++i;
    }
    EXPECT_GT(roomFreed.load(), 0);

    EXPECT_EQ(closeInto(*sink, dir.filePath("file.bin")), std::make_pair(0, dir.filePath("file.bin")));
    EXPECT_TRUE(readFile(dir.filePath("file.bin")) == expected);
    EXPECT_FALSE(QFile::exists(dir.filePath("file.temp")));
}

// Whole pages go to the disk past the page cache where the file system takes that; a part resumed at any
// offset (aligned or not), odd chunk sizes and flushes between them still give the file byte for byte, with
// direct writes and without them.
TEST(FileSinkTest, ResumedPartsAtAnyOffsetEndUpByteForByteWithAndWithoutDirectWrites)
{
    QTemporaryDir dir;
    std::atomic<int> roomFreed{0};
    FileWriter writer([&] { roomFreed.fetch_add(1); });
    QByteArray data(9 * int(FileSink::blockSize) + 12345, Qt::Uninitialized);
    std::mt19937 random(1);
    for (char &byte : data)
        byte = char(random());

    // Whether the folder's file system takes direct writes at all (tmpfs before 6.6 does not).
    bool directPossible = false;
    {
        const QByteArray probe = QFile::encodeName(dir.filePath("probe"));
        const int fd = ::open(probe.constData(), O_RDWR | O_CREAT | O_DIRECT, 0644);
        struct statx info = {};
        directPossible = fd >= 0 && ::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &info) == 0 &&
                         (info.stx_mask & STATX_DIOALIGN) && info.stx_dio_offset_align > 0;
        if (fd >= 0)
            ::close(fd);
    }

    for (const bool direct : {true, false}) {
        FileSink::setDirectWritesDisabledForTesting(!direct);
        for (const qint64 kept : {qint64(0), qint64(4096), qint64(1), qint64(5000123)}) {
            SCOPED_TRACE(std::to_string(kept) + (direct ? " direct" : " cached"));
            const QString part = dir.filePath(QStringLiteral("part%1.temp").arg(kept));
            const QString whole = dir.filePath(QStringLiteral("whole%1-%2.bin").arg(kept).arg(direct));
            // What an earlier run left: the kept bytes and some more that the resume cuts off.
            TestSupport::writeFile(part, data.left(kept + 777));

            auto sink = std::make_shared<FileSink>(writer, part);
            ASSERT_TRUE(sink->open(false));
            EXPECT_EQ(sink->sizeOnOpen(), quint64(kept + 777));
            EXPECT_EQ(sink->writesDirectly(), direct && directPossible);
            sink->truncate(quint64(kept));
            ASSERT_EQ(writeFrom(*sink, data, kept, whole), 0);
            EXPECT_TRUE(readFile(whole) == data);
        }
    }
    FileSink::setDirectWritesDisabledForTesting(false);
}

} // namespace
