// Fuzz target: the bytes that come back for a request, split into chunks at
// any points, as the reader takes them; the search for the answer after
// every chunk, then the judgement of what it found.
//
// Input: byte 0 the request kind (bits 0-1: read, write single, write
// multiple, identification) and bit 2 "line known to echo"; byte 1 the
// slave; bytes 2-5 two request words (start or address or read code and
// object id; count or value); bytes 6-7 the seed of the chunk sizes; the
// rest is what the line brings.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "link/Answer.h"

namespace {

uint16_t Word(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

Frame RequestFor(const uint8_t* header) {
  const uint8_t slave = header[1];
  const uint16_t first = Word(header + 2);
  const uint16_t second = Word(header + 4);
  switch (header[0] & 3) {
    case 0:
      return BuildReadRequest(slave, first, second);
    case 1:
      return BuildWriteSingleRequest(slave, first, second);
    case 2: {
      uint16_t values[MaxWriteRegisters];
      for (uint16_t i = 0; i < MaxWriteRegisters; ++i) values[i] = static_cast<uint16_t>(i * 0x0101u);
      Frame frame;
      const auto count = static_cast<uint16_t>(std::max(1, second % (MaxWriteRegisters + 1)));
      BuildWriteMultipleRequest(slave, first, values, count, frame);
      return frame;
    }
    default:
      return BuildDeviceIdRequest(slave, static_cast<uint8_t>(first), static_cast<uint8_t>(second));
  }
}

bool ResultIsDocumented(ModbusResult result) {
  return result == ResultSuccess || result == ResultBadResponse || (result >= 0x01 && result <= 0x7F);
}

void CheckFound(const Frame& request, const uint8_t* received, size_t count, const AnswerSearch& search) {
  FUZZ_REQUIRE(search.offset + search.length <= count);
  const uint8_t* frame = received + search.offset;
  FUZZ_REQUIRE(FrameCheck(frame, search.length, request.bytes[0]));
  if (search.state == AnswerSearch::State::Malformed) return;
  const AnswerFit fit = FitAnswer(frame, search.length);
  FUZZ_REQUIRE(fit.kind == AnswerFit::Kind::Complete && fit.length == search.length);

  const ModbusResult result = JudgeAnswer(request, frame, search.length);
  FUZZ_REQUIRE(ResultIsDocumented(result));
  if (result != ResultSuccess) return;
  FUZZ_REQUIRE(frame[1] == request.bytes[1]);
  const AnswerData data = DataOf(frame, search.length);
  if (data.length > 0) FUZZ_REQUIRE(data.bytes >= frame + 3 && data.bytes + data.length <= frame + search.length - 2);
  switch (request.bytes[1]) {
    case FunctionReadHolding:
      FUZZ_REQUIRE(data.length == frame[2]);
      break;
    case FunctionEncapsulated:
      FUZZ_REQUIRE(frame[2] == MeiReadDeviceId && frame[3] == request.bytes[3]);
      FUZZ_REQUIRE(data.length == search.length - 7);
      break;
    default:
      FUZZ_REQUIRE(std::memcmp(frame + 2, request.bytes.data() + 2, 4) == 0);
      FUZZ_REQUIRE(data.length == 0);
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 8;
  if (size < kHeader) return 0;
  const Frame request = RequestFor(data);
  const bool lineEchoes = (data[0] & 4) != 0;
  uint32_t seed = Word(data + 6) | 0x10000u;
  const uint8_t* stream = data + kHeader;
  const size_t streamSize = size - kHeader;

  uint8_t received[MaxFrameLength];
  size_t count = 0;
  AnswerSearch search;
  for (size_t taken = 0; taken < streamSize && search.state == AnswerSearch::State::Incomplete;) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    const size_t chunk = std::min<size_t>(1 + seed % 32, streamSize - taken);
    count = AppendReceived(received, count, stream + taken, chunk);
    taken += chunk;
    FUZZ_REQUIRE(count <= MaxFrameLength);
    search = FindAnswer(request, received, count, lineEchoes);
    // A full buffer takes nothing more: later chunks would search the same bytes.
    if (count == MaxFrameLength) break;
  }
  if (search.state == AnswerSearch::State::Incomplete) return 0;
  CheckFound(request, received, count, search);

  // However the bytes were split, an answer once found stays found.
  if (search.state == AnswerSearch::State::Found) {
    uint8_t whole[MaxFrameLength];
    const size_t wholeCount = AppendReceived(whole, 0, stream, streamSize);
    const AnswerSearch again = FindAnswer(request, whole, wholeCount, lineEchoes);
    FUZZ_REQUIRE(again.state == AnswerSearch::State::Found && again.offset == search.offset &&
                 again.length == search.length);
  }
  return 0;
}
