#include "../support/CliSandbox.h"
#include "../support/Files.h"

#include "net/Http.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

using TestSupport::CliRun;
using TestSupport::readFile;

using CliDownloadTest = TestSupport::CliSandboxTest;

TEST_F(CliDownloadTest, AudioAndVideoAreSavedUnderTheirCleanNamesInTheirFoldersAndThePathPrinted)
{
    const QString url = base + "/storage/mp3/4/1000001_5.mp3";
    const QByteArray expected = Http::get(url, {}, 10).body;
    ASSERT_FALSE(expected.isEmpty());
    CliRun run = cli(withRoot({"download", "Artist/Band - Song: Title?", url}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString path = QDir(root.path()).filePath("audio/ArtistBand - Song Title.mp3");
    EXPECT_EQ(run.out, path + "\n");
    EXPECT_EQ(readFile(path), expected);
    EXPECT_EQ(QDir(root.path() + "/audio").entryList(QDir::Files),
              QStringList({"ArtistBand - Song Title.mp3"}));

    run = cli(withRoot({"download", "--video", "Clip", base + "/storage/bytes/12345/clip.bin"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QDir(root.path()).filePath("video/Clip.mp4") + "\n");
    EXPECT_EQ(QFile(root.path() + "/video/Clip.mp4").size(), 12345);
}

TEST_F(CliDownloadTest, FailureIsLoggedExitsWithOneAndSavesNothing)
{
    sandbox.storageFaults().errorStatus = 404;
    CliRun run = cli(withRoot({"download", "Missing", base + "/storage/mp3/4/0_0.mp3"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("404")) << run.err.toStdString();
    EXPECT_FALSE(QFile::exists(root.path() + "/audio/Missing.mp3"));

    // A connection cut short keeps what arrived in the temporary file.
    sandbox.storageFaults().errorStatus = 0;
    sandbox.storageFaults().dropAfterBytes = 5000;
    run = cli(withRoot({"download", "Cut", base + "/storage/bytes/20000/cut.bin"}));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(QFile::exists(root.path() + "/audio/Cut.mp3"));
    const QStringList temporary = QDir(root.path() + "/audio").entryList({"Cut.mp3.*.temp"}, QDir::Files);
    ASSERT_EQ(temporary.size(), 1);
    EXPECT_EQ(QFile(root.path() + "/audio/" + temporary.first()).size(), 5000);
}

TEST_F(CliDownloadTest, WrongArgumentsAreUsageErrors)
{
    EXPECT_EQ(cli(withRoot({"download", "Only a name"})).exitCode, 2);
    EXPECT_EQ(cli(withRoot({"download", "--video", "Name"})).exitCode, 2);
    const CliRun notHttp = cli(withRoot({"download", "Name", "file:///etc/passwd"}));
    EXPECT_EQ(notHttp.exitCode, 2);
    EXPECT_TRUE(notHttp.err.contains("http"));
    for (const QString timeout : {"0", "-1", "soon", ""})
        EXPECT_EQ(cli(withRoot({"download", "--timeout", timeout, "Name", base + "/storage/bytes/10/a.bin"}))
                      .exitCode,
                  2)
            << timeout.toStdString();
    EXPECT_EQ(cli(withRoot({"download", "--fast", "Name", base + "/storage/bytes/10/a.bin"})).exitCode, 2);
    EXPECT_FALSE(QDir(root.path() + "/audio").exists());
}

// A storage host that takes the connection and never answers: three time-outs in a row without a byte, then
// the command gives up (the time-out is shortened here; it is 120 s unless given).
TEST_F(CliDownloadTest, AHostThatNeverAnswersEndsAfterThreeSilentTimeOuts)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    faults.silent = true;
    const CliRun run =
        cli(withRoot({"download", "--timeout", "0.2", "Silent", base + "/storage/bytes/1000/s.bin"}));
    faults.silent = false;
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("Нет ответа сервиса: ")) << run.err.toStdString();
    EXPECT_EQ(faults.silentRequests.load(), 3);
    EXPECT_FALSE(QFile::exists(root.path() + "/audio/Silent.mp3"));
}

} // namespace
