// Fuzz target: a test plan's patterns (its model and serial number
// patterns) and the serial numbers an operator types or a scanner sends,
// both outside input. Whatever the bytes: a pattern is refused or read; a
// text it matches is at least as long as its shortest match, still matches
// with a '*' in front, and matches behind any other character then; a
// text's escaped form is a literal pattern that matches that text alone.
//
// Input: byte 0 where the pattern ends and the text starts (modulo the
// rest's length); the pattern, then the text.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "testplan/Pattern.h"

namespace tp = testplan;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t split = rest.empty() ? 0 : data[0] % (rest.size() + 1);
  const std::string_view patternText = rest.substr(0, split);
  const std::string_view text = rest.substr(split);

  std::string refusal;
  if (const std::optional<tp::Pattern> pattern = tp::Pattern::Parse(patternText, refusal)) {
    FUZZ_REQUIRE(refusal.empty());
    if (pattern->Matches(text)) {
      FUZZ_REQUIRE(text.size() >= pattern->ShortestMatch());
      const std::string starred = "*" + std::string(patternText);
      std::string starRefusal;
      if (const std::optional<tp::Pattern> anyFirst = tp::Pattern::Parse(starred, starRefusal)) {
        FUZZ_REQUIRE(anyFirst->Matches(text) && anyFirst->Matches("x" + std::string(text)));
      }
    }
  } else {
    FUZZ_REQUIRE(!refusal.empty());
  }

  const std::string escaped = tp::Pattern::Escaped(text);
  refusal.clear();
  if (const std::optional<tp::Pattern> exact = tp::Pattern::Parse(escaped, refusal)) {
    FUZZ_REQUIRE(exact->Literal() && exact->ShortestMatch() == text.size());
    FUZZ_REQUIRE(exact->Matches(text));
    FUZZ_REQUIRE(!exact->Matches(std::string(text) + "x") && (text.empty() || !exact->Matches(text.substr(1))));
  }
  return 0;
}
