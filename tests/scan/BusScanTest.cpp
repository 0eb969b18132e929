// The bus scan against the simulated driver on a pseudo-terminal, which
// hears only a master at its own line settings, as the driver does.
#include <gtest/gtest.h>

#include "PtyPair.h"
#include "scan/BusScan.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

namespace {

using namespace scan;

// A driver at `address` behind COM2, heard only at `settings`.
struct DriverOnCom2 {
  DriverOnCom2(uint8_t address, sim::LineSettings settings, sim::Fault fault = {})
      : driver(sim::DriverOptions{.address = address}),
        server(driver, pty.Master(), sim::LineOptions{.settings = settings, .hearOwnSettingsOnly = true}) {
    ports.Map(2, pty.SlavePath());
    driver.SetFault(fault);
  }
  PortsFolder ports;
  PtyPair pty;
  sim::SimulatedDriver driver;
  sim::SlaveServer server;
};

ScanPlan Plan(uint8_t first, uint8_t last, std::vector<LineChoice> settings) {
  ScanPlan plan;
  plan.port = "COM2";
  plan.firstAddress = first;
  plan.lastAddress = last;
  plan.settings = std::move(settings);
  return plan;
}

TEST(BusScan, FindsTheDriverAtItsAddressAndRateAndNowhereElse) {
  DriverOnCom2 line(77, {19200, Parity::Even});
  const ScanPlan plan = Plan(76, 78, Combine(AllBauds(), AllParities()));
  std::vector<Progress> progress;
  std::vector<Found> announced;
  const ScanOutcome outcome = RunScan(
      plan, {[&](const Progress& p) { progress.push_back(p); }, [&](const Found& f) { announced.push_back(f); }},
      {});

  EXPECT_EQ(outcome.end, ScanEnd::Finished);
  EXPECT_EQ(outcome.tried, 3u * 18u);
  ASSERT_EQ(outcome.found.size(), 1u);
  const Found& found = outcome.found[0];
  EXPECT_EQ(found.address, 77);
  EXPECT_EQ(found.line, (LineChoice{19200, Parity::Even}));
  EXPECT_EQ(found.answer, Answer::Identified);
  EXPECT_EQ(found.Identity(), "0x0A31");
  EXPECT_EQ(found.Model(), "KVB-4815-RS485-S");
  EXPECT_EQ(found.Version(), "1.05");
  EXPECT_EQ(announced.size(), 1u);
  // Every try announced before it runs, with what it tries.
  ASSERT_EQ(progress.size(), 54u);
  EXPECT_EQ(progress.front().total, 54u);
  EXPECT_EQ(progress.back().tried, 53u);
  EXPECT_EQ(progress.back().address, 78);
  EXPECT_EQ(progress.back().line, (LineChoice{115200, Parity::Even}));
}

TEST(BusScan, ADriverThatRefusesOrGarblesIsThereAndSaysSo) {
  const struct {
    const char* what;
    sim::Fault fault;
    Answer answer;
    const char* says;
  } cases[] = {
      {"exception", sim::Fault::ExceptionCode(4), Answer::Exception, "异常应答 04 操作失败"},
      {"driver's own exception", sim::Fault::ExceptionCode(0x40), Answer::Exception, "异常应答 40 不允许操作"},
      {"bad crc", sim::Fault::Of(sim::FaultKind::BadCrc), Answer::Garbled, "应答无法识别"},
  };
  for (const auto& c : cases) {
    DriverOnCom2 line(5, {9600, Parity::None2}, c.fault);
    const ScanOutcome outcome = RunScan(Plan(4, 6, {{9600, Parity::None2}}), {}, {});
    ASSERT_EQ(outcome.found.size(), 1u) << c.what;
    EXPECT_EQ(outcome.found[0].address, 5) << c.what;
    EXPECT_EQ(outcome.found[0].answer, c.answer) << c.what;
    EXPECT_EQ(AnswerText(outcome.found[0]).rfind(c.says, 0), 0u) << c.what << ": " << AnswerText(outcome.found[0]);
  }
}

TEST(BusScan, CancelEndsTheScanWithTheTryInProgress) {
  DriverOnCom2 line(1, {115200, Parity::Odd});  // heard nowhere it is asked
  BusScan scan;
  std::optional<ScanOutcome> ended;
  std::atomic<size_t> announced{0};
  ASSERT_TRUE(scan.Start(Plan(2, 128, Combine(AllBauds(), AllParities())),
                         {[&](const Progress&) {
                            if (++announced == 3) scan.RequestStop();
                          },
                          {}},
                         [&](const ScanOutcome& outcome) { ended = outcome; }));
  scan.Join();
  ASSERT_TRUE(ended.has_value());
  EXPECT_EQ(ended->end, ScanEnd::Cancelled);
  EXPECT_EQ(ended->tried, 3u) << "the third try ends, no fourth begins";
  EXPECT_EQ(announced, 3u);
}

TEST(BusScan, APortThatDoesNotOpenEndsTheScanAndSaysWhy) {
  PortsFolder ports;  // no COM2 in it
  ScanPlan plan = Plan(1, 128, {{9600, Parity::None2}});
  plan.port = "COM9";
  const ScanOutcome outcome = RunScan(plan, {}, {});
  EXPECT_EQ(outcome.end, ScanEnd::PortFailed);
  EXPECT_EQ(outcome.tried, 0u);
  EXPECT_NE(outcome.failure.kind, OpenFailureKind::None);
}

}  // namespace
