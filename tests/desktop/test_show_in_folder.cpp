// "Показать в папке" of the queue's rows, answered by a stand-in file manager on a private session bus: a
// file goes to ShowItems and a folder to ShowFolders, each as its percent-encoded file URI.
#include "../support/FakeFileManager.h"
#include "../support/PrivateBus.h"
#include "../support/TestSupport.h"

#include "desktop/Portals.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using TestSupport::waitFor;

TEST(ShowInFolder, TheFileManagerGetsTheFileOrTheFolderByItsUri)
{
    TestSupport::PrivateBus bus;
    ASSERT_TRUE(bus.start());
    const QString address = bus.address;
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.filePath(QStringLiteral("Моя музыка"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/A & B #1.mp3.7.temp");
    QFile part(file);
    ASSERT_TRUE(part.open(QIODevice::WriteOnly));
    part.close();
    {
        QDBusConnection services = QDBusConnection::connectToBus(address, "filemanager");
        ASSERT_TRUE(services.registerService("org.freedesktop.FileManager1"));
        FakeFileManager manager;
        ASSERT_TRUE(services.registerObject("/org/freedesktop/FileManager1", &manager,
                                            QDBusConnection::ExportAllSlots));
        QObject context;
        int answers = 0;
        bool shown = false;
        const auto done = [&](bool ok) {
            ++answers;
            shown = ok;
        };

        Portals::showInFolder(file, &context, done);
        ASSERT_TRUE(waitFor([&] { return answers == 1; }, 5000));
        EXPECT_TRUE(shown);
        const QString folderUri =
            QStringLiteral("file://") + root.path() +
            QStringLiteral("/%D0%9C%D0%BE%D1%8F%20%D0%BC%D1%83%D0%B7%D1%8B%D0%BA%D0%B0");
        EXPECT_EQ(manager.items, QStringList{folderUri + QStringLiteral("/A%20&%20B%20%231.mp3.7.temp")});

        Portals::showInFolder(folder, &context, done);
        ASSERT_TRUE(waitFor([&] { return answers == 2; }, 5000));
        EXPECT_EQ(manager.folders, QStringList{folderUri});
        EXPECT_EQ(manager.items.size(), 1);
    }
    QDBusConnection::disconnectFromBus("filemanager");
}

} // namespace
