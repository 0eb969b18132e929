// Texts of the device-information box, made from one DeviceInfoBlock.
#pragma once

#include <array>

#include "driver/RegisterMap.h"
#include "ui/forms/FieldText.h"

namespace forms {

constexpr size_t DeviceInfoFieldCount = 7;

// The seven fields, in the order the window sets them. The model shows at
// most 15 bytes and stops at its first NUL.
std::array<FieldText, DeviceInfoFieldCount> DeviceInfoTexts(const DeviceInfoBlock& info);

}  // namespace forms
