#include "Cli.h"

#include "core/GlobalData.h"
#include "decoding/Log.h"
#include "downloads/DownloadQueue.h"

#include <QEventLoop>
#include <QUrl>

namespace {

// A script must not wait for ever on a storage host that takes the connection and never answers: after this
// many time-outs in a row without a byte the download ends as unanswered, whatever retries are left.
constexpr int silentTimeoutsToGiveUp = 3;

// Queues one item the way a catalogue screen does and runs it through the queue's own transfer pool.
int download(const QStringList &arguments, const Cli::Options &)
{
    QStringList args = arguments;
    bool video = false;
    double timeout = DownloadQueue::transferTimeoutSeconds;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--"))
            break;
        if (option == QLatin1String("--video")) {
            video = true;
        } else if (option == QLatin1String("--timeout")) {
            bool ok = false;
            timeout = args.isEmpty() ? 0 : args.takeFirst().toDouble(&ok);
            if (!ok || !(timeout > 0) || timeout > 86400)
                return Cli::usage(QStringLiteral("--timeout needs a number of seconds above 0"));
        } else {
            return Cli::usage(QStringLiteral("unknown download option %1").arg(option));
        }
    }
    if (args.size() != 2)
        return Cli::usage(QStringLiteral("download needs NAME and URL"));
    const QUrl url(args.at(1), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty())
        return Cli::usage(QStringLiteral("download needs an http or https URL, not %1").arg(args.at(1)));

    QueueItem item;
    item.name = args.at(0);
    item.url = args.at(1);
    item.tag = GlobalData::sharedGlobalData()->nextFileTag();
    const int tag = item.tag;
    const int section = video ? DownloadQueue::Video : DownloadQueue::Audio;

    DownloadQueue queue;
    queue.setTransferTimeout(timeout, silentTimeoutsToGiveUp);
    // A broken transfer ends the command at once: the script that ran it decides whether to run it again
    // (it resumes from the part on disk).
    queue.setRetriesOnBreak(0);
    queue.append(section, item);
    QEventLoop loop;
    QObject::connect(&queue, &DownloadQueue::itemFinished, &loop, [&](int finishedTag, const QString &path) {
        if (finishedTag != tag)
            return;
        Cli::printLine(path);
        loop.exit(Cli::Ok);
    });
    // The queue has already logged the failure's description ("Нет ответа сервиса: …" for a host that never
    // answered).
    QObject::connect(&queue, &DownloadQueue::itemFailed, &loop, [&](int failedTag, const QString &) {
        if (failedTag == tag)
            loop.exit(Cli::IoFailure);
    });
    queue.start(section, 0);
    return loop.exec();
}

} // namespace

QList<Cli::Command> Cli::downloadCommands()
{
    return {{"download", "[--video] [--timeout SECONDS] NAME URL", false, download}};
}
