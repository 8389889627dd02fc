#include "../support/Files.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "downloads/DownloadQueue.h"
#include "net/Http.h"
#include "sandbox/Sandbox.h"
#include "screens/Queue.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using TestSupport::readFile;

// The tags of the rows, 0 for a header.
QList<int> rowTags(Queue &queue)
{
    QList<int> tags;
    for (const QueueRowModel::Row &row : queue.rows()->rows())
        tags << (row.header ? 0 : row.tag);
    return tags;
}

class QueueTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sandbox.start());
        ASSERT_TRUE(root.isValid());
        StorageLayout::setRootDir(root.path());
        base = QString::fromStdString(sandbox.baseUrl());
        downloads.clear();
    }
    void TearDown() override
    {
        downloads.clear();
        downloads.setRetriesOnBreak(DownloadQueue::retriesOnBreak);
        StorageLayout::setRootDir(QString());
    }

    QString mp3Url(int seconds, const QString &name) const
    {
        return QStringLiteral("%1/storage/mp3/%2/%3.mp3").arg(base).arg(seconds).arg(name);
    }
    QString bytesUrl(qint64 size, const QString &name) const
    {
        return QStringLiteral("%1/storage/bytes/%2/%3.bin").arg(base).arg(size).arg(name);
    }
    QByteArray reference(const QString &url)
    {
        const long long served = sandbox.storageFaults().bytesServed.load();
        const QByteArray body = Http::get(url, {}, 10).body;
        sandbox.storageFaults().bytesServed.store(served);
        return body;
    }

    // Queues an item the way the catalogue screens do; returns its tag. `state` in the short form the rows
    // grew up with: "-1" waiting, "-2" failed, "0" started without a size, else the size of a started item.
    int add(int section, const QString &name, const QString &url, const QString &state = "-1",
            qint64 received = 0)
    {
        QueueItem item;
        item.name = name;
        item.url = url;
        item.tag = GlobalData::sharedGlobalData()->nextFileTag();
        item.state = state == "-1"   ? QueueItem::State::Waiting
                     : state == "-2" ? QueueItem::State::Failed
                                     : QueueItem::State::Started;
        item.size = item.state == QueueItem::State::Started ? state.toLongLong() : 0;
        item.received = received;
        downloads.append(section, item);
        return item.tag;
    }
    const QueueItem *find(int tag) const
    {
        for (const int section : {DownloadQueue::Audio, DownloadQueue::Video})
            for (const QueueItem &item : downloads.items(section))
                if (item.tag == tag)
                    return &item;
        return nullptr;
    }
    // The item's state in that same short form; "gone" once it left the queue.
    QString state(int tag) const
    {
        const QueueItem *item = find(tag);
        if (!item)
            return "gone";
        switch (item->state) {
        case QueueItem::State::Waiting:
            return "-1";
        case QueueItem::State::Failed:
            return "-2";
        case QueueItem::State::Started:
            break;
        }
        return QString::number(item->size);
    }
    QList<int> operationTags() const
    {
        QList<int> tags;
        if (downloads.transferPool())
            for (const DownloadRequestPtr &operation : downloads.transferPool()->operations())
                tags << operation->tag();
        return tags;
    }
    bool queueEmpty() const { return downloads.count() == 0; }
    QString audioFile(const QString &name) const { return StorageLayout::getAudioDir() + "/" + name; }

    Sandbox sandbox;
    QTemporaryDir root;
    QString base;
    DownloadQueue &downloads = DownloadQueue::shared();
    static constexpr int Audio = DownloadQueue::Audio;
    static constexpr int Video = DownloadQueue::Video;
};

