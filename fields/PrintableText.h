// Texts that the tool did not write itself (a driver's model and
// identification objects, the keys of a parameter file) made safe to show
// on a terminal, in a log line or in a message, and the exact byte form a
// file keeps of them when they are no UTF-8.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace fields {

// The text with every byte that is no UTF-8 and every control character
// (line breaks and escape sequences included) shown as U+FFFD.
std::string Printable(std::string_view text);

// The same, of at most `maxBytes` bytes of the text (cut at a character),
// with "…" where it was cut: a key of a megabyte is not echoed whole.
std::string PrintableCut(std::string_view text, size_t maxBytes);

// The longest key a message quotes.
inline constexpr size_t MaxQuotedKey = 64;

// True when every byte of the text belongs to a UTF-8 sequence.
bool IsUtf8(std::string_view text);

// The bytes as lower-case hex digits, two per byte ("c4a3"); and back,
// none for a text that is not such digits.
std::string HexDigits(std::string_view bytes);
std::optional<std::string> BytesOfHexDigits(std::string_view digits);

}  // namespace fields
