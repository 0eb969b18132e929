#include "link/Answer.h"

#include <algorithm>
#include <bitset>
#include <cstring>

#include "link/CrcTails.h"

namespace {

using Kind = AnswerFit::Kind;

constexpr size_t kExceptionLength = 5;
constexpr size_t kWriteAnswerLength = 8;
// An identification answer: address, 0x2B, MEI type, read code,
// conformity, more-follows, next object, object count; then the objects.
constexpr size_t kIdentificationHeader = 8;
constexpr size_t kCrcLength = 2;

bool CrcHolds(const uint8_t* bytes, size_t length) { return FrameCheck(bytes, length, bytes[0]); }

// An identification answer ends after one of its objects; the first end
// at which the CRC holds is taken. The CRC is carried on from one end to
// the next rather than summed again from the first byte.
AnswerFit FitIdentification(const uint8_t* bytes, size_t available) {
  size_t end = kIdentificationHeader;
  size_t summed = 0;
  uint16_t crc = Crc16Modbus(bytes, 0);
  for (;;) {
    if (end + kCrcLength > MaxFrameLength) return {Kind::Impossible, 0};
    if (end + kCrcLength > available) return {Kind::NeedsMore, 0};
    crc = Crc16ModbusUpdate(crc, bytes + summed, end - summed);
    summed = end;
    if (bytes[end] == (crc & 0xFF) && bytes[end + 1] == (crc >> 8)) return {Kind::Complete, end + kCrcLength};
    end += 2 + bytes[end + 1];  // the next object: id, length, value
  }
}

// A write-single request reads exactly like its answer, so a copy of it is
// an echo only on a line known to echo.
bool CopyWouldBeEcho(const Frame& request, bool lineEchoes) {
  return request.bytes[1] != FunctionWriteSingle || lineEchoes;
}

}  // namespace

AnswerFit FitAtLength(const uint8_t* bytes, size_t available, size_t length) {
  if (length > MaxFrameLength) return {Kind::Impossible, 0};
  if (length > available) return {Kind::NeedsMore, 0};
  return {CrcHolds(bytes, length) ? Kind::Complete : Kind::BadCrc, length};
}

AnswerFit FitAnswer(const uint8_t* bytes, size_t available) {
  if (available < 2) return {Kind::NeedsMore, 0};
  const uint8_t function = bytes[1];
  if (function & ExceptionBit) return FitAtLength(bytes, available, kExceptionLength);
  switch (function) {
    case FunctionReadHolding:
      if (available < 3) return {Kind::NeedsMore, 0};
      return FitAtLength(bytes, available, bytes[2] + 3 + kCrcLength);
    case FunctionWriteSingle:
    case FunctionWriteMultiple:
      return FitAtLength(bytes, available, kWriteAnswerLength);
    case FunctionEncapsulated:
      return FitIdentification(bytes, available);
    default:
      return {Kind::Unknown, 0};
  }
}

size_t AnswerBytesToCome(const Frame& request, const uint8_t* received, size_t count) {
  if (request.length < 4 || count < 1 || received[0] != request.bytes[0]) return 0;
  size_t length = 0;
  if (count >= 2 && received[1] == (request.bytes[1] | ExceptionBit)) {
    length = kExceptionLength;
  } else if (count >= 2 && received[1] != request.bytes[1]) {
    return 0;
  } else if (request.bytes[1] == FunctionReadHolding) {
    // Before its byte count is in, the answer is taken to be as long as the
    // request asks: one wake-up for the whole of it. An exception in its
    // place is then read when that whole answer would have been in.
    if (count < 3) {
      if (request.length < 6) return 0;
      length = 2 * ((size_t{request.bytes[4]} << 8) | request.bytes[5]) + 3 + kCrcLength;
    } else {
      length = received[2] + 3 + kCrcLength;
    }
  } else if (request.bytes[1] == FunctionWriteSingle || request.bytes[1] == FunctionWriteMultiple) {
    length = kWriteAnswerLength;
  } else {
    return 0;
  }
  return length > count ? length - count : 0;
}

