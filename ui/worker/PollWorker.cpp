#include "ui/worker/PollWorker.h"

#include <utility>

PollWorker::PollWorker() : thread_(&PollWorker::CHILD_Run, this) {}

PollWorker::~PollWorker() { Stop(); }

bool PollWorker::Post(Job job) {
  {
    std::lock_guard lock(mutex_);
    if (busy_ || stopping_ || !job) return false;
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
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void PollWorker::CHILD_Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || job_; });
    if (stopping_) return;
    Job job = std::exchange(job_, nullptr);
    lock.unlock();
    job();
    job = nullptr;  // what it holds goes before the owner hears it is done
    lock.lock();
    busy_ = false;
  }
}
