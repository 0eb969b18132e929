// The slave's side of RTU framing: how long a request is, judged from its
// first bytes, and closing an answer with its address and CRC.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sim {

// Length of the request that starts with `bytes`: a positive length once it
// can be told, 0 while more bytes are needed to tell it, and
// UnknownRequestLength for a function whose length this slave cannot tell
// (the end of such a request is found by the line falling silent).
constexpr size_t UnknownRequestLength = static_cast<size_t>(-1);
size_t RequestLength(const uint8_t* bytes, size_t count);

// True when the last two bytes are the CRC of the ones before (low first).
bool CrcMatches(const uint8_t* frame, size_t length);

// Address + PDU + CRC.
std::vector<uint8_t> SealFrame(uint8_t address, const std::vector<uint8_t>& pdu);
// Recomputes the CRC in the last two bytes after the frame was changed.
void Reseal(std::vector<uint8_t>& frame);

// An exception PDU: the function code with bit 0x80, then the code.
std::vector<uint8_t> ExceptionPdu(uint8_t function, uint8_t code);

}  // namespace sim
