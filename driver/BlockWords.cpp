#include "driver/BlockWords.h"

#include <cstring>

#include "link/FrameCodec.h"

namespace {

// The same swaps turn words into a record and back.
void Convert(const BlockSpec& spec, uint8_t* bytes) {
  if (spec.wireOrderText.length != 0) SwapBytes16(bytes + spec.wireOrderText.offset, spec.wireOrderText.length);
  for (const ByteRange& pairs : spec.wordPairs) {
    if (pairs.length != 0) SwapWords32(bytes + pairs.offset, pairs.length);
  }
}

}  // namespace

void RecordFromWords(const BlockSpec& spec, const uint16_t* words, void* record) {
  auto* bytes = static_cast<uint8_t*>(record);
  std::memcpy(bytes, words, spec.recordBytes);
  Convert(spec, bytes);
}

void WordsFromRecord(const BlockSpec& spec, const void* record, uint16_t* words) {
  auto* bytes = reinterpret_cast<uint8_t*>(words);
  std::memcpy(bytes, record, spec.recordBytes);
  Convert(spec, bytes);
}
