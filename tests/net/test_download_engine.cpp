// The download engine: whole files, their progress, the queue, resumes, failures, cancels and time-outs; and
// the temporary file's writer beneath it: a slow disk never blocks the receiving side, memory stays bounded,
// and what was appended reaches the file in order.
#include "../support/DownloadTest.h"
#include "../support/NetServer.h"

#include "net/FileSink.h"
#include "net/FileWriter.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

using namespace TestSupport;

using DownloadEngineTest = DownloadTest;

// Progress of a fast transfer is coalesced, and yet every byte is reported, once.
TEST_F(DownloadEngineTest, WholeFileReplacesTheDestinationAndEveryByteIsReportedOnce)
{
    const qint64 size = 24 * 1024 * 1024;
    const QString url = bytesUrl(size, "whole");
    const QByteArray expected = reference(url);
    ASSERT_EQ(expected.size(), size);
    writeFile(dir.filePath("whole.bin"), "an older file of that name");

    Outcome outcome;
    const auto started = std::chrono::steady_clock::now();
    const DownloadRequestPtr r = start(outcome, options(url, "whole.bin"));
    EXPECT_EQ(engine.operations().size(), 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return outcome.ended(); }, 30000));
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);

    EXPECT_TRUE(outcome.finished) << r->errorDescription().toStdString();
    EXPECT_TRUE(readFile(dir.filePath("whole.bin")) == expected);
    EXPECT_FALSE(QFile::exists(r->options().temporaryPath));
    EXPECT_EQ(outcome.bytes, quint64(size));
    EXPECT_EQ(quint64(sandbox.storageFaults().bytesServed.load()), outcome.bytes);
    EXPECT_FALSE(outcome.progressAfterEnd);
    EXPECT_EQ(outcome.lastContentLength, quint64(size));
    EXPECT_EQ(outcome.lastTotal, quint64(size));
    // One report per interval at most, plus the first block and the last remainder.
    EXPECT_LE(outcome.progressCalls, 2 + int(elapsed.count() / DownloadEngine::progressIntervalMs) + 1);
    EXPECT_EQ(r->error(), DownloadRequest::Error::None);
    EXPECT_TRUE(engine.operations().isEmpty());
    EXPECT_GT(engine.averageBandwidthUsedPerSecond(), 0u);
    EXPECT_LE(engine.averageBandwidthUsedPerSecond(), quint64(size)); // averaged over at least a second
}

TEST_F(DownloadEngineTest, AtMostThreeRunAndTheRestWaitInOrder)
{
    sandbox.storageFaults().throttleBytesPerSecond = 40000;
    EXPECT_EQ(engine.maxConcurrentOperationCount(), 3);
    Outcome outcomes[5];
    std::vector<DownloadRequestPtr> requests;
    for (int i = 0; i < 5; ++i) {
        const QString name = QStringLiteral("five%1").arg(i);
        DownloadRequest::Options options = this->options(bytesUrl(60000, name), name + ".bin");
        options.tag = 100 + i;
        requests.push_back(start(outcomes[i], options));
    }
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return outcomes[0].bytes > 0 && outcomes[1].bytes > 0 && outcomes[2].bytes > 0; }));
    EXPECT_TRUE(requests[0]->isExecuting() && requests[1]->isExecuting() && requests[2]->isExecuting());
    EXPECT_FALSE(requests[3]->isExecuting() || requests[4]->isExecuting());
    EXPECT_EQ(outcomes[3].bytes + outcomes[4].bytes, 0u);
    QList<int> tags;
    for (const DownloadRequestPtr &operation : engine.operations())
        tags << operation->tag();
    EXPECT_EQ(tags, QList<int>({100, 101, 102, 103, 104}));

    sandbox.storageFaults().throttleBytesPerSecond = 0;
    ASSERT_TRUE(TestSupport::waitFor([&] {
        return std::all_of(std::begin(outcomes), std::end(outcomes), [](auto &o) { return o.finished; });
    }));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(QFileInfo(dir.filePath(QStringLiteral("five%1.bin").arg(i))).size(), 60000);
}

