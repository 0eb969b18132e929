#include "scan/BusScan.h"

#include "link/PortText.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <span>
#include <utility>

#include "driver/DriverLink.h"
#include "fields/DeviceInfoTexts.h"
#include "lang/Texts.h"
#include "link/ExceptionAnswer.h"
#include "link/FrameShapes.h"
#include "link/Line.h"
#include "link/LineTiming.h"

namespace scan {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;

bool IsException(ModbusResult result) { return result >= 0x01 && result <= 0x7F; }

// The scan's own log when it is given none: enough for the frames of a few
// tries, which it reads back after each.
constexpr size_t kOwnLogFrames = 256;
constexpr size_t kOwnLogBytes = 64 * 1024;

constexpr size_t kInfoAnswerLength = ReadAnswerBytes(RegisterMap::DeviceInfo.count);
constexpr size_t kExceptionLength = 5;
constexpr uint8_t kLastSlave = 247;
// What one request's bytes are kept to: an answer, and noise around it.
constexpr size_t kSegmentBytes = 2 * MaxFrameLength;

// A whole answer to the scan's request (the information block, or its
// refusal) from some address, starting `at` in `bytes`: its length, or 0.
// `more` is set when the bytes end before it could be told.
size_t WholeAnswerAt(std::span<const uint8_t> bytes, size_t at, bool& more) {
  more = false;
  const size_t available = bytes.size() - at;
  const uint8_t* frame = bytes.data() + at;
  if (frame[0] < 1 || frame[0] > kLastSlave) return 0;
  if (available < 3) {
    more = available < 2 || frame[1] == FunctionReadHolding || frame[1] == (FunctionReadHolding | ExceptionBit);
    return 0;
  }
  size_t length = 0;
  if (frame[1] == FunctionReadHolding && size_t{frame[2]} + 5 == kInfoAnswerLength) length = kInfoAnswerLength;
  if (frame[1] == (FunctionReadHolding | ExceptionBit)) length = kExceptionLength;
  if (length == 0) return 0;
  if (available < length) {
    more = true;
    return 0;
  }
  return FrameCheck(frame, length, frame[0]) ? length : 0;
}

// The bytes that came back after one request, until the next request
// went out: those within its try, then those the link took after it.
struct Segment {
  uint8_t address = 0;
  Clock::time_point sent{};
  Clock::time_point ended{};  // of its try
  std::vector<uint8_t> bytes;
  // Where each piece that came at once starts, and when it came.
  std::vector<std::pair<size_t, Clock::time_point>> pieces;
  size_t window = 0;  // bytes that came within the try
  size_t skip = 0;    // the end of the last segment's answer, at the front

  void Add(std::span<const uint8_t> piece, Clock::time_point at) {
    const size_t taken = std::min(piece.size(), kSegmentBytes - bytes.size());
    if (taken == 0) return;
    pieces.emplace_back(bytes.size(), at);
    bytes.insert(bytes.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(taken));
  }
  // When the byte before `end` had come, at the latest: within the try,
  // the try's end; after it, the time its piece was taken, and the wire
  // time of the bytes before it in that piece on top.
  Clock::time_point TimeBefore(size_t end, int baud) const {
    if (end <= window) return ended;
    auto piece = pieces.begin();
    for (auto next = piece; next != pieces.end() && next->first < end; ++next) piece = next;
    if (piece == pieces.end()) return ended;
    return piece->second + std::chrono::duration_cast<Clock::duration>(WireTime(end - piece->first, baud));
  }
};

// An answer to the scan's request from some address among a segment's
// bytes: whole, or still arriving when the bytes end.
struct Seen {
  uint8_t address = 0;
  size_t offset = 0;
  size_t end = 0;  // whole: its end; else the end of the bytes
  bool whole = false;
};

// The answers in the first `count` bytes of `segment`, and how many bytes
// no answer explains. A copy of the request in front (an adapter's echo)
// and the end of the last segment's answer are passed over.
std::vector<Seen> AnswersIn(const Segment& segment, size_t count, size_t& unexplained) {
  std::vector<Seen> seen;
  unexplained = 0;
  const std::span<const uint8_t> bytes(segment.bytes.data(), count);
  const Frame request = BuildReadRequest(segment.address, RegisterMap::DeviceInfo.start, RegisterMap::DeviceInfo.count);
  size_t at = 0;
  if (count >= request.length && std::equal(bytes.begin(), bytes.begin() + request.length, request.bytes.begin())) {
    at = request.length;
  }
  at = std::min(count, at + segment.skip);
  while (at < count) {
    bool more = false;
    const size_t length = WholeAnswerAt(bytes, at, more);
    if (length > 0) {
      seen.push_back({bytes[at], at, at + length, true});
      at += length;
    } else if (more) {
      seen.push_back({bytes[at], at, count, false});
      return seen;
    } else {
      ++unexplained;
      ++at;
    }
  }
  return seen;
}

// One pass over the addresses at one setting.
class Pass {
 public:
  // `wait`: end with the longer wait even when nothing was heard.
  Pass(DriverLink& link, FrameLog& log, uint16_t tag, const LineChoice& line, microseconds base, bool wait,
       const ScanCallbacks& callbacks, size_t total, ScanOutcome& outcome)
      : link_(link), log_(log), tag_(tag), line_(line), base_(base), waitAlways_(wait), callbacks_(callbacks),
        total_(total), outcome_(outcome), seenUpTo_(log.LastSequence()) {
    link_.SetResponseTimeout(base_);
  }

