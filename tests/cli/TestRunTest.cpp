// korvelt test PLAN --serial SN as a station runs it, with the example plan
// against the simulated driver: a unit that passes and its three records
// agreeing, a stalled rotor failing its run step, Ctrl+C in a measuring
// window, and what is refused before anything is sent.
#include <expat.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "ReportPage.h"
#include "SimulatedLine.h"
#include "base/Sha256.h"

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const std::string kPlan = KORVELT_EXAMPLES_DIR "/production/kvb4815.json";
const std::string kSerial = "KV4815-000123";

std::string Read(const fs::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::istringstream in(line);
  for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
  return cells;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.find('\r')));
  return lines;
}

// The one record in the folder.
json RecordIn(const fs::path& folder) {
  std::vector<fs::path> records;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".json") records.push_back(entry.path());
  }
  EXPECT_EQ(records.size(), 1u) << folder;
  return records.empty() ? json() : json::parse(Read(records.front()));
}

// The JUnit file as an XML parser reads it.
struct JUnit {
  std::map<std::string, std::string> suite;
  std::vector<std::string> cases;
  std::map<std::string, int> elements;
  bool wellFormed = false;
};

JUnit ParseJUnit(const std::string& text) {
  JUnit junit;
  XML_Parser parser = XML_ParserCreate("UTF-8");
  XML_SetUserData(parser, &junit);
  XML_SetStartElementHandler(parser, [](void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& out = *static_cast<JUnit*>(data);
    ++out.elements[name];
    std::map<std::string, std::string> values;
    for (size_t i = 0; attributes[i] != nullptr; i += 2) values[attributes[i]] = attributes[i + 1];
    if (std::string(name) == "testsuite") out.suite = values;
    if (std::string(name) == "testcase") out.cases.push_back(values["name"]);
  });
  junit.wellFormed = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
  XML_ParserFree(parser);
  return junit;
}

uint16_t RegisterWritten(const std::vector<uint8_t>& request) {
  return request.size() >= 6 ? static_cast<uint16_t>(request[2] << 8 | request[3]) : 0;
}

// The last request is the stop command with `mode`.
void ExpectStopLast(sim::SimulatedDriver& driver, uint16_t mode) {
  const std::vector<uint8_t> last = driver.LastRequest();
  ASSERT_EQ(last.size(), 8u);
  EXPECT_EQ(last[1], 0x06);
  EXPECT_EQ(RegisterWritten(last), 0x0040);
  EXPECT_EQ(last[4] << 8 | last[5], mode);
}

sim::DriverOptions Learned() {
  sim::DriverOptions options;
  options.learned = true;
  return options;
}

// A line timed as the wire at 9600 bit/s: a window of reads at the line's
// speed, as a station has it.
sim::LineOptions Wire() {
  sim::LineOptions line;
  line.wire = true;
  return line;
}

