#include "../support/SandboxSignIn.h"

#include "sandbox/SandboxFriends.h"
#include "service/FriendsPages.h"
#include "service/VKontakteWorks.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString errorLine = QStringLiteral("Отлавливай ошибки, будь мужиком, блеать!");
const QString unknown = QStringLiteral("Неизвестно");
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

TEST(FriendsPage, TheRequestListsAfterAllAreCutOff)
{
    TestSupport::LogCapture log;
    const QString object =
        QStringLiteral("{\"all\":[[1,'http://pics.example/1.jpg','/id1',0,'Имя Фамилия']]");
    const QString page = header + object +
                         QStringLiteral(",\"all_requests\":[[2,'p','/id2',0,'Не \"друг\"']]}<!>{\"x\":1}<!>");
    const auto records = FriendsPages::readFriends(page);
    ASSERT_TRUE(records.has_value());
    EXPECT_EQ(*records, QStringList({record("Имя Фамилия", "1", "http://pics.example/1.jpg")}));
    // The list is the user's own: nothing of it goes to the log.
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(FriendsPage, BothRequestListsInEitherOrder)
{
    const QString all = QStringLiteral("{\"all\":[[7,'pic7','/id7',1,'Seven']]");
    const QString broken = QStringLiteral("[[3,'p','/id3',0,'Кто-то \"в кавычках\"']]");
    const QStringList pages = {
        all + ",\"requests\":" + broken + ",\"all_requests\":" + broken + "}<!>",
        all + ",\"all_requests\":" + broken + ",\"requests\":" + broken + "}<!>",
        all + ",\"requests\":" + broken + "}<!>",
    };
    for (const QString &page : pages) {
        SCOPED_TRACE(page.toStdString());
        const auto records = FriendsPages::readFriends(header + page);
        ASSERT_TRUE(records.has_value());
        EXPECT_EQ(*records, QStringList({record("Seven", "7", "pic7")}));
    }
}

TEST(FriendsPage, NamesAreCleanedAndRecordsSortedByCharacterCode)
{
    TestSupport::LogCapture log;
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
    struct Case
    {
        const char *what;
        QString page;
    };
    const Case cases[] = {
        {"empty body", QString()},
        {"empty object", header + "{}<!><!>"},
        {"no all", header + "{\"other\":[[1,'a','b',0,'c']]}<!>"},
        {"not JSON", header + "{\"all\":[[1,'a','b',0,'c']}<!>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestSupport::LogCapture log;
        const auto records = FriendsPages::readFriends(c.page);
        ASSERT_TRUE(records.has_value());
        EXPECT_TRUE(records->isEmpty());
        EXPECT_EQ(log.count(errorLine), 0);
    }
}

TEST(FriendsPage, MissingMarkersAndShortEntriesGiveNothingAndOneLogLine)
{
    struct Case
    {
        const char *what;
        QString page;
    };
    const Case cases[] = {
        {"no brace", header + "<div>Доступ запрещён</div><!>"},
        {"control characters only", QStringLiteral("\n\r\t")},
        {"no separator after the object", header + "{\"all\":[[1,'a','b',0,'c']]}"},
        {"short entry after good ones", header + "{\"all\":[[1,'a','b',0,'c'],[2,'a','b',0]]}<!>"},
        {"entry that is no list", header + "{\"all\":[[1,'a','b',0,'c'],'x']}<!>"},
        {"name that is no text", header + "{\"all\":[[1,'a','b',0,null]]}<!>"},
        {"all that is no list", header + "{\"all\":'x'}<!>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        TestSupport::LogCapture log;
        EXPECT_FALSE(FriendsPages::readFriends(c.page).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
    }
}

// ---- the communities page

TEST(GroupsPage, TheListAfterTheMarkerWithQuotesKept)
{
    TestSupport::LogCapture log;
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
        TestSupport::LogCapture log;
        EXPECT_FALSE(FriendsPages::readGroups(page).has_value());
        EXPECT_EQ(log.lines(), QStringList({errorLine}));
    }
}

TEST(GroupsPage, SingleQuotesAreNotRewritten)
{
    // A list written with script quotes stays unreadable JSON: no communities, but no error line either.
    TestSupport::LogCapture log;
    const auto records = FriendsPages::readGroups(header + "<!json>[['Группа','club1',1,0,'p']]");
    ASSERT_TRUE(records.has_value());
    EXPECT_TRUE(records->isEmpty());
    EXPECT_EQ(log.count(errorLine), 0);
}

// ---- against the sandbox

class FriendsGroupsTest : public TestSupport::ServiceSandboxTest
{
protected:
    FriendsGroupsTest() : ServiceSandboxTest(false) {}
    // What the client should make of the sandbox's people: display names trimmed ("Неизвестно" when blank),
    // the number, the picture on the sandbox's host; sorted.
    QStringList expected(const std::vector<SandboxPerson> &people) const
    {
        QStringList records;
        for (const SandboxPerson &p : people) {
            const QString name = QString::fromStdString(p.name).trimmed();
            records << record(name.isEmpty() ? unknown : name, QString::fromStdString(p.id),
                              QString::fromStdString(sandbox.baseUrl() + p.picture));
        }
        std::sort(records.begin(), records.end());
        return records;
    }
};

TEST_F(FriendsGroupsTest, TheUsersFriendsAndCommunities)
{
    signIn();
    const std::string uid = Sandbox::defaultAccount().uid;
    TestSupport::LogCapture log;
    const auto friends = VKontakteWorks::getSelfFriends();
    ASSERT_TRUE(friends.has_value());
    const std::vector<SandboxPerson> people = SandboxFriends::friendsOf(sandbox, uid);
    ASSERT_GE(people.size(), 60u);
    EXPECT_EQ(*friends, expected(people));

    const auto groups = VKontakteWorks::getSelfGroups();
    ASSERT_TRUE(groups.has_value());
    const std::vector<SandboxPerson> communities = SandboxFriends::groupsOf(sandbox, uid);
    ASSERT_GE(communities.size(), 20u);
    EXPECT_EQ(*groups, expected(communities));
    EXPECT_EQ(log.count(errorLine), 0);

    const SandboxRequest friendsRequest = SandboxFriends::lastRequest(sandbox, "friends").value();
    EXPECT_EQ(friendsRequest.target, "/al_friends.php?act=load_friends_silent&al=1&gid=0&id=" + uid);
    EXPECT_EQ(SandboxFriends::lastRequest(sandbox, "groups")->target,
              "/al_groups.php?act=get_list&al=1&tab=groups&mid=" + uid);
    const std::map<std::string, std::string> headers(friendsRequest.headers.begin(),
                                                     friendsRequest.headers.end());
    EXPECT_EQ(headers.at("Cookie"), "remixsid=" + global->vksid().toStdString());
    EXPECT_EQ(headers.at("X-Requested-With"), "XMLHttpRequest");
    EXPECT_EQ(headers.at("Accept-Encoding"), "gzip");
}

TEST_F(FriendsGroupsTest, AFriendlessUserAndAStrangersSession)
{
    signIn();
    SandboxFriends::setFriends(sandbox, Sandbox::defaultAccount().uid, {});
    auto friends = VKontakteWorks::getSelfFriends();
    ASSERT_TRUE(friends.has_value());
    EXPECT_TRUE(friends->isEmpty());

    // A session the service does not know gets a page without the list: nothing, and the error line.
    global->setVksid(QStringLiteral("unknown-session"));
    TestSupport::LogCapture log;
    EXPECT_EQ(VKontakteWorks::getSelfFriends().outcome(), ServiceAnswer<QStringList>::Unreadable);
    EXPECT_EQ(VKontakteWorks::getSelfGroups().outcome(), ServiceAnswer<QStringList>::Unreadable);
    EXPECT_EQ(log.count(errorLine), 2);
}

TEST_F(FriendsGroupsTest, NoAnswerAtAllIsCountedAsSuchNotReadAsAPage)
{
    signIn();
    sandbox.stop();
    TestSupport::LogCapture log;
    const int before = Http::unansweredRequestsOnThisThread();
    const auto friends = VKontakteWorks::getSelfFriends();
    // The answer says so itself; the dispatcher of the command-line client still sees the counted request.
    EXPECT_EQ(friends.outcome(), ServiceAnswer<QStringList>::NoAnswer);
    EXPECT_TRUE(friends.value_or(QStringList()).isEmpty());
    EXPECT_EQ(Http::unansweredRequestsOnThisThread(), before + 1);
    EXPECT_EQ(log.count(errorLine), 0);
}

} // namespace
