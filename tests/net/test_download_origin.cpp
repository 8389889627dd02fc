// A download never saves bytes that are not the file behind its address: temporary files left by someone
// else, files that changed on the server, other downloads of the same name, proxies.
#include "../support/DownloadTest.h"

#include "net/FileOrigin.h"
#include "sandbox/ConnectProxy.h"

#include <QFile>
#include <QFileInfo>

namespace {

using namespace TestSupport;

// A temporary file with the address it was fetched from recorded, as a download leaves it.
void writeFrom(const QString &path, const QByteArray &data, const QString &origin)
{
    writeFile(path, data);
    setAttribute(path, FileOrigin::urlAttribute, origin.toUtf8());
}

using DownloadOriginTest = DownloadTest;

// A temporary file of the same name that another download left (an earlier run, a crash, another process)
// is never continued: whatever its size, the file is fetched whole.
TEST_F(DownloadOriginTest, ForeignTemporaryFilesOfEverySizeAreStartedAgain)
{
    const QString url = bytesUrl(100000, "song");
    const QByteArray expected = reference(url);
    const struct
    {
        const char *what;
        QByteArray content;
        QString origin;
    } cases[] = {
        {"shorter, no origin", QByteArray(30000, 'x'), QString()},
        {"exactly the remote size, other bytes", QByteArray(100000, 'y'), QString()},
        {"longer than the remote file", QByteArray(150000, 'z'), QString()},
        {"shorter, another address", expected.left(30000), bytesUrl(100000, "other")},
        {"the remote size, another address", QByteArray(100000, 'w'), bytesUrl(100000, "other")},
    };
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = QStringLiteral("song%1.bin").arg(index++);
        if (c.origin.isEmpty())
            writeFile(temporary(name), c.content);
        else
            writeFrom(temporary(name), c.content, c.origin);
        sandbox.storageFaults().bytesServed = 0;
        Outcome outcome;
        const DownloadRequestPtr request = run(outcome, url, name);
        ASSERT_TRUE(outcome.finished) << request->errorDescription().toStdString();
        EXPECT_EQ(readFile(dir.filePath(name)), expected);
        EXPECT_EQ(outcome.bytes, 100000u);
        EXPECT_EQ(sandbox.storageFaults().bytesServed.load(), 100000);
        // The saved file keeps where it came from, as a browser's download does.
        EXPECT_EQ(attributeOf(dir.filePath(name), FileOrigin::urlAttribute), url.toUtf8());
    }
}

TEST_F(DownloadOriginTest, OurOwnPartIsContinuedEvenThroughAProxyAndAnOverlongOneStartsAgain)
{
    ConnectProxy proxy;
    ASSERT_TRUE(proxy.start());
    const QString url = bytesUrl(100000, "mine");
    const QByteArray expected = reference(url);
    // A proxy's CONNECT answer never restarts the resumed file.
    for (const QString &through : {QString(), QString::fromStdString(proxy.url())}) {
        SCOPED_TRACE(through.toStdString());
        const QString name = through.isEmpty() ? QStringLiteral("part.bin") : QStringLiteral("tunnel.bin");
        writeFrom(temporary(name), expected.left(40000), url);
        sandbox.storageFaults().bytesServed = 0;
        DownloadRequest::Options options = this->options(url, name);
        options.proxy = through;
        Outcome part;
        const DownloadRequestPtr request = run(part, options);
        ASSERT_TRUE(part.finished) << request->errorDescription().toStdString();
        EXPECT_EQ(readFile(dir.filePath(name)), expected);
        EXPECT_EQ(sandbox.storageFaults().bytesServed.load(), 60000); // only the rest came
    }
    EXPECT_GE(proxy.tunnelsOpened(), 1);

    // Recorded as ours, but longer than the file now is: the 416 does not fit, the file comes again.
    writeFrom(temporary("long.bin"), expected + QByteArray(5000, 'q'), url);
    Outcome overlong;
    const DownloadRequestPtr request = run(overlong, url, "long.bin");
    ASSERT_TRUE(overlong.finished) << request->errorDescription().toStdString();
    EXPECT_EQ(readFile(dir.filePath("long.bin")), expected);
}

