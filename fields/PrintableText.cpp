#include "fields/PrintableText.h"

#include <algorithm>

namespace fields {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";

// The length of the UTF-8 sequence at `at`, or 0 where it is none (a stray
// continuation byte, an overlong or cut sequence, a surrogate, beyond
// U+10FFFF).
size_t SequenceAt(std::string_view text, size_t at) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned lead = byte(at);
  const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                        : lead >= 0xF0 && lead < 0xF5                  ? 4
                                                                       : 0;
  if (length == 0 || at + length > text.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(at + i) & 0xC0) != 0x80) return 0;
  }
  if (length == 3 && ((lead == 0xE0 && byte(at + 1) < 0xA0) || (lead == 0xED && byte(at + 1) >= 0xA0))) return 0;
  if (length == 4 && ((lead == 0xF0 && byte(at + 1) < 0x90) || (lead == 0xF4 && byte(at + 1) >= 0x90))) return 0;
  return length;
}

// C0 controls, DEL and the C1 controls (U+0080..U+009F, which some
// terminals take as the start of a sequence).
bool IsControl(std::string_view text, size_t at, size_t length) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (length == 1) return lead < 0x20 || lead == 0x7F;
  return length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
}

int HexValue(char digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  return -1;
}

}  // namespace

std::string PrintableCut(std::string_view text, size_t maxBytes) {
  std::string out;
  out.reserve(std::min(text.size(), maxBytes) + 3);
  size_t kept = 0;  // text[kept, at) is printable and not yet copied: runs go in one append
  for (size_t at = 0; at < text.size();) {
    // Printable ASCII, most of any text, needs no sequence to be read.
    const auto lead = static_cast<unsigned char>(text[at]);
    const bool plain = lead >= 0x20 && lead < 0x7F;
    const size_t length = plain ? 1 : SequenceAt(text, at);
    const size_t taken = length == 0 ? 1 : length;
    if (at + taken > maxBytes) {
      out.append(text, kept, at - kept);
      out += "\xE2\x80\xA6";
      return out;
    }
    if (!plain && (length == 0 || IsControl(text, at, length))) {
      out.append(text, kept, at - kept);
      out += kReplacement;
      kept = at + taken;
    }
    at += taken;
  }
  out.append(text, kept, text.size() - kept);
  return out;
}

std::string Printable(std::string_view text) { return PrintableCut(text, text.size()); }

bool IsUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    const size_t length = SequenceAt(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string HexDigits(std::string_view bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string digits;
  digits.reserve(2 * bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    digits += kDigits[byte >> 4];
    digits += kDigits[byte & 0x0F];
  }
  return digits;
}

std::optional<std::string> BytesOfHexDigits(std::string_view digits) {
  if (digits.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(digits.size() / 2);
  for (size_t i = 0; i < digits.size(); i += 2) {
    const int high = HexValue(digits[i]);
    const int low = HexValue(digits[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high << 4 | low);
  }
  return bytes;
}

}  // namespace fields
