#include "../support/OverlayLog.h"
#include "../support/SandboxSignIn.h"

#include "core/Stores.h"
#include "sandbox/SandboxFriends.h"
#include "screens/Friends_and_Groups.h"

#include <QRegularExpression>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

class FriendsAndGroupsTest : public TestSupport::ServiceSandboxTest
{
protected:
    FriendsAndGroupsTest() : ServiceSandboxTest(false) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        Stores::friendsGroups().clear();
        screen.setPasteboard([this](const QString &text) { pasteboard << text; });
        overlays.watch(screen);
        QObject::connect(&screen, &Friends_and_Groups::hudChanged, [this] {
            if (screen.hud())
                modes << screen.hud()->mode();
        });
        screen.viewDidLoad();
    }
    void waitIdle()
    {
        ASSERT_TRUE(TestSupport::waitFor([this] { return !screen.busy() && !screen.hud(); }, 20000));
    }
    // Names row by row as the table shows them, with their section letters.
    QStringList table() const
    {
        QStringList rows;
        FriendsGroupsModel *model = screen.rows();
        for (int i = 0; i < model->rowCount(); ++i) {
            const QModelIndex index = model->index(i);
            rows << model->data(index, FriendsGroupsModel::SectionRole).toString() + ":" +
                        model->data(index, FriendsGroupsModel::NameRole).toString();
        }
        return rows;
    }
    static QString record(const QString &name, const QString &number)
    {
        return name + "\n" + number + "\nhttp://pics.example/" + number + ".png";
    }

    Friends_and_Groups screen;
    QStringList pasteboard;
    OverlayLog overlays;
    QList<int> modes; // each overlay's as it comes up
};

TEST_F(FriendsAndGroupsTest, SignedOutSaysSoAndLeavesTheListAlone)
{
    Stores::friendsGroups().append(QStringList() << record("Кто-то", "5"));
    screen.getFriends();
    EXPECT_TRUE(screen.busy());
    screen.getGroups(); // busy: ignored
    waitIdle();
    EXPECT_EQ(overlays.labels, QStringList({"Ошибка"}));
    EXPECT_EQ(overlays.details, QStringList({"Не выполнен вход"}));
    EXPECT_EQ(overlays.minShowTimes, QList<float>({1.0f}));
    EXPECT_EQ(modes, QList<int>({ProgressOverlay::CustomView}));
    EXPECT_EQ(Stores::friendsGroups().records(), QStringList({record("Кто-то", "5")}));
    EXPECT_TRUE(sandbox.requestLog().empty());
}

TEST_F(FriendsAndGroupsTest, FriendsThenCommunitiesReplaceTheList)
{
    signIn();
    const std::string uid = Sandbox::defaultAccount().uid;
    QSignalSpy scrolled(&screen, &Friends_and_Groups::scrollToRow);
    screen.viewWillAppear();
    EXPECT_EQ(screen.title(), QStringLiteral("Всего: 0"));
    EXPECT_EQ(scrolled.count(), 0); // nothing to scroll to

    screen.getFriends();
    waitIdle();
    const qsizetype friends = qsizetype(SandboxFriends::friendsOf(sandbox, uid).size());
    EXPECT_EQ(overlays.labels, QStringList({"Выполняется поиск..."}));
    EXPECT_EQ(modes, QList<int>({ProgressOverlay::Indeterminate}));
    EXPECT_EQ(Stores::friendsGroups().size(), friends);
    EXPECT_EQ(screen.title(), QStringLiteral("Всего: %1").arg(friends));
    EXPECT_EQ(screen.rows()->rowCount(), friends); // every record in exactly one section
    ASSERT_EQ(scrolled.count(), 1);
    EXPECT_EQ(scrolled.at(0), QVariantList({0, int(Friends_and_Groups::Top), true}));

    screen.getGroups();
    waitIdle();
    const qsizetype groups = qsizetype(SandboxFriends::groupsOf(sandbox, uid).size());
    EXPECT_EQ(Stores::friendsGroups().size(), groups);
    EXPECT_EQ(screen.title(), QStringLiteral("Всего: %1").arg(groups));
    EXPECT_EQ(screen.rows()->rowCount(), groups);
}

