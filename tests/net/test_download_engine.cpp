#include "../support/DownloadTest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace TestSupport;

// What a request reported, in the order it reported it.
struct Recorder
{
    QObject context;
    quint64 bytes = 0;
    int progressCalls = 0;
    bool finished = false;
    bool failed = false;
    bool progressAfterEnd = false;
    quint64 lastContentLength = 0;
    quint64 lastTotal = 0;

    DownloadRequest::Callbacks callbacks()
    {
        DownloadRequest::Callbacks callbacks;
        callbacks.context = &context;
        callbacks.receivedBytes = [this](DownloadRequest &request, quint64 count) {
            progressAfterEnd = progressAfterEnd || finished || failed;
            bytes += count;
            ++progressCalls;
            lastContentLength = request.contentLength();
            lastTotal = request.totalBytesRead();
        };
        callbacks.finished = [this](DownloadRequest &) { finished = true; };
        callbacks.failed = [this](DownloadRequest &) { failed = true; };
        return callbacks;
    }
    bool ended() const { return finished || failed; }
};

class DownloadEngineTest : public DownloadTest
{
protected:
    DownloadEngineTest() { tag = 7; }

    DownloadRequestPtr request(Recorder &recorder, const QString &url, const QString &name,
                               bool resume = true)
    {
        DownloadRequest::Options options = this->options(url, name);
        options.retriesOnTimeout = 2;
        options.allowResume = resume;
        return DownloadRequest::create(options, recorder.callbacks());
    }
    // Runs the request on the fixture's engine until it has ended.
    DownloadRequestPtr run(Recorder &recorder, const QString &url, const QString &name, bool resume = true)
    {
        DownloadRequestPtr started = request(recorder, url, name, resume);
        engine.addOperation(started);
        EXPECT_TRUE(TestSupport::waitFor([&] { return recorder.ended(); }));
        return started;
    }
};

TEST_F(DownloadEngineTest, WholeFileReplacesTheDestinationAndEveryByteIsReportedOnce)
{
    const QString url = bytesUrl(300000, "whole");
    const QByteArray expected = reference(url);
    ASSERT_EQ(expected.size(), 300000);
    writeFile(dir.filePath("whole.bin"), "an older file of that name");

    Recorder recorder;
    const DownloadRequestPtr r = request(recorder, url, "whole.bin");
    engine.addOperation(r);
    EXPECT_EQ(engine.operations().size(), 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.ended(); }));

    EXPECT_TRUE(recorder.finished) << r->errorDescription().toStdString();
    EXPECT_EQ(readFile(dir.filePath("whole.bin")), expected);
    EXPECT_FALSE(QFile::exists(r->options().temporaryPath));
    EXPECT_EQ(recorder.bytes, 300000u);
    EXPECT_EQ(quint64(sandbox.storageFaults().bytesServed.load()), recorder.bytes);
    EXPECT_FALSE(recorder.progressAfterEnd);
    EXPECT_EQ(recorder.lastContentLength, 300000u);
    EXPECT_EQ(recorder.lastTotal, 300000u);
    EXPECT_EQ(r->error(), DownloadRequest::Error::None);
    EXPECT_TRUE(engine.operations().isEmpty());
    EXPECT_GT(engine.averageBandwidthUsedPerSecond(), 0u);
    EXPECT_LE(engine.averageBandwidthUsedPerSecond(), 300000u); // averaged over at least a second
}

TEST_F(DownloadEngineTest, ProgressOfAFastTransferIsCoalescedWithoutLosingBytes)
{
    const qint64 size = 24 * 1024 * 1024;
    Recorder recorder;
    const auto started = std::chrono::steady_clock::now();
    engine.addOperation(request(recorder, bytesUrl(size, "fast"), "fast.bin"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.ended(); }, 30000));
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);

    ASSERT_TRUE(recorder.finished);
    EXPECT_EQ(recorder.bytes, quint64(size));
    EXPECT_EQ(QFileInfo(dir.filePath("fast.bin")).size(), size);
    // One report per interval at most, plus the first block and the last remainder.
    EXPECT_LE(recorder.progressCalls, 2 + int(elapsed.count() / DownloadEngine::progressIntervalMs) + 1);
}

