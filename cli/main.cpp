// melodrop-cli: the core without screens, for scripts and end-to-end tests.
#include "Cli.h"

#include "core/GlobalData.h"
#include "core/StorageLayout.h"
#include "decoding/Json.h"
#include "decoding/Log.h"
#include "net/Http.h"
#include "service/ServiceEndpoints.h"
#include "service/Session.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

namespace Cli {

namespace {
// A command's output is held until it has ended: a command whose requests got no answer prints nothing.
QByteArray &pendingOutput()
{
    static QByteArray output;
    return output;
}
} // namespace

void printLine(const QString &line)
{
    pendingOutput() += line.toUtf8() + '\n';
}

void flushOutput()
{
    std::fwrite(pendingOutput().constData(), 1, size_t(pendingOutput().size()), stdout);
    std::fflush(stdout);
    pendingOutput().clear();
}

QString jsonString(const QString &text)
{
    return Json::Value::string(text).toCompactJson();
}

QString jsonArray(const QStringList &texts)
{
    Json::Value array = Json::Value::array();
    for (const QString &text : texts)
        array.append(Json::Value::string(text));
    return array.toCompactJson();
}

namespace {
QString usageText()
{
    QString text =
        QStringLiteral("usage: melodrop-cli [--service-base URL] [--root DIR] "
                       "[--sid SID|- --uid UID | --email E [--password -|P]] COMMAND ARGS\n"
                       "--password - reads the password from standard input; without --password it "
                       "comes from MELODROP_PASSWORD\n--sid - reads the session from standard input; "
                       "--uid without --sid takes it from MELODROP_SID\ncommands:\n");
    for (const Command &command : commands())
        text += QStringLiteral("  %1 %2\n")
                    .arg(QString::fromUtf8(command.name), QString::fromUtf8(command.usage));
    return text;
}
} // namespace

int usage(const QString &problem)
{
    if (!problem.isEmpty())
        std::fprintf(stderr, "melodrop-cli: %s\n", problem.toUtf8().constData());
    std::fputs(usageText().toUtf8().constData(), stderr);
    return UsageError;
}

int help()
{
    std::fputs(usageText().toUtf8().constData(), stdout);
    return Ok;
}

// Says why a sign-in failed, on standard error.
int signInFailed(const Session::SignInResult &result)
{
    const QString what = result.outcome == Session::SignInResult::Unreachable
                             ? Session::unreachableDetails()
                             : QStringLiteral("Не удалось выполнить вход");
    Log::line(QStringLiteral("Ошибка: %1 (%2)").arg(what, result.cause));
    return SignInFailed;
}

namespace {

// login EMAIL PASSWORD; PASSWORD "-" reads it from standard input, and without it (or without both, given
// --email) it comes from the options.
int login(const QStringList &args, const Options &options)
{
    if (args.size() > 2 || (args.isEmpty() && !options.hasCredentials))
        return usage(QStringLiteral("login needs EMAIL and PASSWORD"));
    const QString email = args.isEmpty() ? options.email : args.at(0);
    std::optional<QString> password;
    if (args.size() == 2)
        password = args.at(1) == QLatin1String("-") ? readPasswordLine() : std::optional<QString>(args.at(1));
    else
        password = Cli::password(options);
    if (!password)
        return usage(
            QStringLiteral("login needs a password: - (standard input), --password or MELODROP_PASSWORD"));
    const Session::SignInResult result = Session::signIn(email, *password);
    if (result.outcome != Session::SignInResult::SignedIn)
        return signInFailed(result);
    const GlobalData *global = GlobalData::sharedGlobalData();
    printLine(QStringLiteral("{\"vksid\": %1, \"vkuid\": %2}")
                  .arg(jsonString(global->vksid()), jsonString(global->vkuid())));
    return Ok;
}

int parseJson(const QStringList &args, const Options &)
{
    if (args.size() != 1)
        return usage(QStringLiteral("parse-json needs FILE (or - for standard input)"));
    QFile file;
    bool opened = false;
    if (args.at(0) == QLatin1String("-")) {
        opened = file.open(stdin, QIODevice::ReadOnly);
    } else {
        file.setFileName(args.at(0));
        opened = file.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        std::fprintf(stderr, "melodrop-cli: cannot read %s\n", args.at(0).toUtf8().constData());
        return IoFailure;
    }
    const std::optional<Json::Value> value = JSONValue(QString::fromUtf8(file.readAll()));
    if (!value)
        return IoFailure;
    printLine(value->toCompactJson());
    return Ok;
}

} // namespace

QList<Command> commands()
{
    QList<Command> all{
        {"login", "EMAIL [PASSWORD|-]", false, login},
        {"parse-json", "FILE|-", false, parseJson},
    };
    all += audioCommands();
    all += videoCommands();
    all += downloadCommands();
    all += friendsCommands();
    all += albumCommands();
    return all;
}

} // namespace Cli

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Melodrop"));
    QCoreApplication::setApplicationName(QStringLiteral("Melodrop"));

    QStringList args = QCoreApplication::arguments().mid(1);
    Cli::Options options;
    // Global options come before the command.
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--help"))
            return Cli::help();
        if (args.isEmpty())
            return Cli::usage(QStringLiteral("%1 needs a value").arg(option));
        const QString value = args.takeFirst();
        if (option == QLatin1String("--service-base"))
            options.serviceBase = value;
        else if (option == QLatin1String("--root"))
            options.root = value;
        else if (option == QLatin1String("--sid") && value == QLatin1String("-"))
            options.sidFromStdin = true, options.hasSid = true;
        else if (option == QLatin1String("--sid"))
            options.sid = value, options.hasSid = true;
        else if (option == QLatin1String("--uid"))
            options.uid = value, options.hasUid = true;
        else if (option == QLatin1String("--email"))
            options.email = value, options.hasCredentials = true;
        else if (option == QLatin1String("--password") && value == QLatin1String("-"))
            options.passwordFromStdin = true;
        else if (option == QLatin1String("--password"))
            options.password = value, options.hasPassword = true;
        else
            return Cli::usage(QStringLiteral("unknown option %1").arg(option));
    }
    if (args.isEmpty())
        return Cli::usage(QStringLiteral("no command given"));
    // --uid alone takes the session identifier from MELODROP_SID.
    if (options.hasUid && !options.hasSid && !options.hasCredentials &&
        qEnvironmentVariableIsSet("MELODROP_SID"))
        options.sid = qEnvironmentVariable("MELODROP_SID"), options.hasSid = true;
    if (options.hasSid && options.hasCredentials)
        return Cli::usage(QStringLiteral("give either --sid/--uid or --email/--password"));
    if (!options.serviceBase.isEmpty() && !ServiceEndpoints::useServiceBase(options.serviceBase))
        return Cli::usage(QStringLiteral("--service-base needs an http URL"));
    if (!options.root.isEmpty())
        StorageLayout::setRootDir(options.root);

    const QString name = args.takeFirst();
    for (const Cli::Command &command : Cli::commands()) {
        if (name != QLatin1String(command.name))
            continue;
        GlobalData *global = GlobalData::sharedGlobalData();
        if (options.hasSid) {
            const std::optional<QString> sid = Cli::sessionId(options);
            if (!sid)
                return Cli::usage(QStringLiteral("--sid - found no line on standard input"));
            global->setVksid(*sid);
            global->setVkuid(options.uid);
        } else if (command.needsSession) {
            if (!options.hasCredentials)
                return Cli::usage(
                    QStringLiteral("%1 needs a session: --sid/--uid or --email/--password").arg(name));
            // Without any password the sign-in goes ahead with an empty one, and fails as such.
            const QString password = Cli::password(options).value_or(QString());
            const Session::SignInResult result = Session::signIn(options.email, password);
            if (result.outcome != Session::SignInResult::SignedIn)
                return Cli::signInFailed(result);
        }
        if (!QDir().mkpath(StorageLayout::getRootDir())) {
            Log::line(QStringLiteral("Не удалось создать папку ") + StorageLayout::getRootDir());
            return Cli::IoFailure;
        }
        const int code = command.run(args, options);
        // One rule for every command (see net/Http.h): a request that got no answer at all is a failure, not
        // an empty result.
        if ((code == Cli::Ok || code == Cli::IoFailure) && Http::unansweredRequests() > 0) {
            Log::line(QStringLiteral("Нет ответа сервиса: ") + Http::firstUnansweredCause());
            return Cli::IoFailure;
        }
        Cli::flushOutput();
        return code;
    }
    return Cli::usage(QStringLiteral("unknown command %1").arg(name));
}
