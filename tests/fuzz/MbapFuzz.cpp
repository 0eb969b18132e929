// Fuzz target: what a Modbus TCP gateway sends back for a request, split
// into chunks at any points, as the link takes them; the search for the
// answer to the request's transaction after every chunk, with late answers
// dropped from the front as the link drops them, then the judgement.
//
// Input: bytes 0-5 the request as the answer target reads them (kind,
// unit, two words), bytes 6-7 the seed of the chunk sizes, bytes 8-9 the
// transaction identifier; the rest is what the connection brings.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "link/Answer.h"
#include "link/Mbap.h"

namespace {

uint16_t Word(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

Frame RequestFor(const uint8_t* header) {
  const uint8_t unit = header[1];
  const uint16_t first = Word(header + 2);
  const uint16_t second = Word(header + 4);
  switch (header[0] & 3) {
    case 0:
      return BuildReadRequest(unit, first, second);
    case 1:
      return BuildWriteSingleRequest(unit, first, second);
    case 2: {
      uint16_t values[MaxWriteRegisters];
      for (uint16_t i = 0; i < MaxWriteRegisters; ++i) values[i] = static_cast<uint16_t>(i * 0x0101u);
      Frame frame;
      const auto count = static_cast<uint16_t>(std::max(1, second % (MaxWriteRegisters + 1)));
      BuildWriteMultipleRequest(unit, first, values, count, frame);
      return frame;
    }
    default:
      return BuildDeviceIdRequest(unit, static_cast<uint8_t>(first), static_cast<uint8_t>(second));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 10;
  if (size < kHeader) return 0;
  const Frame request = RequestFor(data);
  const uint16_t transaction = Word(data + 8);
  uint32_t seed = Word(data + 6) | 0x10000u;
  const uint8_t* stream = data + kHeader;
  const size_t streamSize = size - kHeader;

  // The request goes out whole, under its identifier and unit.
  uint8_t wire[MaxFrameLength];
  const size_t wireLength = EncodeMbap(request, transaction, wire, sizeof wire);
  FUZZ_REQUIRE(wireLength == request.length + 4 && Word(wire) == transaction && wire[6] == request.bytes[0]);

  uint8_t received[MaxReceiveLength];
  size_t count = 0;
  unsigned stale = 0;
  MbapSearch search;
  Frame answer;
  for (size_t taken = 0; taken < streamSize && search.state == MbapSearch::State::Incomplete;) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    const size_t chunk = std::min<size_t>(1 + seed % 32, streamSize - taken);
    count = AppendReceived(received, count, stream + taken, chunk, sizeof received);
    taken += chunk;
    search = FindMbapAnswer(request, transaction, received, count, answer);
    FUZZ_REQUIRE(search.staleBytes <= count);
    FUZZ_REQUIRE((search.staleAnswers == 0) == (search.staleBytes == 0));
    // Late answers leave the buffer, as the link drops them.
    std::memmove(received, received + search.staleBytes, count - search.staleBytes);
    count -= search.staleBytes;
    stale += search.staleAnswers;
    if (search.state != MbapSearch::State::Incomplete) {
      search.offset -= search.staleBytes;
      break;
    }
    if (count == sizeof received) break;
  }
  if (search.state != MbapSearch::State::Found) return 0;
  FUZZ_REQUIRE(search.offset == 0 && search.length <= count && Word(received) == transaction);
  // The answer in its RTU form holds as one from the unit itself would.
  FUZZ_REQUIRE(FrameCheck(answer.bytes.data(), answer.length, request.bytes[0]));
  FUZZ_REQUIRE(answer.length == search.length - 4);
  const AnswerFit fit = FitAnswer(answer.bytes.data(), answer.length);
  FUZZ_REQUIRE(fit.kind == AnswerFit::Kind::Complete && fit.length == answer.length);
  const ModbusResult result = JudgeAnswer(request, answer.bytes.data(), answer.length);
  FUZZ_REQUIRE(result == ResultSuccess || result == ResultBadResponse || (result >= 0x01 && result <= 0x7F));
  FUZZ_REQUIRE(std::memcmp(answer.bytes.data() + 1, received + MbapHeaderLength, answer.length - 3) == 0);
  (void)stale;
  return 0;
}