TEST_F(DownloadEngineTest, AtMostThreeRunAndTheRestWaitInOrder)
{
    sandbox.storageFaults().throttleBytesPerSecond = 40000;
    EXPECT_EQ(engine.maxConcurrentOperationCount(), 3);
    Recorder recorders[5];
    std::vector<DownloadRequestPtr> requests;
    for (int i = 0; i < 5; ++i) {
        DownloadRequest::Options options;
        options.url = bytesUrl(60000, QStringLiteral("five%1").arg(i));
        options.destinationPath = dir.filePath(QStringLiteral("five%1.bin").arg(i));
        options.temporaryPath = options.destinationPath + ".temp";
        options.tag = 100 + i;
        requests.push_back(DownloadRequest::create(options, recorders[i].callbacks()));
        engine.addOperation(requests.back());
    }
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return recorders[0].bytes > 0 && recorders[1].bytes > 0 && recorders[2].bytes > 0; }));
    EXPECT_TRUE(requests[0]->isExecuting() && requests[1]->isExecuting() && requests[2]->isExecuting());
    EXPECT_FALSE(requests[3]->isExecuting());
    EXPECT_FALSE(requests[4]->isExecuting());
    EXPECT_EQ(recorders[3].bytes + recorders[4].bytes, 0u);
    QList<int> tags;
    for (const DownloadRequestPtr &operation : engine.operations())
        tags << operation->tag();
    EXPECT_EQ(tags, QList<int>({100, 101, 102, 103, 104}));

    sandbox.storageFaults().throttleBytesPerSecond = 0;
    ASSERT_TRUE(TestSupport::waitFor([&] {
        for (const Recorder &recorder : recorders)
            if (!recorder.finished)
                return false;
        return true;
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

    Recorder first;
    const DownloadRequestPtr r1 = run(first, url, "dropped.bin");
    EXPECT_TRUE(first.failed);
    EXPECT_EQ(r1->error(), DownloadRequest::Error::Incomplete) << r1->errorDescription().toStdString();
    EXPECT_FALSE(r1->errorDescription().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("dropped.bin")));
    EXPECT_EQ(readFile(r1->options().temporaryPath), expected.left(100000));

    faults.dropAfterBytes = -1;
    Recorder second;
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

TEST_F(DownloadEngineTest, ResumeAnsweredWithTheWholeFileStartsTheFileAgain)
{
    const QString url = bytesUrl(200000, "norange");
    const QByteArray expected = reference(url);
    writeFile(dir.filePath("norange.bin.7.temp"), expected.left(50000));
    sandbox.storageFaults().ignoreRange = true;

    Recorder recorder;
    const DownloadRequestPtr r = run(recorder, url, "norange.bin");
    ASSERT_TRUE(recorder.finished) << r->errorDescription().toStdString();
    EXPECT_EQ(readFile(dir.filePath("norange.bin")), expected);
    EXPECT_EQ(recorder.bytes, 200000u);
    EXPECT_EQ(r->contentLength(), 200000u);
}

TEST_F(DownloadEngineTest, WithoutResumeAnOldTemporaryFileIsOverwritten)
{
    const QString url = bytesUrl(70000, "fresh");
    const QByteArray expected = reference(url);
    writeFile(dir.filePath("fresh.bin.7.temp"), QByteArray(90000, 'x'));

    Recorder recorder;
    run(recorder, url, "fresh.bin", false);
    ASSERT_TRUE(recorder.finished);
    EXPECT_EQ(readFile(dir.filePath("fresh.bin")), expected);
}

TEST_F(DownloadEngineTest, ACompleteTemporaryFileFinishesWithoutData)
{
    const QString url = bytesUrl(40000, "complete");
    const QByteArray expected = reference(url);
    writeFile(dir.filePath("complete.bin.7.temp"), expected);
    // Left by an earlier run of this download: its origin is recorded with it.
    const QByteArray address = url.toUtf8();
    setAttribute(dir.filePath("complete.bin.7.temp"), "user.xdg.origin.url", address);

    Recorder recorder;
    const DownloadRequestPtr r = run(recorder, url, "complete.bin");
    ASSERT_TRUE(recorder.finished) << r->errorDescription().toStdString();
    EXPECT_EQ(readFile(dir.filePath("complete.bin")), expected);
    EXPECT_EQ(recorder.bytes, 0u);
}

TEST_F(DownloadEngineTest, ErrorAnswerIsAFailureAndLeavesTheFilesAsTheyWere)
{
    sandbox.storageFaults().errorStatus = 404;
    Recorder fresh;
    const DownloadRequestPtr r1 = run(fresh, bytesUrl(1000, "missing"), "missing.bin");
    EXPECT_TRUE(fresh.failed);
    EXPECT_EQ(r1->error(), DownloadRequest::Error::HttpStatus);
    EXPECT_TRUE(r1->errorDescription().contains("404"));
    EXPECT_FALSE(QFile::exists(dir.filePath("missing.bin")));
    EXPECT_FALSE(QFile::exists(r1->options().temporaryPath)); // the error page is not saved anywhere
    EXPECT_EQ(fresh.bytes, 0u);

    // A partial file survives an error answer to its resume.
    sandbox.storageFaults().errorStatus = 503;
    writeFile(dir.filePath("partial.bin.7.temp"), "first part");
    Recorder resumed;
    run(resumed, bytesUrl(1000, "partial"), "partial.bin");
    EXPECT_TRUE(resumed.failed);
    EXPECT_EQ(readFile(dir.filePath("partial.bin.7.temp")), QByteArray("first part"));
    EXPECT_FALSE(QFile::exists(dir.filePath("partial.bin")));
}

TEST_F(DownloadEngineTest, RefusedConnectionAndUnwritableFolderAreFailures)
{
    Recorder refused;
    const DownloadRequestPtr r1 = request(refused, "http://127.0.0.1:1/nothing.bin", "refused.bin");
    engine.addOperation(r1);
    Recorder unwritable;
    DownloadRequest::Options options;
    options.url = bytesUrl(1000, "nowhere");
    options.temporaryPath = dir.filePath("no/such/folder/file.temp");
    options.destinationPath = dir.filePath("no/such/folder/file");
    const DownloadRequestPtr r2 = DownloadRequest::create(options, unwritable.callbacks());
    engine.addOperation(r2);
    ASSERT_TRUE(TestSupport::waitFor([&] { return refused.ended() && unwritable.ended(); }));
    EXPECT_TRUE(refused.failed);
    EXPECT_EQ(r1->error(), DownloadRequest::Error::Connection);
    EXPECT_TRUE(unwritable.failed);
    EXPECT_EQ(r2->error(), DownloadRequest::Error::File);
    EXPECT_TRUE(r2->errorDescription().contains("no/such/folder"));
}

TEST_F(DownloadEngineTest, CancelStopsRunningAndWaitingRequestsAndKeepsTheData)
{
    sandbox.storageFaults().throttleBytesPerSecond = 50000;
    engine.setMaxConcurrentOperationCount(1);
    Recorder running;
    Recorder waiting;
    const DownloadRequestPtr r1 = request(running, bytesUrl(500000, "slow"), "slow.bin");
    DownloadRequest::Options options = r1->options();
    options.url = bytesUrl(500000, "queued");
    options.temporaryPath = dir.filePath("queued.temp");
    options.destinationPath = dir.filePath("queued.bin");
    const DownloadRequestPtr r2 = DownloadRequest::create(options, waiting.callbacks());
    engine.addOperation(r1);
    engine.addOperation(r2);
    ASSERT_TRUE(TestSupport::waitFor([&] { return running.bytes >= 10000; }));

    engine.cancel(r2);
    r1->cancel();
    ASSERT_TRUE(TestSupport::waitFor([&] { return running.ended() && waiting.ended(); }));
    EXPECT_TRUE(running.failed);
    EXPECT_TRUE(waiting.failed);
    EXPECT_EQ(r1->error(), DownloadRequest::Error::Cancelled);
    EXPECT_EQ(r2->error(), DownloadRequest::Error::Cancelled);
    EXPECT_FALSE(r1->errorDescription().isEmpty());
    // Every byte that arrived is in the temporary file, ready for a resume.
    EXPECT_EQ(quint64(QFileInfo(r1->options().temporaryPath).size()), running.bytes);
    EXPECT_GE(running.bytes, 10000u);
    EXPECT_FALSE(QFile::exists(r1->options().destinationPath));
    EXPECT_FALSE(QFile::exists(options.temporaryPath));
    EXPECT_TRUE(engine.operations().isEmpty());

    // Cancel all ends everything, each with a failure.
    Recorder a, b;
    engine.addOperation(request(a, bytesUrl(500000, "a"), "a.bin"));
    engine.addOperation(request(b, bytesUrl(500000, "b"), "b.bin"));
    engine.cancelAllOperations();
    ASSERT_TRUE(TestSupport::waitFor([&] { return a.ended() && b.ended(); }));
    EXPECT_TRUE(a.failed && b.failed);
}

TEST_F(DownloadEngineTest, CallbacksOfAGoneContextAreDropped)
{
    auto recorder = std::make_unique<Recorder>();
    bool called = false;
    DownloadRequest::Callbacks callbacks = recorder->callbacks();
    callbacks.finished = [&called](DownloadRequest &) { called = true; };
    DownloadRequest::Options options;
    options.url = bytesUrl(1000, "gone");
    options.temporaryPath = dir.filePath("gone.temp");
    options.destinationPath = dir.filePath("gone.bin");
    const DownloadRequestPtr r = DownloadRequest::create(options, callbacks);
    engine.addOperation(r);
    recorder.reset();
    ASSERT_TRUE(TestSupport::waitFor([&] { return engine.operations().isEmpty(); }));
    EXPECT_FALSE(called);
    EXPECT_TRUE(QFile::exists(dir.filePath("gone.bin")));
}

// A server that stalls: it sends the headers and the first half of the body, then nothing, for the first
// `stalls` connections; later connections get an honest answer (206 for a Range).
class StallingServer
{
public:
    StallingServer(QByteArray body, int stalls) : m_body(std::move(body)), m_stalls(stalls)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 8);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }
    ~StallingServer()
    {
        m_stop = true;
        m_thread.join();
        ::close(m_listener);
    }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/stall.bin").arg(m_port); }
    int connections() const { return m_connections.load(); }
    QStringList ranges() const
    {
        std::lock_guard lock(m_mutex);
        return m_ranges;
    }

private:
    void run()
    {
        std::vector<int> open;
        while (!m_stop) {
            pollfd listener{m_listener, POLLIN, 0};
            if (::poll(&listener, 1, 20) > 0) {
                const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    serve(client, m_connections.fetch_add(1) < m_stalls);
                    open.push_back(client);
                }
            }
        }
        for (int fd : open)
            ::close(fd);
    }

    void serve(int client, bool stall)
    {
        QByteArray request;
        char buffer[4096];
        while (!request.contains("\r\n\r\n")) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                return;
            request.append(buffer, n);
        }
        qsizetype from = 0;
        for (const QByteArray &line : request.split('\n')) {
            if (line.toLower().startsWith("range:")) {
                const QByteArray value = line.mid(6).trimmed();
                {
                    std::lock_guard lock(m_mutex);
                    m_ranges << QString::fromLatin1(value);
                }
                from = value.mid(6, value.indexOf('-') - 6).toLongLong();
            }
        }
        const QByteArray rest = m_body.mid(from);
        QByteArray head = from > 0 ? "HTTP/1.1 206 Partial Content\r\n" : "HTTP/1.1 200 OK\r\n";
        head += "Content-Length: " + QByteArray::number(rest.size()) + "\r\n";
        if (from > 0)
            head += "Content-Range: bytes " + QByteArray::number(from) + "-" +
                    QByteArray::number(m_body.size() - 1) + "/" + QByteArray::number(m_body.size()) + "\r\n";
        head += "\r\n";
        const QByteArray answer = head + (stall ? rest.left(rest.size() / 2) : rest);
        ::send(client, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL);
    }

    QByteArray m_body;
    int m_stalls;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_connections{0};
    mutable std::mutex m_mutex;
    QStringList m_ranges;
    std::thread m_thread;
};

