// The session with the service, and the lists beside the audio: the user's friends and communities, and the
// albums of Last.fm with their tracks found in the service's search.
#include "../support/NetPages.h"

#include "sandbox/SandboxFriends.h"
#include "sandbox/SandboxLastfm.h"
#include "service/FriendsPages.h"
#include "service/LastFm.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace TestSupport;

// ---- the session

class SessionTest : public ServiceSandboxTest
{
protected:
    SessionTest() : ServiceSandboxTest(false) {}
    void TearDown() override { Session::setBeforeCookieScan(nullptr); }

    QString host() const { return ServiceEndpoints::current().webHost; }
    QString email() const { return QString::fromStdString(Sandbox::defaultAccount().email); }
    QString password() const { return QString::fromStdString(Sandbox::defaultAccount().password); }
    bool signedOut() const { return global->vksid().isEmpty() && global->vkuid().isEmpty(); }
};

TEST_F(SessionTest, SignInKeepsTheSessionAndUserCookiesAndLogsThemSignOutEndsItWithOrWithoutTheService)
{
    LogCapture log;
    const Session::SignInResult result = Session::signIn(email(), password());
    EXPECT_EQ(result.outcome, Session::SignInResult::SignedIn);
    EXPECT_EQ(result.probeCode, 200);
    EXPECT_EQ(global->vksid().size(), 32);
    EXPECT_TRUE(sandbox.hasSession(global->vksid().toStdString()));
    EXPECT_EQ(global->vkuid(), QString::fromStdString(Sandbox::defaultAccount().uid));
    EXPECT_EQ(log.lines(),
              QStringList({QStringLiteral("Код ответа для %1: 200").arg(host()),
                           // Only the start of the session identifier reaches the log.
                           QStringLiteral("SID: ") + global->vksid().left(4) + QStringLiteral("…"),
                           QStringLiteral("UID: %1").arg(global->vkuid())}));

    const QString sid = global->vksid();
    Session::signOut();
    EXPECT_TRUE(signedOut());
    EXPECT_FALSE(sandbox.hasSession(sid.toStdString()));
    EXPECT_TRUE(Http::cookies().isEmpty());
    EXPECT_EQ(log.lines().last(), QStringLiteral("Оффлайн"));

    // Without the service as well.
    ASSERT_EQ(Session::signIn(email(), password()).outcome, Session::SignInResult::SignedIn);
    sandbox.stop();
    LogCapture offline;
    Session::signOut();
    EXPECT_TRUE(signedOut());
    EXPECT_EQ(offline.lines(), QStringList({QStringLiteral("Оффлайн")}));
}

TEST_F(SessionTest, WrongPasswordEndsSignedOutWithAnEmptiedStore)
{
    global->setVksid(QStringLiteral("stale"));
    Http::get(QString::fromStdString(sandbox.baseUrl()) + "/test/cookies/3", {}, 5, true); // a cookie to lose
    ASSERT_FALSE(Http::cookies().isEmpty());

    LogCapture log;
    const Session::SignInResult result = Session::signIn(email(), QStringLiteral("wrong"));
    EXPECT_EQ(result.outcome, Session::SignInResult::Failed);
    EXPECT_TRUE(global->vksid().isEmpty());
    for (const Http::Cookie &cookie : Http::cookies())
        EXPECT_NE(cookie.name, QStringLiteral("third"));
    EXPECT_TRUE(log.lines().contains(QStringLiteral("SID: ")));
    // It says why, as far as it can tell: the service answered and opened no session.
    EXPECT_EQ(result.cause, QStringLiteral("сервис не открыл сеанс: неверный e-mail или пароль"));
    EXPECT_EQ(log.lines().last(), QStringLiteral("Причина: ") + result.cause);
}

