#pragma once

#include "cli_options.h"

// Runs what the command line asks for and gives the program's exit status. Readings go to stdout,
// reasons to stderr, one line each.
namespace cli {

int run(const Invocation &invocation);

} // namespace cli