TEST(KorveltTestRun, AUnitThatPassesHasItsRecordJUnitAndSummaryAgree) {
  DataHome data;
  SimulatedLine line(2, Learned(), Wire());
  const fs::path junitCopy = fs::path(data.Path()) / "unit.xml";
  const fs::path htmlCopy = fs::path(data.Path()) / "unit.html";
  const KorveltRun run = RunKorvelt({"--lang", "zh", "--port", "COM2", "test", kPlan, "--serial", kSerial, "--station",
                                     "台 1", "--operator", "张三", "--assume-confirmed", "--junit", junitCopy.string(),
                                     "--html", htmlCopy.string()},
                                    90000);
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("6. 空载 400 Hz  PASS"), std::string::npos) << run.out;
  const fs::path folder = fs::path(data.Path()) / "korvelt-demo/results/KVB-4815 出厂测试";
  const json record = RecordIn(folder);
  EXPECT_EQ(record["outcome"], "PASS");
  EXPECT_EQ(record["plan"]["sha256"], base::Sha256Hex(Read(kPlan)));
  EXPECT_EQ(record["parameterFiles"][0]["sha256"],
            base::Sha256Hex(Read(KORVELT_EXAMPLES_DIR "/production/factory.json")));
  EXPECT_EQ(record["serial"], kSerial);
  EXPECT_EQ(record["station"], "台 1");
  EXPECT_EQ(record["operator"], "张三");
  EXPECT_EQ(record["model"], "KVB-4815-RS485-S");
  const json& steps = record["steps"];
  ASSERT_EQ(steps.size(), 10u);
  for (const json& step : steps) EXPECT_EQ(step["outcome"], "PASS") << step.dump();
  // The run step's samples, in the recording's columns.
  const std::vector<std::string> rows = Lines(Read(folder / steps[5]["samples"].get<std::string>()));
  ASSERT_GT(rows.size(), 10u);
  EXPECT_EQ(rows[0].rfind("\xEF\xBB\xBF时间,经过时间 [s],输出PWM [%],相电流 [A]", 0), 0u) << rows[0];

  const std::string junitText = Read(folder / (record["id"].get<std::string>() + ".junit.xml"));
  EXPECT_EQ(Read(junitCopy), junitText);
  const JUnit junit = ParseJUnit(junitText);
  ASSERT_TRUE(junit.wellFormed) << junitText;
  EXPECT_EQ(junit.suite.at("tests"), "10");
  EXPECT_EQ(junit.suite.at("failures"), "0");
  EXPECT_EQ(junit.suite.at("errors"), "0");
  EXPECT_EQ(junit.suite.at("id"), record["id"]);
  ASSERT_EQ(junit.cases.size(), 10u);
  EXPECT_EQ(junit.cases[5], "6. 空载 400 Hz");
  EXPECT_EQ(junit.elements.count("failure") + junit.elements.count("error"), 0u);

  // The report page: each run step's plot with the limits of its levels
  // (a deviation's is none), every series thinned to its pixel columns.
  const std::string html = Read(folder / (record["id"].get<std::string>() + ".html"));
  EXPECT_EQ(Read(htmlCopy), html);
  EXPECT_NE(run.out.find("报告: " + (folder / (record["id"].get<std::string>() + ".html")).string()), std::string::npos);
  const ReportPage page = ParseReportPage(html);
  ASSERT_TRUE(page.wellFormed) << html.substr(0, 2000);
  ASSERT_EQ(page.plots.size(), 3u);
  const int limits[] = {3, 2, 1};
  for (size_t i = 0; i < page.plots.size(); ++i) {
    EXPECT_EQ(page.plots[i].limits, limits[i]) << i;
    EXPECT_GT(page.plots[i].mostPoints, 10u) << i;
    EXPECT_LE(page.plots[i].mostPoints, 1000u) << i;
  }
  for (const char* shown : {"张三", "台 1", "KVB-4815-RS485-S", kSerial.c_str()}) {
    EXPECT_NE(page.text.find(shown), std::string::npos) << shown;
  }
  EXPECT_EQ(page.elements.count("script"), 0u);

  // One row under the header, its values the record's.
  const std::vector<std::string> summary = Lines(Read(folder / "summary.csv"));
  ASSERT_EQ(summary.size(), 2u);
  const std::vector<std::string> cells = Cells(summary[1]);
  ASSERT_EQ(cells.size(), 5u + 5u) << summary[1];
  EXPECT_EQ(cells[1], record["id"]);
  EXPECT_EQ(cells[2], kSerial);
  EXPECT_EQ(cells[3], "PASS");
  EXPECT_EQ(cells[4], "");
  size_t column = 5;
  for (const json& step : steps) {
    for (const json& measured : step["measurements"]) {
      EXPECT_NEAR(std::stod(cells[column++]), measured["value"].get<double>(), 0.01) << measured.dump();
    }
  }
}

