// Moves a dialog's values to and from all its controls at once. Each dialog
// binds its members once, after its controls exist; UpdateData(true) then takes every control's value into
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

  // true: controls -> members; false: members -> controls.
  void UpdateData(bool saveAndValidate) const;

 private:
  enum class Kind {
    Text,        // edit or static text <-> string
    ComboIndex,  // selected item <-> index, -1 for none
    Check,       // check box <-> 0 unchecked, 1 checked, 2 indeterminate
    Radio,       // group of radio buttons <-> index of the checked one, -1 for none
  };

  struct Entry {
    Kind kind;
    std::vector<QWidget*> controls;
    std::string* text = nullptr;
    int* number = nullptr;
  };

  void Save(const Entry& entry) const;
  void Load(const Entry& entry) const;

  const ControlMap& controls_;
  std::vector<Entry> entries_;
};
