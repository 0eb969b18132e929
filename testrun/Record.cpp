#include "testrun/Record.h"

#include <algorithm>
#include <map>

#include "device/IdentityJson.h"
#include "fields/CFormat.h"
#include "fields/PrintableText.h"
#include "fields/StatusTexts.h"
#include "fields/TimeText.h"
#include "lang/Texts.h"
#include "testplan/PlanText.h"
#include "testplan/Steps.h"

namespace testrun {
namespace {

using lang::Tr;

template <size_t N>
const char* KeyOf(const testplan::Named (&names)[N], uint16_t value) {
  for (const testplan::Named& named : names) {
    if (named.value == value) return named.key;
  }
  return "";
}

RecordJson Limit(const std::optional<double>& limit) { return limit ? RecordJson(*limit) : RecordJson(); }

RecordJson MeasurementJson(const MeasurementResult& measured) {
  const testplan::Measurement& m = measured.measurement;
  const fields::StatusField& field = fields::StatusFields()[m.field];
  RecordJson out;
  out["field"] = field.key;
  out["name"] = Tr(field.name);
  out["statistic"] = KeyOf(testplan::StatisticNames, static_cast<uint16_t>(m.statistic));
  out["value"] = measured.value ? RecordJson(*measured.value) : RecordJson();
  out["readings"] = measured.readings;
  out["unit"] = Tr(field.unit);
  out["low"] = Limit(m.low);
  out["high"] = Limit(m.high);
  out["marginal"] = m.marginal;
  out["outcome"] = measured.outcome ? RecordJson(OutcomeName(*measured.outcome)) : RecordJson();
  return out;
}

// Each parameter file once, in the order the steps first name it.
RecordJson ParameterFiles(const testplan::Plan& plan) {
  RecordJson files = RecordJson::array();
  std::map<std::string, bool> seen;
  for (const testplan::Step& step : plan.steps) {
    const auto* parameters = std::get_if<testplan::Parameters>(&step.what);
    if (parameters == nullptr || seen[parameters->file]) continue;
    seen[parameters->file] = true;
    files.push_back({{"file", parameters->file}, {"sha256", parameters->sha256}});
  }
  return files;
}

std::string Xml(std::string_view given) { return MarkupText(given); }

std::string Csv(std::string_view given) {
  const std::string text = fields::Printable(given);
  if (text.find_first_of(",\"") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

std::string Seconds(WallClock::time_point from, WallClock::time_point to) {
  return fields::CFormat("%.3f", std::chrono::duration<double>(to - from).count());
}

// "空载 100 Hz: 电机转速 平均值 [RPM]"
std::string MeasurementColumn(const testplan::Step& step, const testplan::Measurement& m, lang::Language language) {
  const fields::StatusField& field = fields::StatusFields()[m.field];
  const auto in = [language](const char* text) { return std::string(lang::In(language, text)); };
  return step.name + ": " + in(field.name) + " " + in(testplan::StatisticText(m.statistic)) + " [" + in(field.unit) +
         "]";
}

std::string ValueText(const testplan::Measurement& m, double value) {
  return fields::CFormat("%.*f", fields::StatusDecimals(m.field) + 2, value);
}

// "电机转速 平均值 = 0.00 RPM (950 到 1050): FAIL", a line of a testcase.
std::string MeasurementLine(const MeasurementResult& measured) {
  const testplan::Measurement& m = measured.measurement;
  const std::string value = measured.value ? ValueText(m, *measured.value) : std::string("-");
  return testplan::MeasurementText(m) + ": " + value + " " +
         (measured.outcome ? OutcomeName(*measured.outcome) : "-");
}

}  // namespace

std::string MarkupText(std::string_view given) {
  std::string text;
  for (size_t start = 0; start <= given.size();) {
    const size_t end = std::min(given.find('\n', start), given.size());
    text += (start == 0 ? "" : "\n") + fields::Printable(given.substr(start, end - start));
    start = end + 1;
  }
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string TimeText(WallClock::time_point at) {
  return fields::IsoTime(std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count(), 3);
}

RecordJson BuildRecord(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit,
                       const std::vector<std::string>& sampleFiles) {
  RecordJson record;
  record["format"] = RecordFormat;
  record["version"] = RecordVersion;
  record["id"] = info.recordId;
  record["outcome"] = OutcomeName(unit.outcome);
  record["plan"] = {{"name", plan.name}, {"revision", plan.revision}, {"sha256", plan.sha256}};
  record["parameterFiles"] = ParameterFiles(plan);
  record["station"] = info.station;
  record["operator"] = info.operatorName;
  record["serial"] = info.serial;
  if (unit.identity) {
    record["device"] = device::IdentityJson(device::RecordOf(*unit.identity));
    record["model"] = fields::Printable(unit.identity->Model());
    record["firmwareVersion"] = fields::Printable(unit.identity->Version());
  } else {
    record["device"] = nullptr;
    record["model"] = nullptr;
    record["firmwareVersion"] = nullptr;
  }
  record["start"] = TimeText(unit.started);
  record["end"] = TimeText(unit.ended);
  const std::optional<size_t> failing = unit.FirstFailing();
  record["firstFailingStep"] = failing ? RecordJson(*failing + 1) : RecordJson();
  RecordJson steps = RecordJson::array();
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    const StepResult& result = unit.steps[i];
    RecordJson step;
    step["number"] = i + 1;
    step["name"] = plan.steps[i].name;
    step["type"] = testplan::StepTypeKey(plan.steps[i].kind);
    step["outcome"] = result.outcome ? RecordJson(OutcomeName(*result.outcome)) : RecordJson();
    step["detail"] = result.detail;
    step["start"] = result.outcome ? RecordJson(TimeText(result.started)) : RecordJson();
    step["end"] = result.outcome ? RecordJson(TimeText(result.ended)) : RecordJson();
    step["samples"] = i < sampleFiles.size() && !sampleFiles[i].empty() ? RecordJson(sampleFiles[i]) : RecordJson();
    // A window read faster than its bound keeps one reading of this many.
    step["sampleStride"] = result.samples ? RecordJson(result.samples->stride) : RecordJson();
    RecordJson measurements = RecordJson::array();
    for (const MeasurementResult& measured : result.measurements) measurements.push_back(MeasurementJson(measured));
    step["measurements"] = measurements;
    steps.push_back(step);
  }
  record["steps"] = steps;
  // "sent": the end stop was tried; "reached": a stop reached the driver
  // (the end stop, or the early end's last command was an answered stop).
  record["endStop"] = {
      {"sent", unit.endStopSent},
      {"result", unit.endStopSent ? RecordJson(ResultText(unit.endStopResult)) : RecordJson()},
      {"tries", unit.endStopTries},
      {"reached", unit.endStop == EndStop::None ? RecordJson() : RecordJson(unit.endStop == EndStop::Sent)},
      {"text", EndStopText(unit)}};
  return record;
}

std::string JUnitXml(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit) {
  size_t failures = 0;
  size_t errors = 0;
  size_t skipped = 0;
  std::string cases;
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    const testplan::Step& step = plan.steps[i];
    const StepResult& result = unit.steps[i];
    cases += "    <testcase name=\"" + Xml(std::to_string(i + 1) + ". " + step.name) + "\" classname=\"" +
             Xml(plan.name + "." + testplan::StepTypeKey(step.kind)) + "\" time=\"" +
             (result.outcome ? Seconds(result.started, result.ended) : std::string("0.000")) + "\">\n";
    std::string lines;
    for (const MeasurementResult& measured : result.measurements) lines += MeasurementLine(measured) + "\n";
    const std::string message = Xml(result.detail);
    if (!result.outcome) {
      ++skipped;
      cases += "      <skipped message=\"" + Xml(Tr("未执行")) + "\"/>\n";
    } else if (*result.outcome == Outcome::Fail) {
      ++failures;
      cases += "      <failure type=\"FAIL\" message=\"" + message + "\">" + Xml(lines) + "</failure>\n";
    } else if (*result.outcome == Outcome::Error || *result.outcome == Outcome::Aborted) {
      ++errors;
      cases += std::string("      <error type=\"") + OutcomeName(*result.outcome) + "\" message=\"" + message + "\">" +
               Xml(lines) + "</error>\n";
    } else if (!lines.empty() || !result.detail.empty()) {
      cases += "      <system-out>" + Xml(std::string(OutcomeName(*result.outcome)) + " " + result.detail + "\n" + lines) +
               "</system-out>\n";
    }
    cases += "    </testcase>\n";
  }
  const std::string counts = "tests=\"" + std::to_string(plan.steps.size()) + "\" failures=\"" +
                             std::to_string(failures) + "\" errors=\"" + std::to_string(errors) + "\"";
  const std::string time = Seconds(unit.started, unit.ended);
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  xml += "<testsuites name=\"" + Xml(plan.name) + "\" " + counts + " time=\"" + time + "\">\n";
  xml += "  <testsuite name=\"" + Xml(plan.name + " " + info.serial) + "\" id=\"" + Xml(info.recordId) + "\" " +
         counts + " skipped=\"" + std::to_string(skipped) + "\" time=\"" + time + "\" timestamp=\"" +
         Xml(TimeText(unit.started)) + "\" hostname=\"" + Xml(info.station) + "\">\n";
  xml += "    <properties>\n";
  const std::pair<const char*, std::string> properties[] = {
      {"serial", info.serial},       {"outcome", OutcomeName(unit.outcome)}, {"operator", info.operatorName},
      {"planRevision", plan.revision}, {"planSha256", plan.sha256},
      {"model", unit.identity ? unit.identity->Model() : std::string()}, {"endStop", EndStopText(unit)}};
  for (const auto& [name, value] : properties) {
    xml += std::string("      <property name=\"") + name + "\" value=\"" + Xml(value) + "\"/>\n";
  }
  xml += "    </properties>\n" + cases + "  </testsuite>\n</testsuites>\n";
  return xml;
}

std::string SummaryHeader(const testplan::Plan& plan, lang::Language language) {
  std::string line;
  for (const char* title : {"时间", "记录", "序列号", "结果", "首个未通过的步骤"}) {
    line += (line.empty() ? "" : ",") + Csv(lang::In(language, title));
  }
  for (const testplan::Step& step : plan.steps) {
    if (const auto* run = std::get_if<testplan::Run>(&step.what)) {
      for (const testplan::Measurement& m : run->measurements) line += "," + Csv(MeasurementColumn(step, m, language));
    }
  }
  return line + "\r\n";
}

std::string SummaryRow(const testplan::Plan& plan, const UnitInfo& info, const UnitResult& unit) {
  const std::optional<size_t> failing = unit.FirstFailing();
  std::string line = Csv(TimeText(unit.started)) + "," + Csv(info.recordId) + "," + Csv(info.serial) + "," +
                     OutcomeName(unit.outcome) + "," +
                     (failing ? Csv(std::to_string(*failing + 1) + ". " + plan.steps[*failing].name) : std::string());
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    const auto* run = std::get_if<testplan::Run>(&plan.steps[i].what);
    if (run == nullptr) continue;
    const std::vector<MeasurementResult>& measured = unit.steps[i].measurements;
    for (size_t j = 0; j < run->measurements.size(); ++j) {
      line += ",";
      if (j < measured.size() && measured[j].value) line += ValueText(run->measurements[j], *measured[j].value);
    }
  }
  return line + "\r\n";
}

}  // namespace testrun
