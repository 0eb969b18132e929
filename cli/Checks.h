// The checks of korvelt's option values, in the language in use: each
// refusal names the value and what was expected, and the usage error puts
// the option's name before it.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

// One of `names`.
CLI::Validator OneOf(std::vector<std::string> names);
// One of `values`, written as decimal numbers.
CLI::Validator OneOfNumbers(const std::vector<int>& values);
// A whole number from `low` to `high`.
CLI::Validator WholeNumber(uint64_t low, uint64_t high);
// A whole number from 1 up, as large as its option holds.
CLI::Validator PositiveNumber();
// A check of its own: `check` gives the refusal, empty when the text is fine.
CLI::Validator Check(std::string (*check)(const std::string& text));

}  // namespace cli
