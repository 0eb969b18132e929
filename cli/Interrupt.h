// SIGINT and SIGTERM during long work: instead of ending the program at
// once, they set a flag that the work checks between two transactions and
// raise a stop that a waiting loop wakes on, so that a restore can still say
// which blocks the driver took and a recording ends with its file complete.
#pragma once

#include <atomic>

#include "base/StopSignal.h"

namespace cli {

struct Interrupts {
  std::atomic<bool> flag{false};
  base::StopSignal stop;
};

// Installs the handlers (once, for the rest of the run) and gives what they
// set.
const Interrupts& CatchInterrupts();

}  // namespace cli
