#include "sim/RtuFrames.h"

#include "link/FrameCodec.h"

namespace sim {

namespace {

// Request lengths of the public function codes whose size is fixed or
// carried in a byte-count field, so that a standard master gets its
// "illegal function" answer without waiting for the line to fall silent.
struct LengthRule {
  uint8_t function;
  size_t fixed;          // whole length, or the header before the data
  size_t byteCountAt;    // 0: fixed length; else offset of the byte count
};

constexpr LengthRule kLengthRules[] = {
    {0x01, 8, 0}, {0x02, 8, 0}, {0x03, 8, 0}, {0x04, 8, 0}, {0x05, 8, 0}, {0x06, 8, 0},
    {0x07, 4, 0}, {0x0B, 4, 0}, {0x0C, 4, 0}, {0x11, 4, 0}, {0x0F, 9, 6}, {0x10, 9, 6},
};

}  // namespace

size_t RequestLength(const uint8_t* bytes, size_t count) {
  if (count < 2) return 0;
  const uint8_t function = bytes[1];
  if (function == FunctionEncapsulated) {
    if (count < 3) return 0;
    return bytes[2] == MeiReadDeviceId ? 7 : UnknownRequestLength;
  }
  for (const LengthRule& rule : kLengthRules) {
    if (rule.function != function) continue;
    if (rule.byteCountAt == 0) return rule.fixed;
    if (count <= rule.byteCountAt) return 0;
    return rule.fixed + bytes[rule.byteCountAt];
  }
  return UnknownRequestLength;
}

bool CrcMatches(const uint8_t* frame, size_t length) {
  if (length < 4) return false;
  const uint16_t crc = Crc16Modbus(frame, length - 2);
  return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}

std::vector<uint8_t> SealFrame(uint8_t address, const std::vector<uint8_t>& pdu) {
  std::vector<uint8_t> frame;
  frame.reserve(pdu.size() + 3);
  frame.push_back(address);
  frame.insert(frame.end(), pdu.begin(), pdu.end());
  frame.resize(frame.size() + 2);
  Reseal(frame);
  return frame;
}

void Reseal(std::vector<uint8_t>& frame) {
  if (frame.size() < 2) return;
  const uint16_t crc = Crc16Modbus(frame.data(), frame.size() - 2);
  frame[frame.size() - 2] = static_cast<uint8_t>(crc & 0xFF);
  frame[frame.size() - 1] = static_cast<uint8_t>(crc >> 8);
}

std::vector<uint8_t> ExceptionPdu(uint8_t function, uint8_t code) {
  return {static_cast<uint8_t>(function | ExceptionBit), code};
}

}  // namespace sim
