#include "../support/CliSandbox.h"

#include "sandbox/SandboxVideo.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace {

using TestSupport::CliRun;
using TestSupport::jsonArrays;

using TestSupport::errorLine;

class CliVideoTest : public TestSupport::CliSandboxTest
{
protected:
    std::string lastTarget(const char *kind)
    {
        return SandboxVideo::lastRequest(sandbox, kind).value_or(SandboxRequest{}).target;
    }
};

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
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
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
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("\"1\"\n"));

    run = cli(signedIn({"video-link", "-1_1"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("\"2\"\n"));
}

TEST_F(CliVideoTest, AnUnreadableAnswerPrintsNothingAndLogsTheLine)
{
    SandboxVideo::setCannedAnswer(sandbox, "/al_video.php?act=load_videos_silent&al=1&oid=-5",
                                  TestSupport::readData("video/list_short_entry.txt").toStdString());
    const CliRun run = cli(signedIn({"video-list", "5", "--kind", "1"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(errorLine)) << run.err.toStdString();
}

} // namespace
