#include "link/FrameSplitter.h"

#include <algorithm>
#include <cstring>

#include "link/FrameShapes.h"
#include "link/LineTiming.h"

namespace {

using Fit = AnswerFit::Kind;

}  // namespace

FrameSplitter::FrameSplitter(int baudRate) : characterTime_(CharacterTime(baudRate)), quietGap_(QuietGap(baudRate)) {}

void FrameSplitter::Feed(const uint8_t* bytes, size_t length, const Stamp& arrival, const Sink& sink) {
  if (length == 0) return;
  // The chunk's first byte came as long before its arrival as the chunk
  // takes on the wire; the line was silent from the previous chunk to then.
  bool silent = silencePending_;
  if (havePrevious_ && !silent) {
    const auto wire = characterTime_ * static_cast<int64_t>(std::min<size_t>(length, Capacity));
    silent = arrival.monotonic - previous_ - wire >= quietGap_;
  }
  silencePending_ = false;
  havePrevious_ = true;
  previous_ = arrival.monotonic;
  while (length > 0) {
    if (count_ == Capacity) Parse(true, sink);  // cannot happen: Parse always leaves room
    const size_t taken = std::min(length, Capacity - count_);
    std::memcpy(bytes_ + count_, bytes, taken);
    std::fill(times_ + count_, times_ + count_ + taken, arrival);
    std::fill(silenceBefore_ + count_, silenceBefore_ + count_ + taken, false);
    silenceBefore_[count_] = silent;
    silent = false;
    count_ += taken;
    bytes += taken;
    length -= taken;
    Parse(false, sink);
  }
}

void FrameSplitter::Flush(const Sink& sink) {
  Parse(true, sink);
  silencePending_ = true;
}

void FrameSplitter::Parse(bool final, const Sink& sink) {
  for (;;) {
    if (parse_ > 0) {
      // Bytes that fit no frame end at a silence, or at the most one frame holds.
      const bool silence = parse_ < count_ && silenceBefore_[parse_];
      if (silence || parse_ == MaxFrameLength) EmitUnknown(silence, sink);
    }
    if (parse_ >= count_) break;
    const Choice choice = Choose(bytes_ + parse_, count_ - parse_, final);
    if (choice.action == Choice::Action::Wait) break;
    if (choice.action == Choice::Action::Skip) {
      ++parse_;  // no frame starts here: the byte joins those that fit none
      continue;
    }
    if (parse_ > 0) EmitUnknown(false, sink);
    Emit(choice.length, choice.kind, true, sink);
  }
  if (final && parse_ > 0) EmitUnknown(true, sink);
}

bool FrameSplitter::AnswerFirst(const uint8_t* at, size_t available) const {
  return awaited_.active && available >= 2 && at[0] == awaited_.slave && (at[1] & ~ExceptionBit) == awaited_.function;
}

size_t FrameSplitter::Rank(const uint8_t* at, size_t available, Reading (&ranked)[3]) const {
  using By = Reading::By;
  const bool exception = available >= 2 && (at[1] & ExceptionBit);
  const Reading request{FrameKind::Request, By::Request};
  const Reading answer{exception ? FrameKind::Exception : FrameKind::Answer, By::Answer};
  if (!AnswerFirst(at, available)) {
    ranked[0] = request;
    ranked[1] = answer;
    return 2;
  }
  // An answer as its header says; else at the length its request implies
  // (a byte count that lies); else a new request.
  size_t n = 0;
  ranked[n++] = answer;
  if (!exception && awaited_.length != 0) ranked[n++] = {FrameKind::Answer, By::AwaitedLength};
  ranked[n++] = request;
  return n;
}

AnswerFit FrameSplitter::FitOf(const Reading& reading, const uint8_t* at, size_t available) const {
  switch (reading.by) {
    case Reading::By::Request:
      return FitRequest(at, available);
    case Reading::By::Answer:
      return FitAnyAnswer(at, available);
    case Reading::By::AwaitedLength:
      break;
  }
  return FitAtLength(at, available, awaited_.length);
}

FrameSplitter::Choice FrameSplitter::Choose(const uint8_t* at, size_t available, bool final) const {
  Reading ranked[3];
  const size_t n = Rank(at, available, ranked);
  for (size_t i = 0; i < n; ++i) {
    const AnswerFit fit = FitOf(ranked[i], at, available);
    // Only once every better reading is settled: else more bytes could
    // change the choice.
    if (fit.kind == Fit::NeedsMore && !final) return {Choice::Action::Wait};
    if (fit.kind == Fit::Complete) return {Choice::Action::Take, ranked[i].kind, fit.length};
  }
  return {Choice::Action::Skip};
}

void FrameSplitter::Emit(size_t length, FrameKind kind, bool crcGood, const Sink& sink) {
  const SplitFrame frame{{bytes_, length}, times_[0], bytes_[0], length > 1 ? bytes_[1] : uint8_t{0}, kind, crcGood};
  if (crcGood && kind == FrameKind::Request) {
    // A broadcast (slave 0) is never answered.
    awaited_ = {frame.slave != 0, frame.slave, frame.function, ExpectedAnswerLength(bytes_, length)};
  } else if (crcGood) {
    awaited_ = {};
  }
  sink(frame);
  Drop(length);
}

void FrameSplitter::EmitUnknown(bool endsAtSilence, const Sink& sink) {
  const size_t length = parse_;
  FrameKind kind = FrameKind::Unknown;
  if (endsAtSilence && silenceBefore_[0]) {
    // Between two silences, at the length its header gives: that frame,
    // damaged.
    Reading ranked[3];
    const size_t n = Rank(bytes_, length, ranked);
    for (size_t i = 0; i < n && kind == FrameKind::Unknown; ++i) {
      const AnswerFit fit = FitOf(ranked[i], bytes_, length);
      if (fit.kind == Fit::BadCrc && fit.length == length) kind = ranked[i].kind;
    }
  }
  Emit(length, kind, false, sink);
}

void FrameSplitter::Drop(size_t length) {
  const size_t rest = count_ - length;
  std::memmove(bytes_, bytes_ + length, rest);
  std::copy(times_ + length, times_ + count_, times_);
  std::memmove(silenceBefore_, silenceBefore_ + length, rest);
  count_ = rest;
  parse_ = parse_ > length ? parse_ - length : 0;
}
