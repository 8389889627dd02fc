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
class OwnBus : public ::testing::Environment
{
public:
    void SetUp() override
    {
        bus = std::make_unique<TestSupport::PrivateBus>();
        ASSERT_TRUE(bus->start()) << "dbus-daemon is needed for these tests";
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus->address.toUtf8());
    }
    void TearDown() override { bus.reset(); }

    static inline std::unique_ptr<TestSupport::PrivateBus> bus;
};

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
    }
    QString lastRequestPath() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lastRequest;
    }
    void respond(const QString &requestPath, uint code)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            requestPath, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << code << QVariantMap();
        bus().send(signal);
    }
    static QDBusConnection bus() { return QDBusConnection(QStringLiteral("fake-desktop")); }

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
        const QVariant attachments = call.options.value(QStringLiteral("attachment_fds"));
        if (attachments.canConvert<QDBusArgument>()) {
            QList<QDBusUnixFileDescriptor> descriptors;
            attachments.value<QDBusArgument>() >> descriptors;
            for (const QDBusUnixFileDescriptor &descriptor : descriptors)
                call.descriptorTargets << descriptorTarget(descriptor);
        }

        QString sender = message.service().mid(1);
        sender.replace(QLatin1Char('.'), QLatin1Char('_'));
        const QString requestPath =
            QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                .arg(sender, call.options.value(QStringLiteral("handle_token")).toString());
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
        QDBusConnection bus =
            QDBusConnection::connectToBus(OwnBus::bus->address, QStringLiteral("fake-desktop"));
        ASSERT_TRUE(bus.isConnected());
        ASSERT_TRUE(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/portal/desktop"), desktop,
                                              QDBusConnection::SubPath));
        ASSERT_TRUE(bus.registerVirtualObject(QStringLiteral("/org/freedesktop/ScreenSaver"), desktop));
        // Registering gives the object a child, which can only be made on the object's own thread: move it
        // to its thread afterwards, children and all.
        desktop->moveToThread(thread);
    }
    static void TearDownTestSuite()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-desktop"));
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
        settings = std::make_unique<Settings>(root.filePath(QStringLiteral("settings.conf")));
        audioDir = StorageLayout::getAudioDir();
        ASSERT_TRUE(QDir().mkpath(audioDir + QStringLiteral("/Sub")));
        ASSERT_TRUE(Mp3Fixture::write(audioDir + QStringLiteral("/Sub/Song one.mp3"), 0.5));
        path = qgetenv("PATH");
        qputenv("PATH", tools.path().toUtf8() + ":" + path);
    }
    void TearDown() override
    {
        qputenv("PATH", path);
        StorageLayout::setRootDir(QString());
    }

    static void setPortal(bool present)
    {
        QDBusConnection bus = FakeDesktop::bus();
        if (present)
            bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
        else
            bus.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    }
    static void setScreenSaver(bool present)
    {
        QDBusConnection bus = FakeDesktop::bus();
        if (present)
            bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
        else
            bus.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver"));
    }

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
        QFile file(tools.filePath(name + QStringLiteral(".args")));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    // The export screen with "Song one.mp3" chosen in Sub, its sheet answered by `choice`.
    void choose(MediaExport &screen, int choice)
    {
        screen.viewWillAppear();
        screen.rowSelected(0);
        screen.rowSelected(0);
        screen.actionSheetClickedButtonAtIndex(choice);
    }
    QString songPath() const { return audioDir + QStringLiteral("/Sub/Song one.mp3"); }

    static inline QThread *thread = nullptr;
    static inline FakeDesktop *desktop = nullptr;

    QTemporaryDir root;
    QTemporaryDir tools;
    std::unique_ptr<Settings> settings;
    QString audioDir;
    QByteArray path;
};

struct Alert
{
    QString title;
    QString message;
    QStringList buttons;
};

QList<Alert> *watchAlerts(LibraryBrowser &screen)
{
    auto *alerts = new QList<Alert>;
    QObject::connect(&screen, &LibraryBrowser::alertRequested, &screen,
                     [alerts](const QString &title, const QString &message, const QStringList &buttons, int) {
                         alerts->append(Alert{title, message, buttons});
                     });
    QObject::connect(&screen, &QObject::destroyed, [alerts] { delete alerts; });
    return alerts;
}

