// Between a register record and the values of its page's controls, by the
// page's field table. A record read shows as texts; the texts taken back on
// top of that record give exactly the words that were read, for every
// register of the block, until the operator changes a control: hidden
// registers, the other bits of a bit-0 field and a list value that no item
// has are all written back as read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <type_traits>

#include "fields/Param.h"
#include "lang/Language.h"

namespace fields {

// A field whose entry cannot be sent: its index in the table and the message
// that names it and says what it accepts.
struct FieldError {
  size_t field = 0;
  std::string message;
};

// Raw register bits of a slot: the 16-bit word (signed ones as their two's
// complement), the 32-bit value, or the float's bit pattern.
uint32_t LoadSlot(const ParamSpec& field, const uint8_t* record);
void StoreSlot(const ParamSpec& field, uint32_t raw, uint8_t* record);
// Bytes of the record a slot of this storage takes (a custom field: its
// first four).
size_t SlotBytes(Storage storage);
// Bytes of the record the field's value takes (a custom field: its codec's).
size_t FieldBytes(const ParamSpec& field);

// The name of a field in messages: its own, or its label without the colon,
// in the language in use or in the one asked for (a loader knows a field by
// its name in either).
std::string FieldName(const ParamSpec& field);
std::string FieldName(const ParamSpec& field, lang::Language language);
// "<name>: 请输入 <min> 到 <max> 之间的数值" for a numeric edit, in the
// language in use.
std::string RangeMessage(const ParamSpec& field);
// The same for a range of its own, in register counts shown with the
// field's decimals (an entry the page clamps: "0.1 到 6553.5").
std::string RangeMessage(const ParamSpec& field, int64_t min, int64_t max);

// Characters of the longest text a record can put into the field's edit
// (a 16-bit count with one decimal: "6553.5", 6); 0 when a record does not
// decide it (no register, a custom codec).
size_t WidestText(const ParamSpec& field);

// The control's value for the slot's raw bits.
FieldValue FormatField(const ParamSpec& field, const uint8_t* record);
// Takes one control's value into the record; the record holds what was read
// before, so parts the control does not set stay. Empty on success, else
// the message.
std::string ParseField(const ParamSpec& field, const FieldValue& value, uint8_t* record);

// Whether the entry has a register behind it.
constexpr bool HasRegister(const ParamSpec& field) { return field.slot.storage != Storage::None; }

// A description of the first entry that cannot work on a record of
// `recordSize` bytes (a value beyond it, a list without items, a custom value
// without its codec, a register without a key); empty when every entry can.
std::string CheckParam(const ParamSpec& param, size_t recordSize);
std::string CheckParams(std::span<const ParamSpec> params, size_t recordSize);

// Every entry of the table that has a register behind it, from the record
// at `record` (which the table fits: CheckParams). `Spec` is ParamSpec or a
// page's entry built on it.
template <class Spec>
FormValues ToTextsAt(std::span<const Spec> fields, const uint8_t* record) {
  FormValues values(fields.size());
  for (size_t i = 0; i < fields.size(); ++i) {
    if (HasRegister(fields[i])) values[i] = FormatField(fields[i], record);
  }
  return values;
}

// Takes the values into `record` (which holds the base on entry); stops at
// the first entry in table order that cannot be taken.
template <class Spec>
std::optional<FieldError> FromTextsAt(std::span<const Spec> fields, const FormValues& values, uint8_t* record) {
  for (size_t i = 0; i < fields.size() && i < values.size(); ++i) {
    if (!HasRegister(fields[i])) continue;
    std::string refusal = ParseField(fields[i], values[i], record);
    if (!refusal.empty()) return FieldError{i, std::move(refusal)};
  }
  return std::nullopt;
}

// A register record, not a view of one (bytes go through ToTextsAt).
template <class Block>
constexpr bool IsRecord = std::is_trivially_copyable_v<Block> && !std::is_pointer_v<Block> &&
                          !requires(const Block& block) { block.data(); };

template <class Spec, class Block>
FormValues ToTexts(std::span<const Spec> fields, const Block& record) {
  static_assert(IsRecord<Block>);
  return ToTextsAt(fields, reinterpret_cast<const uint8_t*>(&record));
}

template <class Spec, size_t N, class Block>
FormValues ToTexts(const Spec (&fields)[N], const Block& record) {
  return ToTexts(std::span<const Spec>(fields), record);
}

// The record to send: `base` with the values taken in, or the first entry
// that cannot be.
template <class Block>
struct FormResult {
  Block record{};
  std::optional<FieldError> error;
};

template <class Spec, class Block>
FormResult<Block> FromTexts(std::span<const Spec> fields, const FormValues& values, const Block& base) {
  static_assert(IsRecord<Block>);
  FormResult<Block> result{base, std::nullopt};
  result.error = FromTextsAt(fields, values, reinterpret_cast<uint8_t*>(&result.record));
  return result;
}

template <class Spec, size_t N, class Block>
FormResult<Block> FromTexts(const Spec (&fields)[N], const FormValues& values, const Block& base) {
  return FromTexts(std::span<const Spec>(fields), values, base);
}

}  // namespace fields
