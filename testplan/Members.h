// The members of one object of a plan, read one key at a time: each value
// of the wrong type, out of its range or missing is refused with where it
// is ("第 3 步 \"空载运行\"") and its key, and a key no one asked for is
// refused as well, so that a misspelt limit is never left out unnoticed.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "testplan/Plan.h"

namespace testplan {

using Json = nlohmann::ordered_json;

// A name a plan writes for one value of a list.
struct Named {
  const char* key;
  uint16_t value;
};

class Members {
 public:
  // `where` heads every refusal; empty for the plan itself.
  Members(const Json& object, std::string where) : object_(object), where_(std::move(where)) {}

  // The value of `key`, marked as asked for; nullptr when there is none.
  const Json* Find(const char* key);
  // "<where>: <what>".
  std::string Refuse(std::string_view what) const;
  std::string Refuse(const char* key, std::string_view what) const;

  // Each gives empty when the value was taken, else the refusal.
  // A one-line text of at most `maxBytes`, not empty.
  std::string Text(const char* key, std::string& out, size_t maxBytes, bool multiline = false);
  // A finite number; nullopt when the key is absent.
  std::string Number(const char* key, std::optional<double>& out);
  // Seconds in (0, MaxSeconds], or from 0 when `zeroAllowed`; `fallback`
  // when absent and not required.
  std::string Seconds(const char* key, Milliseconds& out, bool zeroAllowed, std::optional<Milliseconds> fallback);
  // One of `names`; `fallback` when absent, required when there is none.
  std::string Choice(const char* key, std::span<const Named> names, uint16_t& out, std::optional<uint16_t> fallback);
  // The first key that was not asked for, refused; empty when there is none.
  std::string Unasked() const;

  const std::string& Where() const { return where_; }

 private:
  const Json& object_;
  std::string where_;
  std::vector<std::string> asked_;
};

// The longest time a step may give: an hour.
inline constexpr double MaxSeconds = 3600;

// "a, b or c": the keys of a list, for a refusal.
std::string KeysOf(std::span<const Named> names);

}  // namespace testplan
