// The controls of one field table on a page, moved to and from its form
// values at once. Each register block of a page has its own, so reading one
// block rewrites only that block's controls.
#pragma once

#include <optional>
#include <span>

#include "ui/ControlMap.h"
#include "ui/DataExchange.h"
#include "ui/forms/Fields.h"

class FieldForm {
 public:
  explicit FieldForm(std::span<const forms::FieldSpec> fields);
  FieldForm(const FieldForm&) = delete;
  FieldForm& operator=(const FieldForm&) = delete;

  // Binds every entry that holds a value to its control; false when one is
  // missing or of the wrong kind.
  bool Bind(const ControlMap& controls);

  std::span<const forms::FieldSpec> Fields() const { return fields_; }
  const forms::FormValues& Values() const { return values_; }
  // Replaces the values (not the controls).
  void SetValues(const forms::FormValues& values);

  // Values -> controls, lists first given the extra item a value may carry.
  void Show();
  // Controls -> values.
  void Take();

  // The control of entry `field` (its first button for a radio group).
  QWidget* Control(size_t field) const;

 private:
  std::span<const forms::FieldSpec> fields_;
  // Sized once: the data exchange holds references into it.
  forms::FormValues values_;
  const ControlMap* controls_ = nullptr;
  std::optional<DataExchange> exchange_;
};
