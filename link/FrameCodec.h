// Modbus RTU frames as the tool sends and accepts them: CRC-16/MODBUS, the
// request layouts, the frame check, the byte-order helpers for register
// records, and the result codes with their operator-facing texts.
// Pure computation, no I/O.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

using ModbusResult = int;

constexpr ModbusResult ResultSuccess = 0x00;
constexpr ModbusResult ResultPortNotOpen = 0x80;
constexpr ModbusResult ResultBadResponse = 0x81;
constexpr ModbusResult ResultTimeout = 0x82;
constexpr ModbusResult ResultDataTooLong = 0x83;
constexpr ModbusResult ResultInvalidSelector = 0xFF;

// Function codes the tool uses.
constexpr uint8_t FunctionReadHolding = 0x03;
constexpr uint8_t FunctionWriteSingle = 0x06;
constexpr uint8_t FunctionWriteMultiple = 0x10;
constexpr uint8_t FunctionEncapsulated = 0x2B;
constexpr uint8_t MeiReadDeviceId = 0x0E;
constexpr uint8_t ExceptionBit = 0x80;

// The receive side keeps at most this many bytes of one response.
constexpr size_t MaxFrameLength = 256;
// What the receive side holds of one answer in its wire form: an RTU frame,
// or an MBAP header of 7 bytes before a PDU of up to 253 (a read of 125
// registers comes as 259 bytes).
constexpr size_t MaxReceiveLength = 7 + MaxFrameLength - 3;
// A request frame may not be longer than this, so one write carries at most
// 27 registers.
constexpr size_t MaxRequestLength = 64;
constexpr uint16_t MaxWriteRegisters = (MaxRequestLength - 9) / 2;

uint16_t Crc16Modbus(const uint8_t* data, size_t length);
// Carries a CRC on over `length` more bytes: the CRC of a then b is
// Crc16ModbusUpdate(Crc16Modbus(a), b).
uint16_t Crc16ModbusUpdate(uint16_t crc, const uint8_t* data, size_t length);

// Register records are host values made from big-endian wire bytes by
// swapping bytes; on a big-endian host the swaps would scramble them.
static_assert(std::endian::native == std::endian::little, "register byte order assumes a little-endian host");

// In place: exchanges the two bytes of each whole 16-bit word of the first
// `length` bytes; a trailing odd byte is left alone.
void SwapBytes16(void* buffer, size_t length);
// In place: exchanges the 16-bit halves of each whole 32-bit group of the
// first `length` bytes; trailing bytes are left alone.
void SwapWords32(void* buffer, size_t length);

std::string ResultText(ModbusResult result);

// A frame under construction or as received; never longer than
// MaxFrameLength.
struct Frame {
  std::array<uint8_t, MaxFrameLength> bytes{};
  size_t length = 0;
};

// Request builders. Each writes the whole frame, CRC included (low byte
// first). BuildWriteMultipleRequest refuses (returns false, frame empty) when
// the frame would exceed MaxRequestLength or no source is given.
Frame BuildReadRequest(uint8_t slave, uint16_t start, uint16_t count);
Frame BuildWriteSingleRequest(uint8_t slave, uint16_t address, uint16_t value);
bool BuildWriteMultipleRequest(uint8_t slave, uint16_t start, const uint16_t* source, uint16_t count,
                               Frame& frame);
Frame BuildDeviceIdRequest(uint8_t slave, uint8_t readCode, uint8_t objectId);

// Appends the CRC of the bytes so far. Returns false (frame unchanged) when
// there is no room for it.
bool AppendCrc(Frame& frame);

// A received frame of `length` bytes is accepted when it has at least 4
// bytes, starts with `slave`, and its last two bytes are the CRC (low byte
// first) of the bytes before them.
bool FrameCheck(const uint8_t* frame, size_t length, uint8_t slave);
