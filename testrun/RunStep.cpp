// The run step: the command as the motor control page sends it, paced
// status reads while the motor settles, the measuring window read back to
// back at the line's speed, and the step's stop, which goes out however the
// step ends. A failed read ends the step as the station's ERROR; an error
// state other than none at any read fails the unit.
#include <optional>

#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "recording/Capture.h"
#include "recording/StatusReads.h"
#include "recording/ThinnedSamples.h"
#include "testrun/StepWork.h"

namespace testrun {
namespace {

using lang::Fill;
using lang::Tr;
using recording::SteadyClock;

// The register selectors of WriteSpeedCommand.
constexpr int kPwmSelector = 0;
constexpr int kFrequencySelector = 1;
// Reads while the motor settles: the window's poll, enough to see an error
// state come up.
constexpr std::chrono::milliseconds kSettlePace{100};
// Settling readings kept: ten minutes of the paced poll.
constexpr size_t kSettleSamples = 6000;

ModbusResult SendCommand(const StepWork& work, const testplan::RunCommand& command) {
  switch (command.mode) {
    case testplan::RunMode::Pwm:
      return work.link.WriteSpeedCommand(work.slave, static_cast<uint16_t>(command.value), kPwmSelector);
    case testplan::RunMode::Frequency:
      return work.link.WriteSpeedCommand(work.slave, static_cast<uint16_t>(command.value), kFrequencySelector);
    case testplan::RunMode::Position:
      return work.link.WritePositionMove(work.slave, command.moveFrequency, command.value, command.positionType);
  }
  return ResultInvalidSelector;
}

// One stretch of reads, ended early by the first failed read, an error
// state or the stop from outside.
struct Stretch {
  enum class End { Done, Failed, ErrorState, Stopped };
  End end = End::Done;
  ModbusResult failure = ResultSuccess;
  uint16_t errorState = 0;
};

Stretch ReadFor(const StepWork& work, std::chrono::milliseconds pace, SteadyClock::time_point until,
                SteadyClock::time_point zero, recording::ThinnedSamples& kept,
                const std::function<void(const StatusBlock&)>& take) {
  Stretch stretch;
  std::stop_source ending;
  const std::stop_callback outside(work.stop, [&ending] { ending.request_stop(); });
  recording::ReadPace readPace;
  readPace.interval = pace;
  readPace.until = until;
  const recording::LoopTotals totals = recording::ReadStatusLoop(
      work.link, work.slave, recording::CapturePlan{}, readPace, ending.get_token(),
      [&](const recording::Reading& reading) {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(reading.at - zero).count();
        const recording::Sample sample{micros, reading.status, reading.read};
        kept.Add(sample);
        if (work.sampled) work.sampled(sample);
        if (reading.result != ResultSuccess) {
          stretch.end = Stretch::End::Failed;
          stretch.failure = reading.result;
          ending.request_stop();
          return;
        }
        if (take) take(reading.status);
        if (reading.status.errorState != 0) {
          stretch.end = Stretch::End::ErrorState;
          stretch.errorState = reading.status.errorState;
          ending.request_stop();
        }
      });
  if (stretch.end == Stretch::End::Done && totals.end == recording::LoopEnd::PortGone) {
    stretch.end = Stretch::End::Failed;
    stretch.failure = ResultPortNotOpen;
  } else if (stretch.end == Stretch::End::Done && totals.end == recording::LoopEnd::Stopped) {
    stretch.end = Stretch::End::Stopped;
  }
  return stretch;
}

// What ended a stretch early, into the step's result; false for none.
bool Ended(const Stretch& stretch, StepResult& result) {
  switch (stretch.end) {
    case Stretch::End::Done: return false;
    case Stretch::End::Failed: EndOnLine(result, "读取状态", stretch.failure); return true;
    case Stretch::End::ErrorState:
      End(result, Outcome::Fail, Fill(Tr("错误状态: {1}"), {fields::ErrorStateText(stretch.errorState)}));
      return true;
    case Stretch::End::Stopped: End(result, Outcome::Aborted, Tr("已取消")); return true;
  }
  return false;
}

}  // namespace

void RunMotor(StepWork& work, const testplan::Run& run, StepResult& result, bool& stopped) {
  for (const testplan::Measurement& measurement : run.measurements) {
    MeasurementResult measured;
    measured.measurement = measurement;
    result.measurements.push_back(measured);
  }
  RunSamples samples;
  samples.commandWall = WallClock::now();
  const SteadyClock::time_point zero = SteadyClock::now();
  const ModbusResult sent = SendCommand(work, run.command);
  stopped = false;
  bool ended = false;
  if (sent != ResultSuccess) {
    EndOnLine(result, "运行命令", sent);
    ended = true;
  }
  recording::ThinnedSamples settling(kSettleSamples);
  if (!ended) {
    const auto until = zero + run.settle;
    ended = Ended(ReadFor(work, std::min(kSettlePace, run.settle), until, zero, settling, {}), result);
  }
  recording::ThinnedSamples window(recording::StepRunSamples);
  std::vector<Statistics> statistics(run.measurements.size());
  bool windowBegun = false;
  if (!ended) {
    windowBegun = true;
    const auto until = SteadyClock::now() + run.window;
    ended = Ended(ReadFor(work, std::chrono::milliseconds(0), until, zero, window,
                          [&](const StatusBlock& status) {
                            for (size_t i = 0; i < statistics.size(); ++i) {
                              if (const auto value = fields::StatusValue(status, run.measurements[i].field)) {
                                statistics[i].Add(*value);
                              }
                            }
                          }),
                  result);
  }
  // The stop goes out however the step ended, an abort included.
  const ModbusResult stop = work.link.WriteStopCommand(work.slave, run.command.stopMode);
  stopped = stop == ResultSuccess;

  Outcome outcome = ended ? *result.outcome : Outcome::Pass;
  // Judged on what the window read, also when an error state cut it short,
  // so that the record shows how far the motor got.
  if (windowBegun) {
    for (size_t i = 0; i < statistics.size(); ++i) {
      MeasurementResult& measured = result.measurements[i];
      measured.readings = statistics[i].Count();
      measured.value = statistics[i].Of(measured.measurement.statistic);
      measured.outcome = Judge(measured.measurement, measured.value);
      if (!ended) outcome = Worse(outcome, *measured.outcome);
    }
  }
  if (!ended) {
    if (!stopped) {
      EndOnLine(result, "停止", stop);
    } else if (outcome == Outcome::Fail) {
      End(result, Outcome::Fail, Tr("测量值超出限值"));
    } else {
      End(result, outcome, outcome == Outcome::Marginal ? Tr("测量值在临界范围内") : std::string());
    }
  }
  if (sent == ResultSuccess) {
    samples.samples = settling.Take();
    samples.firstWindowSample = samples.samples.size();
    const std::vector<recording::Sample> read = window.Take();
    samples.samples.insert(samples.samples.end(), read.begin(), read.end());
    samples.stride = window.Stride();
    result.samples = std::move(samples);
  }
}

}  // namespace testrun
