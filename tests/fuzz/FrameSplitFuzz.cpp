// Fuzz target: the listener's framing on any bytes, split at any points,
// with any times. Every byte comes out in exactly one frame, in order; the
// splitter never holds more than its capacity; a frame is never longer
// than MaxFrameLength, and one with a good CRC is a frame by its header.
//
// Input: byte 0 the line (bits 0-2 the rate; every parity makes 11-bit
// characters, so bits 3-4 carry nothing) and bit 7
// "times show silences"; bytes 1-2 the seed of the chunk sizes and gaps;
// the rest is what the line carries.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "link/FrameSplitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 3;
  if (size < kHeader) return 0;
  static constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
  const int baud = kRates[data[0] & 7];
  const bool silences = (data[0] & 0x80) != 0;
  uint32_t seed = ((data[1] << 8) | data[2]) | 0x10000u;
  const uint8_t* stream = data + kHeader;
  const size_t length = size - kHeader;

  // Keeps its room from one input to the next: no allocation per input.
  static std::vector<uint8_t> joined;
  joined.clear();
  const FrameSplitter::Sink sink = [](const SplitFrame& f) {
    FUZZ_REQUIRE(!f.bytes.empty() && f.bytes.size() <= MaxFrameLength);
    FUZZ_REQUIRE(f.slave == f.bytes[0] && f.function == (f.bytes.size() > 1 ? f.bytes[1] : 0));
    FUZZ_REQUIRE(!f.crcGood || FrameCheck(f.bytes.data(), f.bytes.size(), f.slave));
    FUZZ_REQUIRE(f.kind != FrameKind::Unknown || !f.crcGood);
    joined.insert(joined.end(), f.bytes.begin(), f.bytes.end());
  };
  FrameSplitter splitter(baud);
  // Any fixed moment: the splitter reads only the times between chunks,
  // and an input replays the same whenever it runs.
  Stamp at{std::chrono::steady_clock::time_point(std::chrono::hours(1)), 0};
  for (size_t fed = 0; fed < length;) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    const size_t chunk = std::min<size_t>(1 + seed % 64, length - fed);
    if (silences) at.monotonic += std::chrono::microseconds(seed % 20000);
    splitter.Feed(stream + fed, chunk, at, sink);
    FUZZ_REQUIRE(splitter.Held() <= FrameSplitter::Capacity);
    fed += chunk;
  }
  splitter.Flush(sink);
  FUZZ_REQUIRE(splitter.Held() == 0);
  FUZZ_REQUIRE(joined.size() == length && std::equal(joined.begin(), joined.end(), stream));
  return 0;
}
