// melodrop: the desktop program.
#include "app/GlobalData.h"
#include "app/Shell.h"
#include "sandbox/Sandbox.h"
#include "service/ServiceEndpoints.h"
#include "service/VKontakteWorks.h"

#include <QCommandLineParser>
#include <QDir>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickStyle>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setOrganizationName(QStringLiteral("Melodrop"));
    QGuiApplication::setApplicationName(QStringLiteral("Melodrop"));
    QGuiApplication::setApplicationVersion(QStringLiteral(MELODROP_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("melodrop"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Music and video of VKontakte on the desktop"));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption sandboxOption(QStringLiteral("sandbox"),
                                           QStringLiteral("Run against the built-in local stand-in of the service."));
    const QCommandLineOption baseOption(QStringLiteral("service-base"),
                                        QStringLiteral("Point every service address at one server."),
                                        QStringLiteral("URL"));
    const QCommandLineOption rootOption(QStringLiteral("root"), QStringLiteral("Documents folder of the program."),
                                        QStringLiteral("DIR"));
    parser.addOptions({sandboxOption, baseOption, rootOption});
    parser.process(app);

    std::unique_ptr<Sandbox> sandbox;
    Shell shell;
    if (parser.isSet(sandboxOption)) {
        sandbox = std::make_unique<Sandbox>();
        if (!sandbox->start()) {
            std::fprintf(stderr, "melodrop: the sandbox could not start\n");
            return 1;
        }
        ServiceEndpoints::useServiceBase(QString::fromStdString(sandbox->baseUrl()));
        const Sandbox::Account account = Sandbox::defaultAccount();
        shell.setSandboxHint(QStringLiteral("Песочница %1 — %2 / %3")
                                 .arg(QString::fromStdString(sandbox->baseUrl()),
                                      QString::fromStdString(account.email), QString::fromStdString(account.password)));
    } else if (parser.isSet(baseOption)) {
        if (!ServiceEndpoints::useServiceBase(parser.value(baseOption))) {
            std::fprintf(stderr, "melodrop: --service-base needs an http URL\n");
            return 2;
        }
    }
    if (parser.isSet(rootOption))
        VKontakteWorks::setRootDir(parser.value(rootOption));
    QDir().mkpath(VKontakteWorks::getRootDir()); // the documents root always exists
    GlobalData::sharedGlobalData();

    QQuickStyle::setStyle(QStringLiteral("Material"));
    Shell::registerQmlTypes(&shell);
    QQmlApplicationEngine engine;
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreationFailed, &app, [] { QCoreApplication::exit(1); },
        Qt::QueuedConnection);
    engine.load(QUrl(QStringLiteral("qrc:/qml/Main.qml")));
    if (engine.rootObjects().isEmpty())
        return 1;
    return app.exec();
}
