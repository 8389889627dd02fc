#include "../support/CliSandbox.h"
#include "../support/Files.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

#include <optional>

namespace {

using TestSupport::CliRun;
using TestSupport::result;

using CliTest = TestSupport::CliSandboxTest;

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
    EXPECT_TRUE(run.err.contains(QStringLiteral("SID: ") + sid.left(4) + QStringLiteral("…\n")));
    EXPECT_FALSE(run.err.contains(sid)); // the whole identifier never reaches the log
    EXPECT_TRUE(run.err.contains(QStringLiteral("UID: %1\n").arg(QString::fromStdString(account.uid))));
}

TEST_F(CliTest, FailedSignInExitsWithThree)
{
    // Each failure says why.
    CliRun run = cli(withBase({"login", "demo@melodrop.test", "wrong"}));
    EXPECT_EQ(result(run), std::pair(3, QString()));
    EXPECT_TRUE(run.err.contains("SID: \n"));
    EXPECT_TRUE(run.err.contains(
        "Ошибка: Не удалось выполнить вход (сервис не открыл сеанс: неверный e-mail или пароль)\n"))
        << run.err.toStdString();

    sandbox.setProbeStatus(503);
    run = cli(withBase({"login", "demo@melodrop.test", "melodrop"}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains(": 503\n"));
    EXPECT_TRUE(run.err.contains("недоступен на вашем устройстве (сервис ответил кодом 503)\n"))
        << run.err.toStdString();

    // A command that signs in first says it too.
    sandbox.stop();
    run = cli(withBase({"--email", "demo@melodrop.test", "--password", "x", "search-audio", "a"}));
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_TRUE(run.err.contains("недоступен на вашем устройстве (нет ответа: ")) << run.err.toStdString();
}

// Sets an environment variable for the programs started while it lives.
class EnvironmentScope
{
public:
    EnvironmentScope(const char *name, const QByteArray &value) : m_name(name) { qputenv(name, value); }
    ~EnvironmentScope() { qunsetenv(m_name); }

private:
    const char *m_name;
};

TEST_F(CliTest, ThePasswordComesFromStandardInputTheEnvironmentOrTheCommandLine)
{
    const QString email = QString::fromStdString(Sandbox::defaultAccount().email);
    const QByteArray right = QByteArray::fromStdString(Sandbox::defaultAccount().password);
    // Not the account's password, but one that would stand out in any output.
    const QByteArray wrong = "Wr0ng-Pa55word-7f3e";
    // E stands for the e-mail, P for the password, given as an argument, on standard input or in
    // MELODROP_PASSWORD.
    const struct
    {
        const char *args;
        QByteArray input;
        bool environment;
    } cases[] = {
        {"login E -", "P\n", false},
        {"login E", {}, true},
        {"--email E --password - login", "P\r\n", false},
        {"--email E --password - search-audio x", "P\n", false},
        {"--email E search-audio x", {}, true},
        {"--email E --password P search-audio x", {}, false},
        {"login E P", {}, false},
    };
    for (const QByteArray &secret : {right, wrong}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(c.args);
            QStringList args = QString::fromLatin1(c.args).split(' ');
            for (QString &arg : args)
                arg = arg == "E" ? email : arg == "P" ? QString::fromUtf8(secret) : arg;
            std::optional<EnvironmentScope> environment;
            if (c.environment)
                environment.emplace("MELODROP_PASSWORD", secret);
            const CliRun run = cli(withBase(args), QByteArray(c.input).replace("P", secret));
            EXPECT_EQ(run.exitCode, secret == right ? 0 : 3) << run.err.toStdString();
            if (secret == wrong) {
                // Neither the result nor any log line repeats the password.
                EXPECT_FALSE(run.out.contains(QString::fromUtf8(wrong)));
                EXPECT_FALSE(run.err.contains(QString::fromUtf8(wrong)));
            } else if (args.contains("login")) {
                EXPECT_TRUE(run.out.startsWith("{\"vksid\": "));
            }
        }
    }
}

