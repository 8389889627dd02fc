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

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

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
    bool failed(int tag) const { return state(tag) == "-2"; }
    // The row of the item with `tag`; a default row when there is none.
    static QueueRowModel::Row row(Queue &queue, int tag)
    {
        queue.reloadTable();
        for (const QueueRowModel::Row &row : queue.rows()->rows())
            if (!row.header && row.tag == tag)
                return row;
        return {};
    }
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

// The queue names what it saves so that the file system takes it, and tells in the row why an item failed
// without losing what it already has.
TEST_F(QueueTest, TitlesWithFormatMarksAndLongCyrillicTitlesAreSavedUnderTheirOwnNames)
{
    const QString cyrillic = QString(125, QChar(0x0416)); // "ЖЖЖ…", 250 bytes in UTF-8
    const QString emoji = QString::fromUtf8("😀").repeated(70);
    const QStringList titles = {"Top 100%1 hits", "A %2 B", "%L1 live", "100%% pure", cyrillic, emoji};
    Queue queue;
    QList<int> tags;
    QStringList urls;
    for (int i = 0; i < titles.size(); ++i) {
        urls << bytesUrl(5000 + i, QStringLiteral("title%1").arg(i));
        tags << add(Audio, titles.at(i), urls.last());
    }
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }, 20000));

    const QStringList saved = QDir(audioFile("")).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(saved.size(), titles.size()) << saved.join(" | ").toStdString();
    for (int i = 0; i < titles.size(); ++i) {
        SCOPED_TRACE(titles.at(i).left(20).toStdString());
        QString found;
        for (const QString &name : saved)
            if (name.startsWith(titles.at(i).left(10)))
                found = name;
        ASSERT_TRUE(found.endsWith(".mp3")) << found.toStdString();
        EXPECT_EQ(readFile(audioFile(found)), reference(urls.at(i)));
        const QString stem = found.chopped(4);
        if (i < 4) {
            EXPECT_EQ(stem, titles.at(i));
            continue;
        }
        // Cut to whole characters so that "name.mp3.TAG.temp" fits 255 bytes.
        EXPECT_TRUE(titles.at(i).startsWith(stem));
        EXPECT_FALSE(stem.toUtf8().contains("\xEF\xBF\xBD")); // no replacement mark from a split character
        const int temporaryBytes = int((found + "." + QString::number(tags.at(i)) + ".temp").toUtf8().size());
        EXPECT_LE(temporaryBytes, 255);
        EXPECT_GT(temporaryBytes, 245); // as much of the title as fits, not far less
    }
}

TEST_F(QueueTest, AFailedItemSaysWhyAndKeepsTheProgressOfWhatItHas)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    Queue queue;
    DownloadQueue::shared().setRetriesOnBreak(0); // each break is a failure here

    // A part answer where the whole file was asked for (that the part stays for the rest is the engine's).
    faults.partialAnswerBytes = 100000;
    const int part = add(Audio, "Part", bytesUrl(400000, "part"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed(part); }));
    EXPECT_EQ(row(queue, part).status, "неполный ответ сервера, нажмите для запуска");
    EXPECT_DOUBLE_EQ(row(queue, part).progress, 0.25);
    EXPECT_FALSE(QFile::exists(audioFile("Part.mp3")));
    faults.partialAnswerBytes = -1;

    faults.dropAfterBytes = 50000;
    const int dropped = add(Audio, "Dropped", bytesUrl(200000, "dropped"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed(dropped); }));
    const QueueRowModel::Row broken = row(queue, dropped);
    EXPECT_EQ(broken.status, "обрыв связи, нажмите для запуска");
    EXPECT_DOUBLE_EQ(broken.progress, 0.25);

    faults.dropAfterBytes = -1;
    faults.errorStatus = 503;
    const int refused = add(Audio, "Refused", bytesUrl(1000, "refused"));
    TestSupport::LogCapture log;
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed(refused) && failed(dropped); }));
    EXPECT_EQ(row(queue, refused).status, "ошибка сервера 503, нажмите для запуска");
    EXPECT_FALSE(QFile::exists(audioFile("Refused.mp3")));
    ASSERT_FALSE(log.lines().isEmpty());
    EXPECT_TRUE(log.lines().first().contains("503")) << log.lines().first().toStdString();
    // The resume of the dropped one met the error too: its part is still shown.
    EXPECT_DOUBLE_EQ(row(queue, dropped).progress, 0.25);
    faults.errorStatus = 0;

    // A full disk: the process may write no file past 100 kB.
    rlimit previous{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    rlimit small = previous;
    small.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int big = add(Audio, "Big", bytesUrl(300000, "big"));
    queue.startAll();
    // The other two were started again with it and may meet the limit too: every transfer ends first.
    const bool ended = TestSupport::waitFor(
        [&] { return failed(big) && queue.queue().transferPool()->operations().isEmpty(); });
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ASSERT_TRUE(ended);
    EXPECT_EQ(row(queue, big).status, "нет места на диске, нажмите для запуска");
    EXPECT_FALSE(QFile::exists(audioFile("Big.mp3")));

    // Every one of them still completes to the right bytes afterwards.
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    EXPECT_EQ(readFile(audioFile("Dropped.mp3")), reference(bytesUrl(200000, "dropped")));
    EXPECT_EQ(readFile(audioFile("Big.mp3")), reference(bytesUrl(300000, "big")));
}

