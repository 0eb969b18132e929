#include "driver/LearningRun.h"

#include <utility>

#include "base/StopWake.h"

namespace {

constexpr int RunFlagWord = RegisterMap::LearningRunFlagWord;
constexpr int StateWord = RegisterMap::LearningStateWord;
constexpr int CountWord = RegisterMap::LearningCountWord;
constexpr uint16_t StateSucceeded = RegisterMap::LearningSucceeded;
constexpr uint16_t StateFailed = RegisterMap::LearningFailed;

}  // namespace

bool LearningRun::Start(DriverLink& link, uint8_t slave, Finished finished) {
  return runner_.Start([&link, slave, finished = std::move(finished)](std::stop_token stop) {
    CHILD_Run(link, slave, finished, std::move(stop));
  });
}

void LearningRun::CHILD_Run(DriverLink& link, uint8_t slave, const Finished& finished, std::stop_token stop) {
  LearningBlock block{};
  block.words[RunFlagWord] = 1;
  const ModbusResult start = link.WriteLearningBlock(slave, block);
  if (start != ResultSuccess && start != Busy) {
    if (!stop.stop_requested()) finished({LearningReport::End::StartRefused, start, block});
    return;
  }

  const base::StopWake wake(stop);
  LearningReport report;
  bool ended = false;
  while (!ended && !wake.WaitUntil(std::chrono::steady_clock::now() + PollPeriod)) {
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
  if (!ended || stop.stop_requested()) return;
  report.last = block;
  finished(report);
}
