#include "fields/HexText.h"

#include <cstdio>

namespace fields {

std::string FormatHexBytes(const uint8_t* bytes, size_t count) {
  std::string text;
  text.reserve(count * 3);
  char group[4];
  for (size_t i = 0; i < count; ++i) {
    std::snprintf(group, sizeof group, "%02X ", static_cast<unsigned>(bytes[i]));
    text += group;
  }
  return text;
}

std::string FormatHexBytes(const std::vector<uint8_t>& bytes) { return FormatHexBytes(bytes.data(), bytes.size()); }

}  // namespace fields
