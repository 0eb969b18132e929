#include "cli/Interrupt.h"

#include <csignal>

namespace cli {
namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void Interrupt(int) { interrupted.store(true); }

}  // namespace

const std::atomic<bool>* CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = Interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return &interrupted;
}

}  // namespace cli
