#include "../support/ResultsScreens.h"

#include "core/PropertyList.h"
#include "sandbox/SandboxAudio.h"
#include "service/VKontakteWorks.h"

#include <QSignalSpy>

namespace {

using namespace TestSupport;

using AudioScreensTest = ResultsScreenTest;

TEST_F(AudioScreensTest, SearchWithoutSessionSaysSoAndSendsNothing)
{
    Audio_Search screen;
    open(screen, "Поиск");
    expectSignedOutSearchRefused(screen, screen.requestFile());
}

TEST_F(AudioScreensTest, SearchPagesUntilAShortPageAndRemembersTheRequest)
{
    signIn();
    // The sandbox is the oracle for how many hits a query has.
    const QString query = QStringLiteral("a");
    const int secondPage =
        int(VKontakteWorks::searchAudioWithOffset(query, 100, 0).value_or(QList<AudioRecord>()).size());

    Audio_Search screen;
    open(screen, "Поиск");
    QSignalSpy scrolled(&screen, &AudioResults::scrollToRow);
    search(screen, query);
    EXPECT_EQ(log.labels.first(), QStringLiteral("Выполняется поиск..."));
    ASSERT_EQ(Stores::audioFound().size(), 100)
        << "the seeded catalogue needs more than 100 hits for this query";
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
    EXPECT_NE(SandboxAudio::lastRequest(sandbox, "search")->target.find("offset=100"), std::string::npos);
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

TEST_F(AudioScreensTest, ARefusedTextIsNotSearched)
{
    signIn();
    SandboxAudio::setRiaaText(sandbox, "Запретная песня\r\nДругое\n");
    Audio_Search screen;
    open(screen, "Поиск");
    search(screen, "a");
    ASSERT_FALSE(Stores::audioFound().isEmpty());

    search(screen, "  Запретная песня ");
    EXPECT_EQ(log.labels.last(), QStringLiteral("Ошибка"));
    EXPECT_EQ(log.details.last(), QStringLiteral("Поиск ограничен правообладателями"));
    EXPECT_TRUE(Stores::audioFound().isEmpty());
    EXPECT_EQ(global->audioRiaaArray.size(), 3);
    EXPECT_NE(SandboxAudio::lastSearchText(sandbox), "  Запретная песня ");
}

TEST_F(AudioScreensTest, QueueOneAndQueueAllMoveRecordsToTheQueue)
{
    signIn();
    Audio_Search screen;
    open(screen, "Поиск");
    search(screen, "a");
    QList<AudioRecord> rest = Stores::audioFound().records();
    const qsizetype all = rest.size();
    ASSERT_GE(all, 4);

    screen.accessoryButtonTapped(2);
    const AudioRecord queued = rest.takeAt(2);
    const QList<QueueItem> &items = DownloadQueue::shared().items(DownloadQueue::Audio);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(QStringList({items[0].name, items[0].url, QString::number(items[0].tag)}),
              QStringList({queued.artist + " - " + queued.title, queued.url, queued.tag}));
    EXPECT_EQ(items[0].state, QueueItem::State::Waiting);
    EXPECT_EQ(column(Stores::audioFound().records(), &AudioRecord::tag), column(rest, &AudioRecord::tag));
    EXPECT_EQ(DownloadQueue::shared().count(), 1);
    waitIdle(screen);

    screen.addAllRecordsToQueue();
    EXPECT_TRUE(Stores::audioFound().isEmpty());
    EXPECT_EQ(items.size(), all);
    EXPECT_EQ(DownloadQueue::shared().count(), all);
    waitIdle(screen);
    screen.addAllRecordsToQueue(); // an empty list queues nothing
    EXPECT_EQ(items.size(), all);
    waitIdle(screen);
}

// Found, previewed and added to the own page, a record is listed there with the count and can be deleted.
TEST_F(AudioScreensTest, PreviewThenAddOrDeleteOnTheOwnPage)
{
    Audio_Personal personal;
    open(personal, "Частные");
    expectOwnNumberOnceSignedIn(personal);
    Audio_Search screen;
    open(screen, "Поиск");
    search(screen, "a");
    ASSERT_FALSE(Stores::audioFound().isEmpty());
    const AudioRecord foreign = Stores::audioFound().records().first();
    ASSERT_NE(foreign.oid, global->vkuid());
    const size_t ownBefore = SandboxAudio::userAudio(sandbox, "1000001").size();

    QSignalSpy alerts(&screen, &AudioResults::alertRequested);
    screen.rowSelected(0);
    ASSERT_EQ(alerts.count(), 1);
    EXPECT_EQ(alerts.at(0), QVariantList({"\n\n" + foreign.title, foreign.artist,
                                          QStringList({"Закрыть", "Добавить"}), 1}));
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
    ASSERT_TRUE(waitFor([&] { return sent.count() == 1; }, 20000));
    const size_t own = SandboxAudio::userAudio(sandbox, "1000001").size();
    ASSERT_EQ(own, ownBefore + 1);
    EXPECT_EQ(Stores::audioFound().records().first().tag, foreign.tag); // the list is left as it was

    waitIdle(screen);
    log = {};
    personal.setSelfId();
    waitIdle(personal);
    EXPECT_EQ(Stores::audioPersonal().size(), qsizetype(own));
    EXPECT_EQ(log.labels, QStringList({"Выполняется поиск...", "Завершено"}));
    EXPECT_EQ(log.details, QStringList({QStringLiteral("Найдено аудиозаписей: %1").arg(own)}));
    EXPECT_EQ(PropertyList::readRequest(personal.requestFile()).value_or(QString()),
              QStringLiteral("1000001"));
    QSignalSpy personalAlerts(&personal, &AudioResults::alertRequested);
    personal.rowSelected(int(Stores::audioPersonal().size()) - 1);
    EXPECT_EQ(personalAlerts.at(0).at(2).toStringList(), QStringList({"Закрыть", "Удалить"}));
    personal.alertAnswered(1, 1);
    EXPECT_TRUE(personalAlerts.at(1).at(1).toString().startsWith("Вы уверены, что хотите удалить запись"));
    QSignalSpy deleted(&personal, &AudioResults::pageChangeSent);
    personal.alertAnswered(2, 1);
    ASSERT_TRUE(waitFor([&] { return deleted.count() == 1; }, 20000));
    EXPECT_EQ(SandboxAudio::userAudio(sandbox, "1000001").size(), own - 1);

    // A user without audio answers with nothing: an empty list and a count of 0, not an error.
    search(personal, "424242");
    EXPECT_TRUE(Stores::audioPersonal().isEmpty());
    EXPECT_EQ(log.labels.last(), QStringLiteral("Завершено"));
    EXPECT_EQ(log.details.last(), QStringLiteral("Найдено аудиозаписей: 0"));
}

TEST_F(AudioScreensTest, NoAnswerIsAnErrorAndAFurtherPageIsAskedForAgain)
{
    signIn();
    Audio_Search screen;
    open(screen, "Поиск");
    search(screen, "a");
    ASSERT_EQ(Stores::audioFound().size(), 100);
    expectUnansweredPageAskedAgain(screen, global->audioSearchOffset, [&] {
        return SandboxAudio::lastRequest(sandbox, "search").value_or(SandboxRequest{}).target;
    });
    expectNoAnswerIsAnError(audioKinds(), audioBefore);
}

} // namespace
