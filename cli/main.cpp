// gx7140r-cli: the GX7140R module from scripts and production lines.
#include "commands.h"
#include "core/port_mapping.h"
#include "core/standard_streams.h"

#include <QCoreApplication>

#include <csignal>

int main(int argc, char *argv[]) {
    const standard_streams::Closed closed = standard_streams::reopenClosed();
    // The name the port's lock file gives (the window tells "in use by ... (gx7140r-cli)").
    QCoreApplication::setApplicationName(QStringLiteral("gx7140r-cli"));
    // A file grown to its size limit fails its write (EFBIG), told as any write that fails.
    standard_streams::catchWithoutEffect(SIGXFSZ);
    // Readings with nowhere to go: nothing is opened or sent.
    if (closed.output)
        return cli::refuseClosedOutput();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const PortMapping mapping({}, SavedPortMapping().load());
    return cli::run(
        cli::parseCommandLine(arguments, [&mapping](int port) { return mapping.device(port); }));
}
