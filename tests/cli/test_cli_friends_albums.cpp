#include "../support/CliSandbox.h"

#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxLastfm.h"

#include <gtest/gtest.h>

namespace {

using TestSupport::CliRun;
using TestSupport::jsonArrays;
using TestSupport::jsonStrings;

using TestSupport::errorLine;
using TestSupport::peopleRecords;

const std::string key = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

using CliFriendsAlbumsTest = TestSupport::CliSandboxTest;

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
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
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
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());

    SandboxLastfm::setCannedAnswer(sandbox,
                                   "/2.0/?format=json&method=album.search&api_key=" + key + "&album=x",
                                   "{\"results\":{\"albummatches\":{\"album\":{\"name\":\"A\"}}}}");
    run = cli(withBase({"albums", "x"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
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
