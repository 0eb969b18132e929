// The simulated driver behind a Modbus TCP gateway: requests come as MBAP
// frames, go to the driver as the RTU frames the gateway would put on its
// line (the unit identifier as the address), and the driver's answers go
// back under the request's header. A request the driver leaves unanswered
// gets exception 0x0B, as from a gateway whose target did not respond.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/SimulatedDriver.h"

namespace sim {

// The length of the MBAP frame that starts `bytes`: 0 while its header is
// not all in, InvalidAdu for a header that no frame has (another protocol,
// a length out of range); the caller then drops the connection.
constexpr size_t InvalidAdu = static_cast<size_t>(-1);
size_t AduLength(const uint8_t* bytes, size_t count);

// The answer frame to one whole request frame of `length` bytes, from the
// drivers on the gateway's line: each hears the request, the one addressed
// answers.
std::vector<uint8_t> AnswerAdu(std::span<SimulatedDriver* const> drivers, const uint8_t* adu, size_t length);
std::vector<uint8_t> AnswerAdu(SimulatedDriver& driver, const uint8_t* adu, size_t length);

// Serves `connection` until its peer closes it or `stop` becomes readable;
// true when it ended for `stop`.
bool ServeModbusTcp(std::span<SimulatedDriver* const> drivers, int connection, int stop);

}  // namespace sim
