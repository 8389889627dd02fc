#include "../support/ResultsScreens.h"

#include "core/PropertyList.h"
#include "sandbox/SandboxVideo.h"
#include "screens/Video_Library.h"
#include "screens/Video_Player.h"
#include "screens/VideoMenu.h"
#include "service/VKontakteWorks.h"

#include <QFile>
#include <QSignalSpy>

namespace {

using namespace TestSupport;

class VideoScreensTest : public ResultsScreenTest
{
protected:
    int searchRequests()
    {
        int count = 0;
        for (const std::string &line : sandbox.requestLog())
            count += line.rfind("GET /al_search.php", 0) == 0 &&
                     line.find("c[section]=video") != std::string::npos;
        return count;
    }
    std::string lastTarget(const std::string &kind)
    {
        return SandboxVideo::lastRequest(sandbox, kind).value_or(SandboxRequest{}).target;
    }

    // A signed-in search screen showing the first page of the whole catalogue.
    void searchEverything(Video_Search &screen)
    {
        signIn();
        open(screen, "Поиск");
        search(screen, QString());
        ASSERT_EQ(Stores::videoFound().size(), 40);
    }

    // The one queued video, waiting, as "name #tag lines.mp4".
    static QString queuedVideo()
    {
        const QList<QueueItem> &items = DownloadQueue::shared().items(DownloadQueue::Video);
        if (items.size() != 1 || items[0].state != QueueItem::State::Waiting)
            return QStringLiteral("%1 items").arg(items.size());
        return items[0].name + " #" + QString::number(items[0].tag) + " " + items[0].url.section('.', -2);
    }
};

TEST_F(VideoScreensTest, SearchWithoutSessionSaysSoAndSendsNothing)
{
    Video_Search screen;
    open(screen, "Поиск");
    expectSignedOutSearchRefused(screen, screen.requestFile());
}

TEST_F(VideoScreensTest, SearchPagesUntilAShortPageAndRemembersTheRequest)
{
    signIn();
    Video_Search screen;
    open(screen, "Поиск");
    QSignalSpy scrolled(&screen, &VideoResults::scrollToRow);
    screen.setSearchText(QStringLiteral("часть"));
    screen.searchBarSearchButtonClicked();
    screen.searchBarSearchButtonClicked(); // busy: one search
    waitIdle(screen);
    EXPECT_EQ(searchRequests(), 1);
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
    EXPECT_NE(lastTarget("search").find("&offset=40&"), std::string::npos);
    // A short page was the last one.
    EXPECT_EQ(global->videoSearchOffset, 10);
    screen.cellShown(41);
    EXPECT_FALSE(screen.addingRecords());
    EXPECT_EQ(searchRequests(), 2);

    // The field shows the last request when the screen appears again, after a restart too.
    Video_Search again;
    again.viewWillAppear();
    EXPECT_EQ(again.searchText(), QStringLiteral("часть"));
}

TEST_F(VideoScreensTest, AShortFirstPageClosesPagingAndAnEmptyFurtherPageLeavesItOpen)
{
    signIn();
    Video_Search screen;
    screen.viewWillAppear();
    search(screen, QStringLiteral("кино"));
    ASSERT_GT(Stores::videoFound().size(), 0);
    ASSERT_LT(Stores::videoFound().size(), 40);
    EXPECT_EQ(global->videoSearchOffset, 10);

    // The second page comes back empty (or unreadable): the last row showing again asks for the third.
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
    EXPECT_NE(lastTarget("search").find("&offset=80&"), std::string::npos);
}

TEST_F(VideoScreensTest, TheSelectorsChooseQualityAndSort)
{
    signIn();
    Video_Search screen;
    screen.viewWillAppear();
    screen.setQualityIndex(2);
    screen.setSortIndex(1);
    search(screen, QStringLiteral("о"));
    ASSERT_FALSE(Stores::videoFound().isEmpty());
    const std::string target = lastTarget("search");
    EXPECT_NE(target.find("c[hd]=1&c[q]=%D0%BE&c[quality]=1&"), std::string::npos) << target;
    EXPECT_NE(target.find("&c[sort]=1"), std::string::npos) << target;

    // The panel opens while the field is edited, on the search screen only.
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
    EXPECT_EQ(queuedVideo(), record.title + " #" + record.tag + " 240.mp4");
    EXPECT_EQ(Stores::videoFound().size(), 39);
    EXPECT_FALSE(column(Stores::videoFound().records(), &VideoRecord::tag).contains(record.tag));
    // The badge counts audio and video items.
    EXPECT_EQ(DownloadQueue::shared().count(), 2);
    EXPECT_EQ(lastTarget("show"), "/al_video.php?act=show&al=1&autoplay=0&video=" + record.key.toStdString());
}

TEST_F(VideoScreensTest, TheQualityChoiceOffersTheQualitiesUpToTheBestAndQueuesTheOneChosen)
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
        EXPECT_EQ(alerts.takeFirst(), QVariantList({QString(), "Выберите качество", all.mid(0, hd + 2),
                                                    int(VideoResults::QueueAlert)}));
        // Cancel: nothing queued, the record stays.
        screen.alertAnswered(VideoResults::QueueAlert, 0);
        EXPECT_TRUE(DownloadQueue::shared().items(DownloadQueue::Video).isEmpty());
        EXPECT_EQ(Stores::videoFound().size(), 40);
    }

    // A lower quality than the best is queued with its own address.
    const int row = rowWhere(best(2));
    const VideoRecord record = Stores::videoFound().at(row);
    screen.accessoryButtonTapped(row);
    waitIdle(screen);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_TRUE(screen.foundLink().endsWith(QStringLiteral(".480.mp4")));
    screen.alertAnswered(VideoResults::QueueAlert, 2); // "Качество 360"
    EXPECT_EQ(queuedVideo(), record.title + " #" + record.tag + " 360.mp4");
    const QString url = DownloadQueue::shared().items(DownloadQueue::Video).value(0).url;
    EXPECT_EQ(VKontakteWorks::videoLinkWithLines(url, 480),
              VKontakteWorks::videoLinkWithLines(screen.foundLink(), 480));
    EXPECT_FALSE(column(Stores::videoFound().records(), &VideoRecord::tag).contains(record.tag));
    EXPECT_EQ(DownloadQueue::shared().count(), 1);
    // The address is a file the storage host has.
    EXPECT_EQ(Http::get(url, {{"Range", "bytes=0-15"}}, 10).status, 206);
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