TEST_F(QueueTest, ADownloadIsSavedUnderItsCleanNameOfItsOwnAndLeavesTheQueue)
{
    const QString url = mp3Url(5, "1000001_1");
    const QByteArray expected = reference(url);
    Queue queue;
    const int tag = add(Audio, "Artist/Band - Song: Title?", url);
    EXPECT_EQ(downloads.count(), 1);
    EXPECT_FALSE(QDir(StorageLayout::getAudioDir()).exists());
    QSignalSpy finished(&downloads, &DownloadQueue::itemFinished);

    queue.startAll();
    EXPECT_EQ(state(tag), "0");
    ASSERT_TRUE(TestSupport::waitFor([&] { return downloads.count() == 0; }));
    EXPECT_EQ(readFile(audioFile("ArtistBand - Song Title.mp3")), expected);
    EXPECT_FALSE(QFile::exists(audioFile(QStringLiteral("ArtistBand - Song Title.mp3.%1.temp").arg(tag))));
    ASSERT_EQ(finished.size(), 1);
    EXPECT_EQ(finished.at(0).at(1).toString(), audioFile("ArtistBand - Song Title.mp3"));
    // The traffic counter holds exactly the bytes that came.
    EXPECT_EQ(downloads.totalTraffic(), float(expected.size()));

    // Video goes to the video folder as .mp4.
    add(Video, "Clip", bytesUrl(5000, "clip"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    EXPECT_EQ(QFileInfo(StorageLayout::getVideoDir() + "/Clip.mp4").size(), 5000);

    // Two items of one name download side by side under names of their own (that neither writes into the
    // other's file is the engine's).
    sandbox.storageFaults().throttleBytesPerSecond = 40000;
    const int a = add(Audio, "Same", mp3Url(4, "1_1"));
    const int b = add(Audio, "Same", mp3Url(4, "2_2"));
    queue.startAll();
    const QString tempA = audioFile(QStringLiteral("Same.mp3.%1.temp").arg(a));
    const QString tempB = audioFile(QStringLiteral("Same (2).mp3.%1.temp").arg(b));
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return QFileInfo(tempA).size() > 0 && QFileInfo(tempB).size() > 0; }));
    sandbox.storageFaults().throttleBytesPerSecond = 0;
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    EXPECT_EQ(readFile(audioFile("Same.mp3")), reference(mp3Url(4, "1_1")));
    EXPECT_EQ(readFile(audioFile("Same (2).mp3")), reference(mp3Url(4, "2_2")));
}

TEST_F(QueueTest, StartAllStartsExactlyTheWaitingAndTheFailedAndRemovingOrLowMemoryEndsThem)
{
    sandbox.storageFaults().throttleBytesPerSecond = 20000;
    Queue queue;
    const int removed = add(Audio, "Removed", bytesUrl(200000, "r"));
    const int kept = add(Audio, "Kept", bytesUrl(200000, "k"));
    const int failed = add(Audio, "Failed", bytesUrl(200000, "f"), "-2", 100);
    const int started = add(Video, "Started", bytesUrl(200000, "s"), "0", 0);
    const int sized = add(Video, "Sized", bytesUrl(200000, "z"), "200000", 5000);

    queue.startAll();
    queue.startAll(); // a second press starts nothing twice
    EXPECT_EQ(operationTags(), QList<int>({removed, kept, failed}));
    EXPECT_EQ(state(started), "0");
    EXPECT_EQ(state(sized), "200000");
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return state(removed) == "200000" && state(kept) == "200000" && state(failed) == "200000"; }));

    // Removing a running item cancels it, keeps its data, and its late failure changes nothing.
    TestSupport::LogCapture log;
    queue.removeButton(removed);
    EXPECT_EQ(state(removed), "gone");
    EXPECT_EQ(operationTags().size(), 3); // the cancelled one is still on its way out
    ASSERT_TRUE(TestSupport::waitFor([&] { return operationTags() == QList<int>({kept, failed}); }));
    EXPECT_GT(QFileInfo(audioFile(QStringLiteral("Removed.mp3.%1.temp").arg(removed))).size(), 0);
    EXPECT_FALSE(QFile::exists(audioFile("Removed.mp3")));
    EXPECT_EQ(log.lines().size(), 1); // the cancellation's failure was logged and found no item
    EXPECT_EQ(state(kept), "200000");
    // A waiting item just leaves.
    const int waiting = add(Video, "Never started", bytesUrl(300000, "n"));
    queue.removeButton(waiting);
    EXPECT_EQ(state(waiting), "gone");

    // Short of memory, the running ones fail.
    queue.cancelTransfersForLowMemory();
    ASSERT_TRUE(TestSupport::waitFor([&] { return operationTags().isEmpty(); }));
    EXPECT_EQ(QStringList({state(kept), state(failed), state(started)}), QStringList({"-2", "-2", "0"}));
    EXPECT_EQ(log.lines().size(), 3); // each failure logs its description
    EXPECT_EQ(downloads.items(Audio).size() + downloads.items(Video).size(), 4);
}

