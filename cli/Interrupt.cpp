#include "cli/Interrupt.h"

#include <csignal>
#include <chrono>
#include <utility>

#include "base/Runner.h"
#include "base/StopSignal.h"

namespace cli {
namespace {

// A handler may do no more than write to a descriptor; a thread of its own
// turns that into the stop request the work watches.
struct Interrupts {
  base::StopSignal signal;
  std::stop_source stop;
  base::Runner watch;
};

Interrupts* g_interrupts = nullptr;

// Async-signal-safe: a write to an eventfd.
void Interrupt(int) { g_interrupts->signal.Raise(); }

void Watch(Interrupts& interrupts, std::stop_token ending) {
  // The runner's own stop wakes the watch too; it is no interrupt.
  std::stop_callback wake(ending, [&interrupts] { interrupts.signal.Raise(); });
  interrupts.signal.WaitUntil(std::chrono::steady_clock::time_point::max());
  if (!ending.stop_requested()) interrupts.stop.request_stop();
}

}  // namespace

std::stop_token CatchInterrupts() {
  if (g_interrupts == nullptr) {
    // Never destroyed: a signal may come while the program exits, and its
    // handler must still find the descriptor it writes to.
    g_interrupts = new Interrupts;
    Interrupts& interrupts = *g_interrupts;
    // Without the watch a caught signal would end nothing: the signals then
    // keep ending the program as they would.
    if (!interrupts.watch.Start([&interrupts](std::stop_token ending) { Watch(interrupts, std::move(ending)); })) {
      return interrupts.stop.get_token();
    }
    struct sigaction action {};
    action.sa_handler = Interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
  }
  return g_interrupts->stop.get_token();
}

}  // namespace cli
