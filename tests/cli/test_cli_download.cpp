// Downloads with melodrop-cli, and its honest failures: a service that does not answer, a folder that cannot
// be made, a disk that is full, two processes saving under one name.
#include "../support/CliSandbox.h"
#include "../support/Files.h"

#include "net/Http.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

namespace {

using TestSupport::CliRun;
using TestSupport::readFile;
using TestSupport::result;

// The commands of this build and their argument patterns, as `--help` lists them ("  name ARGS" after
// "commands:").
QList<QPair<QString, QString>> commandTable()
{
    QList<QPair<QString, QString>> table;
    const QString help = TestSupport::runCli({"--help"}).out;
    const QRegularExpression line(QStringLiteral("^  (\\S+) ?(.*)$"), QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(help.mid(help.indexOf("\ncommands:\n"))); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        table.append({m.captured(1), m.captured(2).trimmed()});
    }
    return table;
}

// Arguments that fill a usage pattern: optional parts left out, the first of alternatives, a number for every
// placeholder, the unreachable address for a URL.
QStringList argumentsFor(QString pattern, const QString &url)
{
    pattern.remove(QRegularExpression(QStringLiteral("\\[[^\\]]*\\]")));
    pattern.remove(QRegularExpression(QStringLiteral("\\|\\S*")));
    pattern.replace(QStringLiteral("URL"), url);
    pattern.replace(QRegularExpression(QStringLiteral("\\b[A-Z][A-Z_]*\\b")), QStringLiteral("1"));
    return pattern.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(CliFailureTest, EveryCommandExitsWithOneAndNamesTheCauseWhenTheServiceDoesNotAnswer)
{
    // A port nobody listens on any more.
    Sandbox gone;
    ASSERT_TRUE(gone.start());
    const QString base = QString::fromStdString(gone.baseUrl());
    const QString address = base.mid(7);
    gone.stop();
    QTemporaryDir root;
    // A sign-in with no password argument takes it from the environment.
    qputenv("MELODROP_PASSWORD", "password");
    const QList<QPair<QString, QString>> table = commandTable();
    ASSERT_GE(table.size(), 8);
    for (const auto &[name, pattern] : table) {
        if (name == QLatin1String("parse-json"))
            continue; // reads a file, asks no service
        SCOPED_TRACE(name.toStdString());
        const QStringList args =
            QStringList({"--service-base", base, "--root", root.path(), "--sid", "s", "--uid", "1", name}) +
            argumentsFor(pattern, base + QStringLiteral("/storage/x.mp3"));
        const CliRun run = TestSupport::runCli(args);
        // Sign-in keeps its own code (3); every other command fails as an I/O failure.
        EXPECT_EQ(run.exitCode, name == QLatin1String("login") ? 3 : 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_TRUE(run.err.contains(address)) << run.err.toStdString();
    }
}

class CliDownloadTest : public TestSupport::CliSandboxTest
{
protected:
    QString bytesUrl(qint64 size, const QString &name) const
    {
        return base + QStringLiteral("/storage/bytes/") + QString::number(size) + QLatin1Char('/') + name +
               QStringLiteral(".bin");
    }
};

using CliFailureWithSandbox = CliDownloadTest;

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
    EXPECT_EQ(result(run), std::pair(1, QString()));
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

    // A root that cannot be made is reported by name.
    sandbox.storageFaults().dropAfterBytes = -1;
    TestSupport::writeFile(root.filePath("file"), QByteArray());
    const QString impossible = root.filePath("file/music");
    run = TestSupport::runCli({"--root", impossible, "download", "Song", bytesUrl(1000, "song")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(impossible)) << run.err.toStdString();
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
    EXPECT_EQ(result(run), std::pair(1, QString()));
    EXPECT_TRUE(run.err.contains("Нет ответа сервиса: ")) << run.err.toStdString();
    EXPECT_EQ(faults.silentRequests.load(), 3);
    EXPECT_FALSE(QFile::exists(root.path() + "/audio/Silent.mp3"));
}

TEST_F(CliFailureWithSandbox, AFullDiskEndsTheDownloadWithAnErrorAndNoFile)
{
    QProcess process;
    process.setChildProcessModifier([] {
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 200000;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    process.start(qEnvironmentVariable("MELODROP_CLI"),
                  {"--root", root.path(), "download", "Big", bytesUrl(1000000, "big")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 1) << process.readAllStandardError().toStdString();
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
    EXPECT_FALSE(QFile::exists(root.filePath("audio/Big.mp3")));
}

TEST_F(CliFailureWithSandbox, TwoProcessesSavingDifferentAddressesUnderOneNameNeverMixThem)
{
    sandbox.storageFaults().throttleBytesPerSecond = 400000;
    const QString urls[2] = {bytesUrl(150000, "one"), bytesUrl(150000, "two")};
    QProcess processes[2];
    for (int i = 0; i < 2; ++i)
        processes[i].start(qEnvironmentVariable("MELODROP_CLI"),
                           {"--root", root.path(), "download", "Same", urls[i]});
    for (QProcess &process : processes)
        ASSERT_TRUE(process.waitForFinished(60000));
    sandbox.storageFaults().throttleBytesPerSecond = 0;
    int saved = 0;
    for (int i = 0; i < 2; ++i) {
        const QString out = QString::fromUtf8(processes[i].readAllStandardOutput()).trimmed();
        const QString err = QString::fromUtf8(processes[i].readAllStandardError());
        if (processes[i].exitCode() == 0) {
            // Whatever path it printed holds exactly its own address's bytes.
            EXPECT_EQ(readFile(out), Http::get(urls[i], {}, 10).body) << out.toStdString();
            ++saved;
        } else {
            EXPECT_EQ(processes[i].exitCode(), 1);
            EXPECT_TRUE(out.isEmpty());
            EXPECT_TRUE(err.contains("занят")) << err.toStdString();
        }
    }
    EXPECT_GE(saved, 1);
}

} // namespace
