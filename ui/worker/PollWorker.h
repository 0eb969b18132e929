// A thread of its own that runs one job at a time for the main window, so
// that waiting on the driver never holds up the user-interface thread. The
// owner hands a job over and goes on; the job reports back by its own means
// (the window's jobs post their result to the user-interface thread) and
// never waits on the owner, so the owner can stop and join the thread from
// its own teardown. No Qt here.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>

#include "base/Runner.h"

class PollWorker {
 public:
  using Job = std::function<void()>;

  PollWorker();
  // Stop().
  ~PollWorker();
  PollWorker(const PollWorker&) = delete;
  PollWorker& operator=(const PollWorker&) = delete;

  // Hands `job` over. Refused (false, the job is dropped) while the job
  // before it has not returned, after Stop, or when no thread could be had:
  // jobs never queue up.
  bool Post(Job job);
  // From a successful Post until that job has returned.
  bool Busy() const;
  // Lets a running job return, drops one not yet begun, ends the thread and
  // joins it. Later posts are refused. Not to be called from a job.
  void Stop();

 private:
  void CHILD_Run(std::stop_token stop);

  mutable std::mutex mutex_;
  std::condition_variable_any wake_;  // a stop wakes it too
  Job job_;
  bool busy_ = false;
  bool closed_ = false;  // Stop, or no thread: posts are refused
  base::Runner runner_;  // last: starts once the state above exists
};
