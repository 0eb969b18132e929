// The driver's device identification objects (function 0x2B, MEI 0x0E).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct IdentificationObject {
  uint8_t id;
  std::string value;  // bytes, as the driver sends them
};

// The driver's own: objects 0..6 and two extended ones, more than one
// answer holds.
const std::vector<IdentificationObject>& IdentificationObjects();

// The longest value an object of `objects` may have, so that every object
// fits an answer of its own.
constexpr size_t MaxObjectValue = 240;

// Answer PDU to a read-device-identification request PDU (function code
// first) from `objects`, an exception PDU when it is malformed or asks for
// something the driver does not have.
std::vector<uint8_t> IdentificationAnswer(const std::vector<IdentificationObject>& objects, const uint8_t* pdu,
                                          size_t length);

}  // namespace sim
