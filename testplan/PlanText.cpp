#include "testplan/PlanText.h"

#include "driver/RegisterMap.h"
#include "fields/CFormat.h"
#include "fields/CommandTexts.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "testplan/Steps.h"

namespace testplan {
namespace {

using lang::Fill;
using lang::Tr;

std::string SecondsText(Milliseconds time) { return Fill(Tr("{1} 秒"), {fields::CFormat("%g", time.count() / 1000.0)}); }

std::string VersionText(const FirmwareVersion& version) { return fields::CFormat("%d.%02d", version.major, version.minor); }

std::string IdentifyText(const Identify& identify) {
  std::string text;
  if (identify.model) {
    text = identify.model->Literal() ? Fill(Tr("型号 {1}"), {identify.model->Text()})
                                     : Fill(Tr("型号符合 {1}"), {identify.model->Text()});
  }
  std::string version;
  const auto& low = identify.lowestVersion;
  const auto& high = identify.highestVersion;
  if (low && high) version = Fill(Tr("版本 {1} 到 {2}"), {VersionText(*low), VersionText(*high)});
  if (low && !high) version = Fill(Tr("版本至少 {1}"), {VersionText(*low)});
  if (!low && high) version = Fill(Tr("版本至多 {1}"), {VersionText(*high)});
  return text.empty() ? version : version.empty() ? text : text + ", " + version;
}

std::string CommandText(const RunCommand& command) {
  namespace map = RegisterMap;
  switch (command.mode) {
    case RunMode::Pwm:
    case RunMode::Frequency: {
      const auto word = static_cast<uint16_t>(command.value);
      return fields::CommandText(command.mode == RunMode::Pwm ? map::PwmDutyCommand : map::FrequencyCommand, &word, 1);
    }
    case RunMode::Position: {
      const auto position = static_cast<uint32_t>(command.value);
      const uint16_t words[] = {command.moveFrequency, command.positionType, static_cast<uint16_t>(position >> 16),
                                static_cast<uint16_t>(position & 0xFFFF)};
      static_assert(std::size(words) == map::PositionMoveCount);
      return fields::CommandText(map::PositionMoveStart, words, map::PositionMoveCount);
    }
  }
  return {};
}

std::string StopModeText(uint16_t mode) { return Tr(fields::ItemText(fields::StopModes, mode)); }

std::string Limit(double value) { return fields::CFormat("%g", value); }

}  // namespace

std::string MeasurementText(const Measurement& measurement) {
  const fields::StatusField& field = fields::StatusFields()[measurement.field];
  const std::string unit = Tr(field.unit);
  std::string limits;
  if (measurement.low && measurement.high) {
    limits = Fill(Tr("{1} 到 {2} {3}"), {Limit(*measurement.low), Limit(*measurement.high), unit});
  } else if (measurement.low) {
    limits = Fill(Tr("至少 {1} {2}"), {Limit(*measurement.low), unit});
  } else if (measurement.high) {
    limits = Fill(Tr("至多 {1} {2}"), {Limit(*measurement.high), unit});
  }
  std::string text = Fill(Tr("{1} {2} {3}"), {Tr(field.name), Tr(StatisticText(measurement.statistic)), limits});
  if (measurement.marginal > 0) text += Fill(Tr(", 临界 {1}"), {Limit(measurement.marginal)});
  return text;
}

std::string StepSummary(const Step& step) {
  switch (step.kind) {
    case StepKind::Identify:
      return IdentifyText(std::get<Identify>(step.what));
    case StepKind::Configure:
    case StepKind::CheckParameters: {
      const Parameters& parameters = std::get<Parameters>(step.what);
      return Fill(Tr("{1} ({2} 个参数块, SHA-256 {3})"), {parameters.file, std::to_string(parameters.parameters->blocks.size()),
                                                       parameters.sha256.substr(0, 8)});
    }
    case StepKind::Learn:
      return Fill(Tr("{1}内学习成功"), {SecondsText(std::get<Learn>(step.what).within)});
    case StepKind::Run: {
      const Run& run = std::get<Run>(step.what);
      std::string text = Fill(Tr("{1}, 稳定 {2}, 测量 {3}, 结束时{4}"),
                              {CommandText(run.command), SecondsText(run.settle), SecondsText(run.window),
                               StopModeText(run.command.stopMode)});
      for (const Measurement& measurement : run.measurements) text += "; " + MeasurementText(measurement);
      return text;
    }
    case StepKind::Stop:
      return StopModeText(std::get<Stop>(step.what).mode);
    case StepKind::Wait:
      return SecondsText(std::get<Wait>(step.what).duration);
    case StepKind::Prompt:
      return std::get<Prompt>(step.what).text;
  }
  return {};
}

std::string StepTypeText(StepKind kind) { return Tr(TypeOf(kind).text); }

const char* StepTypeKey(StepKind kind) { return TypeOf(kind).key; }

std::string StepLine(const Step& step) {
  return Fill(Tr("{1}  {2}: {3}"), {step.name, StepTypeText(step.kind), StepSummary(step)});
}

}  // namespace testplan
