// The capture against the line's limit: status reads back to back through
// the window's capture (the whole block, and the two registers of 输出PWM
// and 相电流) on COM `port` at `baud`, where a simulator that paces its
// answers like a real line serves. For each it prints the samples a second
// reached, the line's limit for one request, its answer and the driver's
// turnaround, and the share of it. Not a test: it prints figures.
#include <cstdio>
#include <cstdlib>
#include <future>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "driver/DriverLink.h"
#include "recording/Capture.h"

namespace {

struct Plan {
  const char* name;
  std::vector<size_t> fields;  // none: the whole block
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: korvelt_capture_bench PORT BAUD [SECONDS] [RUNS]\n");
    return 2;
  }
  const unsigned port = static_cast<unsigned>(std::atoi(argv[1]));
  const int baud = std::atoi(argv[2]);
  const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 3;
  DriverLink link;
  if (link.OpenPort(port, baud, Parity::None2) == 0) {
    std::printf("COM%u did not open at %d bit/s\n", port, baud);
    return 1;
  }
  const Plan plans[] = {{"whole block", {}}, {"输出PWM+相电流", {0, 1}}};
  for (const Plan& plan : plans) {
    recording::CaptureRequest request;
    request.plan = recording::PlanFor(plan.fields);
    request.duration = std::chrono::seconds(seconds);
    const double limit = recording::LineLimit(baud, request.plan.count);
    std::vector<double> rates;
    for (int run = 0; run < runs; ++run) {
      recording::StatusRecording store;
      store.Restart();
      recording::Capture capture;
      std::promise<recording::CaptureReport> ended;
      auto report = ended.get_future();
      capture.Start(link, store, request, [&ended](const recording::CaptureReport& r) { ended.set_value(r); });
      const recording::CaptureReport r = report.get();
      capture.Join();
      const double rate = r.totals.readings / r.totals.Seconds();
      rates.push_back(rate);
      std::printf("%6d bit/s %-16s %2u registers: %7.1f samples/s (%llu, failed %llu)  limit %7.1f  %5.1f %%\n", baud,
                  plan.name, request.plan.count, rate, static_cast<unsigned long long>(r.totals.readings),
                  static_cast<unsigned long long>(r.totals.failed), limit, 100.0 * rate / limit);
      std::fflush(stdout);
    }
    const double median = bench::Median(rates);
    std::printf("%6d bit/s %-16s median of %d: %.1f samples/s = %.1f %% of the line's limit\n", baud, plan.name, runs,
                median, 100.0 * median / limit);
  }
  return 0;
}
