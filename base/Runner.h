// Long work on a thread of its own: one job at a time, handed the stop
// token it watches, asked to stop from any thread (the job itself
// included), joined before the runner goes. Every piece of long work in the
// tool (the scan, the capture, the learning run, the parameter jobs, the
// listener, the window's poll) runs on one, so that a stop is asked for one
// way: a std::stop_token, with a StopWake where a loop waits.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace base {

class Runner {
 public:
  using Job = std::function<void(std::stop_token stop)>;

  Runner() = default;
  // RequestStop, then Join.
  ~Runner();
  Runner(const Runner&) = delete;
  Runner& operator=(const Runner&) = delete;

  // Starts `job` on a new thread with a stop token of its own, not yet
  // stopped. False, with nothing started, while the thread of an earlier job
  // has not been joined, or when no thread can be had. From the owner's
  // thread.
  bool Start(Job job);
  // Returns at once: the job's token is stopped, and whatever waits on it
  // wakes. Does nothing without a job.
  void RequestStop();
  // From Start until the job has returned.
  bool Running() const { return running_; }
  // A job's thread exists: running, or returned and not yet joined.
  bool Active() const { return thread_ && thread_->joinable(); }
  // Waits for the job to return. From the owner's thread, never the job's.
  void Join();

 private:
  std::atomic<bool> running_{false};
  std::mutex sourceMutex_;  // RequestStop from any thread against Start
  std::stop_source source_{std::nostopstate};
  // Made anew for each job.
  std::optional<std::jthread> thread_;
};

}  // namespace base
