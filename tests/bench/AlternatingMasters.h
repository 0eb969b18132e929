// Masters compared on one line, as the link benchmarks run them: each reads
// the status block (22 registers from 0x0020 of slave 1) into host-order
// words, in blocks that alternate between the masters, the order swapped
// from one block to the next, so that all see the same load of a shared
// machine; only one of them holds the port at a time. Per run and as the
// median of the runs: transactions per second, median and 99th-percentile
// round trip, CPU of the process per transaction, and the ratios asked for.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchFigures.h"
#include "driver/DriverLink.h"

#ifdef KORVELT_HAVE_LIBMODBUS
#include <modbus.h>

#include <cerrno>
#endif

namespace bench {

constexpr uint8_t StatusSlave = 1;
constexpr int StatusStart = 0x0020;
constexpr int StatusCount = 22;

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

// Our link on any port it opens: a COM number, a device, a network port.
class OurLink : public Master {
 public:
  OurLink(Line line, const char* name, bool logged = false) : line_(std::move(line)), name_(name) {
    if (logged) link_.AttachFrameLog(std::make_shared<FrameLog>());
  }
  // Called before each open: waits for whatever the port needs first.
  void BeforeOpen(std::function<void()> wait) { beforeOpen_ = std::move(wait); }
  const char* Name() const override { return name_; }
  bool Open() override {
    if (beforeOpen_) beforeOpen_();
    return link_.OpenLine(line_) != 0;
  }
  bool Read(uint16_t (&words)[StatusCount]) override {
    StatusBlock status;
    if (link_.ReadStatus(StatusSlave, status) != ResultSuccess) return false;
    static_assert(sizeof status == sizeof words);
    std::memcpy(words, &status, sizeof words);
    return true;
  }
  void Close() override { link_.ClosePort(); }

 private:
  Line line_;
  const char* name_;
  std::function<void()> beforeOpen_;
  DriverLink link_;
};

#ifdef KORVELT_HAVE_LIBMODBUS
// libmodbus's RTU master on a device, or its TCP client to a server.
class Libmodbus : public Master {
 public:
  static std::unique_ptr<Libmodbus> Rtu(const std::string& device, int baud) {
    return std::unique_ptr<Libmodbus>(new Libmodbus(device, baud, 0));
  }
  static std::unique_ptr<Libmodbus> Tcp(const std::string& host, int port) {
    return std::unique_ptr<Libmodbus>(new Libmodbus(host, 0, port));
  }
  ~Libmodbus() override { Close(); }
  const char* Name() const override { return "libmodbus"; }
  bool Open() override {
    ctx_ = tcpPort_ != 0 ? modbus_new_tcp(where_.c_str(), tcpPort_) : modbus_new_rtu(where_.c_str(), baud_, 'N', 8, 2);
    if (ctx_ == nullptr) return false;
    modbus_set_slave(ctx_, StatusSlave);  // over TCP the unit identifier
    modbus_set_response_timeout(ctx_, 0, 500000);  // ours: 500 ms
    if (modbus_connect(ctx_) == 0) return true;
    std::printf("libmodbus: cannot connect to %s: %s\n", where_.c_str(), modbus_strerror(errno));
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
  Libmodbus(std::string where, int baud, int tcpPort) : where_(std::move(where)), baud_(baud), tcpPort_(tcpPort) {}
  std::string where_;
  int baud_;
  int tcpPort_;
  modbus_t* ctx_ = nullptr;
};
#endif

struct Figures {
  double perSecond, median, p99, cpuEach;
};

// Runs `runs` runs of `blocks` blocks of `rounds` reads per master (after a
// few reads per block that are not measured), printing each run and the
// medians. A ratio line compares the throughputs of two masters.
class AlternatingRuns {
 public:
  struct Ratio {
    size_t numerator, denominator;
    const char* format;  // of the ratio, such as "%.2f"
  };

  explicit AlternatingRuns(std::vector<std::unique_ptr<Master>> masters) : masters_(std::move(masters)) {}
  size_t Masters() const { return masters_.size(); }

  // False when a port did not open or a read failed (it says which); else
  // `medians`, when given, holds the median of each ratio over the runs.
  bool Run(int rounds, int blocks, int runs, const std::vector<Ratio>& ratios, std::vector<double>* medians = nullptr);

