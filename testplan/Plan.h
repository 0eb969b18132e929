// A production test plan: a named, revised list of steps that a station runs
// in order on one unit, each with the name its report shows. The plan file is
// a JSON document ("format": "korvelt-test-plan", "version": 1); the loader
// (PlanFile.h) takes it only whole and checked, so that a runner meets no
// value it would have to refuse halfway through a unit.
//
// Values are kept as the driver takes them: run commands in register counts
// (0.1 % of duty, 0.1 Hz, pulses), limits in the status field's own unit,
// times in milliseconds.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "paramfile/Document.h"
#include "testplan/Pattern.h"

namespace testplan {

inline constexpr const char* FormatName = "korvelt-test-plan";
inline constexpr int FormatVersion = 1;

using Milliseconds = std::chrono::milliseconds;

// A firmware version as the device-information box shows it ("1.05": major
// byte, minor byte).
struct FirmwareVersion {
  int major = 0;
  int minor = 0;
  auto operator<=>(const FirmwareVersion&) const = default;
  int Word() const { return (major << 8) | minor; }
};

// identify: the model, exactly or by a pattern, and the version within a
// range; what is left out is not checked.
struct Identify {
  std::optional<Pattern> model;  // a literal pattern for an exact model
  std::optional<FirmwareVersion> lowestVersion;
  std::optional<FirmwareVersion> highestVersion;
};

// configure: the file written and read back; check-parameters: the driver
// must already hold it. Steps that name the same file share it.
struct Parameters {
  std::string file;  // as the plan names it
  std::string path;  // where it was read from
  std::string sha256;
  std::shared_ptr<const paramfile::ParamFile> parameters;
};

// learn: the motor-learning run must end in success within `within`.
struct Learn {
  Milliseconds within{0};
};

enum class RunMode { Pwm, Frequency, Position };

// A command as the motor control page sends it.
struct RunCommand {
  RunMode mode = RunMode::Pwm;
  int32_t value = 0;           // Pwm: 0.1 %; Frequency: 0.1 Hz; Position: pulses
  uint16_t moveFrequency = 0;  // Position: 0.1 Hz
  uint16_t positionType = 0;   // Position: an item of fields::command::PositionTypes
  uint16_t stopMode = 0;       // how the step stops the motor: an item of StopModes
};

enum class Statistic { Mean, Minimum, Maximum, StandardDeviation };

// A statistic of one status field over the measuring window, in the field's
// unit. A value within `marginal` of a limit, inside it, passes as marginal.
struct Measurement {
  size_t field = 0;  // index into fields::StatusFields()
  Statistic statistic = Statistic::Mean;
  std::optional<double> low;
  std::optional<double> high;
  double marginal = 0;
};

// run: the command, `settle` for the motor to reach it, then `window` of
// status reads judged by the measurements. An error state other than none
// at any read of the step fails it.
struct Run {
  RunCommand command;
  Milliseconds settle{0};
  Milliseconds window{0};
  std::vector<Measurement> measurements;
};

struct Stop {
  uint16_t mode = 0;  // an item of fields::command::StopModes
};

struct Wait {
  Milliseconds duration{0};
};

// prompt: an instruction the operator confirms before the plan goes on.
struct Prompt {
  std::string text;
};

enum class StepKind { Identify, Configure, CheckParameters, Learn, Run, Stop, Wait, Prompt };

struct Step {
  StepKind kind = StepKind::Stop;
  std::string name;
  std::variant<Identify, Parameters, Learn, Run, Stop, Wait, Prompt> what;
};

struct Plan {
  std::string name;
  std::string revision;
  std::string sha256;  // of the plan file's bytes, in hexadecimal
  std::optional<Pattern> serialPattern;
  std::vector<Step> steps;
};

}  // namespace testplan
