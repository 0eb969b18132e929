// korvelt with a list of addresses, against several simulated drivers on
// one line: each command run for each driver in turn, the address on every
// line of text, the JSON of several, the exit status of a mixed result, one
// file restored onto several, and Ctrl+C between two drivers.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "PtyPair.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

namespace {

using nlohmann::json;
using sim::Fault;
using sim::FaultKind;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Drivers 1, 2 and 5 on one line, COM2; the one at 1 has learned its motor.
class SeveralDrivers : public ::testing::Test {
 protected:
  SeveralDrivers() {
    std::vector<sim::Station> stations;
    for (const uint8_t address : {1, 2, 5}) {
      sim::DriverOptions options;
      options.address = address;
      options.learned = address == 1;
      drivers_.push_back(std::make_unique<sim::SimulatedDriver>(options));
      addresses_.push_back(address);
      stations.push_back({drivers_.back().get()});
    }
    ports_.Map(2, pty_.SlavePath());
    server_ = std::make_unique<sim::SlaveServer>(std::move(stations), pty_.Master(), sim::LineOptions{});
  }
  ~SeveralDrivers() override { server_.reset(); }

  sim::SimulatedDriver& At(uint8_t address) {
    for (size_t i = 0; i < drivers_.size(); ++i) {
      if (addresses_[i] == address) return *drivers_[i];
    }
    ADD_FAILURE() << "no driver at " << int(address);
    return *drivers_.front();
  }
  std::string Path(const char* name) const { return home.Path() + "/" + name; }
  KorveltRun Korvelt(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", "COM2"});
    return RunKorvelt(args);
  }

  DataHome home;

