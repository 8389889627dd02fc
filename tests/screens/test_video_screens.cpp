#include "../support/OverlayLog.h"
#include "../support/SandboxSignIn.h"

#include "core/PropertyList.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "sandbox/SandboxVideo.h"
#include "screens/Video_Group.h"
#include "screens/Video_Personal.h"
#include "screens/Video_Recommended.h"
#include "screens/Video_Search.h"
#include "screens/VideoMenu.h"
#include "service/VKontakteWorks.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class VideoScreensTest : public TestSupport::ServiceSandboxTest
{
protected:
    VideoScreensTest() : ServiceSandboxTest(false) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        StorageLayout::setRootDir(root.path());
        // A quality chosen in one case is remembered: each case starts with its own settings.
        Settings::setSharedPath(root.filePath(QStringLiteral("settings.conf")));
        for (VideoRecordStore *store : {&Stores::videoFound(), &Stores::videoPersonal(),
                                        &Stores::videoGroup(), &Stores::videoRecommended()})
            store->clear();
        DownloadQueue::shared().clear();
        global->videoSearchOffset = 0;
    }
    void TearDown() override
    {
        StorageLayout::setRootDir(QString());
        Settings::setSharedPath(QString());
    }

    void watch(VideoResults &screen) { log.watch(screen); }

    static void waitIdle(const VideoResults &screen)
    {
        ASSERT_TRUE(TestSupport::waitFor(
            [&] {
                return !screen.hud() && !screen.searchBusy() && !screen.tableBusy() &&
                       !screen.addingRecords();
            },
            30000));
    }

    // A search with the screen, as a user starts it, until its overlay is gone.
    void search(VideoResults &screen, const QString &text, int quality = 0, int sort = 0)
    {
        screen.setSearchText(text);
        screen.setQualityIndex(quality);
        screen.setSortIndex(sort);
        screen.searchBarSearchButtonClicked();
        waitIdle(screen);
    }

    int searchRequests()
    {
        int count = 0;
        for (const std::string &line : sandbox.requestLog())
            count += line.rfind("GET /al_search.php", 0) == 0 &&
                     line.find("c[section]=video") != std::string::npos;
        return count;
    }

    // The row of the search results whose video matches `wanted` in the sandbox's catalogue.
    int rowWhere(const std::function<bool(const SandboxVideoItem &)> &wanted)
    {
        const std::vector<SandboxVideoItem> catalogue = SandboxVideo::catalogueOf(sandbox);
        for (qsizetype row = 0; row < Stores::videoFound().size(); ++row) {
            for (const SandboxVideoItem &item : catalogue) {
                if (QString::fromStdString(item.key()) == Stores::videoFound().at(row).key && wanted(item))
                    return int(row);
            }
        }
        return -1;
    }
    static auto best(int hd)
    {
        return [hd](const SandboxVideoItem &v) { return v.hd == hd && v.mp4 && v.variables; };
    }

    // A signed-in search screen showing the first page of the whole catalogue.
    void searchEverything(Video_Search &screen)
    {
        signIn();
        screen.setTitle("Поиск");
        watch(screen);
        screen.viewDidLoad();
        screen.viewWillAppear();
        search(screen, QString());
        ASSERT_EQ(Stores::videoFound().size(), 40);
    }

    QTemporaryDir root;
    OverlayLog log;
};

TEST_F(VideoScreensTest, SearchWithoutSessionSaysSoAndSendsNothing)
{
    Video_Search screen;
    watch(screen);
    screen.viewDidLoad();
    screen.viewWillAppear();
    screen.setSearchText("Кино");
    screen.searchBarSearchButtonClicked();
    EXPECT_TRUE(screen.searchBusy());
    waitIdle(screen);
    EXPECT_EQ(log.labels, QStringList({"Ошибка"}));
    EXPECT_EQ(log.details, QStringList({"Не выполнен вход"}));
    EXPECT_EQ(log.minShowTimes, QList<float>({2.0f}));
    EXPECT_FALSE(QFileInfo::exists(screen.requestFile()));
    EXPECT_EQ(searchRequests(), 0);
}

