#include "../support/OverlayLog.h"
#include "../support/SandboxSignIn.h"

#include "core/PropertyList.h"
#include "core/StorageLayout.h"
#include "core/Stores.h"
#include "downloads/DownloadQueue.h"
#include "sandbox/SandboxAudio.h"
#include "screens/Audio_Group.h"
#include "screens/Audio_Personal.h"
#include "screens/Audio_Recommended.h"
#include "screens/Audio_Search.h"
#include "service/Session.h"
#include "service/VKontakteWorks.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class AudioScreensTest : public TestSupport::ServiceSandboxTest
{
protected:
    AudioScreensTest() : ServiceSandboxTest(false) {}
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ServiceSandboxTest::SetUp());
        StorageLayout::setRootDir(root.path());
        Stores::audioFound().clear();
        Stores::audioPersonal().clear();
        DownloadQueue::shared().clear();
        global->addAudioHash = QStringLiteral("0");
        global->delAudioHash = QStringLiteral("0");
    }

    void watch(AudioResults &screen) { log.watch(screen); }

    static bool idle(const AudioResults &screen)
    {
        return !screen.hud() && !screen.searchBusy() && !screen.tableBusy() && !screen.addingRecords();
    }
    static void waitIdle(const AudioResults &screen)
    {
        ASSERT_TRUE(TestSupport::waitFor([&] { return idle(screen); }, 30000));
    }

    QTemporaryDir root;
    OverlayLog log;
};

TEST_F(AudioScreensTest, SearchWithoutSessionSaysSoAndSendsNothing)
{
    Audio_Search screen;
    screen.setTitle("Поиск");
    watch(screen);
    screen.viewDidLoad();
    screen.viewWillAppear();
    screen.setSearchText("Кино");
    screen.searchBarSearchButtonClicked();
    EXPECT_TRUE(screen.searchBusy());
    screen.searchBarSearchButtonClicked(); // busy: ignored
    waitIdle(screen);
    EXPECT_EQ(log.labels, QStringList({"Ошибка"}));
    EXPECT_EQ(log.details, QStringList({"Не выполнен вход"}));
    EXPECT_EQ(log.minShowTimes, QList<float>({2.0f}));
    EXPECT_FALSE(QFileInfo::exists(screen.requestFile()));
    EXPECT_FALSE(SandboxAudio::lastRequest(sandbox, "search").has_value());
}

TEST_F(AudioScreensTest, SearchPagesUntilAShortPageAndRemembersTheRequest)
{
    signIn();
    // The sandbox is the oracle for how many hits a query has.
    const QString query = QStringLiteral("a");
    const int firstPage =
        int(VKontakteWorks::searchAudioWithOffset(query, 0, 0).value_or(QList<AudioRecord>()).size());
    const int secondPage =
        int(VKontakteWorks::searchAudioWithOffset(query, 100, 0).value_or(QList<AudioRecord>()).size());
    ASSERT_EQ(firstPage, 100) << "the seeded catalogue needs more than 100 hits for this query";

    Audio_Search screen;
    screen.setTitle("Поиск");
    watch(screen);
    screen.viewWillAppear();
    screen.setSearchText(query);
    QSignalSpy scrolled(&screen, &AudioResults::scrollToRow);
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    EXPECT_EQ(log.labels.first(), QStringLiteral("Выполняется поиск..."));
    EXPECT_EQ(Stores::audioFound().size(), 100);
    EXPECT_EQ(screen.records()->rowCount(), 100);
    EXPECT_EQ(global->audioSearchOffset, 0);
    ASSERT_GE(scrolled.count(), 1);
    EXPECT_EQ(scrolled.last().at(0).toInt(), 0);
    EXPECT_EQ(PropertyList::readRequest(screen.requestFile()).value_or(QString()), query);

    screen.cellShown(50); // not the last row
    EXPECT_FALSE(screen.addingRecords());
    screen.cellShown(99);
    EXPECT_TRUE(screen.addingRecords());
    EXPECT_EQ(global->audioSearchOffset, 1);
    screen.cellShown(99); // already loading: nothing new
    EXPECT_EQ(global->audioSearchOffset, 1);
    waitIdle(screen);
    EXPECT_EQ(log.labels.last(), QStringLiteral("Добавление записей..."));
    EXPECT_EQ(Stores::audioFound().size(), 100 + secondPage);
    EXPECT_EQ(SandboxAudio::lastRequest(sandbox, "search")->target.find("offset=100") != std::string::npos,
              true);

    if (secondPage % 100 != 0) {
        EXPECT_EQ(global->audioSearchOffset, 10);
        screen.cellShown(int(Stores::audioFound().size()) - 1);
        EXPECT_FALSE(screen.addingRecords());
    }

    // A restart shows the last request in the field.
    Audio_Search again;
    again.setTitle("Поиск");
    again.viewWillAppear();
    EXPECT_EQ(again.searchText(), query);
}

