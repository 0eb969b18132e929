// Fuzz target: the Telnet stream of a COM-port-control server, split into
// chunks at any points; whatever the bytes, the line's bytes come out in
// order however the stream was split, escaped line bytes come back as they
// went, and every command holds no more than its bound.
//
// Input: bytes 0-1 the seed of the chunk sizes; the rest is the stream.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "link/Telnet.h"

namespace {

struct Decoded {
  std::vector<uint8_t> data;
  std::vector<uint8_t> commands;  // verb, option, payload length of each
};

// Fills `out`, whose vectors keep their room from one input to the next:
// growing them anew for every input cost more than the decoding.
void Decode(const uint8_t* stream, size_t size, uint32_t seed, Decoded& out) {
  telnet::Decoder decoder;
  out.data.clear();
  out.commands.clear();
  const auto onCommand = [&out](const telnet::Command& command) {
    FUZZ_REQUIRE(command.payloadLength <= telnet::MaxPayload);
    FUZZ_REQUIRE(command.verb == telnet::SB || (command.verb >= telnet::WILL && command.verb <= telnet::DONT));
    out.commands.insert(out.commands.end(),
                        {command.verb, command.option, static_cast<uint8_t>(command.payloadLength)});
    if (command.payloadLength > 0) out.commands.insert(out.commands.end(), command.payload, command.payload + command.payloadLength);
  };
  uint8_t data[64];
  for (size_t taken = 0; taken < size;) {
    seed ^= seed << 13;
    seed ^= seed >> 17;
    seed ^= seed << 5;
    const size_t chunk = seed == 0 ? size - taken : std::min<size_t>(1 + seed % 64, size - taken);
    const size_t written = decoder.Feed(stream + taken, chunk, data, onCommand);
    FUZZ_REQUIRE(written <= chunk);
    out.data.insert(out.data.end(), data, data + written);
    taken += chunk;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 2) return 0;
  const uint32_t seed = static_cast<uint32_t>(input[0] << 8 | input[1]) | 0x10000u;
  const uint8_t* stream = input + 2;
  const size_t length = size - 2;
  if (length > 4096) return 0;

  // However the stream is split, it decodes the same.
  static Decoded split;
  static Decoded whole;
  Decode(stream, length, seed, split);
  whole.data.resize(length);
  whole.commands.clear();
  telnet::Decoder once;
  const size_t written = once.Feed(stream, length, whole.data.data(), [](const telnet::Command& command) {
    whole.commands.insert(whole.commands.end(), {command.verb, command.option, static_cast<uint8_t>(command.payloadLength)});
    if (command.payloadLength > 0) {
      whole.commands.insert(whole.commands.end(), command.payload, command.payload + command.payloadLength);
    }
  });
  whole.data.resize(written);
  FUZZ_REQUIRE(whole.data == split.data);
  FUZZ_REQUIRE(whole.commands == split.commands);

  // The stream's bytes as line bytes, escaped, come back unchanged.
  static std::vector<uint8_t> escaped;
  static std::vector<uint8_t> again;
  escaped.resize(2 * length);
  escaped.resize(telnet::Escape(stream, length, escaped.data()));
  telnet::Decoder back;
  again.resize(escaped.size());
  bool anyCommand = false;
  again.resize(back.Feed(escaped.data(), escaped.size(), again.data(), [&anyCommand](const telnet::Command&) { anyCommand = true; }));
  FUZZ_REQUIRE(!anyCommand);
  FUZZ_REQUIRE(again.size() == length && (length == 0 || std::memcmp(again.data(), stream, length) == 0));
  return 0;
}