  // A planned try, and the tries again that it calls for.
  void Try(uint8_t address, const std::stop_token& stop) {
    planned_.push_back(address);
    Attempt(address, Kind::Planned);
    ++outcome_.tried;
    Retry(stop);
  }

  // Late answers that came after the last try; then the longer wait: the
  // last address still unheard is tried again for as long as a late answer
  // to it may take, and the answers of slow drivers tried just before it
  // come in meanwhile. When all settings are scanned, only a pass in which
  // anything was heard waits: at a wrong setting no driver answers.
  void Close(const std::stop_token& stop) {
    Observe();
    Search(current_);
    Retry(stop);
    if (base_ >= LateAnswerLimit || stop.stop_requested() || !(heard_ || waitAlways_)) return;
    const auto unheard = std::find_if(planned_.rbegin(), planned_.rend(),
                                      [&](uint8_t address) { return state_[address] == State::Absent; });
    if (unheard == planned_.rend()) return;
    const auto left = std::chrono::duration_cast<microseconds>(sent_[*unheard] + LateAnswerLimit - Clock::now());
    if (left <= base_) return;
    link_.SetResponseTimeout(left);
    Attempt(*unheard, Kind::Closing);
    ++outcome_.retried;
    Retry(stop);
  }

 private:
  enum class State : uint8_t { Untried, Absent, Queued, Done };
  enum class Kind { Planned, Again, Closing };

  void Retry(const std::stop_token& stop) {
    while (!queue_.empty() && !stop.stop_requested()) {
      const Again again = queue_.front();
      AwaitOwedAnswers(stop, again.notBefore);
      if (stop.stop_requested()) break;
      queue_.erase(queue_.begin());
      const auto [address, timeout, notBefore] = again;
      link_.SetResponseTimeout(timeout);
      Attempt(address, Kind::Again);
      ++outcome_.retried;
    }
    link_.SetResponseTimeout(base_);
  }

  // A try again waits until no answer is still owed to the tries just
  // before it, nor the rest of its own late answer (until `notBefore`): on a
  // bus, a late answer that comes while the retry's own is on the line
  // spoils both. The late answers heard meanwhile queue their own tries
  // again.
  void AwaitOwedAnswers(const std::stop_token& stop, Clock::time_point notBefore) {
    const Clock::time_point now = Clock::now();
    Clock::time_point clear = std::max(now, notBefore);
    if (base_ >= LateAnswerLimit && clear == now) return;
    for (auto address = planned_.rbegin(); address != planned_.rend() && base_ < LateAnswerLimit; ++address) {
      const Clock::time_point owedUntil = sent_[*address] + LateAnswerLimit;
      if (owedUntil <= now) break;
      if (state_[*address] == State::Absent) clear = std::max(clear, owedUntil);
    }
    if (clear == now) return;
    std::mutex quiet;
    std::condition_variable_any woken;
    std::unique_lock lock(quiet);
    woken.wait_until(lock, stop, clear, [] { return false; });
    Observe();
    Search(current_);
  }