TEST(KorveltTestRun, AStalledRotorFailsItsRunStepAndIsStopped) {
  DataHome data;
  SimulatedLine line(2, Learned(), Wire());
  line.Driver().SetMotorFault(sim::MotorFault::Stall);
  // The driver gives up on a stall only after 10 s: the window sees the
  // rotor standing rather than the error state.
  line.Driver().SetRegister(0x008E, 100);
  const KorveltRun run = RunKorvelt(
      {"--lang", "zh", "--port", "COM2", "--json", "test", kPlan, "--serial", kSerial, "--assume-confirmed"}, 90000);
  ASSERT_EQ(run.status, 1) << run.out << run.err;
  const json record = run.Json();
  EXPECT_EQ(record["outcome"], "FAIL");
  EXPECT_EQ(record["firstFailingStep"], 6);
  const json& step = record["steps"][5];
  EXPECT_EQ(step["name"], "空载 400 Hz");
  EXPECT_EQ(step["outcome"], "FAIL");
  EXPECT_EQ(step["measurements"][0]["field"], "motorSpeed");
  EXPECT_EQ(step["measurements"][0]["outcome"], "FAIL");
  EXPECT_LT(step["measurements"][0]["value"].get<double>(), 950);
  EXPECT_TRUE(record["steps"][6]["outcome"].is_null()) << "the first FAIL ends the run";
  ExpectStopLast(line.Driver(), 0);
  const fs::path folder = fs::path(data.Path()) / "korvelt-demo/results/KVB-4815 出厂测试";
  EXPECT_EQ(RecordIn(folder), record);
  const JUnit junit = ParseJUnit(Read(folder / (record["id"].get<std::string>() + ".junit.xml")));
  EXPECT_EQ(junit.suite.at("failures"), "1");
  EXPECT_EQ(junit.elements.at("skipped"), 4);
  EXPECT_EQ(Cells(Lines(Read(folder / "summary.csv"))[1])[4], "6. 空载 400 Hz");
  // The page names the failing measurement on a row of its outcome, and
  // what was not reached.
  const ReportPage page = ParseReportPage(Read(folder / (record["id"].get<std::string>() + ".html")));
  ASSERT_TRUE(page.wellFormed);
  std::vector<std::string> failing;
  size_t notReached = 0;
  for (const ReportPage::Row& row : page.rows) {
    if (row.cls == "measurement FAIL") failing.push_back(row.text);
    if (row.cls == "not-reached") ++notReached;
  }
  ASSERT_FALSE(failing.empty());
  EXPECT_EQ(failing[0].rfind("电机转速 平均值 950 到 1050 RPM", 0), 0u) << failing[0];
  EXPECT_EQ(notReached, 4u);
  EXPECT_EQ(page.plots.size(), 1u);
  EXPECT_NE(page.text.find("停止已发送"), std::string::npos);
}

// A plan of one long run step, in a folder of its own.
std::string LongRunPlan(const fs::path& folder) {
  const fs::path plan = folder / "long.json";
  std::ofstream(plan) << R"({"format": "korvelt-test-plan", "version": 1, "name": "长时间运行", "revision": "A",
    "steps": [{"type": "run", "name": "50 Hz", "command": {"mode": "frequency", "frequency": 50, "stop": "emergency"},
               "window": 600, "measure": [{"field": "motorSpeed", "stat": "mean", "low": 0, "unit": "RPM"}]}]})";
  return plan.string();
}

