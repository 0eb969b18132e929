// Eight drivers on one line: the simulated driver as a bus of addresses
// 1-8 on a wire-timed pseudo-terminal, in a process of its own, at 115200
// and at 9600 bit/s.
//   - The bus watch's turns (session::BusWatch::PollTurn, in the slices the
//     window's worker gives it) read the drivers' status in turn: the reads
//     a second of all drivers together against what the line carries (each
//     read its request, its answer and the driver's turnaround, back to
//     back); budget: at least 90 %. Beside it, in the seconds between, one
//     driver read back to back: what the machine's load leaves of the line.
//   - `korvelt --address 1-8 restore FILE` of a file that changes one block
//     against `korvelt --address 1 restore FILE`, each on a simulator
//     started afresh; budget: at most 8 times and 10 % more.
// Not a test: it prints figures.
// Usage: korvelt_bus_bench [poll-seconds] [restore-runs]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "ChildProcess.h"
#include "PtyPair.h"
#include "SimulatorProcess.h"
#include "recording/StatusReads.h"
#include "session/BusWatch.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr uint8_t Drivers = 8;
constexpr const char* AllDrivers = "1-8";
// What the window's worker gives the watch on each tick.
constexpr auto Turn = 90ms;
constexpr double PollBudget = 0.9;
constexpr double RestoreBudget = 8 * 1.1;

std::vector<std::string> SimulatorOptions(const PortsFolder& ports, int baud) {
  return {"--com", "1", "--ports", ports.Path(), "--learned", "--wire", "--baud", std::to_string(baud),
          "--address", AllDrivers};
}

// Reads made in slices of a second, and the time they took.
struct Tally {
  size_t reads = 0;
  double seconds = 0;
  // `read` reads until the time it is given.
  template <typename Read>
  void Add(const Read& read) {
    const auto start = Clock::now();
    for (const auto end = start + 1s; Clock::now() < end;) reads += read(std::min(end, Clock::now() + Turn));
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
  }
  double Rate() const { return seconds > 0 ? static_cast<double>(reads) / seconds : 0.0; }
};

bool PollShare(const PortsFolder& ports, int baud, double seconds) {
  bench::SimulatorProcess sim(SimulatorOptions(ports, baud));
  if (!sim.Ready()) return false;
  DriverLink link;
  if (link.OpenLine({"COM1", baud, Parity::None2}) == 0) {
    std::printf("COM1 did not open at %d bit/s\n", baud);
    return false;
  }
  session::BusWatch watch;
  for (uint8_t address = 1; address <= Drivers; ++address) watch.Add(address);
  // Each driver's identity is read once, before its first status: not
  // measured.
  const auto known = [&watch] {
    for (const session::BusWatch::Row& row : watch.Rows(Clock::now())) {
      if (!row.info) return false;
    }
    return true;
  };
  for (const auto deadline = Clock::now() + 30s; !known() && Clock::now() < deadline;) {
    watch.PollTurn(link, Clock::now() + Turn);
  }
  if (!known()) {
    std::printf("%6d bit/s: not every driver told its identity\n", baud);
    return false;
  }

  // Seconds of the watch alternate with seconds of one driver read back to
  // back on the same link: what the line gives on this machine at its
  // load right then, beside what the watch makes of it.
  const LinkStatistics before = link.Statistics();
  Tally watched, single;
  while (watched.seconds < seconds) {
    watched.Add([&](Clock::time_point until) { return watch.PollTurn(link, until); });
    single.Add([&](Clock::time_point until) {
      size_t n = 0;
      StatusBlock status{};
      for (; Clock::now() < until; ++n) link.ReadStatus(1, status);
      return n;
    });
  }
  const LinkStatistics after = link.Statistics();

  const unsigned long long failed =
      (after.transactions - before.transactions) - (after.successes - before.successes);
  const double limit = recording::LineLimit(baud, static_cast<int>(recording::StatusRegisterCount));
  const double rate = watched.Rate();
  std::printf("%6d bit/s, %u drivers: %zu reads in %.2f s = %.1f reads/s, the line carries %.1f: %.1f %%, budget "
              "%.0f %%: %s\n",
              baud, Drivers, watched.reads, watched.seconds, rate, limit, 100.0 * rate / limit, 100.0 * PollBudget,
              rate >= PollBudget * limit ? "met" : "MISSED");
  std::printf("        driver 1 alone in the seconds between: %.1f reads/s, %.1f %% of the line; the watch reached "
              "%.1f %% of that; %llu reads failed in all\n",
              single.Rate(), 100.0 * single.Rate() / limit, 100.0 * rate / single.Rate(), failed);
  std::printf("        each driver's reads a second over the last 2 s, half of them the watch's:");
  for (const session::BusWatch::Row& row : watch.Rows(Clock::now())) {
    std::printf(" %u:%.1f", row.address, row.readsPerSecond);
  }
  std::printf("\n");
  std::fflush(stdout);
  link.ClosePort();
  sim.Stop();
  return true;
}

