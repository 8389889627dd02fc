// The friends and communities of the signed-in user.
#include "Cli.h"

#include "service/VKontakteWorks.h"

#include <optional>

namespace {

int printPeople(const QStringList &args, const char *name, ServiceAnswer<QStringList> (*load)())
{
    if (!args.isEmpty())
        return Cli::usage(QStringLiteral("%1 takes no arguments").arg(QString::fromLatin1(name)));
    // Nothing (an unreadable page) prints like an empty list: the log line has told why.
    for (const QString &record : load().value_or(QStringList()))
        Cli::printLine(Cli::jsonString(record));
    return Cli::Ok;
}

int friends(const QStringList &args, const Cli::Options &)
{
    return printPeople(args, "friends", &VKontakteWorks::getSelfFriends);
}

int groups(const QStringList &args, const Cli::Options &)
{
    return printPeople(args, "groups", &VKontakteWorks::getSelfGroups);
}

} // namespace

QList<Cli::Command> Cli::friendsCommands()
{
    return {
        {"friends", "", true, friends},
        {"groups", "", true, groups},
    };
}
