// gx7140r-cli: the GX7140R module from scripts and production lines.
#include "commands.h"
#include "core/port_mapping.h"

int main(int argc, char *argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const PortMapping mapping({}, SavedPortMapping().load());
    return cli::run(
        cli::parseCommandLine(arguments, [&mapping](int port) { return mapping.device(port); }));
}
