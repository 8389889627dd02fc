// The desktop services as this program uses them, answered by stand-ins on a private session bus: the file
// chooser portal of the saved playlists, the Settings portal's light or dark preference, and the file manager
// that shows the queue's files.
#include "../support/FakeFileManager.h"
#include "../support/PrivateBus.h"
#include "../support/TestSupport.h"

#include "desktop/ColorScheme.h"
#include "desktop/Portals.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using TestSupport::waitFor;

const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

class FileChooserPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.FileChooser")
public:
    uint responseCode = 0;
    QStringList uris;
    QString title;
    QString filterSignature;
    QString filterName;
    QList<QPair<uint, QString>> rules;

public Q_SLOTS:
    QDBusObjectPath OpenFile(const QString &, const QString &dialogTitle, const QVariantMap &options)
    {
        title = dialogTitle;
        const QDBusArgument filters = options.value("filters").value<QDBusArgument>();
        filterSignature = filters.currentSignature();
        filters.beginArray();
        while (!filters.atEnd()) {
            filters.beginStructure();
            filters >> filterName;
            filters.beginArray();
            while (!filters.atEnd()) {
                uint kind = 0;
                QString pattern;
                filters.beginStructure();
                filters >> kind >> pattern;
                filters.endStructure();
                rules.append({kind, pattern});
            }
            filters.endArray();
            filters.endStructure();
        }
        filters.endArray();
        // The request object is named after the caller and its token, as the real portal names it.
        QString sender = message().service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                 .arg(sender, options.value("handle_token").toString());
        QDBusConnection bus = connection();
        const uint code = responseCode;
        const QStringList answer = uris;
        QTimer::singleShot(0, this, [bus, path, code, answer]() mutable {
            QDBusMessage response =
                QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
            response << code << QVariantMap{{"uris", answer}};
            bus.send(response);
        });
        return QDBusObjectPath(path);
    }
};

class SettingsPortal : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Settings")
public:
    uint value = ColorScheme::PreferDark;
    QStringList reads;

public Q_SLOTS:
    // As the portal answers: the value's variant inside the reply's variant.
    QDBusVariant Read(const QString &nameSpace, const QString &key)
    {
        reads << nameSpace + ' ' + key;
        return QDBusVariant(QVariant::fromValue(QDBusVariant(value)));
    }
};

// One private bus for the whole program: the portals speak on the session bus, which this program connects
// to once. Each case puts its stand-ins on it.
class PortalTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        bus = new TestSupport::PrivateBus;
        ASSERT_TRUE(bus->start());
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address.toUtf8());
    }
    static void TearDownTestSuite()
    {
        delete bus;
        bus = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(bus, nullptr);
        services = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(bus->address, "services"));
        ASSERT_TRUE(services->isConnected());
    }
    void TearDown() override
    {
        services.reset();
        QDBusConnection::disconnectFromBus("services");
    }
    // Puts `object` on the bus as `service`, at `path`.
    void serve(const QString &service, const QString &path, QObject *object)
    {
        ASSERT_TRUE(services->registerService(service));
        ASSERT_TRUE(services->registerObject(path, object, QDBusConnection::ExportAllSlots));
    }

    static TestSupport::PrivateBus *bus;
    std::unique_ptr<QDBusConnection> services;
};

TestSupport::PrivateBus *PortalTest::bus = nullptr;