TEST_F(VideoScreensTest, SearchPagesUntilAShortPageAndRemembersTheRequest)
{
    signIn();
    Video_Search screen;
    watch(screen);
    screen.viewDidLoad();
    screen.viewWillAppear();
    QSignalSpy scrolled(&screen, &VideoResults::scrollToRow);
    search(screen, QStringLiteral("часть"));
    // The sandbox has 42 such videos: a full first page keeps paging open.
    ASSERT_EQ(Stores::videoFound().size(), 40);
    EXPECT_EQ(global->videoSearchOffset, 0);
    EXPECT_EQ(log.labels, QStringList({"Выполняется поиск..."}));
    EXPECT_EQ(log.minShowTimes, QList<float>({1.0f}));
    ASSERT_GE(scrolled.count(), 1);
    EXPECT_EQ(scrolled.last(), QVariantList({0, int(VideoResults::Top), false}));
    EXPECT_EQ(PropertyList::readRequest(screen.requestFile()).value_or(QString()), QStringLiteral("часть"));
    EXPECT_EQ(QFileInfo(screen.requestFile()).fileName(), QStringLiteral("VideoSearchRequest.tune"));

    screen.cellShown(20); // not the last row
    EXPECT_FALSE(screen.addingRecords());
    screen.cellShown(39);
    EXPECT_TRUE(screen.addingRecords());
    EXPECT_EQ(global->videoSearchOffset, 1);
    screen.cellShown(39); // already loading: nothing new
    EXPECT_EQ(global->videoSearchOffset, 1);
    waitIdle(screen);
    EXPECT_EQ(log.labels.last(), QStringLiteral("Добавление записей..."));
    EXPECT_EQ(Stores::videoFound().size(), 42);
    EXPECT_EQ(screen.records()->rowCount(), 42);
    EXPECT_NE(SandboxVideo::lastRequest(sandbox, "search")->target.find("&offset=40&"), std::string::npos);
    // A short page was the last one.
    EXPECT_EQ(global->videoSearchOffset, 10);
    const int requests = searchRequests();
    screen.cellShown(41);
    EXPECT_FALSE(screen.addingRecords());
    EXPECT_EQ(searchRequests(), requests);

    // The field shows the last request when the screen appears again, after a restart too.
    Video_Search again;
    again.viewWillAppear();
    EXPECT_EQ(again.searchText(), QStringLiteral("часть"));
}

TEST_F(VideoScreensTest, PagingStopsAfterNineFurtherPages)
{
    Video_Search screen;
    searchEverything(screen);
    for (int page = 1; page <= 9; ++page) {
        screen.cellShown(int(Stores::videoFound().size()) - 1);
        ASSERT_TRUE(screen.addingRecords()) << page;
        waitIdle(screen);
        ASSERT_EQ(Stores::videoFound().size(), 40 * (page + 1));
    }
    EXPECT_NE(SandboxVideo::lastRequest(sandbox, "search")->target.find("&offset=360&"), std::string::npos);
    const int requests = searchRequests();
    screen.cellShown(399);
    EXPECT_FALSE(screen.addingRecords());
    EXPECT_EQ(searchRequests(), requests);
    EXPECT_EQ(requests, 10);
}