  // One try, at the link's time-out as set, judged by its result and by
  // the answers that came within it.
  void Attempt(uint8_t address, Kind kind) {
    if (callbacks_.progress) callbacks_.progress({outcome_.tried, total_, address, line_, kind != Kind::Planned});
    DeviceInfoBlock info{};
    const Clock::time_point before = Clock::now();
    const ModbusResult result = link_.ReadDeviceInfo(address, info);
    Observe();
    // Its request is in the log unless the log lost it.
    const bool logged = current_.address == address && current_.sent >= before;
    if (logged) Carry(current_);
    size_t unexplained = 0;
    std::optional<Seen> own;
    for (const Seen& answer : logged ? AnswersIn(current_, current_.window, unexplained) : std::vector<Seen>{}) {
      if (answer.address == address) {
        own = answer;
      } else if (answer.whole && state_[answer.address] == State::Untried) {
        ++unexplained;  // no late answer: nobody asked it (another address's answer, from this driver?)
      } else if (answer.whole) {
        HeardLate(answer.address, current_.TimeBefore(answer.end, line_.baud));
      }
    }
    if (logged && kind == Kind::Planned) firstSent_[address] = current_.sent;
    Found found;
    found.address = address;
    found.line = line_;
    found.lateBy = lateBy_[address];
    // A try longer than the plan's: how long its answer really took. An
    // answer to the wait at the end may be the one to the planned try, of
    // which nothing had come: it is counted from that.
    if (kind != Kind::Planned && logged && (result == ResultSuccess || IsException(result))) {
      const Clock::time_point from = kind == Kind::Closing ? firstSent_[address] : current_.sent;
      found.lateBy = std::chrono::duration_cast<microseconds>(current_.ended - from);
    }
    if (result == ResultSuccess) {
      found.texts = fields::DeviceInfoTexts(info);
      return Report(found);
    }
    if (IsException(result)) {
      found.answer = Answer::Exception;
      found.exception = result;
      return Report(found);
    }
    if (result == ResultBadResponse) {
      found.answer = Answer::Garbled;
      return Report(found);
    }
    if (own && kind != Kind::Again) {
      // Its answer began but did not end within the try: it ends at the
      // earliest its remaining bytes' wire time later.
      state_[address] = State::Absent;
      const size_t length = current_.bytes.size() > own->offset + 1 &&
                                    current_.bytes[own->offset + 1] == (FunctionReadHolding | ExceptionBit)
                                ? kExceptionLength
                                : kInfoAnswerLength;
      const size_t owed = own->offset + length > own->end ? own->offset + length - own->end : 0;
      const Clock::time_point end = current_.ended + std::chrono::duration_cast<Clock::duration>(WireTime(owed, line_.baud));
      // In the wait at the end this may be the answer to the planned try:
      // counted from that, the retry is given long enough for either.
      const bool planned = kind == Kind::Closing && firstSent_[address] != Clock::time_point{};
      return HeardLate(address, end, planned ? firstSent_[address] : sent_[address]);
    }
    if (own || kind == Kind::Again) {
      found.answer = Answer::Late;
      return Report(found);
    }
    if (unexplained > 0) {
      found.answer = Answer::Garbled;
      return Report(found);
    }
    state_[address] = State::Absent;
  }

  void Report(const Found& found) {
    state_[found.address] = State::Done;
    if (callbacks_.found) callbacks_.found(found);
    outcome_.found.push_back(found);
  }

  // An answer from an address tried before and not heard then, ending at
  // about `end`: the address is tried again, given three times as long as
  // the answer took, so that a driver (or a host) slower on the retry is
  // still heard; only drivers heard late are tried so, so it costs a scan
  // of an empty bus nothing.
  void HeardLate(uint8_t address, Clock::time_point end) { HeardLate(address, end, sent_[address]); }
  void HeardLate(uint8_t address, Clock::time_point end, Clock::time_point asked) {
    if (state_[address] != State::Absent) return;
    const auto late = std::chrono::duration_cast<microseconds>(end - asked);
    lateBy_[address] = late;
    const microseconds timeout = std::clamp(3 * late + microseconds(TryMargin), base_,
                                            microseconds(ModbusMaster::MaxResponseTimeout));
    state_[address] = State::Queued;
    // A driver slower than its wire, or a host slow to hand its bytes on,
    // leaves gaps in an answer: the rest of it is given a margin.
    queue_.push_back({address, timeout, end + microseconds(TryMargin)});
  }

