// Numbers typed by the operator and numbers shown to the operator. Entries
// are read exactly as decimal text, so 0.29 A at 0.01 A is 29 and not the 28
// that a binary product truncated toward zero would give; floats are shown
// with the page's format as long as that text reads back to the same float.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fields/Param.h"

namespace fields {

// The whole text, spaces around it allowed, as a decimal number in C notation
// ("12", "-0.5", ".5", "1e3", "+2."), multiplied by 10^decimals and rounded
// to the nearest integer, halves away from zero. Magnitudes beyond 2^62 come
// out as ±2^62, which no register holds. nullopt when the text is not such a
// number (empty, "abc", "1.5x", "0x10", "inf", "1,5").
std::optional<int64_t> ParseScaled(std::string_view text, int decimals);

// The text as a single-precision number, nearest value, by the same grammar;
// nullopt also when it is beyond the float range.
std::optional<float> ParseFloat(std::string_view text);

// value × 10^-decimals with exactly `decimals` digits after the point, as
// "%.1f" and its kind print it ("-0.001", "6553.5", "12").
std::string FormatScaled(int64_t value, int decimals);

// "%f" or "%g" of the value, or the shortest text that reads back to the
// same float where that format would lose it (1e-7 under "%f", 1234567
// under "%g").
std::string FormatFloat(float value, FloatText format);

}  // namespace fields
