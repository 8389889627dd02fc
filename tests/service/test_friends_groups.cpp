#include "../support/NetPages.h"

#include "sandbox/SandboxFriends.h"
#include "service/FriendsPages.h"
#include "service/VKontakteWorks.h"

#include <gtest/gtest.h>

namespace {

using namespace TestSupport;

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

// ---- the friends page

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

TEST(FriendsPage, EmptyAndUnparsableAnswersGiveEmptyListsWithoutTheErrorLine)
{
    const QStringList pages = {
        QString(), header + "{}<!><!>",
        header + "{\"other\":[[1,'a','b',0,'c']]}<!>", // no "all"
        header + "{\"all\":[[1,'a','b',0,'c']}<!>",    // not JSON
    };
    for (const QString &page : pages) {
        SCOPED_TRACE(page.toStdString());
        LogCapture log;
        EXPECT_EQ(sizeOf(FriendsPages::readFriends(page)), 0);
        EXPECT_EQ(log.count(errorLine), 0);
    }
}

// Missing markers, and entries that are short, no list or have a name that is no text.
TEST(FriendsPage, MissingMarkersAndShortEntriesGiveNothingAndOneLogLine)
{
    const QStringList pages = {
        header + "<div>Доступ запрещён</div><!>", // no brace
        QStringLiteral("\n\r\t"),                 // control characters only
        header + "{\"all\":[[1,'a','b',0,'c']]}", // no separator after the object
        header + "{\"all\":[[1,'a','b',0,'c'],[2,'a','b',0]]}<!>",
        header + "{\"all\":[[1,'a','b',0,'c'],'x']}<!>",
        header + "{\"all\":[[1,'a','b',0,null]]}<!>",
        header + "{\"all\":'x'}<!>",
    };
    for (const QString &page : pages) {
        SCOPED_TRACE(page.toStdString());
        LogCapture log;
        EXPECT_FALSE(FriendsPages::readFriends(page).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
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

TEST(GroupsPage, WithoutTheMarkerOrWithShortEntriesNothingAndOneLogLine)
{
    const QStringList pages = {
        header + "[[\"Группа\",\"club1\",1,0,\"p\"]]",
        header + "<!json>[[\"Группа\",\"club1\",1,0]]",
        header + "<!json>[[\"Группа\",\"club1\",1,0,\"p\"],[]]",
    };
    for (const QString &page : pages) {
        SCOPED_TRACE(page.toStdString());
        LogCapture log;
        EXPECT_FALSE(FriendsPages::readGroups(page).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
    }
}

TEST(GroupsPage, SingleQuotesAreNotRewritten)
{
    // A list written with script quotes stays unreadable JSON: no communities, but no error line either.
    LogCapture log;
    EXPECT_EQ(sizeOf(FriendsPages::readGroups(header + "<!json>[['Группа','club1',1,0,'p']]")), 0);
    EXPECT_EQ(log.count(errorLine), 0);
}

// ---- against the sandbox

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

} // namespace
