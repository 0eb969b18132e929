// The frame log's memory with "通讯记录" reading it: a log of the default
// size filled with 100 000 frames of status reads (the poll's traffic),
// then what a table of them holds beyond the log, counted allocation by
// allocation: every frame decoded into a record and kept (a store of
// records beside the log) against the view over the log (its rows'
// numbers and the rows described lately); and the view's times: taking
// the frames, filtering them by text again, every row in order (an
// export), a screenful of rows described on their own. Not a test: it
// prints figures.
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <new>
#include <vector>

#include "BenchFigures.h"
#include "link/FrameCodec.h"
#include "traffic/LogView.h"

namespace {

std::atomic<long long> g_heap{0};

void* Allocate(size_t size) {
  void* p = std::malloc(size == 0 ? 1 : size);
  if (p == nullptr) throw std::bad_alloc();
  g_heap += static_cast<long long>(malloc_usable_size(p));
  return p;
}

void Release(void* p) noexcept {
  if (p == nullptr) return;
  g_heap -= static_cast<long long>(malloc_usable_size(p));
  std::free(p);
}

using Clock = std::chrono::steady_clock;

double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

constexpr size_t kFrames = 100'000;

}  // namespace

void* operator new(size_t size) { return Allocate(size); }
void* operator new[](size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, size_t) noexcept { Release(p); }
void operator delete[](void* p, size_t) noexcept { Release(p); }

int main() {
  const auto withCrc = [](std::vector<uint8_t> frame) {
    const uint16_t crc = Crc16Modbus(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
  };
  const std::vector<uint8_t> request = withCrc({0x01, 0x03, 0x00, 0x20, 0x00, 0x16});
  std::vector<uint8_t> registers = {0x01, 0x03, 0x2C};
  for (int i = 0; i < 0x2C; ++i) registers.push_back(static_cast<uint8_t>(i * 7));
  const std::vector<uint8_t> answer = withCrc(registers);

  const long long start = g_heap;
  auto log = std::make_shared<FrameLog>();
  for (size_t i = 0; i < kFrames / 2; ++i) {
    const Stamp now = Stamp::Now();
    log->RecordTransaction({.request = request.data(),
                            .requestLength = request.size(),
                            .received = answer.data(),
                            .receivedLength = answer.size(),
                            .sentAt = now.monotonic,
                            .firstByteAt = now.monotonic,
                            .endedAt = now,
                            .result = i % 100 == 0 ? ResultTimeout : ResultSuccess});
  }
  const long long ring = g_heap - start;
  std::printf("traffic: %zu frames (%zu status reads) in the frame log: %.2f MB, allocated once (%zu frames, %.1f MB "
              "of bytes at most)\n",
              log->Count(), kFrames / 2, static_cast<double>(ring) / 1e6, log->FrameCapacity(),
              static_cast<double>(log->ByteCapacity()) / 1e6);

  {
    const long long before = g_heap;
    const auto t0 = Clock::now();
    std::deque<traffic::Record> records;
    traffic::FrameDescriber describer;
    FrameLogBatch batch;
    for (uint64_t after = 0;;) {
      log->Read(after, batch);
      for (const LoggedFrame& frame : batch.frames) records.push_back(describer.Describe(frame, batch.BytesOf(frame)));
      after = batch.last;
      if (!batch.more) break;
    }
    const long long held = g_heap - before;
    const double keepMs = MillisSince(t0);
    traffic::Filter filter;
    filter.text = "通讯超时";
    const auto t1 = Clock::now();
    const auto matching = std::count_if(records.begin(), records.end(), [&](const auto& r) { return filter.Matches(r); });
    std::printf("traffic: every frame decoded and kept as a record: %.2f MB beside the log, %.0f bytes a frame "
                "(%zu records, %.0f ms; filtered by text again: %.0f ms, %zu rows)\n",
                static_cast<double>(held) / 1e6, static_cast<double>(held) / static_cast<double>(records.size()),
                records.size(), keepMs, MillisSince(t1), static_cast<size_t>(matching));
  }

  const long long before = g_heap;
  traffic::LogView view(log);
  auto t0 = Clock::now();
  while (view.Cursor() < log->LastSequence()) view.Update();
  const double takeMs = MillisSince(t0);
  const long long held = g_heap - before;
  std::printf("traffic: the view over the log: %.2f MB beside the log, %.1f bytes a frame (%zu rows, %.0f ms to take "
              "them)\n",
              static_cast<double>(held) / 1e6, static_cast<double>(held) / static_cast<double>(view.Size()),
              view.Size(), takeMs);

  traffic::Filter filter;
  filter.text = "通讯超时";
  t0 = Clock::now();
  view.SetFilter(filter);
  const double filterMs = MillisSince(t0);
  const size_t filtered = view.Size();
  view.SetFilter({});
  t0 = Clock::now();
  size_t bytes = 0;
  const size_t rows = view.ForEach([&](const traffic::Record& record) { return bytes += record.meaning.size(), true; });
  const double everyMs = MillisSince(t0);
  std::vector<double> screenful;
  for (size_t top = 0; top + 40 <= view.Size(); top += view.Size() / 50) {
    t0 = Clock::now();
    for (size_t row = top; row < top + 40; ++row) bytes += view.At(row).meaning.size();
    screenful.push_back(MillisSince(t0) * 1000.0);
  }
  std::printf("traffic: the view filtered by text again: %.0f ms (%zu rows); every row in order: %.0f ms (%zu rows); "
              "40 rows described alone: median %.0f us, max %.0f us (%zu bytes of meaning)\n",
              filterMs, filtered, everyMs, rows, bench::Median(screenful),
              *std::max_element(screenful.begin(), screenful.end()), bytes);
  return 0;
}
