#include "Cli.h"

#include "core/GlobalData.h"
#include "decoding/Log.h"
#include "downloads/Queue.h"

#include <QEventLoop>
#include <QUrl>

namespace {

// Queues one item the way a catalogue screen does and runs it through the queue's own transfer pool.
int download(const QStringList &arguments, const Cli::Options &)
{
    QStringList args = arguments;
    const bool video = !args.isEmpty() && args.first() == QLatin1String("--video");
    if (video)
        args.removeFirst();
    if (args.size() != 2)
        return Cli::usage(QStringLiteral("download needs NAME and URL"));
    const QUrl url(args.at(1), QUrl::StrictMode);
    if (!url.isValid() || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) ||
        url.host().isEmpty())
        return Cli::usage(QStringLiteral("download needs an http or https URL, not %1").arg(args.at(1)));

    GlobalData *global = GlobalData::sharedGlobalData();
    QList<QueueItem> &list = video ? global->videoQueueArray : global->audioQueueArray;
    QueueItem item;
    item.name = args.at(0);
    item.url = args.at(1);
    item.tag = QString::number(global->nextFileTag());
    list.append(item);
    const int tag = item.tag.toInt();

    Queue queue;
    QEventLoop loop;
    QObject::connect(&queue, &Queue::transferFinished, &loop, [&](int finishedTag, const QString &path) {
        if (finishedTag != tag)
            return;
        Cli::printLine(path);
        loop.exit(Cli::Ok);
    });
    // The queue has already logged the failure's description.
    QObject::connect(&queue, &Queue::transferFailed, &loop, [&](int failedTag, const QString &) {
        if (failedTag == tag)
            loop.exit(Cli::IoFailure);
    });
    queue.startItem(video ? 1 : 0, int(list.size()) - 1);
    return loop.exec();
}

} // namespace

QList<Cli::Command> Cli::downloadCommands()
{
    return {{"download", "[--video] NAME URL", false, download}};
}
