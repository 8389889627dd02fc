// The audio operations: the users' and communities' lists, the search page and the search, the tokens of
// add and delete, the rights holders' list.
#include "../support/NetPages.h"

#include "decoding/Text.h"
#include "service/AudioSearchPage.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

using namespace TestSupport;

// The page a list of `kind` (0 a user's, 1 a community's, 2 recommendations) is asked for.
std::string listTarget(const std::string &owner, int kind)
{
    return kind == 2 ? "/audio?act=get_recommendations&al=1&offset=0&id=" + owner
                     : "/audio?act=load_audios_silent&al=1&edit=0&" +
                           std::string(kind == 0 ? "gid=0&id=" : "id=0&gid=") + owner;
}

QString fixture(const char *name)
{
    return Text::decodeWindows1251(TestSupport::readData(QStringLiteral("audio/") + QLatin1String(name)));
}

std::string searchTarget(const QString &escaped, int offset = 0, int sort = 0)
{
    // Concatenated: the escapes would pass for QString::arg placeholders.
    return "/al_search.php?al=1&c[section]=audio&c[q]=" + escaped.toStdString() +
           "&offset=" + std::to_string(offset) + "&c[sort]=" + std::to_string(sort);
}

const std::string tokenTarget = "/audio?act=load_audios_silent&al=1&gid=0&id=9999999999&edit=0";

// ---- the page reader on fixture pages ---------------------------------------------------------------------