TEST_F(FriendsAndGroupsTest, SectionsByCapitalisedFirstLetterInOrderOfFirstOccurrence)
{
    const struct
    {
        const char *what;
        QStringList names; // as the service lists them
        QStringList alphabet;
        QStringList table; // section:name, row by row
    } cases[] = {
        {"Latin capitals before small letters before Cyrillic",
         {"Бета", "alpha", "Beta"},
         {"B", "A", "Б"},
         {"B:Beta", "A:alpha", "Б:Бета"}},
        {"small and capital a share a section",
         {"alpha", "Beta", "Alpha", "", "ёлка", "Ёж"},
         {"A", "B", "Ё", "Н"},
         {"A:Alpha", "A:alpha", "B:Beta", "Ё:Ёж", "Ё:ёлка", "Н:Неизвестно"}},
        {"digits and signs are letters too",
         {"2Pac", "<b>", "Émile"},
         {"2", "<", "É"},
         {"2:2Pac", "<:<b>", "É:Émile"}},
    };
    signIn();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<SandboxPerson> people;
        for (const QString &name : c.names) {
            const std::string n = std::to_string(people.size() + 1);
            people.push_back({n, name.toStdString(), "/avatars/u" + n + ".png"});
        }
        SandboxFriends::setFriends(sandbox, Sandbox::defaultAccount().uid, people);
        screen.getFriends();
        waitIdle();
        EXPECT_EQ(screen.alphabet(), c.alphabet);
        EXPECT_EQ(table(), c.table);
        // The side index leads to each section's first row.
        QList<int> firstRows, indexRows;
        for (int s = 0; s < c.alphabet.size(); ++s) {
            indexRows << screen.sectionForSectionIndexTitle(s);
            firstRows << int(
                c.table.indexOf(QRegularExpression(QRegularExpression::escape(c.alphabet[s]) + ":.*")));
        }
        EXPECT_EQ(indexRows, firstRows);
    }
}

TEST_F(FriendsAndGroupsTest, TheRowButtonCopiesTheNumber)
{
    Stores::friendsGroups().append(QStringList()
                                   << record("Beta", "1") << record("alpha", "22") << record("Бета", "333"));
    screen.viewWillAppear();
    QSignalSpy scrolled(&screen, &Friends_and_Groups::scrollToRow);
    screen.accessoryButtonTapped(1); // "alpha", the row of section A
    screen.accessoryButtonTapped(0); // the notice takes no input away
    EXPECT_EQ(pasteboard, QStringList({"22", "1"}));
    ASSERT_EQ(scrolled.count(), 2);
    EXPECT_EQ(scrolled.at(0), QVariantList({1, int(Friends_and_Groups::Middle), true}));
    waitIdle();
    EXPECT_EQ(overlays.labels, QStringList({"Уведомление", "Уведомление"}));
    EXPECT_EQ(overlays.details, QStringList({"ID скопирован в буфер", "ID скопирован в буфер"}));
    EXPECT_EQ(overlays.minShowTimes, QList<float>({1.0f, 1.0f}));

    screen.accessoryButtonTapped(0);
    waitIdle();
    EXPECT_EQ(pasteboard, QStringList({"22", "1", "1"}));
    screen.accessoryButtonTapped(3); // no such row
    EXPECT_FALSE(screen.busy());
    EXPECT_EQ(pasteboard.size(), 3);
}

TEST_F(FriendsAndGroupsTest, AnUnreadablePageShowsAnEmptyList)
{
    signIn();
    Stores::friendsGroups().append(QStringList() << record("Старый", "9"));
    SandboxFriends::setCannedAnswer(
        sandbox, "/al_friends.php?act=load_friends_silent&al=1&gid=0&id=" + Sandbox::defaultAccount().uid,
        "<!--18035<!><!>0<!>6546<!>0<!><div>no list</div>");
    screen.getFriends();
    waitIdle();
    EXPECT_TRUE(Stores::friendsGroups().isEmpty());
    EXPECT_EQ(screen.title(), QStringLiteral("Всего: 0"));
    EXPECT_TRUE(screen.alphabet().isEmpty());
}

TEST_F(FriendsAndGroupsTest, NoAnswerSaysTheServiceIsUnavailableAndKeepsTheList)
{
    signIn();
    screen.getFriends();
    waitIdle();
    const QStringList loaded = Stores::friendsGroups().records();
    ASSERT_FALSE(loaded.isEmpty());
    const QString title = screen.title();

    sandbox.stop();
    for (const bool friends : {true, false}) {
        SCOPED_TRACE(friends ? "friends" : "groups");
        overlays = {};
        friends ? screen.getFriends() : screen.getGroups();
        waitIdle();
        EXPECT_EQ(overlays.labels, QStringList({"Выполняется поиск...", "Ошибка"}));
        EXPECT_EQ(overlays.details, QStringList({"Сервис недоступен"}));
        EXPECT_EQ(Stores::friendsGroups().records(), loaded); // nothing changed, nothing counted
        EXPECT_EQ(screen.title(), title);
        EXPECT_EQ(screen.rows()->rowCount(), loaded.size());
    }
}

} // namespace
