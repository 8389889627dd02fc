// A download never saves bytes that are not the file behind its address: temporary files left by someone
// else, files that changed on the server, other downloads of the same name, proxies. And it is finished only
// when the answers it got add up to that whole file: a 206 is checked against what was asked, and a resume
// without validators against the size recorded with the part. Nor does it ever write through a link: whatever
// stands at the temporary or the final name (a symbolic link, a second name of another file) is replaced by
// the download, and the file it points to stays as it was.
#include "../support/DownloadTest.h"
#include "../support/NetServer.h"

#include "net/FileOrigin.h"
#include "sandbox/ConnectProxy.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace TestSupport;

// A temporary file with the address it was fetched from recorded (if any), as a download leaves it.
void writeFrom(const QString &path, const QByteArray &data, const QString &origin)
{
    writeFile(path, data);
    if (!origin.isEmpty())
        setAttribute(path, FileOrigin::urlAttribute, origin.toUtf8());
}

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

using DownloadOriginTest = DownloadTest;
using DownloadAnswersTest = DownloadTest;

// A temporary file of the same name that another download left (an earlier run, a crash, another process) is
// never continued: whatever its size, the file is fetched whole. Our own part is continued, through a proxy
// too (its CONNECT answer never restarts the file); recorded as ours but longer than the file now is, the 416
// does not fit and the file comes again.
TEST_F(DownloadOriginTest, ForeignPartsOfEverySizeStartAgainAndOurOwnIsContinued)
{
    ConnectProxy proxy;
    ASSERT_TRUE(proxy.start());
    const QString url = bytesUrl(100000, "song");
    const QString other = bytesUrl(100000, "other");
    const QByteArray expected = reference(url);
    const struct
    {
        const char *what;
        QByteArray content;
        QString origin;
        long long sent; // by the storage host, and reported; -1: not counted
        bool proxy = false;
    } cases[] = {
        {"shorter, no origin", QByteArray(30000, 'x'), QString(), 100000},
        {"exactly the remote size, other bytes", QByteArray(100000, 'y'), QString(), 100000},
        {"longer than the remote file", QByteArray(150000, 'z'), QString(), 100000},
        {"shorter, another address", expected.left(30000), other, 100000},
        {"the remote size, another address", QByteArray(100000, 'w'), other, 100000},
        {"ours", expected.left(40000), url, 60000},
        {"ours, through a proxy", expected.left(40000), url, 60000, true},
        {"ours, longer than the file now is", expected + QByteArray(5000, 'q'), url, -1},
    };
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const QString name = QStringLiteral("song%1.bin").arg(index++);
        writeFrom(temporary(name), c.content, c.origin);
        sandbox.storageFaults().bytesServed = 0;
        DownloadRequest::Options options = this->options(url, name);
        options.proxy = c.proxy ? QString::fromStdString(proxy.url()) : QString();
        Outcome outcome;
        const DownloadRequestPtr request = run(outcome, options);
        ASSERT_TRUE(outcome.finished) << request->errorDescription().toStdString();
        EXPECT_EQ(readFile(dir.filePath(name)), expected);
        if (c.sent >= 0) {
            EXPECT_EQ(sandbox.storageFaults().bytesServed.load(), c.sent);
            EXPECT_EQ(outcome.bytes, quint64(c.sent));
        }
        // The saved file keeps where it came from, as a browser's download does.
        EXPECT_EQ(attributeOf(dir.filePath(name), FileOrigin::urlAttribute), url.toUtf8());
    }
    EXPECT_GE(proxy.tunnelsOpened(), 1);
}

// A part broken off, and the file behind its address changed meanwhile or not. With validators the resume
// asks with If-Range; without them the whole file's size is recorded with the part, and another size is
// another file; without extended attributes only this process's own parts are known (a part that is not its
// own starts again). A changed file is fetched whole instead of joined, the same one only for its rest
// (without validators, with attributes:
// DownloadEngineTest.DroppedConnectionFailsKeepsItsDataAndResumesWithARange).
TEST_F(DownloadOriginTest, APartIsContinuedOnlyWhileTheFileBehindItsAddressIsTheSame)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    const struct
    {
        const char *what;
        bool validators, attributes, changed;
    } cases[] = {
        {"validators, changed", true, true, true},         {"validators, the same", true, true, false},
        {"the size recorded, changed", false, true, true}, {"no attributes, changed", false, false, true},
        {"no attributes, the same", false, false, false},
    };
    int index = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        faults.validators = c.validators;
        faults.fileVersion = 0;
        FileOrigin::setAttributesDisabledForTesting(!c.attributes);
        const QString name = QStringLiteral("part%1.bin").arg(index++);
        const QString url = bytesUrl(200000, name);
        const QByteArray old = reference(url);
        faults.dropAfterBytes = 80000;
        Outcome broken;
        run(broken, url, name);
        ASSERT_TRUE(broken.failed);
        ASSERT_EQ(readFile(temporary(name)), old.left(80000));
        if (c.attributes && !c.validators) {
            EXPECT_EQ(attributeOf(temporary(name), FileOrigin::sizeAttribute), "200000");
        }
        faults.dropAfterBytes = -1;
        faults.fileVersion = c.changed ? 1 : 0; // other bytes, 1000 more of them, and another validator
        const QByteArray now = reference(url);
        ASSERT_EQ(now.left(80000) == old.left(80000), !c.changed);
        faults.bytesServed = 0;
        Outcome resumed;
        const DownloadRequestPtr request = run(resumed, url, name);
        ASSERT_TRUE(resumed.finished) << request->errorDescription().toStdString();
        EXPECT_EQ(readFile(dir.filePath(name)), now);
        EXPECT_EQ(request->contentLength(), quint64(now.size()));
        if (!c.changed) {
            EXPECT_EQ(faults.bytesServed.load(), now.size() - 80000);
        }
        // The finished file keeps its address only.
        EXPECT_TRUE(attributeOf(dir.filePath(name), FileOrigin::sizeAttribute).isEmpty());
    }
    faults.fileVersion = 0;

    // Not this process's own part, and no attributes to tell: the file is fetched whole.
    FileOrigin::setAttributesDisabledForTesting(true);
    const QString url = bytesUrl(120000, "plain");
    writeFile(temporary("foreign.bin"), reference(url).left(20000) + QByteArray(20000, 'x'));
    Outcome foreign;
    run(foreign, url, "foreign.bin");
    ASSERT_TRUE(foreign.finished);
    EXPECT_EQ(readFile(dir.filePath("foreign.bin")), reference(url));
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