TEST_F(CliTest, TheSessionComesFromStandardInputOrTheEnvironmentAsWell)
{
    const Sandbox::Account account = Sandbox::defaultAccount();
    const CliRun login = cli(withBase({"login", QString::fromStdString(account.email), "-"}),
                             QByteArray::fromStdString(account.password) + "\n");
    ASSERT_EQ(login.exitCode, 0) << login.err.toStdString();
    const QString sid = QJsonDocument::fromJson(login.out.toUtf8()).object().value("vksid").toString();
    ASSERT_FALSE(sid.isEmpty());
    const QString uid = QString::fromStdString(account.uid);

    // The session need not stand in the process list: "--sid -" reads it, "--uid" alone takes MELODROP_SID.
    const CliRun fromInput =
        cli(withBase({"--sid", "-", "--uid", uid, "audio-list", uid, "--kind", "0"}), sid.toUtf8() + "\n");
    EXPECT_EQ(fromInput.exitCode, 0) << fromInput.err.toStdString();
    EXPECT_FALSE(fromInput.out.isEmpty());
    {
        EnvironmentScope environment("MELODROP_SID", sid.toUtf8());
        const CliRun fromEnvironment = cli(withBase({"--uid", uid, "audio-list", uid, "--kind", "0"}));
        EXPECT_EQ(fromEnvironment.exitCode, 0) << fromEnvironment.err.toStdString();
        EXPECT_EQ(fromEnvironment.out, fromInput.out); // the same list, the same tags
    }
    // Asked for on standard input and not there: a usage error, no request made with an empty session.
    EXPECT_EQ(cli(withBase({"--sid", "-", "--uid", uid, "audio-list", uid, "--kind", "0"})).exitCode, 2);
}

TEST_F(CliTest, APasswordThatIsNowhereIsAUsageError)
{
    const QString email = QString::fromStdString(Sandbox::defaultAccount().email);
    EXPECT_EQ(cli(withBase({"login", email, "-"})).exitCode, 2); // standard input ends at once
    EXPECT_EQ(cli(withBase({"--email", email, "--password", "-", "login"})).exitCode, 2);
    EXPECT_EQ(cli(withBase({"login"})).exitCode, 2);
    // An empty line is an empty password: the sign-in is tried, and fails.
    EXPECT_EQ(cli(withBase({"login", email, "-"}), "\n").exitCode, 3);
}

TEST_F(CliTest, HelpIsNoErrorUsageErrorsExitWithTwo)
{
    const CliRun help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: melodrop-cli")) << help.out.toStdString();
    for (const QStringList &args : QList<QStringList>{{},
                                                      {"no-such-command"},
                                                      {"login", "only-one"},
                                                      {"--bogus", "x", "login", "a", "b"},
                                                      {"--service-base", "ftp://host", "login", "a", "b"},
                                                      {"--root"},
                                                      {"parse-json"}})
        EXPECT_EQ(cli(args).exitCode, 2) << args.join(' ').toStdString();

    // Each command's wrong arguments, with a session at hand: exit code 2 and nothing printed.
    const QList<QPair<QString, QStringList>> bad = {
        {"search-audio", {"", "a b", "a --offset", "a --offset ten", "a --sort 99999999999", "a --page 1"}},
        {"audio-list", {"1", "1 --kind 3", "--kind 0"}},
        {"riaa", {"extra"}},
        {"add-audio", {"1"}},
        {"delete-audio", {"1 2 3"}},
        {"search-video",
         {"", "a b", "a --quality", "a --quality hd", "a --offset 99999999999", "a --page 1"}},
        {"video-list", {"1", "1 --kind 2", "--kind 0"}},
        {"video-recommendations", {"", "1 2"}},
        {"video-link", {"", "1_2 3_4"}},
        {"friends", {"x"}},
        {"groups", {"x"}},
        {"albums", {"", "a b"}},
        {"album-tracks", {"", "1 2"}},
    };
    for (const auto &[command, variants] : bad) {
        for (const QString &variant : variants) {
            SCOPED_TRACE((command + ' ' + variant).toStdString());
            const CliRun run = cli(signedIn(QStringList{command} + variant.split(' ', Qt::SkipEmptyParts)));
            EXPECT_EQ(result(run), std::pair(2, QString())) << run.err.toStdString();
        }
    }
}

TEST_F(CliTest, ParseJsonPrintsCompactJsonOrTheReadersError)
{
    CliRun run = cli({"parse-json", "-"}, "{ \"a\" : [1, 2.5, \"x\\u0439\", true, null, {}] } trailing");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("{\"a\":[1,2.5,\"xй\",true,null,{}]}\n"));

    // The reader's own messages: the decoding cases (JsonRejects).
    QTemporaryDir dir;
    const QString path = dir.filePath("top.json");
    TestSupport::writeFile(path, "\"just a string\"");
    run = cli({"parse-json", path});
    EXPECT_EQ(result(run), std::pair(1, QString()));
    EXPECT_TRUE(run.err.contains("Token 'string' not expected before outer-most array or object"))
        << run.err.toStdString();

    run = cli({"parse-json", dir.filePath("missing.json")});
    EXPECT_EQ(run.exitCode, 1);
}

} // namespace
