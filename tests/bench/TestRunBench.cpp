// The production test against its budgets. Not a test: it prints figures.
//   - `korvelt test` of examples/production on the simulated driver's
//     wire-timed line (its own process) at 115200 and at 9600 bit/s: the
//     unit's time against its steps' own (the run steps' settling and
//     windows, the learning run as long as it took, the waits); budget: at
//     most 5 % and 1 s more, for the record's start to end and for korvelt
//     as the operator waits for it. Each run step's window reads against
//     what the line carries; budget: at least 90 %.
//   - the report page of a 10-step plan with three 5-second windows read
//     at 115200 bit/s (made up, at the line's rate): its time to build and
//     write and its size; budget: under 1 s and under 2 MB.
// Usage: korvelt_test_run_bench [runs] [report-file-to-keep]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "ChildProcess.h"
#include "PtyPair.h"
#include "SimulatorProcess.h"
#include "base/AtomicFile.h"
#include "fields/StatusTexts.h"
#include "recording/Capture.h"
#include "recording/StatusReads.h"
#include "testplan/PlanFile.h"
#include "testrun/Report.h"

namespace {

using Clock = std::chrono::steady_clock;
using nlohmann::json;
namespace fs = std::filesystem;

constexpr double OverShare = 0.05;
constexpr double OverSeconds = 1.0;
constexpr double LineShare = 0.9;
constexpr double ReportSeconds = 1.0;
constexpr size_t ReportBytes = 2u << 20;

double Seconds(std::chrono::milliseconds ms) { return static_cast<double>(ms.count()) / 1000.0; }

// "2026-12-11T14:31:20.123+00:00" as seconds of the day; the run is well
// within one.
double TimeOfDay(const std::string& iso) {
  if (iso.size() < 23) return 0;
  return std::atof(iso.substr(11, 2).c_str()) * 3600 + std::atof(iso.substr(14, 2).c_str()) * 60 +
         std::atof(iso.substr(17, 6).c_str());
}

double StepSeconds(const json& step) { return TimeOfDay(step["end"]) - TimeOfDay(step["start"]); }

bool OneUnit(const testplan::Plan& plan, const std::string& planPath, const PortsFolder& ports,
             const DataHome& data, int baud, int run) {
  bench::SimulatorProcess sim({"--com", "1", "--ports", ports.Path(), "--learned", "--wire", "--baud",
                               std::to_string(baud)});
  if (!sim.Ready()) return false;
  const std::string results = data.Path() + "/results-" + std::to_string(baud) + "-" + std::to_string(run);
  const std::vector<std::string> argv{KORVELT_EXECUTABLE, "--port", "COM1", "--baud", std::to_string(baud), "--json",
                                      "test", planPath, "--serial", "KV4815-000001", "--assume-confirmed",
                                      "--results", results};
  const auto start = Clock::now();
  const ProgramResult result = RunProgram(argv, std::chrono::minutes(3), true);
  const double waited = std::chrono::duration<double>(Clock::now() - start).count();
  sim.Stop();
  const json record = json::parse(result.output, nullptr, false);
  if (result.exitStatus != 0 || record.is_discarded()) {
    std::printf("%6d bit/s: korvelt test ended with %d: %s\n", baud, result.exitStatus.value_or(-1),
                result.errors.c_str());
    return false;
  }
  // The steps' own time: what the plan asks for, and the learning run as
  // long as the driver took.
  double own = 0;
  const double limit = recording::LineLimit(baud, static_cast<int>(recording::StatusRegisterCount));
  std::string windows;
  double worstShare = 1e9;
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    const testplan::Step& step = plan.steps[i];
    if (const auto* r = std::get_if<testplan::Run>(&step.what)) {
      own += Seconds(r->settle) + Seconds(r->window);
      const double rate = record["steps"][i]["measurements"][0]["readings"].get<double>() / Seconds(r->window);
      worstShare = std::min(worstShare, rate / limit);
      char text[96];
      std::snprintf(text, sizeof text, " %zu: %.1f/s %.1f %%", i + 1, rate, 100.0 * rate / limit);
      windows += text;
    } else if (const auto* w = std::get_if<testplan::Wait>(&step.what)) {
      own += Seconds(w->duration);
    } else if (step.kind == testplan::StepKind::Learn) {
      own += StepSeconds(record["steps"][i]);
    }
  }
  const double unit = TimeOfDay(record["end"]) - TimeOfDay(record["start"]);
  const double budget = own * (1 + OverShare) + OverSeconds;
  std::printf("%6d bit/s run %d: steps' own %.2f s; unit %.2f s (+%.2f s, %.1f %%), korvelt %.2f s (+%.2f s, %.1f %%); "
              "budget %.2f s: %s\n",
              baud, run, own, unit, unit - own, 100.0 * (unit - own) / own, waited, waited - own,
              100.0 * (waited - own) / own, budget, waited <= budget ? "met" : "MISSED");
  std::printf("        windows against the line's %.1f reads/s:%s; budget %.0f %%: %s\n", limit, windows.c_str(),
              100.0 * LineShare, worstShare >= LineShare ? "met" : "MISSED");
  std::fflush(stdout);
  return true;
}

// A 10-step plan with three run steps of 1 s settling and a 5-second window.
size_t Field(const char* key) {
  const auto all = fields::StatusFields();
  for (size_t i = 0; i < all.size(); ++i) {
    if (std::string(all[i].key) == key) return i;
  }
  return 0;
}

