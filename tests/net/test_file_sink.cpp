// The temporary file's writer: a slow disk never blocks the receiving side, memory stays bounded, and what
// was appended reaches the file in order.
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
#include <thread>

namespace {

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
    const auto started = std::chrono::steady_clock::now();
    for (int i = 0; i < 100; ++i) {
        chunk.fill(char('a' + i % 26));
        const FileSink::Append result = sink->append(chunk.constData(), size_t(chunk.size()));
        if (result == FileSink::Append::Full)
            break;
        ASSERT_EQ(result, FileSink::Append::Ok);
        expected += chunk;
        ++accepted;
    }
    // Bounded: at most the block pool's worth was taken while the disk was stuck, and taking it never waited.
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
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

    std::promise<std::pair<int, QString>> closed;
    FileSink::Placement place;
    place.destination = dir.filePath("file.bin");
    sink->close(&place, [&](int error, const QString &, const QString &finalPath) {
        closed.set_value({error, finalPath});
    });
    auto result = closed.get_future();
    ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const auto [error, finalPath] = result.get();
    EXPECT_EQ(error, 0);
    EXPECT_EQ(finalPath, place.destination);
    QFile file(finalPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll() == expected);
    EXPECT_FALSE(QFile::exists(dir.filePath("file.temp")));
}

} // namespace