  // Takes the link's frames since the last look: each request starts a
  // segment, and what came back follows it. A segment that has ended is
  // searched for late answers once more, with what came after its try.
  void Observe() {
    for (;;) {
      log_.Read(seenUpTo_, batch_);
      seenUpTo_ = batch_.last;
      for (const LoggedFrame& frame : batch_.frames) {
        if (frame.link != tag_) continue;
        const std::span<const uint8_t> bytes = batch_.BytesOf(frame);
        switch (frame.direction) {
          case FrameDirection::Request:
            if (current_.address != 0) Search(current_);
            current_ = {};
            current_.address = bytes.empty() ? 0 : bytes[0];
            current_.sent = frame.time.monotonic;
            current_.ended = current_.sent + std::chrono::duration_cast<Clock::duration>(frame.roundTrip);
            sent_[current_.address] = current_.sent;
            break;
          case FrameDirection::Answer:
            heard_ = true;
            current_.Add(bytes, frame.time.monotonic);
            current_.window = current_.bytes.size();
            break;
          case FrameDirection::Unsolicited:
            heard_ = true;
            current_.Add(bytes, frame.time.monotonic);
            break;
          case FrameDirection::Heard:
            break;
        }
      }
      if (!batch_.more) return;
    }
  }

  // Late answers among all of a segment's bytes; an answer still arriving
  // at its end is carried into the next segment.
  void Search(Segment& segment) {
    Carry(segment);
    size_t unexplained = 0;
    carried_.clear();
    for (const Seen& answer : AnswersIn(segment, segment.bytes.size(), unexplained)) {
      if (answer.whole) {
        HeardLate(answer.address, segment.TimeBefore(answer.end, line_.baud));
      } else {
        carried_.assign(segment.bytes.begin() + static_cast<std::ptrdiff_t>(answer.offset), segment.bytes.end());
      }
    }
  }

  // An answer the last segment ended in the middle of, completed by the
  // first bytes of `segment`: a late answer, and bytes to pass over.
  void Carry(Segment& segment) {
    if (carried_.empty() || segment.bytes.empty() || segment.skip > 0) return;
    std::vector<uint8_t> joined = carried_;
    const size_t added = std::min(segment.bytes.size(), kInfoAnswerLength);
    joined.insert(joined.end(), segment.bytes.begin(), segment.bytes.begin() + static_cast<std::ptrdiff_t>(added));
    bool more = false;
    const size_t length = WholeAnswerAt(joined, 0, more);
    if (more) return;  // wait for more of it
    if (length > carried_.size()) {
      segment.skip = length - carried_.size();
      HeardLate(carried_[0], segment.TimeBefore(segment.skip, line_.baud));
    }
    carried_.clear();
  }

  DriverLink& link_;
  FrameLog& log_;
  const uint16_t tag_;
  const LineChoice line_;
  const microseconds base_;
  const bool waitAlways_;
  const ScanCallbacks& callbacks_;
  const size_t total_;
  ScanOutcome& outcome_;
  uint64_t seenUpTo_;
  FrameLogBatch batch_;
  Segment current_;
  std::vector<uint8_t> carried_;  // the start of an answer the last segment ended in
  bool heard_ = false;            // any byte came back in this pass
  std::vector<uint8_t> planned_;  // the addresses of the plan tried, in order
  std::array<State, 256> state_{};
  std::array<Clock::time_point, 256> sent_{};       // its last request
  std::array<Clock::time_point, 256> firstSent_{};  // its planned try's request
  std::array<microseconds, 256> lateBy_{};
  // Addresses to try again and their time-outs; each at most once a pass.
  struct Again {
    uint8_t address;
    microseconds timeout;
    Clock::time_point notBefore;  // the end of its late answer, as far as it is known
  };
  std::vector<Again> queue_;
};

bool Open(DriverLink& link, const ScanPlan& plan, const LineChoice& line) {
  return link.OpenLine({plan.port, line.baud, line.parity}) != 0;
}

}  // namespace

long long LateMilliseconds(const Found& found) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(found.lateBy + std::chrono::microseconds(500)).count();
}

std::vector<int> AllBauds() { return {std::begin(kBaudRates), std::end(kBaudRates)}; }