// A connection cut off mid-file starts again by itself from where the file stopped, a few times, with growing
// pauses; the item fails only when the retries are used up, with the transfer's own text.
TEST_F(QueueTest, ABrokenTransferIsRetriedFromItsPartUntilTheRetriesRunOut)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    Queue queue;
    TestSupport::LogCapture log;

    // Every answer breaks after 60,000 bytes: four answers bring the whole file.
    faults.dropAfterBytes = 60000;
    const QString url = bytesUrl(200000, "mended");
    const int mended = add(Audio, "Mended", url);
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    faults.dropAfterBytes = -1;
    EXPECT_EQ(readFile(audioFile("Mended.mp3")), reference(url));
    EXPECT_EQ(faults.bytesServed.load(), 200000); // each retry asked only for the rest
    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join('\n').toStdString();
    (void)mended;

    // Two retries: three answers of 50,000 bytes, then the item fails with the text of the last break.
    DownloadQueue::shared().setRetriesOnBreak(2);
    faults.dropAfterBytes = 50000;
    faults.bytesServed = 0;
    const QString longUrl = bytesUrl(400000, "broken");
    const int broken = add(Audio, "Broken", longUrl);
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return failed(broken); }));
    EXPECT_EQ(faults.bytesServed.load(), 150000);
    const QString temporary = audioFile(QStringLiteral("Broken.mp3.%1.temp").arg(broken));
    faults.dropAfterBytes = -1;
    EXPECT_EQ(readFile(temporary), reference(longUrl).left(150000));
    const QueueRowModel::Row row = this->row(queue, broken);
    EXPECT_EQ(row.status, "обрыв связи, нажмите для запуска");
    const QString text = DownloadQueue::shared().failureText(broken);
    EXPECT_EQ(text, "Передача оборвалась: получено 50000 из 300000 байт");
    EXPECT_EQ(row.detail, row.status + "\n" + text);
    ASSERT_EQ(log.lines().size(), 1); // the final failure only, in its own words
    EXPECT_EQ(log.lines().first(), text);

    // With the program's pauses, the row says which retry it waits for, and removing it ends the wait.
    TestSupport::PacingScope pacing(0.5);
    DownloadQueue::shared().setRetriesOnBreak(DownloadQueue::retriesOnBreak);
    faults.dropAfterBytes = 1000;
    const int waiting = add(Audio, "Waiting", bytesUrl(5000, "waiting"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor(
        [&] { return this->row(queue, waiting).status == "обрыв связи, повтор 1 из 4"; }));
    queue.removeButton(waiting);
    EXPECT_EQ(DownloadQueue::shared().breakRetryPending(waiting), 0);
    EXPECT_TRUE(DownloadQueue::shared().transferPool()->operations().isEmpty());
}

