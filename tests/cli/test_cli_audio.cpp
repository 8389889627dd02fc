#include "../support/CliSandbox.h"

#include "sandbox/SandboxAudio.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using TestSupport::CliRun;
using TestSupport::jsonArrays;

using CliAudioTest = TestSupport::CliSandboxTest;

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
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
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
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
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
        EXPECT_EQ(run.exitCode, 3) << command.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }

    // A session given directly.
    CliRun run = cli(withBase({"login", "demo@melodrop.test", "melodrop"}));
    ASSERT_EQ(run.exitCode, 0);
    const QString sid = QJsonDocument::fromJson(run.out.toUtf8()).object().value("vksid").toString();
    run = cli(withBase({"--sid", sid, "--uid", "1000001", "audio-list", "1", "--kind", "1"}));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonArrays(run).size(), 40);
}

} // namespace
