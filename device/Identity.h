// Who a driver is: its device-information block as the window shows it and,
// where the driver has them, its identification objects. The parameter file
// records it, the command line prints it, a scan lists it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "driver/DriverLink.h"
#include "fields/DeviceInfoTexts.h"

struct DeviceIdentity {
  DeviceInfoBlock info{};
  // The texts of the device-information box, in the order of
  // fields::DeviceInfoFields().
  std::array<std::string, fields::DeviceInfoFieldCount> texts;
  // The identification objects as name and value, in the order the driver
  // gave them; empty for a driver that has none.
  std::vector<std::pair<std::string, std::string>> objects;

  const std::string& Identity() const { return texts[fields::IdentityField]; }
  const std::string& Model() const { return texts[fields::ModelField]; }
  const std::string& Version() const { return texts[fields::VersionField]; }
};

// Reads the device-information block, then the identification objects. A
// driver that answers the identification request with an exception has
// none; any other failure is the result. `identity` is changed only on
// success.
ModbusResult ReadDeviceIdentity(DriverLink& link, uint8_t slave, DeviceIdentity& identity);

// The "name:value" lines of the identification text, split.
std::vector<std::pair<std::string, std::string>> SplitIdentificationText(const std::string& text);
