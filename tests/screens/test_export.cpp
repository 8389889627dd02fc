#include "../support/Mp3Fixture.h"
#include "../support/PrivateBus.h"
#include "../support/TestSupport.h"

#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "desktop/Portals.h"
#include "screens/Audio_Export.h"
#include "screens/Video_Export.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include <unistd.h>

namespace {

// The tests run on a bus of their own, for the whole program.
using OwnBus = TestSupport::PrivateBusEnvironment;
[[maybe_unused]] const auto *const ownBus = ::testing::AddGlobalTestEnvironment(new OwnBus);

struct ReceivedCall
{
    QString path;
    QString interface;
    QString member;
    QVariantList arguments;
    QVariantMap options;
    QStringList descriptorTargets; // what the passed descriptors refer to
};

QString descriptorTarget(const QDBusUnixFileDescriptor &descriptor)
{
    return QFileInfo(QStringLiteral("/proc/self/fd/%1").arg(descriptor.fileDescriptor())).symLinkTarget();
}

// The desktop side: the OpenURI, Email and Inhibit portals and the ScreenSaver service, answering as
// configured and recording what they were asked. It runs on a thread of its own, as a real service would run
// elsewhere.
class FakeDesktop : public QDBusVirtualObject
{
public:
    std::atomic<uint> responseCode{0};
    std::atomic<bool> autoRespond{true};

    QList<ReceivedCall> calls() const
    {
        QMutexLocker lock(&m_mutex);
        return m_calls;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_calls.clear();
        m_lastRequest.clear();
    }
    QString lastRequestPath() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lastRequest;
    }
    void respond(const QString &requestPath, uint code)
    {
        QDBusMessage signal =
            QDBusMessage::createSignal(requestPath, "org.freedesktop.portal.Request", "Response");
        signal << code << QVariantMap();
        bus().send(signal);
    }
    static QDBusConnection bus() { return QDBusConnection("fake-desktop"); }

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        ReceivedCall call{message.path(), message.interface(), message.member(), message.arguments(), {}, {}};
        for (const QVariant &argument : message.arguments()) {
            if (argument.canConvert<QDBusUnixFileDescriptor>())
                call.descriptorTargets << descriptorTarget(argument.value<QDBusUnixFileDescriptor>());
            else if (argument.canConvert<QDBusArgument>())
                call.options = qdbus_cast<QVariantMap>(argument);
        }
        const QVariant attachments = call.options.value("attachment_fds");
        if (attachments.canConvert<QDBusArgument>()) {
            QList<QDBusUnixFileDescriptor> descriptors;
            attachments.value<QDBusArgument>() >> descriptors;
            for (const QDBusUnixFileDescriptor &descriptor : descriptors)
                call.descriptorTargets << descriptorTarget(descriptor);
        }

        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString requestPath = QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                                        .arg(sender, call.options.value("handle_token").toString());
        {
            QMutexLocker lock(&m_mutex);
            m_calls.append(call);
        }

        if (call.member == QLatin1String("OpenFile") || call.member == QLatin1String("ComposeEmail")) {
            {
                QMutexLocker lock(&m_mutex);
                m_lastRequest = requestPath;
            }
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(requestPath))));
            if (autoRespond)
                respond(requestPath, responseCode);
        } else if (call.interface == QLatin1String("org.freedesktop.portal.Inhibit")) {
            connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(requestPath))));
        } else if (call.interface == QLatin1String("org.freedesktop.ScreenSaver") &&
                   call.member == QLatin1String("Inhibit")) {
            connection.send(message.createReply(QVariant::fromValue(uint(42))));
        } else {
            connection.send(message.createReply());
        }
        return true;
    }

private:
    mutable QMutex m_mutex;
    QList<ReceivedCall> m_calls;
    QString m_lastRequest;
};

class DesktopTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        qDBusRegisterMetaType<QList<QDBusUnixFileDescriptor>>();
        thread = new QThread;
        thread->start();
        desktop = new FakeDesktop;
        QDBusConnection bus = QDBusConnection::connectToBus(OwnBus::bus->address, "fake-desktop");
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(
            bus.registerVirtualObject("/org/freedesktop/portal/desktop", desktop, QDBusConnection::SubPath));
        ASSERT_TRUE(bus.registerVirtualObject("/org/freedesktop/ScreenSaver", desktop));
        // Registering gives the object a child, which can only be made on the object's own thread: move it
        // to its thread afterwards, children and all.
        desktop->moveToThread(thread);
    }
    static void TearDownTestSuite()
    {
        // Unregistering waits for a call the desktop is still handling, so nothing reaches it once deleted.
        FakeDesktop::bus().unregisterObject("/org/freedesktop/portal/desktop",
                                            QDBusConnection::UnregisterTree);
        FakeDesktop::bus().unregisterObject("/org/freedesktop/ScreenSaver");
        QDBusConnection::disconnectFromBus("fake-desktop");
        thread->quit();
        thread->wait();
        delete desktop;
        delete thread;
    }

    void SetUp() override
    {
        setPortal(true);
        setScreenSaver(false);
        desktop->clear();
        desktop->responseCode = 0;
        desktop->autoRespond = true;
        ASSERT_TRUE(root.isValid());
        ASSERT_TRUE(tools.isValid());
        StorageLayout::setRootDir(root.path());
        settings = std::make_unique<Settings>(root.filePath("settings.conf"));
        audioDir = StorageLayout::getAudioDir();
        ASSERT_TRUE(QDir().mkpath(audioDir + "/Sub"));
        ASSERT_TRUE(Mp3Fixture::write(audioDir + "/Sub/Song one.mp3", 0.5));
        path = qgetenv("PATH");
        qputenv("PATH", tools.path().toUtf8() + ":" + path);
    }
    void TearDown() override
    {
        qputenv("PATH", path);
        StorageLayout::setRootDir(QString());
    }

    // Puts the desktop's service `name` on the bus or takes it off.
    static void offer(const char *name, bool present)
    {
        present ? FakeDesktop::bus().registerService(QLatin1String(name))
                : FakeDesktop::bus().unregisterService(QLatin1String(name));
    }
    static void setPortal(bool present) { offer("org.freedesktop.portal.Desktop", present); }
    static void setScreenSaver(bool present) { offer("org.freedesktop.ScreenSaver", present); }

    // A stand-in for xdg-open or xdg-email that writes its arguments one a line and exits with `exitCode`.
    void installTool(const QString &name, int exitCode)
    {
        const QString file = tools.filePath(name);
        QFile script(file);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > \"%1.args\"\nexit %2\n")
                         .arg(file)
                         .arg(exitCode)
                         .toUtf8());
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    QStringList toolArguments(const QString &name) const
    {
        QFile file(tools.filePath(name + ".args"));
        return file.open(QIODevice::ReadOnly)
                   ? QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)
                   : QStringList();
    }

    // The export screen with "Song one.mp3" chosen in Sub, its sheet answered by `choice`.
    void choose(MediaExport &screen, int choice)
    {
        screen.viewWillAppear();
        screen.rowSelected(0);
        screen.rowSelected(0);
        screen.actionSheetClickedButtonAtIndex(choice);
    }
    QString songPath() const { return audioDir + "/Sub/Song one.mp3"; }

    static inline QThread *thread = nullptr;
    static inline FakeDesktop *desktop = nullptr;

    QTemporaryDir root;
    QTemporaryDir tools;
    std::unique_ptr<Settings> settings;
    QString audioDir;
    QByteArray path;
};

// What the screen tells the user, as "title|message|buttons".
QStringList *watchAlerts(LibraryBrowser &screen)
{
    auto *alerts = new QStringList;
    QObject::connect(&screen, &LibraryBrowser::alertRequested, &screen,
                     [alerts](const QString &title, const QString &message, const QStringList &buttons, int) {
                         alerts->append(title + QLatin1Char('|') + message + QLatin1Char('|') +
                                        buttons.join(','));
                     });
    QObject::connect(&screen, &QObject::destroyed, [alerts] { delete alerts; });
    return alerts;
}

const QString noApplication = "Не найдено ни одного подходящего приложения для экспорта данного типа файлов";

