// Texts of the real-time status box, made from one StatusBlock.
#pragma once

#include <array>
#include <string>

#include "driver/RegisterMap.h"
#include "ui/forms/FieldText.h"

namespace forms {

constexpr size_t StatusFieldCount = 17;
constexpr size_t StatusFailureFieldCount = 8;

// All seventeen fields, in the order the window sets them.
std::array<FieldText, StatusFieldCount> StatusTexts(const StatusBlock& status);

// The fields that show the failure text of a status read that did not come
// through, in the order the window sets them; the other nine keep theirs.
const std::array<int, StatusFailureFieldCount>& StatusFailureFields();

// Text of the driver's error-state code.
const char* ErrorStateText(unsigned code);

}  // namespace forms