TEST_F(DownloadEngineTest, DroppedConnectionFailsKeepsItsDataAndResumesWithARange)
{
    const QString url = bytesUrl(300000, "dropped");
    const QByteArray expected = reference(url);
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    faults.dropAfterBytes = 100000;

    Outcome first;
    const DownloadRequestPtr r1 = run(first, url, "dropped.bin");
    EXPECT_TRUE(first.failed);
    EXPECT_EQ(r1->error(), DownloadRequest::Error::Incomplete) << r1->errorDescription().toStdString();
    EXPECT_FALSE(r1->errorDescription().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("dropped.bin")));
    EXPECT_EQ(readFile(r1->options().temporaryPath), expected.left(100000));

    faults.dropAfterBytes = -1;
    Outcome second;
    const DownloadRequestPtr r2 = run(second, url, "dropped.bin");
    ASSERT_TRUE(second.finished) << r2->errorDescription().toStdString();
    EXPECT_EQ(readFile(dir.filePath("dropped.bin")), expected);
    // Only the missing part came again, and the item's counts speak of the whole file.
    EXPECT_EQ(faults.bytesServed.load(), 300000);
    EXPECT_EQ(second.bytes, 200000u);
    EXPECT_EQ(r2->contentLength(), 300000u);
    EXPECT_EQ(r2->totalBytesRead(), 300000u);
    EXPECT_EQ(first.bytes + second.bytes, 300000u);
}

// Our own part, resumed with a Range the server ignores: the 200 and its whole file replace the part.
TEST_F(DownloadEngineTest, ResumeAnsweredWithTheWholeFileStartsTheFileAgain)
{
    const QByteArray expected = reference(bytesUrl(200000, "norange"));
    NetServer server([&](const QByteArray &, bool &) {
        return "HTTP/1.1 200 OK\r\nContent-Length: 200000\r\nConnection: close\r\n\r\n" + expected;
    });
    writeFile(temporary("norange.bin"), expected.left(50000));
    setAttribute(temporary("norange.bin"), FileOrigin::urlAttribute, server.url().toUtf8());

    Outcome outcome;
    const DownloadRequestPtr r = run(outcome, server.url(), "norange.bin");
    ASSERT_TRUE(outcome.finished) << r->errorDescription().toStdString();
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests().first().contains("Range: bytes=50000-"))
        << server.requests().first().data();
    EXPECT_EQ(readFile(dir.filePath("norange.bin")), expected);
    EXPECT_EQ(outcome.bytes, 200000u);
    EXPECT_EQ(r->contentLength(), 200000u);
}