TEST_F(VideoScreensTest, AShortFirstPageClosesPagingAndAnEmptyFurtherPageLeavesItOpen)
{
    signIn();
    Video_Search screen;
    screen.viewWillAppear();
    search(screen, QStringLiteral("кино"), 1);
    ASSERT_GT(Stores::videoFound().size(), 0);
    ASSERT_LT(Stores::videoFound().size(), 40);
    EXPECT_EQ(global->videoSearchOffset, 10);

    // The second page comes back empty (or unreadable): the next time the last row shows, the third is asked
    // for.
    SandboxVideo::setCannedAnswer(
        sandbox, "/al_search.php?al=1&c[hd]=0&c[q]=&c[section]=video&c[iphone]=1&offset=40&c[sort]=0",
        std::string());
    search(screen, QString());
    ASSERT_EQ(Stores::videoFound().size(), 40);
    screen.cellShown(39);
    waitIdle(screen);
    EXPECT_EQ(Stores::videoFound().size(), 40);
    EXPECT_EQ(global->videoSearchOffset, 1);
    screen.cellShown(39);
    waitIdle(screen);
    EXPECT_EQ(Stores::videoFound().size(), 80);
    EXPECT_NE(SandboxVideo::lastRequest(sandbox, "search")->target.find("&offset=80&"), std::string::npos);
}

TEST_F(VideoScreensTest, TheSelectorsChooseQualityAndSort)
{
    signIn();
    Video_Search screen;
    screen.viewWillAppear();
    search(screen, QStringLiteral("о"), 2, 1);
    ASSERT_FALSE(Stores::videoFound().isEmpty());
    for (const VideoRecord &r : Stores::videoFound().records())
        EXPECT_EQ(r.quality, QStringLiteral("480+"));
    const std::string target = SandboxVideo::lastRequest(sandbox, "search")->target;
    EXPECT_NE(target.find("c[hd]=1&c[q]=%D0%BE&c[quality]=1&"), std::string::npos) << target;
    EXPECT_NE(target.find("&c[sort]=1"), std::string::npos) << target;

    // The panel opens while the field is edited.
    QSignalSpy panel(&screen, &VideoResults::selectorsVisibleChanged);
    screen.searchBarTextDidBeginEditing();
    EXPECT_TRUE(screen.selectorsVisible());
    screen.searchBarTextDidEndEditing();
    EXPECT_FALSE(screen.selectorsVisible());
    EXPECT_EQ(panel.count(), 2);
    Video_Personal personal;
    personal.searchBarTextDidBeginEditing();
    EXPECT_FALSE(personal.selectorsVisible());
}

TEST_F(VideoScreensTest, ADoublePressStartsOneSearch)
{
    signIn();
    Video_Search screen;
    screen.viewWillAppear();
    screen.setSearchText(QStringLiteral("кино"));
    screen.searchBarSearchButtonClicked();
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    EXPECT_EQ(searchRequests(), 1);
}

TEST_F(VideoScreensTest, AVideoOfOneQualityIsQueuedAtOnceWithTheNotice)
{
    Video_Search screen;
    searchEverything(screen);
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    DownloadQueue::shared().append(DownloadQueue::Audio, QueueItem{"A - B", "http://x/a.mp3", 999999});
    const int row = rowWhere(best(0));
    ASSERT_GE(row, 0);
    const VideoRecord record = Stores::videoFound().at(row);
    log = {};
    screen.accessoryButtonTapped(row);
    EXPECT_TRUE(screen.tableBusy());
    screen.accessoryButtonTapped(row + 1); // busy: ignored
    waitIdle(screen);
    EXPECT_EQ(alerts.count(), 0);
    EXPECT_EQ(log.labels, QStringList({"Поиск ссылки...", "Уведомление"}));
    EXPECT_EQ(log.details, QStringList({"Запись добавлена в очередь"}));
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Video).size(), 1);
    const QueueItem &item = DownloadQueue::shared().items(DownloadQueue::Video).first();
    EXPECT_EQ(item.name, record.title);
    EXPECT_TRUE(item.url.endsWith(QStringLiteral(".240.mp4"))) << item.url.toStdString();
    EXPECT_EQ(item.tag, record.tag.toInt());
    EXPECT_EQ(item.state, QueueItem::State::Waiting);
    EXPECT_EQ(Stores::videoFound().size(), 39);
    EXPECT_NE(Stores::videoFound().at(row).tag, record.tag);
    // The badge counts audio and video items.
    EXPECT_EQ(DownloadQueue::shared().count(), 2);
    EXPECT_EQ(SandboxVideo::lastRequest(sandbox, "show")->target,
              "/al_video.php?act=show&al=1&autoplay=0&video=" + record.key.toStdString());
}