std::vector<std::string> Korvelt(int baud, const char* addresses, std::vector<std::string> command) {
  std::vector<std::string> argv{KORVELT_EXECUTABLE, "--port", "COM1", "--baud", std::to_string(baud),
                                "--address", addresses};
  argv.insert(argv.end(), command.begin(), command.end());
  return argv;
}

// Runs korvelt; its time in seconds, or -1 when it failed (it says why).
double Run(const std::vector<std::string>& argv) {
  const auto start = Clock::now();
  const ProgramResult result = RunProgram(argv, std::chrono::minutes(3), true);
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (result.exitStatus == 0) return seconds;
  std::printf("korvelt %s ... ended with %d: %s\n", argv[argv.size() - 2].c_str(), result.exitStatus.value_or(-1),
              result.errors.c_str());
  return -1;
}

// The file: driver 1's parameters after one change of its ramp, so that
// each driver of a fresh simulator differs from it in that block.
bool MakeFile(const PortsFolder& ports, int baud, const std::string& file) {
  bench::SimulatorProcess sim(SimulatorOptions(ports, baud));
  const bool made = sim.Ready() && Run(Korvelt(baud, "1", {"write", "ramp", "pwmRise=1.5"})) >= 0 &&
                    Run(Korvelt(baud, "1", {"backup", file})) >= 0;
  sim.Stop();
  return made;
}

// One restore on a simulator started afresh.
double RestoreSeconds(const PortsFolder& ports, int baud, const char* addresses, const std::string& file) {
  bench::SimulatorProcess sim(SimulatorOptions(ports, baud));
  const double seconds = sim.Ready() ? Run(Korvelt(baud, addresses, {"restore", file})) : -1;
  sim.Stop();
  return seconds;
}

bool RestoreRatio(const PortsFolder& ports, const DataHome& data, int baud, int runs) {
  const std::string file = data.Path() + "/known-good-" + std::to_string(baud) + ".json";
  if (!MakeFile(ports, baud, file)) return false;
  std::vector<double> one, all, ratios;
  for (int run = 1; run <= runs; ++run) {
    one.push_back(RestoreSeconds(ports, baud, "1", file));
    all.push_back(RestoreSeconds(ports, baud, AllDrivers, file));
    if (one.back() < 0 || all.back() < 0) return false;
    ratios.push_back(all.back() / one.back());
    std::printf("%6d bit/s restore, run %d: 1 driver %.2f s, %u drivers %.2f s, %.2f times\n", baud, run, one.back(),
                Drivers, all.back(), ratios.back());
    std::fflush(stdout);
  }
  const double ratio = bench::Median(ratios);
  std::printf("%6d bit/s restore, median of %d: 1 driver %.2f s, %u drivers %.2f s, %.2f times, budget %.1f: %s\n",
              baud, runs, bench::Median(one), Drivers, bench::Median(all), ratio, RestoreBudget,
              ratio <= RestoreBudget ? "met" : "MISSED");
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::max(0.5, std::atof(argv[1])) : 10.0;
  const int restoreRuns = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  // A private ports folder and data folder (the backups a restore takes),
  // both gone at the end; korvelt and the simulator inherit them.
  PortsFolder ports;
  DataHome data;
  bool ok = true;
  for (const int baud : {115200, 9600}) {
    std::printf("== %d bit/s: the bus watch over %u drivers for %.1f s\n", baud, Drivers, seconds);
    ok = PollShare(ports, baud, seconds) && ok;
    std::printf("== %d bit/s: korvelt restore of one file to 1 and to %u drivers\n", baud, Drivers);
    ok = RestoreRatio(ports, data, baud, restoreRuns) && ok;
  }
  return ok ? 0 : 1;
}
