// Moves a dialog's values to and from all its controls at once. Each dialog
// binds its members (or a page's form through its binding table) once, after
// its controls exist; UpdateData(true) then takes every control's value into
// its member and UpdateData(false) puts every member into its control.
//
// Texts go to line edits and static texts; a character limit stops typing
// beyond it, while a longer text put in by the program is shown whole, can be
// shortened by the operator and is taken back whole. Combo boxes give their
// selected index (-1 for none), check boxes 0/1 (2 when indeterminate), a
// radio group the index of its checked button (-1 for none).
#pragma once

#include <QString>
#include <span>
#include <string>
#include <vector>

#include "ui/ControlMap.h"
#include "ui/forms/Binding.h"

class QWidget;

class DataExchange {
 public:
  explicit DataExchange(const ControlMap& controls) : controls_(controls) {}

  // Each returns false, binding nothing, when a control is missing or of a
  // kind that cannot carry the value.
  bool BindText(int controlId, std::string& value, int maxChars = 0);
  bool BindCombo(int controlId, int& index);
  bool BindCheck(int controlId, int& state);
  bool BindRadio(std::span<const int> buttonIds, int& index);

  // Binds every entry of a page's table to the members of `form`; false if
  // any entry failed.
  template <class Form>
  bool BindForm(Form& form, std::span<const forms::FieldBinding<Form>> table) {
    bool all = true;
    for (const forms::FieldBinding<Form>& entry : table) {
      switch (entry.kind) {
        case forms::BindKind::Text:
          all &= BindText(entry.controlIds[0], form.*entry.text, entry.maxChars);
          break;
        case forms::BindKind::ComboIndex:
          all &= BindCombo(entry.controlIds[0], form.*entry.number);
          break;
        case forms::BindKind::Check:
          all &= BindCheck(entry.controlIds[0], form.*entry.number);
          break;
        case forms::BindKind::Radio:
          all &= BindRadio(std::span<const int>(entry.controlIds.data(), entry.buttonCount), form.*entry.number);
          break;
      }
    }
    return all;
  }

  // true: controls -> members; false: members -> controls.
  void UpdateData(bool saveAndValidate) const;

 private:
  struct Entry {
    forms::BindKind kind;
    std::vector<QWidget*> controls;
    std::string* text = nullptr;
    int* number = nullptr;
  };

  void Save(const Entry& entry) const;
  void Load(const Entry& entry) const;

  const ControlMap& controls_;
  std::vector<Entry> entries_;
};