// How a resume asks for the rest, and what it does with a whole file for an answer, is the engine's. The
// queue fails the item with its reason, starts it again at a tap, and counts each byte that came.
TEST_F(QueueTest, ADroppedItemFailsATapResumesItAndTheTrafficCountsWhatCame)
{
    downloads.setRetriesOnBreak(0); // the break is the failure under test
    const QString url = bytesUrl(300000, "dropped");
    const QByteArray expected = reference(url);
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    Queue queue;
    TestSupport::LogCapture log;
    for (const bool whole : {false, true}) {
        SCOPED_TRACE(whole ? "answered with the whole file" : "answered with the rest");
        const float before = downloads.totalTraffic();
        faults.dropAfterBytes = 100000;
        faults.ignoreRange = whole;
        const QString name = whole ? "Again" : "Dropped";
        const int tag = add(Audio, name, url);
        queue.rowTapped(0, 0);
        ASSERT_TRUE(TestSupport::waitFor([&] { return state(tag) == "-2"; }));
        EXPECT_FALSE(QFile::exists(audioFile(name + ".mp3")));
        EXPECT_EQ(Queue::statusText(downloads.items(Audio).first()), "обрыв связи, нажмите для запуска");

        faults.dropAfterBytes = -1;
        QSignalSpy scroll(&queue, &Queue::scrollToRowRequested);
        queue.rowTapped(0, 0);
        EXPECT_EQ(scroll.size(), 1);
        ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
        EXPECT_EQ(readFile(audioFile(name + ".mp3")), expected);
        EXPECT_EQ(downloads.totalTraffic() - before, float(whole ? 400000 : 300000));
    }
    ASSERT_EQ(log.lines().size(), 2); // each failure logs its description
    EXPECT_FALSE(log.lines().first().isEmpty());
}

TEST_F(QueueTest, AnItemInBothListsIsUpdatedAndRemovedInBoth)
{
    downloads.setRetriesOnBreak(0); // the break is the failure under test
    Queue queue;
    add(Audio, "Twin", bytesUrl(8000, "twin"));
    QueueItem twin = downloads.items(Audio).first();
    twin.name = "Twin video";
    downloads.append(Video, twin);
    sandbox.storageFaults().dropAfterBytes = 3000;
    downloads.start(0, 0);
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return downloads.items(Audio).first().state == QueueItem::State::Failed; }));
    EXPECT_EQ(downloads.items(Video).first().state, QueueItem::State::Failed);
    EXPECT_EQ(downloads.items(Video).first().received, 3000);

    sandbox.storageFaults().dropAfterBytes = -1;
    downloads.start(0, 0);
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    EXPECT_FALSE(QFile::exists(StorageLayout::getVideoDir() + "/Twin video.mp4"));
    EXPECT_EQ(QFileInfo(audioFile("Twin.mp3")).size(), 8000);
}

// "Убрать ожидающие" takes the waiting items, and the started ones whose transfers wait for a slot; the
// running, the failed and the started ones without a transfer stay, and the table shows the change at once.
TEST_F(QueueTest, ClearInactiveTakesTheWaitingAlsoForASlotAndRedrawsAtOnce)
{
    sandbox.storageFaults().throttleBytesPerSecond = 40000;
    Queue queue;
    QList<int> tags;
    for (int i = 0; i < 5; ++i)
        tags << add(Audio, QStringLiteral("Song %1").arg(i), bytesUrl(60000, QString::number(i)));
    const int failed = add(Audio, "Failed", bytesUrl(1, "b"), "-2");
    add(Video, "Never started", bytesUrl(10, "n"));
    const int started = add(Video, "Started", bytesUrl(1, "d"), "0");
    const int sized = add(Video, "Sized", bytesUrl(1, "e"), "100", 50);
    for (int row = 0; row < 5; ++row)
        downloads.start(Audio, row);
    for (int tag : tags)
        EXPECT_EQ(state(tag), "0");
    // Three run at a time (the engine's rule); the rows of the two left tell that they wait.
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return state(tags[0]) != "0" && state(tags[1]) != "0" && state(tags[2]) != "0"; }));
    EXPECT_EQ(state(tags[0]), "60000");
    EXPECT_EQ(state(tags[3]) + state(tags[4]), "00");
    queue.reloadTable();
    const auto &rows = queue.rows()->rows();
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[4].status + rows[5].status, "ОжидаетОжидает");
    EXPECT_TRUE(rows[1].status.startsWith("осталось ")) << rows[1].status.toStdString();

    queue.clearInactive();
    EXPECT_EQ(rowTags(queue), QList<int>({0, tags[0], tags[1], tags[2], failed, 0, started, sized}));
    ASSERT_TRUE(TestSupport::waitFor([&] { return downloads.count() == 6; }));

    sandbox.storageFaults().throttleBytesPerSecond = 0;
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return downloads.items(Audio).size() == 1 && operationTags().isEmpty(); }));
    EXPECT_TRUE(QFile::exists(audioFile("Song 2.mp3")));
    EXPECT_FALSE(QFile::exists(audioFile("Song 3.mp3")));
    EXPECT_FALSE(QFile::exists(audioFile("Song 4.mp3")));
}

