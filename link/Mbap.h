// Modbus TCP framing: the MBAP header (transaction identifier, protocol 0,
// length, unit identifier) in front of the PDU, no CRC. The link builds
// and judges RTU frames; these functions carry a request from its RTU form
// onto the wire and an answer from the wire back into its RTU form, so
// that the answer checks are the same for every port. Pure functions over
// byte buffers, driven by the fuzz target with any bytes at all.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/FrameCodec.h"

constexpr size_t MbapHeaderLength = 7;  // identifier 2, protocol 2, length 2, unit 1

// The ADU that carries the RTU `request` (slave, PDU, CRC) with
// `transaction` as its identifier and the slave as its unit identifier.
// Its length, or 0 when it does not fit `capacity` or the request is no
// frame.
size_t EncodeMbap(const Frame& request, uint16_t transaction, uint8_t* out, size_t capacity);

struct MbapSearch {
  enum class State {
    Incomplete,  // no answer to the transaction yet; more bytes may bring one
    Found,       // the answer to the transaction, in `answer` as an RTU frame
    Malformed,   // a header that cannot be (another protocol, a length out of
                 // range) or an answer to the transaction that does not fit
                 // its own header: the stream is out of step
  };
  State state = State::Incomplete;
  // Whole ADUs of other transactions (late answers) at the front: their
  // bytes and their number, to be dropped and counted by the caller.
  size_t staleBytes = 0;
  unsigned staleAnswers = 0;
  size_t offset = 0;  // Found, Malformed: where its ADU starts among the bytes
  size_t length = 0;  // Found: the ADU's length
};

// The RTU frame (unit, PDU, CRC) that the whole ADU at `adu` carries, and
// its transaction identifier; false when the bytes are not one whole ADU.
bool RtuOfMbap(const uint8_t* adu, size_t length, Frame& rtu, uint16_t& transaction);

// Looks for the answer to `request`, sent as `transaction`, among the
// `count` bytes received. ADUs of other transactions before it are passed
// over; a Found answer is rebuilt in `answer` as the RTU frame (unit, PDU,
// CRC) that the driver's own answer would be.
MbapSearch FindMbapAnswer(const Frame& request, uint16_t transaction, const uint8_t* received, size_t count,
                          Frame& answer);
