// Benchmark of the link against a driver on COM n (the simulated driver in
// scripts/bench): transactions per second, median and 99th-percentile
// round trip of a status read (22 registers) and a PID write (18 registers),
// what the first status read after a time-out costs against the others
// (the link waits for the line to fall quiet then), and the CPU that an
// open, idle port costs. The two transactions are measured without and
// with a frame log attached, in blocks that alternate between the two
// (the order swapped from block to block), and a log of the window's size
// is filled past its bound to show that it, and the process's memory,
// hold. Not a test: it prints figures.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
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
  if (link.OpenPort(port, baudRate, Parity::None2) == 0) return false;
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

struct Block {
  double perSecond = 0;
  double median = 0;
  double p99 = 0;
};

bool RunBlock(const char* name, int rounds, const std::function<ModbusResult()>& transaction, Block& block) {
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
  block = {rounds / seconds, bench::At(micros, 0.5), bench::At(micros, 0.99)};
  return true;
}

// `blocks` blocks of `rounds` each without and with `log` attached, the
// order swapped from block to block; the medians over the blocks.
bool Measure(const char* name, DriverLink& link, const std::shared_ptr<FrameLog>& log, int rounds, int blocks,
             const std::function<ModbusResult()>& transaction) {
  std::vector<Block> results[2];  // without, with the log
  for (int b = 0; b < blocks; ++b) {
    for (int k = 0; k < 2; ++k) {
      const int logged = b % 2 == 0 ? k : 1 - k;
      link.AttachFrameLog(logged ? log : nullptr);
      Block block;
      if (!RunBlock(name, rounds, transaction, block)) return false;
      results[logged].push_back(block);
    }
  }
  link.AttachFrameLog(nullptr);
  double perSecond[2] = {};
  for (int logged = 0; logged < 2; ++logged) {
    const auto median = [&](double Block::*field) {
      std::vector<double> values;
      for (const Block& block : results[logged]) values.push_back(block.*field);
      return Median(values);
    };
    perSecond[logged] = median(&Block::perSecond);
    std::printf("%-28s %-9s %d x %5d rounds  %9.0f transactions/s  median %7.1f us  p99 %7.1f us\n", name,
                logged ? "frame log" : "no log", blocks, rounds, perSecond[logged], median(&Block::median),
                median(&Block::p99));
  }
  std::printf("%-28s with the frame log / without: %.3f of the throughput\n", name, perSecond[1] / perSecond[0]);
  return true;
}

// What recording one transaction (an 8-byte request, a 49-byte answer)
// costs the link, in a log of the window's size, away from the line's noise.
void MeasureRecordCost() {
  FrameLog log;
  const Frame request = BuildReadRequest(1, 0x0020, 22);
  uint8_t answer[49] = {0x01, 0x03, 44};
  TransactionRecord record;
  record.request = request.bytes.data();
  record.requestLength = request.length;
  record.received = answer;
  record.receivedLength = sizeof answer;
  constexpr int kRecords = 1'000'000;
  const auto start = Clock::now();
  for (int i = 0; i < kRecords; ++i) {
    record.endedAt = {Clock::now(), WallMicrosNow()};  // as the link stamps it
    record.sentAt = record.firstByteAt = record.endedAt.monotonic;
    log.RecordTransaction(record);
  }
  const double nanos = std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kRecords;
  std::printf("%-28s %.0f ns per transaction (two clock readings included), %d transactions\n", "frame log record",
              nanos, kRecords);
}

// Fills a log of the window's size past its bound of frames with `rounds`
// status reads: it keeps the newest, and the process's resident memory
// stays where it was when the log was made.
bool ShowLogBound(DriverLink& link, int rounds) {
  auto log = std::make_shared<FrameLog>();
  const long residentBefore = bench::ResidentBytes();
  link.AttachFrameLog(log);
  StatusBlock status{};
  for (int i = 0; i < rounds; ++i) {
    if (link.ReadStatus(1, status) != ResultSuccess) return false;
  }
  link.AttachFrameLog(nullptr);
  const long residentAfter = bench::ResidentBytes();
  FrameLogBatch batch;
  size_t kept = 0, bytes = 0;
  for (uint64_t after = 0;; after = batch.last) {
    log->Read(after, batch);
    kept += batch.frames.size();
    bytes += batch.bytes.size();
    if (!batch.more) break;
  }
  std::printf("%-28s %llu frames recorded, %zu kept (%zu bytes; bounds %zu frames, %zu bytes; %zu bytes allocated), "
              "resident memory %ld kB before, %ld kB after\n",
              "frame log bound", static_cast<unsigned long long>(log->LastSequence()), kept, bytes,
              log->FrameCapacity(), log->ByteCapacity(), log->MemoryBytes(), residentBefore / 1024,
              residentAfter / 1024);
  return kept <= log->FrameCapacity() && bytes <= log->ByteCapacity();
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned port = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 1;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 2000;
  const int idleSeconds = argc > 3 ? std::atoi(argv[3]) : 10;
  const int timeoutRounds = argc > 4 ? std::atoi(argv[4]) : 10;

  DriverLink link;
  if (link.OpenPort(port, 115200, Parity::None2) == 0) {
    std::printf("cannot open COM%u\n", port);
    return 1;
  }
  std::printf("COM%u -> %s\n", port, link.DevicePath().c_str());

  StatusBlock status{};
  PidBlock pid{1.0f, 0.5f, 0.0f, 2.0f, 0.1f, 0.0f, 3.0f, 0.2f, 0.0f};
  // The size the window's log has.
  const auto log = std::make_shared<FrameLog>();
  constexpr int kBlocks = 6;
  const int perBlock = std::max(1, rounds / kBlocks);
  bool ok =
      Measure("ReadStatus (22 registers)", link, log, perBlock, kBlocks, [&] { return link.ReadStatus(1, status); });
  ok = ok && Measure("WritePid (18 registers)", link, log, perBlock, kBlocks, [&] { return link.WritePid(1, pid); });
  ok = ok && ShowLogBound(link, static_cast<int>(FrameLog::DefaultFrames * 6 / 10));
  MeasureRecordCost();
  for (int baudRate : {9600, 115200}) ok = ok && MeasureAfterTimeout(link, port, baudRate, timeoutRounds);

  const double cpu0 = CpuSeconds();
  const auto wall0 = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
  const double cpu = CpuSeconds() - cpu0;
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  std::printf("%-28s %.1f s wall  %.4f s CPU  %.3f %% of one core\n", "idle open port", wall, cpu, 100.0 * cpu / wall);
  link.ClosePort();
  return ok ? 0 : 1;
}
