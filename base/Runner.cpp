#include "base/Runner.h"

#include <system_error>
#include <utility>

namespace base {

Runner::~Runner() {
  RequestStop();
  Join();
}

bool Runner::Start(Job job) {
  if (Active() || !job) return false;
  running_ = true;
  // Held until the source is known, so that a job asking for its own stop at
  // once is not lost.
  std::lock_guard lock(sourceMutex_);
  try {
    thread_.emplace([this, job = std::move(job)](std::stop_token stop) {
      job(std::move(stop));
      running_ = false;
    });
  } catch (const std::system_error&) {
    thread_.reset();
    running_ = false;
    return false;
  }
  source_ = thread_->get_stop_source();
  return true;
}

void Runner::RequestStop() {
  std::lock_guard lock(sourceMutex_);
  source_.request_stop();
}

void Runner::Join() {
  if (Active()) thread_->join();
}

}  // namespace base
