#include "ui/worker/PollWorker.h"

#include <utility>

PollWorker::PollWorker() {
  if (!runner_.Start([this](std::stop_token stop) { CHILD_Run(std::move(stop)); })) closed_ = true;
}

PollWorker::~PollWorker() { Stop(); }

bool PollWorker::Post(Job job) {
  {
    std::lock_guard lock(mutex_);
    if (busy_ || closed_ || !job) return false;
    job_ = std::move(job);
    busy_ = true;
  }
  wake_.notify_one();
  return true;
}

bool PollWorker::Busy() const {
  std::lock_guard lock(mutex_);
  return busy_;
}

void PollWorker::Stop() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  runner_.RequestStop();
  runner_.Join();
}

void PollWorker::CHILD_Run(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, stop, [this] { return job_ != nullptr; });
    if (stop.stop_requested()) return;
    Job job = std::exchange(job_, nullptr);
    lock.unlock();
    job();
    job = nullptr;  // what it holds goes before the owner hears it is done
    lock.lock();
    busy_ = false;
  }
}
