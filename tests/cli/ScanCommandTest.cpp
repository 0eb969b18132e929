// korvelt scan as a user runs it: the simulated driver at an address and
// rate of its own, found in the table and in the JSON document.
#include <gtest/gtest.h>

#include <csignal>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "SimulatedLine.h"
#include "fields/DeviceInfoTexts.h"

namespace {

TEST(KorveltScan, FindsTheDriverAndSaysSoInItsExitStatus) {
  sim::DriverOptions options;
  options.address = 42;
  SimulatedLine line(2, options);

  const KorveltRun json = RunKorvelt({"--port", "COM2", "--json", "scan", "--addresses", "40-44"});
  ASSERT_EQ(json.status, 0) << json.err;
  const nlohmann::json document = json.Json();
  ASSERT_EQ(document["found"].size(), 1u) << json.out;
  EXPECT_EQ(document["found"][0]["address"], 42);
  EXPECT_EQ(document["found"][0]["baud"], 9600);
  EXPECT_EQ(document["found"][0]["parity"], "none2");
  EXPECT_EQ(document["found"][0]["device"]["fields"][fields::ModelField]["text"], "KVB-4815-RS485-S");
  EXPECT_EQ(document["tried"], 5);
  EXPECT_TRUE(document["seconds"].is_number());

  const KorveltRun table = RunKorvelt({"--port", "COM2", "scan", "--addresses", "42", "--bauds", "9600,19200"});
  EXPECT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("42    9600"), std::string::npos) << table.out;

  const KorveltRun none = RunKorvelt({"--port", "COM2", "scan", "--addresses", "1-3"});
  EXPECT_EQ(none.status, 4) << "nothing answered";
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(RunKorvelt({"--port", "COM2", "scan", "--addresses", "5-2"}).status, 2);
  EXPECT_EQ(RunKorvelt({"--port", "COM2", "scan", "--bauds", "1200"}).status, 2);
}

// A driver that turns round in 150 ms on a line timed as a wire at 9600
// bit/s: found slow at its own address, or in time with --timeout.
TEST(KorveltScan, FindsASlowDriverAndWaitsAsLongAsTold) {
  using namespace std::chrono_literals;
  sim::DriverOptions options;
  options.address = 2;
  sim::LineOptions wire;
  wire.wire = true;
  wire.turnaround = 150ms;
  SimulatedLine line(2, options, wire);
  const struct {
    std::vector<std::string> wait;
    bool late;
  } cases[] = {{{}, true}, {{"--timeout", "400"}, false}};
  for (const auto& c : cases) {
    std::vector<std::string> args = {"--port", "COM2", "--json", "scan", "--addresses", "1-3"};
    args.insert(args.end(), c.wait.begin(), c.wait.end());
    const KorveltRun run = RunKorvelt(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json document = run.Json();
    ASSERT_EQ(document["found"].size(), 1u) << run.out;
    EXPECT_EQ(document["found"][0]["address"], 2);
    EXPECT_EQ(document["found"][0]["answer"], "identified");
    EXPECT_EQ(document["found"][0].contains("late_ms"), c.late) << run.out;
    if (c.late) {
      EXPECT_GE(document["found"][0]["late_ms"], 150) << run.out;
    }
    EXPECT_EQ(document["tried"], 3);
  }
  EXPECT_EQ(RunKorvelt({"--port", "COM2", "scan", "--timeout", "0"}).status, 2);
}

// Ctrl+C during a long scan: it ends with the try in progress, says what
// it tried, and its status says it was cut short.
TEST(KorveltScan, AnInterruptEndsTheScanWithItsSummary) {
  using namespace std::chrono_literals;
  sim::DriverOptions options;
  options.address = 42;
  SimulatedLine line(2, options);
  ChildProcess scan({KORVELT_CLI_EXECUTABLE, "--port", "COM2", "scan", "--bauds", "all", "--parities", "all"});
  const std::optional<std::string> begun = scan.ReadLine(5s);
  ASSERT_TRUE(begun.has_value());
  EXPECT_NE(begun->find("扫描 9600 none2"), std::string::npos) << *begun;
  scan.Signal(SIGINT);
  EXPECT_EQ(scan.Wait(5s), 130);
  EXPECT_NE(scan.ReadToEnd(1s).find("试了"), std::string::npos) << "ended by the signal, not by its work";
}

}  // namespace