 private:
  PtyPair pty_;
  PortsFolder ports_;
  std::vector<std::unique_ptr<sim::SimulatedDriver>> drivers_;
  std::vector<uint8_t> addresses_;
  std::unique_ptr<sim::SlaveServer> server_;
};

TEST_F(SeveralDrivers, TextAndJsonNameEachDriverAndTheFirstFailureIsTheStatus) {
  const KorveltRun one = Korvelt({"--address", "2", "status"});
  ASSERT_EQ(one.status, 0) << one.err;
  const size_t perDriver = Lines(one.out).size();
  EXPECT_EQ(one.out.find("地址"), std::string::npos) << "one address: today's output";

  const KorveltRun text = Korvelt({"--address", "5,1-2", "status"});
  ASSERT_EQ(text.status, 0) << text.err;
  const std::vector<std::string> lines = Lines(text.out);
  ASSERT_EQ(lines.size(), 3 * perDriver) << text.out;
  for (size_t i = 0; i < lines.size(); ++i) {
    const char* label = i < perDriver ? "地址 5  " : i < 2 * perDriver ? "地址 1  " : "地址 2  ";
    EXPECT_EQ(lines[i].rfind(label, 0), 0u) << "in the order given: " << lines[i];
  }
  EXPECT_EQ(lines[2 * perDriver].substr(std::string("地址 2  ").size()), Lines(one.out)[0]);

  const json single = Korvelt({"--address", "1", "--json", "status"}).Json();
  EXPECT_TRUE(single.contains("fields"));
  EXPECT_FALSE(single.contains("drivers"));

  // A driver that does not answer, one that differs: the failure is the
  // status, the others are done and say so.
  const std::string file = Path("from-1.json");
  ASSERT_EQ(Korvelt({"backup", file}).status, 0);
  At(5).SetRegister(0x006A, 123);  // 额定电流 1.23 A
  At(2).SetFault(Fault::Of(FaultKind::NoAnswer));
  const KorveltRun diff = Korvelt({"--address", "5,2,1", "--json", "diff", file});
  EXPECT_EQ(diff.status, 4) << diff.err;
  const json drivers = diff.Json()["drivers"];
  ASSERT_EQ(drivers.size(), 3u) << drivers;
  EXPECT_EQ(drivers[0]["address"], 5);
  EXPECT_EQ(drivers[0]["status"], 1);
  EXPECT_EQ(drivers[0]["differences"].size(), 3u) << "the current and the learning result";
  EXPECT_EQ(drivers[1]["address"], 2);
  EXPECT_EQ(drivers[1]["status"], 4);
  EXPECT_EQ(drivers[1]["error"], "读取设备信息: 通讯超时");
  EXPECT_FALSE(drivers[1].contains("differences"));
  EXPECT_EQ(drivers[2]["status"], 0);
  EXPECT_EQ(drivers[2]["differences"], json::array());
  EXPECT_NE(diff.err.find("korvelt: 地址 2: 读取设备信息: 通讯超时"), std::string::npos) << diff.err;
  At(2).ClearFault();
  EXPECT_EQ(Korvelt({"--address", "1,5", "diff", file}).status, 1) << "a difference and no failure";
}

// One file for three drivers: each backed up, written and read back; the
// one that does not store is named as failed, the others are done; the
// motor's learning result stays with each.
TEST_F(SeveralDrivers, OneFileRestoredOntoEachInTurn) {
  const std::string folder = Path("line");
  const KorveltRun backup = Korvelt({"--address", "1,2,5", "backup", folder});
  ASSERT_EQ(backup.status, 0) << backup.err;
  const std::vector<std::string> saved = Lines(backup.out);
  ASSERT_EQ(saved.size(), 3u) << backup.out;
  EXPECT_EQ(saved[1].rfind("地址 2  " + folder + "/addr002-KVB-4815-RS485-S-", 0), 0u) << saved[1];
  for (const std::string& line : saved) EXPECT_TRUE(std::filesystem::exists(line.substr(line.find("  ") + 2)));

  const std::string file = saved[0].substr(saved[0].find("  ") + 2);  // driver 1's
  for (const uint8_t address : {1, 2, 5}) At(address).SetRegister(0x0050, 9);  // PWM上升缓冲 0.9 s
  At(2).SetFault(Fault::Of(FaultKind::IgnoreWrites));
  const KorveltRun restore = Korvelt({"--address", "1,2,5", "--json", "restore", file});
  EXPECT_EQ(restore.status, 7) << restore.err;
  const json drivers = restore.Json()["drivers"];
  ASSERT_EQ(drivers.size(), 3u);
  for (const json& driver : drivers) {
    SCOPED_TRACE(driver.dump());
    EXPECT_FALSE(driver["backup"].is_null()) << "each backed up before its writes";
    EXPECT_EQ(driver["written"], json::array({"ramp"}));
    EXPECT_EQ(driver["status"], driver["address"] == 2 ? 7 : 0);
    EXPECT_EQ(driver["verified"], driver["address"] != 2);
  }
  EXPECT_EQ(drivers[1]["learningKept"], json::array({"learnState", "phaseOrder"}));
  EXPECT_EQ(At(1).Register(0x0050), 5);
  EXPECT_EQ(At(2).Register(0x0050), 9);
  EXPECT_EQ(At(5).Register(0x0050), 5);
  EXPECT_EQ(At(5).Register(0x0075), 0) << "driver 1's learning result is not copied";
  EXPECT_EQ(At(5).Register(0x006D), 0);
}

// SIGINT while the first driver answers slowly: its read ends, no other
// driver is started, and it says which were done.
TEST_F(SeveralDrivers, InterruptedBetweenTwoDrivers) {
  At(1).SetFault(Fault::Delayed(std::chrono::milliseconds(400)));
  ChildProcess korvelt({KORVELT_CLI_EXECUTABLE, "--port", "COM2", "--address", "1,2,5", "status"}, true);
  ASSERT_TRUE(WaitUntil([&] { return At(1).RequestCount() > 0; }));
  korvelt.Signal(SIGINT);
  const std::string out = korvelt.ReadToEnd(std::chrono::seconds(10));
  EXPECT_EQ(korvelt.Wait(std::chrono::seconds(10)), 130);
  EXPECT_NE(korvelt.Errors().find("已中断; 已完成的地址: 1; 未完成的地址: 2, 5"), std::string::npos)
      << korvelt.Errors();
  EXPECT_EQ(out.rfind("地址 1  ", 0), 0u) << out;
  EXPECT_EQ(out.find("地址 2"), std::string::npos) << out;
  EXPECT_EQ(At(2).RequestCount(), 0u);
}

TEST_F(SeveralDrivers, RecordWritesOneRowPerSampleWithItsAddress) {
  At(2).SetFault(Fault::Of(FaultKind::NoAnswer));
  const KorveltRun run = Korvelt({"--address", "1,2", "record", "--interval", "10", "--count", "4"});
  EXPECT_EQ(run.status, 4) << "driver 2 answered nothing: " << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 5u) << run.out;
  EXPECT_EQ(lines[0].rfind("时间,经过时间 [s],地址,输出PWM [%]", 0), 0u) << lines[0];
  for (size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> cells;
    std::istringstream row(lines[i]);
    for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
    ASSERT_GT(cells.size(), 3u) << lines[i];
    EXPECT_EQ(cells[2], i % 2 == 1 ? "1" : "2") << lines[i];
    EXPECT_EQ(cells[3].empty(), i % 2 == 0) << "driver 2's rows are gaps: " << lines[i];
  }
  EXPECT_NE(run.err.find("地址 2: 记录: 通讯超时"), std::string::npos) << run.err;
}

}  // namespace