TEST_F(VideoScreensTest, PersonalCommunityAndRecommendedLists)
{
    Video_Personal personal;
    open(personal, "Частные");
    expectOwnNumberOnceSignedIn(personal);
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
    open(group, "Общие");
    log = {};
    search(group, QStringLiteral("42"));
    EXPECT_EQ(Stores::videoGroup().size(), 30);
    EXPECT_EQ(log.details, QStringList({"Найдено видеозаписей: 30"}));
    EXPECT_EQ(lastTarget("list"), "/al_video.php?act=load_videos_silent&al=1&oid=-42");
    // A failed list still reports its count.
    log = {};
    search(group, QStringLiteral("no such"));
    EXPECT_TRUE(Stores::videoGroup().isEmpty());
    EXPECT_EQ(log.details, QStringList({"Найдено видеозаписей: 0"}));
    EXPECT_EQ(PropertyList::readRequest(group.requestFile()).value_or(QString()), QStringLiteral("no such"));

    // Recommendations come without a summary.
    Video_Recommended screen;
    log = {};
    open(screen, "Рекомендуемые");
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
    EXPECT_TRUE(queuedVideo().endsWith(" 240.mp4")) << queuedVideo().toStdString();
    EXPECT_EQ(Stores::videoRecommended().size(), 74);
}

