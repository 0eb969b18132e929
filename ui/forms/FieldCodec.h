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

#include "ui/forms/Fields.h"

namespace forms {

// A field whose entry cannot be sent: its index in the table and the message
// that names it and says what it accepts.
struct FieldError {
  size_t field = 0;
  std::string message;
};

// Raw register bits of a slot: the 16-bit word (signed ones as their two's
// complement), the 32-bit value, or the float's bit pattern.
uint32_t LoadSlot(const FieldSpec& field, const uint8_t* record);
void StoreSlot(const FieldSpec& field, uint32_t raw, uint8_t* record);
// Bytes of the record a slot of this storage takes (a custom field: its
// first four).
size_t SlotBytes(Storage storage);

// The name of a field in messages: its own, or its label without the colon.
std::string FieldName(const FieldSpec& field);
// "<name>: 请输入 <min> 到 <max> 之间的数值" for a numeric edit.
std::string RangeMessage(const FieldSpec& field);
// The same for a range of its own, in register counts shown with the
// field's decimals (an entry the page clamps: "0.1 到 6553.5").
std::string RangeMessage(const FieldSpec& field, int64_t min, int64_t max);

// Characters of the longest text a record can put into the field's edit
// (a 16-bit count with one decimal: "6553.5", 6); 0 when a record does not
// decide it (no register, a custom codec).
size_t WidestText(const FieldSpec& field);

// The control's value for the slot's raw bits.
FieldValue FormatField(const FieldSpec& field, const uint8_t* record);
// Takes one control's value into the record; the record holds what was read
// before, so parts the control does not set stay. Empty on success, else
// the message.
std::string ParseField(const FieldSpec& field, const FieldValue& value, uint8_t* record);

// A description of the first entry that cannot work on a record of
// `recordSize` bytes (a slot beyond it, a list without items, a custom field
// without its codec, a control without an id); empty when every entry can.
// Custom fields are checked for their first four bytes only.
std::string CheckFields(std::span<const FieldSpec> fields, size_t recordSize);

// Every field of the table that has a register behind it.
FormValues ToTexts(std::span<const FieldSpec> fields, std::span<const uint8_t> record);
// Takes the values into `record` (which holds the base on entry); stops at
// the first field in table order that cannot be taken.
std::optional<FieldError> FromTexts(std::span<const FieldSpec> fields, const FormValues& values,
                                    std::span<uint8_t> record);

template <class Block>
FormValues ToTexts(std::span<const FieldSpec> fields, const Block& record) {
  static_assert(std::is_trivially_copyable_v<Block>);
  return ToTexts(fields, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&record), sizeof record));
}

// The record to send: `base` with the values taken in, or the first field
// that cannot be.
template <class Block>
struct FormResult {
  Block record{};
  std::optional<FieldError> error;
};

template <class Block>
FormResult<Block> FromTexts(std::span<const FieldSpec> fields, const FormValues& values, const Block& base) {
  static_assert(std::is_trivially_copyable_v<Block>);
  FormResult<Block> result{base, std::nullopt};
  result.error =
      FromTexts(fields, values, std::span<uint8_t>(reinterpret_cast<uint8_t*>(&result.record), sizeof(Block)));
  return result;
}

}  // namespace forms
