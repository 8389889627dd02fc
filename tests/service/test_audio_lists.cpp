#include "../support/SandboxSignIn.h"

#include "sandbox/SandboxAudio.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <gtest/gtest.h>

namespace {

const QString errorLine = QStringLiteral("Отлавливай ошибки, будь мужиком, блеать!");

QStringList fields(const AudioRecord &r)
{
    return {r.duration, r.url, r.title, r.artist, r.tag, r.aid, r.oid};
}

std::string userTarget(const std::string &owner)
{
    return "/audio?act=load_audios_silent&al=1&edit=0&gid=0&id=" + owner;
}
std::string communityTarget(const std::string &owner)
{
    return "/audio?act=load_audios_silent&al=1&edit=0&id=0&gid=" + owner;
}
std::string recommendationsTarget(const std::string &owner)
{
    return "/audio?act=get_recommendations&al=1&offset=0&id=" + owner;
}

class AudioListsTest : public TestSupport::ServiceSandboxTest
{
protected:
    std::string lastListTarget(const char *kind = "list")
    {
        return SandboxAudio::lastRequest(sandbox, kind).value_or(SandboxRequest{}).target;
    }
    // Serves a fixture for the list request of `target`, then loads it.
    ServiceAnswer<QList<AudioRecord>> loadFixture(const char *name, const std::string &owner, int kind)
    {
        const std::string target = kind == 0   ? userTarget(owner)
                                   : kind == 1 ? communityTarget(owner)
                                               : recommendationsTarget(owner);
        SandboxAudio::setCannedAnswer(
            sandbox, target,
            TestSupport::readData(QStringLiteral("audio/") + QLatin1String(name)).toStdString());
        return VKontakteWorks::getAudioWithJSON(QString::fromStdString(owner), kind);
    }
    // The record a sandbox track should become.
    QStringList expected(const SandboxTrack &t, const QString &tag) const
    {
        return {QStringLiteral("%1:%2").arg(t.seconds / 60).arg(t.seconds % 60, 2, 10, QLatin1Char('0')),
                QStringLiteral("%1/storage/mp3/%2/%3_%4.mp3")
                    .arg(base())
                    .arg(t.seconds)
                    .arg(QString::fromStdString(t.oid), QString::fromStdString(t.aid)),
                QString::fromStdString(t.title),
                QString::fromStdString(t.artist),
                tag,
                QString::fromStdString(t.aid),
                QString::fromStdString(t.oid)};
    }
};

TEST_F(AudioListsTest, EachKindAsksForItsOwnPage)
{
    VKontakteWorks::getAudioWithJSON(QStringLiteral("123"), 0);
    EXPECT_EQ(lastListTarget(), userTarget("123"));
    VKontakteWorks::getAudioWithJSON(QStringLiteral("123"), 1);
    EXPECT_EQ(lastListTarget(), communityTarget("123"));
    VKontakteWorks::getAudioWithJSON(QStringLiteral("123"), 2);
    EXPECT_EQ(lastListTarget("recommendations"), recommendationsTarget("123"));

    // The page request's three header fields.
    const SandboxRequest request = SandboxAudio::lastRequest(sandbox, "recommendations").value();
    std::map<std::string, std::string> headers(request.headers.begin(), request.headers.end());
    EXPECT_EQ(headers["Cookie"], "remixsid=" + global->vksid().toStdString());
    EXPECT_EQ(headers["X-Requested-With"], "XMLHttpRequest");
    EXPECT_EQ(headers["Accept-Encoding"], "gzip");

    // No such kind: nothing is asked for.
    const size_t requests = sandbox.requestLog().size();
    const auto none = VKontakteWorks::getAudioWithJSON(QStringLiteral("123"), 3);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->isEmpty());
    EXPECT_EQ(sandbox.requestLog().size(), requests);
}

TEST_F(AudioListsTest, TheUsersOwnListInItsOrder)
{
    const std::string uid = Sandbox::defaultAccount().uid;
    const std::vector<SandboxTrack> tracks = SandboxAudio::userAudio(sandbox, uid);
    ASSERT_GE(tracks.size(), 20u);
    TestSupport::LogCapture log;
    const auto records = VKontakteWorks::getAudioWithJSON(QString::fromStdString(uid), 0);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), qsizetype(tracks.size()));
    for (size_t i = 0; i < tracks.size(); ++i)
        EXPECT_EQ(fields(records->at(qsizetype(i))), expected(tracks[i], records->at(qsizetype(i)).tag)) << i;
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AudioListsTest, FiveHundredEntriesGiveFiveHundredRecordsWithConsecutiveTags)
{
    const auto records = VKontakteWorks::getAudioWithJSON(QStringLiteral("1000002"), 0);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 500);
    for (qsizetype i = 1; i < records->size(); ++i)
        ASSERT_EQ(records->at(i).tag.toInt(), records->at(i - 1).tag.toInt() + 1);
    const std::vector<SandboxTrack> tracks = SandboxAudio::userAudio(sandbox, "1000002");
    EXPECT_EQ(fields(records->last()), expected(tracks.back(), records->last().tag));
}

TEST_F(AudioListsTest, CommunityListsCarryTheCommunityAsOwner)
{
    const auto records = VKontakteWorks::getAudioWithJSON(QStringLiteral("1"), 1);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 40);
    for (const AudioRecord &r : *records)
        EXPECT_EQ(r.oid, QStringLiteral("-1"));
}

