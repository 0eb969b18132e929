// korvelt test PLAN --serial SN: one unit through the production test plan,
// each step's outcome printed as it comes, its record kept in the results
// folder, and an exit status a station's script can act on.
#include <unistd.h>

#include <climits>

#include "base/AtomicFile.h"
#include "cli/Interrupt.h"
#include "cli/TestPublish.h"
#include "cli/TestRun.h"
#include "fields/CFormat.h"
#include "fields/PrintableText.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"
#include "testplan/PlanFile.h"
#include "testplan/PlanText.h"
#include "testrun/ResultsFolder.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;
namespace tr = testrun;

std::string HostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

std::string MeasurementLine(const tr::MeasurementResult& measured) {
  const std::string value =
      measured.value ? fields::CFormat("%.*f", fields::StatusDecimals(measured.measurement.field) + 2, *measured.value)
                     : std::string("-");
  return "   " + testplan::MeasurementText(measured.measurement) + ": " + value + "  " +
         (measured.outcome ? tr::OutcomeName(*measured.outcome) : "-") + "\n";
}

std::string StepText(const testplan::Plan& plan, size_t index, const tr::StepResult& result) {
  std::string line = std::to_string(index + 1) + ". " + fields::Printable(plan.steps[index].name) + "  " +
                     tr::OutcomeName(*result.outcome);
  if (!result.detail.empty()) line += "  " + fields::Printable(result.detail);
  line += "\n";
  for (const tr::MeasurementResult& measured : result.measurements) line += MeasurementLine(measured);
  return line;
}

// How the unit's outcome reads to a script.
int StatusOf(const tr::UnitResult& unit) {
  switch (unit.outcome) {
    case tr::Outcome::Pass:
    case tr::Outcome::Marginal: return Done;
    case tr::Outcome::Fail: return TestFailed;
    case tr::Outcome::Aborted: return Interrupted;
    case tr::Outcome::Error: break;
  }
  const std::optional<size_t> failing = unit.FirstFailing();
  if (!failing) return NoAnswer;
  const tr::StepResult& step = unit.steps[*failing];
  if (step.readBackDiffers) return ReadBackDiffers;
  if (step.result == ResultPortNotOpen && !unit.identity) return PortNotOpened;
  return step.result == ResultSuccess ? NoAnswer : ExitFor(step.result);
}

// A port that did not open: the unit's record says so in its first step.
tr::UnitResult NotOpened(const testplan::Plan& plan, const std::string& port) {
  tr::UnitResult unit;
  unit.steps.resize(plan.steps.size());
  unit.started = unit.ended = tr::WallClock::now();
  unit.outcome = tr::Outcome::Error;
  unit.endStop = tr::EndStop::Withheld;
  if (!unit.steps.empty()) {
    tr::StepResult& first = unit.steps.front();
    first.outcome = tr::Outcome::Error;
    first.detail = Fill(Tr("无法打开端口 {1}"), {port});
    first.result = ResultPortNotOpen;
    first.started = first.ended = unit.started;
  }
  return unit;
}

}  // namespace

int RunPlan(Program& program, const TestArguments& args) {
  // From here on SIGINT and SIGTERM end the step in progress: the stop goes
  // out and the record is kept as ABORTED.
  const std::stop_token stop = CatchInterrupts();
  if (program.SeveralDrivers()) {
    program.Say(Tr("一次测试一个驱动器: --address 只能给一个地址"));
    return Usage;
  }
  TestPublish publish;
  if (const std::string refusal = publish.Parse(args.mqtt); !refusal.empty()) {
    program.Say(refusal);
    return Usage;
  }
  const testplan::Loaded loaded = testplan::LoadPlan(args.plan);
  if (!loaded.plan) {
    program.Say(loaded.refusal);
    return PlanDoesNotFit;
  }
  const testplan::Plan& plan = *loaded.plan;
  tr::RunSettings settings;
  settings.slave = program.Address();
  settings.assumeConfirmed = args.assumeConfirmed;
  for (const std::string& refusal : {tr::SerialRefusal(args.serial, plan), tr::Refusal(plan, settings)}) {
    if (refusal.empty()) continue;
    program.Say(refusal);
    return PlanDoesNotFit;
  }
  // The record's places are checked before the driver is touched.
  const std::string folder = args.results.empty() ? tr::DefaultResultsFolder(plan.name) : args.results;
  std::string refusal = folder.empty() ? std::string(Tr("没有结果文件夹: 用 --results 指定")) : tr::PrepareFolder(folder);
  for (const std::string* copy : {&args.junit, &args.html}) {
    if (!refusal.empty() || copy->empty()) continue;
    base::AtomicFile probe;
    if (!probe.Open(*copy)) refusal = probe.Error();
  }
  if (!refusal.empty()) {
    program.Say(refusal);
    return FileNotWritten;
  }
  tr::UnitInfo info;
  info.serial = args.serial;
  info.station = args.station.empty() ? HostName() : args.station;
  info.operatorName = args.operatorName;
  if (!program.options.json) {
    program.Print(Fill(Tr("测试计划 {1} 修订 {2}, 序列号 {3}"), {plan.name, plan.revision, args.serial}) + "\n");
  }

  publish.Begin(program, info.station);
  CommandSession session;
  tr::UnitResult unit;
  if (program.Open(session) != Done) {
    unit = NotOpened(plan, program.options.port);
  } else {
    unit = tr::RunUnit(session.Link(), plan, settings, stop, [&](size_t index, const tr::StepResult& result) {
      if (!program.options.json) program.Print(StepText(plan, index, result));
    });
  }
  info.recordId = tr::RecordId(unit.started, args.serial);
  const tr::Written written = tr::WriteUnit(folder, plan, info, unit, args.junit, args.html);
  if (!written.error.empty()) {
    program.Say(Fill(Tr("测试记录未保存: {1}"), {written.error}));
    publish.End(program, {});
    return FileNotWritten;
  }
  // Where the early end left the motor: a stop that did not go out is
  // the operator's to see whatever the output's form.
  if (unit.endStop == tr::EndStop::NotSent) {
    program.Say(tr::EndStopText(unit));
  } else if (!program.options.json && unit.endStop != tr::EndStop::None) {
    program.Print(tr::EndStopText(unit) + "\n");
  }
  if (program.options.json) {
    program.PrintJson(tr::BuildRecord(plan, info, unit, written.sampleFiles));
  } else {
    program.Print(Fill(Tr("结果: {1}"), {tr::OutcomeName(unit.outcome)}) + "\n" +
                  Fill(Tr("记录: {1}"), {tr::RecordPath(folder, info)}) + "\n" +
                  Fill(Tr("报告: {1}"), {tr::ReportPath(folder, info)}) + "\n");
  }
  // After the result is shown: the broker's wait never holds up the operator.
  publish.End(program, tr::RecordPath(folder, info));
  return StatusOf(unit);
}

}  // namespace cli
