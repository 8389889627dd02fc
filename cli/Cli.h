#pragma once

#include "service/Session.h"

#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// The command-line client's shared pieces: options, output and exit codes.
namespace Cli {

enum ExitCode { Ok = 0, IoFailure = 1, UsageError = 2, SignInFailed = 3 };

struct Options
{
    QString serviceBase;
    QString root;
    QString sid;
    QString uid;
    QString email;
    QString password;
    bool hasSid = false;       // --sid SID or --sid -
    bool sidFromStdin = false; // --sid -
    bool hasUid = false;
    bool hasCredentials = false;
    bool hasPassword = false;       // --password P
    bool passwordFromStdin = false; // --password -
};

struct Command
{
    const char *name;
    const char *usage;
    bool needsSession;
    std::function<int(const QStringList &args, const Options &options)> run;
};

// Writes one line to standard output (UTF-8) once the command has ended (see main's dispatcher).
void printLine(const QString &line);
void flushOutput();
// Says on standard error why the sign-in failed; exit code 3.
int signInFailed(const Session::SignInResult &result);
// A JSON string literal of `text`.
QString jsonString(const QString &text);
// One JSON array of texts.
QString jsonArray(const QStringList &texts);

// A whole number that fits an int.
bool readInt(const QString &text, int *value);
// Splits ARGS into positional texts and the values of the named options ("--name VALUE"); false, with the
// problem, on an unknown option or one without its value. Only "--" starts an option, so that a negative
// number ("-42") is a positional text; after a bare "--" everything is positional.
bool splitArgs(const QStringList &args, const QStringList &optionNames, QStringList *positional,
               QMap<QString, QString> *options, QString *problem);

// The commands of this build, and the groups they come from.
QList<Command> commands();
QList<Command> audioCommands();
QList<Command> videoCommands();
QList<Command> downloadCommands();
QList<Command> friendsCommands();
QList<Command> albumCommands();
// The usage on standard error after `problem`: exit code 2. help(): the same text on standard output, 0.
int usage(const QString &problem = QString());
int help();

// One line of standard input without its line end (the terminal's echo off meanwhile, `prompt` shown on a
// terminal); nothing at end of input.
std::optional<QString> readSecretLine(const char *prompt);
std::optional<QString> readPasswordLine();
// The password the options give: --password - (standard input), --password P, else the environment variable
// MELODROP_PASSWORD; nothing when none of them does.
std::optional<QString> password(const Options &options);
// The session identifier the options give: --sid - (standard input), else --sid SID or MELODROP_SID (which
// main takes when only --uid is given); nothing when none of them does.
std::optional<QString> sessionId(const Options &options);

} // namespace Cli
