#include "recording/Capture.h"

#include <utility>

#include "fields/CommandTexts.h"
#include "recording/ThinnedSamples.h"

namespace recording {
namespace {

// The register selector of a frequency run.
constexpr int FrequencySelector = 1;

ModbusResult SendStep(DriverLink& link, uint8_t slave, const StepCommand& step) {
  if (step.kind == StepCommand::Kind::Frequency) {
    return link.WriteSpeedCommand(slave, static_cast<uint16_t>(step.frequencyTenths), FrequencySelector);
  }
  return link.WritePositionMove(slave, step.moveFrequency, step.position, step.positionType);
}

}  // namespace

std::string StepText(const StepCommand& step) {
  if (step.kind == StepCommand::Kind::Frequency) {
    const uint16_t word = static_cast<uint16_t>(step.frequencyTenths);
    return fields::CommandText(RegisterMap::FrequencyCommand, &word, 1);
  }
  const auto bits = static_cast<uint32_t>(step.position);
  const uint16_t words[RegisterMap::PositionMoveCount] = {step.moveFrequency, step.positionType,
                                                          static_cast<uint16_t>(bits >> 16),
                                                          static_cast<uint16_t>(bits & 0xFFFF)};
  return fields::CommandText(RegisterMap::PositionMoveStart, words, RegisterMap::PositionMoveCount);
}

Capture::~Capture() {
  RequestStop();
  Join();
}

bool Capture::Start(DriverLink& link, StatusRecording& recording, CaptureRequest request, Finished finished) {
  if (runner_.Active()) return false;
  readings_ = 0;
  {
    std::lock_guard lock(mutex_);
    started_ = SteadyClock::now();
  }
  running_ = true;
  const bool started = runner_.Start(
      [this, &link, &recording, request = std::move(request), finished = std::move(finished)](std::stop_token stop) {
        CHILD_Run(link, recording, request, finished, std::move(stop));
      });
  if (!started) running_ = false;
  return started;
}

void Capture::RequestStop() { runner_.RequestStop(); }

void Capture::Join() { runner_.Join(); }

SteadyClock::time_point Capture::Started() const {
  std::lock_guard lock(mutex_);
  return started_;
}

void Capture::CHILD_Run(DriverLink& link, StatusRecording& recording, const CaptureRequest& request,
                        const Finished& finished, std::stop_token stop) {
  CaptureReport report;
  std::shared_ptr<StepRun> run;
  ThinnedSamples runSamples(request.runSamples);
  if (request.step) {
    run = std::make_shared<StepRun>();
    run->command = *request.step;
  }
  const SteadyClock::time_point start = SteadyClock::now();
  std::optional<SteadyClock::time_point> commandAt;
  recording.BeginFast(start);

  ReadPace pace;
  if (!request.step && request.duration.count() > 0) pace.until = start + request.duration;
  BeforeRead before;
  if (request.step) {
    before = [&](SteadyClock::time_point now) {
      if (!commandAt && now - start >= StepLead) {
        commandAt = now;
        report.commandSent = true;
        report.commandResult = SendStep(link, request.slave, *request.step);
      }
      return !commandAt || now - *commandAt < request.duration;
    };
  }
  const TakeReading take = [&](const Reading& reading) {
    Record(recording, reading);
    ++readings_;
    if (run) runSamples.Add({recording.ToMicros(reading.at), reading.status, reading.read});
  };
  report.totals = ReadStatusLoop(link, request.slave, request.plan, pace, std::move(stop), take, before);
  recording.EndFast(SteadyClock::now());

  // A motor that a step test started is stopped however the test ended.
  if (report.commandSent) report.stopResult = link.WriteStopCommand(request.slave, request.step->stopMode);
  if (run) {
    run->stride = runSamples.Stride();
    run->samples = runSamples.Take();
    const Micros zero = commandAt ? recording.ToMicros(*commandAt) : recording.ToMicros(start + StepLead);
    for (Sample& sample : run->samples) sample.time -= zero;
    report.run = std::move(run);
  }
  running_ = false;
  if (finished) finished(report);
}

}  // namespace recording