const QString noApplication =
    QStringLiteral("Не найдено ни одного подходящего приложения для экспорта данного типа файлов");

TEST_F(DesktopTest, ExportBrowsesLikeTheLibraryAndOffersTheChoicesForAFile)
{
    QDir().mkpath(StorageLayout::getVideoDir());
    QFile(StorageLayout::getVideoDir() + QStringLiteral("/clip.mp4")).open(QIODevice::WriteOnly);
    QFile(StorageLayout::getVideoDir() + QStringLiteral("/song.mp3")).open(QIODevice::WriteOnly);
    settings->setBool(QStringLiteral("count_audio"), false);
    Audio_Export screen(settings.get());
    QSignalSpy scrolls(&screen, &LibraryBrowser::scrollToRow);
    QSignalSpy sheets(&screen, &MediaExport::actionSheetRequested);
    screen.viewWillAppear();
    EXPECT_EQ(screen.title(), QStringLiteral("Экспорт"));
    EXPECT_TRUE(scrolls.isEmpty()); // the export screen keeps its place after listing
    EXPECT_FALSE(screen.entries()->rows().at(0).accessory);

    screen.rowSelected(0);
    EXPECT_EQ(screen.filePath(), audioDir + QStringLiteral("/Sub"));
    EXPECT_EQ(screen.fileName(), QStringLiteral("Sub"));
    EXPECT_EQ(screen.title(), QStringLiteral("..\\Sub"));
    EXPECT_TRUE(sheets.isEmpty());
    EXPECT_FALSE(screen.entries()->rows().at(0).accessory);

    screen.rowSelected(0);
    EXPECT_EQ(screen.filePath(), songPath());
    EXPECT_EQ(screen.fileName(), QStringLiteral("Song one.mp3"));
    ASSERT_EQ(sheets.size(), 1);
    EXPECT_EQ(sheets.at(0).at(0).toStringList(),
              (QStringList{QStringLiteral("Открыть с помощью..."), QStringLiteral("Отправить по e-mail")}));
    EXPECT_EQ(sheets.at(0).at(1).toString(), QStringLiteral("Отмена"));
    ASSERT_EQ(scrolls.size(), 1);
    EXPECT_EQ(scrolls.at(0).at(1).toInt(), int(LibraryBrowser::Middle));

    screen.actionSheetClickedButtonAtIndex(MediaExport::Cancel);
    QCoreApplication::processEvents();
    EXPECT_TRUE(desktop->calls().isEmpty());
    EXPECT_EQ(screen.filePath(), songPath());

    Video_Export videos(settings.get());
    videos.viewWillAppear();
    EXPECT_EQ(GlobalData::sharedGlobalData()->videoLibraryArray, QStringList{QStringLiteral("clip.mp4")});
    videos.rowSelected(0);
    EXPECT_EQ(videos.filePath(), StorageLayout::getVideoDir() + QStringLiteral("/clip.mp4"));
}

TEST_F(DesktopTest, OpenWithHandsTheFileToTheOpenUriPortalWhichLetsTheUserChoose)
{
    Audio_Export screen(settings.get());
    QList<Alert> *alerts = watchAlerts(screen);
    QSignalSpy finished(&screen, &MediaExport::openFinished);
    choose(screen, MediaExport::OpenWith);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(Portals::OpenResult::Opened));
    EXPECT_TRUE(alerts->isEmpty());
    const QList<ReceivedCall> calls = desktop->calls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].interface, QStringLiteral("org.freedesktop.portal.OpenURI"));
    EXPECT_EQ(calls[0].member, QStringLiteral("OpenFile"));
    EXPECT_TRUE(calls[0].options.value(QStringLiteral("ask")).toBool());
    EXPECT_EQ(calls[0].descriptorTargets, QStringList{QFileInfo(songPath()).canonicalFilePath()});

    // The portal found nothing to open it with.
    desktop->responseCode = 2;
    screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.at(1).at(0).toInt(), int(Portals::OpenResult::NoApplication));
    ASSERT_EQ(alerts->size(), 1);
    EXPECT_EQ(alerts->at(0).title, QStringLiteral("Ошибка"));
    EXPECT_EQ(alerts->at(0).message, noApplication);
    EXPECT_EQ(alerts->at(0).buttons, QStringList{QStringLiteral("Готово")});

    // The user closed the chooser: nothing to report.
    desktop->responseCode = 1;
    screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.at(2).at(0).toInt(), int(Portals::OpenResult::Cancelled));
    EXPECT_EQ(alerts->size(), 1);
}