TEST(AudioSearchPage, ReadsTheFirstHundredOfMoreRows)
{
    const QString page = fixture("search_150_rows.html");
    ASSERT_FALSE(page.isEmpty());
    LogCapture log;
    const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
    const auto records = parseAudioSearchPage(page);
    ASSERT_EQ(sizeOf(records), 100);
    // Row i lasts 60 + i seconds; the numbers are cut after "aid:" and "oid:" and kept untrimmed.
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(fields(records->at(i)),
                  QStringList(
                      {QStringLiteral("%1:%2").arg((60 + i) / 60).arg((60 + i) % 60, 2, 10, QLatin1Char('0')),
                       QStringLiteral("http://cs%1.example/u%2/audio/%3.mp3").arg(i % 9).arg(i).arg(7000 + i),
                       QStringLiteral("Песня номер %1").arg(i), QStringLiteral("Исполнитель %1").arg(i),
                       QString::number(tagBefore + 1 + i), QStringLiteral(" %1").arg(7000 + i),
                       QStringLiteral(" %1").arg(3000 + i)}))
            << i;
    EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore + 100);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(AudioSearchPage, RowCases)
{
    LogCapture log;
    const auto records = parseAudioSearchPage(fixture("search_rows_mixed.html"));
    ASSERT_EQ(sizeOf(records), 6);
    const int tag = records->at(0).tag.toInt();
    const auto t = [tag](int k) { return QString::number(tag + k); };

    // Seconds 245 read 4:05; the lyrics link's text is the title; the highlighting is gone.
    EXPECT_EQ(fields(records->at(0)),
              QStringList({"4:05", "http://cs1.example/a.mp3", "Группа крови", "Кино", t(0), " 6", " 5"}));
    // References decoded, per cent signs left alone.
    EXPECT_EQ(fields(records->at(1)),
              QStringList({"0:05", "http://cs2.example/b.mp3", "Don't Stop 100%41 & more",
                           "Simon & Garfunkel", t(1), " 8", " 7"}));
    // Blank texts become "Неизвестно"; minutes are not limited.
    EXPECT_EQ(fields(records->at(2)),
              QStringList({"60:00", "http://cs3.example/c.mp3", unknown, unknown, t(2), " 10", " 9"}));
    // A further class on the row; named and numeric references; a negative owner kept as sent.
    EXPECT_EQ(fields(records->at(3)), QStringList({"1:01", "http://cs4.example/d.mp3", "Café del Mar",
                                                   "Beyoncé", t(3), " 77", " -12"}));
    // Line breaks and tabs inside the title are dropped with the other control characters, then trimmed.
    EXPECT_EQ(fields(records->at(4)), QStringList({"10:00", "http://cs5.example/e.mp3",
                                                   "Nothing Else Matters", "AC/DC", t(4), " 14", " 13"}));
    EXPECT_EQ(records->at(5).title, QStringLiteral("<Untitled> %D0%B0"));
    EXPECT_EQ(records->at(5).artist, QStringLiteral("Ария"));
    EXPECT_EQ(records->at(5).duration, QStringLiteral("0:59"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(AudioSearchPage, RowlessPagesAreEmptyQuietlyAndMissingMarkersAnywhereInARowLoseThePageWithOneLogLine)
{
    {
        LogCapture log;
        const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
        for (const QString &page : {QString(), fixture("search_no_rows.html"), QStringLiteral("   "),
                                    QStringLiteral("<div class=\"audios_row\">not a result row</div>")}) {
            EXPECT_EQ(sizeOf(parseAudioSearchPage(page)), 0);
        }
        EXPECT_TRUE(log.lines().isEmpty());
        EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore);
    }
    {
        LogCapture log;
        const int tagBefore = GlobalData::sharedGlobalData()->fileTag();
        EXPECT_FALSE(parseAudioSearchPage(fixture("search_row_without_oid.html")).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
        // The first row was read before the second failed: its tag stays used.
        EXPECT_EQ(GlobalData::sharedGlobalData()->fileTag(), tagBefore + 1);
    }
    const QString good = QStringLiteral(
        "<div class=\"audios_row clear_fix\"><input type=\"hidden\" value=\"http://a/b.mp3,61\">"
        "<div class=\"audio_title_wrap\"><a href=\"/x\">Artist</a> <span class=\"title\">Song</span></div>"
        "<div class=\"actions\" onclick=\"f({aid: 1, oid: 2, x: 3})\"></div></div>");
    ASSERT_EQ(parseAudioSearchPage(good).value_or(QList<AudioRecord>()).size(), 1);

    // Each marker missing in turn: the hidden value, the title element, the artist link, the title span, the
    // actions element, the audio number, the comma after the owner.
    const std::pair<QString, QString> cuts[] = {
        {"value=\"", "data=\""},        {"audio_title_wrap", "other_wrap"},
        {"a href=", "b data="},         {"class=\"title\"", "class=\"name\""},
        {"\"actions\"", "\"buttons\""}, {"aid:", "id:"},
        {"oid: 2, x: 3", "oid: 2"}};
    for (const auto &[from, to] : cuts) {
        SCOPED_TRACE(from.toStdString());
        QString page = good;
        page.replace(from, to);
        LogCapture log;
        EXPECT_FALSE(parseAudioSearchPage(page).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
    }
}

// ---- the operations against the sandbox, signed in, the stored tokens "0" -------------------------------

class AudioTest : public ServiceSandboxTest
{
protected:
    void SetUp() override
    {
        global = GlobalData::sharedGlobalData();
        global->addAudioHash = QStringLiteral("0");
        global->delAudioHash = QStringLiteral("0");
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        uid = Sandbox::defaultAccount().uid;
        sid = global->vksid().toStdString();
    }
    std::string lastTarget(const char *kind = "search")
    {
        return SandboxAudio::lastRequest(sandbox, kind).value_or(SandboxRequest{}).target;
    }
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
    std::vector<std::string> ownAids()
    {
        std::vector<std::string> aids;
        for (const SandboxTrack &t : SandboxAudio::userAudio(sandbox, uid))
            aids.push_back(t.aid);
        return aids;
    }
    void serveTokenPage(const char *fixture)
    {
        SandboxAudio::setCannedAnswer(
            sandbox, tokenTarget,
            TestSupport::readData(QStringLiteral("audio/") + QLatin1String(fixture)).toStdString());
    }

    // Add and delete send the session, and no page-request field.
    std::map<std::string, std::string> actionFields() const
    {
        return {{"Cookie", "remixsid=" + sid}, {"Accept-Encoding", "gzip"}};
    }

    std::string uid;
    std::string sid;
};

using AudioListsTest = AudioTest;
using AudioSearchTest = AudioTest;
using AudioTokensTest = AudioTest;
using RiaaTest = AudioTest;

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
    for (const auto &[owner, kind] : {std::pair{"123", 3}, std::pair{"1000001 ", 0}})
        EXPECT_EQ(sizeOf(load(owner, kind)), 0);
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
    // Owners with nothing, and answers without the list (the fixtures).
    const std::tuple<const char *, const char *, int> empties[] = {
        {"4242", nullptr, 0},
        {"4242", nullptr, 1},
        {"4242", nullptr, 2},
        {"9999999999", nullptr, 0},
        {"77", "list_without_all.txt", 0},
        {"77", "list_recommendations_without_marker.txt", 2}};
    for (const auto &[owner, fixture, kind] : empties)
        EXPECT_EQ(sizeOf(fixture ? loadFixture(fixture, owner, kind) : load(owner, kind)), 0)
            << owner << kind;
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

TEST_F(AudioSearchTest, HitsMatchTheQueryAndAddressTheStorageHost)
{
    LogCapture log;
    const auto records = VKontakteWorks::searchAudioWithOffset(QStringLiteral("кИнО"), 0, 0);
    ASSERT_GT(sizeOf(records), 0);
    // What a row becomes: the reader's cases (AudioSearchPage).
    for (const AudioRecord &r : *records) {
        SCOPED_TRACE(r.url.toStdString());
        EXPECT_TRUE(r.artist.contains(QStringLiteral("кино"), Qt::CaseInsensitive) ||
                    r.title.contains(QStringLiteral("кино"), Qt::CaseInsensitive));
        EXPECT_TRUE(r.url.startsWith(base() + "/storage/mp3/"));
    }
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "search").value()), pageFields(global->vksid()));
}

TEST_F(AudioSearchTest, TheQueryIsEscapedInTwoStagesAndArrivesIntactWithTheOffsetAndTheSortCode)
{
    // The escapes of every character: the decoding cases (TextEscape).
    const struct
    {
        QString text;
        QString sent;
        int offset = 0;
        int sort = 0;
    } cases[] = {
        {QStringLiteral("Simon & Garfunkel"), QStringLiteral("Simon%20%26%20Garfunkel")},
        {QStringLiteral("Ж"), QStringLiteral("%D0%96")},
        {QStringLiteral("100%"), QStringLiteral("100%25")},
        {QStringLiteral("a+b=c?d;e:f@g$h,i"), QStringLiteral("a%2Bb%3Dc%3Fd%3Be%3Af%40g%24h%2Ci")},
        {QStringLiteral(" Don't [x]#"), QStringLiteral("%20Don't%20%5Bx%5D%23")},
        {QStringLiteral("a"), QStringLiteral("a"), 0, 1},
        {QStringLiteral("a"), QStringLiteral("a"), 200, -7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        ASSERT_TRUE(VKontakteWorks::searchAudioWithOffset(c.text, c.offset, c.sort).has_value());
        EXPECT_EQ(lastTarget(), searchTarget(c.sent, c.offset, c.sort));
        EXPECT_EQ(SandboxAudio::lastSearchText(sandbox), c.text.toStdString());
    }
}

TEST_F(AudioSearchTest, FixturePagesThroughTheWholeRequest)
{
    SandboxAudio::setCannedAnswer(sandbox, searchTarget("fixture"),
                                  TestSupport::readData("audio/search_rows_mixed.html").toStdString());
    SandboxAudio::setCannedAnswer(sandbox, searchTarget("broken"),
                                  TestSupport::readData("audio/search_row_without_oid.html").toStdString());
    SandboxAudio::setCannedAnswer(sandbox, searchTarget("empty"), std::string());

    LogCapture log;
    const auto records = VKontakteWorks::searchAudioWithOffset(QStringLiteral("fixture"), 0, 0);
    ASSERT_EQ(records.value_or(QList<AudioRecord>()).size(), 6);
    EXPECT_EQ(records->at(0).title, QStringLiteral("Группа крови"));
    EXPECT_EQ(sizeOf(VKontakteWorks::searchAudioWithOffset(QStringLiteral("empty"), 0, 0)), 0);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(VKontakteWorks::searchAudioWithOffset(QStringLiteral("broken"), 0, 0).has_value());
    EXPECT_EQ(log.lines(), QStringList({errorLine}));
}

TEST_F(AudioSearchTest, NoSessionOrNoServiceGivesAnEmptyListWithoutLogLine)
{
    LogCapture log;
    global->setVksid(QStringLiteral("not-a-session"));
    auto records = VKontakteWorks::searchAudioWithOffset(QStringLiteral("кино"), 0, 0);
    EXPECT_EQ(sizeOf(records), 0);
    EXPECT_EQ(records.outcome(), ServiceAnswer<QList<AudioRecord>>::Answered);

    // Nobody answering reads like an empty page, and the answer says that nobody did.
    sandbox.stop();
    records = VKontakteWorks::searchAudioWithOffset(QStringLiteral("кино"), 0, 0);
    EXPECT_EQ(sizeOf(records), 0);
    EXPECT_EQ(records.outcome(), ServiceAnswer<QList<AudioRecord>>::NoAnswer);
    EXPECT_TRUE(log.lines().isEmpty());
}

// The references themselves: the decoding cases (TextEntities).
TEST(AudioCleanText, DecodesThenTrimsAndNamesTheUnknown)
{
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral("  AC&amp;DC\n")), QStringLiteral("AC&DC"));
    EXPECT_EQ(VKontakteWorks::cleanText(QStringLiteral("&#x41a;&#1080;&#1085;&#1086;")),
              QStringLiteral("Кино"));
    for (const QString &blank : {QString(), QStringLiteral(" \t\r\n"), QStringLiteral("&nbsp;")})
        EXPECT_EQ(VKontakteWorks::cleanText(blank), unknown) << blank.toStdString();
}