TEST_F(SessionTest, FailingProbeChangesNothing)
{
    Http::get(QString::fromStdString(sandbox.baseUrl()) + "/test/cookies/3", {}, 5, true);
    const int cookiesBefore = int(Http::cookies().size());
    global->setVkuid(QStringLiteral("42"));

    sandbox.setProbeStatus(503);
    LogCapture log;
    Session::SignInResult result = Session::signIn(email(), password());
    EXPECT_EQ(result.outcome, Session::SignInResult::Unreachable);
    EXPECT_EQ(result.probeCode, 503);
    EXPECT_EQ(log.lines(), QStringList({QStringLiteral("Код ответа для %1: 503").arg(host()),
                                        QStringLiteral("Причина: сервис ответил кодом 503")}));
    EXPECT_EQ(int(Http::cookies().size()), cookiesBefore);
    EXPECT_EQ(global->vkuid(), QStringLiteral("42"));
    EXPECT_TRUE(global->vksid().isEmpty());

    sandbox.stop(); // no answer at all: code 0
    result = Session::signIn(email(), password());
    EXPECT_EQ(result.outcome, Session::SignInResult::Unreachable);
    EXPECT_EQ(result.probeCode, 0);
    EXPECT_TRUE(result.cause.startsWith(QStringLiteral("нет ответа: "))) << result.cause.toStdString();
    EXPECT_GT(result.cause.size(), QStringLiteral("нет ответа: ").size()); // and curl's reason after it
    EXPECT_EQ(int(Http::cookies().size()), cookiesBefore);
}

TEST(ServiceEndpointsTest, EveryAddressKeepsTheSchemeOfItsBase)
{
    ServiceEndpoints secure;
    ASSERT_TRUE(ServiceEndpoints::fromServiceBase(QStringLiteral("https://stand-in.example:8443/"), &secure));
    for (const QString &address : {secure.probeUrl, secure.loginBase, secure.riaaUrl, secure.lastfmBase})
        EXPECT_TRUE(address.startsWith(QStringLiteral("https://"))) << address.toStdString();
    EXPECT_EQ(secure.webScheme, QStringLiteral("https"));
    const ServiceEndpoints saved = ServiceEndpoints::current();
    ServiceEndpoints::current() = secure;
    EXPECT_EQ(ServiceEndpoints::webAddress(secure.webHost, u"/audio"),
              QStringLiteral("https://stand-in.example:8443/audio"));
    // The real service is reached over https only.
    ServiceEndpoints::current() = ServiceEndpoints::defaults();
    const ServiceEndpoints real = ServiceEndpoints::current();
    for (const QString &address : {real.probeUrl, real.loginBase, real.riaaUrl, real.lastfmBase,
                                   ServiceEndpoints::webAddress(real.webHost, u"/al_search.php")})
        EXPECT_TRUE(address.startsWith(QStringLiteral("https://"))) << address.toStdString();
    ServiceEndpoints::current() = saved;
}

TEST_F(SessionTest, UnreachableDetailsCapitaliseTheFirstLabel)
{
    ServiceEndpoints saved = ServiceEndpoints::current();
    ServiceEndpoints::current().webHost = QStringLiteral("vk.com");
    EXPECT_EQ(Session::unreachableDetails(), QStringLiteral("VK.com недоступен на вашем устройстве"));
    ServiceEndpoints::current().webHost = QStringLiteral("localhost:8080");
    EXPECT_EQ(Session::unreachableDetails(), QStringLiteral("LOCALHOST:8080 недоступен на вашем устройстве"));
    ServiceEndpoints::current() = saved;
}

TEST_F(SessionTest, AnExceptionDuringSignInEndsSignedOutWithTheLogLine)
{
    global->setVkuid(QStringLiteral("42"));
    Session::setBeforeCookieScan([] { throw std::runtime_error("broken cookie store"); });
    LogCapture log;
    const Session::SignInResult result = Session::signIn(email(), password());
    EXPECT_EQ(result.outcome, Session::SignInResult::Failed);
    EXPECT_TRUE(signedOut());
    EXPECT_TRUE(Http::cookies().isEmpty());
    EXPECT_EQ(log.count(errorLine), 1);
    EXPECT_EQ(log.lines().mid(log.lines().size() - 3),
              QStringList({"SID: ", "UID: ", "Причина: ответ сервиса не удалось прочитать"}));
}