// A running row tells its speed over the last seconds and the time the rest takes at it, by the queue's
// clock and the bytes the item has.
TEST_F(QueueTest, ARunningRowShowsItsSpeedAndTheTimeLeft)
{
    qint64 now = 100000;
    Queue queue;
    queue.setClock([&] { return now; });
    constexpr qint64 MiB = 1024 * 1024;
    QueueItem item{"Film", "u", GlobalData::sharedGlobalData()->nextFileTag()};
    item.state = QueueItem::State::Started;
    item.size = 10 * MiB;
    // The rate is held together by a no-break space and a word joiner; compared here as plain text.
    const auto plain = [](QString text) {
        return text.replace(QChar::Nbsp, QLatin1Char(' ')).remove(QChar(0x2060));
    };
    // The row's status once the transfer has `received` bytes of the item (-1: no news).
    const auto status = [&](qint64 received) {
        if (received >= 0) {
            downloads.remove(item.tag);
            item.received = received;
            downloads.append(Video, item);
        }
        queue.reloadTable();
        return plain(queue.rows()->rows().back().status);
    };
    EXPECT_EQ(status(1 * MiB), "осталось 9.00 Мб (всего 10.00 Мб)"); // one count tells no speed yet
    now += 2000;
    EXPECT_EQ(status(3 * MiB), "осталось 7.00 Мб (всего 10.00 Мб), 1.00 Мб/с, ещё 0:07");
    // The speed follows the last five seconds: 0.5 MiB in them.
    now += 5000;
    EXPECT_EQ(status(3 * MiB + MiB / 2), "осталось 6.50 Мб (всего 10.00 Мб), 102 Кб/с, ещё 1:05");
    // Stalled: no time can be told.
    now += 6000;
    EXPECT_EQ(status(-1), "осталось 6.50 Мб (всего 10.00 Мб), 0 Кб/с");

    EXPECT_EQ(plain(Queue::speedText(1024, 2 * 3600 * 1024 + 1024)), "1 Кб/с, ещё 2:00:01");
    EXPECT_EQ(Queue::speedText(1024, 0), "1\u00a0Кб/\u2060с");
    EXPECT_EQ(plain(queue.rows()->data(queue.rows()->index(2), QueueRowModel::DetailRole).toString()),
              "осталось 6.50 Мб (всего 10.00 Мб), 0 Кб/с");
}

TEST_F(QueueTest, RowsShowEachStateAsTheTableSaysAndCallbacksForATagWithoutItemChangeNone)
{
    Queue queue;
    add(Audio, "Waiting", "u", "-1", 0);
    add(Audio, "Failed", "u", "-2", 12);
    add(Audio, "Started", "u", "0", 0);
    const int half = add(Video, "Half", "u", "1048576", 524288);
    const int done = add(Video, "Done", "u", "3000000", 3000000);
    // Callbacks for a tag without an item change nothing but the traffic, which counts whatever arrived.
    DownloadRequest::Options options;
    options.tag = 424242;
    const DownloadRequestPtr stray = DownloadRequest::create(options, {});
    downloads.transferFailed(*stray);
    downloads.transferDone(*stray);
    downloads.bytesArrived(*stray, 64);
    EXPECT_EQ(downloads.totalTraffic(), 64.0f);
    queue.reloadTable();

    // "# header", or "name|status|icon|section:row|progress|removable".
    QStringList lines;
    for (const QueueRowModel::Row &row : queue.rows()->rows())
        lines << (row.header ? "# " + row.title
                             : QStringLiteral("%1|%2|%3|%4:%5|%6|%7")
                                   .arg(row.name, row.status, row.icon)
                                   .arg(row.section)
                                   .arg(row.row)
                                   .arg(row.progress)
                                   .arg(int(row.removable)));
    EXPECT_EQ(lines,
              (QStringList{"# Очередь аудиозаписей", "Waiting|нажмите для запуска|icon_audio.png|0:0|0|1",
                           "Failed|обрыв связи, нажмите для запуска|icon_audio.png|0:1|0|1",
                           "Started|сохранение запущено|icon_audio.png|0:2|0|1", "# Очередь видеозаписей",
                           "Half|осталось 0.50 Мб (всего 1.00 Мб)|icon_video.png|1:0|0.5|1",
                           "Done|сохранение завершено|icon_video.png|1:1|1|0"}));
    EXPECT_EQ(queue.rows()->rows().at(5).tag, half);

    // The model hands the same to the view through its roles.
    QueueRowModel *model = queue.rows();
    EXPECT_EQ(model->data(model->index(5), QueueRowModel::StatusRole).toString(),
              "осталось 0.50 Мб (всего 1.00 Мб)");
    EXPECT_EQ(model->data(model->index(4), QueueRowModel::KindRole).toString(), "header");
    EXPECT_TRUE(model->roleNames().values().contains("removable"));

    // A finished row's button does nothing; the item leaves when its transfer reports.
    queue.removeButton(done);
    EXPECT_EQ(downloads.items(Video).size(), 2);
    // Tapping a started or sized row starts nothing.
    queue.rowTapped(0, 2);
    queue.rowTapped(1, 0);
    queue.rowTapped(1, 7); // beyond the list
    EXPECT_TRUE(operationTags().isEmpty());
}

