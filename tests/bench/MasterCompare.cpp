// Our link against libmodbus's RTU master, on the same pseudo-terminal and
// the same driver (the simulated driver in scripts/bench), both reading the
// status block (22 registers from 0x0020 of slave 1) into host-order words.
// Each run alternates blocks of the two masters, the order swapped from one
// block to the next, so that both see the same load of a shared machine;
// only one of them holds the port at a time (ours opens it exclusively).
// Per run and as the median of the runs: transactions per second, median
// and 99th-percentile round trip, CPU of the process per transaction, and
// the ratio of ours to libmodbus's throughput. Our link runs twice in each
// block, without and with a frame log attached (of the size the window
// uses), and the ratio of the two throughputs is printed the same way. Not
// a test: it prints figures.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "driver/DriverLink.h"
#include "link/PortNames.h"

#ifdef KORVELT_HAVE_LIBMODBUS
#include <modbus.h>

#include <cerrno>
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t Slave = 1;
constexpr int StatusStart = 0x0020;
constexpr int StatusCount = 22;
constexpr int WarmUpRounds = 20;  // per block, not measured

using bench::At;
using bench::CpuSeconds;
using bench::Median;

// One master as the benchmark drives it: it holds the port from Open to
// Close, and Read is one status read.
class Master {
 public:
  virtual ~Master() = default;
  virtual const char* Name() const = 0;
  virtual bool Open() = 0;
  virtual bool Read(uint16_t (&words)[StatusCount]) = 0;
  virtual void Close() = 0;
};

class OurLink : public Master {
 public:
  OurLink(unsigned port, bool logged) : port_(port) {
    if (logged) link_.AttachFrameLog(std::make_shared<FrameLog>());
    name_ = logged ? "ours+log" : "ours";
  }
  const char* Name() const override { return name_; }
  bool Open() override { return link_.OpenPort(port_, 115200, Parity::None2) != 0; }
  bool Read(uint16_t (&words)[StatusCount]) override {
    StatusBlock status;
    if (link_.ReadStatus(Slave, status) != ResultSuccess) return false;
    static_assert(sizeof status == sizeof words);
    std::memcpy(words, &status, sizeof words);
    return true;
  }
  void Close() override { link_.ClosePort(); }

 private:
  unsigned port_;
  const char* name_;
  DriverLink link_;
};

#ifdef KORVELT_HAVE_LIBMODBUS
class Libmodbus : public Master {
 public:
  explicit Libmodbus(const std::string& device) : device_(device) {}
  ~Libmodbus() override { Close(); }
  const char* Name() const override { return "libmodbus"; }
  bool Open() override {
    ctx_ = modbus_new_rtu(device_.c_str(), 115200, 'N', 8, 2);
    if (ctx_ == nullptr) return false;
    modbus_set_slave(ctx_, Slave);
    modbus_set_response_timeout(ctx_, 0, 500000);  // ours: 500 ms
    if (modbus_connect(ctx_) == 0) return true;
    std::printf("libmodbus: cannot connect to %s: %s\n", device_.c_str(), modbus_strerror(errno));
    Close();
    return false;
  }
  bool Read(uint16_t (&words)[StatusCount]) override {
    return modbus_read_registers(ctx_, StatusStart, StatusCount, words) == StatusCount;
  }
  void Close() override {
    if (ctx_ == nullptr) return;
    modbus_close(ctx_);
    modbus_free(ctx_);
    ctx_ = nullptr;
  }

 private:
  std::string device_;
  modbus_t* ctx_ = nullptr;
};
#endif

// What one master did over the blocks of one run.
struct Tally {
  std::vector<double> micros;
  double seconds = 0;
  double cpu = 0;

  double PerSecond() const { return seconds > 0 ? static_cast<double>(micros.size()) / seconds : 0.0; }
  double CpuMicrosEach() const { return micros.empty() ? 0.0 : 1e6 * cpu / static_cast<double>(micros.size()); }
};

