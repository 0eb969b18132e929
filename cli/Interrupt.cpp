#include "cli/Interrupt.h"

#include <csignal>

namespace cli {
namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

Interrupts* g_interrupts = nullptr;

// Async-signal-safe: a lock-free store and a write to an eventfd.
void Interrupt(int) {
  g_interrupts->flag.store(true);
  g_interrupts->stop.Raise();
}

}  // namespace

const Interrupts& CatchInterrupts() {
  static Interrupts interrupts;
  if (g_interrupts == nullptr) {
    g_interrupts = &interrupts;
    struct sigaction action {};
    action.sa_handler = Interrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
  }
  return interrupts;
}

}  // namespace cli