TEST_F(SessionTest, CredentialsAreEscapedInTwoStages)
{
    Session::signIn(QStringLiteral("a+b@mail.ru"), QStringLiteral("p w&%41я"));
    const QString query = QString::fromStdString(sandbox.lastLoginQuery());
    EXPECT_EQ(query,
              QStringLiteral("act=login&q=1&al_frame=1&email=a%2Bb%40mail.ru&pass=p%20w%26%2541%D1%8F"));

    Session::signIn(QString(), QString());
    EXPECT_EQ(QString::fromStdString(sandbox.lastLoginQuery()),
              QStringLiteral("act=login&q=1&al_frame=1&email=&pass="));
}

TEST_F(SessionTest, NoUserCookieKeepsThePreviousUserNumber)
{
    sandbox.setLoginSetsUserCookie(false);
    global->setVkuid(QStringLiteral("777"));
    EXPECT_EQ(Session::signIn(email(), password()).outcome, Session::SignInResult::SignedIn);
    EXPECT_EQ(global->vkuid(), QStringLiteral("777"));
    Session::signOut();
    EXPECT_EQ(Session::signIn(email(), password()).outcome, Session::SignInResult::SignedIn);
    EXPECT_TRUE(global->vkuid().isEmpty());
}

// ---- the friends page

const QString header = QStringLiteral("<!--18035<!>friends.css<!>0<!>6546<!>0<!>");

QString record(const QString &name, const QString &number, const QString &picture)
{
    return name + '\n' + number + '\n' + picture;
}

QStringList names(const QStringList &records)
{
    QStringList result;
    for (const QString &r : records)
        result << r.section('\n', 0, 0);
    return result;
}

// The request lists after "all" are cut off, whichever comes first; their names may hold quotes that break
// the JSON. The list is the user's own: nothing of it goes to the log.
TEST(FriendsPage, TheRequestListsAfterAllAreCutOffInEitherOrder)
{
    const QString all = QStringLiteral("{\"all\":[[7,'http://pics.example/7.jpg','/id7',1,'Имя Фамилия']]");
    const QString broken = QStringLiteral("[[3,'p','/id3',0,'Кто-то \"в кавычках\"']]");
    const QStringList pages = {
        all + ",\"requests\":" + broken + ",\"all_requests\":" + broken + "}<!>",
        all + ",\"all_requests\":" + broken + ",\"requests\":" + broken + "}<!>",
        all + ",\"requests\":" + broken + "}<!>",
        all + ",\"all_requests\":" + broken + "}<!>{\"x\":1}<!>",
    };
    for (const QString &page : pages) {
        SCOPED_TRACE(page.toStdString());
        LogCapture log;
        const auto records = FriendsPages::readFriends(header + page);
        ASSERT_TRUE(records.has_value());
        EXPECT_EQ(*records, QStringList({record("Имя Фамилия", "7", "http://pics.example/7.jpg")}));
        EXPECT_TRUE(log.lines().isEmpty());
    }
}

TEST(FriendsPage, NamesAreCleanedAndRecordsSortedByCharacterCode)
{
    LogCapture log;
    const QString page =
        header +
        "{'all':[[3,'p3','/id3',0,'Бета'],[1,'p1','/id1',0,'alpha'],[2,'p2','/id2',0,' Beta\t'],"
        "[4,'p4','/id4',0,''],[5,'p5','/id5',0,'   '],[6,'p6','/id6',0,'Tom &amp; Jerry'],"
        "[7,'p7','/id7',0,'O&#39;Brien'],['08','p8','/id8',0,'&#1041;&#1086;&#1088;&#1080;&#1089;']]}"
        "<!><!>";
    const auto records = FriendsPages::readFriends(page);
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(names(*records),
              QStringList({"Beta", "O'Brien", "Tom & Jerry", "alpha", "Бета", "Борис", unknown, unknown}));
    // Numbers stay the service's texts: digits of a bare number, a quoted one as it was.
    EXPECT_TRUE(records->contains(record("Борис", "08", "p8")));
    EXPECT_TRUE(records->contains(record(unknown, "4", "p4")));
    EXPECT_TRUE(log.lines().isEmpty());
}

