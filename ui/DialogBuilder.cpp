#include "ui/DialogBuilder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <climits>

#include "ui/DialogFont.h"
#include "ui/GroupBox.h"
#include "ui/Retranslate.h"
#include "ui/TabCtrl.h"
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
      // Measured again after a switch of language, not kept from the first.
      combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
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

// Which entry of the table a control was made from.
constexpr const char* kEntry = "korveltDialogEntry";

QRect Placed(QWidget* control, const ControlTemplate& entry, const forms::DialogUnits& units) {
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
  return QRect(r.x, r.y, width, height);
}

// A strip of `width` pixels put in at x = `at`.
struct Strip {
  int at;
  int width;
};

int Shift(const std::vector<Strip>& strips, int x, bool edgeIncluded) {
  int shift = 0;
  for (const Strip& strip : strips) {
    if (strip.at < x || (edgeIncluded && strip.at == x)) shift += strip.width;
  }
  return shift;
}

void AddStrip(std::vector<Strip>& strips, int at, int width) {
  auto same = std::find_if(strips.begin(), strips.end(), [&](const Strip& s) { return s.at == at; });
  if (same == strips.end()) {
    strips.push_back({at, width});
  } else {
    same->width = std::max(same->width, width);
  }
}

// The strips that give every label its text's width, and a list or a check
// box the width its texts need: a label's strip goes before the control to
// its right, a control's own inside it, by its right edge.
std::vector<Strip> Strips(const std::vector<std::pair<QWidget*, QRect>>& placed,
                          const std::vector<const ControlTemplate*>& entries, const LayoutWidening& widening) {
  std::vector<Strip> strips;
  for (size_t i = 0; i < placed.size(); ++i) {
    const QRect own = placed[i].second;
    const ControlKind kind = entries[i]->kind;
    if (kind == ControlKind::DropList || kind == ControlKind::CheckBox) {
      const int missing = placed[i].first->sizeHint().width() - own.width();
      if (missing > 0) AddStrip(strips, own.left() + own.width() - 1, missing);
    }
    if (entries[i]->id != 0 && entries[i]->id == widening.controlId && widening.pixels > 0) {
      AddStrip(strips, own.left() + own.width() - 1, widening.pixels);
    }
    if (kind != ControlKind::Label || entries[i]->rect.width != 0) continue;
    const QRect label = placed[i].second;
    int next = INT_MAX;
    for (size_t j = 0; j < placed.size(); ++j) {
      const QRect other = placed[j].second;
      const bool sameRow = other.top() <= label.bottom() && other.bottom() >= label.top();
      if (j != i && sameRow && other.left() > label.left() && !other.contains(label)) next = std::min(next, other.left());
    }
    const int missing = label.width() - (next == INT_MAX ? label.width() : next - label.left());
    if (missing > 0) AddStrip(strips, next, missing);
  }
  return strips;
}

}  // namespace

void BuildDialog(QWidget* dialog, const forms::DialogTemplate& layout, const QIcon& icon, ControlMap& controls) {
  ui::SetSourceWindowTitle(dialog, layout.title);
  for (size_t i = 0; i < layout.controls.size(); ++i) {
    const ControlTemplate& control = layout.controls[i];
    QWidget* widget = CreateControl(control, icon, dialog);
    if (widget == nullptr) continue;
    widget->setProperty(kEntry, static_cast<qulonglong>(i));
    if (control.id != 0) controls.Add(control.id, widget);
  }
  LayOutDialog(dialog, layout);
}

void LayOutDialog(QWidget* dialog, const forms::DialogTemplate& layout, LayoutWidening widening) {
  const forms::DialogUnits units = DialogUnitsOf(dialog->font());
  std::vector<std::pair<QWidget*, QRect>> placed;
  std::vector<const ControlTemplate*> entries;
  for (QWidget* widget : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QVariant entry = widget->property(kEntry);
    if (!entry.isValid() || entry.toULongLong() >= layout.controls.size()) continue;
    const ControlTemplate& control = layout.controls[entry.toULongLong()];
    placed.emplace_back(widget, Placed(widget, control, units));
    entries.push_back(&control);
  }
  const std::vector<Strip> strips = Strips(placed, entries, widening);
  for (const auto& [widget, rect] : placed) {
    const int left = rect.left() + Shift(strips, rect.left(), true);
    const int right = rect.left() + rect.width() + Shift(strips, rect.left() + rect.width(), false);
    widget->setGeometry(left, rect.top(), right - left, rect.height());
  }
  const int width = units.X(layout.width);
  dialog->setFixedSize(width + Shift(strips, width, false), units.Y(layout.height));
}
