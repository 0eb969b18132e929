// The bus scan against the simulated driver on a pseudo-terminal, which
// hears only a master at its own line settings, as the driver does.
#include <gtest/gtest.h>

#include "PtyPair.h"

using namespace std::chrono_literals;
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
  // Every try announced before it runs, with what it tries; the pass that
  // heard the driver ends with a longer wait at the last address.
  EXPECT_EQ(outcome.retried, 1u);
  ASSERT_EQ(progress.size(), 54u + outcome.retried);
  EXPECT_EQ(progress.front().total, 54u);
  EXPECT_EQ(std::count_if(progress.begin(), progress.end(), [](const Progress& p) { return p.retry; }), 1);
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

namespace {

// Drivers at 1, 2 and 3 behind COM2 on a line timed as a wire at 9600
// bit/s, turning round in 5, 60 and 150 ms: answers that end after the
// fast try's time-out, and ones that come while the next addresses are
// tried.
struct SlowBusOnCom2 {
  SlowBusOnCom2()
      : server({{&fast, 5ms}, {&slow, 60ms}, {&slower, 150ms}}, pty.Master(),
               sim::LineOptions{.settings = {9600, Parity::None2}, .hearOwnSettingsOnly = true, .wire = true}) {
    ports.Map(2, pty.SlavePath());
  }
  PortsFolder ports;
  PtyPair pty;
  sim::SimulatedDriver fast{sim::DriverOptions{.address = 1}};
  sim::SimulatedDriver slow{sim::DriverOptions{.address = 2}};
  sim::SimulatedDriver slower{sim::DriverOptions{.address = 3}};
  sim::SlaveServer server;
};

}  // namespace

TEST(BusScan, FindsSlowDriversAtTheirOwnAddressesAndNoneAtTheNext) {
  SlowBusOnCom2 line;
  const struct {
    const char* what;
    uint8_t last;
  } ranges[] = {
      {"addresses after the slow ones", 6},
      {"the slowest last: heard in the wait that ends the pass", 3},
  };
  for (const auto& r : ranges) {
    std::vector<uint8_t> announced;
    const ScanOutcome outcome =
        RunScan(Plan(1, r.last, {{9600, Parity::None2}}), {{}, [&](const Found& f) { announced.push_back(f.address); }}, {});
    EXPECT_EQ(outcome.end, ScanEnd::Finished) << r.what;
    EXPECT_EQ(outcome.tried, r.last) << r.what;
    ASSERT_EQ(outcome.found.size(), 3u) << r.what;
    for (uint8_t address : {1, 2, 3}) {
      const Found& found = outcome.found[address - 1u];
      EXPECT_EQ(found.address, address) << r.what;
      EXPECT_EQ(found.answer, Answer::Identified) << r.what << ": " << int(address) << " " << AnswerText(found);
      EXPECT_EQ(found.Model(), "KVB-4815-RS485-S") << r.what;
    }
    EXPECT_EQ(outcome.found[0].lateBy.count(), 0) << r.what << ": the fast one at the first try";
    EXPECT_GT(outcome.found[1].lateBy, 60ms) << r.what;
    EXPECT_GT(outcome.found[2].lateBy, 150ms) << r.what;
    EXPECT_EQ(AnswerText(outcome.found[2]).rfind("应答慢", 0), 0u) << AnswerText(outcome.found[2]);
    EXPECT_EQ(announced.size(), 3u) << r.what << ": each announced once";
  }

  // Each try given long enough, no driver is late.
  ScanPlan patient = Plan(1, 4, {{9600, Parity::None2}});
  patient.tryTimeout = 300ms;
  const ScanOutcome outcome = RunScan(patient, {}, {});
  ASSERT_EQ(outcome.found.size(), 3u);
  EXPECT_EQ(outcome.retried, 0u);
  for (const Found& found : outcome.found) EXPECT_EQ(found.lateBy.count(), 0) << int(found.address);
}
