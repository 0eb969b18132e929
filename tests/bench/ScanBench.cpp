// The bus scan's timing against the budget: 128 addresses at one setting
// with nothing answering (at most 12 s at 9600 bit/s, 4 s at 115200), and
// all 18 settings (at most 2.5 minutes), on the simulated driver with the
// wire's timing. The driver hears only its own settings, which the scans
// with nothing answering avoid; the scan of all settings finds it once.
// Usage: korvelt_scan_bench [runs] [full-runs]
#include <cstdio>
#include <cstdlib>

#include "BenchFigures.h"
#include "SimulatedLine.h"
#include "scan/BusScan.h"

namespace {

struct Case {
  const char* name;
  std::vector<scan::LineChoice> settings;
  double budgetSeconds;
};

double ScanSeconds(const std::vector<scan::LineChoice>& settings, size_t& found, size_t& tried) {
  scan::ScanPlan plan;
  plan.port = "COM1";
  plan.settings = settings;
  const scan::ScanOutcome outcome = scan::RunScan(plan, {}, {});
  found = outcome.found.size();
  tried = outcome.tried;
  return std::chrono::duration<double>(outcome.elapsed).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const int fullRuns = argc > 2 ? std::max(0, std::atoi(argv[2])) : 3;
  // Address 100 at 38400 bit/s even parity, paced as a wire at that rate.
  sim::DriverOptions driver;
  driver.address = 100;
  sim::LineOptions wire;
  wire.settings = {38400, Parity::Even};
  wire.hearOwnSettingsOnly = true;
  wire.wire = true;
  SimulatedLine line(1, driver, wire);

  const Case cases[] = {
      {"128 addresses at 9600 bit/s, nothing answering", {{9600, Parity::None2}}, 12.0},
      {"128 addresses at 115200 bit/s, nothing answering", {{115200, Parity::None2}}, 4.0},
      {"128 addresses at 38400 bit/s even, the driver at 100", {{38400, Parity::Even}}, 0.0},
      {"all 18 settings, the driver at 100, 38400 even", scan::Combine(scan::AllBauds(), scan::AllParities()), 150.0},
  };
  for (const Case& c : cases) {
    const int n = c.settings.size() > 1 ? fullRuns : runs;
    if (n == 0) continue;
    std::vector<double> seconds;
    std::vector<double> cpu;
    size_t found = 0, tried = 0;
    for (int run = 0; run < n; ++run) {
      const double cpuBefore = bench::CpuSeconds();
      seconds.push_back(ScanSeconds(c.settings, found, tried));
      cpu.push_back(bench::CpuSeconds() - cpuBefore);
      std::printf("  %s, run %d: %.2f s, %zu tries, %zu found, CPU %.3f s\n", c.name, run + 1, seconds.back(), tried,
                  found, cpu.back());
      std::fflush(stdout);
    }
    const double median = bench::Median(seconds);
    std::printf("%s: median %.2f s over %d runs (%.1f ms a try), CPU median %.3f s", c.name, median, n,
                1000.0 * median / static_cast<double>(tried), bench::Median(cpu));
    if (c.budgetSeconds > 0) std::printf(", budget %.0f s: %s", c.budgetSeconds, median <= c.budgetSeconds ? "met" : "MISSED");
    std::printf("\n");
    std::fflush(stdout);
  }
  return 0;
}