TEST_F(VideoScreensTest, TheQualityChoiceOffersTheQualitiesUpToTheBest)
{
    Video_Search screen;
    searchEverything(screen);
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    const QStringList all = {"Отмена", "Качество 240", "Качество 360", "Качество 480", "Качество 720"};
    for (int hd = 1; hd <= 3; ++hd) {
        SCOPED_TRACE(hd);
        const int row = rowWhere(best(hd));
        ASSERT_GE(row, 0);
        screen.accessoryButtonTapped(row);
        waitIdle(screen);
        ASSERT_EQ(alerts.count(), 1);
        const QVariantList alert = alerts.takeFirst();
        EXPECT_EQ(alert.at(0).toString(), QString());
        EXPECT_EQ(alert.at(1).toString(), QStringLiteral("Выберите качество"));
        EXPECT_EQ(alert.at(2).toStringList(), all.mid(0, hd + 2));
        EXPECT_EQ(alert.at(3).toInt(), int(VideoResults::QueueAlert));
        // Cancel: nothing queued, the record stays.
        const qsizetype before = Stores::videoFound().size();
        screen.alertAnswered(VideoResults::QueueAlert, 0);
        EXPECT_TRUE(DownloadQueue::shared().items(DownloadQueue::Video).isEmpty());
        EXPECT_EQ(Stores::videoFound().size(), before);
    }
}

TEST_F(VideoScreensTest, ChoosingAQualityQueuesThatAddress)
{
    Video_Search screen;
    searchEverything(screen);
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    const int row = rowWhere(best(2));
    ASSERT_GE(row, 0);
    const VideoRecord record = Stores::videoFound().at(row);
    screen.accessoryButtonTapped(row);
    waitIdle(screen);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_TRUE(screen.foundLink().endsWith(QStringLiteral(".480.mp4")));
    screen.alertAnswered(VideoResults::QueueAlert, 2); // "Качество 360"
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Video).size(), 1);
    const QueueItem &item = DownloadQueue::shared().items(DownloadQueue::Video).first();
    EXPECT_EQ(item.name, record.title);
    EXPECT_EQ(item.tag, record.tag.toInt());
    EXPECT_TRUE(item.url.endsWith(QStringLiteral(".360.mp4"))) << item.url.toStdString();
    EXPECT_EQ(VKontakteWorks::videoLinkWithLines(item.url, 480),
              VKontakteWorks::videoLinkWithLines(screen.foundLink(), 480));
    for (const VideoRecord &r : Stores::videoFound().records())
        EXPECT_NE(r.tag, record.tag);
    EXPECT_EQ(DownloadQueue::shared().count(), 1);
    // The address is a file the storage host has.
    EXPECT_EQ(Http::get(item.url, {{"Range", "bytes=0-15"}}, 10).status, 206);
}

TEST_F(VideoScreensTest, FailedResolutionsRemoveTheRecordEvenWhenOnlyWatching)
{
    Video_Search screen;
    searchEverything(screen);
    QSignalSpy player(&screen, &VideoResults::videoPlayerRequested);
    const struct
    {
        std::function<bool(const SandboxVideoItem &)> which;
        bool watch;
        QString details;
    } cases[] = {
        {[](const SandboxVideoItem &v) { return !v.mp4; }, false, "Файлы формата FLV не поддерживаются"},
        {[](const SandboxVideoItem &v) { return !v.variables; }, true, "Файл не на сервере ВКонтакте"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.details.toStdString());
        const int row = rowWhere(c.which);
        ASSERT_GE(row, 0);
        const QString tag = Stores::videoFound().at(row).tag;
        log = {};
        if (c.watch)
            screen.rowSelected(row);
        else
            screen.accessoryButtonTapped(row);
        waitIdle(screen);
        EXPECT_EQ(log.labels, QStringList({"Поиск ссылки...", "Ошибка"}));
        EXPECT_EQ(log.details, QStringList({c.details}));
        for (const VideoRecord &r : Stores::videoFound().records())
            EXPECT_NE(r.tag, tag);
    }
    EXPECT_TRUE(DownloadQueue::shared().items(DownloadQueue::Video).isEmpty());
    EXPECT_EQ(player.count(), 0);
}