std::vector<Parity> AllParities() { return {std::begin(kParities), std::end(kParities)}; }

std::vector<LineChoice> Combine(const std::vector<int>& bauds, const std::vector<Parity>& parities) {
  std::vector<LineChoice> settings;
  for (int baud : bauds) {
    for (Parity parity : parities) settings.push_back({baud, parity});
  }
  return settings;
}

std::vector<LineChoice> ScanPlan::SettingsTried() const {
  if (PortSetsLine(KindOfPort(port)) || settings.size() <= 1) return settings;
  return {settings.front()};
}

size_t ScanPlan::Tries() const {
  const size_t addresses = lastAddress >= firstAddress ? size_t{lastAddress} - firstAddress + 1 : 0;
  return addresses * SettingsTried().size();
}

std::string AnswerText(const Found& found) {
  switch (found.answer) {
    case Answer::Identified:
      if (found.lateBy.count() == 0) return {};
      return lang::Fill(lang::Tr("应答慢 (约 {1} ms), 以更长的超时重试后找到"), {std::to_string(LateMilliseconds(found))});
    case Answer::Exception:
      return ExceptionAnswerText(static_cast<uint8_t>(found.exception));
    case Answer::Garbled:
      return lang::Tr("应答无法识别 (设置不符, 或同一地址有多台设备)");
    case Answer::Late:
      return lang::Fill(lang::Tr("应答太迟 (约 {1} ms), 重试也没有按时应答"), {std::to_string(LateMilliseconds(found))});
  }
  return {};
}

std::chrono::microseconds TryTimeout(int baud) {
  // A device-information read: its request, and its answer of 14 registers.
  return TransactionTimeout(ReadRequestBytes, ReadAnswerBytes(RegisterMap::DeviceInfo.count), baud, TryMargin);
}

ScanOutcome RunScan(const ScanPlan& plan, const ScanCallbacks& callbacks, std::stop_token stop,
                    std::shared_ptr<FrameLog> log, uint16_t logTag) {
  const auto start = std::chrono::steady_clock::now();
  ScanOutcome outcome;
  DriverLink link;
  // The scan reads back what its link heard, and when, from a log: its
  // caller's, or one of its own.
  if (!log) log = std::make_shared<FrameLog>(kOwnLogFrames, kOwnLogBytes);
  link.AttachFrameLog(log, logTag);
  const size_t total = plan.Tries();
  link.SetNetworkAllowance(plan.networkAllowance);
  for (const LineChoice& line : plan.SettingsTried()) {
    if (stop.stop_requested() || plan.firstAddress > plan.lastAddress) break;
    if (!Open(link, plan, line)) {
      outcome.end = ScanEnd::PortFailed;
      outcome.failure = link.LastOpenFailure();
      break;
    }
    const size_t before = outcome.found.size();
    Pass pass(link, *log, logTag, line, plan.tryTimeout ? microseconds(*plan.tryTimeout) : TryTimeout(line.baud),
              plan.settings.size() == 1, callbacks, total, outcome);
    for (unsigned address = plan.firstAddress; address <= plan.lastAddress && !stop.stop_requested(); ++address) {
      pass.Try(static_cast<uint8_t>(address), stop);
    }
    pass.Close(stop);
    link.ClosePort();
    // Drivers tried again are found after later addresses.
    std::stable_sort(outcome.found.begin() + static_cast<std::ptrdiff_t>(before), outcome.found.end(),
                     [](const Found& a, const Found& b) { return a.address < b.address; });
  }
  link.AttachFrameLog(nullptr);
  if (outcome.end == ScanEnd::Finished && stop.stop_requested()) outcome.end = ScanEnd::Cancelled;
  outcome.elapsed = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  return outcome;
}

bool BusScan::Start(ScanPlan plan, ScanCallbacks callbacks, Finished finished, std::shared_ptr<FrameLog> log,
                    uint16_t logTag) {
  return runner_.Start([plan = std::move(plan), callbacks = std::move(callbacks), finished = std::move(finished),
                        log = std::move(log), logTag](std::stop_token stop) {
    const ScanOutcome outcome = RunScan(plan, callbacks, std::move(stop), log, logTag);
    if (finished) finished(outcome);
  });
}

}  // namespace scan
