// Fuzz target: the test plan's loader fed with any bytes. A plan is either
// refused with a message or taken whole: every step named, every command
// within the motor control page's ranges, every limit within its field's
// reach, and the listing of each step can be made.
#include <cstdint>
#include <string_view>

#include "FuzzCheck.h"
#include "fields/StatusTexts.h"
#include "testplan/PlanFile.h"
#include "testplan/PlanText.h"

namespace {

namespace tp = testplan;

// The one parameter file beside every fuzzed plan.
constexpr std::string_view kParameters =
    R"({"format": "korvelt-parameters", "version": 1, "blocks": {"ramp": {"fields": [{"key": "pwmRise", "text": "2.5"}]}}})";

tp::NamedFile Beside(const std::string& name) {
  tp::NamedFile file;
  file.path = "plans/" + name;
  if (name == "factory.json") {
    file.bytes = std::string(kParameters);
  } else {
    file.refusal = "no such file";
  }
  return file;
}

void CheckRun(const tp::Run& run) {
  FUZZ_REQUIRE(run.window.count() > 0);
  for (const tp::Measurement& measurement : run.measurements) {
    const auto reach = fields::StatusValueRange(measurement.field);
    FUZZ_REQUIRE(reach.has_value());
    FUZZ_REQUIRE(measurement.low || measurement.high);
    if (measurement.low && measurement.high) FUZZ_REQUIRE(*measurement.low <= *measurement.high);
    if (measurement.statistic != tp::Statistic::StandardDeviation) {
      if (measurement.low) FUZZ_REQUIRE(*measurement.low >= reach->low && *measurement.low <= reach->high);
      if (measurement.high) FUZZ_REQUIRE(*measurement.high >= reach->low && *measurement.high <= reach->high);
    }
    FUZZ_REQUIRE(measurement.marginal >= 0);
  }
  const tp::RunCommand& command = run.command;
  if (command.mode == tp::RunMode::Pwm) FUZZ_REQUIRE(command.value >= -1000 && command.value <= 1000);
  if (command.mode == tp::RunMode::Position) FUZZ_REQUIRE(command.moveFrequency >= 1 && command.positionType <= 1);
  FUZZ_REQUIRE(command.stopMode <= 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const tp::Loaded loaded = tp::ParsePlan(bytes, Beside);
  FUZZ_REQUIRE(loaded.plan.has_value() == loaded.refusal.empty());
  if (!loaded.plan) return 0;
  const tp::Plan& plan = *loaded.plan;
  FUZZ_REQUIRE(!plan.name.empty() && !plan.revision.empty() && plan.sha256.size() == 64);
  FUZZ_REQUIRE(!plan.steps.empty() && plan.steps.size() <= tp::MaxSteps);
  if (plan.serialPattern) {
    // A literal pattern without escapes matches its own text.
    if (plan.serialPattern->Literal()) FUZZ_REQUIRE(plan.serialPattern->Matches(plan.serialPattern->Text()) ||
                                                    plan.serialPattern->Text().find('\\') != std::string::npos);
    (void)plan.serialPattern->Matches(bytes.substr(0, 64));
  }
  for (const tp::Step& step : plan.steps) {
    FUZZ_REQUIRE(!step.name.empty());
    FUZZ_REQUIRE(!tp::StepLine(step).empty());
    if (step.kind == tp::StepKind::Run) CheckRun(std::get<tp::Run>(step.what));
    if (step.kind == tp::StepKind::Configure || step.kind == tp::StepKind::CheckParameters) {
      FUZZ_REQUIRE(std::get<tp::Parameters>(step.what).path == "plans/factory.json");
    }
  }
  return 0;
}