TEST_F(DesktopTest, ExportBrowsesLikeTheLibraryAndOffersTheChoicesForAFileStillThere)
{
    QDir().mkpath(StorageLayout::getVideoDir());
    QFile(StorageLayout::getVideoDir() + "/clip.mp4").open(QIODevice::WriteOnly);
    QFile(StorageLayout::getVideoDir() + "/song.mp3").open(QIODevice::WriteOnly);
    settings->setBool("count_audio", false);
    Audio_Export screen(settings.get());
    QSignalSpy scrolls(&screen, &LibraryBrowser::scrollToRow);
    QSignalSpy sheets(&screen, &MediaExport::actionSheetRequested);
    screen.viewWillAppear();
    EXPECT_EQ(screen.title(), "Экспорт");
    EXPECT_TRUE(scrolls.isEmpty()); // the export screen keeps its place after listing
    EXPECT_FALSE(screen.entries()->rows().at(0).accessory);

    screen.rowSelected(0);
    EXPECT_EQ(screen.filePath(), audioDir + "/Sub");
    EXPECT_EQ(screen.fileName(), "Sub");
    EXPECT_EQ(screen.title(), "..\\Sub");
    EXPECT_TRUE(sheets.isEmpty());
    EXPECT_FALSE(screen.entries()->rows().at(0).accessory);

    screen.rowSelected(0);
    EXPECT_EQ(screen.filePath(), songPath());
    EXPECT_EQ(screen.fileName(), "Song one.mp3");
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets.at(0).at(0).toStringList(),
              (QStringList{"Открыть с помощью...", "Отправить по e-mail"}));
    EXPECT_EQ(sheets.at(0).at(1).toString(), "Отмена");
    ASSERT_EQ(scrolls.size(), 1);
    EXPECT_EQ(scrolls.at(0).at(1).toInt(), int(LibraryBrowser::Middle));

    screen.actionSheetClickedButtonAtIndex(MediaExport::Cancel);
    QCoreApplication::processEvents();
    EXPECT_TRUE(desktop->calls().isEmpty());
    EXPECT_EQ(screen.filePath(), songPath());

    // A file gone since it was listed is reported and not handed on.
    QStringList *alerts = watchAlerts(screen);
    ASSERT_TRUE(QFile::remove(songPath()));
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
    QCoreApplication::processEvents();
    EXPECT_EQ(*alerts, QStringList(2, "Ошибка|Не удалось прочитать файл Song one.mp3|Готово"));
    EXPECT_TRUE(desktop->calls().isEmpty());

    Video_Export videos(settings.get());
    videos.viewWillAppear();
    EXPECT_EQ(GlobalData::sharedGlobalData()->videoLibraryArray, QStringList{"clip.mp4"});
    videos.rowSelected(0);
    EXPECT_EQ(videos.filePath(), StorageLayout::getVideoDir() + "/clip.mp4");
}

// Both portals get the file by descriptor; their answer decides what the user is told and what the log says.
TEST_F(DesktopTest, OpenWithAndEmailHandTheFileToThePortalsAndTellTheirAnswerWhileTheScreenLives)
{
    TestSupport::LogCapture log;
    Audio_Export screen(settings.get());
    QStringList *alerts = watchAlerts(screen);
    QSignalSpy opened(&screen, &MediaExport::openFinished);
    QSignalSpy mailed(&screen, &MediaExport::mailFinished);
    choose(screen, MediaExport::Cancel);
    const struct
    {
        uint code;
        Portals::OpenResult opened;
        const char *mailed;
        qsizetype alerts;
    } answers[] = {
        {0, Portals::OpenResult::Opened, "Result: sent", 0},
        {2, Portals::OpenResult::NoApplication, "Result: failed", 1}, // nothing to open it with: told
        {1, Portals::OpenResult::Cancelled, "Result: canceled", 1},   // the user closed the chooser
    };
    for (const auto &answer : answers) {
        SCOPED_TRACE(answer.code);
        desktop->clear();
        desktop->responseCode = answer.code;
        screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
        ASSERT_TRUE(opened.wait(5000));
        EXPECT_EQ(opened.last().at(0).toInt(), int(answer.opened));
        EXPECT_EQ(alerts->size(), answer.alerts);
        screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
        ASSERT_TRUE(mailed.wait(5000));
        EXPECT_EQ(log.count(answer.mailed), 1);

        const QList<ReceivedCall> calls = desktop->calls();
        ASSERT_EQ(calls.size(), 2);
        EXPECT_EQ(calls[0].interface + '.' + calls[0].member, "org.freedesktop.portal.OpenURI.OpenFile");
        EXPECT_TRUE(calls[0].options.value("ask").toBool());
        EXPECT_EQ(calls[1].interface, "org.freedesktop.portal.Email");
        EXPECT_EQ(calls[1].options.value("subject").toString(), "Song one.mp3");
        EXPECT_EQ(calls[1].options.value("body").toString(),
                  "Файл отправлен из приложения ВКонтакте Melodrop");
        EXPECT_FALSE(calls[1].options.contains("address"));
        for (const ReceivedCall &call : calls)
            EXPECT_EQ(call.descriptorTargets, QStringList{QFileInfo(songPath()).canonicalFilePath()});
    }
    EXPECT_EQ(alerts->first(), "Ошибка|" + noApplication + "|Готово");

    // An answer arriving after the screen closed is dropped.
    desktop->clear();
    desktop->autoRespond = false;
    auto *closing = new Audio_Export(settings.get());
    bool called = false;
    QObject::connect(closing, &MediaExport::openFinished, [&called] { called = true; });
    choose(*closing, MediaExport::OpenWith);
    ASSERT_TRUE(TestSupport::waitFor([] { return !desktop->lastRequestPath().isEmpty(); }));
    delete closing;
    desktop->respond(desktop->lastRequestPath(), 0);
    TestSupport::waitFor([] { return false; }, 300);
    EXPECT_FALSE(called);
}

