#include "testrun/Runner.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "base/StopWake.h"
#include "driver/LearningRun.h"
#include "fields/CFormat.h"
#include "fields/PrintableText.h"
#include "lang/Texts.h"
#include "paramfile/Restore.h"
#include "testrun/StepWork.h"

namespace testrun {
namespace {

using lang::Fill;
using lang::Tr;
namespace pf = paramfile;

// How many differing fields a check-parameters failure names.
constexpr size_t kNamedDifferences = 5;
// How long an early end keeps trying its stop, and the pause between tries
// (each unanswered try also waits out the link's time-out).
constexpr std::chrono::seconds kEndStopFor{5};
constexpr std::chrono::milliseconds kEndStopPause{200};

std::string VersionText(const testplan::FirmwareVersion& version) {
  return fields::CFormat("%d.%02d", version.major, version.minor);
}

void Identify(const StepWork& work, const testplan::Identify& want, StepResult& result) {
  const std::string& model = work.identity.Model();
  if (want.model && !want.model->Matches(model)) {
    return End(result, Outcome::Fail, Fill(Tr("型号 {1} 不符合 {2}"), {fields::Printable(model), want.model->Text()}));
  }
  const uint16_t word = work.identity.info.version;
  const testplan::FirmwareVersion version{word >> 8, word & 0xFF};
  if ((want.lowestVersion && version < *want.lowestVersion) || (want.highestVersion && version > *want.highestVersion)) {
    const std::string low = want.lowestVersion ? VersionText(*want.lowestVersion) : "-";
    const std::string high = want.highestVersion ? VersionText(*want.highestVersion) : "-";
    return End(result, Outcome::Fail, Fill(Tr("版本 {1} 不在 {2} 到 {3} 之内"), {VersionText(version), low, high}));
  }
  End(result, Outcome::Pass, {});
}

// The file against the driver as it is now. The motor's learning result
// is the unit's own (a learn step gives it) and is neither written nor
// judged, whatever the file holds.
bool Compare(const StepWork& work, const testplan::Parameters& file, StepResult& result, pf::DeviceImage& device,
             pf::Comparison& comparison, std::vector<bool>& chosen) {
  std::vector<size_t> blocks;
  if (std::string refusal = pf::BlocksOfFile(*file.parameters, {}, blocks); !refusal.empty()) {
    End(result, Outcome::Fail, refusal);
    return false;
  }
  const pf::StepResult read = pf::ReadDevice(work.link, work.slave, blocks, false, {{}, work.stop}, device);
  if (read.cancelled) {
    End(result, Outcome::Aborted, Tr(pf::CancelledText));
    return false;
  }
  if (!read.Done()) {
    End(result, Outcome::Error, read.Message(), read.result);
    return false;
  }
  device.identity = work.identity;
  if (std::string refusal = pf::CompareWithFile(*file.parameters, device, blocks, comparison); !refusal.empty()) {
    End(result, Outcome::Fail, refusal);
    return false;
  }
  chosen = pf::FirstChoice(comparison.rows, false);
  return true;
}

void CheckParameters(const StepWork& work, const testplan::Parameters& file, StepResult& result) {
  pf::DeviceImage device;
  pf::Comparison comparison;
  std::vector<bool> chosen;
  if (!Compare(work, file, result, device, comparison, chosen)) return;
  std::string named;
  size_t differing = 0;
  for (size_t i = 0; i < chosen.size(); ++i) {
    if (!chosen[i]) continue;
    const pf::Difference& row = comparison.rows[i];
    if (++differing <= kNamedDifferences) {
      named += (named.empty() ? "" : "; ") +
               Fill(Tr("{1} 设备 {2}, 文件 {3}"), {Tr(row.name), Tr(row.device), Tr(row.file)});
    }
  }
  if (differing == 0) return End(result, Outcome::Pass, {});
  End(result, Outcome::Fail, Fill(Tr("{1} 个字段与 {2} 不同: {3}"), {std::to_string(differing), file.file, named}));
}

void Configure(const StepWork& work, const testplan::Parameters& file, StepResult& result) {
  pf::DeviceImage device;
  pf::Comparison comparison;
  std::vector<bool> chosen;
  if (!Compare(work, file, result, device, comparison, chosen)) return;
  if (std::find(chosen.begin(), chosen.end(), true) == chosen.end()) return End(result, Outcome::Pass, {});
  const pf::BlockWords words = pf::ChosenWords(device.blocks, comparison.file, comparison.rows, chosen);
  const pf::RestoreReport report = pf::WriteAndCheck(work.link, work.slave, words, pf::Learning::Kept, {{}, work.stop});
  if (report.end.cancelled) return End(result, Outcome::Aborted, Tr(pf::CancelledText));
  if (!report.end.Done()) return End(result, Outcome::Error, report.end.Message(), report.end.result);
  if (!report.mismatches.empty()) {
    std::string names;
    for (const pf::Difference& row : report.mismatches) names += (names.empty() ? "" : ", ") + Tr(row.name);
    result.readBackDiffers = true;
    return End(result, Outcome::Error, Fill(Tr("读回与写入不同: {1}"), {names}));
  }
  End(result, Outcome::Pass, {});
}

// The learning run on its worker; this thread waits for its end, its time
// limit or the stop, whichever comes first.
void Learn(const StepWork& work, const testplan::Learn& learn, StepResult& result) {
  std::mutex mutex;
  std::condition_variable_any ended;
  std::optional<LearningReport> report;
  LearningRun run;
  const bool started = run.Start(work.link, work.slave, [&](const LearningReport& last) {
    std::lock_guard lock(mutex);
    report = last;
    ended.notify_all();
  });
  if (!started) return End(result, Outcome::Error, Tr("无法启动电机学习"), ResultPortNotOpen);
  const auto deadline = std::chrono::steady_clock::now() + learn.within;
  {
    std::unique_lock lock(mutex);
    ended.wait_until(lock, work.stop, deadline, [&] { return report.has_value(); });
  }
  // A run still going makes its last write and ends without a report.
  run.RequestStop();
  run.Join();
  if (!report) {
    if (work.stop.stop_requested()) return End(result, Outcome::Aborted, Tr(pf::CancelledText));
    return End(result, Outcome::Fail,
               Fill(Tr("电机学习未在 {1} 秒内完成"), {fields::CFormat("%g", learn.within.count() / 1000.0)}));
  }
  switch (report->end) {
    case LearningReport::End::Succeeded: return End(result, Outcome::Pass, {});
    case LearningReport::End::Failed: return End(result, Outcome::Fail, Tr("电机学习失败"));
    case LearningReport::End::AbnormalStop: return End(result, Outcome::Fail, Tr("电机学习异常停止"));
    case LearningReport::End::StartRefused: return EndOnLine(result, "启动电机学习", report->result);
    case LearningReport::End::PollFailed: return EndOnLine(result, "读取电机学习状态", report->result);
  }
}

void Stop(const StepWork& work, uint16_t mode, StepResult& result, bool& stopped) {
  const ModbusResult sent = work.link.WriteStopCommand(work.slave, mode);
  stopped = sent == ResultSuccess;
  if (!stopped) return EndOnLine(result, "停止", sent);
  End(result, Outcome::Pass, {});
}

void Wait(const StepWork& work, const testplan::Wait& wait, StepResult& result) {
  const base::StopWake wake(work.stop);
  if (wake.WaitUntil(std::chrono::steady_clock::now() + wait.duration)) {
    return End(result, Outcome::Aborted, Tr(pf::CancelledText));
  }
  End(result, Outcome::Pass, {});
}

// The operator's answer, unless the prompt is taken as confirmed.
void Prompt(const StepWork& work, const RunSettings& settings, size_t index, const testplan::Prompt& prompt,
            StepResult& result) {
  if (settings.assumeConfirmed || !settings.confirm) return End(result, Outcome::Pass, Tr("已假定操作员确认"));
  const bool confirmed = settings.confirm(index, prompt.text, work.stop);
  if (work.stop.stop_requested()) return End(result, Outcome::Aborted, Tr(pf::CancelledText));
  if (!confirmed) return End(result, Outcome::Aborted, Tr("操作员中止"));
  End(result, Outcome::Pass, Tr("操作员已确认"));
}

// The stop mode of the last run step begun, else of the plan's first run
// step, else the normal stop: how this plan stops its motor.
uint16_t EndStopMode(const testplan::Plan& plan, size_t reached) {
  for (size_t i = reached + 1; i-- > 0;) {
    if (i < plan.steps.size() && plan.steps[i].kind == testplan::StepKind::Run) {
      return std::get<testplan::Run>(plan.steps[i].what).command.stopMode;
    }
  }
  for (const testplan::Step& step : plan.steps) {
    if (step.kind == testplan::StepKind::Run) return std::get<testplan::Run>(step.what).command.stopMode;
  }
  return 0;
}

// The end stop, tried again while the line does not answer (a driver that
// lost its line for a moment still gets it), for a bounded time. A stop
// asked for from outside ends the waiting, never the first try.
void SendEndStop(DriverLink& link, uint8_t slave, uint16_t mode, std::stop_token stop, UnitResult& unit) {
  const auto until = std::chrono::steady_clock::now() + kEndStopFor;
  const base::StopWake wake(stop);
  unit.endStopSent = true;
  for (;;) {
    ++unit.endStopTries;
    unit.endStopResult = link.WriteStopCommand(slave, mode);
    if (unit.endStopResult == ResultSuccess) break;
    const auto next = std::chrono::steady_clock::now() + kEndStopPause;
    if (next >= until || wake.WaitUntil(next)) break;
  }
  unit.endStop = unit.endStopResult == ResultSuccess ? EndStop::Sent : EndStop::NotSent;
}

}  // namespace

std::string EndStopText(const UnitResult& unit) {
  switch (unit.endStop) {
    case EndStop::None: return {};
    case EndStop::Sent: return Tr("停止已发送");
    case EndStop::NotSent: return Fill(Tr("停止未能发送: {1}"), {ResultText(unit.endStopResult)});
    case EndStop::Withheld: return Tr("未发送停止: 未确认是本测试计划的驱动器");
  }
  return {};
}

void End(StepResult& result, Outcome outcome, std::string detail, ModbusResult code) {
  result.outcome = outcome;
  result.detail = std::move(detail);
  result.result = outcome == Outcome::Error ? code : ResultSuccess;
}

void EndOnLine(StepResult& result, const char* what, ModbusResult code) {
  End(result, Outcome::Error, Fill(Tr("{1}: {2}"), {Tr(what), ResultText(code)}), code);
}

std::optional<size_t> UnitResult::FirstFailing() const {
  for (size_t i = 0; i < steps.size(); ++i) {
    if (steps[i].outcome && !Passed(*steps[i].outcome)) return i;
  }
  return std::nullopt;
}

std::string Refusal(const testplan::Plan& plan, const RunSettings& settings) {
  if (settings.assumeConfirmed || settings.confirm) return {};
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    if (plan.steps[i].kind == testplan::StepKind::Prompt) {
      return Fill(Tr("第 {1} 步 \"{2}\" 要操作员确认, 而没有人确认它; 无人值守时用 --assume-confirmed"),
                  {std::to_string(i + 1), plan.steps[i].name});
    }
  }
  return {};
}

