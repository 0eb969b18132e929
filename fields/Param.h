// What a parameter register means, apart from where a page shows it: the
// record member it lives in (its key), the name messages give it, its
// unit, scale, format, range and list items. The pages, the parameter file
// and the command line all walk these entries; FieldCodec turns a record
// into the texts of its entries and the texts back into a record.
//
//   constexpr fields::ParamSpec kRatedCurrent =
//       fields::Param::Number("额定电流:", KV_RECORD(MotorParamBlock, ratedCurrent)).Decimals(2).Unit("A");
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace fields {

// How the value sits in the record.
enum class Storage : uint8_t {
  None,         // no register behind it
  U16,          // uint16_t
  S16,          // int16_t (two's complement)
  U32,          // uint32_t, already combined by the block operation
  U32Split,     // two uint16_t members, high word first (the codec combines them)
  F32,          // float, already combined by the block operation
  Custom,       // the entry's own codec decides
};

enum class FloatText : uint8_t {
  Fixed,    // "%f"
  General,  // "%g"
};

// What the value is to the operator: a number (or a text of its own codec)
// typed into an edit, one of a list's items, or a yes/no switch.
enum class ValueKind : uint8_t {
  Number,
  Choice,
  Flag,
};

// One item of a list, with the register value it stands for.
struct ListItem {
  const char* text;
  uint32_t value;
};

// A value whose text is made and parsed by code of its own (the phase-order
// bytes of the motor parameters). `record` is the start of the value's slot.
struct CustomCodec {
  std::string (*format)(const uint8_t* record);
  // Empty when the text was taken into `record`, else the message that says
  // what the value accepts (without its name).
  std::string (*parse)(std::string_view text, uint8_t* record);
  // Bytes of the record the value takes from the start of its slot.
  uint16_t bytes = 4;
};

// Where a member sits in its record, how it is stored, and its name in the
// record (the key files and the command line know it by).
struct RecordSlot {
  Storage storage = Storage::None;
  uint16_t offset = 0;
  const char* member = nullptr;
};

template <class T>
constexpr RecordSlot SlotOf(size_t offset, const char* member) {
  if constexpr (std::is_same_v<T, uint16_t>) {
    return {Storage::U16, static_cast<uint16_t>(offset), member};
  } else if constexpr (std::is_same_v<T, int16_t>) {
    return {Storage::S16, static_cast<uint16_t>(offset), member};
  } else if constexpr (std::is_same_v<T, uint32_t>) {
    return {Storage::U32, static_cast<uint16_t>(offset), member};
  } else if constexpr (std::is_same_v<T, float>) {
    return {Storage::F32, static_cast<uint16_t>(offset), member};
  } else {
    static_assert(std::is_same_v<T, uint16_t>, "a register value is a 16-bit, 32-bit or float member");
    return {};
  }
}

// The slot of `member` in `Block`, with its storage from the member's type
// and its key from the member's name.
#define KV_RECORD(Block, member) \
  ::fields::SlotOf<std::remove_cv_t<decltype(Block::member)>>(offsetof(Block, member), #member)
// A 32-bit value kept as two 16-bit members, `high` first in the record;
// known by `key`.
#define KV_RECORD_SPLIT(Block, high, key) \
  ::fields::RecordSlot{::fields::Storage::U32Split, static_cast<uint16_t>(offsetof(Block, high)), key}
// A value whose codec reads and writes the record from the start of `member`.
#define KV_RECORD_CUSTOM(Block, member) \
  ::fields::RecordSlot{::fields::Storage::Custom, static_cast<uint16_t>(offsetof(Block, member)), #member}

struct ParamSpec {
  ValueKind value = ValueKind::Number;
  const char* label = "";        // the text beside its control, "" for none
  const char* name = nullptr;    // names it in messages; nullptr: the label without its colon
  const char* unit = nullptr;    // the text after its control
  RecordSlot slot;
  uint8_t decimals = 0;          // integers: the register counts 10^-decimals
  FloatText floatText = FloatText::General;
  bool clampHigh = false;        // entries above the largest value become it instead of being refused
  bool bit0 = false;             // Choice, Flag: the value is bit 0; other bits are kept as read
  bool unknownAsItem = false;    // Choice: a value read that no item has is shown as an extra item
  std::span<const ListItem> items;
  const CustomCodec* codec = nullptr;

  // The record member's name, or nullptr for a value with no register.
  constexpr const char* Key() const { return slot.member; }

  static constexpr ParamSpec Number(const char* label, RecordSlot slot = {}) {
    ParamSpec param;
    param.value = ValueKind::Number;
    param.label = label;
    param.slot = slot;
    return param;
  }
  static constexpr ParamSpec Choice(const char* label, std::span<const ListItem> items, RecordSlot slot = {}) {
    ParamSpec param = Number(label, slot);
    param.value = ValueKind::Choice;
    param.items = items;
    return param;
  }
  // A switch carries its text as its label; its value is bit 0.
  static constexpr ParamSpec Flag(const char* text, RecordSlot slot = {}) {
    ParamSpec param = Number(text, slot);
    param.value = ValueKind::Flag;
    param.bit0 = true;
    return param;
  }

  constexpr ParamSpec Decimals(uint8_t count) const {
    ParamSpec param = *this;
    param.decimals = count;
    return param;
  }
  constexpr ParamSpec Unit(const char* text) const {
    ParamSpec param = *this;
    param.unit = text;
    return param;
  }
  constexpr ParamSpec Named(const char* text) const {
    ParamSpec param = *this;
    param.name = text;
    return param;
  }
  constexpr ParamSpec Float(FloatText text) const {
    ParamSpec param = *this;
    param.floatText = text;
    return param;
  }
  constexpr ParamSpec ClampHigh() const {
    ParamSpec param = *this;
    param.clampHigh = true;
    return param;
  }
  constexpr ParamSpec Bit0() const {
    ParamSpec param = *this;
    param.bit0 = true;
    return param;
  }
  constexpr ParamSpec UnknownAsItem() const {
    ParamSpec param = *this;
    param.unknownAsItem = true;
    return param;
  }
  constexpr ParamSpec WithCodec(const CustomCodec* custom) const {
    ParamSpec param = *this;
    param.codec = custom;
    return param;
  }
};

using Param = ParamSpec;

// The value of one control: the text of an edit, the index of a list (-1 for
// none), the state of a switch (0/1). A list can carry one item beyond its
// table, for a value read that none of its items has.
struct FieldValue {
  std::string text;
  int index = -1;
  std::string extraItem;
};

// One value per entry of a table, in table order.
using FormValues = std::vector<FieldValue>;

}  // namespace fields