TEST_F(DesktopTest, EmailAttachesTheFileByDescriptorAndLogsTheResult)
{
    TestSupport::LogCapture log;
    Audio_Export screen(settings.get());
    QSignalSpy finished(&screen, &MediaExport::mailFinished);
    choose(screen, MediaExport::SendByEmail);
    ASSERT_TRUE(finished.wait(5000));
    const QList<ReceivedCall> calls = desktop->calls();
    ASSERT_EQ(calls.size(), 1);
    EXPECT_EQ(calls[0].interface, QStringLiteral("org.freedesktop.portal.Email"));
    EXPECT_EQ(calls[0].options.value(QStringLiteral("subject")).toString(), QStringLiteral("Song one.mp3"));
    EXPECT_EQ(calls[0].options.value(QStringLiteral("body")).toString(),
              QStringLiteral("Файл отправлен из приложения ВКонтакте Melodrop"));
    EXPECT_FALSE(calls[0].options.contains(QStringLiteral("address")));
    EXPECT_EQ(calls[0].descriptorTargets, QStringList{QFileInfo(songPath()).canonicalFilePath()});
    EXPECT_EQ(log.count(QStringLiteral("Result: sent")), 1);

    desktop->responseCode = 1;
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(log.count(QStringLiteral("Result: canceled")), 1);
    desktop->responseCode = 2;
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(log.count(QStringLiteral("Result: failed")), 1);
    EXPECT_EQ(MediaExport::mailResultLine(1), QStringLiteral("Result: saved"));
    EXPECT_EQ(MediaExport::mailResultLine(7), QStringLiteral("Result: not sent"));
}

TEST_F(DesktopTest, WithoutPortalsTheFreedesktopToolsTakeTheFile)
{
    setPortal(false);
    TestSupport::LogCapture log;
    Audio_Export screen(settings.get());
    QList<Alert> *alerts = watchAlerts(screen);
    QSignalSpy opened(&screen, &MediaExport::openFinished);
    QSignalSpy mailed(&screen, &MediaExport::mailFinished);

    installTool(QStringLiteral("xdg-open"), 0);
    choose(screen, MediaExport::OpenWith);
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_EQ(toolArguments(QStringLiteral("xdg-open")), QStringList{songPath()});
    EXPECT_TRUE(alerts->isEmpty());

    installTool(QStringLiteral("xdg-open"), 3); // "no tool to open it with"
    screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
    ASSERT_TRUE(opened.wait(5000));
    ASSERT_EQ(alerts->size(), 1);
    EXPECT_EQ(alerts->at(0).message, noApplication);

    installTool(QStringLiteral("xdg-email"), 0);
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    ASSERT_TRUE(mailed.wait(5000));
    EXPECT_EQ(
        toolArguments(QStringLiteral("xdg-email")),
        (QStringList{QStringLiteral("--subject"), QStringLiteral("Song one.mp3"), QStringLiteral("--body"),
                     QStringLiteral("Файл отправлен из приложения ВКонтакте Melodrop"),
                     QStringLiteral("--attach"), songPath()}));
    EXPECT_EQ(log.count(QStringLiteral("Result: sent")), 1);

    installTool(QStringLiteral("xdg-email"), 1);
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    ASSERT_TRUE(mailed.wait(5000));
    EXPECT_EQ(log.count(QStringLiteral("Result: failed")), 1);

    // Neither portals nor tools: a QCoreApplication cannot ask QDesktopServices either.
    qputenv("PATH", QTemporaryDir().path().toUtf8());
    screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
    ASSERT_TRUE(opened.wait(5000));
    EXPECT_EQ(alerts->size(), 2);
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    ASSERT_TRUE(mailed.wait(5000));
    EXPECT_EQ(log.count(QStringLiteral("Result: failed")), 2);
    EXPECT_TRUE(desktop->calls().isEmpty());
}

