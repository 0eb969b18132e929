// Fuzz target: the numbers an operator types, in the window's entries and
// on korvelt's command line, read as decimal text. Whatever the text, a
// number it is read as is shown again as a text that reads back to the
// same number: scaled integers at their register's decimals, floats in
// both of the pages' formats, to the bit.
//
// Input: byte 0 the decimals (modulo 7: the register map's scales and a
// little beyond); the rest is the text.
#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>

#include "FuzzCheck.h"
#include "fields/NumberText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int decimals = data[0] % 7;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  constexpr int64_t kLargest = int64_t{1} << 62;
  if (const std::optional<int64_t> scaled = fields::ParseScaled(text, decimals)) {
    FUZZ_REQUIRE(*scaled >= -kLargest && *scaled <= kLargest);
    FUZZ_REQUIRE(fields::ParseScaled(fields::FormatScaled(*scaled, decimals), decimals) == scaled);
  }
  if (const std::optional<float> value = fields::ParseFloat(text)) {
    for (const fields::FloatText format : {fields::FloatText::Fixed, fields::FloatText::General}) {
      const std::optional<float> back = fields::ParseFloat(fields::FormatFloat(*value, format));
      FUZZ_REQUIRE(back && std::bit_cast<uint32_t>(*back) == std::bit_cast<uint32_t>(*value));
    }
  }
  return 0;
}
