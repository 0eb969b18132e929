#include "link/FrameCodec.h"

#include <cstdio>
#include <cstring>

#include "lang/Texts.h"

namespace {

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF.
constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t crc = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<uint16_t>(crc >> 1);
    }
    table[i] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

struct ResultEntry {
  ModbusResult code;
  const char* text;
};

constexpr ResultEntry kResultTexts[] = {
    {0x00, "操作成功"},
    {0x01, "非法功能号"},
    {0x02, "非法寄存器地址"},
    {0x03, "非法数据值"},
    {0x04, "操作失败"},
    {0x05, "请求已被确认"},
    {0x06, "设备忙"},
    {0x08, "奇偶检验错误"},
    {0x0A, "网关路径不可用"},
    {0x0B, "网关目标设备响应失败"},
    {0x40, "不允许操作"},
    {0x60, "请先对电机进行学习"},
    {ResultPortNotOpen, "串口未打开"},
    {ResultBadResponse, "应答错误"},
    {ResultTimeout, "通讯超时"},
    {ResultDataTooLong, "要发送的数据过长"},
};

void PutWord(Frame& frame, uint16_t value) {
  frame.bytes[frame.length++] = static_cast<uint8_t>(value >> 8);
  frame.bytes[frame.length++] = static_cast<uint8_t>(value & 0xFF);
}

Frame StartFrame(uint8_t slave, uint8_t function) {
  Frame frame;
  frame.bytes[frame.length++] = slave;
  frame.bytes[frame.length++] = function;
  return frame;
}

}  // namespace

uint16_t Crc16Modbus(const uint8_t* data, size_t length) { return Crc16ModbusUpdate(0xFFFF, data, length); }

uint16_t Crc16ModbusUpdate(uint16_t crc, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>((crc >> 8) ^ kCrcTable[(crc ^ data[i]) & 0xFF]);
  }
  return crc;
}

void SwapBytes16(void* buffer, size_t length) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i + 1 < length; i += 2) {
    std::swap(bytes[i], bytes[i + 1]);
  }
}

void SwapWords32(void* buffer, size_t length) {
  auto* bytes = static_cast<uint8_t*>(buffer);
  for (size_t i = 0; i + 3 < length; i += 4) {
    uint8_t half[2];
    std::memcpy(half, bytes + i, 2);
    std::memcpy(bytes + i, bytes + i + 2, 2);
    std::memcpy(bytes + i + 2, half, 2);
  }
}

std::string ResultText(ModbusResult result) {
  for (const ResultEntry& entry : kResultTexts) {
    if (entry.code == result) return lang::Tr(entry.text);
  }
  char code[8];
  std::snprintf(code, sizeof code, "%02X", static_cast<unsigned>(result));
  return lang::Fill(lang::Tr("未定义错误({1})"), {code});
}

bool AppendCrc(Frame& frame) {
  if (frame.length + 2 > frame.bytes.size()) return false;
  const uint16_t crc = Crc16Modbus(frame.bytes.data(), frame.length);
  frame.bytes[frame.length++] = static_cast<uint8_t>(crc & 0xFF);
  frame.bytes[frame.length++] = static_cast<uint8_t>(crc >> 8);
  return true;
}

Frame BuildReadRequest(uint8_t slave, uint16_t start, uint16_t count) {
  Frame frame = StartFrame(slave, FunctionReadHolding);
  PutWord(frame, start);
  PutWord(frame, count);
  AppendCrc(frame);
  return frame;
}

Frame BuildWriteSingleRequest(uint8_t slave, uint16_t address, uint16_t value) {
  Frame frame = StartFrame(slave, FunctionWriteSingle);
  PutWord(frame, address);
  PutWord(frame, value);
  AppendCrc(frame);
  return frame;
}

bool BuildWriteMultipleRequest(uint8_t slave, uint16_t start, const uint16_t* source, uint16_t count,
                               Frame& frame) {
  frame = Frame{};
  if (source == nullptr || 2u * count + 9u > MaxRequestLength) return false;
  frame = StartFrame(slave, FunctionWriteMultiple);
  PutWord(frame, start);
  PutWord(frame, count);
  frame.bytes[frame.length++] = static_cast<uint8_t>(2 * count);
  for (uint16_t i = 0; i < count; ++i) PutWord(frame, source[i]);
  AppendCrc(frame);
  return true;
}

Frame BuildDeviceIdRequest(uint8_t slave, uint8_t readCode, uint8_t objectId) {
  Frame frame = StartFrame(slave, FunctionEncapsulated);
  frame.bytes[frame.length++] = MeiReadDeviceId;
  frame.bytes[frame.length++] = readCode;
  frame.bytes[frame.length++] = objectId;
  AppendCrc(frame);
  return frame;
}

bool FrameCheck(const uint8_t* frame, size_t length, uint8_t slave) {
  if (length < 4 || length > MaxFrameLength || frame[0] != slave) return false;
  const uint16_t crc = Crc16Modbus(frame, length - 2);
  return frame[length - 2] == (crc & 0xFF) && frame[length - 1] == (crc >> 8);
}
