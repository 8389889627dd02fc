// melodrop: the desktop program.
#include "app/ImageCache.h"
#include "app/Lifecycle.h"
#include "app/SandboxProcess.h"
#include "app/Shell.h"
#include "app/Translations.h"
#include "app/ViewSingletons.h"
#include "app/WindowState.h"
#include "core/GlobalData.h"
#include "core/Settings.h"
#include "core/StorageLayout.h"
#include "desktop/ColorScheme.h"
#include "desktop/Mpris.h"
#include "desktop/RemoteControl.h"
#include "desktop/SingleInstance.h"
#include "playback/AudioRouteMonitor.h"
#include "playback/MusicPlayer.h"
#include "screens/SettingsPage.h"
#include "service/ServiceEndpoints.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QQmlApplicationEngine>
#include <QQmlExtensionPlugin>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTimer>

#include <clocale>
#include <cstdio>
#include <memory>
#include <utility>

// The window's views and the types they use, linked in statically (qml/).
Q_IMPORT_QML_PLUGIN(MelodropPlugin)

namespace {

// Resident memory of this process in kilobytes, from /proc.
long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// MELODROP_STARTUP_PROBE=1: report the time to the first drawn frame and the resident memory after three idle
// seconds on standard error, then quit (bench/startup.sh).
void probeStartup(QQuickWindow *window, const QElapsedTimer &sinceStart)
{
    auto reported = std::make_shared<bool>(false);
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [reported, &sinceStart] {
        if (*reported)
            return;
        *reported = true;
        std::fprintf(stderr, "first frame after %lld ms\n", static_cast<long long>(sinceStart.elapsed()));
        QTimer::singleShot(3000, qApp, [] {
            std::fprintf(stderr, "idle resident memory %.1f MB\n", residentKilobytes() / 1024.0);
            QCoreApplication::quit();
        });
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QGuiApplication app(argc, argv);
    // libmpv refuses to start under a locale with a decimal comma; Qt sets the locale in its constructor.
    std::setlocale(LC_NUMERIC, "C");
    QGuiApplication::setOrganizationName(QStringLiteral("Melodrop"));
    QGuiApplication::setApplicationName(QStringLiteral("Melodrop"));
    QGuiApplication::setApplicationVersion(QStringLiteral(MELODROP_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("melodrop"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/melodrop.svg")));
    Translations::install(QLocale::system());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Music and video of VKontakte on the desktop"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption sandboxOption(
        QStringLiteral("sandbox"), QStringLiteral("Run against the built-in local stand-in of the service."));
    const QCommandLineOption baseOption(QStringLiteral("service-base"),
                                        QStringLiteral("Point every service address at one server."),
                                        QStringLiteral("URL"));
    const QCommandLineOption rootOption(
        QStringLiteral("root"), QStringLiteral("Documents folder of the program."), QStringLiteral("DIR"));
    parser.addOptions({sandboxOption, baseOption, rootOption});
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("MP3 or MP4 files to import."),
                                 QStringLiteral("[files...]"));
    parser.process(app);

    SandboxProcess sandbox;
    Shell shell;
    if (parser.isSet(sandboxOption)) {
        QString error;
        if (!sandbox.start(&error)) {
            std::fprintf(stderr, "melodrop: the sandbox could not start: %s\n", qPrintable(error));
            return 1;
        }
        ServiceEndpoints::useServiceBase(sandbox.baseUrl());
        shell.setSandboxHint(QCoreApplication::translate("Shell", "Песочница %1 — %2")
                                 .arg(sandbox.baseUrl(), sandbox.account()));
    } else if (parser.isSet(baseOption)) {
        if (!ServiceEndpoints::useServiceBase(parser.value(baseOption))) {
            std::fprintf(stderr, "melodrop: --service-base needs an http URL\n");
            return 2;
        }
    }
    // --root and MELODROP_ROOT are for one run; the folder chosen on the settings page holds otherwise.
    const QString chosenRoot = Settings::shared().stringValue(QStringLiteral("library/documents_folder"));
    if (parser.isSet(rootOption))
        StorageLayout::setRootDir(parser.value(rootOption));
    else if (qEnvironmentVariableIsEmpty("MELODROP_ROOT") && !chosenRoot.isEmpty())
        StorageLayout::setRootDir(chosenRoot);
    QDir().mkpath(StorageLayout::getRootDir()); // the documents root always exists

    // One program per documents folder: a second start hands its files over and ends.
    SingleInstance instance(SingleInstance::serverNameFor(StorageLayout::getRootDir()));
    if (instance.sendToRunningInstance(parser.positionalArguments(), QDir::currentPath()))
        return 0;
    instance.listen();
    // Moving the documents folder moves this program's claim with it, so that a later start on the new folder
    // finds this program rather than a second one.
    SettingsPage::setRootClaim(
        [&instance](const QString &root) { return instance.switchTo(SingleInstance::serverNameFor(root)); });

    GlobalData::sharedGlobalData();

    RemoteControl remote;
    app.installEventFilter(&remote); // media keys in the window, held seek keys included
    Mpris mpris(&remote);
    mpris.setTagCache(shell.tagCache());
    AudioRouteMonitor route;
    Lifecycle lifecycle;

    QQuickWindow::setGraphicsApi(QSGRendererInterface::OpenGL); // the video picture is drawn through OpenGL
    QQuickStyle::setStyle(QStringLiteral("Material"));
    shell.colorScheme()->start();
    ViewSingletons::provide(&shell, &lifecycle);
    ImageCache imageCache; // row pictures kept on disk; outlives the engine that uses it
    QQmlApplicationEngine engine;
    engine.setNetworkAccessManagerFactory(&imageCache);
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app, [] { QCoreApplication::exit(1); },
        Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/qml/Melodrop/Main.qml")));
    auto *window =
        engine.rootObjects().isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    if (!window)
        return 1;

    WindowState windowState(Settings::defaultPath());
    windowState.attach(window);
    QObject::connect(&shell, &Shell::quitRequested, &app, [&windowState] {
        windowState.save();
        QCoreApplication::quit();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &windowState, &WindowState::save);

    auto raise = [window] {
        window->show();
        window->raise();
        window->requestActivate();
    };
    QObject::connect(&mpris, &Mpris::raiseRequested, window, raise);
    QObject::connect(
        window, &QWindow::visibilityChanged, &lifecycle,
        [&lifecycle](QWindow::Visibility visibility) { lifecycle.windowVisibilityChanged(visibility); });
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &lifecycle,
                     &Lifecycle::applicationStateChanged);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &lifecycle, &Lifecycle::applicationWillTerminate);
    lifecycle.watchTerminationSignals();

    if (qEnvironmentVariableIsSet("MELODROP_STARTUP_PROBE"))
        probeStartup(window, sinceStart);

    Lifecycle::LaunchSteps steps;
    steps.showWindow = [window] { window->show(); };
    steps.audioSession = [&route] {
        MusicPlayer::shared().start(); // the tick, for the whole run; libmpv comes with the first track
        route.start();
    };
    steps.remoteControl = [&mpris] { mpris.start(); }; // no session bus: media keys in the window still work
    steps.afterFirstFrame = [window](std::function<void()> then) {
        // Once, on the main thread (the render loop may swap on a thread of its own). A window that draws
        // nothing (started minimised) gets its playlist a moment later all the same.
        auto once = std::make_shared<std::function<void()>>(std::move(then));
        auto swapped = std::make_shared<QMetaObject::Connection>();
        auto run = [once, swapped] {
            QObject::disconnect(*swapped);
            if (*once)
                std::exchange(*once, {})();
        };
        *swapped = QObject::connect(window, &QQuickWindow::frameSwapped, window, run, Qt::QueuedConnection);
        QTimer::singleShot(2000, window, run);
    };
    lifecycle.didFinishLaunching(steps);

    QObject::connect(&instance, &SingleInstance::messageReceived, &lifecycle,
                     [&lifecycle, raise](const QStringList &arguments, const QString &workingDirectory) {
                         lifecycle.openArguments(arguments, workingDirectory);
                         raise();
                     });
    // Files from the command line once the window can show the import notices.
    const QStringList files = parser.positionalArguments();
    QTimer::singleShot(0, &lifecycle,
                       [&lifecycle, files] { lifecycle.openArguments(files, QDir::currentPath()); });
    return app.exec();
}
