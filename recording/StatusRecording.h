// The recording: every status sample since the port was opened, with the
// gaps where a read failed and the marks where a command went out or the
// error state changed. It keeps the newest samples within a fixed bound
// (more than 24 hours at 10 samples a second, in less than 64 MB), growing
// to it in chunks and never beyond; the marks have a bound of their own.
// Any thread may add and read at the same time.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "driver/RegisterMap.h"
#include "link/FrameCodec.h"

namespace recording {

using SteadyClock = std::chrono::steady_clock;
using WallClock = std::chrono::system_clock;
// Microseconds since the recording began.
using Micros = int64_t;

constexpr size_t StatusRegisterCount = sizeof(StatusBlock) / 2;
// Every register of the status block.
constexpr uint32_t WholeBlock = (1u << StatusRegisterCount) - 1;

struct Sample {
  Micros time;
  // The registers that were read; the others are 0.
  StatusBlock status;
  // Bit i: register i of the block came with this sample. 0: a gap (the
  // read failed or timed out).
  uint32_t read;
};
static_assert(sizeof(Sample) == 56, "the bound of the recording is reckoned on 56 bytes a sample");

inline bool IsGap(const Sample& sample) { return sample.read == 0; }
// A measured field of fields::StatusFields() in its unit; nothing for a
// gap, a state, or a field whose registers this sample did not read.
std::optional<double> ValueOf(const Sample& sample, size_t field);

enum class MarkKind { Command, ErrorState };

// What a mark means, not its words, so that it reads in whichever language
// the tool speaks when it is shown: a command's registers and words and how
// its write ended, or the error state the driver went into.
struct Mark {
  Micros time = 0;
  MarkKind kind = MarkKind::Command;
  uint16_t start = 0;
  std::vector<uint16_t> words;
  ModbusResult result = ResultSuccess;
  uint16_t errorState = 0;
};

// The mark's text in the language in use: "频率运行 100.0Hz",
// "停止 正常停止 (通讯超时)", "错误状态: 堵转停止".
std::string MarkText(const Mark& mark);

// A stretch of time in which the status was read back to back (a capture
// at the line's speed), so that an export can tell its rows from those of
// the status poll. `to` is the largest time while the capture goes on.
struct FastPeriod {
  Micros from;
  Micros to;
};

// What the recording holds now.
struct RecordingTotals {
  uint64_t samples = 0;  // kept, gaps included
  uint64_t gaps = 0;     // kept
  uint64_t dropped = 0;  // the oldest, gone to make room
  Micros first = 0;      // time of the oldest kept sample
  Micros last = 0;       // and of the newest
};

class StatusRecording {
 public:
  static constexpr size_t ChunkSamples = 16384;
  // 64 chunks: 1 048 576 samples, 24 h at 10 Hz and an hour and a half of
  // captures at the line's speed on top; 56 MiB (58.7 MB) when full.
  static constexpr size_t DefaultCapacity = 64 * ChunkSamples;
  static constexpr size_t DefaultMarkCapacity = 4096;

  // `capacity` is rounded up to whole chunks.
  explicit StatusRecording(size_t capacity = DefaultCapacity, size_t markCapacity = DefaultMarkCapacity);
  StatusRecording(const StatusRecording&) = delete;
  StatusRecording& operator=(const StatusRecording&) = delete;

  // Forgets everything and begins again at `now` (the port was opened).
  void Restart(SteadyClock::time_point now = SteadyClock::now(), WallClock::time_point wallNow = WallClock::now());

  // A sample read at `at`; `read` says which registers it holds. A change
  // of the error state against the sample before is marked.
  void Add(SteadyClock::time_point at, const StatusBlock& status, uint32_t read = WholeBlock);
  // A read that failed at `at`.
  void AddGap(SteadyClock::time_point at);
  // `mark` at `at`; its own time is set here.
  void AddMark(SteadyClock::time_point at, Mark mark);

  // Samples are numbered from the first ever added since Restart; the
  // oldest kept is Begin(), the one after the newest End().
  uint64_t Begin() const;
  uint64_t End() const;
  // Copies samples from number `from` on (the oldest kept, if `from` is
  // gone) into `out`; returns the number of the first copied and how many.
  struct Copied {
    uint64_t first;
    size_t count;
  };
  Copied Copy(uint64_t from, std::span<Sample> out) const;
  // The number of the first sample at or after `time`.
  uint64_t FirstAtOrAfter(Micros time) const;

  // Marks are numbered likewise; those from `from` on, at most `most`.
  uint64_t MarksEnd() const;
  std::vector<Mark> Marks(uint64_t from, size_t most = SIZE_MAX) const;

  RecordingTotals Totals() const;
  // A capture began or ended at `at`; the newest DefaultMarkCapacity
  // periods are kept, the oldest first.
  void BeginFast(SteadyClock::time_point at);
  void EndFast(SteadyClock::time_point at);
  std::vector<FastPeriod> FastPeriods() const;
  // When the recording began, on both clocks.
  WallClock::time_point StartWall() const;
  SteadyClock::time_point StartSteady() const;
  Micros ToMicros(SteadyClock::time_point at) const;
  // Memory the samples and marks take now.
  size_t BytesUsed() const;
  size_t Capacity() const { return capacity_; }

 private:
  using Chunk = std::array<Sample, ChunkSamples>;

  Sample& SlotLocked(uint64_t number);
  const Sample& SlotLocked(uint64_t number) const;
  Micros MicrosLocked(SteadyClock::time_point at) const;
  // True when it went in as the newest.
  bool InsertLocked(const Sample& sample);
  void ErrorStateLocked(const Sample& sample);
  uint64_t FirstAtOrAfterLocked(Micros time) const;

  const size_t capacity_;
  const size_t markCapacity_;
  mutable std::mutex mutex_;
  std::vector<std::unique_ptr<Chunk>> chunks_;  // allocated as the ring first reaches them
  uint64_t begin_ = 0;
  uint64_t end_ = 0;
  uint64_t gaps_ = 0;  // among the kept ones
  std::optional<uint16_t> errorState_;  // of the newest sample that read it
  std::deque<Mark> marks_;
  uint64_t marksBegin_ = 0;
  std::deque<FastPeriod> fast_;
  SteadyClock::time_point startSteady_;
  WallClock::time_point startWall_;
};

}  // namespace recording
