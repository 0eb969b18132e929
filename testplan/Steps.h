// The words of a plan file: the step types and the names of the values a
// step chooses from, with the reading of one step.
#pragma once

#include <map>
#include <span>
#include <string>

#include "testplan/Members.h"
#include "testplan/PlanFile.h"

namespace testplan {

struct StepType {
  const char* key;   // "check-parameters"
  StepKind kind;
  const char* text;  // what the listing calls it: "核对参数"
};
std::span<const StepType> StepTypes();
const StepType& TypeOf(StepKind kind);

// The items of fields::command::StopModes and PositionTypes by the names a
// plan gives them.
inline constexpr Named StopModeNames[] = {{"normal", 0}, {"emergency", 1}, {"free", 2}};
inline constexpr Named PositionTypeNames[] = {{"absolute", 0}, {"relative", 1}};
inline constexpr Named RunModeNames[] = {{"pwm", static_cast<uint16_t>(RunMode::Pwm)},
                                         {"frequency", static_cast<uint16_t>(RunMode::Frequency)},
                                         {"position", static_cast<uint16_t>(RunMode::Position)}};
inline constexpr Named StatisticNames[] = {{"mean", static_cast<uint16_t>(Statistic::Mean)},
                                           {"min", static_cast<uint16_t>(Statistic::Minimum)},
                                           {"max", static_cast<uint16_t>(Statistic::Maximum)},
                                           {"stddev", static_cast<uint16_t>(Statistic::StandardDeviation)}};
// "平均值": a statistic as the listing shows it.
const char* StatisticText(Statistic statistic);

// The longest step name and prompt; a report line holds the name.
inline constexpr size_t MaxNameBytes = 200;
inline constexpr size_t MaxPromptBytes = 2000;

// The parameter files of one plan: each read and loaded once, however many
// steps name it, and at most MaxParameterFiles of them.
class ParameterFiles {
 public:
  explicit ParameterFiles(const FileSource& files) : files_(files) {}
  // The file `name` into `out` (its name already checked); empty on
  // success, else the refusal.
  std::string Load(const std::string& name, Parameters& out);

 private:
  const FileSource& files_;
  std::map<std::string, Parameters> loaded_;
};
inline constexpr size_t MaxParameterFiles = 16;

// A step of the plan, named already: its members after "type" and "name"
// taken into `step`. Empty on success, else the refusal.
std::string ReadStepBody(Members& members, ParameterFiles& files, Step& step);

// The run step's measurements (Measurements.cpp).
std::string ReadMeasurement(const Json& value, size_t number, const std::string& where, Measurement& measurement);

}  // namespace testplan