// The window keeps retrying a host that never answers (100 times), says which retry it is at, and the row's
// remove button stops it. The time-out is shortened here; the window waits 120 s.
TEST_F(QueueTest, ASilentHostShowsTheRetryUnderWayAndTheRemoveButtonStopsIt)
{
    Sandbox::StorageFaults &faults = sandbox.storageFaults();
    faults.silent = true;
    Queue queue;
    queue.queue().setTransferTimeout(0.1);
    const int tag = add(Audio, "Silent", bytesUrl(1000, "silent"));
    queue.startAll();
    EXPECT_EQ(row(queue, tag).status, "сохранение запущено");
    ASSERT_TRUE(TestSupport::waitFor([&] { return row(queue, tag).status == "повтор 1 из 100"; }))
        << row(queue, tag).status.toStdString();
    ASSERT_TRUE(TestSupport::waitFor([&] { return row(queue, tag).status == "повтор 2 из 100"; }))
        << row(queue, tag).status.toStdString();
    EXPECT_TRUE(row(queue, tag).removable);
    // The row says "retry 2" as the retry is set off; its request reaches the host a moment later.
    EXPECT_TRUE(TestSupport::waitFor([&] { return faults.silentRequests.load() >= 3; }, 5000))
        << faults.silentRequests.load();

    queue.removeButton(tag);
    EXPECT_TRUE(queueEmpty());
    ASSERT_TRUE(
        TestSupport::waitFor([&] { return queue.queue().transferPool()->operations().isEmpty(); }, 2000));

    // A host that answers again after a silent attempt: the row shows the progress once bytes come.
    faults.throttleBytesPerSecond = 200000;
    queue.queue().setTransferTimeout(0.3);
    const int later = add(Audio, "Later", bytesUrl(300000, "later"));
    queue.startAll();
    ASSERT_TRUE(TestSupport::waitFor([&] { return row(queue, later).status == "повтор 1 из 100"; }));
    faults.silent = false;
    ASSERT_TRUE(TestSupport::waitFor([&] { return row(queue, later).status.startsWith("осталось"); }))
        << row(queue, later).status.toStdString();
    ASSERT_TRUE(TestSupport::waitFor([&] { return queueEmpty(); }));
    faults.throttleBytesPerSecond = 0;
    EXPECT_EQ(readFile(audioFile("Later.mp3")), reference(bytesUrl(300000, "later")));
}

TEST_F(QueueTest, AFolderThatCannotBeWrittenIsNamedInTheRow)
{
    // Root ignores permission bits; an immutable folder stops even root.
    QDir().mkpath(audioFile(""));
    const int fd = ::open(QFile::encodeName(audioFile("")).constData(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    const bool immutable = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                           (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (!immutable) {
        ::close(fd);
        GTEST_SKIP() << "this file system or user cannot make a folder immutable";
    }
    Queue queue;
    const int tag = add(Audio, "Locked", bytesUrl(1000, "locked"));
    queue.startAll();
    const bool ended = TestSupport::waitFor([&] { return failed(tag); });
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    ASSERT_TRUE(ended);
    EXPECT_EQ(row(queue, tag).status, "нет доступа к папке, нажмите для запуска");
}

TEST_F(QueueTest, OnlyARealShortageOfMemoryCountsAsALowMemoryWarning)
{
    const struct
    {
        const char *meminfo;
        bool low;
    } cases[] = {
        {"MemTotal:       24000000 kB\nMemFree:  100000 kB\nMemAvailable:   20000000 kB\n", false},
        // A page cache that fills memory is still available memory.
        {"MemTotal:       24000000 kB\nMemFree:   50000 kB\nMemAvailable:    1000000 kB\n", false},
        {"MemTotal:       24000000 kB\nMemFree:   20000 kB\nMemAvailable:     700000 kB\n", true},
        {"MemTotal: 1000 kB\nMemAvailable: 0 kB\n", true},
        {"MemTotal: 1000 kB\n", false}, // no figure: no warning
        {"", false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DownloadQueue::isLowMemory(c.meminfo), c.low) << c.meminfo;
}

} // namespace
