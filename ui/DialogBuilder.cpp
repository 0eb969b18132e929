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
#include "ui/TabCtrl.h"

namespace {

using forms::ControlKind;
using forms::ControlTemplate;

// Closed height of a drop-down list in dialog units, and the height of one
// of its items: what is left of the list's rectangle shows that many items.
constexpr int ClosedListUnits = 12;
constexpr int ListItemUnits = 8;
// An icon control shows the icon at its natural size.
constexpr int IconPixels = 32;

QWidget* CreateControl(const ControlTemplate& entry, const QIcon& icon, QWidget* dialog) {
  const QString text = QString::fromUtf8(entry.text);
  switch (entry.kind) {
    case ControlKind::GroupBox:
      return new CGroupBox(text, dialog);
    case ControlKind::Label:
    case ControlKind::ValueText: {
      auto* label = new QLabel(text, dialog);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      return label;
    }
    case ControlKind::DropList: {
      auto* combo = new QComboBox(dialog);
      for (const char* item : forms::ComboItems(entry.id)) combo->addItem(QString::fromUtf8(item));
      combo->setMaxVisibleItems(std::max(1, (entry.rect.height - ClosedListUnits) / ListItemUnits));
      return combo;
    }
    case ControlKind::CheckBox:
      return new QCheckBox(text, dialog);
    case ControlKind::PushButton: {
      auto* button = new QPushButton(text, dialog);
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
  dialog->setWindowTitle(QString::fromUtf8(layout.title));
  dialog->setFixedSize(units.X(layout.width), units.Y(layout.height));
  for (const ControlTemplate& control : layout.controls) {
    QWidget* widget = CreateControl(control, icon, dialog);
    if (widget == nullptr) continue;
    Place(widget, control, units);
    if (control.id != 0) controls.Add(control.id, widget);
  }
}