// What is asked (title, one filter of globs) and what comes back (a local path, a cancel, no portal).
TEST_F(PortalTest, TheFileChooserIsAskedWithTheFilterAndGivesTheChosenLocalFile)
{
    FileChooserPortal portal;
    ASSERT_NO_FATAL_FAILURE(serve("org.freedesktop.portal.Desktop", portalPath, &portal));
    QObject context;
    int answers = 0;
    Portals::ChooseResult result = Portals::ChooseResult::Unavailable;
    QString chosen;
    // Asks, and waits for the answer.
    const auto ask = [&] {
        const int before = answers;
        Portals::chooseFile("Импорт плейлиста", {"Плейлисты", {"*.m3u", "*.xspf"}}, &context,
                            [&](Portals::ChooseResult r, const QString &path) {
                                ++answers;
                                result = r;
                                chosen = path;
                            });
        return waitFor([&] { return answers == before + 1; }, 10000);
    };

    portal.uris = {"file:///home/u/%D0%9C%D0%BE%D0%B9%20%D0%BC%D0%B8%D0%BA%D1%81.m3u"};
    ASSERT_TRUE(ask());
    EXPECT_EQ(result, Portals::ChooseResult::Chosen);
    EXPECT_EQ(chosen, "/home/u/Мой микс.m3u");
    EXPECT_EQ(portal.title, "Импорт плейлиста");
    EXPECT_EQ(portal.filterSignature, "a(sa(us))");
    EXPECT_EQ(portal.filterName, "Плейлисты");
    EXPECT_EQ(portal.rules, (QList<QPair<uint, QString>>{{0, "*.m3u"}, {0, "*.xspf"}}));

    // Cancelled in the dialog; an address that is no local file is nothing this program can read.
    portal.responseCode = 1;
    ASSERT_TRUE(ask());
    EXPECT_EQ(result, Portals::ChooseResult::Cancelled);
    EXPECT_TRUE(chosen.isEmpty());
    portal.responseCode = 0;
    portal.uris = {"https://example.org/list.m3u"};
    ASSERT_TRUE(ask());
    EXPECT_EQ(result, Portals::ChooseResult::Cancelled);
    EXPECT_TRUE(chosen.isEmpty());

    // No portal on the bus: the caller hears that no chooser answers.
    services->unregisterService("org.freedesktop.portal.Desktop");
    ASSERT_TRUE(ask());
    EXPECT_EQ(result, Portals::ChooseResult::Unavailable);
}

TEST_F(PortalTest, TheColorSchemeAnswerAndEveryLaterChangeAreFollowed)
{
    qunsetenv("MELODROP_COLOR_SCHEME");
    SettingsPortal portal;
    ASSERT_NO_FATAL_FAILURE(serve("org.freedesktop.portal.Desktop", portalPath, &portal));
    ColorScheme scheme;
    ASSERT_FALSE(scheme.dark()); // no GUI palette here: light until the portal says otherwise
    scheme.start(QDBusConnection::sessionBus());
    ASSERT_TRUE(waitFor([&] { return scheme.dark(); }, 5000));
    EXPECT_EQ(portal.reads, QStringList({"org.freedesktop.appearance color-scheme"}));

    QDBusMessage changed =
        QDBusMessage::createSignal(portalPath, "org.freedesktop.portal.Settings", "SettingChanged");
    changed << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme")
            << QVariant::fromValue(QDBusVariant(uint(ColorScheme::PreferLight)));
    ASSERT_TRUE(services->send(changed));
    EXPECT_TRUE(waitFor([&] { return !scheme.dark(); }, 5000));
}

// "Показать в папке" of the queue's rows: a file goes to ShowItems and a folder to ShowFolders, each as its
// percent-encoded file URI.
TEST_F(PortalTest, TheFileManagerGetsTheFileOrTheFolderByItsUri)
{
    FakeFileManager manager;
    ASSERT_NO_FATAL_FAILURE(serve("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", &manager));
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString folder = root.filePath("Моя музыка");
    const QString file = folder + QStringLiteral("/A & B #1.mp3.7.temp");
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile(file).open(QIODevice::WriteOnly));
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
    const QString folderUri = QStringLiteral("file://") + root.path() +
                              "/%D0%9C%D0%BE%D1%8F%20%D0%BC%D1%83%D0%B7%D1%8B%D0%BA%D0%B0";
    EXPECT_EQ(manager.items, QStringList{folderUri + QStringLiteral("/A%20&%20B%20%231.mp3.7.temp")});

    Portals::showInFolder(folder, &context, done);
    ASSERT_TRUE(waitFor([&] { return answers == 2; }, 5000));
    EXPECT_EQ(manager.folders, QStringList{folderUri});
    EXPECT_EQ(manager.items.size(), 1);
}

} // namespace

#include "test_portals.moc"
