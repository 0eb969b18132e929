// A driver's texts and identification objects in the tool's JSON documents
// (the parameter file, the recording's companion, `korvelt info --json`).
// The driver's bytes are kept exactly: a text that is UTF-8 is written as
// it is; one that is not (a model in GBK) is written printable, with its
// bytes beside it as hex digits under the same key with "Hex" added, and
// read back from those.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "device/Identity.h"
#include "fields/PrintableText.h"

namespace device {

inline std::string HexKey(const std::string& key) { return key + "Hex"; }

template <class Json>
void PutDriverText(Json& object, const std::string& key, const std::string& bytes) {
  if (fields::IsUtf8(bytes)) {
    object[key] = bytes;
    return;
  }
  object[key] = fields::Printable(bytes);
  object[HexKey(key)] = fields::HexDigits(bytes);
}

// The bytes of object[key]: its hex form where there is one, else its text;
// none when neither is there as a text, or the hex form is no hex digits.
template <class Json>
std::optional<std::string> TakeDriverText(const Json& object, const std::string& key) {
  if (const auto hex = object.find(HexKey(key)); hex != object.end()) {
    if (!hex->is_string()) return std::nullopt;
    return fields::BytesOfHexDigits(hex->template get_ref<const std::string&>());
  }
  const auto text = object.find(key);
  if (text == object.end() || !text->is_string()) return std::nullopt;
  return text->template get<std::string>();
}

// The objects as a list of {"id", "name", "value"} in the driver's order
// (no "id" where it is not known).
template <class Json>
Json ObjectsJson(const std::vector<IdentityObject>& objects) {
  Json list = Json::array();
  for (const IdentityObject& object : objects) {
    Json entry = Json::object();
    if (object.id >= 0) entry["id"] = object.id;
    PutDriverText(entry, "name", object.name);
    PutDriverText(entry, "value", object.value);
    list.push_back(std::move(entry));
  }
  return list;
}

// Puts "objects" into `document`: the list, or, for a driver that answered
// no identification request, null and the reason under "objectsAbsent".
template <class Json>
void PutObjects(Json& document, const std::vector<IdentityObject>& objects, const std::string& absentReason) {
  if (absentReason.empty()) {
    document["objects"] = ObjectsJson<Json>(objects);
  } else {
    document["objects"] = nullptr;
    document["objectsAbsent"] = absentReason;
  }
}

// The objects of a list as ObjectsJson writes it, or of a JSON object keyed
// by name (the older shape, whose ids are not known). False for anything
// else.
template <class Json>
bool TakeObjects(const Json& value, std::vector<IdentityObject>& objects) {
  if (value.is_object()) {
    for (const auto& [name, text] : value.items()) {
      if (!text.is_string()) return false;
      objects.push_back({-1, name, text.template get<std::string>()});
    }
    return true;
  }
  if (!value.is_array()) return false;
  for (const Json& entry : value) {
    if (!entry.is_object()) return false;
    IdentityObject object;
    if (const auto id = entry.find("id"); id != entry.end()) {
      if (!id->is_number_unsigned() || id->template get<uint64_t>() > 255) return false;
      object.id = static_cast<int>(id->template get<uint64_t>());
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

}  // namespace device
