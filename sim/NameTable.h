// Command-line names of the simulator's enumerations, kept as tables of
// value and name.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace sim {

template <typename Value>
struct Named {
  Value value;
  std::string_view name;
};

// The name of `value`; the first entry's name for a value not listed.
template <typename Value, size_t N>
std::string_view NameIn(const Named<Value> (&table)[N], Value value) {
  for (const Named<Value>& entry : table) {
    if (entry.value == value) return entry.name;
  }
  return table[0].name;
}

template <typename Value, size_t N>
std::optional<Value> ValueIn(const Named<Value> (&table)[N], std::string_view name) {
  for (const Named<Value>& entry : table) {
    if (entry.name == name) return entry.value;
  }
  return std::nullopt;
}

}  // namespace sim
