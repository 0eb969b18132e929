// SIGINT and SIGTERM during long work: instead of ending the program at
// once, they ask the work to stop between two transactions, so that a
// restore can still say which blocks the driver took.
#pragma once

#include <atomic>

namespace cli {

// Installs the handlers (once) and gives the flag they set.
const std::atomic<bool>* CatchInterrupts();

}  // namespace cli
