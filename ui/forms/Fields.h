// A page as data: one entry per control that carries a value, saying where
// the control sits, what kind it is, which member of which register record it
// shows, with what unit, format and range. The window side builds and binds
// the controls from these entries; FieldCodec turns a record into the texts
// of the controls and the texts back into a record.
//
//   constexpr forms::FieldSpec kRampFields[] = {
//       forms::Field::Edit(1054, "PWM上升缓冲:", KV_RECORD(RampBlock, pwmRise)).Decimals(1).Chars(5).Unit("秒"),
//   };
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace forms {

enum class FieldKind : uint8_t {
  Edit,          // single-line edit
  ReadOnlyEdit,  // edit the operator cannot type into; the program sets it
  List,          // drop-down list without free typing
  Check,         // check box
  Radio,         // group of radio buttons, one per item
  Slider,        // horizontal slider; the page reads its position itself
  Static,        // text the program may rewrite (label = its first text)
  Button,        // push button (label = its caption)
};

// How the value sits in the record.
enum class Storage : uint8_t {
  None,         // a control with no register behind it
  U16,          // uint16_t
  S16,          // int16_t (two's complement)
  U32,          // uint32_t, already combined by the block operation
  U32Split,     // two uint16_t members, high word first (the page combines them)
  F32,          // float, already combined by the block operation
  Custom,       // the field's own codec decides
};

enum class FloatText : uint8_t {
  Fixed,    // "%f"
  General,  // "%g"
};

// Where a control goes on its page: a group box of the page, a row of the
// group's grid and a column pair (column 0 is the first label and control).
// The control itself may span several grid columns.
struct Place {
  int group = 0;
  int row = 0;
  int column = 0;
  int span = 1;
};

// One item of a list or one button of a radio group, with the register value
// it stands for. A radio button also has its control id.
struct ListItem {
  const char* text;
  uint32_t value;
  int id = 0;
};

// A field whose text is made and parsed by code of its own (the phase-order
// bytes of the motor parameters). `record` is the start of the field's slot.
struct CustomCodec {
  std::string (*format)(const uint8_t* record);
  // Empty when the text was taken into `record`, else the message that says
  // what the field accepts (without the field's name).
  std::string (*parse)(std::string_view text, uint8_t* record);
};

// Where a member sits in its record and how it is stored.
struct RecordSlot {
  Storage storage = Storage::None;
  uint16_t offset = 0;
};

template <class T>
constexpr RecordSlot SlotOf(size_t offset) {
  if constexpr (std::is_same_v<T, uint16_t>) {
    return {Storage::U16, static_cast<uint16_t>(offset)};
  } else if constexpr (std::is_same_v<T, int16_t>) {
    return {Storage::S16, static_cast<uint16_t>(offset)};
  } else if constexpr (std::is_same_v<T, uint32_t>) {
    return {Storage::U32, static_cast<uint16_t>(offset)};
  } else if constexpr (std::is_same_v<T, float>) {
    return {Storage::F32, static_cast<uint16_t>(offset)};
  } else {
    static_assert(std::is_same_v<T, uint16_t>, "a field is a 16-bit, 32-bit or float member");
    return {};
  }
}

// The slot of `member` in `Block`, with its storage from the member's type.
#define KV_RECORD(Block, member) \
  ::forms::SlotOf<std::remove_cv_t<decltype(Block::member)>>(offsetof(Block, member))
// A 32-bit value kept as two 16-bit members, `high` first in the record.
#define KV_RECORD_SPLIT(Block, high) \
  ::forms::RecordSlot{::forms::Storage::U32Split, static_cast<uint16_t>(offsetof(Block, high))}
// A field whose codec reads and writes the record from the start of `member`.
#define KV_RECORD_CUSTOM(Block, member) \
  ::forms::RecordSlot{::forms::Storage::Custom, static_cast<uint16_t>(offsetof(Block, member))}

// A group box of a page and where it sits in the page's grid, or in the grid
// of an earlier group (`parent`), so a group can hold columns of its own. A
// group without a title is a plain area with no frame.
struct GroupSpec {
  const char* title = nullptr;
  int row = 0;
  int column = 0;
  int rowSpan = 1;
  int columnSpan = 1;
  int parent = -1;  // index of the group it sits in; -1: the page
};

struct FieldSpec {
  FieldKind kind = FieldKind::Edit;
  int id = 0;                    // control id (Radio: 0, the buttons carry theirs)
  const char* label = "";        // text beside the control, "" for none
  const char* name = nullptr;    // names the field in messages; nullptr: the label without its colon
  const char* unit = nullptr;    // text after the control
  Place place;
  int maxChars = 0;              // edits: characters the operator may type; 0 = no limit
  RecordSlot slot;
  uint8_t decimals = 0;          // integers: the register counts 10^-decimals
  FloatText floatText = FloatText::General;
  bool clampHigh = false;        // entries above the largest value become it instead of being refused
  bool bit0 = false;             // Check, Radio, List: the value is bit 0; other bits are kept as read
  bool unknownAsItem = false;    // List: a value read that no item has is shown as an extra item
  std::span<const ListItem> items;
  const CustomCodec* codec = nullptr;

  static constexpr FieldSpec Edit(int id, const char* label, RecordSlot slot = {}) {
    FieldSpec field;
    field.kind = FieldKind::Edit;
    field.id = id;
    field.label = label;
    field.slot = slot;
    return field;
  }
  static constexpr FieldSpec List(int id, const char* label, std::span<const ListItem> items, RecordSlot slot = {}) {
    FieldSpec field = Edit(id, label, slot);
    field.kind = FieldKind::List;
    field.items = items;
    return field;
  }
  // Check boxes carry their text themselves; their value is bit 0.
  static constexpr FieldSpec Check(int id, const char* text, RecordSlot slot = {}) {
    FieldSpec field = Edit(id, text, slot);
    field.kind = FieldKind::Check;
    field.bit0 = true;
    return field;
  }
  static constexpr FieldSpec Radio(const char* label, std::span<const ListItem> buttons, RecordSlot slot = {}) {
    FieldSpec field = Edit(0, label, slot);
    field.kind = FieldKind::Radio;
    field.items = buttons;
    return field;
  }

  static constexpr FieldSpec Slider(int id, const char* label) {
    FieldSpec field = Edit(id, label);
    field.kind = FieldKind::Slider;
    return field;
  }
  static constexpr FieldSpec Static(int id, const char* text) {
    FieldSpec field = Edit(id, text);
    field.kind = FieldKind::Static;
    return field;
  }
  static constexpr FieldSpec Button(int id, const char* caption) {
    FieldSpec field = Edit(id, caption);
    field.kind = FieldKind::Button;
    return field;
  }

  // The label goes into grid column `column` of the group's row, the control
  // into the next column and the unit text into the one after; a check box,
  // a button or a static text takes the label's column.
  constexpr FieldSpec At(int group, int row, int column = 0) const {
    FieldSpec field = *this;
    field.place = {group, row, column, field.place.span};
    return field;
  }
  // The control takes `columns` grid columns (a radio group, a long text).
  constexpr FieldSpec Span(int columns) const {
    FieldSpec field = *this;
    field.place.span = columns;
    return field;
  }
  constexpr FieldSpec Decimals(uint8_t count) const {
    FieldSpec field = *this;
    field.decimals = count;
    return field;
  }
  constexpr FieldSpec Chars(int count) const {
    FieldSpec field = *this;
    field.maxChars = count;
    return field;
  }
  constexpr FieldSpec Unit(const char* text) const {
    FieldSpec field = *this;
    field.unit = text;
    return field;
  }
  constexpr FieldSpec Named(const char* text) const {
    FieldSpec field = *this;
    field.name = text;
    return field;
  }
  constexpr FieldSpec Float(FloatText text) const {
    FieldSpec field = *this;
    field.floatText = text;
    return field;
  }
  constexpr FieldSpec ClampHigh() const {
    FieldSpec field = *this;
    field.clampHigh = true;
    return field;
  }
  constexpr FieldSpec Bit0() const {
    FieldSpec field = *this;
    field.bit0 = true;
    return field;
  }
  constexpr FieldSpec UnknownAsItem() const {
    FieldSpec field = *this;
    field.unknownAsItem = true;
    return field;
  }
  constexpr FieldSpec ReadOnly() const {
    FieldSpec field = *this;
    field.kind = FieldKind::ReadOnlyEdit;
    return field;
  }
  constexpr FieldSpec WithCodec(const CustomCodec* custom) const {
    FieldSpec field = *this;
    field.codec = custom;
    return field;
  }
};

using Field = FieldSpec;

// The value of one control: the text of an edit, the index of a list (-1 for
// none), the state of a check box (0/1) or the index of a radio group's
// checked button (-1 for none). A list can carry one item beyond its table,
// for a value read that none of its items has.
struct FieldValue {
  std::string text;
  int index = -1;
  std::string extraItem;
};

// One value per entry of a field table, in table order.
using FormValues = std::vector<FieldValue>;

}  // namespace forms
