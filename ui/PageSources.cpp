#include "ui/PageSources.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <vector>

#include "ui/Retranslate.h"
#include "ui/Text.h"

namespace {

using forms::FieldKind;
using forms::FieldSpec;

// The builder shows a text as it is or already in the language in use.
bool Shows(const QString& shown, const char* chinese) {
  return shown == QString::fromUtf8(chinese) || shown == Tr(chinese);
}

void RememberLabel(QWidget* page, QWidget* buddy, const char* chinese) {
  for (QLabel* label : page->findChildren<QLabel*>()) {
    if (label->buddy() == buddy) ui::SetSourceText(label, chinese);
  }
}

void RememberField(QWidget* page, const FieldSpec& field, const ControlMap& controls) {
  if (field.kind == FieldKind::Radio) {
    QWidget* first = nullptr;
    for (size_t i = 0; i < field.items.size() && i < field.buttons.size(); ++i) {
      QWidget* button = controls.Get(field.buttons[i]);
      if (button == nullptr) continue;
      if (first == nullptr) first = button;
      // An item without a text is one its window writes itself.
      if (*field.items[i].text != '\0') ui::SetSourceText(button, field.items[i].text);
    }
    if (first != nullptr && *field.label != '\0') RememberLabel(page, first, field.label);
    return;
  }
  QWidget* control = controls.Get(field.id);
  if (control == nullptr) return;
  const bool ownText = field.kind == FieldKind::Check || field.kind == FieldKind::Button ||
                       field.kind == FieldKind::Static;
  if (*field.label != '\0') {
    if (ownText) {
      ui::SetSourceText(control, field.label);
    } else {
      RememberLabel(page, control, field.label);
    }
  }
  if (auto* list = qobject_cast<QComboBox*>(control)) {
    std::vector<const char*> items;
    for (const forms::ListItem& item : field.items) items.push_back(item.text);
    ui::SetSourceItems(list, items);
  }
  if (field.unit == nullptr) return;
  for (QLabel* unit : page->findChildren<QLabel*>()) {
    if (unit->buddy() == nullptr && Shows(unit->text(), field.unit)) ui::SetSourceText(unit, field.unit);
  }
}

}  // namespace

void RememberPageSources(QWidget* page, std::span<const forms::GroupSpec> groups,
                         std::initializer_list<std::span<const FieldSpec>> tables, const ControlMap& controls) {
  const QList<QGroupBox*> boxes = page->findChildren<QGroupBox*>();
  for (const forms::GroupSpec& group : groups) {
    if (group.title == nullptr) continue;
    for (QGroupBox* box : boxes) {
      if (Shows(box->title(), group.title)) ui::SetSourceText(box, group.title);
    }
  }
  for (std::span<const FieldSpec> table : tables) {
    for (const FieldSpec& field : table) RememberField(page, field, controls);
  }
}