testplan::Plan ReportPlan() {
  const size_t speed = Field("motorSpeed");
  const size_t current = Field("phaseCurrent");
  testplan::Plan plan;
  plan.name = "报告基准";
  plan.revision = "A";
  plan.sha256 = std::string(64, 'a');
  const auto add = [&plan](testplan::StepKind kind, const std::string& name, auto what) {
    plan.steps.push_back({kind, name, what});
  };
  add(testplan::StepKind::Identify, "型号", testplan::Identify{});
  for (int i = 0; i < 3; ++i) {
    testplan::Run run;
    run.command.mode = testplan::RunMode::Frequency;
    run.command.value = 1000 * (i + 1);
    run.settle = std::chrono::milliseconds(1000);
    run.window = std::chrono::milliseconds(5000);
    run.measurements = {{speed, testplan::Statistic::Mean, 950.0 * (i + 1), 1050.0 * (i + 1), 10},
                        {speed, testplan::Statistic::StandardDeviation, std::nullopt, 20.0, 0},
                        {current, testplan::Statistic::Maximum, std::nullopt, 1.5, 0}};
    add(testplan::StepKind::Run, "运行 " + std::to_string(i + 1), run);
    add(testplan::StepKind::Stop, "停止 " + std::to_string(i + 1), testplan::Stop{});
    add(testplan::StepKind::Wait, "等待 " + std::to_string(i + 1), testplan::Wait{std::chrono::milliseconds(500)});
  }
  return plan;
}

testrun::UnitResult ReportUnit(const testplan::Plan& plan, double rate) {
  testrun::UnitResult unit;
  unit.started = testrun::WallClock::now();
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    testrun::StepResult step;
    step.outcome = testrun::Outcome::Pass;
    step.started = step.ended = unit.started;
    if (const auto* run = std::get_if<testplan::Run>(&plan.steps[i].what)) {
      testrun::RunSamples samples;
      samples.commandWall = unit.started;
      const double target = static_cast<double>(run->command.value);
      const auto add = [&](int64_t micros) {
        recording::Sample sample{};
        sample.time = micros;
        const double t = static_cast<double>(micros) / 1e6;
        sample.status.motorSpeed = static_cast<uint16_t>(target * (1 - std::exp(-3 * t)) + 5 * std::sin(40 * t));
        sample.status.phaseCurrent = static_cast<uint16_t>(80 + 20 * std::sin(7 * t));
        sample.read = recording::WholeBlock;
        samples.samples.push_back(sample);
      };
      for (int64_t at = 0; at < 1000000; at += 100000) add(at);
      samples.firstWindowSample = samples.samples.size();
      for (double t = 1.0; t < 6.0; t += 1.0 / rate) add(static_cast<int64_t>(t * 1e6));
      for (const testplan::Measurement& m : run->measurements) {
        step.measurements.push_back({m, 1000.0 * static_cast<double>(i), samples.samples.size(), testrun::Outcome::Pass});
      }
      step.samples = std::move(samples);
    }
    unit.steps.push_back(std::move(step));
  }
  unit.ended = unit.started + std::chrono::seconds(21);
  return unit;
}

void ReportFigures(const DataHome& data, const char* keep) {
  const testplan::Plan plan = ReportPlan();
  const double lineRate = recording::LineLimit(115200, static_cast<int>(recording::StatusRegisterCount));
  // At the line's rate, then each window at the bound a run step keeps.
  const std::pair<const char*, double> rates[] = {
      {"at 115200 bit/s", lineRate},
      {"at the window's bound", static_cast<double>(recording::StepRunSamples) / 5.0}};
  for (const auto& [name, rate] : rates) {
    const testrun::UnitResult unit = ReportUnit(plan, rate);
    const testrun::UnitInfo info{"20261211T000000.000Z-KV-1", "台 1", "张三", "KV-1"};
    const std::string path = keep != nullptr && rate == lineRate ? std::string(keep) : data.Path() + "/report.html";
    std::vector<double> times;
    size_t bytes = 0;
    for (int i = 0; i < 5; ++i) {
      const auto start = Clock::now();
      const std::string html = testrun::ReportHtml(plan, info, unit);
      const std::string error = base::WriteWholeFile(path, html);
      times.push_back(std::chrono::duration<double>(Clock::now() - start).count());
      if (!error.empty()) std::printf("report: %s\n", error.c_str());
      bytes = html.size();
    }
    const double median = bench::Median(times);
    std::printf("report page %s: 10 steps, 3 windows of 5 s at %.1f reads/s (%zu samples each): built and written in "
                "%.1f ms (median of 5), %zu bytes; budget %.0f ms and %zu bytes: %s\n",
                name, rate, unit.steps[1].samples->samples.size(), 1000 * median, bytes, 1000 * ReportSeconds,
                ReportBytes, median < ReportSeconds && bytes < ReportBytes ? "met" : "MISSED");
    std::fflush(stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  PortsFolder ports;
  DataHome data;
  ReportFigures(data, argc > 2 ? argv[2] : nullptr);
  const std::string planPath = KORVELT_EXAMPLES_DIR "/production/kvb4815.json";
  const testplan::Loaded loaded = testplan::LoadPlan(planPath);
  if (!loaded.plan) {
    std::printf("%s\n", loaded.refusal.c_str());
    return 1;
  }
  bool ok = true;
  for (const int baud : {115200, 9600}) {
    for (int run = 1; run <= runs; ++run) ok = OneUnit(*loaded.plan, planPath, ports, data, baud, run) && ok;
  }
  return ok ? 0 : 1;
}