TEST(KorveltTestRun, CtrlCInTheMeasuringWindowStopsTheMotorAndKeepsTheRecordAsAborted) {
  DataHome data;
  SimulatedLine line(2, Learned(), Wire());
  const fs::path results = fs::path(data.Path()) / "results";
  ChildProcess korvelt({KORVELT_CLI_EXECUTABLE, "--port", "COM2", "--json", "test", LongRunPlan(data.Path()),
                        "--serial", "A1", "--results", results.string()},
                       true);
  ASSERT_TRUE(korvelt.Started());
  // The command (50.0 Hz), then a few of the window's reads.
  ASSERT_TRUE(WaitUntil([&] { return line.Driver().Register(0x0043) == 500; }, std::chrono::seconds(20)));
  const uint64_t commanded = line.Driver().RequestCount();
  ASSERT_TRUE(WaitUntil([&] { return line.Driver().RequestCount() >= commanded + 5; }, std::chrono::seconds(20)));
  korvelt.Signal(SIGINT);
  const std::optional<int> status = korvelt.Wait(std::chrono::seconds(20));
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(*status, 130) << korvelt.Errors();
  ExpectStopLast(line.Driver(), 1);
  const json record = RecordIn(results);
  EXPECT_EQ(record["outcome"], "ABORTED");
  EXPECT_EQ(record["steps"][0]["outcome"], "ABORTED");
  EXPECT_FALSE(record["steps"][0]["samples"].is_null());
}

// The station's own faults: ERROR, with the status the other commands give.
TEST(KorveltTestRun, TheStationsErrorsExitWithTheLinksStatuses) {
  DataHome data;
  struct Case {
    const char* name;
    sim::Fault fault;
    int status;
    size_t step;  // the step that ends in ERROR
  };
  const Case cases[] = {
      {"no answer", sim::Fault::Of(sim::FaultKind::NoAnswer), 4, 1},
      {"exception", sim::Fault::ExceptionCode(0x04), 5, 1},
      {"writes not kept", sim::Fault::Of(sim::FaultKind::IgnoreWrites), 7, 2},
  };
  for (const Case& c : cases) {
    SimulatedLine line(2, Learned(), Wire());
    line.Driver().SetFault(c.fault);
    // A station speaking another language adds to the same summary.
    const KorveltRun run = RunKorvelt(
        {"--lang", &c == cases ? "zh" : "en", "--port", "COM2", "--json", "test", kPlan, "--serial", kSerial,
         "--assume-confirmed"},
        60000);
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    const json record = run.Json();
    EXPECT_EQ(record["outcome"], "ERROR") << c.name;
    EXPECT_EQ(record["firstFailingStep"], c.step) << c.name;
  }
  const std::vector<std::string> summary =
      Lines(Read(fs::path(data.Path()) / "korvelt-demo/results/KVB-4815 出厂测试/summary.csv"));
  ASSERT_EQ(summary.size(), 1 + std::size(cases));
  for (size_t i = 1; i < summary.size(); ++i) EXPECT_EQ(Cells(summary[i])[3], "ERROR") << summary[i];
}

TEST(KorveltTestRun, WhatCannotRunIsRefusedBeforeAnythingIsSent) {
  DataHome data;
  SimulatedLine line(2, Learned(), Wire());
  const fs::path notAFolder = fs::path(data.Path()) / "file";
  std::ofstream(notAFolder) << "x";
  const fs::path results = fs::path(data.Path()) / "results";
  struct Case {
    const char* name;
    std::vector<std::string> args;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"results folder is a file", {kSerial, "--assume-confirmed", "--results", notAFolder.string()}, 9, "无法创建结果文件夹"},
      {"serial outside the pattern", {"KV4815-12", "--assume-confirmed", "--results", results.string()}, 8, "序列号模式"},
      {"serial that reads as a formula", {"=1+1", "--assume-confirmed", "--results", results.string()}, 8, "ASCII"},
      {"prompt without confirmation", {kSerial, "--results", results.string()}, 8, "第 4 步 \"固定电机\""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--lang", "zh", "--port", "COM2", "test", kPlan, "--serial"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const KorveltRun run = RunKorvelt(args);
    EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.name << ": " << run.err;
  }
  EXPECT_EQ(line.Driver().RequestCount(), 0u);
  EXPECT_FALSE(fs::exists(results) && !fs::is_empty(results));
}

}  // namespace
