// Who a driver is: its device-information block as the window shows it and,
// where the driver has them, its identification objects. The parameter file
// records it, the command line prints it, a scan lists it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/DriverLink.h"
#include "fields/DeviceInfoTexts.h"

// One identification object as the tool keeps it: the driver's object id
// (-1 where a file of the older shape did not say), its name and its value,
// the bytes the driver gave.
struct IdentityObject {
  int id = -1;
  std::string name;
  std::string value;

  bool operator==(const IdentityObject&) const = default;
};

struct DeviceIdentity {
  DeviceInfoBlock info{};
  // The texts of the device-information box, in the order of
  // fields::DeviceInfoFields().
  std::array<std::string, fields::DeviceInfoFieldCount> texts;
  // The identification objects in the order the driver gave them, each on
  // its own, never joined into one text.
  std::vector<IdentityObject> objects;
  // ResultSuccess when the driver gave its objects (none at all included);
  // else how the identification request ended (no answer, an exception),
  // and there are no objects.
  ModbusResult objectsResult = ResultSuccess;

  bool ObjectsAbsent() const { return objectsResult != ResultSuccess; }
  // "读取标识对象: 通讯超时": why the objects are absent, for a message and
  // the files; empty when the driver gave them.
  std::string ObjectsAbsentReason() const;
  const std::string& Identity() const { return texts[fields::IdentityField]; }
  const std::string& Model() const { return texts[fields::ModelField]; }
  const std::string& Version() const { return texts[fields::VersionField]; }
};

// Reads the device-information block, then the identification objects.
// The result is the block's: `identity` is changed only when it was read.
// A driver that answers no identification request still has the block;
// objectsResult then says why the objects are absent.
ModbusResult ReadDeviceIdentity(DriverLink& link, uint8_t slave, DeviceIdentity& identity);
