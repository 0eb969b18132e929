#include "cli/Checks.h"

#include <algorithm>

#include "lang/Texts.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;

// A value is quoted in a refusal at most this long: the rest is the user's
// own text, which they have.
constexpr size_t kQuoted = 40;

std::string Quoted(const std::string& text) { return text.substr(0, kQuoted); }

std::string Joined(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
  return joined;
}

bool ParseWhole(const std::string& text, uint64_t& value) {
  // Nineteen digits always fit; no range here needs more.
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(text);
  return true;
}

}  // namespace

// Validators described by nothing: the help shows the option's type alone,
// and the option's description says what it takes.
CLI::Validator OneOf(std::vector<std::string> names) {
  return CLI::Validator(
      [names = std::move(names)](std::string& text) {
        if (std::find(names.begin(), names.end(), text) != names.end()) return std::string();
        return Fill(Tr("{1} 不是可选值之一: {2}"), {Quoted(text), Joined(names)});
      },
      "");
}

CLI::Validator OneOfNumbers(const std::vector<int>& values) {
  std::vector<std::string> names;
  for (const int value : values) names.push_back(std::to_string(value));
  return OneOf(std::move(names));
}

CLI::Validator WholeNumber(uint64_t low, uint64_t high) {
  return CLI::Validator(
      [low, high](std::string& text) {
        uint64_t value = 0;
        if (ParseWhole(text, value) && value >= low && value <= high) return std::string();
        return Fill(Tr("{1} 不是 {2} 到 {3} 之间的整数"), {Quoted(text), std::to_string(low), std::to_string(high)});
      },
      "");
}

CLI::Validator PositiveNumber() {
  return CLI::Validator(
      [](std::string& text) {
        uint64_t value = 0;
        if (ParseWhole(text, value) && value >= 1) return std::string();
        return Fill(Tr("{1} 不是正整数"), {Quoted(text)});
      },
      "");
}

CLI::Validator Check(std::string (*check)(const std::string& text)) {
  return CLI::Validator([check](std::string& text) { return check(text); }, "");
}

}  // namespace cli
