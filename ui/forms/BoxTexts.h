// The texts of the device-information and real-time status boxes, each
// with the control it goes to.
#pragma once

#include <array>

#include "driver/RegisterMap.h"
#include "fields/DeviceInfoTexts.h"
#include "fields/StatusTexts.h"
#include "ui/forms/FieldText.h"

namespace forms {

using fields::DeviceInfoFieldCount;
using fields::ErrorStateText;
using fields::StatusFailureFieldCount;
using fields::StatusFieldCount;

// All seventeen status fields, in the order the window sets them.
std::array<FieldText, StatusFieldCount> StatusTexts(const StatusBlock& status);
// The controls that show the failure text of a status read that did not
// come through.
const std::array<int, StatusFailureFieldCount>& StatusFailureFields();

// The seven device-information fields.
std::array<FieldText, DeviceInfoFieldCount> DeviceInfoTexts(const DeviceInfoBlock& info);

}  // namespace forms
