// The production test of one unit: a loaded plan run against one driver,
// step by step on the caller's thread, each step's outcome handed to the
// caller as soon as it is known. The first FAIL, ERROR or stop ends the run;
// at the end of every run step, and whenever the run ends early while the
// motor's last command was no answered stop, the motor is sent the stop of
// its run step's stop mode (not to a driver that did not identify itself as
// the plan's), tried again for a while when the line does not answer.
// Knows nothing of windows or the command line: the station's window and
// korvelt both call it.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "device/Identity.h"
#include "driver/DriverLink.h"
#include "recording/StatusRecording.h"
#include "testplan/Plan.h"
#include "testrun/Judge.h"

namespace testrun {

using recording::WallClock;

struct MeasurementResult {
  testplan::Measurement measurement;
  std::optional<double> value;  // none: no reading gave the field
  size_t readings = 0;          // values the statistic was taken over
  std::optional<Outcome> outcome;  // none: the step ended before its window
};

// A run step's readings: those while the motor settled (paced), then the
// measuring window's (back to back), their times from the command.
struct RunSamples {
  WallClock::time_point commandWall;  // the wall time of 0 µs
  std::vector<recording::Sample> samples;
  size_t firstWindowSample = 0;  // samples before it were read while settling
  size_t stride = 1;             // the window was thinned to its bound: one kept for this many read
};

struct StepResult {
  std::optional<Outcome> outcome;  // none: the step was not reached
  // Why it did not pass, in the language in use ("错误状态: 堵转停止").
  std::string detail;
  // An ERROR's transaction result; ResultSuccess for other outcomes.
  ModbusResult result = ResultSuccess;
  bool readBackDiffers = false;  // an ERROR of a configure step whose driver did not keep what was written
  WallClock::time_point started;
  WallClock::time_point ended;
  std::vector<MeasurementResult> measurements;  // run steps
  std::optional<RunSamples> samples;            // run steps that sent their command
};

// Where an early end left the motor.
enum class EndStop {
  None,      // the unit passed: its run steps' own stops were answered
  Sent,      // a stop reached the driver: the last command, or the end stop
  NotSent,   // the end stop was tried and never answered
  Withheld,  // the driver was not known to be the plan's: nothing was sent
};

struct UnitResult {
  Outcome outcome = Outcome::Pass;
  std::optional<DeviceIdentity> identity;  // as read when the unit started
  std::vector<StepResult> steps;           // one per step of the plan
  WallClock::time_point started;
  WallClock::time_point ended;
  // The stop that an early end sent (a run step's own stop is its step's),
  // tried again while the line does not answer, for a bounded time.
  bool endStopSent = false;                    // tried at least once
  ModbusResult endStopResult = ResultSuccess;  // the last try's
  size_t endStopTries = 0;
  EndStop endStop = EndStop::None;

  // The first step that did not pass; none for a PASS or MARGINAL.
  std::optional<size_t> FirstFailing() const;
};

// The operator's answer to a prompt: called on the run's thread with the
// step's number and its instruction; blocks until the operator answers
// (true: go on, false: end the unit) or `stop` is asked for.
using Confirm = std::function<bool(size_t index, const std::string& text, std::stop_token stop)>;
// Each reading of a run step as it is taken, on the run's thread, for a
// live view; it must not wait.
using Sampled = std::function<void(size_t index, const recording::Sample& sample)>;

struct RunSettings {
  uint8_t slave = 1;
  // The operator's confirmation of every prompt is taken as given: a
  // station without an operator at it.
  bool assumeConfirmed = false;
  // An operator at the station answers each prompt (unless assumed).
  Confirm confirm;
  Sampled sampled;
};

// Why `plan` cannot run with `settings` (a prompt no one would confirm);
// empty when it can. Checked before anything is sent.
std::string Refusal(const testplan::Plan& plan, const RunSettings& settings);

// Called after each step with its number (from 0) and result.
// "停止已发送", "停止未能发送: 通讯超时", in the language in use; empty
// for EndStop::None.
std::string EndStopText(const UnitResult& unit);

using StepDone = std::function<void(size_t index, const StepResult& result)>;

// Runs every step of `plan` on the driver, until the first that does not
// pass; a stop asked for on `stop` (the operator, a signal) ends the step in
// progress as ABORTED. The plan must pass Refusal().
UnitResult RunUnit(DriverLink& link, const testplan::Plan& plan, const RunSettings& settings, std::stop_token stop,
                   const StepDone& done);

}  // namespace testrun
