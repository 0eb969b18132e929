// The connection panel's item lists, its address switches and the baud
// rate of a list item.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ui/forms/ControlIds.h"

namespace forms {

using AddressSwitches = std::array<int, ids::AddressSwitchCount>;

// Switch i has weight 2^i; the address is the sum of the checked weights
// plus 1, so 1 (none) to 128 (all).
uint8_t AddressFromSwitches(const AddressSwitches& checked);
// The switches that give `address` (1..128).
AddressSwitches SwitchesForAddress(uint8_t address);

// The leading decimal digits of a baud-rate item ("115200" -> 115200).
int BaudRateFromText(const std::string& itemText);

}  // namespace forms
