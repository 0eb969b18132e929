// Benchmark of the link against a driver on COM n (the simulated driver in
// scripts/bench): transactions per second, median and 99th-percentile
// round trip of a status read (22 registers) and a PID write (18 registers),
// what the first status read after a time-out costs against the others
// (the link waits for the line to fall quiet then), and the CPU that an
// open, idle port costs. Not a test: it prints figures.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

#include "BenchFigures.h"
#include "driver/DriverLink.h"

namespace {

using Clock = std::chrono::steady_clock;

using bench::CpuSeconds;
using bench::Median;

double MicrosOf(const std::function<ModbusResult()>& transaction, ModbusResult& result) {
  const auto t0 = Clock::now();
  result = transaction();
  return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
}

// The status read right after a time-out (a request to slave 2, which is
// not there) against status reads after status reads, at `baudRate`.
bool MeasureAfterTimeout(DriverLink& link, unsigned port, int baudRate, int rounds) {
  link.ClosePort();
  if (link.OpenPort(port, baudRate, 0) == 0) return false;
  StatusBlock status{};
  const auto read = [&] { return link.ReadStatus(1, status); };
  std::vector<double> normal, afterTimeout;
  ModbusResult result = ResultSuccess;
  for (int i = 0; i < rounds; ++i) {
    if (link.ReadStatus(2, status) != ResultTimeout) return false;
    afterTimeout.push_back(MicrosOf(read, result));
    for (int j = 0; j < 10 && result == ResultSuccess; ++j) normal.push_back(MicrosOf(read, result));
    if (result != ResultSuccess) return false;
  }
  const double before = Median(normal);
  const double after = Median(afterTimeout);
  std::printf("status read at %6d bit/s     median %7.1f us after a status read, %7.1f us after a time-out "
              "(+%.1f us, %d rounds)\n",
              baudRate, before, after, after - before, rounds);
  return true;
}

bool Measure(const char* name, int rounds, const std::function<ModbusResult()>& transaction) {
  std::vector<double> micros;
  micros.reserve(static_cast<size_t>(rounds));
  const auto start = Clock::now();
  for (int i = 0; i < rounds; ++i) {
    const auto t0 = Clock::now();
    const ModbusResult result = transaction();
    const auto t1 = Clock::now();
    if (result != ResultSuccess) {
      std::printf("%s: round %d failed: %s\n", name, i, ResultText(result).c_str());
      return false;
    }
    micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::sort(micros.begin(), micros.end());
  const auto at = [&](double q) { return bench::At(micros, q); };
  std::printf("%-28s %7d rounds  %9.0f transactions/s  median %7.1f us  p99 %7.1f us  max %8.1f us\n", name, rounds,
              rounds / seconds, at(0.5), at(0.99), micros.back());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned port = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 1;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 2000;
  const int idleSeconds = argc > 3 ? std::atoi(argv[3]) : 10;
  const int timeoutRounds = argc > 4 ? std::atoi(argv[4]) : 10;

  DriverLink link;
  if (link.OpenPort(port, 115200, 0) == 0) {
    std::printf("cannot open COM%u\n", port);
    return 1;
  }
  std::printf("COM%u -> %s\n", port, link.DevicePath().c_str());

  StatusBlock status{};
  PidBlock pid{1.0f, 0.5f, 0.0f, 2.0f, 0.1f, 0.0f, 3.0f, 0.2f, 0.0f};
  bool ok = Measure("ReadStatus (22 registers)", rounds, [&] { return link.ReadStatus(1, status); });
  ok = ok && Measure("WritePid (18 registers)", rounds, [&] { return link.WritePid(1, pid); });
  for (int baudRate : {9600, 115200}) ok = ok && MeasureAfterTimeout(link, port, baudRate, timeoutRounds);

  const double cpu0 = CpuSeconds();
  const auto wall0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const double cpu = CpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  std::printf("%-28s %.1f s wall  %.4f s CPU  %.3f %% of one core\n", "idle open port", wall, cpu,
              100.0 * cpu / wall);
  link.ClosePort();
  return ok ? 0 : 1;
}