// ---- links

bool isLink(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool exists(const QString &path)
{
    struct stat info = {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

void symlink(const QString &target, const QString &link)
{
    ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
}

class DownloadLinksTest : public DownloadTest
{
protected:
    void SetUp() override
    {
        DownloadTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(outside.isValid());
        url = bytesUrl(120000, QStringLiteral("song"));
        expected = Http::get(url, {}, 10).body;
        ASSERT_EQ(expected.size(), 120000);
        victim = outside.filePath(QStringLiteral("victim"));
        writeFile(victim, "the user's own file");
    }

    DownloadRequestPtr run(Outcome &outcome, const QString &name)
    {
        return DownloadTest::run(outcome, url, name);
    }
    // The download saved as a file of its own at `path`, the victim untouched, no temporary file left.
    void expectSavedApart(const DownloadRequestPtr &request, const Outcome &outcome, const QString &path)
    {
        ASSERT_TRUE(outcome.finished) << request->errorDescription().toStdString();
        EXPECT_EQ(request->finalPath(), path);
        EXPECT_FALSE(isLink(path));
        EXPECT_EQ(readFile(path), expected);
        EXPECT_EQ(readFile(victim), "the user's own file");
        EXPECT_FALSE(exists(request->options().temporaryPath));
    }

    QTemporaryDir outside;
    QString url;
    QByteArray expected;
    QString victim;
};

TEST_F(DownloadLinksTest, ALinkOrASecondNameAtTheTemporaryOrTheFinalNameIsReplacedNeverWrittenThrough)
{
    const QString nowhere = outside.filePath(QStringLiteral("created-through-the-link"));
    const struct
    {
        const char *name;
        QString target;
        bool temporary; // at the temporary name, else at the final name when the download begins
        bool hard;
    } cases[] = {
        {"linked", victim, true, false},         // a symbolic link to a file of the user's
        {"dangling", nowhere, true, false},      // nothing is created where it points
        {"hard", victim, true, true},            // the user's file under a second name
        {"folder", outside.path(), true, false}, // a link to a folder
        // At the final name, replaced by the file as an older file would be.
        {"song", victim, false, false},
        {"gone", nowhere, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name) + ".bin";
        const QString at = c.temporary ? temporary(name) : dir.filePath(name);
        if (c.hard)
            ASSERT_EQ(::link(QFile::encodeName(c.target).constData(), QFile::encodeName(at).constData()), 0);
        else
            symlink(c.target, at);
        Outcome outcome;
        expectSavedApart(run(outcome, name), outcome, dir.filePath(name));
    }
    EXPECT_FALSE(exists(nowhere));
}

TEST_F(DownloadLinksTest, LinksThatAppearAtTheFinalNameAndItsNumberedVariantsAreNeverFollowed)
{
    // Links that appear at the final name and at "name (2)" while the download runs belong to someone else:
    // they stay, and the download takes the next free name.
    sandbox.storageFaults().throttleBytesPerSecond = 150000;
    Outcome late;
    const DownloadRequestPtr request = start(late, options(url, "late.bin"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return late.bytes > 0 || late.ended(); }));
    symlink(victim, dir.filePath("late.bin"));
    symlink(outside.filePath(QStringLiteral("elsewhere")), dir.filePath("late (2).bin"));
    ASSERT_TRUE(TestSupport::waitFor([&] { return late.ended(); }, 20000));
    expectSavedApart(request, late, dir.filePath("late (3).bin"));
    EXPECT_TRUE(isLink(dir.filePath("late.bin")));
    EXPECT_TRUE(isLink(dir.filePath("late (2).bin")));
    EXPECT_FALSE(exists(outside.filePath(QStringLiteral("elsewhere"))));
}

} // namespace
