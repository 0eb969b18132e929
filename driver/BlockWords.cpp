#include "driver/BlockWords.h"

#include <algorithm>
#include <cstring>

#include "link/FrameCodec.h"

namespace {

// The part of `range` that lies in the first `length` bytes.
size_t Within(const ByteRange& range, size_t length) {
  return range.offset >= length ? 0 : std::min<size_t>(range.length, length - range.offset);
}

// The same swaps turn words into a record and back.
void Convert(const BlockSpec& spec, uint8_t* bytes, size_t length) {
  if (const size_t text = Within(spec.wireOrderText, length)) SwapBytes16(bytes + spec.wireOrderText.offset, text);
  for (const ByteRange& pairs : spec.wordPairs) {
    if (const size_t pair = Within(pairs, length)) SwapWords32(bytes + pairs.offset, pair);
  }
}

}  // namespace

void RecordFromWords(const BlockSpec& spec, const uint16_t* words, void* record) {
  auto* bytes = static_cast<uint8_t*>(record);
  std::memcpy(bytes, words, spec.recordBytes);
  Convert(spec, bytes, spec.recordBytes);
}

void WordsFromRecord(const BlockSpec& spec, const void* record, uint16_t* words) {
  auto* bytes = reinterpret_cast<uint8_t*>(words);
  std::memcpy(bytes, record, spec.recordBytes);
  Convert(spec, bytes, spec.recordBytes);
}

void RecordFromWireBytes(const BlockSpec& spec, uint8_t* bytes, size_t length) {
  length = std::min<size_t>(length, spec.recordBytes);
  SwapBytes16(bytes, length);
  Convert(spec, bytes, length);
}