TEST_F(AudioScreensTest, RightsHoldersRefuseTrimmedExactTexts)
{
    signIn();
    SandboxAudio::setRiaaText(sandbox, "Запретная песня\r\nДругое\n");
    Audio_Search screen;
    screen.setTitle("Поиск");
    watch(screen);
    screen.viewWillAppear();
    screen.setSearchText("a");
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    ASSERT_FALSE(Stores::audioFound().isEmpty());

    screen.setSearchText("  Запретная песня ");
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    EXPECT_EQ(log.labels.last(), QStringLiteral("Ошибка"));
    EXPECT_EQ(log.details.last(), QStringLiteral("Поиск ограничен правообладателями"));
    EXPECT_TRUE(Stores::audioFound().isEmpty());
    EXPECT_EQ(global->audioRiaaArray.size(), 3);
    EXPECT_NE(SandboxAudio::lastSearchText(sandbox), "  Запретная песня ");

    screen.setSearchText("запретная песня"); // case counts
    const int detailsBefore = int(log.details.size());
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    EXPECT_EQ(int(log.details.size()), detailsBefore);
    EXPECT_EQ(SandboxAudio::lastSearchText(sandbox), "запретная песня");
}

TEST_F(AudioScreensTest, QueueOneAndQueueAllMoveRecordsToTheQueue)
{
    signIn();
    Audio_Search screen;
    screen.setTitle("Поиск");
    screen.viewWillAppear();
    screen.setSearchText("a");
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    const QList<AudioRecord> before = Stores::audioFound().records();
    ASSERT_GE(before.size(), 4);

    screen.accessoryButtonTapped(2);
    ASSERT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).size(), 1);
    const QueueItem &item = DownloadQueue::shared().items(DownloadQueue::Audio).first();
    EXPECT_EQ(item.name, before.at(2).artist + " - " + before.at(2).title);
    EXPECT_EQ(item.url, before.at(2).url);
    EXPECT_EQ(item.tag, before.at(2).tag.toInt());
    EXPECT_EQ(item.state, QueueItem::State::Waiting);
    EXPECT_EQ(Stores::audioFound().size(), before.size() - 1);
    EXPECT_EQ(Stores::audioFound().at(2).tag, before.at(3).tag);
    EXPECT_EQ(Stores::audioFound().at(1).tag, before.at(1).tag);
    EXPECT_EQ(DownloadQueue::shared().count(), 1);
    waitIdle(screen);

    screen.addAllRecordsToQueue();
    EXPECT_TRUE(Stores::audioFound().isEmpty());
    EXPECT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).size(), before.size());
    EXPECT_EQ(DownloadQueue::shared().count(), before.size());
    waitIdle(screen);
    screen.addAllRecordsToQueue(); // an empty list queues nothing
    EXPECT_EQ(DownloadQueue::shared().items(DownloadQueue::Audio).size(), before.size());
    waitIdle(screen);
}

