// The waitable side of a stop token, for a loop that must wait (a paced
// read, a poll period, a quiet line) and still end at once on a stop: a
// StopSignal that a stop callback raises. Lives on the waiting thread for
// as long as it waits.
#pragma once

#include <chrono>
#include <stop_token>

#include "base/StopSignal.h"

namespace base {

class StopWake {
 public:
  explicit StopWake(std::stop_token stop);
  StopWake(const StopWake&) = delete;
  StopWake& operator=(const StopWake&) = delete;

  bool Raised() const { return stop_.stop_requested(); }
  // Waits until `deadline` or the stop, whichever comes first; true when
  // the stop came.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) const;
  // Readable once the stop is asked for, for a poll that also waits on
  // something else; -1 when the system gave no descriptor (see Valid).
  int Descriptor() const { return signal_.Descriptor(); }
  // Without a descriptor a wait still ends on a stop, at its deadline.
  bool Valid() const { return Descriptor() >= 0; }

 private:
  struct Raise {
    const StopSignal* signal;
    void operator()() const noexcept { signal->Raise(); }
  };

  std::stop_token stop_;
  StopSignal signal_;
  std::stop_callback<Raise> raise_;  // last: the signal exists before it can be raised
};

}  // namespace base
