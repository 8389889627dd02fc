// melodrop-cli as a user runs it against the sandbox: signing in, its usage errors, and the commands that
// print what the service gives, one JSON line per record.
#include "../support/CliSandbox.h"
#include "../support/Files.h"

#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxLastfm.h"
#include "sandbox/SandboxVideo.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <optional>

namespace {

using namespace TestSupport;

const std::string key = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

class CliTest : public CliSandboxTest
{
protected:
    // The records a successful run printed, one JSON array of `width` texts a line.
    static QList<QStringList> records(const QStringList &args, int width = 7)
    {
        const CliRun run = cli(args);
        EXPECT_EQ(run.exitCode, 0) << args.join(' ').toStdString() << ": " << run.err.toStdString();
        return jsonArrays(run, width);
    }
    std::string lastTarget(const char *kind)
    {
        return SandboxVideo::lastRequest(sandbox, kind).value_or(SandboxRequest{}).target;
    }
};

using CliAudioTest = CliTest;
using CliVideoTest = CliTest;
using CliFriendsAlbumsTest = CliTest;

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
struct EnvironmentScope
{
    EnvironmentScope(const char *name, const QByteArray &value) : name(name) { qputenv(name, value); }
    ~EnvironmentScope() { qunsetenv(name); }
    const char *name;
};

TEST_F(CliTest, ThePasswordComesFromStandardInputTheEnvironmentOrTheCommandLineElseItIsAUsageError)
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
    // Nowhere at all: a usage error (standard input ends at once); an empty line is an empty password: the
    // sign-in is tried, and fails.
    EXPECT_EQ(cli(withBase({"login", email, "-"})).exitCode, 2);
    EXPECT_EQ(cli(withBase({"--email", email, "--password", "-", "login"})).exitCode, 2);
    EXPECT_EQ(cli(withBase({"login"})).exitCode, 2);
    EXPECT_EQ(cli(withBase({"login", email, "-"}), "\n").exitCode, 3);
}

TEST_F(CliTest, TheSessionComesFromTheCommandLineStandardInputOrTheEnvironmentAndIsNeeded)
{
    const Sandbox::Account account = Sandbox::defaultAccount();
    const CliRun login = cli(withBase({"login", QString::fromStdString(account.email), "-"}),
                             QByteArray::fromStdString(account.password) + "\n");
    ASSERT_EQ(login.exitCode, 0) << login.err.toStdString();
    const QString sid = QJsonDocument::fromJson(login.out.toUtf8()).object().value("vksid").toString();
    ASSERT_FALSE(sid.isEmpty());
    const QString uid = QString::fromStdString(account.uid);

    // Given directly, or not in the process list: "--sid -" reads it, "--uid" alone takes MELODROP_SID.
    EXPECT_EQ(records(withBase({"--sid", sid, "--uid", uid, "audio-list", "1", "--kind", "1"})).size(), 40);
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
    // Commands of every kind need one (with a wrong password the sign-in fails: the password cases).
    for (const QString command :
         {"search-audio кино", "add-audio 1 2", "video-link 1_2", "friends", "album-tracks 2001"})
        EXPECT_EQ(cli(withBase(command.split(' '))).exitCode, 2) << command.toStdString();
}

