// Honest failures of melodrop-cli: a service that does not answer, a folder that cannot be made, a disk that
// is full, two processes saving under one name.
#include "../support/CliSandbox.h"
#include "../support/Files.h"

#include "net/Http.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using TestSupport::CliRun;
using TestSupport::readFile;

// A loopback port nobody listens on.
int closedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// The commands of this build and their argument patterns, as `--help` lists them ("  name ARGS").
QList<QPair<QString, QString>> commandTable()
{
    QList<QPair<QString, QString>> table;
    const CliRun help = TestSupport::runCli({"--help"});
    const QStringList lines = help.out.split(QLatin1Char('\n'));
    const qsizetype start = lines.indexOf(QStringLiteral("commands:"));
    for (qsizetype i = start + 1; start >= 0 && i < lines.size(); ++i) {
        const QString line = lines.at(i);
        if (!line.startsWith(QLatin1String("  ")))
            break;
        const QString trimmed = line.trimmed();
        const qsizetype space = trimmed.indexOf(QLatin1Char(' '));
        table.append({trimmed.left(space < 0 ? trimmed.size() : space),
                      space < 0 ? QString() : trimmed.mid(space + 1)});
    }
    return table;
}

// Arguments that fill a usage pattern: optional parts left out, the first of alternatives, a number for every
// placeholder, the unreachable address for a URL.
QStringList argumentsFor(const QString &pattern, const QString &url)
{
    QString required = pattern;
    required.remove(QRegularExpression(QStringLiteral("\\[[^\\]]*\\]")));
    QStringList args;
    for (const QString &word : required.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (word.startsWith(QLatin1String("--")))
            args << word;
        else if (word == QLatin1String("URL"))
            args << url;
        else if (word.contains(QLatin1Char('|')))
            args << word.section(QLatin1Char('|'), 0, 0);
        else
            args << QStringLiteral("1");
    }
    return args;
}

TEST(CliFailureTest, EveryCommandExitsWithOneAndNamesTheCauseWhenTheServiceDoesNotAnswer)
{
    const QString address = QStringLiteral("127.0.0.1:") + QString::number(closedPort());
    const QString base = QStringLiteral("http://") + address;
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

class CliFailureWithSandbox : public TestSupport::CliSandboxTest
{
protected:
    QString bytesUrl(qint64 size, const QString &name) const
    {
        return base + QStringLiteral("/storage/bytes/") + QString::number(size) + QLatin1Char('/') + name +
               QStringLiteral(".bin");
    }
};

TEST_F(CliFailureWithSandbox, ARootThatCannotBeMadeIsReportedByName)
{
    TestSupport::writeFile(root.filePath("file"), QByteArray());
    const QString impossible = root.filePath("file/music");
    const CliRun run =
        TestSupport::runCli({"--root", impossible, "download", "Song", bytesUrl(1000, "song")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(impossible)) << run.err.toStdString();
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