TEST_F(AudioTokensTest, AddFetchesItsTokenOnceAndPutsTheTrackOnTheUsersPage)
{
    const std::vector<SandboxTrack> catalogue = SandboxAudio::catalogueOf(sandbox);
    const SandboxTrack &first = catalogue.at(10);
    const SandboxTrack &second = catalogue.at(20);
    const size_t before = SandboxAudio::userAudio(sandbox, uid).size();

    LogCapture log;
    VKontakteWorks::addAudio(QString::fromStdString(first.aid), QString::fromStdString(first.oid));
    const std::string addToken = SandboxAudio::tokensOf(sandbox, sid).first;
    ASSERT_FALSE(addToken.empty());
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 1);
    EXPECT_EQ(global->addAudioHash.toStdString(), addToken); // stored without its quotes
    EXPECT_EQ(log.lines(),
              QStringList({QStringLiteral("Хэш добавления аудио: %1").arg(global->addAudioHash)}));
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "add")->target,
              "/audio?act=add&al=1&aid=" + first.aid + "&oid=" + first.oid + "&hash=" + addToken);
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "add").value()), actionFields());
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "tokens").value()), pageFields(global->vksid()));

    VKontakteWorks::addAudio(QString::fromStdString(second.aid), QString::fromStdString(second.oid));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 1);
    EXPECT_EQ(log.lines().size(), 1);
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "add")->target,
              "/audio?act=add&al=1&aid=" + second.aid + "&oid=" + second.oid + "&hash=" + addToken);

    const std::vector<SandboxTrack> own = SandboxAudio::userAudio(sandbox, uid);
    ASSERT_EQ(own.size(), before + 2);
    EXPECT_EQ(own[0].title, second.title); // the newest first, as the service lists them
    EXPECT_EQ(own[1].title, first.title);
    EXPECT_EQ(own[0].oid, uid);
}

