// A download is finished only when the answers it got add up to the whole file behind its address: a 206 is
// checked against what was asked, and a resume without validators against the size recorded with the part.
#include "../support/DownloadTest.h"
#include "../support/NetServer.h"

#include <QFileInfo>

namespace {

using namespace TestSupport;

QByteArray partAnswer(const QByteArray &contentRange, const QByteArray &body, const QByteArray &extra = {})
{
    return "HTTP/1.1 206 Partial Content\r\nContent-Range: " + contentRange +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" + extra +
           "Connection: close\r\n\r\n" + body;
}

QByteArray pattern(int size, int seed)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 131 + seed * 17 + i / 977) & 0xff);
    return data;
}

using DownloadAnswersTest = DownloadTest;

// A storage host that answers with a part of the file whatever was asked: the part is never a finished file,
// but it is the part the Content-Range says, so it stays for a resume, and the rest completes the file.
TEST_F(DownloadAnswersTest, APartAnswerIsNeverAFinishedFileAndWhatItSaysItIsStaysForTheRest)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    const QString url = bytesUrl(1000000, "half");
    const QByteArray expected = reference(url);
    ASSERT_EQ(expected.size(), 1000000);

    // A plain GET answered with "206 bytes 0-499999/1000000" and those bytes.
    faults.partialAnswerBytes = 500000;
    Outcome plain;
    const DownloadRequestPtr first = run(plain, url, "half.bin");
    ASSERT_TRUE(plain.failed);
    EXPECT_EQ(first->error(), DownloadRequest::Error::PartialAnswer);
    EXPECT_TRUE(first->errorDescription().contains(QStringLiteral("неполный ответ сервера")))
        << first->errorDescription().toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("half.bin")));
    EXPECT_EQ(readFile(temporary("half.bin")), expected.left(500000));

    // The rest, asked for and answered as asked: the whole file.
    Outcome rest;
    const DownloadRequestPtr second = run(rest, url, "half.bin");
    ASSERT_TRUE(rest.finished) << second->errorDescription().toStdString();
    EXPECT_EQ(readFile(dir.filePath("half.bin")), expected);

    // A part that stops before the file's end, to a Range request: kept, and not finished either.
    faults.partialAnswerBytes = 300000;
    Outcome short1, short2, whole;
    run(short1, url, "short.bin");
    ASSERT_TRUE(short1.failed);
    const DownloadRequestPtr middle = run(short2, url, "short.bin");
    ASSERT_TRUE(short2.failed);
    EXPECT_EQ(middle->error(), DownloadRequest::Error::PartialAnswer);
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("short.bin")));
    EXPECT_EQ(readFile(temporary("short.bin")), expected.left(600000));
    faults.partialAnswerBytes = -1;
    run(whole, url, "short.bin");
    ASSERT_TRUE(whole.finished);
    EXPECT_EQ(readFile(dir.filePath("short.bin")), expected);
}

// 206 answers that do not fit what was asked for a resume: nothing of theirs is written, and a part whose
// file cannot be told from another is not kept.
TEST_F(DownloadAnswersTest, APartThatIsNotTheRestAskedForIsRefused)
{
    const QByteArray file = pattern(100000, 1);
    const struct
    {
        const char *what;
        QByteArray answer;
        QByteArray partLeft; // the temporary file afterwards
    } cases[] = {
        {"from another byte", partAnswer("bytes 30000-99999/100000", file.mid(30000)), file.left(40000)},
        {"no Content-Range", partAnswer("", file.mid(40000)).replace("Content-Range: \r\n", ""),
         file.left(40000)},
        {"a length that is not the range's", partAnswer("bytes 40000-99999/100000", file.mid(40000, 1000)),
         file.left(40000)},
        {"beyond the file's end", partAnswer("bytes 40000-99999/50000", file.mid(40000)), file.left(40000)},
        // The server vouched for our start (If-Range) but gives another size: which one is wrong is unknown.
        {"another size despite If-Range", partAnswer("bytes 40000-120039/120040", pattern(80040, 2)),
         QByteArray()},
    };
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        NetServer server([&](const QByteArray &, bool &) { return c.answer; });
        const QString name = QStringLiteral("part%1.bin").arg(index++);
        writeFile(temporary(name), file.left(40000));
        setAttribute(temporary(name), FileOrigin::urlAttribute, server.url().toUtf8());
        setAttribute(temporary(name), FileOrigin::validatorAttribute, "\"v1\"");
        setAttribute(temporary(name), FileOrigin::sizeAttribute, "100000");
        Outcome outcome;
        const DownloadRequestPtr request = run(outcome, server.url(), name);
        ASSERT_TRUE(outcome.failed);
        EXPECT_EQ(request->error(), DownloadRequest::Error::PartialAnswer)
            << request->errorDescription().toStdString();
        ASSERT_EQ(server.requests().size(), 1);
        EXPECT_TRUE(server.requests().first().contains("Range: bytes=40000-"));
        EXPECT_TRUE(server.requests().first().contains("If-Range: \"v1\""));
        EXPECT_FALSE(QFileInfo::exists(dir.filePath(name)));
        EXPECT_EQ(readFile(temporary(name)), c.partLeft);
    }
}

// Without ETag or Last-Modified the whole file's size is recorded with the part; a resume that finds another
// size behind the address fetches the new file whole instead of joining the two (the same size is joined:
// DownloadEngineTest.DroppedConnectionFailsKeepsItsDataAndResumesWithARange).
TEST_F(DownloadAnswersTest, WithoutValidatorsAFileOfAnotherSizeIsFetchedWholeInsteadOfJoined)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    for (const bool attributes : {true, false}) {
        SCOPED_TRACE(attributes ? "extended attributes" : "no extended attributes");
        FileOrigin::setAttributesDisabledForTesting(!attributes);
        faults.fileVersion = 0;
        const QString url = bytesUrl(500000, attributes ? "kept" : "plain");
        const QString name = attributes ? QStringLiteral("kept.bin") : QStringLiteral("plain.bin");
        const QByteArray old = reference(url);
        faults.dropAfterBytes = 150000;
        Outcome broken;
        run(broken, url, name);
        ASSERT_TRUE(broken.failed);
        ASSERT_EQ(QFileInfo(temporary(name)).size(), 150000);
        if (attributes) {
            EXPECT_EQ(attributeOf(temporary(name), FileOrigin::sizeAttribute), "500000");
        }

        faults.dropAfterBytes = -1;
        faults.fileVersion = 1; // other bytes, and 1000 more of them
        const QByteArray changed = reference(url);
        ASSERT_EQ(changed.size(), 501000);
        ASSERT_NE(changed.left(150000), old.left(150000));
        Outcome resumed;
        const DownloadRequestPtr request = run(resumed, url, name);
        ASSERT_TRUE(resumed.finished) << request->errorDescription().toStdString();
        EXPECT_EQ(readFile(dir.filePath(name)), changed);
        EXPECT_EQ(request->contentLength(), 501000u);
        // The finished file keeps its address only.
        EXPECT_TRUE(attributeOf(dir.filePath(name), FileOrigin::sizeAttribute).isEmpty());
    }
    faults.fileVersion = 0;
}

} // namespace