TEST_F(CliTest, HelpIsNoErrorUsageErrorsExitWithTwo)
{
    const CliRun help = cli({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("usage: melodrop-cli")) << help.out.toStdString();
    for (const QString args : {"", "no-such-command", "login only-one", "--bogus x login a b",
                               "--service-base ftp://host login a b", "--root", "parse-json"})
        EXPECT_EQ(cli(args.split(' ', Qt::SkipEmptyParts)).exitCode, 2) << args.toStdString();

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
    writeFile(path, "\"just a string\"");
    run = cli({"parse-json", path});
    EXPECT_EQ(result(run), std::pair(1, QString()));
    EXPECT_TRUE(run.err.contains("Token 'string' not expected before outer-most array or object"))
        << run.err.toStdString();

    run = cli({"parse-json", dir.filePath("missing.json")});
    EXPECT_EQ(run.exitCode, 1);
}

// ---- the commands that print records

TEST_F(CliAudioTest, SearchPrintsOneRecordPerLineInPageOrder)
{
    const QList<QStringList> found = records(signedIn({"search-audio", "кино"}));
    CliRun run;
    ASSERT_FALSE(found.isEmpty());
    for (qsizetype i = 0; i < found.size(); ++i) {
        const QStringList &r = found.at(i);
        EXPECT_TRUE(r.at(2).contains("кино", Qt::CaseInsensitive) ||
                    r.at(3).contains("кино", Qt::CaseInsensitive));
        EXPECT_TRUE(r.at(1).startsWith(base + "/storage/mp3/"));
        EXPECT_EQ(r.at(4), QString::number(i + 1)); // counted from 1 in each run
    }

    const int catalogue = int(SandboxAudio::catalogueOf(sandbox).size());
    EXPECT_EQ(records(signedIn({"search-audio", "", "--offset", "300", "--sort", "1"})).size(),
              catalogue - 300);
    EXPECT_NE(SandboxAudio::lastRequest(sandbox, "search")->target.find("&offset=300&c[sort]=1"),
              std::string::npos);

    // Nothing found is success.
    run = cli(signedIn({"search-audio", "такого нет ни у кого"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
    EXPECT_FALSE(run.err.contains("Нет ответа"));

    // A text may start with dashes after the end of the options.
    records(signedIn({"search-audio", "--", "--x"}));
    EXPECT_EQ(SandboxAudio::lastSearchText(sandbox), "--x");
}

TEST_F(CliAudioTest, ListsOfEachKind)
{
    const std::string uid = Sandbox::defaultAccount().uid;
    const QList<QStringList> own =
        records(signedIn({"audio-list", QString::fromStdString(uid), "--kind", "0"}));
    CliRun run;
    const std::vector<SandboxTrack> tracks = SandboxAudio::userAudio(sandbox, uid);
    ASSERT_EQ(own.size(), qsizetype(tracks.size()));
    for (size_t i = 0; i < tracks.size(); ++i) {
        EXPECT_EQ(own.at(qsizetype(i)).at(2), QString::fromStdString(tracks[i].title));
        EXPECT_EQ(own.at(qsizetype(i)).at(5), QString::fromStdString(tracks[i].aid));
    }

    EXPECT_EQ(records(signedIn({"audio-list", "--kind", "1", "1"})).size(), 40);

    EXPECT_EQ(records(signedIn({"audio-list", QString::fromStdString(uid), "--kind", "2"})).size(), 30);

    // A list the client cannot read prints nothing and still succeeds; the reason is on standard error.
    run = cli(signedIn({"audio-list", "2", "--kind", "1"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
    EXPECT_TRUE(run.err.contains("-JSONValue failed. Error is: ")) << run.err.toStdString();
    // An owner that cannot be part of an address asks nobody: an empty list, not a service that did not
    // answer.
    run = cli(signedIn({"audio-list", QString::fromStdString(uid) + " ", "--kind", "0"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
    EXPECT_FALSE(run.err.contains("Нет ответа")) << run.err.toStdString();
}

TEST_F(CliAudioTest, RiaaPrintsTheLinesAsJsonStringsWithoutSignIn)
{
    SandboxAudio::setRiaaText(sandbox, "Ленинград\nRammstein\r\n");
    const CliRun run = cli(withBase({"riaa"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("\"Ленинград\"\n\"Rammstein\\r\"\n\"\"\n"));
    EXPECT_FALSE(SandboxAudio::lastRequest(sandbox, "riaa")->target.empty());
}

TEST_F(CliAudioTest, AddAndDeleteChangeTheUsersPage)
{
    const std::string uid = Sandbox::defaultAccount().uid;
    const SandboxTrack track = SandboxAudio::catalogueOf(sandbox).at(42);
    const size_t before = SandboxAudio::userAudio(sandbox, uid).size();

    CliRun run =
        cli(signedIn({"add-audio", QString::fromStdString(track.aid), QString::fromStdString(track.oid)}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QStringLiteral("Хэш добавления аудио: "))) << run.err.toStdString();
    std::vector<SandboxTrack> own = SandboxAudio::userAudio(sandbox, uid);
    ASSERT_EQ(own.size(), before + 1);
    EXPECT_EQ(own.front().title, track.title);

    run =
        cli(signedIn({"delete-audio", QString::fromStdString(own.front().aid), QString::fromStdString(uid)}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QStringLiteral("Хэш удаления аудио: "))) << run.err.toStdString();
    EXPECT_EQ(SandboxAudio::userAudio(sandbox, uid).size(), before);
}

TEST_F(CliVideoTest, SearchPrintsRecordsInPageOrder)
{
    const QList<QStringList> found =
        records(signedIn({"search-video", "концерт", "--quality", "2", "--sort", "1"}));
    CliRun run;
    ASSERT_FALSE(found.isEmpty());
    for (qsizetype i = 0; i < found.size(); ++i) {
        const QStringList &r = found.at(i);
        EXPECT_TRUE(r.at(0).contains("концерт", Qt::CaseInsensitive));
        // Quality, tag (counted from 1 in each run), state.
        EXPECT_EQ(r.mid(2, 3), QStringList({"480+", QString::number(i + 1), "-1"}));
    }
    EXPECT_EQ(lastTarget("search"),
              "/al_search.php?al=1&c[hd]=1&c[q]=%D0%BA%D0%BE%D0%BD%D1%86%D0%B5%D1%80%D1%82"
              "&c[quality]=1&c[section]=video&c[iphone]=1&offset=0&c[sort]=1");

    EXPECT_EQ(records(signedIn({"search-video", "", "--offset", "400"})).size(),
              qsizetype(SandboxVideo::catalogueOf(sandbox).size()) - 400);

    run = cli(signedIn({"search-video", "такого нет ни у кого"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
}

TEST_F(CliVideoTest, ListsAndRecommendations)
{
    const QList<QStringList> community = records(signedIn({"video-list", "42", "--kind", "1"}));
    const std::vector<SandboxVideoItem> items = SandboxVideo::listOf(sandbox, "-42");
    ASSERT_EQ(community.size(), qsizetype(items.size()));
    EXPECT_EQ(community.first().at(1), QString::fromStdString(items.front().key()));
    EXPECT_EQ(lastTarget("list"), "/al_video.php?act=load_videos_silent&al=1&oid=-42");

    // A negative owner is an argument, not an option.
    EXPECT_EQ(records(signedIn({"video-list", "-42", "--kind", "0"})).size(), community.size());
    EXPECT_EQ(lastTarget("list"), "/al_video.php?act=load_videos_silent&al=1&oid=-42");

    const QList<QStringList> recommended = records(signedIn({"video-recommendations", "1000001"}));
    EXPECT_EQ(recommended.size(), 75);
    for (const QStringList &r : recommended)
        EXPECT_EQ(r.at(2), QStringLiteral("Неизвестно"));
}

TEST_F(CliVideoTest, LinkPrintsTheResultAsAJsonString)
{
    const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
    const auto playable = std::find_if(catalogue.begin(), catalogue.end(), [](auto &v) {
        return v.hd == 2 && v.mp4 && v.variables && v.oid[0] == '-';
    });
    const auto flv = std::find_if(catalogue.begin(), catalogue.end(), [](auto &v) { return !v.mp4; });
    ASSERT_NE(playable, catalogue.end());
    ASSERT_NE(flv, catalogue.end());

    CliRun run = cli(signedIn({"video-link", QString::fromStdString(playable->key())}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QString line = run.out.trimmed();
    ASSERT_TRUE(line.startsWith('"') && line.endsWith('"')) << line.toStdString();
    const QString address = QJsonDocument::fromJson("[" + line.toUtf8() + "]").array().at(0).toString();
    EXPECT_TRUE(address.startsWith(base + "/u")) << address.toStdString();
    EXPECT_TRUE(
        address.endsWith(QStringLiteral("/video/%1.480.mp4").arg(QString::fromStdString(playable->vtag))));

    run = cli(signedIn({"video-link", QString::fromStdString(flv->key())}));
    EXPECT_EQ(result(run), std::pair(0, QStringLiteral("\"1\"\n")));

    run = cli(signedIn({"video-link", "-1_1"}));
    EXPECT_EQ(result(run), std::pair(0, QStringLiteral("\"2\"\n")));
}

TEST_F(CliVideoTest, AnUnreadableAnswerPrintsNothingAndLogsTheLine)
{
    SandboxVideo::setCannedAnswer(sandbox, "/al_video.php?act=load_videos_silent&al=1&oid=-5",
                                  readData("video/list_short_entry.txt").toStdString());
    const CliRun run = cli(signedIn({"video-list", "5", "--kind", "1"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
    EXPECT_TRUE(run.err.contains(errorLine)) << run.err.toStdString();
}

TEST_F(CliFriendsAlbumsTest, FriendsAndGroupsPrintTheThreeLineRecords)
{
    const std::string uid = Sandbox::defaultAccount().uid;
    CliRun run = cli(signedIn({"friends"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonStrings(run), peopleRecords(SandboxFriends::friendsOf(sandbox, uid), base));

    run = cli(signedIn({"groups"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonStrings(run), peopleRecords(SandboxFriends::groupsOf(sandbox, uid), base));

    // A page without the list: nothing printed, the error line on standard error, still success.
    SandboxFriends::setCannedAnswer(sandbox, "/al_groups.php?act=get_list&al=1&tab=groups&mid=" + uid,
                                    "<!--18035<!><!>0<!>6546<!>0<!>");
    run = cli(signedIn({"groups"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
    EXPECT_TRUE(run.err.contains(errorLine)) << run.err.toStdString();
}

TEST_F(CliFriendsAlbumsTest, AlbumsPrintNameArtistAndNumber)
{
    CliRun run = cli(withBase({"albums", "Greatest"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    QList<QStringList> expected;
    for (const SandboxAlbum &a : SandboxLastfm::albumsOf(sandbox)) {
        if (a.name == "Greatest Hits")
            expected << QStringList({QString::fromStdString(a.name), QString::fromStdString(a.artist),
                                     QString::fromStdString(a.id)});
    }
    ASSERT_EQ(expected.size(), 3);
    EXPECT_EQ(jsonArrays(run, 3), expected);

    // Nothing found is success.
    run = cli(withBase({"albums", "нет такого"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));

    SandboxLastfm::setCannedAnswer(sandbox,
                                   "/2.0/?format=json&method=album.search&api_key=" + key + "&album=x",
                                   "{\"results\":{\"albummatches\":{\"album\":{\"name\":\"A\"}}}}");
    run = cli(withBase({"albums", "x"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
    EXPECT_TRUE(run.err.contains(errorLine)) << run.err.toStdString();
}

TEST_F(CliFriendsAlbumsTest, AlbumTracksPrintTheRecordsFoundInTrackOrder)
{
    const SandboxAlbum queen = SandboxLastfm::albumsOf(sandbox).front();
    const QList<QStringList> found = records(signedIn({"album-tracks", QString::fromStdString(queen.id)}));
    ASSERT_EQ(found.size(), qsizetype(queen.tracks.size()));
    for (size_t k = 0; k < queen.tracks.size(); ++k) {
        const auto &[creator, title] = queen.tracks[k];
        EXPECT_EQ(found.at(qsizetype(k)).mid(2, 2),
                  QStringList({QString::fromStdString(title), QString::fromStdString(creator)}));
    }

    for (const char *empty : {"2006", "999"}) { // no tracks; an unknown album (an error answer)
        const CliRun run = cli(signedIn({"album-tracks", empty}));
        EXPECT_EQ(result(run), std::pair(0, QString())) << empty;
        EXPECT_FALSE(run.err.contains(errorLine)) << empty;
    }
}

} // namespace
