#include "../support/NetPages.h"

#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <gtest/gtest.h>

namespace {

using namespace TestSupport;

// The page a list of `kind` (0 a user's, 1 a community's, 2 recommendations) is asked for.
std::string listTarget(const std::string &owner, int kind)
{
    return kind == 2 ? "/audio?act=get_recommendations&al=1&offset=0&id=" + owner
                     : "/audio?act=load_audios_silent&al=1&edit=0&" +
                           std::string(kind == 0 ? "gid=0&id=" : "id=0&gid=") + owner;
}

class AudioListsTest : public ServiceSandboxTest
{
protected:
    static ServiceAnswer<QList<AudioRecord>> load(const std::string &owner, int kind)
    {
        return VKontakteWorks::getAudioWithJSON(QString::fromStdString(owner), kind);
    }
    // Serves a fixture for the list request of `owner` and `kind`, then loads it.
    ServiceAnswer<QList<AudioRecord>> loadFixture(const char *name, const std::string &owner, int kind)
    {
        SandboxAudio::setCannedAnswer(sandbox, listTarget(owner, kind),
                                      readData(QStringLiteral("audio/") + QLatin1String(name)).toStdString());
        return load(owner, kind);
    }
    // The record a sandbox track should become.
    QStringList expected(const SandboxTrack &t, int tag) const
    {
        return {QStringLiteral("%1:%2").arg(t.seconds / 60).arg(t.seconds % 60, 2, 10, QLatin1Char('0')),
                QStringLiteral("%1/storage/mp3/%2/%3_%4.mp3")
                    .arg(base())
                    .arg(t.seconds)
                    .arg(QString::fromStdString(t.oid), QString::fromStdString(t.aid)),
                QString::fromStdString(t.title),
                QString::fromStdString(t.artist),
                QString::number(tag),
                QString::fromStdString(t.aid),
                QString::fromStdString(t.oid)};
    }
};

TEST_F(AudioListsTest, EachKindAsksForItsOwnPageAndAListWithoutAnAddressAsksNothing)
{
    const char *kinds[] = {"list", "list", "recommendations"};
    for (int kind = 0; kind < 3; ++kind) {
        load("123", kind);
        const SandboxRequest request =
            SandboxAudio::lastRequest(sandbox, kinds[kind]).value_or(SandboxRequest{});
        EXPECT_EQ(request.target, listTarget("123", kind));
        EXPECT_EQ(ownHeaders(request), pageFields(global->vksid()));
    }
    // No such kind, and an owner that is no address part: quietly empty.
    LogCapture log;
    const size_t requests = sandbox.requestLog().size();
    for (const auto &[owner, kind] : {std::pair{"123", 3}, std::pair{"1000001 ", 0}}) {
        EXPECT_EQ(sizeOf(load(owner, kind)), 0);
    }
    EXPECT_EQ(sandbox.requestLog().size(), requests);
    EXPECT_TRUE(log.lines().isEmpty());
}

// Every entry becomes a record, in the page's order and with consecutive tags.
TEST_F(AudioListsTest, UsersListsAndCommunityListsInTheirOrder)
{
    for (const std::string &uid : {Sandbox::defaultAccount().uid, std::string("1000002")}) {
        SCOPED_TRACE(uid);
        const std::vector<SandboxTrack> tracks = SandboxAudio::userAudio(sandbox, uid);
        ASSERT_GE(tracks.size(), 20u);
        LogCapture log;
        const auto records = load(uid, 0);
        ASSERT_EQ(sizeOf(records), qsizetype(tracks.size()));
        const int first = records->first().tag.toInt();
        for (size_t i = 0; i < tracks.size(); ++i)
            EXPECT_EQ(fields(records->at(qsizetype(i))), expected(tracks[i], first + int(i))) << i;
        EXPECT_TRUE(log.lines().isEmpty());
    }
    EXPECT_EQ(SandboxAudio::userAudio(sandbox, "1000002").size(), 500u);

    // A community's records carry the community as their owner.
    const auto records = load("1", 1);
    ASSERT_EQ(sizeOf(records), 40);
    for (const AudioRecord &r : *records)
        EXPECT_EQ(r.oid, QStringLiteral("-1"));
}

TEST_F(AudioListsTest, EmptyObjectsAndMissingListsAreQuietlyEmptyAnUnescapedApostropheTooButLogged)
{
    LogCapture log;
    const std::pair<const char *, int> owners[] = {{"4242", 0}, {"4242", 1}, {"4242", 2}, {"9999999999", 0}};
    for (const auto &[owner, kind] : owners) {
        SCOPED_TRACE(owner);
        EXPECT_EQ(sizeOf(load(owner, kind)), 0);
    }
    const std::pair<const char *, int> fixtures[] = {{"list_without_all.txt", 0},
                                                     {"list_recommendations_without_marker.txt", 2}};
    for (const auto &[name, kind] : fixtures) {
        SCOPED_TRACE(name);
        EXPECT_EQ(sizeOf(loadFixture(name, "77", kind)), 0);
    }
    SandboxAudio::setCannedAnswer(sandbox, listTarget("78", 0), std::string());
    EXPECT_EQ(sizeOf(load("78", 0)), 0);
    EXPECT_TRUE(log.lines().isEmpty());

    // An apostrophe left unescaped breaks the whole list; only the JSON reader complains.
    EXPECT_EQ(sizeOf(load("2", 1)), 0);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.lines().first().startsWith(QStringLiteral("-JSONValue failed. Error is: ")));
}