// Empty and unparsable answers give empty lists without the error line; missing markers and entries that are
// short, no list or have a name that is no text give nothing, with the error line alone.
TEST(FriendsPage, EmptyAnswersGiveEmptyListsAndBrokenOnesNothingWithOneLogLine)
{
    const std::pair<QString, int> pages[] = {
        {QString(), 0},
        {header + "{}<!><!>", 0},
        {header + "{\"other\":[[1,'a','b',0,'c']]}<!>", 0}, // no "all"
        {header + "{\"all\":[[1,'a','b',0,'c']}<!>", 0},    // not JSON
        {header + "<div>Доступ запрещён</div><!>", -1},     // no brace
        {QStringLiteral("\n\r\t"), -1},                     // control characters only
        {header + "{\"all\":[[1,'a','b',0,'c']]}", -1},     // no separator after the object
        {header + "{\"all\":[[1,'a','b',0,'c'],[2,'a','b',0]]}<!>", -1},
        {header + "{\"all\":[[1,'a','b',0,'c'],'x']}<!>", -1},
        {header + "{\"all\":[[1,'a','b',0,null]]}<!>", -1},
        {header + "{\"all\":'x'}<!>", -1},
    };
    for (const auto &[page, size] : pages) {
        SCOPED_TRACE(page.toStdString());
        LogCapture log;
        EXPECT_EQ(sizeOf(FriendsPages::readFriends(page)), size);
        EXPECT_EQ(log.count(errorLine), size < 0 ? 1 : 0);
        EXPECT_TRUE(size >= 0 || log.lines().size() == 1) << log.lines().join('|').toStdString();
    }
}

// ---- the communities page

TEST(GroupsPage, TheListAfterTheMarkerWithQuotesKept)
{
    LogCapture log;
    const QString page = header + "<div>12 сообществ</div><!><!json>"
                                  "[[\"Rock'n'Roll &amp; Blues\",\"club5\",5,0,\"http://p/5.png\"],"
                                  "[\"  Джаз \",\"club12\",12,1,\"http://p/12.png\",\"extra\"],"
                                  "[\"\",\"club3\",\"3\",0,\"http://p/3.png\"]]";
    const auto records = FriendsPages::readGroups(page);
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(*records,
              QStringList({record("Rock'n'Roll & Blues", "5", "http://p/5.png"),
                           record("Джаз", "12", "http://p/12.png"), record(unknown, "3", "http://p/3.png")}));
    EXPECT_TRUE(log.lines().isEmpty());
}

// Without the marker or with short entries: nothing, and the error line alone. A list written with script
// quotes stays unreadable JSON: no communities, but no error line either.
TEST(GroupsPage, WithoutTheMarkerOrWithShortEntriesNothingAndOneLogLine)
{
    const std::pair<QString, int> pages[] = {
        {header + "[[\"Группа\",\"club1\",1,0,\"p\"]]", -1},
        {header + "<!json>[[\"Группа\",\"club1\",1,0]]", -1},
        {header + "<!json>[[\"Группа\",\"club1\",1,0,\"p\"],[]]", -1},
        {header + "<!json>[['Группа','club1',1,0,'p']]", 0},
    };
    for (const auto &[page, size] : pages) {
        SCOPED_TRACE(page.toStdString());
        LogCapture log;
        EXPECT_EQ(sizeOf(FriendsPages::readGroups(page)), size);
        EXPECT_EQ(log.count(errorLine), size < 0 ? 1 : 0);
        EXPECT_TRUE(size >= 0 || log.lines().size() == 1) << log.lines().join('|').toStdString();
    }
}

// ---- friends and communities against the sandbox

using FriendsGroupsTest = ServiceSandboxTest;

