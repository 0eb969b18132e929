// SIGINT and SIGTERM during long work: instead of ending the program at
// once, they ask the command's work to stop, which it sees between two
// transactions or at once while it waits, so that a restore can still say
// which blocks the driver took and a recording ends with its file complete.
#pragma once

#include <stop_token>

namespace cli {

// Installs the handlers (once, for the rest of the run) and gives the one
// stop they ask for.
std::stop_token CatchInterrupts();

}  // namespace cli