TEST_F(AudioTokensTest, DeleteUsesItsOwnTokenAndRemovesTheRecord)
{
    const SandboxTrack track = SandboxAudio::catalogueOf(sandbox).at(7);
    VKontakteWorks::addAudio(QString::fromStdString(track.aid), QString::fromStdString(track.oid));
    const std::string added = ownAids().front();

    LogCapture log;
    VKontakteWorks::delAudio(QString::fromStdString(added), QString::fromStdString(uid));
    const auto [addToken, deleteToken] = SandboxAudio::tokensOf(sandbox, sid);
    EXPECT_NE(addToken, deleteToken);
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 2);
    EXPECT_EQ(global->delAudioHash.toStdString(), deleteToken);
    EXPECT_EQ(global->addAudioHash.toStdString(), addToken);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Хэш удаления аудио: %1").arg(global->delAudioHash)}));
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "delete")->target,
              "/audio?act=delete_audio&al=1&aid=" + added + "&oid=" + uid + "&hash=" + deleteToken);
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "delete").value()), actionFields());
    const std::vector<std::string> aids = ownAids();
    EXPECT_EQ(std::count(aids.begin(), aids.end(), added), 0);

    // A second delete sends the stored token without asking again.
    const std::string next = aids.front();
    VKontakteWorks::delAudio(QString::fromStdString(next), QString::fromStdString(uid));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 2);
    EXPECT_EQ(ownAids().size(), aids.size() - 1);
}