TEST_F(FriendsGroupsTest, TheUsersFriendsAndCommunities)
{
    const std::string uid = Sandbox::defaultAccount().uid;
    LogCapture log;
    const auto friends = VKontakteWorks::getSelfFriends();
    ASSERT_TRUE(friends.has_value());
    const std::vector<SandboxPerson> people = SandboxFriends::friendsOf(sandbox, uid);
    ASSERT_GE(people.size(), 60u);
    EXPECT_EQ(*friends, peopleRecords(people, base()));

    const auto groups = VKontakteWorks::getSelfGroups();
    ASSERT_TRUE(groups.has_value());
    const std::vector<SandboxPerson> communities = SandboxFriends::groupsOf(sandbox, uid);
    ASSERT_GE(communities.size(), 20u);
    EXPECT_EQ(*groups, peopleRecords(communities, base()));
    EXPECT_EQ(log.count(errorLine), 0);

    const SandboxRequest friendsRequest = SandboxFriends::lastRequest(sandbox, "friends").value();
    EXPECT_EQ(friendsRequest.target, "/al_friends.php?act=load_friends_silent&al=1&gid=0&id=" + uid);
    EXPECT_EQ(ownHeaders(friendsRequest), pageFields(global->vksid()));
    EXPECT_EQ(SandboxFriends::lastRequest(sandbox, "groups")->target,
              "/al_groups.php?act=get_list&al=1&tab=groups&mid=" + uid);
}

TEST_F(FriendsGroupsTest, AFriendlessUserAndAStrangersSession)
{
    SandboxFriends::setFriends(sandbox, Sandbox::defaultAccount().uid, {});
    auto friends = VKontakteWorks::getSelfFriends();
    EXPECT_EQ(sizeOf(friends), 0);

    // A session the service does not know gets a page without the list: nothing, and the error line.
    global->setVksid(QStringLiteral("unknown-session"));
    LogCapture log;
    EXPECT_EQ(VKontakteWorks::getSelfFriends().outcome(), ServiceAnswer<QStringList>::Unreadable);
    EXPECT_EQ(VKontakteWorks::getSelfGroups().outcome(), ServiceAnswer<QStringList>::Unreadable);
    EXPECT_EQ(log.count(errorLine), 2);
}

TEST_F(FriendsGroupsTest, NoAnswerAtAllIsCountedAsSuchNotReadAsAPage)
{
    sandbox.stop();
    LogCapture log;
    const int before = Http::unansweredRequestsOnThisThread();
    const auto friends = VKontakteWorks::getSelfFriends();
    // The answer says so itself; the dispatcher of the command-line client still sees the counted request.
    EXPECT_EQ(friends.outcome(), ServiceAnswer<QStringList>::NoAnswer);
    EXPECT_TRUE(friends.value_or(QStringList()).isEmpty());
    EXPECT_EQ(Http::unansweredRequestsOnThisThread(), before + 1);
    EXPECT_EQ(log.count(errorLine), 0);
}

const std::string key = "5a1f0c2e9b7d4e3f8a6b2c1d0e9f8a7b";

QStringList fields(const AlbumRecord &a)
{
    return {a.name, a.artist, a.albumId};
}

QString searchAnswer(const QString &albumMatches, const QString &total = QStringLiteral("2"))
{
    return QStringLiteral(
               "{\"results\":{\"opensearch:Query\":{\"#text\":\"\"},\"opensearch:totalResults\":\"") +
           total + QStringLiteral("\",\"albummatches\":") + albumMatches + QStringLiteral("}}");
}

QString album(const QString &name, const QString &artist, const QString &id)
{
    return QStringLiteral("{\"name\":\"%1\",\"artist\":\"%2\",\"id\":\"%3\",\"streamable\":\"0\"}")
        .arg(name, artist, id);
}

QString trackAnswer(const QString &tracks)
{
    return QStringLiteral("{\"playlist\":{\"title\":\"x\",\"trackList\":") + tracks + QStringLiteral("}}");
}

QString track(const QString &title, const QString &creator)
{
    return QStringLiteral("{\"title\":\"%1\",\"creator\":\"%2\",\"duration\":\"1\"}").arg(title, creator);
}

AudioRecord hit(const QString &artist, const QString &title, const QString &aid)
{
    return {QString(), QString(), title, artist, QString(), aid, QString()};
}

// ---- reading album search answers