bool RunBlock(Master& master, int rounds, Tally& tally) {
  if (!master.Open()) {
    std::printf("%s: the port did not open\n", master.Name());
    return false;
  }
  uint16_t words[StatusCount];
  bool ok = true;
  for (int i = 0; i < WarmUpRounds && ok; ++i) ok = master.Read(words);
  const double cpu0 = CpuSeconds();
  const auto start = Clock::now();
  for (int i = 0; i < rounds && ok; ++i) {
    const auto t0 = Clock::now();
    ok = master.Read(words);
    tally.micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
  }
  tally.seconds += std::chrono::duration<double>(Clock::now() - start).count();
  tally.cpu += CpuSeconds() - cpu0;
  master.Close();
  if (!ok) std::printf("%s: a status read failed\n", master.Name());
  return ok;
}

struct Figures {
  double perSecond, median, p99, cpuEach;
};

Figures Summarise(Tally& tally) {
  std::sort(tally.micros.begin(), tally.micros.end());
  return {tally.PerSecond(), At(tally.micros, 0.5), At(tally.micros, 0.99), tally.CpuMicrosEach()};
}

void Print(const char* label, const char* name, const Figures& f) {
  std::printf("%-10s %-10s %9.0f transactions/s  median %7.1f us  p99 %7.1f us  CPU %6.1f us/transaction\n", label,
              name, f.perSecond, f.median, f.p99, f.cpuEach);
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned port = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 1;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 500;  // per block
  const int blocks = argc > 3 ? std::max(1, std::atoi(argv[3])) : 6;    // per master and run
  const int runs = argc > 4 ? std::max(1, std::atoi(argv[4])) : 5;

  std::vector<std::unique_ptr<Master>> masters;
  masters.push_back(std::make_unique<OurLink>(port, false));
  masters.push_back(std::make_unique<OurLink>(port, true));
  constexpr size_t kOurs = 0, kLogged = 1, kLibmodbus = 2;
#ifdef KORVELT_HAVE_LIBMODBUS
  masters.push_back(std::make_unique<Libmodbus>(ResolveComPort(port)));
#else
  std::printf("libmodbus was not found when this was built (scripts/install-deps --bench installs it): "
              "only our link is measured\n");
#endif
  std::printf("status read, 22 registers of slave 1 on COM%u (%s); %d runs of %d blocks of %d reads per master, "
              "alternating\n",
              port, ResolveComPort(port).c_str(), runs, blocks, rounds);

  std::vector<std::vector<Figures>> perRun(masters.size());
  std::vector<double> ratios, logRatios;
  for (int run = 1; run <= runs; ++run) {
    std::vector<Tally> tallies(masters.size());
    for (int block = 0; block < blocks; ++block) {
      for (size_t k = 0; k < masters.size(); ++k) {
        const size_t m = block % 2 == 0 ? k : masters.size() - 1 - k;
        if (!RunBlock(*masters[m], rounds, tallies[m])) return 1;
      }
    }
    const std::string label = "run " + std::to_string(run);
    for (size_t m = 0; m < masters.size(); ++m) {
      perRun[m].push_back(Summarise(tallies[m]));
      Print(label.c_str(), masters[m]->Name(), perRun[m].back());
    }
    logRatios.push_back(perRun[kLogged].back().perSecond / perRun[kOurs].back().perSecond);
    std::printf("%-10s ours+log/ours throughput %.3f\n", label.c_str(), logRatios.back());
    if (masters.size() > kLibmodbus) {
      ratios.push_back(perRun[kOurs].back().perSecond / perRun[kLibmodbus].back().perSecond);
      std::printf("%-10s ours/libmodbus throughput %.2f\n", label.c_str(), ratios.back());
    }
  }

  std::printf("-- median of %d runs\n", runs);
  for (size_t m = 0; m < masters.size(); ++m) {
    const auto median = [&](double Figures::*field) {
      std::vector<double> values;
      for (const Figures& f : perRun[m]) values.push_back(f.*field);
      return Median(values);
    };
    Print("median", masters[m]->Name(),
          {median(&Figures::perSecond), median(&Figures::median), median(&Figures::p99), median(&Figures::cpuEach)});
  }
  std::printf("%-10s ours+log/ours throughput %.3f\n", "median", Median(logRatios));
  if (!ratios.empty()) std::printf("%-10s ours/libmodbus throughput %.2f\n", "median", Median(ratios));
  return 0;
}
