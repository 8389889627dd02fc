#include "../support/CliSandbox.h"

#include "sandbox/SandboxAudio.h"
#include "sandbox/SandboxFriends.h"
#include "sandbox/SandboxLastfm.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using TestSupport::CliRun;
using TestSupport::jsonArrays;
using TestSupport::jsonStrings;

const QString errorLine = QStringLiteral("Отлавливай ошибки, будь мужиком, блеать!");
const std::string key = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

class CliFriendsAlbumsTest : public TestSupport::CliSandboxTest
{
protected:
    QStringList expectedPeople(const std::vector<SandboxPerson> &people) const
    {
        QStringList records;
        for (const SandboxPerson &p : people) {
            const QString name = QString::fromStdString(p.name).trimmed();
            records << (name.isEmpty() ? QStringLiteral("Неизвестно") : name) + "\n" +
                           QString::fromStdString(p.id) + "\n" + base + QString::fromStdString(p.picture);
        }
        std::sort(records.begin(), records.end());
        return records;
    }
};

TEST_F(CliFriendsAlbumsTest, FriendsAndGroupsPrintTheThreeLineRecords)
{
    const std::string uid = Sandbox::defaultAccount().uid;
    CliRun run = cli(signedIn({"friends"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonStrings(run), expectedPeople(SandboxFriends::friendsOf(sandbox, uid)));

    run = cli(signedIn({"groups"}));
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(jsonStrings(run), expectedPeople(SandboxFriends::groupsOf(sandbox, uid)));

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

    run = cli(withBase({"albums", "AC/DC & Friends"}));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_NE(
        SandboxLastfm::lastRequest(sandbox, "album.search")->target.find("&album=AC%2FDC%20%26%20Friends"),
        std::string::npos);

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
        EXPECT_EQ(records.at(qsizetype(k)).at(3), QString::fromStdString(queen.tracks[k].first));
        EXPECT_EQ(records.at(qsizetype(k)).at(2), QString::fromStdString(queen.tracks[k].second));
        EXPECT_TRUE(records.at(qsizetype(k)).at(1).startsWith(base + "/storage/mp3/"));
    }

    for (const char *empty : {"2006", "999"}) { // no tracks; an unknown album (an error answer)
        run = cli(signedIn({"album-tracks", empty}));
        EXPECT_EQ(run.exitCode, 0) << empty;
        EXPECT_TRUE(run.out.isEmpty()) << empty;
        EXPECT_FALSE(run.err.contains(errorLine)) << empty;
    }
}

} // namespace
