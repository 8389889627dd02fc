// The downloads list as drawn, driven with real clicks and hovers: the button that takes the waiting rows, a
// row's context menu that shows its file in the file manager (a stand-in on a private session bus), and a
// failure's whole text on hover.
#include "../support/FakeFileManager.h"
#include "../support/GuiHost.h"
#include "../support/PrivateBus.h"

#include "core/GlobalData.h"
#include "downloads/DownloadQueue.h"
#include "sandbox/Sandbox.h"
#include "screens/Queue.h"

#include <QDBusConnection>
#include <QUrl>

using TestSupport::waitFor;

namespace {

const QByteArray hostQml = R"(
import QtQuick
import QtQuick.Controls
ApplicationWindow {
    width: 1000
    height: 600
    visible: true
    property alias page: loader.item
    Loader { id: loader; anchors.fill: parent; source: "qrc:/qml/Melodrop/QueueView.qml" }
}
)";

class QueueViewTest : public GuiHostTest
{
protected:
    static void SetUpTestSuite()
    {
        // The program's session bus is this private one from the first call on.
        bus = new TestSupport::PrivateBus;
        ASSERT_TRUE(bus->start());
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address.toUtf8());
        GuiHostTest::SetUpTestSuite();
    }
    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("filemanager"));
        delete bus;
        bus = nullptr;
    }

    void SetUp() override
    {
        ASSERT_TRUE(bus);
        StorageLayout::setRootDir(root.path());
        ASSERT_TRUE(sandbox.start());
        base = QString::fromStdString(sandbox.baseUrl());
        DownloadQueue::shared().clear();
        controller = std::make_unique<Queue>(&DownloadQueue::shared());
        host(hostQml);
        ASSERT_FALSE(HasFatalFailure());
        QObject *page = window->property("page").value<QObject *>();
        ASSERT_NE(page, nullptr);
        page->setProperty("queue", QVariant::fromValue<QObject *>(controller.get()));
        settle();
    }
    void TearDown() override
    {
        sandbox.storageFaults().throttleBytesPerSecond = 0;
        sandbox.storageFaults().dropAfterBytes = -1;
        DownloadQueue::shared().clear();
        DownloadQueue::shared().setRetriesOnBreak(DownloadQueue::retriesOnBreak);
        closeWindow();
        controller.reset();
        GuiHostTest::TearDown();
    }

    // Queues a download of `size` bytes from the stand-in's storage under that name; its tag.
    int add(const QString &name, qint64 size)
    {
        const int tag = GlobalData::sharedGlobalData()->nextFileTag();
        const QueueItem item{name, QStringLiteral("%1/storage/bytes/%2/%3.bin").arg(base).arg(size).arg(tag),
                             tag};
        DownloadQueue::shared().append(DownloadQueue::Audio, item);
        return item.tag;
    }
    const QueueItem *item(int tag) const
    {
        for (const QueueItem &item : DownloadQueue::shared().items(DownloadQueue::Audio))
            if (item.tag == tag)
                return &item;
        return nullptr;
    }

    // The names of the item rows the list draws, top to bottom.
    QStringList drawnNames() const
    {
        QStringList names;
        for (QQuickItem *label :
             findAll([](QQuickItem *item) { return item->objectName() == QLatin1String("fileName"); }))
            names << label->property("text").toString();
        return names;
    }

    static inline TestSupport::PrivateBus *bus = nullptr;
    Sandbox sandbox;
    QString base;
    std::unique_ptr<Queue> controller;
};

// The button takes the rows that never started and those whose transfers wait for one of the three slots, at
// the press; the three that run stay.
TEST_F(QueueViewTest, TheClearButtonTakesTheWaitingRowsFromTheList)
{
    sandbox.storageFaults().throttleBytesPerSecond = 20000;
    QList<int> tags;
    for (int i = 0; i < 5; ++i)
        tags << add(QStringLiteral("Song %1").arg(i), 2000000);
    add(QStringLiteral("Never started"), 10);
    for (int row = 0; row < 5; ++row)
        DownloadQueue::shared().start(DownloadQueue::Audio, row);
    ASSERT_TRUE(waitFor([&] {
        for (int i = 0; i < 3; ++i)
            if (!item(tags[i]) || item(tags[i])->size <= 0)
                return false;
        return true;
    }));
    controller->reloadTable();
    ASSERT_TRUE(waitFor([&] { return drawnNames().size() == 6; }, 3000))
        << drawnNames().join(", ").toStdString();

    click(find(QStringLiteral("clearInactiveButton")));
    // Drawn before the queue's next redraw tick.
    QCoreApplication::processEvents();
    window->grabWindow();
    EXPECT_EQ(drawnNames(), (QStringList{"Song 0", "Song 1", "Song 2"}));
    EXPECT_EQ(DownloadQueue::shared().count(), 3);
}

// A failed row: hovering shows the transfer's own words in full, and its context menu's "Показать в папке"
// hands the file manager the part on disk.
TEST_F(QueueViewTest, AFailedRowShowsItsWholeTextAndItsMenuShowsItsFileInTheFolder)
{
    QDBusConnection services = QDBusConnection::connectToBus(bus->address, QStringLiteral("filemanager"));
    ASSERT_TRUE(services.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    FakeFileManager manager;
    ASSERT_TRUE(services.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &manager,
                                        QDBusConnection::ExportAllSlots));

    DownloadQueue::shared().setRetriesOnBreak(0);
    sandbox.storageFaults().dropAfterBytes = 50000;
    const int broken = add(QStringLiteral("Broken & long"), 300000);
    controller->startAll();
    ASSERT_TRUE(waitFor([&] { return item(broken) && item(broken)->state == QueueItem::State::Failed; }));
    controller->reloadTable();
    QQuickItem *label = nullptr;
    ASSERT_TRUE(waitFor([&] { return (label = find(QStringLiteral("fileName"))) != nullptr; }, 3000));
    ASSERT_EQ(label->property("text").toString(), QStringLiteral("Broken & long"));
    settle();

    // Hover: the tooltip says what the transfer said.
    const QString text = QStringLiteral("Передача оборвалась: получено 50000 из 300000 байт");
    const QPoint over = label->mapToScene(QPointF(label->width() / 2, label->height() / 2)).toPoint();
    QTest::mouseMove(window, over - QPoint(5, 0));
    QTest::mouseMove(window, over);
    EXPECT_NE(waitForItem([&] {
                  return find(
                      [&](QQuickItem *item) { return item->property("text").toString().contains(text); });
              }),
              nullptr);
    QTest::mouseMove(window, QPoint(2, window->height() - 2));

    // Right click: the menu's "Показать в папке" names the part to the file manager.
    click(label, Qt::RightButton);
    QQuickItem *show = waitForItem(QStringLiteral("menuItem_showInFolder"));
    ASSERT_NE(show, nullptr);
    EXPECT_EQ(show->property("text").toString(), QStringLiteral("Показать в папке"));
    settle();
    click(show);
    ASSERT_TRUE(waitFor([&] { return !manager.items.isEmpty(); }, 5000));
    const QString part =
        StorageLayout::getAudioDir() + QStringLiteral("/Broken & long.mp3.%1.temp").arg(broken);
    ASSERT_TRUE(QFile::exists(part));
    EXPECT_EQ(manager.items, QStringList{QUrl::fromLocalFile(part).toString(QUrl::FullyEncoded)});
    EXPECT_TRUE(manager.folders.isEmpty());
    services.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    services.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
}

} // namespace
