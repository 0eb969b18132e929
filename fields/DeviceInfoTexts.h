// The device-information block as the tool shows it: one entry per value,
// with its key, name and unit, and the texts of the window's box.
#pragma once

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "driver/RegisterMap.h"

namespace fields {

constexpr size_t DeviceInfoFieldCount = 7;

struct InfoField {
  const char* key;   // "identity", "model", "version", ...
  const char* name;  // the box's label without its colon
  const char* unit;  // "" where the text carries none
};

// The seven, in the order the window sets them.
std::span<const InfoField> DeviceInfoFields();

// The texts, in the order of DeviceInfoFields(). The model shows all 16
// bytes of its registers, up to its first NUL.
std::array<std::string, DeviceInfoFieldCount> DeviceInfoTexts(const DeviceInfoBlock& info);

// Indexes of the three that identify a device.
constexpr size_t IdentityField = 0;
constexpr size_t VersionField = 1;
constexpr size_t ModelField = 2;

}  // namespace fields