TEST(LastFmAlbums, NamesArtistsAndNumbersAreCleanedUp)
{
    struct Case
    {
        QStringList album;    // name, artist, id as sent
        QStringList inList;   // the record when the album is one of a list
        QStringList asSingle; // and when it is the only one, when that differs
    };
    const Case cases[] = {
        {{"Greatest+Hits", "Simon+&amp;+Garfunkel", "1+2"},
         {"Greatest Hits", "Simon & Garfunkel", "1 2"},
         {}},
        {{"\\\"Live\\\" at Home", "\\\"", "\\\"5\\\""}, {"Live at Home", unknown, "5"}, {}}, // quotes removed
        // Escapes are decoded in a lone album only, and in numbers always.
        {{"100%25+Pure", "%D0%9A%D0%B8%D0%BD%D0%BE", "%33"},
         {"100%25 Pure", "%D0%9A%D0%B8%D0%BD%D0%BE", "3"},
         {"100% Pure", "Кино", "3"}},
        {{"100%+Hits", "50%", "7"}, {"100% Hits", "50%", "7"}, {}}, // a sign that begins no escape
        {{"Rock &#43; Roll", "&lt;Unknown&gt;", "&#52;2"}, {"Rock + Roll", "<Unknown>", "42"}, {}},
        {{"  \\n ", "", "  "}, {unknown, unknown, "0"}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.album.join(' ').toStdString());
        const QString one = album(c.album.at(0), c.album.at(1), c.album.at(2));
        const auto list = LastFm::readAlbums(searchAnswer("{\"album\":[" + one + "," + one + "]}"));
        ASSERT_EQ(list.size(), 2);
        EXPECT_EQ(fields(list.at(0)), c.inList);
        const auto single = LastFm::readAlbums(searchAnswer("{\"album\":" + one + "}", "1"));
        ASSERT_EQ(single.size(), 1);
        EXPECT_EQ(fields(single.at(0)), c.asSingle.isEmpty() ? c.inList : c.asSingle);
    }
}

// Empty, error and zero answers end quietly; unreadable ones throw.
TEST(LastFmAlbums, EmptyErrorAndZeroAnswersEndQuietlyUnreadableOnesThrow)
{
    const std::pair<QString, bool> answers[] = {
        {QString(), false},
        {QStringLiteral("{\"error\":6,\"message\":\"Album not found\",\"links\":[]}"), false},
        {QStringLiteral("{\"error\":10,\"message\":\"Invalid API key\"}"), false},
        {searchAnswer("\"\\n\"", "0"), false},
        {QStringLiteral("{\"results\":{\"opensearch:totalResults\":0}}"), false},
        {searchAnswer("{\"album\":[]}", "5"), false},
        // A member missing from the second album: the first goes too.
        {searchAnswer("{\"album\":[" + album("A", "B", "1") + ",{\"name\":\"C\",\"id\":\"2\"}]}"), true},
        {searchAnswer("{\"album\":[" + album("A", "B", "1") +
                      ",{\"name\":\"C\",\"artist\":\"D\",\"id\":2}]}"),
         true},
        {searchAnswer("{\"album\":" + album("A", "%C3", "1") + "}", "1"),
         true}, // a lone album decodes escapes
        {searchAnswer("{\"album\":[" + album("A", "B", "%C3%28") + "]}"), true}, // ids always do
        {searchAnswer("\"\\n\"", "3"), true},                                    // results said, none given
        {QStringLiteral("<html>Service Temporarily Unavailable</html>"), true},
        {QStringLiteral("[1,2,3]"), true},
    };
    for (const auto &[answer, unreadable] : answers) {
        SCOPED_TRACE(answer.toStdString());
        LogCapture log;
        if (unreadable)
            EXPECT_THROW(LastFm::readAlbums(answer), LastFm::Unreadable);
        else
            EXPECT_TRUE(LastFm::readAlbums(answer).isEmpty());
        EXPECT_EQ(log.count(errorLine), 0);
    }
}

// ---- reading track lists

TEST(LastFmTracks, CreatorAndTitleOfEachTrack)
{
    EXPECT_EQ(LastFm::readTracks(trackAnswer("{\"track\":[" + track("Creep", "Radiohead") + "," +
                                             track("Группа+крови", "%D0%9A%D0%B8%D0%BD%D0%BE") + "," +
                                             track("", " ") + "]}")),
              QStringList({"Radiohead - Creep", "Кино - Группа крови", unknown + " - " + unknown}));
    EXPECT_EQ(LastFm::readTracks(trackAnswer("{\"track\":" + track("Halo", "Beyonc&#233;") + "}")),
              QStringList({"Beyoncé - Halo"}));
    // A sign that begins no escape is part of the title; the whole album is kept.
    EXPECT_EQ(LastFm::readTracks(trackAnswer("{\"track\":[" + track("100% Pure Love", "Crystal Waters") +
                                             "," + track("Gypsy Woman", "Crystal Waters") + "]}")),
              QStringList({"Crystal Waters - 100% Pure Love", "Crystal Waters - Gypsy Woman"}));
}