UnitResult RunUnit(DriverLink& link, const testplan::Plan& plan, const RunSettings& settings, std::stop_token stop,
                   const StepDone& done) {
  UnitResult unit;
  unit.steps.resize(plan.steps.size());
  unit.started = WallClock::now();
  DeviceIdentity identity;
  const ModbusResult read = ReadDeviceIdentity(link, settings.slave, identity);
  if (read == ResultSuccess) unit.identity = identity;
  StepWork work{link, settings.slave, stop, identity, {}};
  // The motor is known to be stopped: its stop was the last command and
  // was answered. Until then an early end sends one, whatever came before
  // the test.
  bool stopped = false;
  size_t reached = 0;
  for (; reached < plan.steps.size(); ++reached) {
    const testplan::Step& step = plan.steps[reached];
    StepResult& result = unit.steps[reached];
    result.started = WallClock::now();
    if (stop.stop_requested()) {
      End(result, Outcome::Aborted, Tr(pf::CancelledText));
    } else if (reached == 0 && read != ResultSuccess) {
      // Who the unit is goes into its record: a driver that does not say
      // is not tested.
      EndOnLine(result, pf::IdentityStep, read);
    } else {
      switch (step.kind) {
        case testplan::StepKind::Identify: Identify(work, std::get<testplan::Identify>(step.what), result); break;
        case testplan::StepKind::Configure: Configure(work, std::get<testplan::Parameters>(step.what), result); break;
        case testplan::StepKind::CheckParameters:
          CheckParameters(work, std::get<testplan::Parameters>(step.what), result);
          break;
        case testplan::StepKind::Learn:
          stopped = false;  // the learning run turns the motor
          Learn(work, std::get<testplan::Learn>(step.what), result);
          break;
        case testplan::StepKind::Run:
          if (settings.sampled) {
            work.sampled = [&settings, reached](const recording::Sample& sample) { settings.sampled(reached, sample); };
          }
          RunMotor(work, std::get<testplan::Run>(step.what), result, stopped);
          break;
        case testplan::StepKind::Stop: Stop(work, std::get<testplan::Stop>(step.what).mode, result, stopped); break;
        case testplan::StepKind::Wait: Wait(work, std::get<testplan::Wait>(step.what), result); break;
        case testplan::StepKind::Prompt:
          Prompt(work, settings, reached, std::get<testplan::Prompt>(step.what), result);
          break;
      }
    }
    result.ended = WallClock::now();
    unit.outcome = Worse(unit.outcome, *result.outcome);
    if (done) done(reached, result);
    if (!Passed(*result.outcome)) break;
  }
  // A driver that did not say who it is, or is not the one the plan is
  // for, is sent nothing more.
  const bool known = read == ResultSuccess && !(reached < plan.steps.size() &&
                                                plan.steps[reached].kind == testplan::StepKind::Identify &&
                                                unit.steps[reached].outcome == Outcome::Fail);
  if (!Passed(unit.outcome)) {
    if (!known) {
      unit.endStop = EndStop::Withheld;
    } else if (stopped) {
      unit.endStop = EndStop::Sent;
    } else {
      SendEndStop(link, settings.slave, EndStopMode(plan, reached), stop, unit);
    }
  }
  unit.ended = WallClock::now();
  return unit;
}

}  // namespace testrun
