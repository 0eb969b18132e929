#include "ui/FieldForm.h"

#include <QComboBox>
#include <algorithm>
#include <vector>

#include "ui/Text.h"

using forms::FieldKind;

FieldForm::FieldForm(std::span<const forms::FieldSpec> fields)
    : fields_(fields), values_(fields.size()) {}

bool FieldForm::Bind(const ControlMap& controls) {
  controls_ = &controls;
  exchange_.emplace(controls);
  bool all = true;
  for (size_t i = 0; i < fields_.size(); ++i) {
    const forms::FieldSpec& field = fields_[i];
    forms::FieldValue& value = values_[i];
    switch (field.kind) {
      case FieldKind::Edit:
      case FieldKind::ReadOnlyEdit:
        all &= exchange_->BindText(field.id, value.text, field.maxChars);
        break;
      case FieldKind::List:
        all &= exchange_->BindCombo(field.id, value.index);
        break;
      case FieldKind::Check:
        all &= exchange_->BindCheck(field.id, value.index);
        break;
      case FieldKind::Radio: {
        const std::vector<int> ids(field.buttons.begin(), field.buttons.end());
        all &= exchange_->BindRadio(ids, value.index);
        break;
      }
      case FieldKind::Slider:
      case FieldKind::Spin:
      case FieldKind::Static:
      case FieldKind::Button:
        break;
    }
  }
  return all;
}

void FieldForm::SetValues(const forms::FormValues& values) {
  for (size_t i = 0; i < values_.size() && i < values.size(); ++i) values_[i] = values[i];
}

void FieldForm::Show() {
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].kind != FieldKind::List) continue;
    auto* list = qobject_cast<QComboBox*>(Control(i));
    if (list == nullptr) continue;
    const int items = static_cast<int>(fields_[i].items.size());
    const bool blocked = list->blockSignals(true);
    while (list->count() > items) list->removeItem(list->count() - 1);
    if (!values_[i].extraItem.empty()) list->addItem(ToQString(values_[i].extraItem));
    list->blockSignals(blocked);
  }
  if (exchange_) exchange_->UpdateData(false);
}

void FieldForm::Take() {
  if (exchange_) exchange_->UpdateData(true);
}

QWidget* FieldForm::Control(size_t field) const {
  if (controls_ == nullptr || field >= fields_.size()) return nullptr;
  const forms::FieldSpec& spec = fields_[field];
  return controls_->Get(spec.kind == FieldKind::Radio && !spec.buttons.empty() ? spec.buttons.front() : spec.id);
}
