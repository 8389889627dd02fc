#pragma once

#include <QString>
#include <QStringList>

#include <functional>

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
    bool hasSid = false;
    bool hasCredentials = false;
};

struct Command
{
    const char *name;
    const char *usage;
    bool needsSession;
    std::function<int(const QStringList &args, const Options &options)> run;
};

// Writes one line to standard output (UTF-8).
void printLine(const QString &line);
// A JSON string literal of `text`.
QString jsonString(const QString &text);
// One JSON array of texts.
QString jsonArray(const QStringList &texts);

// The commands of this build, and the groups they come from.
QList<Command> commands();
QList<Command> audioCommands();
QList<Command> downloadCommands();
int usage(const QString &problem = QString());

} // namespace Cli