TEST_F(AudioListsTest, AnUnescapedApostropheBreaksTheWholeList)
{
    TestSupport::LogCapture log;
    const auto records = VKontakteWorks::getAudioWithJSON(QStringLiteral("2"), 1);
    ASSERT_TRUE(records.has_value());
    EXPECT_TRUE(records->isEmpty());
    // Only the JSON reader complains.
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("-JSONValue failed. Error is: ")));
}

TEST_F(AudioListsTest, EmptyObjectsAndMissingListsAreQuietlyEmpty)
{
    TestSupport::LogCapture log;
    const std::pair<const char *, int> owners[] = {{"4242", 0}, {"4242", 1}, {"4242", 2}, {"9999999999", 0}};
    for (const auto &[owner, kind] : owners) {
        SCOPED_TRACE(owner);
        const auto records = VKontakteWorks::getAudioWithJSON(QString::fromLatin1(owner), kind);
        ASSERT_TRUE(records.has_value());
        EXPECT_TRUE(records->isEmpty());
    }
    for (const char *name : {"list_without_all.txt", "list_recommendations_without_marker.txt"}) {
        SCOPED_TRACE(name);
        const auto records = loadFixture(name, "77", QByteArray(name).contains("recommendations") ? 2 : 0);
        ASSERT_TRUE(records.has_value());
        EXPECT_TRUE(records->isEmpty());
    }
    SandboxAudio::setCannedAnswer(sandbox, userTarget("78"), std::string());
    const auto empty = VKontakteWorks::getAudioWithJSON(QStringLiteral("78"), 0);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AudioListsTest, RecommendationsAreCutAtTheirMarker)
{
    // The same answer read as a user's list takes the first object, which is not the list.
    const auto wrong = loadFixture("list_recommendations.txt", "55", 0);
    ASSERT_TRUE(wrong.has_value());
    ASSERT_EQ(wrong->size(), 1);
    EXPECT_EQ(wrong->first().title, QStringLiteral("Wrong"));

    const auto records = loadFixture("list_recommendations.txt", "55", 2);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 2);
    EXPECT_EQ(fields(records->at(0)), QStringList({"3:33", "http://cs1.example/r1.mp3", "Выхода нет", "Сплин",
                                                   records->at(0).tag, "201", "101"}));
    EXPECT_EQ(fields(records->at(1)), QStringList({"12:01", "http://cs1.example/r2.mp3", "Uprising", "Muse",
                                                   records->at(1).tag, "202", "102"}));

    // The sandbox's own recommendations for the signed-in user.
    const auto own =
        VKontakteWorks::getAudioWithJSON(QString::fromStdString(Sandbox::defaultAccount().uid), 2);
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->size(), 30);
}

TEST_F(AudioListsTest, UnreadableEntriesLoseTheListWithTheErrorLine)
{
    for (const char *name : {"list_short_entry.txt", "list_without_separator.txt", "list_number_title.txt",
                             "list_not_a_map.txt"}) {
        SCOPED_TRACE(name);
        TestSupport::LogCapture log;
        const int tagBefore = global->fileTag();
        EXPECT_FALSE(loadFixture(name, "66", 0).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
        // Entries read before the bad one keep their tags used.
        if (QByteArray(name) == "list_short_entry.txt") {
            EXPECT_EQ(global->fileTag(), tagBefore + 3);
        }
    }

    // Signed out, the page has no object at all.
    global->setVksid(QStringLiteral("nobody"));
    TestSupport::LogCapture log;
    EXPECT_FALSE(VKontakteWorks::getAudioWithJSON(QString::fromStdString(Sandbox::defaultAccount().uid), 0));
    EXPECT_EQ(log.lines(), QStringList({errorLine}));
}

TEST_F(AudioListsTest, TextsAreCleanedAndNumbersStayText)
{
    TestSupport::LogCapture log;
    auto records = loadFixture("list_unquoted_numbers.txt", "88", 0);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 1);
    // Control characters are removed from the whole answer before it is read.
    EXPECT_EQ(fields(records->first()), QStringList({"245", "http://cs1.example/n.mp3", "Title", "Artist",
                                                     records->first().tag, "6", "5"}));

    records = loadFixture("list_blank_texts.txt", "89", 1);
    ASSERT_TRUE(records.has_value());
    ASSERT_EQ(records->size(), 2);
    EXPECT_EQ(records->at(0).artist, QStringLiteral("Неизвестно"));
    EXPECT_EQ(records->at(0).title, QStringLiteral("&#39;")); // decoded once only
    EXPECT_EQ(records->at(1).artist, QStringLiteral("Simon & Garfunkel"));
    EXPECT_EQ(records->at(1).title, QStringLiteral("100%25 'Live'"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AudioListsTest, AnOwnerThatIsNoAddressPartGivesAnEmptyList)
{
    TestSupport::LogCapture log;
    const size_t requests = sandbox.requestLog().size();
    const auto records = VKontakteWorks::getAudioWithJSON(QStringLiteral("1000001 "), 0);
    ASSERT_TRUE(records.has_value());
    EXPECT_TRUE(records->isEmpty());
    EXPECT_EQ(sandbox.requestLog().size(), requests);
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