TEST_F(VideoScreensTest, AWatchedRowOpensThePlayerWithTheAddress)
{
    Video_Search screen;
    searchEverything(screen);
    QSignalSpy player(&screen, &VideoResults::videoPlayerRequested);
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    QSignalSpy scrolled(&screen, &VideoResults::scrollToRow);

    const int single = rowWhere(best(0));
    ASSERT_GE(single, 0);
    screen.rowSelected(single);
    EXPECT_EQ(screen.lastWatchedVideoNumber(), single);
    EXPECT_TRUE(
        screen.records()->data(screen.records()->index(single), VideoRecordModel::WatchedRole).toBool());
    EXPECT_EQ(scrolled.last(), QVariantList({single, int(VideoResults::Middle), true}));
    waitIdle(screen);
    ASSERT_EQ(player.count(), 1);
    EXPECT_TRUE(player.first().at(0).toString().endsWith(QStringLiteral(".240.mp4")));
    EXPECT_EQ(player.first().at(1).toString(), QStringLiteral("search"));
    EXPECT_EQ(alerts.count(), 0);
    EXPECT_EQ(Stores::videoFound().size(), 40); // watching keeps the record

    const int hd = rowWhere(best(3));
    screen.rowSelected(hd);
    waitIdle(screen);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.first().at(3).toInt(), int(VideoResults::WatchAlert));
    screen.alertAnswered(VideoResults::WatchAlert, 4);
    ASSERT_EQ(player.count(), 2);
    EXPECT_TRUE(player.last().at(0).toString().endsWith(QStringLiteral(".720.mp4")));
    EXPECT_EQ(Stores::videoFound().size(), 40);
    EXPECT_TRUE(DownloadQueue::shared().items(DownloadQueue::Video).isEmpty());
    EXPECT_EQ(screen.lastWatchedVideoNumber(), hd);

    // A new search forgets the watched row.
    search(screen, QStringLiteral("кино"));
    EXPECT_EQ(screen.lastWatchedVideoNumber(), -1);
}

TEST_F(VideoScreensTest, PersonalAndCommunityScreensSummariseTheirLists)
{
    Video_Personal personal;
    watch(personal);
    personal.viewDidLoad();
    personal.viewWillAppear();
    EXPECT_EQ(personal.placeholder(), QStringLiteral("ID пользователя (ваш - неизвестен)"));
    personal.setSelfId(); // signed out: nothing
    EXPECT_FALSE(personal.searchBusy());
    EXPECT_TRUE(log.labels.isEmpty());

    signIn();
    personal.viewWillAppear();
    EXPECT_EQ(personal.placeholder(), QStringLiteral("ID пользователя (ваш - 1000001)"));
    personal.setSelfId();
    EXPECT_EQ(personal.searchText(), QStringLiteral("1000001"));
    waitIdle(personal);
    EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Завершено"}));
    EXPECT_EQ(log.details, QStringList({"Найдено видеозаписей: 12"}));
    EXPECT_EQ(Stores::videoPersonal().size(), 12);
    EXPECT_EQ(QFileInfo(personal.requestFile()).fileName(), QStringLiteral("VideoPersonalRequest.tune"));
    EXPECT_EQ(PropertyList::readRequest(personal.requestFile()).value_or(QString()),
              QStringLiteral("1000001"));

    Video_Group group;
    watch(group);
    group.viewWillAppear();
    log = {};
    search(group, QStringLiteral("42"));
    EXPECT_EQ(Stores::videoGroup().size(), 30);
    EXPECT_EQ(log.details, QStringList({"Найдено видеозаписей: 30"}));
    EXPECT_EQ(SandboxVideo::lastRequest(sandbox, "list")->target,
              "/al_video.php?act=load_videos_silent&al=1&oid=-42");
    // A failed list still reports its count.
    log = {};
    search(group, QStringLiteral("no such"));
    EXPECT_TRUE(Stores::videoGroup().isEmpty());
    EXPECT_EQ(log.details, QStringList({"Найдено видеозаписей: 0"}));
    EXPECT_EQ(PropertyList::readRequest(group.requestFile()).value_or(QString()), QStringLiteral("no such"));
}