TEST_F(AudioTokensTest, AStaleTokenIsSentAsStoredAndChangesNothing)
{
    global->addAudioHash = QStringLiteral("stale");
    const std::vector<std::string> before = ownAids();
    const SandboxTrack track = SandboxAudio::catalogueOf(sandbox).at(1);
    LogCapture log;
    VKontakteWorks::addAudio(QString::fromStdString(track.aid), QString::fromStdString(track.oid));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 0);
    EXPECT_NE(SandboxAudio::lastRequest(sandbox, "add")->target.find("&hash=stale"), std::string::npos);
    EXPECT_EQ(ownAids(), before);
    EXPECT_TRUE(log.lines().isEmpty());
}

// Signed out, the page has no tokens; nor has a page without its brace, nor no answer at all.
TEST_F(AudioTokensTest, APageWithoutTokensGivesZeroQuietlyAndIsAskedAgain)
{
    global->setVksid(QStringLiteral("nobody"));
    LogCapture log;
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("0"));
    EXPECT_EQ(VKontakteWorks::getDelAudioHash(), QStringLiteral("0"));
    global->setVksid(QString::fromStdString(sid));
    serveTokenPage("tokens_without_brace.txt");
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("0"));
    EXPECT_EQ(VKontakteWorks::getDelAudioHash(), QStringLiteral("0"));
    EXPECT_TRUE(log.lines().isEmpty());

    VKontakteWorks::addAudio(QStringLiteral("1"), QStringLiteral("2"));
    EXPECT_EQ(global->addAudioHash, QStringLiteral("0"));
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Хэш добавления аудио: 0")}));
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "add")->target, "/audio?act=add&al=1&aid=1&oid=2&hash=0");
    VKontakteWorks::addAudio(QStringLiteral("1"), QStringLiteral("2"));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 6);

    sandbox.stop();
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("0"));
    EXPECT_EQ(log.lines().size(), 2);
}