TEST(LastFmTracks, AnAlbumIsLookedUpWithAtMostTwoHundredTracks)
{
    QString list;
    for (int i = 1; i <= 250; ++i)
        list += (list.isEmpty() ? "" : ",") + track(QString::number(i), "B");
    const QStringList tracks = LastFm::readTracks(trackAnswer("{\"track\":[" + list + "]}"));
    ASSERT_EQ(tracks.size(), LastFm::maxAlbumTracks);
    EXPECT_EQ(tracks.last(), QStringLiteral("B - 200"));
}

TEST(LastFmTracks, EmptyErrorAndTracklessAnswersEndQuietly)
{
    const QStringList answers = {
        QString(),
        QStringLiteral("{\"error\":6,\"message\":\"Album not found\"}"),
        trackAnswer("\"\\n\""),
    };
    for (const QString &answer : answers) {
        SCOPED_TRACE(answer.toStdString());
        LogCapture log;
        EXPECT_TRUE(LastFm::readTracks(answer).isEmpty());
        EXPECT_TRUE(log.lines().isEmpty());
    }
    const QStringList unreadable = {
        trackAnswer("{\"track\":[" + track("A", "B") + ",{\"title\":\"C\"}]}"),
        trackAnswer("{\"track\":" + track("%E2%82", "B") + "}"), // a broken UTF-8 escape
        trackAnswer("\"\""),
        QStringLiteral("{\"playlist\":{}}"),
    };
    for (const QString &answer : unreadable) {
        SCOPED_TRACE(answer.toStdString());
        EXPECT_THROW(LastFm::readTracks(answer), LastFm::Unreadable);
    }
}

// ---- the record picked for a track