TEST_F(AudioListsTest, RecommendationsAreCutAtTheirMarker)
{
    // The same answer read as a user's list takes the first object, which is not the list.
    const auto wrong = loadFixture("list_recommendations.txt", "55", 0);
    ASSERT_EQ(sizeOf(wrong), 1);
    EXPECT_EQ(wrong->first().title, QStringLiteral("Wrong"));

    const auto records = loadFixture("list_recommendations.txt", "55", 2);
    ASSERT_EQ(sizeOf(records), 2);
    const QString tag = records->at(0).tag;
    EXPECT_EQ(fields(records->at(0)),
              QStringList({"3:33", "http://cs1.example/r1.mp3", "Выхода нет", "Сплин", tag, "201", "101"}));
    EXPECT_EQ(fields(records->at(1)), QStringList({"12:01", "http://cs1.example/r2.mp3", "Uprising", "Muse",
                                                   QString::number(tag.toInt() + 1), "202", "102"}));

    // The sandbox's own recommendations for the signed-in user.
    EXPECT_EQ(load(Sandbox::defaultAccount().uid, 2).value_or(QList<AudioRecord>()).size(), 30);
}

TEST_F(AudioListsTest, UnreadableEntriesLoseTheListWithTheErrorLine)
{
    for (const char *name : {"list_short_entry.txt", "list_without_separator.txt", "list_number_title.txt",
                             "list_not_a_map.txt"}) {
        SCOPED_TRACE(name);
        LogCapture log;
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
    LogCapture log;
    EXPECT_FALSE(load(Sandbox::defaultAccount().uid, 0));
    EXPECT_EQ(log.lines(), QStringList({errorLine}));
}

TEST_F(AudioListsTest, TextsAreCleanedAndNumbersStayText)
{
    LogCapture log;
    auto records = loadFixture("list_unquoted_numbers.txt", "88", 0);
    ASSERT_EQ(sizeOf(records), 1);
    // Control characters are removed from the whole answer before it is read.
    EXPECT_EQ(fields(records->first()), QStringList({"245", "http://cs1.example/n.mp3", "Title", "Artist",
                                                     records->first().tag, "6", "5"}));

    records = loadFixture("list_blank_texts.txt", "89", 1);
    ASSERT_EQ(sizeOf(records), 2);
    // A blank artist is the unknown one; a reference is decoded once only; per cent signs stay.
    EXPECT_EQ(QStringList(
                  {records->at(0).artist, records->at(0).title, records->at(1).artist, records->at(1).title}),
              QStringList({unknown, "&#39;", "Simon & Garfunkel", "100%25 'Live'"}));
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
