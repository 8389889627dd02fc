#include "Cli.h"

QList<Cli::Command> Cli::audioCommands()
{
    return {};
}
