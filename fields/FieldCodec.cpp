#include "fields/FieldCodec.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstring>

#include "fields/NumberText.h"
#include "lang/Texts.h"

namespace fields {
namespace {

template <class T>
T Get(const uint8_t* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <class T>
void Put(uint8_t* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

struct Range {
  int64_t min;
  int64_t max;
};

Range RangeOf(Storage storage) {
  switch (storage) {
    case Storage::S16:
      return {INT16_MIN, INT16_MAX};
    case Storage::U32:
    case Storage::U32Split:
      return {0, UINT32_MAX};
    default:
      return {0, UINT16_MAX};
  }
}

int64_t ValueOf(Storage storage, uint32_t raw) {
  return storage == Storage::S16 ? static_cast<int16_t>(raw) : static_cast<int64_t>(raw);
}


// The register value a list item or radio button stands for, put into `raw`.
uint32_t Choose(const ParamSpec& field, uint32_t raw, uint32_t value) {
  return field.bit0 ? (raw & ~uint32_t{1}) | (value & 1) : value;
}

int IndexOf(const ParamSpec& field, uint32_t raw) {
  const uint32_t value = field.bit0 ? raw & 1 : raw;
  for (size_t i = 0; i < field.items.size(); ++i) {
    if (field.items[i].value == value) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

uint32_t LoadSlot(const ParamSpec& field, const uint8_t* record) {
  const uint8_t* at = record + field.slot.offset;
  switch (field.slot.storage) {
    case Storage::U16:
    case Storage::S16:
      return Get<uint16_t>(at);
    case Storage::U32:
      return Get<uint32_t>(at);
    case Storage::U32Split:
      return (uint32_t{Get<uint16_t>(at)} << 16) | Get<uint16_t>(at + 2);
    case Storage::F32:
      return std::bit_cast<uint32_t>(Get<float>(at));
    case Storage::None:
    case Storage::Custom:
      break;
  }
  return 0;
}

void StoreSlot(const ParamSpec& field, uint32_t raw, uint8_t* record) {
  uint8_t* at = record + field.slot.offset;
  switch (field.slot.storage) {
    case Storage::U16:
    case Storage::S16:
      Put(at, static_cast<uint16_t>(raw));
      break;
    case Storage::U32:
      Put(at, raw);
      break;
    case Storage::U32Split:
      Put(at, static_cast<uint16_t>(raw >> 16));
      Put(at + 2, static_cast<uint16_t>(raw & 0xFFFF));
      break;
    case Storage::F32:
      Put(at, std::bit_cast<float>(raw));
      break;
    case Storage::None:
    case Storage::Custom:
      break;
  }
}

std::string FieldName(const ParamSpec& field) { return FieldName(field, lang::InUse()); }

std::string FieldName(const ParamSpec& field, lang::Language language) {
  if (field.name != nullptr) return std::string(lang::In(language, field.name));
  // The label in the language asked for, then without its colon: English
  // labels keep theirs as the Chinese ones do.
  std::string name(lang::In(language, field.label));
  for (const char* colon : {":", "："}) {
    const size_t length = std::strlen(colon);
    if (name.size() >= length && name.compare(name.size() - length, length, colon) == 0) {
      name.resize(name.size() - length);
    }
  }
  return name;
}

namespace {

std::string RangeText(const ParamSpec& field, const std::string& low, const std::string& high) {
  return lang::Fill(lang::Tr("{1}: 请输入 {2} 到 {3} 之间的数值"), {FieldName(field), low, high});
}

}  // namespace

std::string RangeMessage(const ParamSpec& field) {
  if (field.slot.storage == Storage::F32) {
    return RangeText(field, FormatFloat(-FLT_MAX, FloatText::General), FormatFloat(FLT_MAX, FloatText::General));
  }
  const Range range = RangeOf(field.slot.storage);
  return RangeMessage(field, range.min, range.max);
}

std::string RangeMessage(const ParamSpec& field, int64_t min, int64_t max) {
  return RangeText(field, FormatScaled(min, field.decimals), FormatScaled(max, field.decimals));
}

size_t WidestText(const ParamSpec& field) {
  switch (field.slot.storage) {
    case Storage::None:
    case Storage::Custom:
      return 0;
    case Storage::F32:
      return FormatFloat(-FLT_MAX, FloatText::General).size();
    default: {
      const Range range = RangeOf(field.slot.storage);
      return std::max(FormatScaled(range.min, field.decimals).size(), FormatScaled(range.max, field.decimals).size());
    }
  }
}

FieldValue FormatField(const ParamSpec& field, const uint8_t* record) {
  FieldValue value;
  const uint32_t raw = LoadSlot(field, record);
  switch (field.value) {
    case ValueKind::Number:
      if (field.slot.storage == Storage::Custom) {
        value.text = field.codec->format(record + field.slot.offset);
      } else if (field.slot.storage == Storage::F32) {
        value.text = FormatFloat(std::bit_cast<float>(raw), field.floatText);
      } else {
        value.text = FormatScaled(ValueOf(field.slot.storage, raw), field.decimals);
      }
      break;
    case ValueKind::Choice:
      value.index = IndexOf(field, raw);
      if (value.index < 0 && field.unknownAsItem) {
        value.index = static_cast<int>(field.items.size());
        value.extraItem = std::to_string(raw);
      }
      break;
    case ValueKind::Flag:
      value.index = static_cast<int>(raw & 1);
      break;
  }
  return value;
}

std::string ParseField(const ParamSpec& field, const FieldValue& value, uint8_t* record) {
  const uint32_t raw = LoadSlot(field, record);
  switch (field.value) {
    case ValueKind::Number: {
      if (field.slot.storage == Storage::Custom) {
        const std::string refusal = field.codec->parse(value.text, record + field.slot.offset);
        return refusal.empty() ? refusal : FieldName(field) + ": " + refusal;
      }
      if (field.slot.storage == Storage::F32) {
        const std::optional<float> number = ParseFloat(value.text);
        if (!number) return RangeMessage(field);
        StoreSlot(field, std::bit_cast<uint32_t>(*number), record);
        return {};
      }
      std::optional<int64_t> number = ParseScaled(value.text, field.decimals);
      const Range range = RangeOf(field.slot.storage);
      if (number && *number > range.max && field.clampHigh) number = range.max;
      if (!number || *number < range.min || *number > range.max) return RangeMessage(field);
      StoreSlot(field, static_cast<uint32_t>(*number), record);
      return {};
    }
    case ValueKind::Choice:
      // No selection, or the extra item of a value read: the value read stays.
      if (value.index >= 0 && static_cast<size_t>(value.index) < field.items.size()) {
        StoreSlot(field, Choose(field, raw, field.items[static_cast<size_t>(value.index)].value), record);
      }
      return {};
    case ValueKind::Flag:
      StoreSlot(field, Choose(field, raw, value.index != 0 ? 1 : 0), record);
      return {};
  }
  return {};
}

size_t SlotBytes(Storage storage) {
  switch (storage) {
    case Storage::None:
      return 0;
    case Storage::U16:
    case Storage::S16:
      return 2;
    default:
      return 4;
  }
}

size_t FieldBytes(const ParamSpec& field) {
  return field.slot.storage == Storage::Custom && field.codec != nullptr ? field.codec->bytes
                                                                         : SlotBytes(field.slot.storage);
}

std::string CheckParam(const ParamSpec& param, size_t recordSize) {
  const std::string which = std::string("\"") + param.label + "\": ";
  if ((param.slot.storage == Storage::Custom) != (param.codec != nullptr)) return which + "codec and storage differ";
  if (param.codec != nullptr && param.codec->bytes == 0) return which + "a codec without its size";
  if (param.slot.offset + FieldBytes(param) > recordSize) return which + "beyond the record";
  if (param.value == ValueKind::Choice && param.items.empty()) return which + "no items";
  if (HasRegister(param) && (param.Key() == nullptr || *param.Key() == '\0')) return which + "no key";
  return {};
}

std::string CheckParams(std::span<const ParamSpec> params, size_t recordSize) {
  for (const ParamSpec& param : params) {
    std::string fault = CheckParam(param, recordSize);
    if (!fault.empty()) return fault;
  }
  return {};
}

}  // namespace fields
