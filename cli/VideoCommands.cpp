// The video commands: search, a user's or a community's list, recommendations, link resolution.
#include "Cli.h"

#include "service/VKontakteWorks.h"

#include <QMap>

namespace {

void printRecords(const ServiceAnswer<QList<VideoRecord>> &records)
{
    // Nothing (an unreadable answer) prints like an empty list: the log line has told why.
    if (!records)
        return;
    for (const VideoRecord &r : *records)
        Cli::printLine(Cli::jsonArray({r.title, r.key, r.quality, r.tag, r.state, r.duration, r.thumbnail}));
}

int searchVideo(const QStringList &args, const Cli::Options &)
{
    QStringList positional;
    QMap<QString, QString> options;
    QString problem;
    if (!Cli::splitArgs(args, {"--offset", "--quality", "--sort"}, &positional, &options, &problem))
        return Cli::usage(problem);
    if (positional.size() != 1)
        return Cli::usage(QStringLiteral("search-video needs one TEXT"));
    int values[3] = {0, 0, 0};
    const char *const names[3] = {"--offset", "--quality", "--sort"};
    for (int i = 0; i < 3; ++i) {
        const QString name = QString::fromLatin1(names[i]);
        if (options.contains(name) && !Cli::readInt(options.value(name), &values[i]))
            return Cli::usage(QStringLiteral("%1 needs a whole number").arg(name));
    }
    printRecords(VKontakteWorks::searchVideoWithOffset(positional.first(), values[0], values[1], values[2]));
    return Cli::Ok;
}

int videoList(const QStringList &args, const Cli::Options &)
{
    QStringList positional;
    QMap<QString, QString> options;
    QString problem;
    if (!Cli::splitArgs(args, {"--kind"}, &positional, &options, &problem))
        return Cli::usage(problem);
    if (positional.size() != 1)
        return Cli::usage(QStringLiteral("video-list needs one OWNER"));
    const QString kind = options.value("--kind");
    if (kind != QLatin1String("0") && kind != QLatin1String("1"))
        return Cli::usage(QStringLiteral("video-list needs --kind 0 or 1"));
    printRecords(VKontakteWorks::getVideoWithJSON(positional.first(), kind.toInt()));
    return Cli::Ok;
}

int videoRecommendations(const QStringList &args, const Cli::Options &)
{
    QStringList positional;
    QMap<QString, QString> options;
    QString problem;
    if (!Cli::splitArgs(args, {}, &positional, &options, &problem))
        return Cli::usage(problem);
    if (positional.size() != 1)
        return Cli::usage(QStringLiteral("video-recommendations needs one OWNER"));
    printRecords(VKontakteWorks::getVideoRecommendations(positional.first()));
    return Cli::Ok;
}

int videoLink(const QStringList &args, const Cli::Options &)
{
    QStringList positional;
    QMap<QString, QString> options;
    QString problem;
    if (!Cli::splitArgs(args, {}, &positional, &options, &problem))
        return Cli::usage(problem);
    if (positional.size() != 1)
        return Cli::usage(QStringLiteral("video-link needs one KEY"));
    Cli::printLine(Cli::jsonString(VKontakteWorks::getVideoLink(positional.first())));
    return Cli::Ok;
}

} // namespace

QList<Cli::Command> Cli::videoCommands()
{
    return {
        {"search-video", "TEXT [--offset N] [--quality N] [--sort N]", true, searchVideo},
        {"video-list", "OWNER --kind 0|1", true, videoList},
        {"video-recommendations", "OWNER", true, videoRecommendations},
        {"video-link", "KEY", true, videoLink},
    };
}