TEST_F(QueueTest, TrafficAlertGivesMegabytesAndTheAverageRate)
{
    Queue queue;
    QSignalSpy alerts(&queue, &Queue::alertRequested);
    // Bytes that came for no item still count.
    downloads.bytesArrived(*DownloadRequest::create({}, {}), 3 * 1048576 + 524288);
    queue.trafficButtonPressed();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.at(0).at(0).toString().isEmpty());
    EXPECT_EQ(alerts.at(0).at(1).toString(),
              "Объём данных, полученный с момента запуска приложения:\n\n3.50 Мб (@ ~0 Кбит/с)");
    EXPECT_EQ(alerts.at(0).at(2).toStringList(), QStringList({"Готово"}));

    // After a transfer the rate is the engine's recent average in kilobits.
    add(Audio, "Rate", bytesUrl(400000, "rate"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    queue.trafficButtonPressed();
    const QString message = alerts.at(1).at(1).toString();
    const QRegularExpressionMatch match =
        QRegularExpression(
            R"(^Объём данных, полученный с момента запуска приложения:\n\n3\.88 Мб \(@ ~(\d+) Кбит/с\)$)")
            .match(message);
    ASSERT_TRUE(match.hasMatch()) << message.toStdString();
    EXPECT_GT(match.captured(1).toInt(), 0);
    EXPECT_LE(match.captured(1).toLongLong(), 400000 / 128);
}

TEST_F(QueueTest, TimerRedrawsOnlyWhileTheScreenIsShownAndTheProgramActiveAndNotUnderAPressedPointer)
{
    // One redraw timer at a time: a screen loaded again ends the one before.
    auto earlier = std::make_unique<Queue>();
    earlier->viewDidLoad();
    QPointer<QTimer> old = earlier->findChild<QTimer *>();
    ASSERT_TRUE(old);
    Queue queue;
    queue.viewDidLoad();
    QTimer *timer = queue.findChild<QTimer *>();
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_FALSE(old->isActive());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());

    bool active = true;
    queue.setApplicationActiveProvider([&active] { return active; });
    queue.viewWillAppear();
    EXPECT_EQ(queue.rows()->rowCount(), 2); // two headers
    add(Audio, "New", "u");
    queue.updateQueue(); // not shown yet
    EXPECT_EQ(queue.rows()->rowCount(), 2);
    queue.viewDidAppear();
    active = false;
    queue.updateQueue();
    EXPECT_EQ(queue.rows()->rowCount(), 2);
    active = true;
    queue.updateQueue();
    EXPECT_EQ(queue.rows()->rowCount(), 3);

    // Progress changes rows in place; the layout stays.
    QSignalSpy resets(queue.rows(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(queue.rows(), &QAbstractItemModel::dataChanged);
    DownloadRequest::Options failing;
    failing.tag = downloads.items(Audio).first().tag;
    downloads.transferFailed(*DownloadRequest::create(failing, {}));
    queue.updateQueue();
    EXPECT_EQ(resets.size(), 0);
    EXPECT_EQ(changes.size(), 1);

    queue.viewWillDisappear();
    add(Audio, "Another", "u");
    queue.updateQueue();
    EXPECT_EQ(queue.rows()->rowCount(), 3);
    // The tick runs by itself (once a second; the test does not wait that long).
    queue.viewDidAppear();
    timer->setInterval(10);
    EXPECT_TRUE(TestSupport::waitFor([&] { return queue.rows()->rowCount() == 4; }, 3000));

    // A pressed pointer keeps the rows where they are (the row released on is the row pressed on); they catch
    // up at the release.
    const QList<int> pressed = rowTags(queue);
    queue.setPointerHeld(true);
    downloads.remove(downloads.items(Audio).first().tag);
    queue.updateQueue();
    EXPECT_EQ(rowTags(queue), pressed) << "nothing moves under a pressed pointer";
    queue.setPointerHeld(false);
    EXPECT_EQ(rowTags(queue), pressed.mid(0, 1) + pressed.mid(2));
    queue.viewWillDisappear();
}

} // namespace