TEST_F(DownloadEngineTest, TimeOutRestartsFromWhereTheDataStoppedUntilTheRetriesRunOut)
{
    QByteArray body(64000, '\0');
    for (int i = 0; i < body.size(); ++i)
        body[i] = char(i * 7 + i / 256);

    {
        StallingServer server(body, 2);
        DownloadEngine engine;
        Recorder recorder;
        DownloadRequest::Options options;
        options.url = server.url();
        options.temporaryPath = dir.filePath("stall.temp");
        options.destinationPath = dir.filePath("stall.bin");
        options.timeoutSeconds = 1;
        options.retriesOnTimeout = 2;
        options.allowResume = true;
        const DownloadRequestPtr r = DownloadRequest::create(options, recorder.callbacks());
        engine.addOperation(r);
        ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.ended(); }, 20000));
        ASSERT_TRUE(recorder.finished) << r->errorDescription().toStdString();
        EXPECT_EQ(readFile(options.destinationPath), body);
        EXPECT_EQ(r->attempts(), 3);
        EXPECT_EQ(server.ranges(), QStringList({"bytes=32000-", "bytes=48000-"}));
        EXPECT_EQ(recorder.bytes, 64000u);
    }
    {
        StallingServer server(body, 5);
        DownloadEngine engine;
        Recorder recorder;
        DownloadRequest::Options options;
        options.url = server.url();
        options.temporaryPath = dir.filePath("stall2.temp");
        options.destinationPath = dir.filePath("stall2.bin");
        options.timeoutSeconds = 1;
        options.retriesOnTimeout = 0;
        options.allowResume = true;
        const DownloadRequestPtr r = DownloadRequest::create(options, recorder.callbacks());
        engine.addOperation(r);
        ASSERT_TRUE(TestSupport::waitFor([&] { return recorder.ended(); }, 20000));
        EXPECT_TRUE(recorder.failed);
        EXPECT_EQ(r->error(), DownloadRequest::Error::TimedOut);
        EXPECT_EQ(server.connections(), 1);
        EXPECT_EQ(readFile(options.temporaryPath), body.left(32000));
        EXPECT_FALSE(QFile::exists(options.destinationPath));
    }
}

} // namespace