// What an earlier run of this download left at the temporary name (its origin recorded with it).
TEST_F(DownloadEngineTest, AnOldPartIsOverwrittenWithoutResumeAndACompleteOneFinishesWithoutData)
{
    const QString url = bytesUrl(40000, "earlier");
    const QByteArray expected = reference(url);
    const struct
    {
        const char *what;
        QByteArray part;
        bool resume;
        quint64 bytes;
    } cases[] = {
        {"resume not allowed", QByteArray(90000, 'x'), false, 40000},
        {"complete", expected, true, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = QString::fromLatin1(c.what) + ".bin";
        writeFile(temporary(name), c.part);
        setAttribute(temporary(name), FileOrigin::urlAttribute, url.toUtf8());
        DownloadRequest::Options options = this->options(url, name);
        options.allowResume = c.resume;
        Outcome outcome;
        const DownloadRequestPtr r = run(outcome, options);
        ASSERT_TRUE(outcome.finished) << r->errorDescription().toStdString();
        EXPECT_EQ(readFile(dir.filePath(name)), expected);
        EXPECT_EQ(outcome.bytes, c.bytes);
    }
}

TEST_F(DownloadEngineTest, ErrorAnswersRefusedConnectionsAndUnwritableFoldersAreFailures)
{
    sandbox.storageFaults().errorStatus = 404;
    Outcome fresh;
    const DownloadRequestPtr r1 = run(fresh, bytesUrl(1000, "missing"), "missing.bin");
    EXPECT_TRUE(fresh.failed);
    EXPECT_EQ(r1->error(), DownloadRequest::Error::HttpStatus);
    EXPECT_TRUE(r1->errorDescription().contains("404"));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.bin")));
    EXPECT_FALSE(QFile::exists(r1->options().temporaryPath)); // the error page is not saved anywhere
    EXPECT_EQ(fresh.bytes, 0u);

    // A partial file survives an error answer to its resume.
    sandbox.storageFaults().errorStatus = 503;
    writeFile(temporary("partial.bin"), "first part");
    Outcome resumed;
    run(resumed, bytesUrl(1000, "partial"), "partial.bin");
    EXPECT_TRUE(resumed.failed);
    EXPECT_EQ(readFile(temporary("partial.bin")), QByteArray("first part"));
    EXPECT_FALSE(QFile::exists(dir.filePath("partial.bin")));

    // A refused connection, and a folder that cannot take the file.
    sandbox.storageFaults().errorStatus = 0;
    Outcome refused, unwritable;
    const DownloadRequestPtr r3 = start(refused, options("http://127.0.0.1:1/nothing.bin", "refused.bin"));
    DownloadRequest::Options options = this->options(bytesUrl(1000, "nowhere"), "no/such/folder/file");
    options.temporaryPath = dir.filePath("no/such/folder/file.temp");
    const DownloadRequestPtr r4 = start(unwritable, options);
    ASSERT_TRUE(TestSupport::waitFor([&] { return refused.ended() && unwritable.ended(); }));
    EXPECT_TRUE(refused.failed);
    EXPECT_EQ(r3->error(), DownloadRequest::Error::Connection);
    EXPECT_TRUE(unwritable.failed);
    EXPECT_EQ(r4->error(), DownloadRequest::Error::File);
    EXPECT_TRUE(r4->errorDescription().contains("no/such/folder"));
}

TEST_F(DownloadEngineTest, CancelStopsRunningAndWaitingRequestsAndKeepsTheData)
{
    sandbox.storageFaults().throttleBytesPerSecond = 50000;
    engine.setMaxConcurrentOperationCount(1);
    Outcome running, waiting;
    const DownloadRequestPtr r1 = start(running, options(bytesUrl(500000, "slow"), "slow.bin"));
    const DownloadRequestPtr r2 = start(waiting, options(bytesUrl(500000, "queued"), "queued.bin"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return running.bytes >= 10000; }));

    engine.cancel(r2);
    r1->cancel();
    ASSERT_TRUE(TestSupport::waitFor([&] { return running.ended() && waiting.ended(); }));
    EXPECT_TRUE(running.failed && waiting.failed);
    EXPECT_EQ(r1->error(), DownloadRequest::Error::Cancelled);
    EXPECT_EQ(r2->error(), DownloadRequest::Error::Cancelled);
    EXPECT_FALSE(r1->errorDescription().isEmpty());
    // Every byte that arrived is in the temporary file, ready for a resume.
    EXPECT_EQ(quint64(QFileInfo(r1->options().temporaryPath).size()), running.bytes);
    EXPECT_GE(running.bytes, 10000u);
    EXPECT_FALSE(QFile::exists(r1->options().destinationPath));
    EXPECT_FALSE(QFile::exists(r2->options().temporaryPath));
    EXPECT_TRUE(engine.operations().isEmpty());

    // Cancel all ends everything, each with a failure.
    Outcome a, b;
    start(a, options(bytesUrl(500000, "a"), "a.bin"));
    start(b, options(bytesUrl(500000, "b"), "b.bin"));
    engine.cancelAllOperations();
    ASSERT_TRUE(TestSupport::waitFor([&] { return a.ended() && b.ended(); }));
    EXPECT_TRUE(a.failed && b.failed);
}

