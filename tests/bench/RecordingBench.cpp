// The recording against its budget: 24 hours at 10 samples a second fed in
// directly (864 000 samples, every register read, a gap every 1000), the
// memory it takes (its own count and the process's resident growth), then
// the export of all of it as CSV with its companion, several times, with
// the median. Not a test: it prints figures.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "recording/RecordingCsv.h"
#include "recording/StatusRecording.h"

namespace {

constexpr size_t kSamples = 24 * 3600 * 10;

double ResidentMegabytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0;
  long resident = 0;
  statm >> size >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const std::string folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path().string();
  const double before = ResidentMegabytes();
  recording::StatusRecording store;
  const auto t0 = recording::SteadyClock::now();
  store.Restart(t0);
  const auto fillStart = std::chrono::steady_clock::now();
  for (size_t i = 0; i < kSamples; ++i) {
    const auto at = t0 + std::chrono::milliseconds(100 * i);
    if (i % 1000 == 999) {
      store.AddGap(at);
      continue;
    }
    StatusBlock status{};
    status.outputPwm = static_cast<int16_t>(i % 2000 - 1000);
    status.phaseCurrent = static_cast<uint16_t>(i % 500);
    status.motorSpeed = static_cast<uint16_t>(i % 3000);
    status.in1Voltage = 3300;
    store.Add(at, status);
  }
  const double fillSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - fillStart).count();
  const recording::RecordingTotals totals = store.Totals();
  std::printf("recording: %llu samples (%llu gaps) fed in %.2f s; it holds %.1f MB (bound %zu samples, %.1f MB); "
              "resident growth %.1f MB\n",
              static_cast<unsigned long long>(totals.samples), static_cast<unsigned long long>(totals.gaps),
              fillSeconds, store.BytesUsed() / 1e6, store.Capacity(),
              store.Capacity() * sizeof(recording::Sample) / 1e6, ResidentMegabytes() - before);

  const std::string csv = folder + "/korvelt-bench-" + std::to_string(getpid()) + ".csv";
  recording::RecordingInfo info;
  info.origin.tool = "korvelt_recording_bench";
  std::vector<double> seconds;
  for (int run = 0; run < runs; ++run) {
    const auto start = std::chrono::steady_clock::now();
    std::string error;
    recording::CsvTotals rows;
    if (!recording::ExportRecording(store, {}, info, csv, &error, &rows)) {
      std::printf("export failed: %s\n", error.c_str());
      return 1;
    }
    seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    std::printf("export %d: %llu rows, %.1f MB, %.2f s\n", run + 1, static_cast<unsigned long long>(rows.rows),
                std::filesystem::file_size(csv) / 1e6, seconds.back());
  }
  std::printf("export median of %d: %.2f s\n", runs, bench::Median(seconds));
  std::filesystem::remove(csv);
  std::filesystem::remove(recording::CompanionPath(csv));
  return 0;
}