size_t AppendReceived(uint8_t* buffer, size_t count, const uint8_t* chunk, size_t length, size_t capacity) {
  if (count >= capacity) return capacity;
  const size_t taken = std::min(length, capacity - count);
  std::memcpy(buffer + count, chunk, taken);
  return count + taken;
}

AnswerSearch FindAnswer(const Frame& request, const uint8_t* received, size_t count, bool lineEchoes) {
  AnswerSearch search;
  if (request.length < 4) return search;
  const uint8_t slave = request.bytes[0];
  count = std::min(count, MaxFrameLength);

  size_t start = 0;
  if (CopyWouldBeEcho(request, lineEchoes) &&
      std::memcmp(received, request.bytes.data(), std::min(count, request.length)) == 0) {
    // A write-multiple answer repeats the first six bytes of its request:
    // a whole answer shorter than the request is no echo.
    const AnswerFit fit = FitAnswer(received, count);
    if (fit.kind != Kind::Complete || fit.length >= request.length) {
      if (count < request.length) return search;  // the echo may still be arriving
      start = request.length;
      search.echoSkipped = true;
    }
  }

  AnswerSearch malformed = search;
  // Whether the CRC holds from a start to the end, for all starts at once
  // and only once one is asked for.
  std::bitset<MaxFrameLength> holding;
  bool holdingKnown = false;
  for (size_t offset = start; offset < count; ++offset) {
    if (received[offset] != slave) continue;
    const uint8_t* frame = received + offset;
    const size_t available = count - offset;
    const AnswerFit fit = FitAnswer(frame, available);
    switch (fit.kind) {
      case Kind::NeedsMore:
        return search;  // wait for the rest before looking further
      case Kind::Complete:
        search.state = AnswerSearch::State::Found;
        search.offset = offset;
        search.length = fit.length;
        return search;
      case Kind::Impossible:
        continue;
      case Kind::BadCrc:
      case Kind::Unknown:
        break;
    }
    // A frame of this slave whose CRC holds over everything from here on,
    // but not where its header says it ends: an answer, and a bad one.
    if (malformed.state != AnswerSearch::State::Incomplete) continue;
    if (!holdingKnown) {
      holding = CrcHoldingTails(received, count);
      holdingKnown = true;
    }
    if (holding.test(offset)) {
      malformed.state = AnswerSearch::State::Malformed;
      malformed.offset = offset;
      malformed.length = available;
    }
  }
  return malformed;
}

ModbusResult JudgeAnswer(const Frame& request, const uint8_t* answer, size_t length) {
  if (request.length < 4 || length < 4) return ResultBadResponse;
  const AnswerFit fit = FitAnswer(answer, length);
  if (fit.kind != Kind::Complete || fit.length != length) return ResultBadResponse;
  const uint8_t function = request.bytes[1];
  if ((answer[1] & ~ExceptionBit) != function) return ResultBadResponse;
  // An exception code outside 1..0x7F would read as one of the link's own
  // results (port not open, time-out).
  if (answer[1] & ExceptionBit) return answer[2] != 0 && answer[2] < 0x80 ? answer[2] : ResultBadResponse;
  switch (function) {
    case FunctionWriteSingle:
    case FunctionWriteMultiple:
      // The echo names the register(s) and the value or count written.
      return std::memcmp(answer + 2, request.bytes.data() + 2, 4) == 0 ? ResultSuccess : ResultBadResponse;
    case FunctionEncapsulated:
      // MEI type and read code as asked.
      return answer[2] == request.bytes[2] && answer[3] == request.bytes[3] ? ResultSuccess : ResultBadResponse;
    default:
      return ResultSuccess;
  }
}

AnswerData DataOf(const uint8_t* answer, size_t length) {
  if (length < 4 || (answer[1] & ExceptionBit)) return {};
  if (answer[1] == FunctionReadHolding) {
    return {answer + 3, std::min<size_t>(answer[2], length - 3 - kCrcLength)};
  }
  if (answer[1] == FunctionEncapsulated && length >= kIdentificationHeader) {
    return {answer + 5, length - 5 - kCrcLength};
  }
  return {};
}
