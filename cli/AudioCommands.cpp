// The audio commands: search, lists, the rights-holder list, adding and deleting on the user's page.
#include "Cli.h"

#include "service/VKontakteWorks.h"

#include <QMap>

namespace {

void printRecords(const ServiceAnswer<QList<AudioRecord>> &records)
{
    // Nothing (an unreadable answer) prints like an empty list: the log line has told why.
    if (!records)
        return;
    for (const AudioRecord &r : *records)
        Cli::printLine(Cli::jsonArray({r.duration, r.url, r.title, r.artist, r.tag, r.aid, r.oid}));
}

int searchAudio(const QStringList &args, const Cli::Options &)
{
    QStringList positional;
    QMap<QString, QString> options;
    QString problem;
    if (!Cli::splitArgs(args, {"--offset", "--sort"}, &positional, &options, &problem))
        return Cli::usage(problem);
    if (positional.size() != 1)
        return Cli::usage(QStringLiteral("search-audio needs one TEXT"));
    int offset = 0;
    int sort = 0;
    if (options.contains("--offset") && !Cli::readInt(options.value("--offset"), &offset))
        return Cli::usage(QStringLiteral("--offset needs a whole number"));
    if (options.contains("--sort") && !Cli::readInt(options.value("--sort"), &sort))
        return Cli::usage(QStringLiteral("--sort needs a whole number"));
    printRecords(VKontakteWorks::searchAudioWithOffset(positional.first(), offset, sort));
    return Cli::Ok;
}

int audioList(const QStringList &args, const Cli::Options &)
{
    QStringList positional;
    QMap<QString, QString> options;
    QString problem;
    if (!Cli::splitArgs(args, {"--kind"}, &positional, &options, &problem))
        return Cli::usage(problem);
    if (positional.size() != 1)
        return Cli::usage(QStringLiteral("audio-list needs one OWNER"));
    const QString kind = options.value("--kind");
    if (kind != QLatin1String("0") && kind != QLatin1String("1") && kind != QLatin1String("2"))
        return Cli::usage(QStringLiteral("audio-list needs --kind 0, 1 or 2"));
    printRecords(VKontakteWorks::getAudioWithJSON(positional.first(), kind.toInt()));
    return Cli::Ok;
}

int riaa(const QStringList &args, const Cli::Options &)
{
    if (!args.isEmpty())
        return Cli::usage(QStringLiteral("riaa takes no arguments"));
    const ServiceAnswer<QStringList> lines = VKontakteWorks::getRiaaList();
    if (lines) {
        for (const QString &line : *lines)
            Cli::printLine(Cli::jsonString(line));
    }
    return Cli::Ok;
}

int addAudio(const QStringList &args, const Cli::Options &)
{
    if (args.size() != 2)
        return Cli::usage(QStringLiteral("add-audio needs AID and OID"));
    VKontakteWorks::addAudio(args.at(0), args.at(1));
    return Cli::Ok;
}

int deleteAudio(const QStringList &args, const Cli::Options &)
{
    if (args.size() != 2)
        return Cli::usage(QStringLiteral("delete-audio needs AID and OID"));
    VKontakteWorks::delAudio(args.at(0), args.at(1));
    return Cli::Ok;
}

} // namespace

QList<Cli::Command> Cli::audioCommands()
{
    return {
        {"search-audio", "TEXT [--offset N] [--sort N]", true, searchAudio},
        {"audio-list", "OWNER --kind 0|1|2", true, audioList},
        {"riaa", "", false, riaa},
        {"add-audio", "AID OID", true, addAudio},
        {"delete-audio", "AID OID", true, deleteAudio},
    };
}
