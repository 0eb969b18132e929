// A page as data: one entry per control, saying where the control sits and
// what kind it is, built on the parameter entry it shows (fields/), so the
// meaning of a register is described once. The window side builds and binds
// the controls from these entries; fields::FieldCodec turns a record into
// the texts of the controls and the texts back into a record.
//
//   constexpr forms::FieldSpec kRampFields[] = {
//       forms::Put(fields::ramp::Params, "pwmRise", 1054).Chars(5).At(0, 0),
//   };
#pragma once

#include <cstddef>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "fields/Param.h"

namespace forms {

// The page side speaks the vocabulary of the parameter descriptions.
using fields::CustomCodec;
using fields::FieldValue;
using fields::FloatText;
using fields::FormValues;
using fields::ListItem;
using fields::ParamSpec;
using fields::RecordSlot;
using fields::Storage;
using fields::ValueKind;

enum class FieldKind : uint8_t {
  Edit,          // single-line edit
  ReadOnlyEdit,  // edit the operator cannot type into; the program sets it
  List,          // drop-down list without free typing
  Check,         // check box
  Radio,         // group of radio buttons, one per item
  Slider,        // horizontal slider; the page reads its position itself
  Spin,          // spin box of whole numbers; the window sets its range and reads it itself
  Static,        // text the program may rewrite (label = its first text)
  Button,        // push button (label = its caption)
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

// One control of a page: what it means (a parameter entry, or a value with
// no register) and where it sits: its control id, its place and, for an
// edit, how many characters the operator may type.
struct FieldSpec : ParamSpec {
  FieldKind kind = FieldKind::Edit;
  int id = 0;                    // control id (Radio: 0, the buttons carry theirs)
  Place place;
  int maxChars = 0;              // edits: characters the operator may type; 0 = no limit
  std::span<const int> buttons;  // Radio: the control id of each item's button
  bool stacked = false;          // Radio: the buttons one under the other
  const char* objectName = nullptr;  // the control's name, for a window that finds it by name

  // The control for a parameter entry: an edit for a number, a list for a
  // choice, a check box for a switch.
  static constexpr FieldSpec Of(const ParamSpec& param, int id) {
    FieldSpec field;
    static_cast<ParamSpec&>(field) = param;
    field.id = id;
    field.kind = param.value == ValueKind::Choice ? FieldKind::List
                 : param.value == ValueKind::Flag ? FieldKind::Check
                                                  : FieldKind::Edit;
    return field;
  }

  // Controls with no register behind them.
  static constexpr FieldSpec Edit(int id, const char* label) { return Of(ParamSpec::Number(label), id); }
  static constexpr FieldSpec Radio(const char* label, std::span<const ListItem> items, std::span<const int> buttons) {
    FieldSpec field = Of(ParamSpec::Choice(label, items), 0);
    return field.AsRadio(buttons);
  }
  static constexpr FieldSpec Slider(int id, const char* label) {
    FieldSpec field = Edit(id, label);
    field.kind = FieldKind::Slider;
    return field;
  }
  static constexpr FieldSpec Spin(int id, const char* label) {
    FieldSpec field = Edit(id, label);
    field.kind = FieldKind::Spin;
    return field;
  }
  static constexpr FieldSpec Check(int id, const char* text) { return Of(ParamSpec::Flag(text), id); }
  static constexpr FieldSpec List(int id, const char* label, std::span<const ListItem> items) {
    return Of(ParamSpec::Choice(label, items), id);
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
  constexpr FieldSpec Chars(int count) const {
    FieldSpec field = *this;
    field.maxChars = count;
    return field;
  }
  constexpr FieldSpec ReadOnly() const {
    FieldSpec field = *this;
    field.kind = FieldKind::ReadOnlyEdit;
    return field;
  }
  // A choice shown as radio buttons, one per item.
  constexpr FieldSpec AsRadio(std::span<const int> ids) const {
    FieldSpec field = *this;
    field.kind = FieldKind::Radio;
    field.id = 0;
    field.buttons = ids;
    return field;
  }
  // Radio: one button under the other instead of side by side.
  constexpr FieldSpec Stacked() const {
    FieldSpec field = *this;
    field.stacked = true;
    return field;
  }
  constexpr FieldSpec Object(const char* name) const {
    FieldSpec field = *this;
    field.objectName = name;
    return field;
  }
  // The name messages give the entry, where its label says more (a unit).
  constexpr FieldSpec Named(const char* text) const {
    FieldSpec field = *this;
    field.name = text;
    return field;
  }
  // The meaning of an entry with no register (the page's own entries).
  constexpr FieldSpec Decimals(uint8_t count) const {
    FieldSpec field = *this;
    field.decimals = count;
    return field;
  }
  constexpr FieldSpec Unit(const char* text) const {
    FieldSpec field = *this;
    field.unit = text;
    return field;
  }
};

using Field = FieldSpec;

// The control of the entry with key `key` in `params`, for a page's table;
// a key the table lacks does not compile.
template <size_t N>
constexpr FieldSpec Put(const ParamSpec (&params)[N], std::string_view key, int id) {
  for (const ParamSpec& param : params) {
    if (param.Key() != nullptr && key == param.Key()) return FieldSpec::Of(param, id);
  }
  throw "no entry with this key";
}
template <size_t N>
constexpr FieldSpec Put(const std::array<ParamSpec, N>& params, std::string_view key, int id) {
  for (const ParamSpec& param : params) {
    if (param.Key() != nullptr && key == param.Key()) return FieldSpec::Of(param, id);
  }
  throw "no entry with this key";
}

// Whether a page's table shows exactly the entries of `params`, in their
// order: each register described once, and no entry left off the page.
template <class Params, size_t N>
constexpr bool ShowsAll(const Params& params, const FieldSpec (&fields)[N]) {
  if (std::size(params) != N) return false;
  for (size_t i = 0; i < N; ++i) {
    if (std::string_view(params[i].Key()) != fields[i].Key()) return false;
  }
  return true;
}

// A description of the first entry that cannot work on a record of
// `recordSize` bytes (its parameter entry cannot, a control without an id, a
// radio group whose buttons and items differ, a register behind a control
// that holds no value); empty when every entry can.
std::string CheckFields(std::span<const FieldSpec> fields, size_t recordSize);

}  // namespace forms
