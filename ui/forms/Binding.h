// Binding tables: which member of a form each control of a dialog moves to
// and from. A page declares one table for its form; the data-exchange
// helper of the window side walks it in both directions at once.
//
//   struct PidForm { std::string holdKp; int stopMode = 0; };
//   constexpr forms::FieldBinding<PidForm> kPidBindings[] = {
//       forms::BindText(1043, &PidForm::holdKp, 6),
//       forms::BindRadio(&PidForm::stopMode, 1044, 1045, 1046),
//   };
#pragma once

#include <array>
#include <cstddef>
#include <string>

namespace forms {

enum class BindKind {
  Text,        // edit or static text <-> string, with an optional character limit
  ComboIndex,  // selected item <-> index, -1 for none
  Check,       // check box <-> 0 unchecked, 1 checked, 2 indeterminate
  Radio,       // group of radio buttons <-> index of the checked one, -1 for none
};

constexpr size_t MaxRadioButtons = 8;

template <class Form>
struct FieldBinding {
  BindKind kind = BindKind::Text;
  // Text, ComboIndex, Check: controlIds[0]. Radio: the group's buttons in
  // order, `buttonCount` of them.
  std::array<int, MaxRadioButtons> controlIds{};
  size_t buttonCount = 1;
  std::string Form::*text = nullptr;  // Text
  int Form::*number = nullptr;        // the other kinds
  int maxChars = 0;                   // Text; 0 = no limit
};

template <class Form>
constexpr FieldBinding<Form> BindText(int controlId, std::string Form::*member, int maxChars = 0) {
  FieldBinding<Form> binding;
  binding.kind = BindKind::Text;
  binding.controlIds[0] = controlId;
  binding.text = member;
  binding.maxChars = maxChars;
  return binding;
}

template <class Form>
constexpr FieldBinding<Form> BindCombo(int controlId, int Form::*member) {
  FieldBinding<Form> binding;
  binding.kind = BindKind::ComboIndex;
  binding.controlIds[0] = controlId;
  binding.number = member;
  return binding;
}

template <class Form>
constexpr FieldBinding<Form> BindCheck(int controlId, int Form::*member) {
  FieldBinding<Form> binding;
  binding.kind = BindKind::Check;
  binding.controlIds[0] = controlId;
  binding.number = member;
  return binding;
}

template <class Form, class... Ids>
constexpr FieldBinding<Form> BindRadio(int Form::*member, Ids... buttonIds) {
  static_assert(sizeof...(Ids) >= 1 && sizeof...(Ids) <= MaxRadioButtons, "a radio group has 1..8 buttons");
  FieldBinding<Form> binding;
  binding.kind = BindKind::Radio;
  binding.controlIds = {static_cast<int>(buttonIds)...};
  binding.buttonCount = sizeof...(Ids);
  binding.number = member;
  return binding;
}

}  // namespace forms
