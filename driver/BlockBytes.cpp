#include "driver/BlockBytes.h"

#include <algorithm>

#include "link/FrameCodec.h"

namespace {

// The part of `range` that lies in the first `length` bytes.
size_t Within(const ByteRange& range, size_t length) {
  return range.offset >= length ? 0 : std::min<size_t>(range.length, length - range.offset);
}

}  // namespace

void ConvertBlockBytes(const BlockSpec& spec, uint8_t* bytes, size_t length) {
  length = std::min<size_t>(length, spec.recordBytes);
  SwapBytes16(bytes, length);
  if (const size_t text = Within(spec.wireOrderText, length)) SwapBytes16(bytes + spec.wireOrderText.offset, text);
  ConvertWordPairs(spec, bytes, length);
}

void ConvertWordPairs(const BlockSpec& spec, uint8_t* bytes, size_t length) {
  length = std::min<size_t>(length, spec.recordBytes);
  for (const ByteRange& pairs : spec.wordPairs) {
    if (const size_t pair = Within(pairs, length)) SwapWords32(bytes + pairs.offset, pair);
  }
}
