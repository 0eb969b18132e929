// The Telnet stream of a device server with COM-port control: the line's
// bytes with 0xFF doubled, option negotiation and subnegotiations between
// them. A pure decoder over byte buffers, fed as bytes come, with a bound
// on what it holds; the fuzz target drives it with any bytes at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace telnet {

constexpr uint8_t SE = 240, SB = 250, WILL = 251, WONT = 252, DO = 253, DONT = 254, IAC = 255;
constexpr uint8_t OptionBinary = 0, OptionSuppressGoAhead = 3, OptionComPort = 44;

// The longest subnegotiation payload kept; the rest of a longer one is
// dropped and the command marked truncated.
constexpr size_t MaxPayload = 32;

struct Command {
  uint8_t verb = 0;    // WILL, WONT, DO, DONT, or SB for a subnegotiation
  uint8_t option = 0;
  const uint8_t* payload = nullptr;  // SB: what followed the option, unescaped
  size_t payloadLength = 0;
  bool truncated = false;
};

class Decoder {
 public:
  using OnCommand = std::function<void(const Command&)>;
  // Decodes `length` bytes of the stream: the line's bytes go to `data`
  // (room for `length` bytes is enough), each whole command to
  // `onCommand`. Returns how many line bytes it wrote. A command split
  // across calls is completed by the next.
  size_t Feed(const uint8_t* bytes, size_t length, uint8_t* data, const OnCommand& onCommand);

 private:
  enum class State { Data, Iac, Verb, SubOption, SubData, SubIac };
  State state_ = State::Data;
  uint8_t verb_ = 0;
  uint8_t option_ = 0;
  uint8_t payload_[MaxPayload] = {};
  size_t payloadLength_ = 0;
  bool truncated_ = false;
};

// The line's bytes as they go into the stream: 0xFF doubled. `out` has
// room for twice `length`; returns the bytes written.
size_t Escape(const uint8_t* bytes, size_t length, uint8_t* out);

}  // namespace telnet
