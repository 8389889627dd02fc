// The commands that print what the service gives, one JSON line per record, against the sandbox.
#include "../support/CliSandbox.h"

#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxLastfm.h"
#include "sandbox/SandboxVideo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using namespace TestSupport;

const std::string key = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

class CliCommandsTest : public CliSandboxTest
{
protected:
    std::string lastTarget(const char *kind)
    {
        return SandboxVideo::lastRequest(sandbox, kind).value_or(SandboxRequest{}).target;
    }
};

using CliAudioTest = CliCommandsTest;
using CliVideoTest = CliCommandsTest;
using CliFriendsAlbumsTest = CliCommandsTest;

TEST_F(CliAudioTest, SearchPrintsOneRecordPerLineInPageOrder)
{
    CliRun run = cli(signedIn({"search-audio", "кино"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QStringList> found = jsonArrays(run);
    ASSERT_FALSE(found.isEmpty());
    for (qsizetype i = 0; i < found.size(); ++i) {
        const QStringList &r = found.at(i);
        EXPECT_TRUE(r.at(2).contains("кино", Qt::CaseInsensitive) ||
                    r.at(3).contains("кино", Qt::CaseInsensitive));
        EXPECT_TRUE(r.at(1).startsWith(base + "/storage/mp3/"));
        EXPECT_EQ(r.at(4), QString::number(i + 1)); // counted from 1 in each run
    }

    const int catalogue = int(SandboxAudio::catalogueOf(sandbox).size());
    run = cli(signedIn({"search-audio", "", "--offset", "300", "--sort", "1"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonArrays(run).size(), catalogue - 300);
    EXPECT_NE(SandboxAudio::lastRequest(sandbox, "search")->target.find("&offset=300&c[sort]=1"),
              std::string::npos);

    // Nothing found is success.
    run = cli(signedIn({"search-audio", "такого нет ни у кого"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
    EXPECT_FALSE(run.err.contains("Нет ответа"));
}

TEST_F(CliAudioTest, ListsOfEachKind)
{
    const std::string uid = Sandbox::defaultAccount().uid;
    CliRun run = cli(signedIn({"audio-list", QString::fromStdString(uid), "--kind", "0"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QStringList> own = jsonArrays(run);
    const std::vector<SandboxTrack> tracks = SandboxAudio::userAudio(sandbox, uid);
    ASSERT_EQ(own.size(), qsizetype(tracks.size()));
    for (size_t i = 0; i < tracks.size(); ++i) {
        EXPECT_EQ(own.at(qsizetype(i)).at(2), QString::fromStdString(tracks[i].title));
        EXPECT_EQ(own.at(qsizetype(i)).at(5), QString::fromStdString(tracks[i].aid));
    }

    run = cli(signedIn({"audio-list", "--kind", "1", "1"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonArrays(run).size(), 40);

    run = cli(signedIn({"audio-list", QString::fromStdString(uid), "--kind", "2"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonArrays(run).size(), 30);

    // A list the client cannot read prints nothing and still succeeds; the reason is on standard error.
    run = cli(signedIn({"audio-list", "2", "--kind", "1"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
    EXPECT_TRUE(run.err.contains("-JSONValue failed. Error is: ")) << run.err.toStdString();
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

TEST_F(CliAudioTest, ASearchTextMayStartWithDashesAfterTheEndOfOptions)
{
    const CliRun dashes = cli(signedIn({"search-audio", "--", "--x"}));
    EXPECT_EQ(dashes.exitCode, 0) << dashes.err.toStdString();
    EXPECT_EQ(SandboxAudio::lastSearchText(sandbox), "--x");
}

TEST_F(CliAudioTest, SessionCommandsNeedASession)
{
    // Of every kind: without one they do not run, with a wrong password the sign-in fails.
    for (const QString command :
         {"search-audio кино", "add-audio 1 2", "video-link 1_2", "friends", "album-tracks 2001"})
        EXPECT_EQ(cli(withBase(command.split(' '))).exitCode, 2) << command.toStdString();
    for (const QString command : {"audio-list 1 --kind 1", "search-video a", "groups"}) {
        const CliRun run = cli(withBase(QStringList{"--email", "demo@melodrop.test", "--password", "wrong"} +
                                        command.split(' ')));
        EXPECT_EQ(result(run), std::pair(3, QString())) << command.toStdString();
    }

    // A session given directly.
    CliRun run = cli(withBase({"login", "demo@melodrop.test", "melodrop"}));
    ASSERT_EQ(run.exitCode, 0);
    const QString sid = QJsonDocument::fromJson(run.out.toUtf8()).object().value("vksid").toString();
    run = cli(withBase({"--sid", sid, "--uid", "1000001", "audio-list", "1", "--kind", "1"}));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonArrays(run).size(), 40);
}

TEST_F(CliVideoTest, SearchPrintsRecordsInPageOrder)
{
    CliRun run = cli(signedIn({"search-video", "концерт", "--quality", "2", "--sort", "1"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QStringList> found = jsonArrays(run);
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

    run = cli(signedIn({"search-video", "", "--offset", "400"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonArrays(run).size(), qsizetype(SandboxVideo::catalogueOf(sandbox).size()) - 400);

    run = cli(signedIn({"search-video", "такого нет ни у кого"}));
    EXPECT_EQ(result(run), std::pair(0, QString()));
}

TEST_F(CliVideoTest, ListsAndRecommendations)
{
    CliRun run = cli(signedIn({"video-list", "42", "--kind", "1"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QStringList> community = jsonArrays(run);
    const std::vector<SandboxVideoItem> items = SandboxVideo::listOf(sandbox, "-42");
    ASSERT_EQ(community.size(), qsizetype(items.size()));
    EXPECT_EQ(community.first().at(1), QString::fromStdString(items.front().key()));
    EXPECT_EQ(lastTarget("list"), "/al_video.php?act=load_videos_silent&al=1&oid=-42");

    // A negative owner is an argument, not an option.
    run = cli(signedIn({"video-list", "-42", "--kind", "0"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonArrays(run).size(), community.size());
    EXPECT_EQ(lastTarget("list"), "/al_video.php?act=load_videos_silent&al=1&oid=-42");

    run = cli(signedIn({"video-recommendations", "1000001"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QStringList> recommended = jsonArrays(run);
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
    CliRun run = cli(signedIn({"album-tracks", QString::fromStdString(queen.id)}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QList<QStringList> records = jsonArrays(run, 7);
    ASSERT_EQ(records.size(), qsizetype(queen.tracks.size()));
    for (size_t k = 0; k < queen.tracks.size(); ++k) {
        const auto &[creator, title] = queen.tracks[k];
        EXPECT_EQ(records.at(qsizetype(k)).mid(2, 2),
                  QStringList({QString::fromStdString(title), QString::fromStdString(creator)}));
    }

    for (const char *empty : {"2006", "999"}) { // no tracks; an unknown album (an error answer)
        run = cli(signedIn({"album-tracks", empty}));
        EXPECT_EQ(run.exitCode, 0) << empty;
        EXPECT_TRUE(run.out.isEmpty()) << empty;
        EXPECT_FALSE(run.err.contains(errorLine)) << empty;
    }
}

} // namespace
