// A pattern a text must match: a device model, a unit's serial number.
// Printable ASCII, where '*' stands for any run of characters (none too),
// '?' for any one, "[A-Z0-9]" for one of a set ("[!...]": one not in it) and
// '\' takes the next character as it is. A text without these is matched
// whole, as it is written.
#pragma once

#include <bitset>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testplan {

// The longest pattern taken; a serial number or a model is far shorter.
inline constexpr size_t MaxPatternLength = 64;

class Pattern {
 public:
  // The pattern of `text`, or nullopt with `refusal` saying what is wrong
  // with it (in the language in use).
  static std::optional<Pattern> Parse(std::string_view text, std::string& refusal);

  // `text` with every character the pattern would read as a wildcard
  // escaped: the pattern of exactly `text`.
  static std::string Escaped(std::string_view text);

  bool Matches(std::string_view text) const;
  const std::string& Text() const { return text_; }
  // The fewest characters a matching text has.
  size_t ShortestMatch() const;
  // Whether it matches only the one text it spells.
  bool Literal() const;

 private:
  enum class Kind { Character, AnyOne, AnyRun, Set };
  struct Token {
    Kind kind = Kind::Character;
    char character = 0;
    std::bitset<128> set;  // Set: the characters it takes
  };
  bool Takes(const Token& token, char c) const;

  std::string text_;
  std::vector<Token> tokens_;
};

}  // namespace testplan