TEST_F(VideoScreensTest, RecommendationsComeWithoutSummary)
{
    signIn();
    Video_Recommended screen;
    watch(screen);
    screen.viewWillAppear();
    QSignalSpy scrolled(&screen, &VideoResults::scrollToRow);
    screen.setSelfId();
    waitIdle(screen);
    EXPECT_EQ(log.labels, QStringList({"Выполняется поиск..."}));
    EXPECT_TRUE(log.details.isEmpty());
    EXPECT_EQ(Stores::videoRecommended().size(), 75);
    EXPECT_EQ(scrolled.last(), QVariantList({0, int(VideoResults::Top), true}));
    EXPECT_EQ(QFileInfo(screen.requestFile()).fileName(), QStringLiteral("VideoRecommendedRequest.tune"));

    // Recommended rows are queued like any other: a quality choice, then the queue.
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    screen.accessoryButtonTapped(0);
    waitIdle(screen);
    if (alerts.count() == 1)
        screen.alertAnswered(VideoResults::QueueAlert, 1);
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Video).size(), 1);
    EXPECT_TRUE(
        DownloadQueue::shared().items(DownloadQueue::Video).first().url.endsWith(QStringLiteral(".240.mp4")));
    EXPECT_EQ(Stores::videoRecommended().size(), 74);
}