 private:
  struct Tally {
    std::vector<double> micros;
    double seconds = 0;
    double cpu = 0;
  };
  static constexpr int WarmUpRounds = 20;
  static constexpr std::chrono::seconds WarmUpTime{5};

  bool RunBlock(Master& master, int rounds, Tally& tally);
  static Figures Summarise(Tally& tally);
  void Print(const char* label, const char* name, const Figures& f) const;
  void PrintRatio(const char* label, const Ratio& ratio, double value) const;

  std::vector<std::unique_ptr<Master>> masters_;
};

inline bool AlternatingRuns::RunBlock(Master& master, int rounds, Tally& tally) {
  using Clock = std::chrono::steady_clock;
  if (!master.Open()) {
    std::printf("%s: the port did not open\n", master.Name());
    return false;
  }
  // Not measured: reads until WarmUpRounds in a row answered. A port that
  // another program has just let go of (a device server closing its side
  // of a pseudo-terminal) may lose the first answers to it.
  uint16_t words[StatusCount];
  const auto warmUpEnd = Clock::now() + WarmUpTime;
  int inRow = 0;
  while (inRow < WarmUpRounds && Clock::now() < warmUpEnd) inRow = master.Read(words) ? inRow + 1 : 0;
  bool ok = inRow == WarmUpRounds;
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

inline Figures AlternatingRuns::Summarise(Tally& tally) {
  std::sort(tally.micros.begin(), tally.micros.end());
  const double n = static_cast<double>(tally.micros.size());
  return {tally.seconds > 0 ? n / tally.seconds : 0.0, At(tally.micros, 0.5), At(tally.micros, 0.99),
          n > 0 ? 1e6 * tally.cpu / n : 0.0};
}

inline void AlternatingRuns::Print(const char* label, const char* name, const Figures& f) const {
  std::printf("%-10s %-10s %9.0f transactions/s  median %7.1f us  p99 %7.1f us  CPU %6.1f us/transaction\n", label,
              name, f.perSecond, f.median, f.p99, f.cpuEach);
}

inline void AlternatingRuns::PrintRatio(const char* label, const Ratio& ratio, double value) const {
  std::printf("%-10s %s/%s throughput ", label, masters_[ratio.numerator]->Name(), masters_[ratio.denominator]->Name());
  std::printf(ratio.format, value);
  std::printf("\n");
}

inline bool AlternatingRuns::Run(int rounds, int blocks, int runs, const std::vector<Ratio>& ratios,
                                 std::vector<double>* medians) {
  std::vector<std::vector<Figures>> perRun(masters_.size());
  std::vector<std::vector<double>> ratioRuns(ratios.size());
  for (int run = 1; run <= runs; ++run) {
    std::vector<Tally> tallies(masters_.size());
    for (int block = 0; block < blocks; ++block) {
      for (size_t k = 0; k < masters_.size(); ++k) {
        const size_t m = block % 2 == 0 ? k : masters_.size() - 1 - k;
        if (!RunBlock(*masters_[m], rounds, tallies[m])) return false;
      }
    }
    const std::string label = "run " + std::to_string(run);
    for (size_t m = 0; m < masters_.size(); ++m) {
      perRun[m].push_back(Summarise(tallies[m]));
      Print(label.c_str(), masters_[m]->Name(), perRun[m].back());
    }
    for (size_t r = 0; r < ratios.size(); ++r) {
      ratioRuns[r].push_back(perRun[ratios[r].numerator].back().perSecond /
                             perRun[ratios[r].denominator].back().perSecond);
      PrintRatio(label.c_str(), ratios[r], ratioRuns[r].back());
    }
    std::fflush(stdout);
  }

  std::printf("-- median of %d runs\n", runs);
  for (size_t m = 0; m < masters_.size(); ++m) {
    const auto median = [&](double Figures::*field) {
      std::vector<double> values;
      for (const Figures& f : perRun[m]) values.push_back(f.*field);
      return Median(values);
    };
    Print("median", masters_[m]->Name(),
          {median(&Figures::perSecond), median(&Figures::median), median(&Figures::p99), median(&Figures::cpuEach)});
  }
  if (medians != nullptr) medians->clear();
  for (size_t r = 0; r < ratios.size(); ++r) {
    PrintRatio("median", ratios[r], Median(ratioRuns[r]));
    if (medians != nullptr) medians->push_back(Median(ratioRuns[r]));
  }
  std::fflush(stdout);
  return true;
}

}  // namespace bench
