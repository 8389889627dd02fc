// Argument helpers shared by the command groups.
#include "Cli.h"

#include <climits>

namespace Cli {

bool readInt(const QString &text, int *value)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    if (!ok || n < INT_MIN || n > INT_MAX)
        return false;
    *value = int(n);
    return true;
}

bool splitArgs(const QStringList &args, const QStringList &optionNames, QStringList *positional,
               QMap<QString, QString> *options, QString *problem)
{
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (!optionsEnded && arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !arg.startsWith(QLatin1String("--"))) {
            positional->append(arg);
            continue;
        }
        if (!optionNames.contains(arg)) {
            *problem = QStringLiteral("unknown option %1").arg(arg);
            return false;
        }
        if (i + 1 >= args.size()) {
            *problem = QStringLiteral("%1 needs a value").arg(arg);
            return false;
        }
        options->insert(arg, args.at(++i));
    }
    return true;
}

} // namespace Cli
