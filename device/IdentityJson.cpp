#include "device/IdentityJson.h"

#include <cstdint>

#include "fields/PrintableText.h"
#include "lang/Texts.h"

namespace device {
namespace {

using json = IdentityDocument;

const char* kNotAnIdentity = "设备信息 (\"device\") 应为含 identity、model、version 文本的对象";
const char* kNotObjects = "设备信息的标识对象 (\"objects\") 应为含 name 和 value 文本的列表";

std::string HexKey(const std::string& key) { return key + "Hex"; }

void PutDriverText(json& object, const std::string& key, const std::string& bytes) {
  if (fields::IsUtf8(bytes)) {
    object[key] = bytes;
    return;
  }
  object[key] = fields::Printable(bytes);
  object[HexKey(key)] = fields::HexDigits(bytes);
}

// The bytes of object[key]: its hex form where there is one, else its text;
// none when neither is there as a text, or the hex form is no hex digits.
std::optional<std::string> TakeDriverText(const json& object, const std::string& key) {
  if (const auto hex = object.find(HexKey(key)); hex != object.end()) {
    if (!hex->is_string()) return std::nullopt;
    return fields::BytesOfHexDigits(hex->get_ref<const std::string&>());
  }
  const auto text = object.find(key);
  if (text == object.end() || !text->is_string()) return std::nullopt;
  return text->get<std::string>();
}

json ObjectsJson(const std::vector<IdentityObject>& objects) {
  json list = json::array();
  for (const IdentityObject& object : objects) {
    json entry = json::object();
    if (object.id >= 0) entry["id"] = object.id;
    PutDriverText(entry, "name", object.name);
    PutDriverText(entry, "value", object.value);
    list.push_back(std::move(entry));
  }
  return list;
}

// The index of the device-information field named `key`, if there is one.
std::optional<size_t> FieldIndex(const std::string& key) {
  const auto fields = fields::DeviceInfoFields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (key == fields[i].key) return i;
  }
  return std::nullopt;
}

// A text of a field this version does not know is passed over; one given
// twice, or that is no text, refuses the identity.
bool Keep(IdentityRecord& record, const std::string& key, std::optional<std::string> text) {
  if (!text) return false;
  const std::optional<size_t> field = FieldIndex(key);
  if (!field) return true;
  if (record.texts[*field]) return false;
  record.texts[*field] = std::move(text);
  return true;
}

// "fields" as a list of {"key", "text"} entries.
bool TakeFieldList(const json& list, IdentityRecord& record) {
  for (const json& entry : list) {
    if (!entry.is_object()) return false;
    const auto key = entry.find("key");
    if (key == entry.end() || !key->is_string()) return false;
    if (!Keep(record, key->get<std::string>(), TakeDriverText(entry, "text"))) return false;
  }
  return true;
}

// "fields" as an object keyed by key, as the companion had it.
bool TakeKeyedFields(const json& keyed, IdentityRecord& record) {
  for (const auto& [key, text] : keyed.items()) {
    if (key.size() > 3 && key.ends_with("Hex") && keyed.contains(key.substr(0, key.size() - 3))) continue;
    if (!Keep(record, key, TakeDriverText(keyed, key))) return false;
  }
  return true;
}

bool TakeTexts(const json& value, IdentityRecord& record) {
  const auto list = value.find("fields");
  if (list == value.end()) {
    // The parameter file's older shape: the three that identify a device.
    for (const size_t field : {fields::IdentityField, fields::ModelField, fields::VersionField}) {
      const char* key = fields::DeviceInfoFields()[field].key;
      if (!Keep(record, key, TakeDriverText(value, key))) return false;
    }
    return true;
  }
  if (list->is_array()) return TakeFieldList(*list, record);
  return list->is_object() && TakeKeyedFields(*list, record);
}

// The objects of a list as ObjectsJson writes it, or of a JSON object keyed
// by name.
bool TakeObjects(const json& value, std::vector<IdentityObject>& objects) {
  if (value.is_object()) {
    for (const auto& [name, text] : value.items()) {
      if (!text.is_string()) return false;
      objects.push_back({-1, name, text.get<std::string>()});
    }
    return true;
  }
  if (!value.is_array()) return false;
  for (const json& entry : value) {
    if (!entry.is_object()) return false;
    IdentityObject object;
    if (const auto id = entry.find("id"); id != entry.end()) {
      // Unsigned as parsed, signed as IdentityJson puts it.
      if (!id->is_number_integer() || id->get<int64_t>() < 0 || id->get<int64_t>() > 255) return false;
      object.id = static_cast<int>(id->get<int64_t>());
    }
    std::optional<std::string> name = TakeDriverText(entry, "name");
    std::optional<std::string> text = TakeDriverText(entry, "value");
    if (!name || !text) return false;
    object.name = std::move(*name);
    object.value = std::move(*text);
    objects.push_back(std::move(object));
  }
  return true;
}

}  // namespace

const std::string& IdentityRecord::Text(size_t field) const {
  static const std::string none;
  return field < texts.size() && texts[field] ? *texts[field] : none;
}

IdentityRecord RecordOf(const DeviceIdentity& identity) {
  IdentityRecord record = RecordOfTexts(identity.texts);
  record.objectsRead = true;
  record.objects = identity.objects;
  record.objectsAbsent = identity.ObjectsAbsentReason();
  return record;
}

IdentityRecord RecordOfTexts(const std::array<std::string, fields::DeviceInfoFieldCount>& texts) {
  IdentityRecord record;
  for (size_t i = 0; i < texts.size(); ++i) record.texts[i] = texts[i];
  record.objectsRead = false;
  return record;
}

json IdentityJson(const IdentityRecord& record) {
  json list = json::array();
  const auto fields = fields::DeviceInfoFields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (!record.texts[i]) continue;
    json entry = {{"key", fields[i].key}, {"name", lang::Tr(fields[i].name)}};
    PutDriverText(entry, "text", *record.texts[i]);
    entry["unit"] = fields[i].unit;
    list.push_back(std::move(entry));
  }
  json document = {{"fields", std::move(list)}};
  if (!record.objectsRead) return document;
  if (record.objectsAbsent.empty()) {
    document["objects"] = ObjectsJson(record.objects);
  } else {
    document["objects"] = nullptr;
    document["objectsAbsent"] = record.objectsAbsent;
  }
  return document;
}

std::string TakeIdentity(const json& value, IdentityRecord& record) {
  IdentityRecord taken;
  if (!value.is_object() || !TakeTexts(value, taken)) return lang::Tr(kNotAnIdentity);
  for (const size_t field : {fields::IdentityField, fields::ModelField, fields::VersionField}) {
    if (!taken.texts[field]) return lang::Tr(kNotAnIdentity);
  }
  const auto objects = value.find("objects");
  if (objects == value.end()) {
    taken.objectsRead = false;
  } else if (objects->is_null()) {
    // From a driver that answered no identification request.
    const auto reason = value.find("objectsAbsent");
    taken.objectsAbsent = reason != value.end() && reason->is_string() ? reason->get<std::string>() : "";
    if (taken.objectsAbsent.empty()) taken.objectsAbsent = lang::Tr("无标识对象");
  } else if (!TakeObjects(*objects, taken.objects)) {
    return lang::Tr(kNotObjects);
  }
  record = std::move(taken);
  return {};
}

nlohmann::json ReadIdentityJson(DriverLink& link, uint8_t slave) {
  DeviceIdentity identity;
  if (ReadDeviceIdentity(link, slave, identity) != ResultSuccess) return nullptr;
  return IdentityJson(RecordOf(identity));
}

}  // namespace device
