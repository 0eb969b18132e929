#include "ui/forms/FieldCodec.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cstring>

#include "ui/forms/NumberText.h"

namespace forms {
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

bool HasRegister(const FieldSpec& field) { return field.slot.storage != Storage::None; }

// The register value a list item or radio button stands for, put into `raw`.
uint32_t Choose(const FieldSpec& field, uint32_t raw, uint32_t value) {
  return field.bit0 ? (raw & ~uint32_t{1}) | (value & 1) : value;
}

int IndexOf(const FieldSpec& field, uint32_t raw) {
  const uint32_t value = field.bit0 ? raw & 1 : raw;
  for (size_t i = 0; i < field.items.size(); ++i) {
    if (field.items[i].value == value) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

uint32_t LoadSlot(const FieldSpec& field, const uint8_t* record) {
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

void StoreSlot(const FieldSpec& field, uint32_t raw, uint8_t* record) {
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

std::string FieldName(const FieldSpec& field) {
  if (field.name != nullptr) return field.name;
  std::string name = field.label;
  for (const char* colon : {":", "："}) {
    const size_t length = std::strlen(colon);
    if (name.size() >= length && name.compare(name.size() - length, length, colon) == 0) {
      name.resize(name.size() - length);
    }
  }
  return name;
}

namespace {

std::string RangeText(const FieldSpec& field, const std::string& low, const std::string& high) {
  return FieldName(field) + ": 请输入 " + low + " 到 " + high + " 之间的数值";
}

}  // namespace

std::string RangeMessage(const FieldSpec& field) {
  if (field.slot.storage == Storage::F32) {
    return RangeText(field, FormatFloat(-FLT_MAX, FloatText::General), FormatFloat(FLT_MAX, FloatText::General));
  }
  const Range range = RangeOf(field.slot.storage);
  return RangeMessage(field, range.min, range.max);
}

std::string RangeMessage(const FieldSpec& field, int64_t min, int64_t max) {
  return RangeText(field, FormatScaled(min, field.decimals), FormatScaled(max, field.decimals));
}

size_t WidestText(const FieldSpec& field) {
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

FieldValue FormatField(const FieldSpec& field, const uint8_t* record) {
  FieldValue value;
  const uint32_t raw = LoadSlot(field, record);
  switch (field.kind) {
    case FieldKind::Edit:
    case FieldKind::ReadOnlyEdit:
      if (field.slot.storage == Storage::Custom) {
        value.text = field.codec->format(record + field.slot.offset);
      } else if (field.slot.storage == Storage::F32) {
        value.text = FormatFloat(std::bit_cast<float>(raw), field.floatText);
      } else {
        value.text = FormatScaled(ValueOf(field.slot.storage, raw), field.decimals);
      }
      break;
    case FieldKind::List:
    case FieldKind::Radio:
      value.index = IndexOf(field, raw);
      if (value.index < 0 && field.unknownAsItem) {
        value.index = static_cast<int>(field.items.size());
        value.extraItem = std::to_string(raw);
      }
      break;
    case FieldKind::Check:
      value.index = static_cast<int>(raw & 1);
      break;
    case FieldKind::Slider:
    case FieldKind::Static:
    case FieldKind::Button:
      break;
  }
  return value;
}

std::string ParseField(const FieldSpec& field, const FieldValue& value, uint8_t* record) {
  const uint32_t raw = LoadSlot(field, record);
  switch (field.kind) {
    case FieldKind::Edit:
    case FieldKind::ReadOnlyEdit: {
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
    case FieldKind::List:
    case FieldKind::Radio:
      // No selection, or the extra item of a value read: the value read stays.
      if (value.index >= 0 && static_cast<size_t>(value.index) < field.items.size()) {
        StoreSlot(field, Choose(field, raw, field.items[static_cast<size_t>(value.index)].value), record);
      }
      return {};
    case FieldKind::Check:
      StoreSlot(field, Choose(field, raw, value.index != 0 ? 1 : 0), record);
      return {};
    case FieldKind::Slider:
    case FieldKind::Static:
    case FieldKind::Button:
      break;
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

std::string CheckFields(std::span<const FieldSpec> fields, size_t recordSize) {
  for (const FieldSpec& field : fields) {
    const std::string which = "field " + std::to_string(field.id) + " \"" + field.label + "\": ";
    if (field.slot.offset + SlotBytes(field.slot.storage) > recordSize) return which + "beyond the record";
    const bool choice = field.kind == FieldKind::List || field.kind == FieldKind::Radio;
    if (choice && field.items.empty()) return which + "no items";
    if ((field.slot.storage == Storage::Custom) != (field.codec != nullptr)) return which + "codec and storage differ";
    const bool holdsValue = field.kind != FieldKind::Slider && field.kind != FieldKind::Static &&
                            field.kind != FieldKind::Button;
    if (!holdsValue && field.slot.storage != Storage::None) return which + "this kind has no register";
    if (field.kind == FieldKind::Radio) {
      for (const ListItem& button : field.items) {
        if (button.id == 0) return which + "a radio button without an id";
      }
    } else if (field.id == 0 && field.kind != FieldKind::Static) {
      return which + "no control id";
    }
  }
  return {};
}

FormValues ToTexts(std::span<const FieldSpec> fields, std::span<const uint8_t> record) {
  FormValues values(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    if (HasRegister(fields[i])) values[i] = FormatField(fields[i], record.data());
  }
  return values;
}

std::optional<FieldError> FromTexts(std::span<const FieldSpec> fields, const FormValues& values,
                                    std::span<uint8_t> record) {
  for (size_t i = 0; i < fields.size() && i < values.size(); ++i) {
    if (!HasRegister(fields[i])) continue;
    std::string refusal = ParseField(fields[i], values[i], record.data());
    if (!refusal.empty()) return FieldError{i, std::move(refusal)};
  }
  return std::nullopt;
}

}  // namespace forms