TEST_F(VideoScreensTest, NoAnswerIsAnErrorAndAFurtherPageIsAskedForAgainUntilPagingStops)
{
    Video_Search screen;
    searchEverything(screen);
    expectUnansweredPageAskedAgain(screen, global->videoSearchOffset, [&] { return lastTarget("search"); });
    EXPECT_EQ(global->videoSearchOffset, 1);
    EXPECT_EQ(Stores::videoFound().size(), 80);

    for (int page = 2; page <= 9; ++page) {
        screen.cellShown(int(Stores::videoFound().size()) - 1);
        ASSERT_TRUE(screen.addingRecords()) << page;
        waitIdle(screen);
        ASSERT_EQ(Stores::videoFound().size(), 40 * (page + 1));
    }
    EXPECT_NE(lastTarget("search").find("&offset=360&"), std::string::npos);
    screen.cellShown(399);
    EXPECT_FALSE(screen.addingRecords());
    EXPECT_EQ(searchRequests(), 10); // the first page and nine further ones: the unanswered one never arrived

    // Not "Завершено / Найдено видеозаписей: 0" for a list: nobody answered.
    expectNoAnswerIsAnError(videoKinds(), videoBefore);
}

// A link that cannot be had says why and goes neither to the player nor to the queue. A video not playable
// here (FLV only, or not on the service's storage) leaves the list, even when only watched; one nobody
// answered for, or whose page names no web address (and so no video of the service), stays.
TEST_F(VideoScreensTest, AFailedLinkHandsNothingOn)
{
    Video_Search screen;
    searchEverything(screen);
    QSignalSpy player(&screen, &VideoResults::videoPlayerRequested);
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    const auto keyWhere = [&](const std::function<bool(const SandboxVideoItem &)> &wanted) {
        return Stores::videoFound().records().value(rowWhere(wanted)).key;
    };
    const QString flv = keyWhere([](const SandboxVideoItem &v) { return !v.mp4; });
    const QString elsewhere = keyWhere([](const SandboxVideoItem &v) { return !v.variables; });
    const QString playable = keyWhere(best(0));
    ASSERT_FALSE(flv.isEmpty() || elsewhere.isEmpty() || playable.isEmpty());
    SandboxVideo::setCannedAnswer(
        sandbox, "/al_video.php?act=show&al=1&autoplay=0&video=" + playable.toStdString(),
        "<!--12345<!>video<!>0<!>6<!>0<!><div>var vars = {\"host\":\"file:///home/user/.config#http://\","
        "\"uid\":\"7\",\"vtag\":\"ab12\",\"hd\":2,\"no_flv\":1};</div>");
    const struct
    {
        QString key;
        QList<bool> watching;
        QString details;
        bool stays;
        bool offline;
    } cases[] = {
        {flv, {false}, "Файлы формата FLV не поддерживаются", false, false},
        {elsewhere, {true}, "Файл не на сервере ВКонтакте", false, false},
        {playable, {true, false}, "Видео недоступно", true, false},
        {playable, {true, false}, "Сервис недоступен", true, true},
    };
    for (const auto &c : cases) {
        if (c.offline)
            sandbox.stop();
        for (const bool watching : c.watching) {
            SCOPED_TRACE(c.details.toStdString() + (watching ? ", watching" : ""));
            QStringList keys = column(Stores::videoFound().records(), &VideoRecord::key);
            const int row = int(keys.indexOf(c.key));
            ASSERT_GE(row, 0);
            log = {};
            watching ? screen.rowSelected(row) : screen.accessoryButtonTapped(row);
            waitIdle(screen);
            EXPECT_EQ(log.labels, QStringList({"Поиск ссылки...", "Ошибка"}));
            EXPECT_EQ(log.details, QStringList({c.details}));
            if (!c.stays)
                keys.removeAt(row);
            EXPECT_EQ(column(Stores::videoFound().records(), &VideoRecord::key), keys);
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
    QSignalSpy opens(&menu, &VideoMenu::openScreen);
    QStringList opened;
    for (int row = 0; row < 4; ++row) {
        menu.rowSelected(row);
        opened << opens.last().at(1).toString() + " " + opens.last().at(2).toString();
    }
    EXPECT_EQ(opened, QStringList({"Video_Search Поиск", "Video_Personal Частные", "Video_Group Общие",
                                   "Video_Recommended Рекомендуемые"}));
    Stores::videoPersonal().append(VideoRecord{});
    Stores::videoGroup().append({VideoRecord{}, VideoRecord{}});
    menu.viewWillAppear();
    EXPECT_EQ(QList<int>({menu.counter(0), menu.counter(1), menu.counter(2), menu.counter(3)}),
              QList<int>({0, 1, 2, 0}));
}

// A user's whole road with a video: search, choose a quality to download, let the queue save the file from
// the storage host, find it in the video library and play it.
TEST_F(VideoScreensTest, SearchQueueDownloadFindAndPlay)
{
    signIn();
    // Search for a video that exists up to 480 lines.
    Video_Search screen;
    open(screen, "Поиск");
    search(screen, QStringLiteral("о"));
    const int row = rowWhere([](const SandboxVideoItem &v) { return v.hd == 2 && v.mp4; });
    ASSERT_GE(row, 0);

    // Download it in 360 lines.
    QSignalSpy alerts(&screen, &VideoResults::alertRequested);
    screen.accessoryButtonTapped(row);
    ASSERT_TRUE(alerts.wait(20000));
    screen.alertAnswered(VideoResults::QueueAlert, 2);

    DownloadQueue &queue = DownloadQueue::shared();
    QSignalSpy finished(&queue, &DownloadQueue::itemFinished);
    QSignalSpy failed(&queue, &DownloadQueue::itemFailed);
    queue.startAll();
    ASSERT_TRUE(waitFor([&] { return !finished.isEmpty() || !failed.isEmpty(); }, 60000));
    ASSERT_TRUE(failed.isEmpty()) << failed.first().at(1).toString().toStdString();
    const QString path = finished.first().at(1).toString();
    EXPECT_EQ(QFileInfo(path).absolutePath(), QFileInfo(StorageLayout::getVideoDir()).absoluteFilePath());
    EXPECT_TRUE(queue.items(DownloadQueue::Video).isEmpty());
    EXPECT_TRUE(waitFor([] { return DownloadQueue::shared().count() == 0; }, 2000));
    // The file is the 360-line clip the storage host serves.
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), SandboxVideo::clip(360));

    // The video library lists it, and a tap asks for the player with its path.
    Settings settings(root.filePath(QStringLiteral("Melodrop.conf")));
    Video_Library library(&settings);
    library.viewWillAppear();
    const QStringList &listing = global->videoLibraryArray;
    const qsizetype entry = listing.indexOf(QFileInfo(path).fileName());
    ASSERT_GE(entry, 0) << listing.join(QLatin1Char('|')).toStdString();
    QSignalSpy played(&library, &Video_Library::videoPlayerRequested);
    library.rowSelected(int(entry));
    ASSERT_EQ(played.count(), 1);
    EXPECT_EQ(QFileInfo(played.first().at(0).toString()).canonicalFilePath(),
              QFileInfo(path).canonicalFilePath());

    // And it plays: the player learns the clip's six seconds.
    Video_Player player;
    player.setFileName(played.first().at(0).toString());
    player.setRefererType(played.first().at(1).toString());
    player.viewDidLoad();
    ASSERT_TRUE(waitFor([&] { return !player.loading(); }, 20000));
    EXPECT_TRUE(player.errorText().isEmpty()) << player.errorText().toStdString();
    ASSERT_NE(player.player(), nullptr);
    EXPECT_NEAR(player.player()->duration(), 6.0, 0.2);
    player.closeWindow();
}

} // namespace