TEST_F(AudioScreensTest, PersonalScreenLoadsTheOwnListAndReportsTheCount)
{
    Audio_Personal screen;
    screen.setTitle("Частные");
    watch(screen);
    screen.viewWillAppear();
    EXPECT_EQ(screen.placeholder(), QStringLiteral("ID пользователя (ваш - неизвестен)"));
    screen.setSelfId(); // signed out: nothing
    EXPECT_FALSE(screen.searchBusy());

    signIn();
    screen.viewWillAppear();
    EXPECT_EQ(screen.placeholder(), QStringLiteral("ID пользователя (ваш - 1000001)"));
    screen.setSelfId();
    waitIdle(screen);
    const int own = int(SandboxAudio::userAudio(sandbox, "1000001").size());
    EXPECT_EQ(Stores::audioPersonal().size(), own);
    EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Завершено"}));
    EXPECT_EQ(log.details, QStringList({QStringLiteral("Найдено аудиозаписей: %1").arg(own)}));
    EXPECT_EQ(PropertyList::readRequest(screen.requestFile()).value_or(QString()), QStringLiteral("1000001"));

    screen.setSearchText("10 01"); // a blank makes no address: an empty list and a count of 0
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    EXPECT_TRUE(Stores::audioPersonal().isEmpty());
    EXPECT_EQ(log.details.last(), QStringLiteral("Найдено аудиозаписей: 0"));
}

TEST_F(AudioScreensTest, PreviewThenAddOrDeleteOnThePage)
{
    signIn();
    Audio_Search screen;
    screen.setTitle("Поиск");
    screen.viewWillAppear();
    screen.setSearchText("a");
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    ASSERT_FALSE(Stores::audioFound().isEmpty());
    const AudioRecord foreign = Stores::audioFound().records().first();
    ASSERT_NE(foreign.oid, global->vkuid());
    const size_t ownBefore = SandboxAudio::userAudio(sandbox, "1000001").size();

    QSignalSpy alerts(&screen, &AudioResults::alertRequested);
    screen.rowSelected(0);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0).at(0).toString(), "\n\n" + foreign.title);
    EXPECT_EQ(alerts.at(0).at(1).toString(), foreign.artist);
    EXPECT_EQ(alerts.at(0).at(2).toStringList(), QStringList({"Закрыть", "Добавить"}));
    EXPECT_EQ(alerts.at(0).at(3).toInt(), 1);
    EXPECT_NE(screen.miniPlayer(), nullptr);

    // Closing the preview sends nothing.
    screen.alertAnswered(1, 0);
    EXPECT_EQ(screen.miniPlayer(), nullptr);
    EXPECT_EQ(alerts.count(), 1);

    screen.rowSelected(0);
    screen.alertAnswered(1, 1);
    ASSERT_EQ(alerts.count(), 3);
    EXPECT_EQ(alerts.at(2).at(0).toString(), QStringLiteral("Предупреждение"));
    EXPECT_TRUE(alerts.at(2).at(1).toString().startsWith("Вы уверены, что хотите добавить запись"));
    EXPECT_EQ(alerts.at(2).at(2).toStringList(), QStringList({"Отмена", "Да, уверен"}));
    screen.alertAnswered(2, 0); // "Отмена": no token, no request
    EXPECT_EQ(SandboxAudio::tokenPageFetches(sandbox), 0);

    QSignalSpy sent(&screen, &AudioResults::pageChangeSent);
    screen.alertAnswered(2, 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return sent.count() == 1; }, 20000));
    const std::vector<SandboxTrack> own = SandboxAudio::userAudio(sandbox, "1000001");
    ASSERT_EQ(own.size(), ownBefore + 1);
    EXPECT_EQ(Stores::audioFound().records().first().tag, foreign.tag); // the list is left as it was

    // The added record, listed on the own page, is offered for deletion.
    Audio_Personal personal;
    personal.setTitle("Частные");
    personal.viewWillAppear();
    personal.setSelfId();
    waitIdle(personal);
    const int row = int(Stores::audioPersonal().size()) - 1;
    QSignalSpy personalAlerts(&personal, &AudioResults::alertRequested);
    personal.rowSelected(row);
    EXPECT_EQ(personalAlerts.at(0).at(2).toStringList(), QStringList({"Закрыть", "Удалить"}));
    personal.alertAnswered(1, 1);
    EXPECT_TRUE(personalAlerts.at(1).at(1).toString().startsWith("Вы уверены, что хотите удалить запись"));
    QSignalSpy deleted(&personal, &AudioResults::pageChangeSent);
    personal.alertAnswered(2, 1);
    ASSERT_TRUE(TestSupport::waitFor([&] { return deleted.count() == 1; }, 20000));
    EXPECT_EQ(SandboxAudio::userAudio(sandbox, "1000001").size(), own.size() - 1);
}