TEST(LastFmPick, TheLastExactMatchElseTheFirstHit)
{
    struct Case
    {
        const char *what;
        QList<AudioRecord> hits;
        QString picked; // aid; empty: nothing
    };
    const Case cases[] = {
        {"two exact matches",
         {hit("Q", "x", "1"), hit("Queen", "Creep", "2"), hit("Queen", "Creep", "3")},
         "3"},
        {"one exact match after others",
         {hit("Q", "x", "1"), hit("Queen", "Creep", "2"), hit("Z", "z", "4")},
         "2"},
        {"only other case", {hit("queen", "creep", "5"), hit("Queen ", "Creep", "6")}, "5"},
        {"no hits", {}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<AudioRecord> picked = LastFm::pickRecord(QStringLiteral("Queen - Creep"), c.hits);
        EXPECT_EQ(picked.has_value(), !c.picked.isEmpty());
        if (picked) {
            EXPECT_EQ(picked->aid, c.picked);
        }
    }
}

// ---- Last.fm against the sandbox

class LastFmTest : public ServiceSandboxTest
{
protected:
    std::string lastTarget(const char *method)
    {
        return SandboxLastfm::lastRequest(sandbox, method).value_or(SandboxRequest{}).target;
    }
};

TEST_F(LastFmTest, TheRequestsAddressKeyEscapingAndHeaders)
{
    EXPECT_TRUE(LastFm::searchAlbums(QStringLiteral("AC/DC & Friends")).value().isEmpty());
    EXPECT_EQ(lastTarget("album.search"), "/lastfm/2.0/?format=json&method=album.search&api_key=" + key +
                                              "&album=AC%2FDC%20%26%20Friends");
    // Signed in, yet nothing of the service's session goes to Last.fm.
    ASSERT_FALSE(Http::cookies().isEmpty());
    EXPECT_EQ(ownHeaders(SandboxLastfm::lastRequest(sandbox, "album.search").value()),
              (std::map<std::string, std::string>{{"Accept-Encoding", "gzip"}}));

    LastFm::albumTracks(QStringLiteral("2001"));
    EXPECT_EQ(
        lastTarget("playlist.fetch"),
        "/lastfm/2.0/?format=json&method=playlist.fetch&playlistURL=lastfm://playlist/album/2001&api_key=" +
            key);
}

TEST_F(LastFmTest, AnswersInUtf8OrCodePage1251)
{
    const std::string target =
        "/2.0/?format=json&method=album.search&api_key=" + key + "&album=%D0%BA%D0%B8%D0%BD%D0%BE";
    const std::string json =
        searchAnswer("{\"album\":" + album("Звезда по имени Солнце", "Кино", "9") + "}", "1").toStdString();
    for (const std::string &answer : {json, SandboxAudio::encodeWindows1251(json)}) {
        SandboxLastfm::setCannedAnswer(sandbox, target, answer);
        const QList<AlbumRecord> albums = LastFm::searchAlbums(QStringLiteral("кино")).value();
        ASSERT_EQ(albums.size(), 1);
        EXPECT_EQ(fields(albums.first()), QStringList({"Звезда по имени Солнце", "Кино", "9"}));
    }
}

TEST_F(LastFmTest, FailuresLogOnceAndGiveNothing)
{
    const std::string target = "/2.0/?format=json&method=album.search&api_key=" + key + "&album=broken";
    SandboxLastfm::setCannedAnswer(
        sandbox, target,
        searchAnswer("{\"album\":[" + album("A", "B", "1") + ",{\"name\":\"C\"}]}").toStdString());
    LogCapture log;
    EXPECT_FALSE(LastFm::searchAlbums(QStringLiteral("broken")).has_value());
    EXPECT_EQ(log.lines(), QStringList({errorLine}));

    // No answer at all is an error too (unlike an empty one).
    sandbox.stop();
    LogCapture offline;
    EXPECT_FALSE(LastFm::searchAlbums(QStringLiteral("greatest")).has_value());
    EXPECT_FALSE(LastFm::albumTracks(QStringLiteral("2001")).has_value());
    EXPECT_EQ(offline.count(errorLine), 2);
}

TEST_F(LastFmTest, AnAlbumsTracksFoundInTheServicesSearch)
{
    const std::vector<SandboxAlbum> albums = SandboxLastfm::albumsOf(sandbox);
    for (const SandboxAlbum &a : albums) {
        SCOPED_TRACE(a.id);
        const auto tracks = LastFm::albumTracks(QString::fromStdString(a.id));
        ASSERT_EQ(sizeOf(tracks), qsizetype(a.tracks.size()));
        QList<int> searched, expectedSteps;
        int hitsSeen = 0;
        LastFm::TrackSearchSteps steps;
        steps.searching = [&](int k, int n) { searched << k << n; };
        steps.found = [&](const QList<AudioRecord> &hits) { hitsSeen += int(hits.size()); };
        const QList<AudioRecord> records = LastFm::findTracks(*tracks, steps);
        for (int k = 1; k <= int(a.tracks.size()); ++k)
            expectedSteps << k << int(a.tracks.size()); // track k of n
        EXPECT_EQ(searched, expectedSteps);
        EXPECT_GE(hitsSeen, int(records.size()));
        // Every track the catalogue holds is found under its own artist and title, in track order; the others
        // are left out.
        QStringList expectedNames;
        for (const auto &[creator, title] : a.tracks) {
            for (const SandboxTrack &t : SandboxAudio::catalogueOf(sandbox)) {
                if (QString::fromStdString(t.artist).compare(QString::fromStdString(creator),
                                                             Qt::CaseInsensitive) == 0 &&
                    t.title == title) {
                    expectedNames << QString::fromStdString(t.artist + " - " + t.title);
                    break;
                }
            }
        }
        QStringList names;
        for (const AudioRecord &r : records)
            names << r.artist + " - " + r.title;
        EXPECT_EQ(names, expectedNames);
    }
    const std::string search = SandboxAudio::lastRequest(sandbox, "search").value().target;
    EXPECT_NE(search.find("&offset=0&c[sort]=2"), std::string::npos) << search;
}

} // namespace
