#include "Cli.h"

QList<Cli::Command> Cli::downloadCommands()
{
    return {};
}
