#include "fields/NumberText.h"

#include <locale.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "fields/CFormat.h"

namespace fields {
namespace {

constexpr int64_t Saturated = int64_t{1} << 62;
// 2^62 has 19 digits: an integer part of more is beyond it.
constexpr int MaxDigits = 19;

struct Decimal {
  bool negative = false;
  std::string digits;  // significant digits, no leading zeros
  int exponent = 0;    // value = digits × 10^exponent
};

std::string_view Trim(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  return text;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// [+-] digits [. digits] [(e|E) [+-] digits], with at least one digit before
// the exponent.
std::optional<Decimal> ParseDecimal(std::string_view text) {
  text = Trim(text);
  Decimal number;
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
  bool anyDigit = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (IsDigit(c)) {
      anyDigit = true;
      if (point) --number.exponent;
      if (number.digits.empty() && c == '0') continue;
      number.digits.push_back(c);
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return std::nullopt;
  if (i < text.size()) {
    if (text[i] != 'e' && text[i] != 'E') return std::nullopt;
    ++i;
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    int64_t exponent = 0;
    for (; i < text.size(); ++i) {
      if (!IsDigit(text[i])) return std::nullopt;
      exponent = std::min<int64_t>(exponent * 10 + (text[i] - '0'), 100000);
    }
    number.exponent += static_cast<int>(negativeExponent ? -exponent : exponent);
  }
  return number;
}

}  // namespace

std::optional<int64_t> ParseScaled(std::string_view text, int decimals) {
  std::optional<Decimal> number = ParseDecimal(text);
  if (!number) return std::nullopt;
  const std::string& digits = number->digits;
  const int64_t shift = static_cast<int64_t>(number->exponent) + decimals;
  // Digits of the integer part after scaling, and the first digit dropped.
  const int64_t integerDigits = static_cast<int64_t>(digits.size()) + shift;
  if (digits.empty() || integerDigits < 0) return 0;
  if (integerDigits > MaxDigits) return number->negative ? -Saturated : Saturated;
  // Nineteen digits, and one more for rounding, fit an unsigned 64-bit value.
  uint64_t value = 0;
  for (int64_t k = 0; k < integerDigits; ++k) {
    value = value * 10 + (k < static_cast<int64_t>(digits.size()) ? digits[static_cast<size_t>(k)] - '0' : 0);
  }
  if (integerDigits < static_cast<int64_t>(digits.size()) && digits[static_cast<size_t>(integerDigits)] >= '5') {
    ++value;
  }
  const auto magnitude = static_cast<int64_t>(std::min(value, static_cast<uint64_t>(Saturated)));
  return number->negative ? -magnitude : magnitude;
}

std::optional<float> ParseFloat(std::string_view text) {
  if (!ParseDecimal(text)) return std::nullopt;
  // strtof of the "C" locale, whatever the program's locale: the point is '.'.
  static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  const std::string copy(Trim(text));
  const float value = strtof_l(copy.c_str(), nullptr, cLocale);
  if (!std::isfinite(value)) return std::nullopt;
  return value;
}

std::string FormatScaled(int64_t value, int decimals) {
  int64_t unit = 1;
  for (int i = 0; i < decimals; ++i) unit *= 10;
  const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  std::string text = value < 0 ? "-" : "";
  text += std::to_string(magnitude / static_cast<uint64_t>(unit));
  if (decimals > 0) {
    std::string fraction = std::to_string(magnitude % static_cast<uint64_t>(unit));
    text += '.' + std::string(static_cast<size_t>(decimals) - fraction.size(), '0') + fraction;
  }
  return text;
}

std::string FormatFloat(float value, FloatText format) {
  std::string text = CFormat(format == FloatText::Fixed ? "%f" : "%g", static_cast<double>(value));
  if (!std::isfinite(value)) return text;
  const std::optional<float> back = ParseFloat(text);
  if (back && std::bit_cast<uint32_t>(*back) == std::bit_cast<uint32_t>(value)) return text;
  char shortest[64];
  const std::to_chars_result end = std::to_chars(shortest, shortest + sizeof shortest, value);
  return std::string(shortest, end.ptr);
}

}  // namespace fields