TEST_F(AudioScreensTest, AlbumModeLocksTheFieldAndLoadsNoPages)
{
    Stores::audioFound().append(AudioRecord{"1:00", "http://x/1.mp3", "T", "A", "1", "1", "2"});
    Audio_Search screen;
    screen.setTitle("Best of");
    PropertyList::writeRequest(screen.requestFile(), "old query");
    screen.viewWillAppear();
    EXPECT_FALSE(screen.inputEnabled());
    EXPECT_TRUE(screen.searchText().isEmpty());
    EXPECT_EQ(screen.placeholder(), QStringLiteral("Альбом: Best of"));
    screen.cellShown(0);
    EXPECT_FALSE(screen.addingRecords());
    EXPECT_EQ(screen.records()->rowCount(), 1);
}

TEST_F(AudioScreensTest, AListThatGotNoAnswerIsAnErrorNotAnEmptyList)
{
    signIn();
    // An answer with nothing in it is an empty list.
    Audio_Personal personal;
    personal.setTitle("Частные");
    watch(personal);
    personal.viewWillAppear();
    personal.setSearchText("424242");
    personal.searchBarSearchButtonClicked();
    waitIdle(personal);
    EXPECT_EQ(log.labels.last(), QStringLiteral("Завершено"));
    EXPECT_EQ(log.details.last(), QStringLiteral("Найдено аудиозаписей: 0"));

    // No answer at all is not.
    sandbox.stop();
    struct Case
    {
        const char *title;
        std::function<AudioResults *()> make;
        QString input;
    };
    const QList<Case> cases = {
        {"Поиск", [] { return new Audio_Search; }, "a"},
        {"Частные", [] { return new Audio_Personal; }, "1000001"},
        {"Общие", [] { return new Audio_Group; }, "1"},
        {"Рекомендуемые", [] { return new Audio_Recommended; }, "1000001"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.title);
        std::unique_ptr<AudioResults> screen(c.make());
        screen->store().assign({AudioRecord{"1:00", "http://x/1.mp3", "Old", "A", "1", "1", "2"}});
        screen->setTitle(QString::fromUtf8(c.title));
        log = {};
        watch(*screen);
        screen->viewWillAppear();
        screen->setSearchText(c.input);
        screen->searchBarSearchButtonClicked();
        waitIdle(*screen);
        EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Ошибка"}));
        EXPECT_EQ(log.details, QStringList({"Сервис недоступен"}));
        EXPECT_TRUE(screen->store().isEmpty());
        EXPECT_EQ(screen->records()->rowCount(), 0);
    }
}

TEST_F(AudioScreensTest, AFurtherPageThatGotNoAnswerIsAskedForAgain)
{
    signIn();
    Audio_Search screen;
    screen.setTitle("Поиск");
    watch(screen);
    screen.viewWillAppear();
    screen.setSearchText("a");
    screen.searchBarSearchButtonClicked();
    waitIdle(screen);
    ASSERT_EQ(Stores::audioFound().size(), 100);

    const int port = sandbox.port();
    sandbox.stop();
    screen.cellShown(99);
    waitIdle(screen);
    EXPECT_EQ(log.labels.last(), QStringLiteral("Ошибка"));
    EXPECT_EQ(log.details.last(), QStringLiteral("Сервис недоступен"));
    EXPECT_EQ(global->audioSearchOffset, 0); // the page was not read: the position stays
    EXPECT_EQ(Stores::audioFound().size(), 100);

    // The next scroll to the end asks for that same page.
    ASSERT_TRUE(sandbox.start(port));
    screen.cellShown(99);
    waitIdle(screen);
    EXPECT_NE(global->audioSearchOffset, 0); // 1, or 10 when that page was the last one
    const std::optional<SandboxRequest> asked = SandboxAudio::lastRequest(sandbox, "search");
    ASSERT_TRUE(asked.has_value());
    EXPECT_NE(asked->target.find("offset=100"), std::string::npos) << asked->target;
    EXPECT_GT(Stores::audioFound().size(), 100);
}

} // namespace
