// The driver's device identification objects (function 0x2B, MEI 0x0E).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace sim {

struct IdentificationObject {
  uint8_t id;
  std::string_view value;
};

// Objects 0..6 and two extended ones, more than one answer holds.
const std::vector<IdentificationObject>& IdentificationObjects();

// Answer PDU to a read-device-identification request PDU (function code
// first), an exception PDU when it is malformed or asks for something the
// driver does not have.
std::vector<uint8_t> IdentificationAnswer(const uint8_t* pdu, size_t length);

}  // namespace sim