TEST_F(VideoScreensTest, AListThatGotNoAnswerIsAnErrorNotAnEmptyList)
{
    signIn();
    sandbox.stop();
    struct Case
    {
        const char *title;
        std::function<VideoResults *()> make;
        QString input;
    };
    const QList<Case> cases = {
        {"Поиск", [] { return new Video_Search; }, "a"},
        {"Частные", [] { return new Video_Personal; }, "1000001"},
        {"Общие", [] { return new Video_Group; }, "42"},
        {"Рекомендуемые", [] { return new Video_Recommended; }, "1000001"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        std::unique_ptr<VideoResults> screen(c.make());
        screen->store().assign({VideoRecord{"Old", "1_1", "240", "1", "-1", "1:00", "http://x/1.jpg"}});
        log = {};
        watch(*screen);
        screen->viewWillAppear();
        search(*screen, c.input);
        // Not "Завершено / Найдено видеозаписей: 0": nobody answered.
        EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Ошибка"}));
        EXPECT_EQ(log.details, QStringList({"Сервис недоступен"}));
        EXPECT_TRUE(screen->store().isEmpty());
        EXPECT_EQ(screen->records()->rowCount(), 0);
    }
}

TEST_F(VideoScreensTest, AFurtherPageThatGotNoAnswerIsAskedForAgain)
{
    Video_Search screen;
    searchEverything(screen);
    const int port = sandbox.port();
    sandbox.stop();
    screen.cellShown(39);
    waitIdle(screen);
    EXPECT_EQ(log.labels.last(), QStringLiteral("Ошибка"));
    EXPECT_EQ(log.details.last(), QStringLiteral("Сервис недоступен"));
    EXPECT_EQ(global->videoSearchOffset, 0); // the page was not read: the position stays
    EXPECT_EQ(Stores::videoFound().size(), 40);

    // The next time the last row shows, that same page is asked for.
    ASSERT_TRUE(sandbox.start(port));
    screen.cellShown(39);
    waitIdle(screen);
    EXPECT_EQ(global->videoSearchOffset, 1);
    const std::optional<SandboxRequest> asked = SandboxVideo::lastRequest(sandbox, "search");
    ASSERT_TRUE(asked.has_value());
    EXPECT_NE(asked->target.find("&offset=40&"), std::string::npos) << asked->target;
    EXPECT_EQ(Stores::videoFound().size(), 80);
}

// Nothing is known about a video nobody answered for, and a page naming no web address points where no video
// of the service lives: either way nothing goes to the player or the queue, and the record stays.
TEST_F(VideoScreensTest, ALinkThatGotNoAnswerOrNoWebAddressHandsNothingOnAndKeepsTheRecord)
{
    Video_Search screen;
    searchEverything(screen);
    QSignalSpy player(&screen, &VideoResults::videoPlayerRequested);
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    SandboxVideo::setCannedAnswer(
        sandbox,
        "/al_video.php?act=show&al=1&autoplay=0&video=" + Stores::videoFound().at(2).key.toStdString(),
        "<!--12345<!>video<!>0<!>6<!>0<!><div>var vars = {\"host\":\"file:///home/user/.config#http://\","
        "\"uid\":\"7\",\"vtag\":\"ab12\",\"hd\":2,\"no_flv\":1};</div>");
    for (const bool answered : {true, false}) {
        const int row = answered ? 2 : 3;
        const VideoRecord record = Stores::videoFound().at(row);
        if (!answered)
            sandbox.stop();
        for (const bool watching : {true, false}) {
            SCOPED_TRACE(std::string(answered ? "answered" : "no answer") + (watching ? ", watching" : ""));
            log = {};
            if (watching)
                screen.rowSelected(row);
            else
                screen.accessoryButtonTapped(row);
            waitIdle(screen);
            EXPECT_EQ(log.labels, QStringList({"Поиск ссылки...", "Ошибка"}));
            EXPECT_EQ(log.details, QStringList({answered ? "Видео недоступно" : "Сервис недоступен"}));
            ASSERT_EQ(Stores::videoFound().size(), 40);
            EXPECT_EQ(Stores::videoFound().at(row).tag, record.tag);
            EXPECT_EQ(Stores::videoFound().at(row).key, record.key);
        }
    }
    EXPECT_TRUE(DownloadQueue::shared().items(DownloadQueue::Video).isEmpty());
    EXPECT_EQ(player.count(), 0);
    EXPECT_EQ(alerts.count(), 0);
}

TEST_F(VideoScreensTest, TheVideoMenuOpensTheFourScreensAndCountsTheirLists)
{
    Settings settings(root.filePath(QStringLiteral("menu.conf")));
    VideoMenu menu(&settings);
    QSignalSpy open(&menu, &VideoMenu::openScreen);
    const QStringList screens = {"Video_Search", "Video_Personal", "Video_Group", "Video_Recommended"};
    const QStringList titles = {"Поиск", "Частные", "Общие", "Рекомендуемые"};
    for (int row = 0; row < 4; ++row) {
        menu.rowSelected(row);
        EXPECT_EQ(open.last().at(1).toString(), screens.at(row));
        EXPECT_EQ(open.last().at(2).toString(), titles.at(row));
    }
    Stores::videoPersonal().append(VideoRecord{});
    Stores::videoGroup().append({VideoRecord{}, VideoRecord{}});
    menu.viewWillAppear();
    EXPECT_EQ(menu.counter(0), 0);
    EXPECT_EQ(menu.counter(1), 1);
    EXPECT_EQ(menu.counter(2), 2);
    EXPECT_EQ(menu.counter(3), 0);
}

} // namespace