TEST_F(DownloadOriginTest, AFileChangedOnTheServerIsFetchedWholeThroughIfRange)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    faults.validators = true;
    const QString url = bytesUrl(200000, "changing");
    faults.dropAfterBytes = 80000;
    Outcome first;
    run(first, url, "changing.bin");
    ASSERT_TRUE(first.failed);
    ASSERT_EQ(QFileInfo(temporary("changing.bin")).size(), 80000);

    faults.dropAfterBytes = -1;
    faults.fileVersion = 1; // a new file (1000 bytes longer), and a new validator, behind the same address
    const QByteArray changed = reference(url);
    ASSERT_NE(changed.left(80000), readFile(temporary("changing.bin")));
    Outcome second;
    const DownloadRequestPtr request = run(second, url, "changing.bin");
    ASSERT_TRUE(second.finished) << request->errorDescription().toStdString();
    EXPECT_EQ(readFile(dir.filePath("changing.bin")), changed);
    EXPECT_EQ(request->contentLength(), 201000u);

    // The same file still there: only the rest comes.
    faults.fileVersion = 0;
    faults.dropAfterBytes = 50000;
    Outcome broken;
    run(broken, bytesUrl(200000, "steady"), "steady.bin");
    ASSERT_TRUE(broken.failed);
    faults.dropAfterBytes = -1;
    faults.bytesServed = 0;
    Outcome resumed;
    run(resumed, bytesUrl(200000, "steady"), "steady.bin");
    ASSERT_TRUE(resumed.finished);
    EXPECT_EQ(faults.bytesServed.load(), 150000);
    EXPECT_EQ(readFile(dir.filePath("steady.bin")), reference(bytesUrl(200000, "steady")));
}

TEST_F(DownloadOriginTest, WithoutExtendedAttributesOnlyThisProcesssOwnPartsAreContinued)
{
    FileOrigin::setAttributesDisabledForTesting(true);
    const QString url = bytesUrl(120000, "plain");
    const QByteArray expected = reference(url);

    writeFile(temporary("foreign.bin"), expected.left(20000) + QByteArray(20000, 'x'));
    Outcome foreign;
    run(foreign, url, "foreign.bin");
    ASSERT_TRUE(foreign.finished);
    EXPECT_EQ(readFile(dir.filePath("foreign.bin")), expected);

    sandbox.storageFaults().dropAfterBytes = 50000;
    Outcome broken;
    run(broken, url, "own.bin");
    ASSERT_TRUE(broken.failed);
    sandbox.storageFaults().dropAfterBytes = -1;
    sandbox.storageFaults().bytesServed = 0;
    Outcome resumed;
    run(resumed, url, "own.bin");
    ASSERT_TRUE(resumed.finished);
    EXPECT_EQ(sandbox.storageFaults().bytesServed.load(), 70000);
    EXPECT_EQ(readFile(dir.filePath("own.bin")), expected);
}

TEST_F(DownloadOriginTest, TwoDownloadsUnderOneNameNeverShareAFileNorOverwriteEachOther)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    faults.throttleBytesPerSecond = 200000;
    const QString first = bytesUrl(60000, "first");
    const QString second = bytesUrl(60000, "second");
    const QByteArray firstContent = reference(first);
    const QByteArray secondContent = reference(second);

    // One temporary name for both (another process numbers its items from 1 too): the second is refused
    // with a reason instead of writing into the first one's file.
    Outcome a, b;
    DownloadRequest::Options options = this->options(first, "same.bin");
    const DownloadRequestPtr ra = start(a, options);
    ASSERT_TRUE(TestSupport::waitFor([&] { return a.bytes > 0; }));
    options.url = second;
    DownloadEngine other;
    const DownloadRequestPtr rb = start(b, options, &other);
    ASSERT_TRUE(TestSupport::waitFor([&] { return a.ended() && b.ended(); }));
    EXPECT_TRUE(a.finished);
    EXPECT_TRUE(b.failed);
    EXPECT_EQ(rb->error(), DownloadRequest::Error::File);
    EXPECT_TRUE(rb->errorDescription().contains(QStringLiteral("занят")))
        << rb->errorDescription().toStdString();
    EXPECT_EQ(readFile(dir.filePath("same.bin")), firstContent);

    // Different temporary names, one destination, both begun before either is saved: the file that appeared
    // meanwhile stays.
    QFile::remove(dir.filePath("same.bin"));
    faults.throttleBytesPerSecond = 100000;
    Outcome c, d;
    options.temporaryPath = dir.filePath("same.bin.2.temp");
    const DownloadRequestPtr rc = start(c, options, &other);
    options.url = first;
    options.temporaryPath = dir.filePath("same.bin.3.temp");
    const DownloadRequestPtr rd = start(d, options);
    ASSERT_TRUE(TestSupport::waitFor([&] { return c.ended() && d.ended(); }));
    ASSERT_TRUE(c.finished && d.finished);
    EXPECT_EQ(readFile(rc->finalPath()), secondContent);
    EXPECT_EQ(readFile(rd->finalPath()), firstContent);
    QStringList saved = {QFileInfo(rc->finalPath()).fileName(), QFileInfo(rd->finalPath()).fileName()};
    saved.sort();
    EXPECT_EQ(saved, QStringList({"same (2).bin", "same.bin"}));
}

} // namespace