TEST_F(DesktopTest, WithoutPortalsTheFreedesktopToolsTakeTheFile)
{
    setPortal(false);
    TestSupport::LogCapture log;
    Audio_Export screen(settings.get());
    QStringList *alerts = watchAlerts(screen);
    QSignalSpy opened(&screen, &MediaExport::openFinished);
    QSignalSpy mailed(&screen, &MediaExport::mailFinished);

    installTool("xdg-open", 0);
    choose(screen, MediaExport::OpenWith);
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_EQ(toolArguments("xdg-open"), QStringList{songPath()});
    EXPECT_TRUE(alerts->isEmpty());

    installTool("xdg-open", 3); // "no tool to open it with"
    screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_EQ(*alerts, QStringList{"Ошибка|" + noApplication + "|Готово"});

    installTool("xdg-email", 0);
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    ASSERT_TRUE(mailed.wait(5000));
    EXPECT_EQ(toolArguments("xdg-email"),
              (QStringList{"--subject", "Song one.mp3", "--body",
                           "Файл отправлен из приложения ВКонтакте Melodrop", "--attach", songPath()}));
    EXPECT_EQ(log.count("Result: sent"), 1);

    installTool("xdg-email", 1);
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    ASSERT_TRUE(mailed.wait(5000));
    EXPECT_EQ(log.count("Result: failed"), 1);

    // Neither portals nor tools: a QCoreApplication cannot ask QDesktopServices either.
    qputenv("PATH", QTemporaryDir().path().toUtf8());
    screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_EQ(alerts->size(), 2);
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    ASSERT_TRUE(mailed.wait(5000));
    EXPECT_EQ(log.count("Result: failed"), 2);
    EXPECT_TRUE(desktop->calls().isEmpty());
}

TEST_F(DesktopTest, IdleInhibitionUsesThePortalElseTheScreenSaverAndIsReleased)
{
    {
        Portals::IdleInhibitor inhibitor;
        inhibitor.inhibit("playing");
        ASSERT_TRUE(
            TestSupport::waitFor([&] { return inhibitor.state() == Portals::IdleInhibitor::ThroughPortal; }));
        const QList<ReceivedCall> calls = desktop->calls();
        ASSERT_EQ(calls.size(), 1);
        EXPECT_EQ(calls[0].interface, "org.freedesktop.portal.Inhibit");
        EXPECT_EQ(calls[0].arguments.at(1).toUInt(), 8u); // idle
        EXPECT_EQ(calls[0].options.value("reason").toString(), "playing");
        inhibitor.release();
        ASSERT_TRUE(TestSupport::waitFor([] { return desktop->calls().size() == 2; }));
        EXPECT_EQ(desktop->calls().at(1).member, "Close");
        EXPECT_TRUE(desktop->calls().at(1).path.startsWith("/org/freedesktop/portal/desktop/request/"));
    }

    desktop->clear();
    setPortal(false);
    setScreenSaver(true);
    {
        Portals::IdleInhibitor inhibitor;
        inhibitor.inhibit("playing");
        ASSERT_TRUE(TestSupport::waitFor(
            [&] { return inhibitor.state() == Portals::IdleInhibitor::ThroughScreenSaver; }));
        ASSERT_EQ(desktop->calls().size(), 1);
        EXPECT_EQ(desktop->calls().at(0).arguments.at(1).toString(), "playing");
    } // released by its end
    ASSERT_TRUE(TestSupport::waitFor([] { return desktop->calls().size() == 2; }));
    EXPECT_EQ(desktop->calls().at(1).member, "UnInhibit");
    EXPECT_EQ(desktop->calls().at(1).arguments.at(0).toUInt(), 42u);

    // Released before the answer came: what the request started is ended when the answer arrives.
    desktop->clear();
    setPortal(true);
    Portals::IdleInhibitor quick;
    quick.inhibit("playing");
    quick.release();
    ASSERT_TRUE(TestSupport::waitFor([] { return desktop->calls().size() == 2; }));
    EXPECT_EQ(desktop->calls().at(1).member, "Close");
    EXPECT_EQ(quick.state(), Portals::IdleInhibitor::Released);
    setPortal(false);

    setScreenSaver(false);
    Portals::IdleInhibitor none;
    none.inhibit("playing");
    EXPECT_TRUE(TestSupport::waitFor([&] { return none.state() == Portals::IdleInhibitor::Unavailable; }));
}

} // namespace