TEST_F(AudioTokensTest, APageWithoutTheMarkerFallsBackToTheStoredTokenUnquotedTokensEndAtAComma)
{
    serveTokenPage("tokens_without_marker.txt");
    LogCapture log;
    global->addAudioHash = QStringLiteral("kept-add");
    global->delAudioHash = QStringLiteral("kept-delete");
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("kept-add"));
    EXPECT_EQ(VKontakteWorks::getDelAudioHash(), QStringLiteral("kept-delete"));
    EXPECT_EQ(log.lines(), QStringList({errorLine, errorLine}));

    // On the first attempt the stored token is still "0", and that is what the request sends.
    global->delAudioHash = QStringLiteral("0");
    LogCapture second;
    VKontakteWorks::delAudio(QStringLiteral("5"), QString::fromStdString(uid));
    EXPECT_EQ(second.lines(), QStringList({errorLine, QStringLiteral("Хэш удаления аудио: 0")}));
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "delete")->target,
              "/audio?act=delete_audio&al=1&aid=5&oid=" + uid + "&hash=0");

    // Unquoted tokens are cut up to the next comma.
    serveTokenPage("tokens_unquoted.txt");
    EXPECT_EQ(VKontakteWorks::getAddAudioHash(), QStringLiteral("a1b2c3"));
    EXPECT_EQ(VKontakteWorks::getDelAudioHash(), QStringLiteral("d4e5f6"));
}

TEST_F(AudioTokensTest, ARecordThatIsNoAddressPartSendsNothing)
{
    // A number text holding a blank (the fields are taken untrimmed from the page) forms no address.
    LogCapture log;
    VKontakteWorks::addAudio(QStringLiteral(" 456001"), QStringLiteral(" 2000001"));
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 1);
    EXPECT_FALSE(SandboxAudio::lastRequest(sandbox, "add").has_value());
    EXPECT_EQ(log.lines().size(), 1); // the token line only
}

// ---- the rights-holder list

TEST_F(RiaaTest, TheFileIsSplitAtLineFeedsKeepingCarriageReturnsAndTheLastEmptyLine)
{
    SandboxAudio::setRiaaText(sandbox, "Ленинград\nRammstein\r\n  Мумий Тролль \n\nМетал\n");
    const auto lines = VKontakteWorks::getRiaaList();
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, QStringList({"Ленинград", "Rammstein\r", "  Мумий Тролль ", "", "Метал", ""}));

    // No cookie and no page-request field, even while signed in.
    const auto expected = std::map<std::string, std::string>{{"Accept-Encoding", "gzip"}};
    EXPECT_EQ(ownHeaders(SandboxAudio::lastRequest(sandbox, "riaa").value()), expected);
}

// The list as the file above splits it.
TEST(Riaa, RefusalComparesTrimmedTextsExactly)
{
    const QStringList list = {"Ленинград", "Rammstein\r", "Мумий Тролль", ""};
    // The empty last line refuses only a blank search.
    for (const char *refused : {"  Rammstein \t", "Ленинград", "Мумий Тролль\n", "", "  "})
        EXPECT_TRUE(VKontakteWorks::riaaRefuses(list, QString::fromUtf8(refused))) << refused;
    for (const char *allowed : {"rammstein", "Ленин", "Мумий  Тролль"})
        EXPECT_FALSE(VKontakteWorks::riaaRefuses(list, QString::fromUtf8(allowed))) << allowed;
    EXPECT_FALSE(VKontakteWorks::riaaRefuses({"Rammstein"}, QStringLiteral(" ")));
    EXPECT_FALSE(VKontakteWorks::riaaRefuses({}, QString()));
}

TEST_F(RiaaTest, AnUnreachableHostGivesOneEmptyLine)
{
    sandbox.stop();
    LogCapture log;
    const auto lines = VKontakteWorks::getRiaaList();
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(*lines, QStringList({QString()}));
    EXPECT_TRUE(VKontakteWorks::riaaRefuses(*lines, QStringLiteral(" ")));
    EXPECT_FALSE(VKontakteWorks::riaaRefuses(*lines, QStringLiteral("Rammstein")));
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