TEST_F(DownloadEngineTest, CallbacksOfAGoneContextAreDropped)
{
    auto outcome = std::make_unique<Outcome>();
    bool called = false;
    DownloadRequest::Callbacks callbacks = outcome->callbacks();
    callbacks.finished = [&called](DownloadRequest &) { called = true; };
    engine.addOperation(DownloadRequest::create(options(bytesUrl(1000, "gone"), "gone.bin"), callbacks));
    outcome.reset();
    ASSERT_TRUE(TestSupport::waitFor([&] { return engine.operations().isEmpty(); }));
    EXPECT_FALSE(called);
    EXPECT_TRUE(QFile::exists(dir.filePath("gone.bin")));
}

// A server that sends the headers and the first half of the body, then nothing, for the first `stalls`
// connections; later connections get an honest answer (206 for a Range).
NetServer::Answer stalling(const QByteArray &body, int stalls)
{
    return [body, stalls, connections = 0](const QByteArray &request, bool &hold) mutable {
        const qsizetype at = request.indexOf("Range: bytes=");
        const qsizetype from =
            at < 0 ? 0 : request.mid(at + 13, request.indexOf('-', at) - at - 13).toLongLong();
        const QByteArray rest = body.mid(from);
        QByteArray head = from > 0 ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        head += "Content-Length: " + QByteArray::number(rest.size()) + "\r\n";
        if (from > 0)
            head += "Content-Range: bytes " + QByteArray::number(from) + "-" +
                    QByteArray::number(body.size() - 1) + "/" + QByteArray::number(body.size()) + "\r\n";
        hold = connections++ < stalls;
        return head + "\r\n" + (hold ? rest.left(rest.size() / 2) : rest);
    };
}

TEST_F(DownloadEngineTest, TimeOutRestartsFromWhereTheDataStoppedUntilTheRetriesRunOut)
{
    QByteArray body(64000, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 7 + i / 256);
    const struct
    {
        int stalls, retries;
        QStringList ranges; // the Range fields of the requests, in order
    } cases[] = {{2, 2, {"", "bytes=32000-", "bytes=48000-"}}, {5, 0, {""}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.retries);
        NetServer server(stalling(body, c.stalls));
        DownloadEngine engine; // its own, so that the held connections end with the server
        DownloadRequest::Options options =
            this->options(server.url(), QStringLiteral("stall%1.bin").arg(c.retries));
        options.timeoutSeconds = 1;
        options.retriesOnTimeout = c.retries;
        Outcome outcome;
        const DownloadRequestPtr r = start(outcome, options, &engine);
        ASSERT_TRUE(TestSupport::waitFor([&] { return outcome.ended(); }, 20000));
        QStringList ranges;
        for (const QByteArray &request : server.requests()) {
            const qsizetype at = request.indexOf("Range: ");
            ranges << (at < 0 ? QString()
                              : QString::fromLatin1(request.mid(at + 7, request.indexOf('\r', at) - at - 7)));
        }
        EXPECT_EQ(ranges, c.ranges);
        if (c.retries > 0) {
            ASSERT_TRUE(outcome.finished) << r->errorDescription().toStdString();
            EXPECT_EQ(readFile(options.destinationPath), body);
            EXPECT_EQ(r->attempts(), 3);
            EXPECT_EQ(outcome.bytes, 64000u);
        } else {
            EXPECT_TRUE(outcome.failed);
            EXPECT_EQ(r->error(), DownloadRequest::Error::TimedOut);
            EXPECT_EQ(readFile(options.temporaryPath), body.left(32000));
            EXPECT_FALSE(QFile::exists(options.destinationPath));
        }
    }
}

// ---- the temporary file's writer

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
