#include "link/CrcTails.h"

#include <algorithm>
#include <array>

namespace {

// The CRC register is affine in what it starts from: over the bytes M,
// starting from x instead of y changes the result by Z^|M|(x ^ y), Z being
// the step over one zero byte, which is linear and invertible. A tail
// [o, n) ends in its own CRC exactly when the CRC over it from 0xFFFF is
// 0, that is when Z^(n-o)(S[o] ^ 0xFFFF) == S[n], S[k] being the CRC of
// the first k bytes; so S[o] ^ 0xFFFF is compared with Z^-(n-o)(S[n]),
// which one step back per start gives.
struct ZeroStep {
  std::array<uint16_t, 256> forward{};  // Z of the byte i alone
  std::array<uint8_t, 256> back{};      // which i has the high byte h in Z(i)
};

const ZeroStep& Steps() {
  static const ZeroStep steps = [] {
    ZeroStep made;
    const uint8_t zero = 0;
    for (unsigned i = 0; i < 256; ++i) {
      made.forward[i] = Crc16ModbusUpdate(static_cast<uint16_t>(i), &zero, 1);
      made.back[made.forward[i] >> 8] = static_cast<uint8_t>(i);
    }
    return made;
  }();
  return steps;
}

// Z(s) = (s >> 8) ^ forward[s & 0xFF]; the high byte of forward[] tells the
// low byte of s, what is left its high byte.
uint16_t StepBack(const ZeroStep& steps, uint16_t after) {
  const uint8_t low = steps.back[after >> 8];
  const auto high = static_cast<uint16_t>((after ^ steps.forward[low]) & 0xFF);
  return static_cast<uint16_t>((high << 8) | low);
}

}  // namespace

std::bitset<MaxFrameLength> CrcHoldingTails(const uint8_t* bytes, size_t count) {
  std::bitset<MaxFrameLength> holding;
  count = std::min(count, MaxFrameLength);
  if (count < 4) return holding;
  const ZeroStep& steps = Steps();
  uint16_t prefix[MaxFrameLength + 1];
  prefix[0] = 0xFFFF;
  for (size_t k = 0; k < count; ++k) prefix[k + 1] = Crc16ModbusUpdate(prefix[k], bytes + k, 1);
  uint16_t wanted = prefix[count];
  for (size_t o = count; o-- > 0;) {
    wanted = StepBack(steps, wanted);
    // A frame is at least four bytes.
    if (count - o >= 4 && static_cast<uint16_t>(prefix[o] ^ 0xFFFF) == wanted) holding.set(o);
  }
  return holding;
}
