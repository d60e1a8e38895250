#pragma once

#include "cli_options.h"

// Runs what the command line asks for and gives the program's exit status. Readings go to stdout,
// reasons to stderr, one line each.
namespace cli {

int run(const Invocation &invocation);

// The run of a program started with its standard output closed: the reason on stderr, and the
// status of output that cannot be written.
int refuseClosedOutput();

} // namespace cli
