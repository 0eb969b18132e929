// Fuzz target: the walk over identification objects fed with any answers a
// driver could give, as the master hands them over (at most 255 bytes from
// the more-follows byte on).
//
// Input: answers one after the other, each as a length byte and that many
// bytes.
#include <algorithm>
#include <bitset>
#include <cstdint>

#include "FuzzCheck.h"
#include "link/IdentificationWalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The longest name is 18 bytes; each object adds at most CRLF, its name
  // and ':' before its value bytes.
  constexpr size_t kMostPerObject = 2 + 18 + 1;
  IdentificationWalk walk;
  std::bitset<256> asked;
  int requests = 0;
  size_t offset = 0;
  bool more = true;
  while (more && offset < size) {
    FUZZ_REQUIRE(!asked.test(walk.NextObjectId()));
    asked.set(walk.NextObjectId());
    const size_t length = std::min<size_t>(data[offset], size - offset - 1);
    const size_t before = walk.Text().size();
    more = walk.Take(data + offset + 1, length);
    ++requests;
    FUZZ_REQUIRE(requests <= IdentificationWalk::MaxRequests);
    FUZZ_REQUIRE(walk.Text().size() - before <= (length / 2 + 1) * kMostPerObject + length);
    offset += 1 + length;
  }
  return 0;
}
