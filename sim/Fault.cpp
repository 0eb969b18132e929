#include "sim/Fault.h"

#include <algorithm>

#include "link/FrameCodec.h"
#include "sim/NameTable.h"
#include "sim/RtuFrames.h"

namespace sim {

namespace {

constexpr Named<FaultKind> kFaultNames[] = {
    {FaultKind::None, "none"},
    {FaultKind::NoAnswer, "no-answer"},
    {FaultKind::BadCrc, "bad-crc"},
    {FaultKind::WrongAddress, "wrong-address"},
    {FaultKind::Exception, "exception"},
    {FaultKind::Pieces, "pieces"},
    {FaultKind::Delay, "delay"},
    {FaultKind::Garbage, "garbage"},
    {FaultKind::OverLong, "overlong"},
    {FaultKind::LyingByteCount, "lying-count"},
    {FaultKind::WrongCount, "wrong-count"},
    {FaultKind::WrongEcho, "wrong-echo"},
    {FaultKind::AnyAddress, "any-address"},
    {FaultKind::Split, "split"},
    {FaultKind::IgnoreWrites, "ignore-writes"},
};

void PadPastLimit(std::vector<uint8_t>& frame) {
  // Filler goes between the answer and its CRC, so the frame is whole and
  // correct except for its size.
  frame.insert(frame.end() - 2, OverLongLength - frame.size(), 0x00);
  Reseal(frame);
}

// A read answer with `error` data bytes more (zeros) or fewer, its byte
// count telling the truth about them.
void ChangeRegisterCount(std::vector<uint8_t>& frame, int error) {
  const int carried = frame[2];
  const int wanted = std::clamp(carried + error, 0, 250);
  const auto crc = frame.end() - 2;
  if (wanted > carried) frame.insert(crc, static_cast<size_t>(wanted - carried), 0x00);
  if (wanted < carried) frame.erase(crc - (carried - wanted), crc);
  frame[2] = static_cast<uint8_t>(wanted);
  Reseal(frame);
}

}  // namespace

Fault Fault::Of(FaultKind kind, std::optional<uint32_t> requests) {
  Fault fault;
  fault.kind = kind;
  fault.requests = requests;
  if (kind == FaultKind::Split) fault.gap = DefaultSplitGap;
  return fault;
}

Fault Fault::SplitBy(std::chrono::milliseconds gap, std::optional<uint32_t> requests) {
  Fault fault = Of(FaultKind::Split, requests);
  fault.gap = gap;
  return fault;
}

Fault Fault::CountOffBy(int bytes, std::optional<uint32_t> requests) {
  Fault fault = Of(FaultKind::WrongCount, requests);
  fault.byteCountError = bytes;
  return fault;
}

Fault Fault::ExceptionCode(uint8_t code, std::optional<uint32_t> requests) {
  Fault fault = Of(FaultKind::Exception, requests);
  fault.exceptionCode = code;
  return fault;
}

Fault Fault::Delayed(std::chrono::milliseconds delay, std::optional<uint32_t> requests) {
  Fault fault = Of(FaultKind::Delay, requests);
  fault.delay = delay;
  return fault;
}

Fault Fault::InPieces(std::chrono::milliseconds gap, std::optional<uint32_t> requests) {
  Fault fault = Of(FaultKind::Pieces, requests);
  fault.gap = gap;
  return fault;
}

Reply ShapeReply(const Fault& fault, std::vector<uint8_t> frame) {
  Reply reply;
  if (frame.size() < 4) {
    reply.bytes = std::move(frame);
    return reply;
  }
  switch (fault.kind) {
    case FaultKind::BadCrc:
      frame.back() ^= 0xFF;
      break;
    case FaultKind::WrongAddress:
      frame[0] = static_cast<uint8_t>(frame[0] + 1);
      Reseal(frame);
      break;
    case FaultKind::Pieces:
      reply.pieceGap = fault.gap;
      break;
    case FaultKind::Delay:
      reply.delay = fault.delay;
      break;
    case FaultKind::Garbage:
      frame.insert(frame.begin(), std::begin(GarbageBytes), std::end(GarbageBytes));
      break;
    case FaultKind::OverLong:
      if (frame.size() < OverLongLength) PadPastLimit(frame);
      break;
    case FaultKind::LyingByteCount:
      if (frame[1] == FunctionReadHolding) {
        frame[2] = static_cast<uint8_t>(frame[2] + fault.byteCountError);
        Reseal(frame);
      }
      break;
    case FaultKind::WrongCount:
      if (frame[1] == FunctionReadHolding) ChangeRegisterCount(frame, fault.byteCountError);
      break;
    case FaultKind::WrongEcho:
      if (frame[1] == FunctionWriteSingle || frame[1] == FunctionWriteMultiple) {
        frame[3] = static_cast<uint8_t>(frame[3] + 1);
        if (frame[3] == 0) frame[2] = static_cast<uint8_t>(frame[2] + 1);
        Reseal(frame);
      }
      break;
    case FaultKind::Split:
      reply.splitAt = frame.size() / 2;
      reply.splitGap = fault.gap;
      break;
    case FaultKind::None:
    case FaultKind::NoAnswer:
    case FaultKind::Exception:
    case FaultKind::AnyAddress:
    case FaultKind::IgnoreWrites:
      break;
  }
  reply.bytes = std::move(frame);
  return reply;
}

std::string_view FaultName(FaultKind kind) { return NameIn(kFaultNames, kind); }

std::optional<FaultKind> FaultFromName(std::string_view name) { return ValueIn(kFaultNames, name); }

}  // namespace sim
