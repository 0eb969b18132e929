// A driver's identity in every JSON document the tool writes: the parameter
// file, the recording's companion, `korvelt info --json`, a scan's drivers
// and the comparison of a file with a driver. One shape, written by
// IdentityJson and read by TakeIdentity:
//
//   {"fields": [{"key", "name", "text", "unit"}, ...],   the device-information texts in the box's order
//    "objects": [{"id", "name", "value"}, ...]}          the identification objects in the driver's order
//
// The driver's bytes are kept exactly: a text that is UTF-8 is written as
// it is; one that is not (a model in GBK) is written printable, with its
// bytes beside it as hex digits under the same key with "Hex" added
// ("textHex", "nameHex", "valueHex"), and read back from those. A driver
// that answered no identification request has "objects": null and the
// reason under "objectsAbsent"; a document that says nothing of the objects
// (a scan reads only the device-information block) has no "objects".
#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "device/Identity.h"
#include "fields/DeviceInfoTexts.h"

namespace device {

// The identity as a document keeps it.
struct IdentityRecord {
  // The device-information texts in the order of fields::DeviceInfoFields();
  // none where the document did not keep one (a parameter file of the
  // older shape kept only the identity, model and version).
  std::array<std::optional<std::string>, fields::DeviceInfoFieldCount> texts;
  // False where the document says nothing of identification objects.
  bool objectsRead = true;
  std::vector<IdentityObject> objects;  // in the driver's order
  // Why there are no objects, for a driver that answered no identification
  // request ("读取标识对象: 通讯超时"); empty when it gave them.
  std::string objectsAbsent;

  // The text of `field`; empty where the document did not keep it.
  const std::string& Text(size_t field) const;
  const std::string& Identity() const { return Text(fields::IdentityField); }
  const std::string& Model() const { return Text(fields::ModelField); }
  const std::string& Version() const { return Text(fields::VersionField); }

  bool operator==(const IdentityRecord&) const = default;
};

// What was read from a driver: every text and the objects (or why not).
IdentityRecord RecordOf(const DeviceIdentity& identity);
// The device-information texts alone, with nothing said of the objects.
IdentityRecord RecordOfTexts(const std::array<std::string, fields::DeviceInfoFieldCount>& texts);

// Documents keep their members in the order written.
using IdentityDocument = nlohmann::ordered_json;

IdentityDocument IdentityJson(const IdentityRecord& record);
// The identity of the driver at `slave`, read now, as IdentityJson writes
// it; null when the driver did not give it. For a recording's companion.
nlohmann::json ReadIdentityJson(DriverLink& link, uint8_t slave);

// Takes the identity of `value` into `record`: the shape IdentityJson
// writes, and those earlier versions wrote (the parameter file's
// "identity", "model" and "version" beside the objects; the companion's
// "fields" keyed by key; objects keyed by name, whose ids are not known).
// The identity, model and version must be there. Empty when taken, else
// why not.
std::string TakeIdentity(const IdentityDocument& value, IdentityRecord& record);

}  // namespace device
