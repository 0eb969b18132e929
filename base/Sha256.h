// SHA-256 of a file's bytes, as its fingerprint in what the tool prints and
// records (a test plan names the exact file it was run from).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

using Sha256Digest = std::array<uint8_t, 32>;

Sha256Digest Sha256(std::string_view bytes);
// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace base
