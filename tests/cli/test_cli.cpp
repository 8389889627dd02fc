#include "../support/TestSupport.h"

#include "sandbox/Sandbox.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using TestSupport::CliRun;

CliRun cli(const QStringList &args, const QByteArray &input = QByteArray())
{
    return TestSupport::runCli(args, input);
}

class CliTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(qEnvironmentVariable("MELODROP_CLI").isEmpty());
        ASSERT_TRUE(sandbox.start());
        base = QString::fromStdString(sandbox.baseUrl());
    }
    QStringList withBase(const QStringList &args) const
    {
        return QStringList({"--service-base", base, "--root", root.path()}) + args;
    }
    Sandbox sandbox;
    QString base;
    QTemporaryDir root;
};

TEST_F(CliTest, LoginPrintsTheSessionAndLogsOnStandardError)
{
    const Sandbox::Account account = Sandbox::defaultAccount();
    const CliRun run = cli(
        withBase({"login", QString::fromStdString(account.email), QString::fromStdString(account.password)}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    const QJsonObject session = QJsonDocument::fromJson(lines.first().toUtf8()).object();
    const QString sid = session.value("vksid").toString();
    EXPECT_TRUE(sandbox.hasSession(sid.toStdString()));
    EXPECT_EQ(session.value("vkuid").toString(), QString::fromStdString(account.uid));
    const QString host = base.mid(QStringLiteral("http://").size());
    EXPECT_TRUE(run.err.contains(QStringLiteral("Код ответа для %1: 200\n").arg(host)));
    EXPECT_TRUE(run.err.contains(QStringLiteral("SID: %1\n").arg(sid)));
    EXPECT_TRUE(run.err.contains(QStringLiteral("UID: %1\n").arg(QString::fromStdString(account.uid))));
}

TEST_F(CliTest, FailedSignInExitsWithThree)
{
    CliRun run = cli(withBase({"login", "demo@melodrop.test", "wrong"}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("SID: \n"));

    sandbox.setProbeStatus(503);
    run = cli(withBase({"login", "demo@melodrop.test", "melodrop"}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains(": 503\n"));
    EXPECT_TRUE(run.err.contains("недоступен на вашем устройстве"));
}

TEST_F(CliTest, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(cli({}).exitCode, 2);
    EXPECT_EQ(cli({"no-such-command"}).exitCode, 2);
    EXPECT_EQ(cli({"login", "only-one"}).exitCode, 2);
    EXPECT_EQ(cli({"--bogus", "x", "login", "a", "b"}).exitCode, 2);
    EXPECT_EQ(cli({"--service-base", "ftp://host", "login", "a", "b"}).exitCode, 2);
    EXPECT_EQ(cli({"--root"}).exitCode, 2);
    EXPECT_EQ(cli({"parse-json"}).exitCode, 2);
}

TEST_F(CliTest, ParseJsonPrintsCompactJsonOrTheReadersError)
{
    CliRun run = cli({"parse-json", "-"}, "{ \"a\" : [1, 2.5, \"x\\u0439\", true, null, {}] } trailing");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("{\"a\":[1,2.5,\"xй\",true,null,{}]}\n"));

    QTemporaryDir dir;
    const QString path = dir.filePath("top.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\"just a string\"");
    file.close();
    run = cli({"parse-json", path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains("Token 'string' not expected before outer-most array or object"))
        << run.err.toStdString();

    run = cli({"parse-json", "-"}, "[01]");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains("Leading zero is illegal in number")) << run.err.toStdString();

    run = cli({"parse-json", dir.filePath("missing.json")});
    EXPECT_EQ(run.exitCode, 1);
}

} // namespace
