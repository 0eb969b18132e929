// The traffic display's text of a frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fields {

// Two upper-case hex digits and a space per byte ("01 03 00 20 "); empty for
// no bytes.
std::string FormatHexBytes(const uint8_t* bytes, size_t count);
std::string FormatHexBytes(const std::vector<uint8_t>& bytes);

}  // namespace fields
