// Which tails of the bytes received end in their own CRC: for every start,
// whether FrameCheck holds for the bytes from there to the end, found for
// all starts in two passes over the bytes instead of one CRC per start.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>

#include "link/FrameCodec.h"

// Bit o is set when FrameCheck(bytes + o, count - o, bytes[o]) holds. Only
// the first MaxFrameLength bytes are looked at.
std::bitset<MaxFrameLength> CrcHoldingTails(const uint8_t* bytes, size_t count);
