#include "driver/LearningRun.h"

#include <system_error>
#include <utility>

namespace {

constexpr int RunFlagWord = RegisterMap::LearningRunFlagWord;
constexpr int StateWord = RegisterMap::LearningStateWord;
constexpr int CountWord = RegisterMap::LearningCountWord;
constexpr uint16_t StateSucceeded = RegisterMap::LearningSucceeded;
constexpr uint16_t StateFailed = RegisterMap::LearningFailed;

}  // namespace

LearningRun::~LearningRun() { Stop(); }

bool LearningRun::Start(DriverLink& link, uint8_t slave, Finished finished) {
  if (worker_.joinable()) return false;
  {
    std::lock_guard lock(mutex_);
    stop_ = false;
  }
  try {
    worker_ = std::thread([this, &link, slave, finished = std::move(finished)] { CHILD_Run(link, slave, finished); });
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void LearningRun::Stop() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

bool LearningRun::StopAsked() {
  std::lock_guard lock(mutex_);
  return stop_;
}

bool LearningRun::CHILD_WaitForStop() {
  std::unique_lock lock(mutex_);
  return wake_.wait_for(lock, PollPeriod, [this] { return stop_; });
}

void LearningRun::CHILD_Run(DriverLink& link, uint8_t slave, const Finished& finished) {
  LearningBlock block{};
  block.words[RunFlagWord] = 1;
  const ModbusResult start = link.WriteLearningBlock(slave, block);
  if (start != ResultSuccess && start != Busy) {
    if (!StopAsked()) finished({LearningReport::End::StartRefused, start, block});
    return;
  }

  LearningReport report;
  bool ended = false;
  while (!ended && !CHILD_WaitForStop()) {
    // Whatever the driver put into the count register last time, every poll
    // asks for the phase order.
    block.words[CountWord] = ResultRegisters;
    const ModbusResult polled = link.ReadLearningBlock(slave, block);
    ended = true;
    if (polled != ResultSuccess) {
      report = {LearningReport::End::PollFailed, polled};
    } else if (block.words[StateWord] == StateSucceeded) {
      report.end = LearningReport::End::Succeeded;
    } else if (block.words[StateWord] == StateFailed) {
      report.end = LearningReport::End::Failed;
    } else if (block.words[RunFlagWord] == 0) {
      report.end = LearningReport::End::AbnormalStop;
    } else {
      ended = false;
    }
  }
  // Hands the driver back the head of the block as last read (or the start
  // command when no poll came through); what it answers changes nothing.
  link.WriteLearningBlock(slave, block);
  if (!ended || StopAsked()) return;
  report.last = block;
  finished(report);
}