TEST_F(DesktopTest, AFileGoneSinceItWasListedIsReportedAndNotHandedOn)
{
    Audio_Export screen(settings.get());
    QList<Alert> *alerts = watchAlerts(screen);
    screen.viewWillAppear();
    screen.rowSelected(0);
    screen.rowSelected(0);
    ASSERT_TRUE(QFile::remove(songPath()));
    screen.actionSheetClickedButtonAtIndex(MediaExport::SendByEmail);
    screen.actionSheetClickedButtonAtIndex(MediaExport::OpenWith);
    QCoreApplication::processEvents();
    ASSERT_EQ(alerts->size(), 2);
    EXPECT_EQ(alerts->at(0).title, QStringLiteral("Ошибка"));
    EXPECT_EQ(alerts->at(0).message, QStringLiteral("Не удалось прочитать файл Song one.mp3"));
    EXPECT_TRUE(desktop->calls().isEmpty());
}

TEST_F(DesktopTest, AnAnswerArrivingAfterTheScreenClosedIsDropped)
{
    desktop->autoRespond = false;
    auto *screen = new Audio_Export(settings.get());
    bool called = false;
    QObject::connect(screen, &MediaExport::openFinished, [&called] { called = true; });
    choose(*screen, MediaExport::OpenWith);
    ASSERT_TRUE(TestSupport::waitFor([] { return !desktop->lastRequestPath().isEmpty(); }));
    delete screen;
    desktop->respond(desktop->lastRequestPath(), 0);
    TestSupport::waitFor([] { return false; }, 300);
    EXPECT_FALSE(called);
}

TEST_F(DesktopTest, IdleInhibitionUsesThePortalElseTheScreenSaverAndIsReleased)
{
    {
        Portals::IdleInhibitor inhibitor;
        inhibitor.inhibit(QStringLiteral("playing"));
        ASSERT_TRUE(
            TestSupport::waitFor([&] { return inhibitor.state() == Portals::IdleInhibitor::ThroughPortal; }));
        const QList<ReceivedCall> calls = desktop->calls();
        ASSERT_EQ(calls.size(), 1);
        EXPECT_EQ(calls[0].interface, QStringLiteral("org.freedesktop.portal.Inhibit"));
        EXPECT_EQ(calls[0].arguments.at(1).toUInt(), 8u); // idle
        EXPECT_EQ(calls[0].options.value(QStringLiteral("reason")).toString(), QStringLiteral("playing"));
        inhibitor.release();
        ASSERT_TRUE(TestSupport::waitFor([] { return desktop->calls().size() == 2; }));
        EXPECT_EQ(desktop->calls().at(1).member, QStringLiteral("Close"));
        EXPECT_TRUE(desktop->calls().at(1).path.startsWith(
            QStringLiteral("/org/freedesktop/portal/desktop/request/")));
    }

    desktop->clear();
    setPortal(false);
    setScreenSaver(true);
    {
        Portals::IdleInhibitor inhibitor;
        inhibitor.inhibit(QStringLiteral("playing"));
        ASSERT_TRUE(TestSupport::waitFor(
            [&] { return inhibitor.state() == Portals::IdleInhibitor::ThroughScreenSaver; }));
        ASSERT_EQ(desktop->calls().size(), 1);
        EXPECT_EQ(desktop->calls().at(0).arguments.at(1).toString(), QStringLiteral("playing"));
    } // released by its end
    ASSERT_TRUE(TestSupport::waitFor([] { return desktop->calls().size() == 2; }));
    EXPECT_EQ(desktop->calls().at(1).member, QStringLiteral("UnInhibit"));
    EXPECT_EQ(desktop->calls().at(1).arguments.at(0).toUInt(), 42u);

    // Released before the answer came: what the request started is ended when the answer arrives.
    desktop->clear();
    setPortal(true);
    Portals::IdleInhibitor quick;
    quick.inhibit(QStringLiteral("playing"));
    quick.release();
    ASSERT_TRUE(TestSupport::waitFor([] { return desktop->calls().size() == 2; }));
    EXPECT_EQ(desktop->calls().at(1).member, QStringLiteral("Close"));
    EXPECT_EQ(quick.state(), Portals::IdleInhibitor::Released);
    setPortal(false);

    setScreenSaver(false);
    Portals::IdleInhibitor none;
    none.inhibit(QStringLiteral("playing"));
    EXPECT_TRUE(TestSupport::waitFor([&] { return none.state() == Portals::IdleInhibitor::Unavailable; }));
}

} // namespace
