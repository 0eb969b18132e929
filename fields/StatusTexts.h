// The driver's live status as the tool shows it: one entry per value of the
// status box, with its key, its name and its unit; the texts the box shows
// and, for the measured quantities, the number in that unit.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "driver/RegisterMap.h"

namespace fields {

constexpr size_t StatusFieldCount = 17;
constexpr size_t StatusFailureFieldCount = 8;

struct StatusField {
  const char* key;    // the StatusBlock member ("outputPwm"; a register pair without High/Low)
  const char* name;   // the box's label without its colon
  const char* unit;   // "" for a state
  bool measured;      // a quantity over time (a plot's series), not a state
};

// All seventeen, in the order the window sets them.
std::span<const StatusField> StatusFields();

// The indexes of the measured fields (the quantities over time), in the
// order of StatusFields().
std::span<const size_t> MeasuredStatusFields();

// The texts of the box, in the order of StatusFields().
std::array<std::string, StatusFieldCount> StatusTexts(const StatusBlock& status);

// A measured value in its field's unit (the range flag applied); nullopt for
// a state, or a speed the driver does not know (0xFFFF).
std::optional<double> StatusValue(const StatusBlock& status, size_t field);

// The values a measured field can take in its unit, whichever unit the
// range flag chooses; nullopt for a state.
struct StatusRange {
  double low;
  double high;
};
std::optional<StatusRange> StatusValueRange(size_t field);

// The fields that show the failure text of a status read that did not come
// through, as indexes into StatusFields(); the other nine keep theirs.
const std::array<size_t, StatusFailureFieldCount>& StatusFailureFields();

// Text of the driver's error-state code, in the language in use.
const char* ErrorStateText(unsigned code);

// Where a field lives in the status block: its first register and how many
// it takes, and whether its unit also depends on the range flag register.
struct StatusPlace {
  size_t first;
  size_t count;
  bool rangeFlag;
};
StatusPlace StatusPlaceOf(size_t field);
// The register that chooses the commutation frequency's and the speed's unit.
constexpr size_t StatusRangeFlagRegister = 21;
// The register of the error state (错误状态).
constexpr size_t StatusErrorRegister = 19;

// Decimal places of a measured value in its unit (2 for the phase current
// in A): as many as the register's resolution has.
int StatusDecimals(size_t field);

}  // namespace fields
