#include "ui/DialogBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

#include "ui/DialogFont.h"
#include "ui/GroupBox.h"
#include "ui/Retranslate.h"
#include "ui/TabCtrl.h"
#include "ui/TextWidth.h"
#include <vector>

namespace {

using forms::ControlKind;
using forms::ControlTemplate;

// Closed height of a drop-down list in dialog units, and the height of one
// of its items: what is left of the list's rectangle shows that many items.
constexpr int ClosedListUnits = 12;
constexpr int ListItemUnits = 8;
// An icon control shows the icon at its natural size.
constexpr int IconPixels = 32;

// A control showing the table's text, which follows a switch of language.
template <typename Control>
Control* Captioned(Control* control, const char* text) {
  ui::SetSourceText(control, text);
  return control;
}

QWidget* CreateControl(const ControlTemplate& entry, const QIcon& icon, QWidget* dialog) {
  switch (entry.kind) {
    case ControlKind::GroupBox:
      return Captioned(new CGroupBox(QString(), dialog), entry.text);
    case ControlKind::Label:
    case ControlKind::ValueText: {
      auto* label = new QLabel(dialog);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      // A value text is rewritten by the program, which makes it again on a
      // switch of language.
      if (entry.kind == ControlKind::Label) {
        ui::SetSourceText(label, entry.text);
      } else {
        label->setText(QString::fromUtf8(entry.text));
      }
      return label;
    }
    case ControlKind::DropList: {
      auto* combo = new QComboBox(dialog);
      const std::span<const char* const> items = forms::ComboItems(entry.id);
      ui::SetSourceItems(combo, std::vector<const char*>(items.begin(), items.end()));
      combo->setMaxVisibleItems(std::max(1, (entry.rect.height - ClosedListUnits) / ListItemUnits));
      return combo;
    }
    case ControlKind::CheckBox:
      return Captioned(new QCheckBox(dialog), entry.text);
    case ControlKind::PushButton: {
      auto* button = Captioned(new QPushButton(dialog), entry.text);
      // Enter presses no button of its own accord; a dialog that wants a
      // default button says so.
      button->setAutoDefault(false);
      return button;
    }
    case ControlKind::ReadOnlyEdit: {
      auto* edit = new QLineEdit(dialog);
      edit->setReadOnly(true);
      return edit;
    }
    case ControlKind::TabControl:
      return new CTabCtrl(dialog);
    case ControlKind::Icon: {
      auto* label = new QLabel(dialog);
      label->setPixmap(icon.pixmap(IconPixels, IconPixels));
      return label;
    }
  }
  return nullptr;
}

void Place(QWidget* control, const ControlTemplate& entry, const forms::DialogUnits& units) {
  const forms::PixelRect r = units.Map(entry.rect);
  int width = r.width;
  int height = r.height;
  switch (entry.kind) {
    case ControlKind::Label:
      if (entry.rect.width == 0) width = control->sizeHint().width();
      break;
    case ControlKind::DropList:
      height = control->sizeHint().height();
      break;
    case ControlKind::Icon:
      width = height = IconPixels;
      break;
    default:
      break;
  }
  control->setGeometry(r.x, r.y, width, height);
}

}  // namespace

void BuildDialog(QWidget* dialog, const forms::DialogTemplate& layout, const QIcon& icon, ControlMap& controls) {
  const forms::DialogUnits units = DialogUnitsOf(dialog->font());
  ui::SetSourceWindowTitle(dialog, layout.title);
  dialog->setFixedSize(units.X(layout.width), units.Y(layout.height));
  for (const ControlTemplate& control : layout.controls) {
    QWidget* widget = CreateControl(control, icon, dialog);
    if (widget == nullptr) continue;
    Place(widget, control, units);
    if (control.kind == ControlKind::Label && control.rect.width == 0) ui::KeepLabelAsWideAsText(widget);
    if (control.id != 0) controls.Add(control.id, widget);
  }
}
