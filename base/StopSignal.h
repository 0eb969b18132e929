// A request to stop that any thread, or a signal handler, can raise, and
// that a loop can wait on for a while instead of sleeping: an eventfd,
// raised once and never cleared.
#pragma once

#include <chrono>

#include "base/UniqueFd.h"

namespace base {

class StopSignal {
 public:
  StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  // Async-signal-safe: a write to the descriptor.
  void Raise() const;
  bool Raised() const;
  // Waits until `deadline` or the stop, whichever comes first; true when
  // the stop came.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) const;
  // Readable once raised; -1 when the system gave no descriptor.
  int Descriptor() const { return fd_.Get(); }

 private:
  UniqueFd fd_;
};

}  // namespace base
