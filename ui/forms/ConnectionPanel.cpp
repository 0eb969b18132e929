#include "ui/forms/ConnectionPanel.h"

#include <cstdlib>

namespace forms {

uint8_t AddressFromSwitches(const AddressSwitches& checked) {
  unsigned value = 0;
  for (int i = ids::AddressSwitchCount - 1; i >= 0; --i) {
    value = (value << 1) | (checked[i] != 0 ? 1u : 0u);
  }
  return static_cast<uint8_t>(value + 1);
}

AddressSwitches SwitchesForAddress(uint8_t address) {
  AddressSwitches checked{};
  const unsigned bits = address > 0 ? address - 1u : 0u;
  for (int i = 0; i < ids::AddressSwitchCount; ++i) checked[i] = (bits >> i) & 1u;
  return checked;
}

int BaudRateFromText(const std::string& itemText) { return std::atoi(itemText.c_str()); }

}  // namespace forms
